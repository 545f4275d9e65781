// The host system's code page, program folder and file tests on Windows.
// Paths are the program's UTF-8 strings; the W functions take them as UTF-16.
// Windows states its ANSI code page itself: the locale parsers of
// HostSystem.h, which read POSIX locale names, have no part here.
#include "platform/HostSystem.h"

#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <string>
#include <windows.h>

namespace tessaline {

int32_t EnvironmentCodePage() {
    return static_cast<int32_t>(::GetACP());
}

std::string ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return win32::Narrow(slash == std::wstring::npos ? path : path.substr(0, slash));
}

bool CanCreateFileIn(const std::string& folder) {
    const std::wstring wide = win32::WidePath(folder);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    // The folder's rights, a read-only medium and virtualisation all decide;
    // only creating a file answers for all of them.
    const std::wstring probe = wide + L"\\~tessaline-" + std::to_wstring(::GetCurrentProcessId()) +
                               L"-" + std::to_wstring(::GetTickCount64()) + L".tmp";
    HANDLE file = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::CloseHandle(file);
    return true;
}

bool PathIsFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(win32::WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

Result<void> RemoveFileIfPresent(const std::string& path) {
    if (!::DeleteFileW(win32::WidePath(path).c_str())) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return Result<void>::Fail("cannot delete " + path + ": " +
                                      win32::SystemErrorMessage(error));
        }
    }
    return {};
}

} // namespace tessaline
