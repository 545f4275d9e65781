#pragma once

#include <filesystem>
#include <string>

namespace tessaline {

// How the narrow strings that name files (the host's bytes, as the control
// receives them) and the system's paths convert into one another. Byte for
// byte unless a shell says otherwise: right wherever paths are bytes. On
// Windows narrow names are in the ANSI code page, which the standard
// library's narrow conversions do not follow there, so the control's Windows
// shell installs conversions of the system's before any method runs.
struct PathEncoding {
    std::filesystem::path (*toPath)(const std::string& text);
    std::string (*toText)(const std::filesystem::path& path);
};

// Takes effect for every later file access of imaging; set once, at start.
void UsePathEncoding(const PathEncoding& encoding);

// The path a narrow name stands for, and the narrow name of a path.
std::filesystem::path PathOf(const std::string& text);
std::string TextOf(const std::filesystem::path& path);

} // namespace tessaline
