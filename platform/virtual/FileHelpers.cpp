#include "platform/virtual/FileHelpers.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaline {

namespace {

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

std::string SystemError(std::string_view what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::optional<StagedFile> StagedFile::Write(std::filesystem::path target,
                                            std::span<const uint8_t> bytes, Result<void>& status) {
    std::string temp = target.string() + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        status = Result<void>::Fail(SystemError("cannot create a file beside " + target.string()));
        return std::nullopt;
    }
    ::fchmod(fd, 0644);
    const bool written = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    status = written ? Result<void>{} : Result<void>::Fail(SystemError("cannot write " + temp));
    if (::close(fd) != 0 && status.Ok()) {
        status = Result<void>::Fail(SystemError("cannot write " + temp));
    }
    if (!status.Ok()) {
        ::unlink(temp.c_str());
        return std::nullopt;
    }
    return StagedFile(std::move(target), std::move(temp));
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_target(std::move(other.m_target)), m_temp(std::move(other.m_temp)) {
    other.m_temp.clear();
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        if (!m_temp.empty()) {
            ::unlink(m_temp.c_str());
        }
        m_target = std::move(other.m_target);
        m_temp = std::move(other.m_temp);
        other.m_temp.clear();
    }
    return *this;
}

StagedFile::~StagedFile() {
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
    }
}

Result<void> StagedFile::Commit() {
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        return Result<void>::Fail(SystemError("cannot replace " + m_target.string()));
    }
    m_temp.clear();
    return {};
}

Result<void> WriteFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    Result<void> status;
    auto staged = StagedFile::Write(path, bytes, status);
    return staged ? staged->Commit() : status;
}

Result<void> WriteFileAtomic(const std::filesystem::path& path, std::string_view text) {
    return WriteFileAtomic(path,
                           std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                                  std::string* why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (why != nullptr) {
            *why = SystemError("cannot read " + path.string());
        }
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            if (why != nullptr) {
                *why = SystemError("cannot read " + path.string());
            }
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return bytes;
}

Result<void> AppendToFile(const std::filesystem::path& path, std::string_view text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return Result<void>::Fail(SystemError("cannot open " + path.string()));
    }
    const bool written = WriteAll(fd, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    Result<void> status =
        written ? Result<void>{} : Result<void>::Fail(SystemError("cannot write " + path.string()));
    ::close(fd);
    return status;
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
