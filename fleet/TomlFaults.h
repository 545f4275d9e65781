// SPDX-License-Identifier: MIT
// A TOML syntax fault in the manifest's own terms: what was found where, and
// what was expected there, on one line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaline {

struct SyntaxFault {
    int line = 1;
    int column = 1;
    std::string what; // "'127.0.0.5' is not a TOML value; expected text in quotes..."
};

// The fault toml++ reported at `line`:`column` (1-based, columns in
// characters) of `text`, with its `description`, said as "what; expected
// what", placed at the start of the value at fault where it is a value.
// Never more than one line.
SyntaxFault DescribeSyntaxFault(std::string_view text, int line, int column,
                                std::string_view description);

// A character other than ASCII where the TOML reader would ask whether it
// is a blank: outside quotes and comments, where TOML takes none anyway, and
// first after a line-ending backslash's blanks in a """ string. The reader
// (toml++ 3.3) cannot answer that for most such characters (its table of
// blanks has gaps), so such text is refused before it is read. Nothing for
// text without one.
std::optional<SyntaxFault> UnreadableCharacter(std::string_view text);

} // namespace tessaline
