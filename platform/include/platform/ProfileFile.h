#pragma once

#include "base/Result.h"
#include "platform/AtomicFile.h"
#include "platform/ProfileText.h"

#include <string>

namespace tessaline {

// The profile functions over whole files, which are replaced atomically. A
// file that cannot be read is never replaced.

// The key's value; empty when the file, the section or the key is missing,
// or the file cannot be read.
std::string ReadProfileFileString(const std::string& file, const std::string& section,
                                  const std::string& key);
// Sets one key, creating the file (and its folder) or the section when needed.
Result<void> WriteProfileFileString(const std::string& file, const std::string& section,
                                    const std::string& key, const std::string& value);
// Replaces the whole file with one section holding `entries`.
Result<void> ReplaceProfileFileWith(const std::string& file, const std::string& section,
                                    const ProfileEntries& entries,
                                    const FileWriteHooks* hooks = nullptr);

} // namespace tessaline
