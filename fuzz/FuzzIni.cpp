// SPDX-License-Identifier: MIT
// Feeds arbitrary text to the INI reader and writer (ProfileText), as the
// settings file and the component registry use it: each reading is held to
// what the writer promises, and the sections come back byte for byte.
#include "base/NameCompare.h"
#include "platform/ProfileText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace tessaline;

// The settings file's use: one key set, one section written whole.
void Keys(std::string_view text) {
    // Setting a key makes it read back as set and leaves the section's other keys alone.
    const std::string value = "/srv/logos/shop.bmp|shop.bmp|7680|160|384";
    const std::string set = SetProfileValue(text, "LOGO", "Logofile1", value);
    if (FindProfileValue(set, "logo", "LOGOFILE1") != value ||
        FindProfileValue(set, "LOGO", "Logofile2") != FindProfileValue(text, "LOGO", "Logofile2")) {
        __builtin_trap();
    }
    // What the writer formats, the reader finds whole: every line of the text
    // that reads back as it stands becomes an entry.
    ProfileEntries entries;
    std::size_t start = 0;
    while (start < text.size() && entries.size() < 16) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end;
        const std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.find_first_of(" \t\r") == std::string_view::npos) {
            entries.emplace_back("Logofile" + std::to_string(entries.size() + 1), line);
        }
        start = end + 1;
    }
    const std::string formatted = FormatProfile("LOGO", entries);
    if (!ProfileHoldsOnly(formatted, "LOGO", entries)) {
        __builtin_trap();
    }
    for (const auto& [key, entry] : entries) {
        if (FindProfileValue(formatted, "LOGO", key) != entry) {
            __builtin_trap();
        }
    }
    ProfileHoldsOnly(text, "LOGO", entries);
}

// The component registry's use: whole sections found and replaced.
void Sections(std::string_view text) {
    ProfileDocument doc = SplitProfile(text);
    // Every byte that is not ours stays as it stands.
    if (JoinProfile(doc) != text) {
        __builtin_trap();
    }
    for (const ProfileSection& section : doc.sections) {
        const ProfileSection* found = FindSection(doc, section.name);
        if (found == nullptr || !EqualsNoCase(found->name, section.name)) {
            __builtin_trap();
        }
        FindSectionValue(section, "CLSID");
    }
    // A section put in reads back from the text that is written.
    const std::string name = "CLSID\\{D20B7BA2-F718-4DA7-8DE3-7A07C0B383A5}";
    const std::string library = "/usr/lib/libtessaline-control.so";
    ReplaceSection(doc, name, FormatProfile(name, {{"InprocServer32", library}}) + "\n");
    const ProfileDocument reread = SplitProfile(JoinProfile(doc));
    const ProfileSection* section = FindSection(reread, name);
    if (section == nullptr || FindSectionValue(*section, "inprocserver32") != library) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Keys(text);
    Sections(text);
    return 0;
}
