// SPDX-License-Identifier: MIT
// FileLock over POSIX: flock on the open lock file, released when it closes.
#include "platform/FileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace tessaline {

Result<FileLock> FileLock::Acquire(const std::filesystem::path& path) {
    auto fail = [&path](int error) {
        return Result<FileLock>::Fail("cannot lock " + path.string() + ": " +
                                      std::generic_category().message(error));
    };
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return fail(errno);
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int error = errno;
            ::close(fd);
            return fail(error);
        }
    }
    return FileLock(fd);
}

FileLock::FileLock(FileLock&& other) noexcept : m_handle(other.m_handle) {
    other.m_handle = -1;
}

FileLock::~FileLock() {
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
    }
}

} // namespace tessaline
