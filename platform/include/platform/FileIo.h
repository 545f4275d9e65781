// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessaline {

inline constexpr size_t kAnyFileSize = SIZE_MAX;

// The whole file, or nothing when there is none. Fails with "cannot read
// <path>: <reason>" when it is there but cannot be read, or holds more than
// `maxBytes`.
Result<std::optional<std::string>> ReadFileIfPresent(const std::filesystem::path& path,
                                                     size_t maxBytes = kAnyFileSize);
// The whole file; a missing one fails as one that cannot be read.
Result<std::string> ReadWholeFile(const std::filesystem::path& path,
                                  size_t maxBytes = kAnyFileSize);
// `name` as one file or folder name that stays inside its folder and in
// sight: anything but letters, digits, "_", "-", "@" and a dot not at the
// start (a slash, a colon, a leading dot, ...) is spelled %XX.
std::string PlainFileName(std::string_view name);
// Adds `text` at the end of the file, creating it when missing.
Result<void> AppendToFile(const std::filesystem::path& path, std::string_view text);
// A new, empty folder in the system's temporary folder, named `prefix` and a
// random number; the caller removes it.
Result<std::filesystem::path> MakeScratchFolder(std::string_view prefix);

} // namespace tessaline
