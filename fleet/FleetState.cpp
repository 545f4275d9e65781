// SPDX-License-Identifier: MIT
#include "fleet/FleetState.h"

#include "base/JsonText.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"

#include <charconv>
#include <ctime>
#include <optional>
#include <vector>

namespace tessaline {

namespace {

// A reader for the JSON this file holds: objects, strings and whole numbers.
class Reader {
public:
    explicit Reader(std::string_view text) : m_text(text) {}

    // The reason for the first fault, with its place; empty while there is none.
    const std::string& Fault() const { return m_fault; }
    bool Failed() const { return !m_fault.empty(); }

    void Fail(const std::string& what) {
        if (!m_fault.empty()) {
            return;
        }
        int line = 1, column = 1;
        for (size_t i = 0; i < m_at && i < m_text.size(); ++i) {
            if (m_text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        m_fault =
            "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + what;
    }

    void Space() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\n' ||
                                        m_text[m_at] == '\r' || m_text[m_at] == '\t')) {
            ++m_at;
        }
    }
    bool Take(char c) {
        Space();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    void Expect(char c) {
        if (!Take(c)) {
            Fail(std::string("expected '") + c + "'");
        }
    }
    bool AtEnd() {
        Space();
        return m_at >= m_text.size();
    }

    std::string String() {
        std::string out;
        if (!Take('"')) {
            Fail("expected a string in quotes");
            return out;
        }
        while (m_at < m_text.size() && m_text[m_at] != '"') {
            char c = m_text[m_at++];
            if (static_cast<unsigned char>(c) < 0x20) {
                Fail("a control character inside a string");
                return out;
            }
            if (c == '\\') {
                if (m_at >= m_text.size()) {
                    break;
                }
                c = m_text[m_at++];
                if (c == 'u' && m_at + 4 <= m_text.size()) {
                    unsigned value = 0;
                    const auto [end, ec] =
                        std::from_chars(m_text.data() + m_at, m_text.data() + m_at + 4, value, 16);
                    // \u0080 to \u00ff are how this file writes a byte
                    // that is not part of well-formed UTF-8 (a serial number
                    // a printer answered in its own code page): the byte.
                    if (ec != std::errc() || end != m_text.data() + m_at + 4 || value > 0xFF) {
                        Fail("an escape this file never holds");
                        return out;
                    }
                    m_at += 4;
                    out += static_cast<char>(static_cast<unsigned char>(value));
                    continue;
                }
                if (c != '"' && c != '\\' && c != '/') {
                    Fail("an escape this file never holds");
                    return out;
                }
            }
            out += c;
        }
        if (m_at >= m_text.size()) {
            Fail("a string without its closing quote");
            return out;
        }
        ++m_at;
        return out;
    }

    int64_t Number() {
        Space();
        int64_t value = 0;
        const auto [end, ec] =
            std::from_chars(m_text.data() + m_at, m_text.data() + m_text.size(), value);
        if (ec != std::errc() || value < 0) {
            Fail("expected a whole number, 0 or more");
            return 0;
        }
        m_at = static_cast<size_t>(end - m_text.data());
        return value;
    }

    // Calls `member(name)` for each member of an object.
    template <typename F> void Object(F&& member) {
        Expect('{');
        if (Failed() || Take('}')) {
            return;
        }
        do {
            const std::string name = String();
            Expect(':');
            if (Failed()) {
                return;
            }
            member(name);
        } while (!Failed() && Take(','));
        Expect('}');
    }

private:
    std::string_view m_text;
    size_t m_at = 0;
    std::string m_fault;
};

} // namespace

void PrinterRecord::CountWrites(const std::string& today, int64_t count) {
    if (day != today) {
        day = today;
        writes = 0;
    }
    writes += count;
}

std::string FleetStateText(const FleetState& state) {
    std::string out = "{\n  \"printers\": {";
    bool firstPrinter = true;
    for (const auto& [address, r] : state.printers) {
        out.append(firstPrinter ? "\n" : ",\n");
        firstPrinter = false;
        out.append("    ").append(Json(address)).append(": {\n");
        out.append("      \"serial\": ").append(Json(r.serial)).append(",\n");
        out.append("      \"commands\": ").append(Json(r.commands)).append(",\n");
        out.append("      \"day\": ").append(Json(r.day)).append(",\n");
        out.append("      \"nv-writes\": ").append(std::to_string(r.writes));
        if (r.changes != 0) {
            out.append(",\n      \"nv-changes\": ").append(std::to_string(r.changes));
        }
        if (!r.bitImages.empty()) {
            out.append(",\n      \"bit-images\": ").append(Json(r.bitImages));
        }
        if (!r.autoLogo.empty()) {
            out.append(",\n      \"auto-logo\": ").append(Json(r.autoLogo));
        }
        out.append(",\n      \"keys\": {");
        bool firstKey = true;
        for (const auto& [key, hash] : r.keys) {
            out.append(firstKey ? "\n" : ",\n");
            firstKey = false;
            out.append("        ").append(Json(key)).append(": ").append(Json(hash));
        }
        out.append(firstKey ? "}\n" : "\n      }\n");
        out.append("    }");
    }
    out.append(firstPrinter ? "}" : "\n  }");
    if (!state.failed.empty()) {
        out.append(",\n  \"failed\": {");
        bool first = true;
        for (const auto& [address, outcome] : state.failed) {
            out.append(first ? "\n    " : ",\n    ");
            first = false;
            out.append(Json(address)).append(": ").append(Json(outcome));
        }
        out.append("\n  }");
    }
    out.append("\n}\n");
    return out;
}

Result<FleetState> ParseFleetState(std::string_view text) {
    FleetState state;
    Reader in(text);
    in.Object([&](const std::string& top) {
        if (top == "failed") {
            in.Object([&](const std::string& address) {
                std::string& outcome = state.failed[address];
                outcome = in.String();
                if (!in.Failed() && outcome != "failed" && outcome != "refused") {
                    in.Fail("a printer's last result is \"failed\" or \"refused\", not \"" +
                            outcome + "\"");
                }
            });
            return;
        }
        if (top != "printers") {
            in.Fail("unknown member \"" + top + "\"; expected \"printers\" or \"failed\"");
            return;
        }
        in.Object([&](const std::string& address) {
            PrinterRecord& r = state.printers[address];
            in.Object([&](const std::string& field) {
                if (field == "serial") {
                    r.serial = in.String();
                } else if (field == "commands") {
                    r.commands = in.String();
                } else if (field == "day") {
                    r.day = in.String();
                } else if (field == "nv-writes") {
                    r.writes = in.Number();
                } else if (field == "nv-changes") {
                    r.changes = static_cast<uint64_t>(in.Number());
                } else if (field == "bit-images") {
                    r.bitImages = in.String();
                } else if (field == "auto-logo") {
                    r.autoLogo = in.String();
                } else if (field == "keys") {
                    in.Object([&](const std::string& key) { r.keys[key] = in.String(); });
                } else {
                    in.Fail("unknown member \"" + field + "\" of a printer");
                }
            });
        });
    });
    if (!in.Failed() && !in.AtEnd()) {
        in.Fail("more after the state's end");
    }
    if (in.Failed()) {
        return Result<FleetState>::Fail(in.Fault());
    }
    return state;
}

Result<FleetState> ReadFleetState(const std::filesystem::path& file) {
    const auto text = ReadFileIfPresent(file, 64u << 20);
    if (!text) {
        return Result<FleetState>::FailAs(text);
    }
    if (!text.Value()) {
        return FleetState{};
    }
    auto state = ParseFleetState(*text.Value());
    if (!state) {
        return Result<FleetState>::Fail(file.string() +
                                        ": not a state file of tessaline-cli "
                                        "apply (" +
                                        state.Reason() + "); left as it is");
    }
    return state;
}

Result<void> WriteFleetState(const std::filesystem::path& file, const FleetState& state) {
    return ReplaceFileAtomically(file, FleetStateText(state));
}

} // namespace tessaline
