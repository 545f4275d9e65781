#pragma once

#include "base/Result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// A file written in full, and on the disk, under a temporary name beside its
// target. It takes the target's name on Commit; until then nobody sees it, and
// it is deleted if never committed.
class StagedFile {
public:
    static std::optional<StagedFile> Write(std::filesystem::path target,
                                           std::span<const uint8_t> bytes, Result<void>& status);
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile();

    // Renames the file over its target. Fails when the rename does.
    Result<void> Commit();
    const std::filesystem::path& Target() const { return m_target; }

private:
    StagedFile(std::filesystem::path target, std::string temp)
        : m_target(std::move(target)), m_temp(std::move(temp)) {}
    std::filesystem::path m_target;
    std::string m_temp; // empty once committed
};

// Replaces the file at once: the bytes go to a temporary file in the same
// folder, reach the disk, then take the name.
Result<void> WriteFileAtomic(const std::filesystem::path& path, std::span<const uint8_t> bytes);
Result<void> WriteFileAtomic(const std::filesystem::path& path, std::string_view text);

// The whole file; nothing when it is missing or unreadable, and `why` (when
// given) then says "cannot read <path>: <system error>".
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path,
                                                  std::string* why = nullptr);

// Adds the text at the end of the file, creating it when missing.
Result<void> AppendToFile(const std::filesystem::path& path, std::string_view text);

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
