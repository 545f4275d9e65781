// SPDX-License-Identifier: MIT
// Whole-file reads and appends on Windows.
#include "platform/FileIo.h"

#include "platform/win32/HandleOwners.h"
#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace tessaline {

namespace {

std::string CannotRead(const std::filesystem::path& path, const std::string& why) {
    return "cannot read " + win32::PathText(path) + ": " + why;
}

} // namespace

Result<std::optional<std::string>> ReadFileIfPresent(const std::filesystem::path& path,
                                                     size_t maxBytes) {
    using R = Result<std::optional<std::string>>;
    // Others may read and replace the file meanwhile, as on POSIX systems.
    const win32::UniqueFile file(::CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return std::optional<std::string>();
        }
        return R::Fail(CannotRead(path, win32::SystemErrorMessage(error)));
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
            const DWORD error = ::GetLastError();
            return R::Fail(CannotRead(path, win32::SystemErrorMessage(error)));
        }
        if (n == 0) {
            break;
        }
        if (n > maxBytes - text.size()) {
            return R::Fail(
                CannotRead(path, "it holds more than " + std::to_string(maxBytes) + " bytes"));
        }
        text.append(buffer, n);
    }
    return std::optional<std::string>(std::move(text));
}

Result<void> AppendToFile(const std::filesystem::path& path, std::string_view text) {
    const win32::UniqueFile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return Result<void>::Fail("cannot open " + win32::PathText(path) + ": " +
                                  win32::SystemErrorMessage(::GetLastError()));
    }
    Result<void> written;
    while (!text.empty()) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size(), 1u << 20));
        if (!::WriteFile(file.get(), text.data(), chunk, &n, nullptr) || n == 0) {
            written = Result<void>::Fail("cannot write " + win32::PathText(path) + ": " +
                                         win32::SystemErrorMessage(::GetLastError()));
            break;
        }
        text.remove_prefix(n);
    }
    return written;
}

} // namespace tessaline
