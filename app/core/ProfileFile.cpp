#include "app/core/ProfileFile.h"

#include "platform/FileIo.h"

#include <algorithm>
#include <vector>

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

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if ((ca >= 'A' && ca <= 'Z' ? ca + 32 : ca) != (cb >= 'A' && cb <= 'Z' ? cb + 32 : cb)) {
            return false;
        }
    }
    return true;
}

// One line of profile text, split where it matters.
struct Line {
    std::string_view raw;
    bool isSection = false;
    std::string_view name; // section name, or key
    std::string_view value;
    bool isKey = false;
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        Line line;
        line.raw = text.substr(start, end - start);
        const std::string_view body = Trim(line.raw);
        if (!body.empty() && body.front() == '[') {
            const size_t close = body.find(']');
            line.isSection = true;
            line.name =
                Trim(body.substr(1, close == std::string_view::npos ? body.size() - 1 : close - 1));
        } else if (const size_t eq = body.find('='); eq != std::string_view::npos) {
            line.isKey = true;
            line.name = Trim(body.substr(0, eq));
            line.value = Trim(body.substr(eq + 1));
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

} // namespace

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    bool inSection = false;
    for (const Line& line : SplitLines(text)) {
        if (line.isSection) {
            inSection = SameName(line.name, section);
        } else if (inSection && line.isKey && SameName(line.name, key)) {
            return std::string(line.value);
        }
    }
    return std::nullopt;
}

std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value) {
    const std::vector<Line> lines = SplitLines(text);
    const std::string newLine = std::string(key) + "=" + std::string(value) + "\n";
    // Where the first section of that name is, where its key is, and its last key line.
    std::optional<size_t> sectionAt;
    std::optional<size_t> keyAt;
    size_t insertAfter = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].isSection) {
            if (sectionAt) {
                break;
            }
            if (SameName(lines[i].name, section)) {
                sectionAt = i;
                insertAfter = i;
            }
        } else if (sectionAt && lines[i].isKey) {
            insertAfter = i;
            if (!keyAt && SameName(lines[i].name, key)) {
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
        out += lines[i].raw;
        out += '\n';
        if (sectionAt && !keyAt && i == insertAfter) {
            out += newLine;
        }
    }
    if (!sectionAt) {
        out += '[';
        out += section;
        out += "]\n";
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
    for (const Line& line : SplitLines(text)) {
        const std::string_view body = Trim(line.raw);
        if (body.empty()) {
            continue;
        }
        if (line.isSection) {
            // One header of that name, with nothing after its bracket.
            if (inSection || body.back() != ']' || body.find(']') != body.size() - 1 ||
                !SameName(line.name, section)) {
                return false;
            }
            inSection = true;
            continue;
        }
        if (!inSection || !line.isKey || next == entries.size() ||
            !SameName(line.name, entries[next].first) || line.value != entries[next].second) {
            return false;
        }
        ++next;
    }
    return next == entries.size();
}

std::string ReadProfileFileString(const std::string& file, const std::string& section,
                                  const std::string& key) {
    const Result<std::string> text = ReadWholeFile(file);
    if (!text) {
        return {};
    }
    return FindProfileValue(text.Value(), section, key).value_or(std::string());
}

Result<void> WriteProfileFileString(const std::string& file, const std::string& section,
                                    const std::string& key, const std::string& value) {
    const Result<std::optional<std::string>> old = ReadFileIfPresent(file);
    if (!old) {
        return Result<void>::Fail(old.Reason());
    }
    return ReplaceFileAtomically(file,
                                 SetProfileValue(old.Value().value_or(""), section, key, value));
}

Result<void> ReplaceProfileFileWith(const std::string& file, const std::string& section,
                                    const ProfileEntries& entries, const FileWriteHooks* hooks) {
    return ReplaceFileAtomically(file, FormatProfile(section, entries), hooks);
}

} // namespace tessaline
