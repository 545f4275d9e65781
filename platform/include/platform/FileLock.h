// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <filesystem>

namespace tessaline {

// An exclusive lock on a lock file, held until destruction. Other processes
// (and other locks in this one) taking the same lock wait for it.
class FileLock {
public:
    // Waits for the lock, creating the lock file (not its folder) when
    // missing. Fails with "cannot lock <path>: <reason>".
    static Result<FileLock> Acquire(const std::filesystem::path& path);
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&&) = delete;
    FileLock(const FileLock&) = delete;
    ~FileLock();

private:
    explicit FileLock(intptr_t handle) : m_handle(handle) {}
    intptr_t m_handle = -1; // the system's handle of the open lock file; -1: none
};

} // namespace tessaline
