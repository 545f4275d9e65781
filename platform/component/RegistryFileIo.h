#pragma once

// The file operations of the component registry: whole-file reads, atomic
// replacement and the lock that serialises writers.

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace tessaline::registry {

std::string ErrnoText(int err);

// Reads the whole file. A missing file reads as empty with `exists` false;
// any other failure is an error, so a write never replaces what it could not read.
bool ReadFile(const std::filesystem::path& file, std::string& text, bool& exists, mode_t& mode,
              std::string& error);

// Replaces the file with `text` through a temporary file in the same folder.
bool WriteAtomically(const std::filesystem::path& file, const std::string& text, mode_t mode,
                     std::string& error);

// Holds an exclusive flock on "<file>.lock" (creating the folder if need be)
// for one change; Held() is false, with `error` set, when it could not.
class FileLock {
public:
    FileLock(const std::filesystem::path& file, std::string& error);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace tessaline::registry
