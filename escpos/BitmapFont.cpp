// SPDX-License-Identifier: MIT
#include "BitmapFont.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tessaline {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// "XXXX:" then 32 (half width) or 64 (full width) hex digits, 16 rows.
bool ParseLine(const char* line, size_t length, uint32_t& code, FontGlyph& glyph) {
    const char* colon = static_cast<const char*>(std::memchr(line, ':', length));
    if (colon == nullptr || colon == line || colon - line > 6) {
        return false;
    }
    code = 0;
    for (const char* p = line; p < colon; ++p) {
        const int v = HexValue(*p);
        if (v < 0) {
            return false;
        }
        code = code << 4 | static_cast<uint32_t>(v);
    }
    const char* digits = colon + 1;
    size_t count = length - static_cast<size_t>(digits - line);
    while (count > 0 && (digits[count - 1] == '\n' || digits[count - 1] == '\r')) {
        --count;
    }
    if (count != 32 && count != 64) {
        return false;
    }
    const size_t perRow = count / 16;
    glyph.width = static_cast<int>(perRow) * 4;
    for (size_t row = 0; row < 16; ++row) {
        uint32_t bits = 0;
        for (size_t i = 0; i < perRow; ++i) {
            const int v = HexValue(digits[row * perRow + i]);
            if (v < 0) {
                return false;
            }
            bits = bits << 4 | static_cast<uint32_t>(v);
        }
        glyph.rows[row] = static_cast<uint16_t>(bits << (16 - perRow * 4));
    }
    return true;
}

} // namespace

BitmapFont BitmapFont::Load(const std::string& path) {
    BitmapFont font;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        font.m_problem = "the font " + path + " cannot be read (" + std::strerror(errno) +
                         "); install the Debian package unifont";
        return font;
    }
    std::vector<FontGlyph> glyphs(0x10000);
    char line[256];
    size_t count = 0;
    while (std::fgets(line, sizeof line, file.get()) != nullptr) {
        uint32_t code = 0;
        FontGlyph glyph;
        if (ParseLine(line, std::strlen(line), code, glyph) && code < glyphs.size()) {
            glyphs[code] = glyph;
            ++count;
        }
    }
    if (count == 0 || glyphs[0xFFFD].width == 0) {
        font.m_problem = "the font " + path + " holds no Unifont characters";
        return font;
    }
    font.m_glyphs = std::move(glyphs);
    return font;
}

const BitmapFont& BitmapFont::Installed() {
    static const BitmapFont font = Load(kUnifontPath);
    return font;
}

const FontGlyph& BitmapFont::Glyph(char32_t c) const {
    if (c < m_glyphs.size() && m_glyphs[c].width != 0) {
        return m_glyphs[c];
    }
    return m_glyphs[0xFFFD];
}

} // namespace tessaline
