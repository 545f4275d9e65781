// SPDX-License-Identifier: MIT
// StagedFile on Windows: a hidden file of our own in the target's folder,
// written and flushed to the disk, then moved over the target with
// MoveFileEx (replacing it, and not returning before the move is on the disk).
#include "platform/AtomicFile.h"

#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <random>
#include <string>
#include <windows.h>

namespace tessaline {

namespace {

namespace fs = std::filesystem;

constexpr size_t kBlockBytes = 4096;
constexpr int kNameAttempts = 16;

std::string CannotWrite(const fs::path& target, const std::string& why) {
    return "cannot write " + win32::PathText(target) + ": " + why;
}

Result<void> WriteBlocks(HANDLE file, std::span<const uint8_t> bytes, const FileWriteHooks* hooks) {
    while (!bytes.empty()) {
        // Whole blocks, so a hook can stop the process between two of them.
        const std::span<const uint8_t> block = bytes.first(std::min(bytes.size(), kBlockBytes));
        if (hooks != nullptr && hooks->beforeBlock) {
            if (const std::error_code error = hooks->beforeBlock(block.size())) {
                return Result<void>::Fail(error.message());
            }
        }
        DWORD written = 0;
        if (!::WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr)) {
            return Result<void>::Fail(win32::SystemErrorMessage(::GetLastError()));
        }
        if (written == 0) {
            return Result<void>::Fail(win32::SystemErrorMessage(ERROR_WRITE_FAULT));
        }
        bytes = bytes.subspan(written);
    }
    return {};
}

} // namespace

Result<StagedFile> StagedFile::Write(fs::path target, std::span<const uint8_t> bytes,
                                     const FileWriteHooks* hooks) {
    const fs::path folder = target.parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) {
            return Result<StagedFile>::Fail("cannot create the folder " + win32::PathText(folder) +
                                            ": " + ec.message());
        }
    }
    // Hidden, so that nobody listing the folder takes it for one of its
    // files; a name nobody holds, taken with CREATE_NEW.
    std::random_device entropy;
    HANDLE file = INVALID_HANDLE_VALUE;
    fs::path temp;
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kNameAttempts && error == ERROR_FILE_EXISTS; ++attempt) {
        temp = folder / (L"." + target.filename().native() + L"." + std::to_wstring(entropy()));
        file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_HIDDEN, nullptr);
        error = file == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
    }
    if (file == INVALID_HANDLE_VALUE) {
        return Result<StagedFile>::Fail(CannotWrite(target, win32::SystemErrorMessage(error)));
    }
    StagedFile staged(std::move(target), temp);
    Result<void> written = WriteBlocks(file, bytes, hooks);
    if (written && !::FlushFileBuffers(file)) {
        written = Result<void>::Fail(win32::SystemErrorMessage(::GetLastError()));
    }
    if (!::CloseHandle(file) && written) {
        written = Result<void>::Fail(win32::SystemErrorMessage(::GetLastError()));
    }
    if (!written) {
        return Result<StagedFile>::Fail(CannotWrite(staged.m_target, written.Reason()));
    }
    return staged;
}

Result<void> StagedFile::Commit() {
    // The file shows once it has its name; it stays hidden if the move fails.
    ::SetFileAttributesW(m_temp.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::MoveFileExW(m_temp.c_str(), m_target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::SetFileAttributesW(m_temp.c_str(), FILE_ATTRIBUTE_HIDDEN);
        return Result<void>::Fail(CannotWrite(m_target, win32::SystemErrorMessage(error)));
    }
    m_temp.clear();
    return {};
}

void StagedFile::Discard() noexcept {
    if (!m_temp.empty()) {
        ::DeleteFileW(m_temp.c_str());
        m_temp.clear();
    }
}

} // namespace tessaline
