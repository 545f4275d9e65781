#pragma once

#include "base/Result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessaline {

// An exclusive advisory lock on a file, held until destruction. Other
// processes taking the same lock wait for it.
class FileLock {
public:
    static std::optional<FileLock> Acquire(const std::filesystem::path& path, Result<void>& status);
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&&) = delete;
    FileLock(const FileLock&) = delete;
    ~FileLock();

private:
    explicit FileLock(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

// "what: system error text" for the last failed system call.
std::string SystemError(std::string_view what);

} // namespace tessaline
