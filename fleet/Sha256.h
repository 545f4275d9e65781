// SPDX-License-Identifier: MIT
// SHA-256 (FIPS 180-4), for telling whether the bytes a printer was sent
// before are the bytes it would be sent now.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace tessaline {

class Sha256 {
public:
    Sha256();
    void Add(std::span<const uint8_t> bytes);
    // The digest as 64 lowercase hexadecimal digits; the object is spent.
    std::string HexDigest();

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, 64> m_pending{};
    std::size_t m_pendingSize = 0;
    uint64_t m_length = 0; // bytes added
};

// The digest of `bytes` in one call.
std::string Sha256Hex(std::span<const uint8_t> bytes);

} // namespace tessaline
