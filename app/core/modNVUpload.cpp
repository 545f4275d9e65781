// SPDX-License-Identifier: MIT
// modNVUpload: the settings file's LOGO section, its keys and the format of its entries.

#include "modNVUpload.h"

#include "platform/ProfileText.h"
#include "platform/SettingsStore.h"

#include <charconv>
#include <cstdint>

namespace tessaline {

Result<void> WriteLogoIni(const SettingsStore& store, const std::string& strFile,
                          const std::string& strKey, const std::string& strValue) {
    return store.WriteKey(strFile, kLogoSection, strKey, strValue);
}

Result<std::string> ReadLogoIni(const SettingsStore& store, const std::string& strFile,
                                const std::string& strKey) {
    Result<std::string> value = store.ReadKey(strFile, kLogoSection, strKey);
    if (value) {
        std::erase(value.Value(), '\0');
    }
    return value;
}

std::string LogoKey(int position) {
    return kLogoKeyPrefix + std::to_string(position);
}

std::string FormatLogoValue(const clsFile& file) {
    return file.mstrFileName + '|' + file.mstrFileTitle + '|' + std::to_string(file.mlngSize) +
           '|' + std::to_string(file.mlngHeight) + '|' + std::to_string(file.mlngWidth);
}

namespace {

// A whole decimal number with an optional minus sign that fits 32 bits.
std::optional<int32_t> WholeNumber(std::string_view text) {
    if (text.empty() || text == "-") {
        return std::nullopt;
    }
    int32_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<clsFile> ParseLogoValue(std::string_view value) {
    std::string_view fields[5];
    size_t start = 0;
    for (int i = 0; i < 5; ++i) {
        const size_t bar = value.find('|', start);
        if (bar == std::string_view::npos) {
            if (i < 4) {
                return std::nullopt;
            }
            fields[i] = value.substr(start);
        } else {
            // Anything after a fifth "|" is left alone, as the list always did.
            fields[i] = value.substr(start, bar - start);
            start = bar + 1;
        }
    }
    auto size = WholeNumber(fields[2]);
    auto height = WholeNumber(fields[3]);
    auto width = WholeNumber(fields[4]);
    if (!size || !height || !width) {
        return std::nullopt;
    }
    return clsFile{std::string(fields[0]), std::string(fields[1]), *size, *height, *width};
}

ProfileEntries LogoEntries(const std::vector<clsFile>& files) {
    ProfileEntries entries;
    entries.reserve(files.size());
    int position = 0;
    for (const clsFile& file : files) {
        entries.emplace_back(LogoKey(++position), FormatLogoValue(file));
    }
    return entries;
}

std::string LogoBackupFile(const std::string& strFile) {
    return strFile + ".bak";
}

namespace {

// Keeps the settings file as it is beside it when the save would lose
// anything of it: the list only carries the entries it could load. The file
// and the entries compare in the program's encoding, whatever the file's.
Result<void> KeepWhatTheSaveWouldLose(const SettingsStore& store, const std::string& strFile,
                                      const std::vector<clsFile>& files,
                                      const ProfileEntries& loaded) {
    const Result<std::optional<std::string>> text = store.ReadText(strFile);
    if (!text) {
        return Result<void>::Fail(text.Reason() +
                                  "; no copy of it can be kept first, so it is left as it is");
    }
    if (!text.Value()) {
        return {};
    }
    const bool loses = !ProfileHoldsOnly(*text.Value(), kLogoSection, loaded) ||
                       (files.empty() && !loaded.empty());
    if (!loses) {
        return {};
    }
    const std::string backup = LogoBackupFile(strFile);
    if (Result<void> kept = store.Copy(strFile, backup); !kept) {
        return Result<void>::Fail("cannot keep a copy of " + strFile + " as " + backup + " (" +
                                  kept.Reason() + "); it is left as it is");
    }
    return {};
}

} // namespace

Result<void> SaveLogoIni(const SettingsStore& store, const std::string& strFile,
                         const std::vector<clsFile>& files, const ProfileEntries& loaded) {
    if (Result<void> kept = KeepWhatTheSaveWouldLose(store, strFile, files, loaded); !kept) {
        return kept;
    }
    if (files.empty()) {
        return store.Remove(strFile);
    }
    return store.Replace(strFile, kLogoSection, LogoEntries(files));
}

bool IsSystemFolder(std::string_view folder) {
    for (std::string_view system : {"/usr", "/bin", "/sbin", "/lib", "/etc"}) {
        if (folder == system || (folder.starts_with(system) && folder.size() > system.size() &&
                                 folder[system.size()] == '/')) {
            return true;
        }
    }
    return false;
}

std::string LogoSettingsFile(SystemServices& services) {
    std::string folder = services.ProgramFolder();
    // An installed program's folder is the system's, even where it can be
    // written (as root): the list then lives in the user's configuration.
    if (IsSystemFolder(folder) || !services.FolderWritable(folder)) {
        folder = services.SettingsFolder();
    }
    return folder + "/" + kSettingsFileName;
}

bool StorableLogoPath(std::string_view path) {
    return path.find_first_of(std::string_view("|\r\n\0", 4)) == std::string_view::npos;
}

} // namespace tessaline
