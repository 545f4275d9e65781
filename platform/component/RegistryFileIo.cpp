#include "RegistryFileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tessaline::registry {

std::string ErrnoText(int err) {
    return std::generic_category().message(err);
}

bool ReadFile(const std::filesystem::path& file, std::string& text, bool& exists, mode_t& mode,
              std::string& error) {
    text.clear();
    exists = false;
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return true;
        }
        error = "cannot read " + file.string() + ": " + ErrnoText(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        mode = st.st_mode & 07777;
    }
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = "cannot read " + file.string() + ": " + ErrnoText(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    exists = true;
    return true;
}

bool WriteAtomically(const std::filesystem::path& file, const std::string& text, mode_t mode,
                     std::string& error) {
    std::string pattern = file.string() + ".XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = "cannot create a temporary file beside " + file.string() + ": " + ErrnoText(errno);
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    size_t done = 0;
    while (ok && done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        ok = n > 0;
        done += ok ? static_cast<size_t>(n) : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    int err = errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(pattern.c_str(), file.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        error = "cannot write " + file.string() + ": " + ErrnoText(err);
        ::unlink(pattern.c_str());
    }
    return ok;
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
