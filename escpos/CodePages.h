// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace tessaline {

// The character code tables the printer draws text in (ESC t n).
enum class CodePage { Pc437 = 0, Wpc1252 = 16 };

// The character a byte of the table stands for; U+FFFD for one without.
char32_t SingleByteCharacter(CodePage page, uint8_t byte);

// A Korean character of code page 949 (KS X 1001 and its extension), lead
// byte 0x81 to 0xFE; U+FFFD for a pair that stands for none.
char32_t KoreanCharacter(uint8_t lead, uint8_t trail);

inline bool IsKoreanLeadByte(uint8_t byte) {
    return byte >= 0x81 && byte <= 0xFE;
}

} // namespace tessaline
