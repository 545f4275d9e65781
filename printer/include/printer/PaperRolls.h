// SPDX-License-Identifier: MIT
// The receipt paper rolls printers take, by the name the user gives them, and
// the dots a line of each holds at 203 dpi: the one table the program's paper
// list, the command line's --paper-width and the manifest's paper-width read.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaline {

struct PaperRoll {
    const char* name; // "58mm"
    int32_t dots;     // printable dots across it
};

inline constexpr PaperRoll kPaperRolls[] = {{"58mm", 384}, {"80mm", 576}};

// The narrowest and widest paper a width in dots may be given for.
inline constexpr int32_t kMinPaperDots = 8;
inline constexpr int32_t kMaxPaperDots = 8184;

// The dots of the roll named `name` ("58mm"); nothing for another name.
inline std::optional<int32_t> PaperRollDots(std::string_view name) {
    for (const PaperRoll& roll : kPaperRolls) {
        if (name == roll.name) {
            return roll.dots;
        }
    }
    return std::nullopt;
}

} // namespace tessaline
