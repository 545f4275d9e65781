// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaline {

// One character of the printer's font: 16 rows, each the top 16 bits of a
// row, bit 15 the leftmost dot; 8 or 16 dots wide.
struct FontGlyph {
    int width = 0; // 0: the font has no such character
    uint16_t rows[16] = {};

    bool Dot(int x, int y) const { return (rows[y] >> (15 - x) & 1) != 0; }
};

// GNU Unifont (Debian package "unifont"), read once from its installed .hex
// file: every character of the Basic Multilingual Plane, Hangul included,
// half width 8 x 16 or full width 16 x 16.
class BitmapFont {
public:
    // The installed font, loaded on first use; Loaded() false, with the
    // reason in Problem(), when the file cannot be read.
    static const BitmapFont& Installed();
    // A font read from `path`, for the tests and the installed one.
    static BitmapFont Load(const std::string& path);

    bool Loaded() const { return !m_glyphs.empty(); }
    const std::string& Problem() const { return m_problem; }
    // The character's glyph; the replacement character's for one the font lacks.
    const FontGlyph& Glyph(char32_t c) const;

private:
    std::vector<FontGlyph> m_glyphs; // by code point, 0 to 0xFFFF
    std::string m_problem;
};

inline constexpr const char* kUnifontPath = "/usr/share/unifont/unifont.hex";

} // namespace tessaline
