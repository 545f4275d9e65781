// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaline {

// Profile (INI) text as the system's profile functions read it; the settings
// file and the component registry both are such text. A line is a section
// header when it begins with "[" (its name runs to the first "]"), a comment
// when it begins with ";" or "#", and a key when it holds "="; blanks around
// names, values and the line are ignored, names compare without regard to
// ASCII case, and the first of two equal keys wins. Lines end in LF or CR LF.

using ProfileEntries = std::vector<std::pair<std::string, std::string>>;

enum class ProfileLineKind { Blank, Comment, Section, Key, Other };

// One line, without its line break, as the rules above read it.
struct ProfileLine {
    ProfileLineKind kind = ProfileLineKind::Blank;
    std::string_view body;  // the line without the blanks around it
    std::string_view name;  // a section's or a key's
    std::string_view value; // a key's
};
ProfileLine ReadProfileLine(std::string_view line);

// The key's value, or nothing when the section or the key is missing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);
// `text` with the key set, the section appended when missing.
std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value);
// "[section]", then one "key=value" line an entry, in order.
std::string FormatProfile(std::string_view section, const ProfileEntries& entries);
// True when `text` holds `section` with exactly `entries` in that order and
// nothing else but blank lines: rewriting it with FormatProfile would lose
// nothing. Text without any key holds no entries.
bool ProfileHoldsOnly(std::string_view text, std::string_view section,
                      const ProfileEntries& entries);

// Profile text as sections that can be found, replaced and removed while
// every other byte stays as it stands.
struct ProfileSection {
    std::string name; // as the header gives it
    std::string text; // the header line and everything up to the next header
};
struct ProfileDocument {
    std::string preamble; // before the first section
    std::vector<ProfileSection> sections;
};
// JoinProfile gives back SplitProfile's text byte for byte.
ProfileDocument SplitProfile(std::string_view text);
std::string JoinProfile(const ProfileDocument& document);
// The value of `key` in one section.
std::optional<std::string> FindSectionValue(const ProfileSection& section, std::string_view key);
// The first section called `name`, or null.
const ProfileSection* FindSection(const ProfileDocument& document, std::string_view name);
// Puts `text` where the first section called `name` stood, dropping any
// other section of that name; appends it when there was none (after a line
// break, should the text before lack its last).
void ReplaceSection(ProfileDocument& document, std::string_view name, std::string text);
// Removes every section that `match` accepts; true when one went.
template <typename Match> bool RemoveSections(ProfileDocument& document, Match match) {
    return std::erase_if(document.sections, match) != 0;
}

} // namespace tessaline
