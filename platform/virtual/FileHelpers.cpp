#include "platform/virtual/FileHelpers.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaline {

std::string SystemError(std::string_view what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::optional<FileLock> FileLock::Acquire(const std::filesystem::path& path, Result<void>& status) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        status = Result<void>::Fail(SystemError("cannot open the lock " + path.string()));
        return std::nullopt;
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            status = Result<void>::Fail(SystemError("cannot lock " + path.string()));
            ::close(fd);
            return std::nullopt;
        }
    }
    status = {};
    return FileLock(fd);
}

FileLock::FileLock(FileLock&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

FileLock::~FileLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

} // namespace tessaline
