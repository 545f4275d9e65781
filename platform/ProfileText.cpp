// SPDX-License-Identifier: MIT
#include "platform/ProfileText.h"

#include "base/NameCompare.h"

#include <algorithm>

namespace tessaline {

namespace {

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// The lines of `text` without their LF; no empty line after a last LF.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

ProfileLine ReadProfileLine(std::string_view line) {
    ProfileLine read;
    read.body = Trim(line);
    if (read.body.empty()) {
        return read;
    }
    if (read.body.front() == '[') {
        const size_t close = read.body.find(']');
        read.kind = ProfileLineKind::Section;
        read.name = Trim(read.body.substr(1, close == std::string_view::npos ? read.body.size() - 1
                                                                             : close - 1));
    } else if (read.body.front() == ';' || read.body.front() == '#') {
        read.kind = ProfileLineKind::Comment;
    } else if (const size_t eq = read.body.find('='); eq != std::string_view::npos) {
        read.kind = ProfileLineKind::Key;
        read.name = Trim(read.body.substr(0, eq));
        read.value = Trim(read.body.substr(eq + 1));
    } else {
        read.kind = ProfileLineKind::Other;
    }
    return read;
}

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    for (const ProfileSection& s : SplitProfile(text).sections) {
        if (EqualsNoCase(s.name, section)) {
            if (auto value = FindSectionValue(s, key)) {
                return value;
            }
        }
    }
    return std::nullopt;
}

std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value) {
    const std::vector<std::string_view> lines = SplitLines(text);
    const std::string newLine = std::string(key) + "=" + std::string(value) + "\n";
    // Where the first section of that name is, where its key is, and its last key line.
    std::optional<size_t> sectionAt;
    std::optional<size_t> keyAt;
    size_t insertAfter = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const ProfileLine line = ReadProfileLine(lines[i]);
        if (line.kind == ProfileLineKind::Section) {
            if (sectionAt) {
                break;
            }
            if (EqualsNoCase(line.name, section)) {
                sectionAt = i;
                insertAfter = i;
            }
        } else if (sectionAt && line.kind == ProfileLineKind::Key) {
            insertAfter = i;
            if (!keyAt && EqualsNoCase(line.name, key)) {
                keyAt = i;
            }
        }
    }
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (keyAt && i == *keyAt) {
            out += newLine;
            continue;
        }
        out += lines[i];
        out += '\n';
        if (sectionAt && !keyAt && i == insertAfter) {
            out += newLine;
        }
    }
    if (!sectionAt) {
        out += FormatProfile(section, {});
        out += newLine;
    }
    return out;
}

std::string FormatProfile(std::string_view section, const ProfileEntries& entries) {
    // Appended piece by piece: g++ 12 at -O3 warns (-Wrestrict) about
    // "[" + std::string(...) although nothing overlaps.
    std::string out = "[";
    out += section;
    out += "]\n";
    for (const auto& [key, value] : entries) {
        out += key;
        out += '=';
        out += value;
        out += '\n';
    }
    return out;
}

bool ProfileHoldsOnly(std::string_view text, std::string_view section,
                      const ProfileEntries& entries) {
    bool inSection = false;
    size_t next = 0;
    for (const std::string_view raw : SplitLines(text)) {
        const ProfileLine line = ReadProfileLine(raw);
        if (line.kind == ProfileLineKind::Blank) {
            continue;
        }
        if (line.kind == ProfileLineKind::Section) {
            // One header of that name, with nothing after its bracket.
            if (inSection || line.body.back() != ']' ||
                line.body.find(']') != line.body.size() - 1 || !EqualsNoCase(line.name, section)) {
                return false;
            }
            inSection = true;
            continue;
        }
        if (!inSection || line.kind != ProfileLineKind::Key || next == entries.size() ||
            !EqualsNoCase(line.name, entries[next].first) || line.value != entries[next].second) {
            return false;
        }
        ++next;
    }
    return next == entries.size();
}

ProfileDocument SplitProfile(std::string_view text) {
    ProfileDocument document;
    std::string* current = &document.preamble;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
        const std::string_view line = text.substr(start, end - start);
        if (const ProfileLine read = ReadProfileLine(line.substr(0, line.find('\n')));
            read.kind == ProfileLineKind::Section) {
            document.sections.push_back({std::string(read.name), {}});
            current = &document.sections.back().text;
        }
        current->append(line);
        start = end;
    }
    return document;
}

std::string JoinProfile(const ProfileDocument& document) {
    std::string text = document.preamble;
    for (const ProfileSection& section : document.sections) {
        text += section.text;
    }
    return text;
}

std::optional<std::string> FindSectionValue(const ProfileSection& section, std::string_view key) {
    const std::vector<std::string_view> lines = SplitLines(section.text);
    // The first line is the section's header.
    for (size_t i = 1; i < lines.size(); ++i) {
        const ProfileLine line = ReadProfileLine(lines[i]);
        if (line.kind == ProfileLineKind::Key && EqualsNoCase(line.name, key)) {
            return std::string(line.value);
        }
    }
    return std::nullopt;
}

const ProfileSection* FindSection(const ProfileDocument& document, std::string_view name) {
    for (const ProfileSection& section : document.sections) {
        if (EqualsNoCase(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

void ReplaceSection(ProfileDocument& document, std::string_view name, std::string text) {
    bool placed = false;
    for (auto it = document.sections.begin(); it != document.sections.end();) {
        if (!EqualsNoCase(it->name, name)) {
            ++it;
        } else if (!placed) {
            it->text = text;
            placed = true;
            ++it;
        } else {
            it = document.sections.erase(it);
        }
    }
    if (!placed) {
        std::string& last =
            document.sections.empty() ? document.preamble : document.sections.back().text;
        if (!last.empty() && last.back() != '\n') {
            last += '\n';
        }
        document.sections.push_back({std::string(name), std::move(text)});
    }
}

} // namespace tessaline
