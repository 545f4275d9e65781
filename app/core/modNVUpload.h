// SPDX-License-Identifier: MIT
// modNVUpload: the settings file's LOGO section, its keys and the format of its entries.
#pragma once

#include "app/core/SystemServices.h"
#include "app/core/clsFile.h"
#include "base/Result.h"
#include "platform/ProfileText.h"
#include "platform/SettingsStore.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

inline constexpr const char* kLogoSection = "LOGO";
inline constexpr const char* kLogoKeyPrefix = "Logofile";
inline constexpr const char* kSettingsFileName = "CorvidoFiles.ini";
inline constexpr int kMaxLogoFiles = 255;

// Writes key = value into section "LOGO" of the settings file.
Result<void> WriteLogoIni(const SettingsStore& store, const std::string& strFile,
                          const std::string& strKey, const std::string& strValue);
// The key's value in section "LOGO"; empty when the file, section or key is
// missing. Fails when the value cannot be read whole (too long, or the file
// unreadable).
Result<std::string> ReadLogoIni(const SettingsStore& store, const std::string& strFile,
                                const std::string& strKey);

// "Logofile" followed by the 1-based position.
std::string LogoKey(int position);
// path|title|size|height|width
std::string FormatLogoValue(const clsFile& file);
// The entry a stored value describes; nothing when it has fewer than five
// fields or a size, height or width that is not a whole 32-bit number.
std::optional<clsFile> ParseLogoValue(std::string_view value);

// The keys and values a save of `files` writes.
ProfileEntries LogoEntries(const std::vector<clsFile>& files);

// Where a save keeps the settings file it would otherwise lose something of:
// beside it, its name followed by ".bak".
std::string LogoBackupFile(const std::string& strFile);

// Replaces the settings file with the list (keys Logofile1 ...), atomically;
// an empty list leaves no file. `loaded` are the entries the list took from
// the file (LogoEntries of the list as loaded), in the program's encoding, as
// the store reads the file. When the file holds anything more (entries
// dropped at load, damaged values, other lines or sections) or the list is
// now empty, the file as it is becomes LogoBackupFile first; when that fails,
// or the file cannot be read, nothing is changed and the reason returned.
Result<void> SaveLogoIni(const SettingsStore& store, const std::string& strFile,
                         const std::vector<clsFile>& files, const ProfileEntries& loaded);

// Where the settings file lives: beside the executable when that folder can
// be written, else in the user's settings folder.
// True for the system's own folders (/usr, /bin, ...), where an installed
// program lives.
bool IsSystemFolder(std::string_view folder);

std::string LogoSettingsFile(SystemServices& services);

// False for a path the settings file and the NVImage string cannot carry:
// one holding "|", a line break or a NUL.
bool StorableLogoPath(std::string_view path);

} // namespace tessaline
