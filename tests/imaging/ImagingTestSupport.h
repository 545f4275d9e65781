// SPDX-License-Identifier: MIT
#pragma once

#include "imaging/CLogoImage.h"
#include "platform/AtomicFile.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/Environment.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace tessaline::test {

// A private folder for one test, made the current directory while the test
// runs (the preview files land in the current directory).
class ScratchDir : public ::testing::Test {
protected:
    std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = (m_dir / name).string();
        EXPECT_TRUE(WriteFile(path, bytes));
        return path;
    }

    TempFolder m_folder;
    const std::filesystem::path m_dir = m_folder.Path();
    ScopedCurrentFolder m_current{m_dir};
};

inline const Bgra kWhite{0xFF, 0xFF, 0xFF, 0};
inline const Bgra kBlack{0, 0, 0, 0};

// Reads and converts one file as an upload does.
inline void Convert(CLogoImage& image, const std::string& path, int32_t mode, int32_t brightness) {
    image.SetPictureWriter(ReplaceWholeFile);
    const LogoFlags flags = ReadLogo(image, path);
    image.ConvertLogo(flags.greyFlag, flags.whiteFlag, mode, brightness);
}

// The dot at column x, picture row y (from the top) of a converted raster.
inline bool RasterDot(const CLogoImage& image, int x, int y) {
    const auto bands = static_cast<std::size_t>(image.PaddedHeight() / 8);
    const uint8_t byte =
        image.Raster()[static_cast<std::size_t>(x) * bands + static_cast<std::size_t>(y / 8)];
    return (byte >> (7 - y % 8)) & 1;
}

// The mono plane's verdict at column x, picture row y (from the top).
inline bool MonoBlack(const CLogoImage& image, int x, int y) {
    const int m = image.Description().bmHeight - 1 - y;
    return image.MonoPlane()[static_cast<std::size_t>(m * image.PaddedWidth() + x)] == 0;
}

} // namespace tessaline::test
