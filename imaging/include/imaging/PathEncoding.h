// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tessaline {

// How the narrow strings that name files (the host's bytes, as the control
// receives them) and the system's paths convert into one another. Byte for
// byte unless a shell says otherwise: right wherever paths are bytes. On
// Windows narrow names are in the ANSI code page, which the standard
// library's narrow conversions do not follow there, so the control's Windows
// shell installs conversions of the system's before any method runs.
struct PathEncoding {
    std::filesystem::path (*toPath)(const std::string& text);
    // Fails, saying why, when no narrow name names the path exactly.
    Result<std::string> (*toText)(const std::filesystem::path& path);
    // The platform's words (UTF-8 on every system) as the host's narrow strings.
    std::string (*fromPlatformText)(std::string_view utf8);
};

// Takes effect for every later file access of imaging; set once, at start.
void UsePathEncoding(const PathEncoding& encoding);

// The path a narrow name stands for, and the narrow name of a path (which
// fails where the narrow form cannot hold the path's characters).
std::filesystem::path PathOf(const std::string& text);
Result<std::string> TextOf(const std::filesystem::path& path);
// A reason from the platform in the narrow form the host reads.
std::string TextOfPlatformWords(std::string_view utf8);

} // namespace tessaline
