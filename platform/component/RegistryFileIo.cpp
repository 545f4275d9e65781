#include "RegistryFileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace tessaline::registry {

std::string ErrnoText(int err) {
    return std::generic_category().message(err);
}

FileLock::FileLock(const std::filesystem::path& file, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) {
        error = "cannot create " + file.parent_path().string() + ": " + ec.message();
        return;
    }
    std::string lockPath = file.string() + ".lock";
    m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        error = "cannot open " + lockPath + ": " + ErrnoText(errno);
        return;
    }
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            error = "cannot lock " + lockPath + ": " + ErrnoText(errno);
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
}

FileLock::~FileLock() {
    if (m_fd >= 0) {
        ::close(m_fd); // releases the lock
    }
}

} // namespace tessaline::registry
