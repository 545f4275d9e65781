// SPDX-License-Identifier: MIT
#include "ReceiptPaper.h"

#include <algorithm>

namespace tessaline {

namespace {

constexpr int kCellWidth[2] = {12, 9};
constexpr int kCellHeight[2] = {24, 17};

// Copies the dots of `from` onto `to` at (left, top), leaving out those off
// the picture; upside down turns them about the centre of `to`'s width and
// of the rows top to top + rows.
void Blit(MonoPicture& to, const MonoPicture& from, int left, int top, bool upsideDown, int rows) {
    for (int y = 0; y < from.height; ++y) {
        for (int x = 0; x < from.width; ++x) {
            if (!from.Dot(x, y)) {
                continue;
            }
            int tx = left + x;
            int ty = top + y;
            if (upsideDown) {
                tx = to.width - 1 - tx;
                ty = top + rows - 1 - (ty - top);
            }
            if (tx >= 0 && tx < to.width && ty >= 0 && ty < to.height) {
                to.SetDot(tx, ty);
            }
        }
    }
}

} // namespace

MonoPicture CharacterPicture(const BitmapFont& font, char32_t c, const PrintModes& modes) {
    const FontGlyph& glyph = font.Glyph(c);
    const int f = modes.font == 1 ? 1 : 0;
    const int cells = glyph.width > 8 ? 2 : 1;
    const int cellWidth = kCellWidth[f] * cells;
    const int cellHeight = kCellHeight[f];
    const int width = cellWidth * modes.wide;
    const int height = cellHeight * modes.tall;
    const int advance = width + modes.charSpacing * modes.wide;
    MonoPicture picture = MonoPicture::Blank(advance, height);
    for (int y = 0; y < height; ++y) {
        const int gy = y / modes.tall * 16 / cellHeight;
        bool last = false;
        for (int x = 0; x < width; ++x) {
            const bool dot = glyph.Dot(x / modes.wide * glyph.width / cellWidth, gy);
            // Bold: each dot also one dot to its right.
            if (dot || (modes.bold && last)) {
                picture.SetDot(x, y);
            }
            last = dot;
        }
    }
    if (modes.underline > 0) {
        for (int y = height - std::min(modes.underline, height); y < height; ++y) {
            for (int x = 0; x < advance; ++x) {
                picture.SetDot(x, y);
            }
        }
    }
    if (modes.reverse) {
        for (uint8_t& byte : picture.bits) {
            byte = static_cast<uint8_t>(~byte);
        }
        // The padding past the width stays white.
        const int spare = static_cast<int>(picture.RowBytes()) * 8 - advance;
        if (spare > 0) {
            const auto mask = static_cast<uint8_t>(0xFF << spare);
            for (int y = 0; y < height; ++y) {
                picture.bits[(static_cast<size_t>(y) + 1) * picture.RowBytes() - 1] &= mask;
            }
        }
    }
    return picture;
}

ReceiptPaper::ReceiptPaper(int width, MonoPicture uncut, int rowsAllowed)
    : m_width(width),
      m_piece(uncut.width == width ? std::move(uncut) : MonoPicture::Blank(width, 0)),
      m_rowsAllowed(rowsAllowed), m_rowsLeft(rowsAllowed) {}

const std::string& ReceiptPaper::FontProblem() const {
    return BitmapFont::Installed().Problem();
}

bool ReceiptPaper::Grow(int rows) {
    if (rows > m_rowsLeft) {
        m_outOfPaper = true;
        return false;
    }
    m_piece.AddRows(rows);
    m_rowsLeft -= rows;
    return true;
}

int ReceiptPaper::AlignedLeft(int w) const {
    if (modes.align == 1) {
        return std::max(0, (m_width - w) / 2);
    }
    if (modes.align == 2) {
        return std::max(0, m_width - w);
    }
    return 0;
}

void ReceiptPaper::Place(MonoPicture dots, int advance) {
    if (m_x > 0 && m_x + advance > m_width) {
        LineFeed();
    }
    const int x = m_x;
    m_x += advance;
    m_items.push_back(Item{x, std::move(dots)});
}

void ReceiptPaper::Character(char32_t c) {
    const BitmapFont& font = BitmapFont::Installed();
    if (!font.Loaded()) {
        return;
    }
    MonoPicture dots = CharacterPicture(font, c, modes);
    const int advance = dots.width;
    Place(std::move(dots), advance);
}

void ReceiptPaper::Tab() {
    const int step = kCellWidth[modes.font == 1 ? 1 : 0] * modes.wide * 8;
    const int next = (m_x / step + 1) * step;
    if (next >= m_width) {
        LineFeed();
        return;
    }
    m_x = next;
}

void ReceiptPaper::LineImage(const MonoPicture& image) {
    const int advance = image.width;
    Place(image, advance);
}

void ReceiptPaper::PrintLine() {
    if (!LineStarted()) {
        return;
    }
    int rows = 0;
    for (const Item& item : m_items) {
        rows = std::max(rows, item.dots.height);
    }
    const int lineWidth = std::min(m_x, m_width);
    const int left = AlignedLeft(lineWidth);
    const int top = m_piece.height;
    if (Grow(rows)) {
        for (const Item& item : m_items) {
            // The characters of a line stand on one base line.
            Blit(m_piece, item.dots, left + item.x, top + rows - item.dots.height, modes.upsideDown,
                 rows);
        }
    }
    m_lastLineRows = rows;
    m_items.clear();
    m_x = 0;
}

void ReceiptPaper::LineFeed() {
    if (LineStarted()) {
        PrintLine();
        Grow(std::max(0, modes.lineSpacing - m_lastLineRows));
        return;
    }
    Grow(modes.lineSpacing);
}

void ReceiptPaper::Feed(int rows) {
    PrintLine();
    Grow(std::min(rows, m_rowsLeft));
}

void ReceiptPaper::FeedLines(int lines) {
    if (lines > 0 && LineStarted()) {
        LineFeed();
        --lines;
    }
    PrintLine();
    Grow(std::min(lines * modes.lineSpacing, m_rowsLeft));
}

void ReceiptPaper::ClearLine() {
    m_items.clear();
    m_x = 0;
}

bool ReceiptPaper::Picture(const MonoPicture& picture, int sx, int sy) {
    PrintLine();
    const int top = m_piece.height;
    if (!Grow(picture.height * sy)) {
        return false;
    }
    const int left = AlignedLeft(picture.width * sx);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (!picture.Dot(x, y)) {
                continue;
            }
            for (int i = 0; i < sx && left + x * sx + i < m_width; ++i) {
                for (int j = 0; j < sy; ++j) {
                    m_piece.SetDot(left + x * sx + i, top + y * sy + j);
                }
            }
        }
    }
    return true;
}

