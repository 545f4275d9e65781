// SPDX-License-Identifier: MIT
// toml++ says where it stopped and, in its own words, why ("Error while
// parsing floating-point: expected decimal digit or exponent, saw '.'").
// What was found there is read back from the text itself, so the message
// names what the user typed (an address without quotes, a Windows path with
// single backslashes) and what to type instead.
#include "TomlFaults.h"

#include "base/JsonText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace tessaline {

namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u;
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20u || c == 0x7F;
}

// A character that can be part of a bare value or word as typed.
bool InWord(char c, std::string_view stops) {
    return !IsControl(c) && c != ' ' && stops.find(c) == std::string_view::npos;
}

// The byte offset of `line`:`column` in `text`, no further than its end.
size_t OffsetOf(std::string_view text, int line, int column) {
    size_t at = 0;
    for (int l = 1; l < line && at < text.size(); ++at) {
        if (text[at] == '\n') {
            ++l;
        }
    }
    for (int c = 1; c < column && at < text.size() && text[at] != '\n';) {
        ++at;
        if (at < text.size() && !IsContinuation(text[at])) {
            ++c;
        }
    }
    return std::min(at, text.size());
}

int CharactersBetween(std::string_view text, size_t from, size_t to) {
    int count = 0;
    for (size_t i = from; i < to; ++i) {
        count += IsContinuation(text[i]) ? 0 : 1;
    }
    return count;
}

std::string Quoted(std::string_view word) {
    std::string q = "'";
    q += word;
    q += "'";
    return q;
}

// What the text holds at `at`, as the message names it.
std::string Seen(std::string_view text, size_t at) {
    if (at >= text.size()) {
        return "the file's end";
    }
    if (text[at] == '\n' || text[at] == '\r') {
        return "the line's end";
    }
    if (IsControl(text[at])) {
        return "a control character";
    }
    size_t end = at + 1;
    while (end < text.size() && end - at < 24 && InWord(text[end], ",[]{}=#\"'") &&
           InWord(text[at], ",[]{}=#\"'")) {
        ++end;
    }
    while (end < text.size() && IsContinuation(text[end])) {
        ++end;
    }
    return Quoted(text.substr(at, end - at));
}

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

// The name in the last '...' of toml++'s detail.
std::string_view LastQuoted(std::string_view detail) {
    const size_t close = detail.rfind('\'');
    const size_t open = close == std::string_view::npos || close == 0
                            ? std::string_view::npos
                            : detail.rfind('\'', close - 1);
    if (open == std::string_view::npos) {
        return {};
    }
    return detail.substr(open + 1, close - open - 1);
}

std::string ContextName(std::string_view context) {
    if (context == "table header") {
        return "the table header";
    }
    if (context == "inline table") {
        return "the inline table";
    }
    if (context == "array") {
        return "the array";
    }
    if (context == "key-value pair") {
        return "the key = value line";
    }
    if (context == "root table" || context.empty()) {
        return "the manifest";
    }
    return std::string(context);
}

