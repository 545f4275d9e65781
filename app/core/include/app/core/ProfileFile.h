#pragma once

#include "app/core/AppServices.h"
#include "base/Result.h"
#include "platform/AtomicFile.h"

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

// The profile services over real files. A file that cannot be read is never
// replaced.
std::string ReadProfileFileString(const std::string& file, const std::string& section,
                                  const std::string& key);
Result<void> WriteProfileFileString(const std::string& file, const std::string& section,
                                    const std::string& key, const std::string& value);
Result<void> ReplaceProfileFileWith(const std::string& file, const std::string& section,
                                    const ProfileEntries& entries,
                                    const FileWriteHooks* hooks = nullptr);

} // namespace tessaline
