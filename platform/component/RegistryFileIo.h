#pragma once

// The lock that serialises the component registry's writers.

#include <filesystem>
#include <string>

namespace tessaline::registry {

std::string ErrnoText(int err);

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