bool IsValueContext(std::string_view context) {
    if (context == "key-value pair") {
        return false;
    }
    for (std::string_view kind :
         {"value", "integer", "floating", "boolean", "date", "time", "inf", "nan"}) {
        if (context.find(kind) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

const char* kValues = "text in quotes, a number, true or false";

} // namespace

SyntaxFault DescribeSyntaxFault(std::string_view text, int line, int column,
                                std::string_view description) {
    SyntaxFault fault;
    fault.line = std::max(line, 1);
    fault.column = std::max(column, 1);
    const size_t at = OffsetOf(text, fault.line, fault.column);
    std::string_view context, detail = description;
    constexpr std::string_view prefix = "Error while parsing ";
    if (StartsWith(description, prefix)) {
        const size_t colon = description.find(": ", prefix.size());
        if (colon != std::string_view::npos) {
            context = description.substr(prefix.size(), colon - prefix.size());
            detail = description.substr(colon + 2);
        }
    }
    const std::string seen = Seen(text, at);
    const bool eof = at >= text.size() || detail == "encountered end-of-file";
    std::string& what = fault.what;

    if (description.find("utf-8") != std::string_view::npos) {
        what = "a byte that is not UTF-8; expected UTF-8 text";
    } else if (StartsWith(detail, "cannot redefine existing ")) {
        const std::string_view name = LastQuoted(detail);
        // Placed at the key given again rather than at its value.
        const size_t lineStart = at == 0 ? 0 : text.rfind('\n', at - 1) + 1;
        const size_t key = name.empty() ? std::string_view::npos
                                        : text.substr(lineStart, at - lineStart).find(name);
        if (context != "table header" && key != std::string_view::npos) {
            fault.column = 1 + CharactersBetween(text, lineStart, lineStart + key);
        }
        if (context == "table header") {
            what.clear();
            what.push_back('[');
            what += name;
            what += "] is given twice; expected each table once";
        } else {
            what = Quoted(name);
            what += " is given twice; expected each key once in its table";
        }
    } else if (IsValueContext(context) ||
               (context == "key-value pair" && StartsWith(detail, "expected value"))) {
        // From the start of the value as typed, which is where it is reported.
        size_t start = std::min(at, text.size());
        while (start > 0 && InWord(text[start - 1], ",[{=")) {
            --start;
        }
        size_t end = start;
        while (end < text.size() && InWord(text[end], ",]}#")) {
            ++end;
        }
        fault.column = std::max(1, fault.column - CharactersBetween(text, start, at));
        const std::string_view value = text.substr(start, end - start);
        if (value.empty()) {
            what = "no value after '='; expected ";
            what += kValues;
        } else {
            what = Quoted(value);
            what += " is not a TOML value";
            if (detail.find("expected") == std::string_view::npos &&
                detail.find("could not") == std::string_view::npos && !eof) {
                what.append(" (").append(detail).append(")");
            }
            what += "; expected ";
            if (value.find('"') == std::string_view::npos) {
                what.append("text in quotes (\"")
                    .append(value)
                    .append("\"), a number, true or "
                            "false");
            } else {
                what += kValues;
            }
        }
    } else if (context.find("string") != std::string_view::npos) {
        const char* quote = context.find("literal") != std::string_view::npos ? "'" : "\"";
        if (StartsWith(detail, "unknown escape")) {
            // toml++ stops after the backslash.
            size_t from = at;
            if (from > 0 && from < text.size() && text[from] != '\\' && text[from - 1] == '\\') {
                --from;
                fault.column = std::max(1, fault.column - 1);
            }
            // The backslash and the whole character after it.
            size_t length = 2;
            while (from + length < text.size() &&
                   (static_cast<unsigned char>(text[from + length]) & 0xC0) == 0x80) {
                ++length;
            }
            const std::string_view escape =
                text.substr(from, std::min<size_t>(length, text.size() - from));
            what = Quoted(escape);
            what += " in a string is not an escape; expected \\\\ for each backslash, or the "
                    "text in single quotes, as in 'C:\\logos\\header.bmp'";
        } else if (eof) {
            what = "the file ends inside a string; expected its closing ";
            what += quote;
        } else if (seen == "the line's end") {
            what = "the line ends inside a string; expected its closing ";
            what += quote;
            what += " on the same line";
        } else {
            what = "a control character inside a string; expected \\t, \\n or another escape";
        }
    } else if (eof) {
        what = "the file ends inside ";
        what += ContextName(context);
        what += context == "inline table"                         ? "; expected '}'"
                : context == "key-value pair"                     ? "; expected '=' and a value"
                : context == "array" || context == "table header" ? "; expected ']'"
                                                                  : "; expected more";
    } else if (StartsWith(detail, "expected a comment or whitespace")) {
        what = seen;
        what += context == "table header" ? " after the table header" : " after the value";
        what += "; expected the line's end or a # comment";
    } else if (context == "root table") {
        what = seen;
        what += " where a line starts; expected KEY = VALUE, [TABLE] or a # comment";
    } else if (StartsWith(detail, "expected ") && detail.find(", saw ") != std::string_view::npos) {
        const std::string_view expected = detail.substr(9, detail.find(", saw ") - 9);
        what = seen;
        if (context == "key-value pair") {
            what += " after the key";
        } else {
            what += " in ";
            what += ContextName(context);
        }
        what.append("; expected ").append(expected);
    } else {
        what = std::string(detail);
        if (!context.empty()) {
            what.append(" (").append(ContextName(context)).append(")");
        }
        what += "; expected TOML as tessaline-cli(1) shows a manifest";
    }
    // toml++ quotes what it saw raw, a line's end included: one line always.
    std::replace_if(what.begin(), what.end(), IsControl, ' ');
    return fault;
}

std::string AsciiForToml(std::string_view text, std::optional<SyntaxFault>& fault) {
    enum class In { Value, Comment, Basic, Literal, MultiBasic, MultiLiteral };
    In in = In::Value;
    std::string out;
    out.reserve(text.size());
    int line = 1;
    int column = 1; // in characters, of the byte at `i`
    const auto starts = [&](size_t i, std::string_view with) {
        return text.substr(i, with.size()) == with;
    };
    // The code point of the well-formed UTF-8 sequence at `i`, and its length.
    const auto codePoint = [&](size_t i, size_t& length) {
        length = Utf8SequenceAt(std::string(text.substr(i, 4)), 0);
        uint32_t c = static_cast<unsigned char>(text[i]) & (length == 2   ? 0x1F
                                                            : length == 3 ? 0x0F
                                                                          : 0x07);
        for (size_t k = 1; k < length; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        return c;
    };
    const auto escaped = [](uint32_t c) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, c <= 0xFFFF ? "\\u%04X" : "\\U%08X", c);
        return std::string(buffer);
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto u = static_cast<unsigned char>(c);
        size_t length = 0;
        const uint32_t point = u >= 0x80 ? codePoint(i, length) : u;
        if (u >= 0x80 && length == 0) {
            out += c; // not UTF-8: the reader says so itself
            continue;
        }
        if (u >= 0x80) {
            switch (in) {
            case In::Value:
                fault = SyntaxFault{line, column, ""};
                fault->what.clear();
                fault->what.push_back('\'');
                fault->what.append(text.substr(i, length));
                fault->what += "' is outside quotes; expected ASCII there (other characters go in "
                               "text in quotes or in a comment)";
                return {};
            case In::Comment:
                out += '?';
                break;
            default:
                out += escaped(point);
                break;
            }
            i += length - 1;
            ++column;
            continue;
        }
        if (c == '\n') {
            ++line;
            column = 0;
        }
        ++column;
        switch (in) {
        case In::Value:
            if (c == '#') {
                in = In::Comment;
                out += c;
            } else if (starts(i, R"(""")")) {
                in = In::MultiBasic;
                out += R"(""")";
                i += 2;
                column += 2;
            } else if (starts(i, "'''")) {
                in = In::MultiLiteral;
                out += R"(""")"; // as a basic string, so its text can be escaped
                i += 2;
                column += 2;
            } else if (c == '"') {
                in = In::Basic;
                out += c;
            } else if (c == '\'') {
                in = In::Literal;
                out += '"';
            } else {
                out += c;
            }
            break;
        case In::Comment:
            in = c == '\n' ? In::Value : in;
            out += c;
            break;
        case In::Basic:
        case In::MultiBasic:
            if (c == '\\' && i + 1 < text.size() &&
                static_cast<unsigned char>(text[i + 1]) >= 0x80) {
                // No escape begins so: one the reader refuses in its own words.
                out += "\\?";
            } else if (c == '\\' && i + 1 < text.size()) {
                // An escape, or a line-ending backslash: as it is.
                out += c;
                out += text[i + 1];
                if (text[i + 1] == '\n') {
                    ++line;
                    column = 0;
                }
                ++i;
                ++column;
            } else if (in == In::Basic && (c == '"' || c == '\n')) {
                in = In::Value;
                out += c;
            } else if (in == In::MultiBasic && starts(i, R"(""")")) {
                in = In::Value;
                out += R"(""")";
                i += 2;
                column += 2;
                for (int extra = 0; extra < 2 && i + 1 < text.size() && text[i + 1] == '"';
                     ++extra) {
                    out += '"';
                    ++i;
                    ++column;
                }
            } else {
                out += c;
            }
            break;
        case In::Literal:
        case In::MultiLiteral:
            if (in == In::Literal && (c == '\'' || c == '\n')) {
                in = In::Value;
                out += c == '\'' ? '"' : c;
            } else if (in == In::MultiLiteral && starts(i, "'''")) {
                // Up to two more quotes belong to the text; the last three close it.
                size_t run = 3;
                while (run < 5 && i + run < text.size() && text[i + run] == '\'') {
                    ++run;
                }
                out.append(run - 3, '\'');
                out += R"(""")";
                in = In::Value;
                i += run - 1;
                column += static_cast<int>(run) - 1;
            } else if (c == '\\') {
                out += "\\\\";
            } else if (c == '"') {
                out += "\\\"";
            } else {
                out += c;
            }
            break;
        }
    }
    return out;
}

} // namespace tessaline
