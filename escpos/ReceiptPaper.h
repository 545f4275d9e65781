// SPDX-License-Identifier: MIT
#pragma once

#include "BitmapFont.h"
#include "escpos/MonoPicture.h"

#include <string>
#include <vector>

namespace tessaline {

// The print modes the text commands set; ESC @ brings them back.
struct PrintModes {
    int font = 0;            // 0 font A (12 x 24), 1 font B (9 x 17)
    bool bold = false;       // ESC E, ESC ! bit 3
    int underline = 0;       // ESC -: 0, 1 or 2 dots thick
    bool reverse = false;    // GS B: white on black
    bool upsideDown = false; // ESC {
    int wide = 1;            // GS !, ESC !: 1 to 8
    int tall = 1;
    int align = 0;        // ESC a: 0 left, 1 centre, 2 right
    int lineSpacing = 30; // ESC 2 / ESC 3, in dots
    int charSpacing = 0;  // ESC SP, right of each character, in dots
};

// The paper of the printer as it prints: the piece not yet cut off, and the
// line of text and column images gathered until a line feed prints it.
// Text wraps at the right edge, and each line takes the alignment and the
// turn (upside down or not) in force when it prints.
class ReceiptPaper {
public:
    // `uncut` is the paper printed before and not yet cut; a piece of
    // another width is left out. At most `rowsAllowed` dot rows are printed.
    ReceiptPaper(int width, MonoPicture uncut, int rowsAllowed);

    PrintModes modes;

    int Width() const { return m_width; }
    // Dot rows on the piece not yet cut, and whether any line is gathered.
    int Height() const { return m_piece.height; }
    bool LineStarted() const { return !m_items.empty() || m_x > 0; }
    // True once a print did not fit the rows allowed; that print was left out.
    bool OutOfPaper() const { return m_outOfPaper; }
    // The font's problem when text cannot be drawn; empty when it can.
    const std::string& FontProblem() const;

    // Adds a character to the line, wrapping first when it passes the edge.
    void Character(char32_t c);
    // HT: to the next tab stop, every 8 character widths.
    void Tab();
    // Adds a column image (ESC *) to the line, wrapping like a character.
    void LineImage(const MonoPicture& image);
    // LF: prints the line, or feeds one line's spacing when there is none.
    void LineFeed();
    // Prints the line gathered, if any, without feeding past it.
    void PrintLine();
    // Prints the line and feeds `rows` dot rows (ESC J).
    void Feed(int rows);
    // Prints the line and feeds `lines` lines at the line spacing (ESC d).
    void FeedLines(int lines);
    // Forgets the line gathered (ESC @).
    void ClearLine();
    // Dot rows printed and fed on this paper so far.
    int RowsPrinted() const { return m_rowsAllowed - m_rowsLeft; }
    // Prints `picture` scaled sx by sy at the current alignment below the
    // line; dots past the right edge are left out. False when out of paper.
    bool Picture(const MonoPicture& picture, int sx, int sy);
    // Prints `text` in `font` centred across `width` dots starting at `left`
    // (a bar code's human-readable line).
    void CentredText(const std::u32string& text, int font, int left, int width);
    // The piece up to here, after a feed of `feedRows`; the paper starts anew.
    MonoPicture Cut(int feedRows);
    // What is printed and not cut off, the line gathered included.
    MonoPicture Uncut();

    // Where a picture of width `w` starts at the current alignment.
    int AlignedLeft(int w) const;

private:
    struct Item {
        int x = 0;
        MonoPicture dots;
    };
    bool Grow(int rows);
    void Place(MonoPicture dots, int advance);

    int m_width;
    MonoPicture m_piece;
    int m_rowsAllowed;
    int m_rowsLeft;
    bool m_outOfPaper = false;
    std::vector<Item> m_items; // the line gathered
    int m_x = 0;               // where the next character goes on the line
    int m_lastLineRows = 0;    // how tall the line printed last was
};

// Draws one character at `font` with `modes`' size and styles, as a
// picture as tall as the cell and as wide as its advance.
MonoPicture CharacterPicture(const BitmapFont& font, char32_t c, const PrintModes& modes);

} // namespace tessaline
