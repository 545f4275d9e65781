// SPDX-License-Identifier: MIT
#include "NvStateFile.h"

#include "escpos/EscPosEmulator.h"
#include "escpos/Png.h"
#include "tests/support/NvStreams.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

NvMemory TwoImages() {
    NvMemory memory;
    RunJob({}, memory, test::UploadStream({test::SmallLogo(), test::WideLogo()}), "2024-03-01");
    return memory;
}

TEST(NvStateFile, RoundTripsImagesAndWriteCount) {
    NvMemory memory = TwoImages();
    memory.writesThatDay = 7;
    NvMemory loaded;
    ASSERT_TRUE(DecodeNvMemory(EncodeNvMemory(memory), loaded).Ok());
    ASSERT_EQ(loaded.images.size(), 2u);
    EXPECT_EQ(loaded.images[0].x, 13);
    EXPECT_EQ(loaded.images[0].y, 7);
    EXPECT_EQ(loaded.images[0].raster, memory.images[0].raster);
    EXPECT_EQ(loaded.images[1].raster, memory.images[1].raster);
    EXPECT_EQ(loaded.writesDay, "2024-03-01");
    EXPECT_EQ(loaded.writesThatDay, 7u);

    // Graphics follow the images; a memory without them is written as before.
    memory.graphics = {{"  ", 9, 2, {0xFF, 0x80, 0x01, 0x00}}, {"A1", 1, 1, {0x80}}};
    ASSERT_TRUE(DecodeNvMemory(EncodeNvMemory(memory), loaded).Ok());
    ASSERT_EQ(loaded.graphics.size(), 2u);
    EXPECT_EQ(loaded.graphics[0].key, "  ");
    EXPECT_EQ(loaded.graphics[0].width, 9);
    EXPECT_EQ(loaded.graphics[0].rows, memory.graphics[0].rows);
    EXPECT_EQ(loaded.graphics[1].key, "A1");
    EXPECT_EQ(loaded.images.size(), 2u);

    // The automatic logos come last, with or without graphics before them.
    for (const bool graphics : {true, false}) {
        NvMemory withLogos = memory;
        if (!graphics) {
            withLogos.graphics.clear();
        }
        withLogos.topLogo = AutoLogo{"A1", 49, 3};
        withLogos.bottomLogo = AutoLogo{"A2", 50, 0};
        NvMemory read;
        ASSERT_TRUE(DecodeNvMemory(EncodeNvMemory(withLogos), read).Ok()) << graphics;
        EXPECT_EQ(read.topLogo, withLogos.topLogo) << graphics;
        EXPECT_EQ(read.bottomLogo, withLogos.bottomLogo) << graphics;
        EXPECT_EQ(read.graphics.size(), withLogos.graphics.size()) << graphics;
        withLogos.topLogo.reset();
        ASSERT_TRUE(DecodeNvMemory(EncodeNvMemory(withLogos), read).Ok()) << graphics;
        EXPECT_FALSE(read.topLogo) << graphics;
        EXPECT_EQ(read.bottomLogo, withLogos.bottomLogo) << graphics;
    }

    NvMemory empty;
    ASSERT_TRUE(DecodeNvMemory(EncodeNvMemory(NvMemory{}), empty).Ok());
    EXPECT_TRUE(empty.images.empty());
    EXPECT_EQ(empty.writesDay, "");
}

TEST(NvStateFile, RefusesDamagedFilesAndKeepsTheMemory) {
    NvMemory withGraphics = TwoImages();
    withGraphics.graphics = {{"B2", 16, 3, std::vector<uint8_t>(6, 0x5A)}};
    withGraphics.topLogo = AutoLogo{"B2", 48, 0};
    const std::vector<uint8_t> good = EncodeNvMemory(withGraphics);
    std::vector<std::vector<uint8_t>> bad = {
        {},
        std::vector<uint8_t>(good.begin(), good.begin() + 10),
        std::vector<uint8_t>(good.begin(), good.end() - 1),
        good,
        good,
    };
    bad[3].push_back(0);
    bad[4][0] = 'X';
    // Every cut of the file is refused, never read past its end.
    for (size_t cut = 0; cut < good.size(); cut += 97) {
        bad.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut));
    }
    for (const auto& bytes : bad) {
        NvMemory memory;
        memory.writesThatDay = 3;
        EXPECT_FALSE(DecodeNvMemory(bytes, memory).Ok()) << bytes.size();
        EXPECT_EQ(memory.writesThatDay, 3u);
    }
}

TEST(Png, RoundTripsDotsForAnyWidth) {
    for (const int width : {1, 7, 8, 9, 104, 576}) {
        MonoPicture picture = MonoPicture::Blank(width, 13);
        for (int y = 0; y < 13; ++y) {
            for (int x = 0; x < width; ++x) {
                if ((x + 2 * y) % 3 == 0) {
                    picture.SetDot(x, y);
                }
            }
        }
        const std::vector<uint8_t> png = EncodePng(picture);
        ASSERT_FALSE(png.empty());
        const Result<MonoPicture> back = DecodePng(png);
        ASSERT_TRUE(back) << back.Reason();
        EXPECT_EQ(back.Value().width, width);
        EXPECT_EQ(back.Value().height, 13);
        EXPECT_EQ(back.Value().bits, picture.bits) << width;
    }
}

TEST(Png, RefusesWhatIsNotAPicture) {
    EXPECT_TRUE(EncodePng(MonoPicture::Blank(576, 0)).empty());
    const std::vector<uint8_t> junk = {'n', 'o', 't', ' ', 'p', 'n', 'g'};
    const Result<MonoPicture> notPng = DecodePng(junk);
    EXPECT_FALSE(notPng);
    EXPECT_FALSE(notPng.Reason().empty());
    std::vector<uint8_t> cut = EncodePng(MonoPicture::Blank(64, 64));
    cut.resize(cut.size() / 2);
    const Result<MonoPicture> half = DecodePng(cut);
    EXPECT_FALSE(half);
    EXPECT_FALSE(half.Reason().empty());
}

} // namespace
} // namespace tessaline
