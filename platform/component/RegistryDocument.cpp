#include "RegistryDocument.h"

#include "platform/component/NameCompare.h"

namespace tessaline::registry {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

// The section name a line opens, if it is a section header.
std::optional<std::string> SectionHeader(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') {
        return std::nullopt;
    }
    return std::string(line.substr(1, line.size() - 2));
}

} // namespace

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() > prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

Document Parse(const std::string& text) {
    Document doc;
    std::string* current = &doc.preamble;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        end = (end == std::string::npos) ? text.size() : end + 1;
        std::string_view line(text.data() + pos, end - pos);
        if (auto name = SectionHeader(line)) {
            doc.sections.push_back({std::move(*name), {}});
            current = &doc.sections.back().text;
        }
        current->append(line);
        pos = end;
    }
    return doc;
}

std::string Serialize(const Document& doc) {
    std::string out = doc.preamble;
    for (const auto& s : doc.sections) {
        out += s.text;
    }
    return out;
}

// The value of `key` in a section's text; the first occurrence counts.
std::optional<std::string> Value(const Section& section, std::string_view key) {
    size_t pos = section.text.find('\n'); // skip the header line
    while (pos != std::string::npos && pos < section.text.size()) {
        size_t start = pos + 1;
        size_t end = section.text.find('\n', start);
        std::string_view line(section.text.data() + start,
                              (end == std::string::npos ? section.text.size() : end) - start);
        std::string_view trimmed = Trim(line);
        if (!trimmed.empty() && trimmed.front() != '#' && trimmed.front() != ';') {
            size_t eq = trimmed.find('=');
            if (eq != std::string_view::npos && EqualsNoCase(Trim(trimmed.substr(0, eq)), key)) {
                return std::string(Trim(trimmed.substr(eq + 1)));
            }
        }
        pos = end;
    }
    return std::nullopt;
}

const Section* FindSection(const Document& doc, const std::string& name) {
    for (const auto& s : doc.sections) {
        if (EqualsNoCase(s.name, name)) {
            return &s;
        }
    }
    return nullptr;
}

std::string BuildSection(const std::string& name, const std::vector<Key>& keys) {
    std::string text = "[" + name + "]\n";
    for (const auto& k : keys) {
        text += k.name;
        text += '=';
        text += k.value;
        text += '\n';
    }
    text += '\n';
    return text;
}

// Puts `text` where the first section called `name` stood, dropping any other
// section of that name; appends it when there was none.
void Replace(Document& doc, const std::string& name, std::string text) {
    bool placed = false;
    for (auto it = doc.sections.begin(); it != doc.sections.end();) {
        if (!EqualsNoCase(it->name, name)) {
            ++it;
        } else if (!placed) {
            it->text = text;
            placed = true;
            ++it;
        } else {
            it = doc.sections.erase(it);
        }
    }
    if (!placed) {
        std::string& last = doc.sections.empty() ? doc.preamble : doc.sections.back().text;
        if (!last.empty() && last.back() != '\n') {
            last += '\n';
        }
        doc.sections.push_back({name, std::move(text)});
    }
}

} // namespace tessaline::registry
