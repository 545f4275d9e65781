// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaline {

// The text with leading and trailing blanks (spaces, tabs) removed.
std::string_view TrimBlanks(std::string_view text);

// The value of a plain decimal number: an optional sign, digits with an
// optional fraction (".5" and "5." count), blanks around it allowed. Nothing
// for any other text. Digits past the double range give an infinity.
std::optional<double> NumericValue(std::string_view text);

// The value of the number the text starts with, after leading blanks; 0 when
// it starts with none.
double LeadingValue(std::string_view text);

// The value rounded to the nearest whole number, halves to the even one;
// nothing when that lies outside the 32-bit signed range.
std::optional<int32_t> RoundToLong(double value);

// What the printout's range box asks for.
struct RangeRequest {
    enum class Kind {
        Single,    // one number, or 0 for every stored image
        Range,     // first and last number
        Empty,     // nothing typed
        NotRange,  // no number, and no dash inside the text to split it at
        BadNumber, // a part around the dash that is no number, or a number
                   // outside the 32-bit range
    };
    Kind kind = Kind::Empty;
    int32_t first = 0;
    int32_t last = 0;
};

// Reads the range box's text as "Selection" reads it: a single number, or
// the numbers before and after the first dash.
RangeRequest ParseRangeText(std::string_view text);

} // namespace tessaline
