// SPDX-License-Identifier: MIT
// A scratch folder of one fuzzing process, for the targets whose parsers
// read or write files: in memory (/dev/shm) where the system has it, so that
// file writes and syncs cost little, and removed when the run ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace tessaline::fuzz {

inline std::filesystem::path& ScratchPath() {
    static std::filesystem::path path;
    return path;
}

// Creates the folder once and returns it.
inline const std::filesystem::path& ScratchFolder() {
    std::filesystem::path& path = ScratchPath();
    if (!path.empty()) {
        return path;
    }
    const std::string name = "tessaline-fuzz-" + std::to_string(::getpid());
    std::error_code ec;
    for (const std::filesystem::path& base :
         {std::filesystem::path("/dev/shm"), std::filesystem::temp_directory_path()}) {
        if (std::filesystem::create_directories(base / name, ec) && !ec) {
            path = base / name;
            break;
        }
    }
    if (path.empty()) {
        std::abort(); // nowhere to write: the run would test nothing
    }
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(ScratchPath(), ignored);
    });
    return path;
}

} // namespace tessaline::fuzz
