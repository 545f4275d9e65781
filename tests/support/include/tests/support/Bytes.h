// SPDX-License-Identifier: MIT
#pragma once

// Byte strings written the way the printer's manual writes them.

#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace tessaline::test {

using Bytes = std::vector<uint8_t>;

// "1C 70 01 30" -> bytes.
inline Bytes Hex(const std::string& text) {
    std::istringstream in(text);
    Bytes out;
    std::string byte;
    while (in >> byte) {
        out.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    }
    return out;
}

// The parts one after the other.
inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

} // namespace tessaline::test