void ReceiptPaper::CentredText(const std::u32string& text, int font, int left, int width) {
    const BitmapFont& bitmapFont = BitmapFont::Installed();
    if (!bitmapFont.Loaded() || text.empty()) {
        return;
    }
    PrintModes plain;
    plain.font = font;
    std::vector<MonoPicture> glyphs;
    int total = 0;
    for (const char32_t c : text) {
        glyphs.push_back(CharacterPicture(bitmapFont, c, plain));
        total += glyphs.back().width;
    }
    const int top = m_piece.height;
    if (!Grow(kCellHeight[font == 1 ? 1 : 0])) {
        return;
    }
    int x = left + (width - total) / 2;
    for (const MonoPicture& glyph : glyphs) {
        Blit(m_piece, glyph, x, top, false, 0);
        x += glyph.width;
    }
}

MonoPicture ReceiptPaper::Cut(int feedRows) {
    Feed(feedRows);
    MonoPicture piece = std::move(m_piece);
    m_piece = MonoPicture::Blank(m_width, 0);
    return piece;
}

MonoPicture ReceiptPaper::Uncut() {
    PrintLine();
    MonoPicture piece = std::move(m_piece);
    m_piece = MonoPicture::Blank(m_width, 0);
    return piece;
}

} // namespace tessaline
