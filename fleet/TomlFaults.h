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

// `text` with no character other than ASCII, meaning the same TOML: each
// one in text in quotes as its \u escape ('literal' text becomes "basic"
// text for that, its backslashes and quotes escaped), in a comment as '?'.
// The TOML reader (toml++ 3.3) asks of characters outside text in quotes,
// and after a line-ending backslash, whether they are blanks, and its table
// of blanks has gaps where most other characters fall, so none may reach
// it. One outside quotes and comments, which TOML takes nowhere, is `fault`
// and the text is then empty; a byte that is not UTF-8 is left for the
// reader to report.
std::string AsciiForToml(std::string_view text, std::optional<SyntaxFault>& fault);

} // namespace tessaline
