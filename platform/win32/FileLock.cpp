// SPDX-License-Identifier: MIT
// FileLock on Windows: LockFileEx on the open lock file, released when it
// closes.
#include "platform/FileLock.h"

#include "platform/win32/HandleOwners.h"
#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <string>
#include <windows.h>

namespace tessaline {

Result<FileLock> FileLock::Acquire(const std::filesystem::path& path) {
    auto fail = [&path](DWORD error) {
        return Result<FileLock>::Fail("cannot lock " + win32::PathText(path) + ": " +
                                      win32::SystemErrorMessage(error));
    };
    win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return fail(::GetLastError());
    }
    // The first byte stands for the whole file; without LOCKFILE_FAIL_IMMEDIATELY
    // the call waits for the lock.
    OVERLAPPED at{};
    if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
        return fail(::GetLastError());
    }
    return FileLock(reinterpret_cast<intptr_t>(file.release()));
}

FileLock::FileLock(FileLock&& other) noexcept : m_handle(other.m_handle) {
    other.m_handle = -1;
}

FileLock::~FileLock() {
    if (m_handle != -1) {
        // Closing the handle releases the lock.
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    }
}

} // namespace tessaline
