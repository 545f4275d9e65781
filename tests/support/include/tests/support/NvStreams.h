// SPDX-License-Identifier: MIT
#pragma once

// Builders for the byte streams a receipt printer receives, and the bytes
// files hold, for the tests.

#include "platform/FileIo.h"

#include "tests/support/Bytes.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace tessaline::test {

using DotRule = std::function<bool(int x, int y)>;

// A logo of width × height dots padded to multiples of 8: its NV raster
// (column-major, top dot in bit 7, 1 = black) with the 4 size bytes before it.
struct TestLogo {
    int width;
    int height;
    DotRule dot;

    int PaddedWidth() const { return (width + 7) / 8 * 8; }
    int PaddedHeight() const { return (height + 7) / 8 * 8; }
    // The dot the printer should hold at (x, y) of the padded image.
    bool Holds(int x, int y) const { return x < width && y < height && dot(x, y); }

    Bytes Raster() const {
        Bytes raster;
        for (int x = 0; x < PaddedWidth(); ++x) {
            for (int band = 0; band < PaddedHeight() / 8; ++band) {
                uint8_t byte = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    if (Holds(x, band * 8 + bit)) {
                        byte = static_cast<uint8_t>(byte | (0x80 >> bit));
                    }
                }
                raster.push_back(byte);
            }
        }
        return raster;
    }

    Bytes Definition() const {
        const int x = PaddedWidth() / 8;
        const int y = PaddedHeight() / 8;
        Bytes out{static_cast<uint8_t>(x & 0xFF), static_cast<uint8_t>(x >> 8),
                  static_cast<uint8_t>(y & 0xFF), static_cast<uint8_t>(y >> 8)};
        const Bytes raster = Raster();
        out.insert(out.end(), raster.begin(), raster.end());
        return out;
    }
};

// 1B 40, 1C 71 n, then each logo's definition.
inline Bytes UploadStream(const std::vector<TestLogo>& logos) {
    Bytes out{0x1B, 0x40, 0x1C, 0x71, static_cast<uint8_t>(logos.size())};
    for (const TestLogo& logo : logos) {
        const Bytes def = logo.Definition();
        out.insert(out.end(), def.begin(), def.end());
    }
    return out;
}

// The two logos of the usual two-file upload: 100 × 50 and 512 × 48 dots,
// each with a pattern of its own so that a mix-up shows.
inline TestLogo SmallLogo() {
    return {100, 50, [](int x, int y) { return (x * 7 + y * 3) % 5 == 0 || x == 0 || y == 49; }};
}
inline TestLogo WideLogo() {
    return {512, 48, [](int x, int y) { return (x / 16 + y / 8) % 2 == 0; }};
}

// The bytes the file holds; nothing when it cannot be read.
inline std::optional<Bytes> FileBytes(const std::filesystem::path& path) {
    const Result<std::string> read = ReadWholeFile(path);
    if (!read) {
        return std::nullopt;
    }
    return Bytes(read.Value().begin(), read.Value().end());
}

// Print all: 1C 70 j mode for j = 1..255, then the cut 1D 56 42 01.
inline Bytes PrintAllStream(uint8_t mode) {
    Bytes out;
    for (int j = 1; j <= 255; ++j) {
        out.insert(out.end(), {0x1C, 0x70, static_cast<uint8_t>(j), mode});
    }
    out.insert(out.end(), {0x1D, 0x56, 0x42, 0x01});
    return out;
}

} // namespace tessaline::test
