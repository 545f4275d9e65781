#pragma once

#include "app/core/AppServices.h"
#include "base/Result.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessaline {

// Profile (INI) text as the system's profile functions read it: sections in
// brackets, key=value lines, names compared without regard to case, blanks
// around names and values ignored, the first of two equal keys winning.

// The key's value, or nothing when the section or the key is missing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);
// `text` with the key set, the section appended when missing.
std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);
// A file holding one section with `entries`, in order.
std::string FormatProfile(std::string_view section, const ProfileEntries& entries);
// True when `text`, read as above, holds `section` with exactly `entries` in
// that order and nothing else but blank lines: rewriting it with
// FormatProfile would lose nothing. Text without any key holds no entries.
bool ProfileHoldsOnly(std::string_view text, std::string_view section,
                      const ProfileEntries& entries);

// The seam through which a replacement writes, so tests can fail it or stop
// the process half-way. Returns false (with errno set) when a write fails.
struct FileWriteHooks {
    std::function<bool(int fd, const char* data, size_t size)> write;
};

// Writes `bytes` to a new file in the same folder, flushes it to disk and
// renames it over `path`, so `path` holds the old or the new bytes, never a
// part. The folder is created when missing.
Result<void> ReplaceFileAtomically(const std::string& path, std::string_view bytes,
                                   const FileWriteHooks* hooks = nullptr);
// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// The profile services over real files.
std::string ReadProfileFileString(const std::string& file, const std::string& section,
                                  const std::string& key);
Result<void> WriteProfileFileString(const std::string& file, const std::string& section,
                                    const std::string& key, const std::string& value);
Result<void> ReplaceProfileFileWith(const std::string& file, const std::string& section,
                                    const ProfileEntries& entries,
                                    const FileWriteHooks* hooks = nullptr);

} // namespace tessaline
