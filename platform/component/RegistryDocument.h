#pragma once

// The component registry file as text: sections that can be found, replaced
// and removed while every other byte stays as it stands.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline::registry {

struct Section {
    std::string name; // between the brackets
    std::string text; // the header line and everything up to the next header
};

struct Document {
    std::string preamble; // before the first section
    std::vector<Section> sections;
};

struct Key {
    const char* name;
    std::string value;
};

// True when `s` is longer than `prefix` and starts with it, ASCII case ignored.
bool StartsWithNoCase(std::string_view s, std::string_view prefix);

// Splits text into the preamble and its sections; Serialize joins them back
// byte for byte.
Document Parse(const std::string& text);
std::string Serialize(const Document& doc);

// The value of `key` in a section (trimmed; the first occurrence counts).
std::optional<std::string> Value(const Section& section, std::string_view key);
// The first section called `name` (ASCII case ignored), or null.
const Section* FindSection(const Document& doc, const std::string& name);

// "[name]", one "key=value" line a key, then a blank line.
std::string BuildSection(const std::string& name, const std::vector<Key>& keys);
// Puts `text` where the first section called `name` stood, dropping any other
// section of that name; appends it when there was none.
void Replace(Document& doc, const std::string& name, std::string text);

// Removes every section that `match` accepts; true when one went.
template <typename Match> bool RemoveIf(Document& doc, Match match) {
    size_t before = doc.sections.size();
    std::erase_if(doc.sections, match);
    return doc.sections.size() != before;
}

} // namespace tessaline::registry
