// SPDX-License-Identifier: MIT
// The code pages come from the C library's converters (glibc's gconv
// modules CP437, CP1252 and CP949), so no table is copied here.
#include "CodePages.h"

#include <array>
#include <iconv.h>
#include <mutex>

namespace tessaline {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// One character of `count` bytes through iconv, or the replacement character.
char32_t Convert(iconv_t cd, const uint8_t* bytes, size_t count) {
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return kReplacement;
    }
    char in[2] = {static_cast<char>(bytes[0]), count > 1 ? static_cast<char>(bytes[1]) : '\0'};
    uint8_t out[8] = {};
    char* inPtr = in;
    size_t inLeft = count;
    auto* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 ||
        outLeft != sizeof out - 4) {
        return kReplacement;
    }
    return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

struct SingleByteTable {
    std::array<char32_t, 256> characters{};

    explicit SingleByteTable(const char* name) {
        iconv_t cd = iconv_open("UTF-32LE", name);
        for (size_t b = 0; b < 256; ++b) {
            const auto byte = static_cast<uint8_t>(b);
            characters[b] = b < 0x80 ? static_cast<char32_t>(b) : Convert(cd, &byte, 1);
        }
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(cd);
        }
    }
};

} // namespace

char32_t SingleByteCharacter(CodePage page, uint8_t byte) {
    static const SingleByteTable pc437("CP437");
    static const SingleByteTable wpc1252("CP1252");
    return (page == CodePage::Wpc1252 ? wpc1252 : pc437).characters[byte];
}

char32_t KoreanCharacter(uint8_t lead, uint8_t trail) {
    // 126 lead bytes (0x81 to 0xFE) by 256 trail bytes, each pair converted on first use.
    static std::mutex mutex;
    static iconv_t cd = iconv_open("UTF-32LE", "CP949");
    static std::array<char32_t, 126 * 256> cache{};
    if (!IsKoreanLeadByte(lead)) {
        return kReplacement;
    }
    const size_t at = static_cast<size_t>(lead - 0x81) * 256 + trail;
    const std::lock_guard<std::mutex> guard(mutex);
    if (cache[at] == 0) {
        const uint8_t pair[2] = {lead, trail};
        cache[at] = Convert(cd, pair, 2);
    }
    return cache[at];
}

} // namespace tessaline
