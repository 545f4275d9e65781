// SPDX-License-Identifier: MIT
#include "ImagingTestSupport.h"

#include <climits>
#include <sys/stat.h>

using namespace tessaline;
using namespace tessaline::test;

namespace {

class Conversion : public ScratchDir {};

Bgr Grey(uint8_t v) {
    return {v, v, v};
}

} // namespace

TEST(Brightness, OffsetTable) {
    const int64_t expected[11] = {31, 25, 19, 12, 6, 0, -6, -12, -19, -25, -31};
    for (int b = 0; b <= 10; ++b) {
        EXPECT_EQ(BrightnessOffset(b), expected[b]) << "brightness " << b;
    }
    // Far outside the slider's range the offset is still exact and finite.
    EXPECT_EQ(BrightnessOffset(INT32_MIN),
              static_cast<int64_t>((5 - int64_t{INT32_MIN}) * 5 * 1.27));
    EXPECT_LT(BrightnessOffset(INT32_MAX), 0);
}

TEST_F(Conversion, BlackLogoGoldenRaster) {
    const auto path = Put("black.bmp", Make24(100, 50, [](int, int) { return Grey(0); }));
    for (int mode : {0, 1}) {
        CLogoImage image;
        Convert(image, path, mode, 5);
        ASSERT_EQ(image.PaddedWidth(), 104);
        ASSERT_EQ(image.PaddedHeight(), 56);
        ASSERT_EQ(image.RasterLength(), 728);
        const auto raster = image.Raster();
        for (int x = 0; x < 104; ++x) {
            for (int k = 0; k < 7; ++k) {
                const uint8_t want = x >= 100 ? 0x00 : (k < 6 ? 0xFF : 0xC0);
                ASSERT_EQ(raster[static_cast<std::size_t>(x * 7 + k)], want)
                    << "mode " << mode << " column " << x << " band " << k;
            }
        }
    }
}

TEST_F(Conversion, BitOrderRowsAndColumns) {
    // A single black dot at (x, y) from the top must land in exactly one bit.
    struct Case {
        int x, y;
    };
    for (const Case c : {Case{0, 0}, Case{3, 7}, Case{9, 8}, Case{10, 12}}) {
        for (int mode : {0, 1}) {
            const auto path = Put("dot.bmp", Make24(11, 13, [&](int x, int y) {
                                      return Grey(x == c.x && y == c.y ? 0 : 255);
                                  }));
            CLogoImage image;
            Convert(image, path, mode, 5);
            ASSERT_EQ(image.RasterLength(), 16 * 16 / 8);
            int dots = 0;
            for (int x = 0; x < 16; ++x) {
                for (int y = 0; y < 16; ++y) {
                    dots += RasterDot(image, x, y);
                }
            }
            EXPECT_EQ(dots, 1);
            EXPECT_TRUE(RasterDot(image, c.x, c.y)) << c.x << "," << c.y << " mode " << mode;
        }
    }
}

TEST_F(Conversion, ThresholdBoundaries) {
    // Grey levels exactly at and just above the threshold 5 * b + 103.
    struct Case {
        int32_t brightness;
        Bgr atThreshold;
        Bgr above;
    };
    const Case cases[] = {
        {0, Grey(103), {104, 104, 105}}, // 103 black, 104 white
        {5, {128, 128, 129}, Grey(129)}, // 128 black, 129 white
        {10, Grey(153), Grey(154)},      // 153 black, 154 white
    };
    for (const Case& c : cases) {
        const auto path = Put(
            "edge.bmp", Make24(2, 1, [&](int x, int) { return x == 0 ? c.atThreshold : c.above; }));
        CLogoImage image;
        Convert(image, path, 0, c.brightness);
        EXPECT_TRUE(RasterDot(image, 0, 0)) << "brightness " << c.brightness;
        EXPECT_FALSE(RasterDot(image, 1, 0)) << "brightness " << c.brightness;
    }
}

TEST_F(Conversion, NeutralGreyTruncatesDown) {
    // (128,128,128) weighs 127.999..., so it is black even at threshold 127.
    const auto path = Put("g.bmp", Make24(1, 1, [](int, int) { return Grey(128); }));
    CLogoImage image;
    Convert(image, path, 0, 5);
    EXPECT_EQ(image.GreyPlane()[0], 127);
}

TEST_F(Conversion, ErrorDiffusionUniformGreyStartsBottomLeft) {
    const auto path = Put("mid.bmp", Make24(64, 64, [](int, int) { return Grey(128); }));
    CLogoImage image;
    Convert(image, path, 1, 5);
    int black = 0;
    for (int x = 0; x < 64; ++x) {
        for (int y = 0; y < 64; ++y) {
            black += RasterDot(image, x, y);
        }
    }
    // A dot pattern, roughly half dark, never a solid area.
    EXPECT_GT(black, 64 * 64 * 4 / 10);
    EXPECT_LT(black, 64 * 64 * 6 / 10);
    // The first pixel visited is the bottom-left one: 127 is not above 128.
    EXPECT_TRUE(RasterDot(image, 0, 63));
    EXPECT_FALSE(RasterDot(image, 1, 63));
}

TEST_F(Conversion, WhiteLogoRasterFollowsThePreview) {
    // All white: the darker brightness settings leave diffused dots, and the
    // raster now carries exactly the dots the preview showed.
    const auto path = Put("white.bmp", Make24(40, 24, [](int, int) { return Grey(255); }));
    for (int32_t b = 0; b <= 10; ++b) {
        for (int mode : {0, 1}) {
            CLogoImage image;
            Convert(image, path, mode, b);
            int dots = 0;
            for (int x = 0; x < 40; ++x) {
                for (int y = 0; y < 24; ++y) {
                    ASSERT_EQ(RasterDot(image, x, y), MonoBlack(image, x, y));
                    dots += RasterDot(image, x, y);
                }
            }
            const bool expectDots = mode == 1 && b >= 7;
            EXPECT_EQ(dots > 0, expectDots) << "mode " << mode << " brightness " << b;
        }
    }
}

TEST_F(Conversion, RasterComesFromTheModeEvenWithWhiteCorner) {
    // Bottom-left white; the rest a grey of 140, which is black at brightness 10
    // (threshold 153) although its mean is above 128.
    const auto path =
        Put("corner.bmp",
            Make24(8, 8, [](int x, int y) { return Grey(x == 0 && y == 7 ? 255 : 140); }));
    CLogoImage image;
    const LogoFlags flags = ReadLogo(image, path);
    EXPECT_EQ(flags.whiteFlag, 1);
    image.ConvertLogo(flags.greyFlag, flags.whiteFlag, 0, 10);
    EXPECT_TRUE(RasterDot(image, 3, 3));
    EXPECT_FALSE(RasterDot(image, 0, 7));
}

TEST_F(Conversion, PaletteAndMaskedPixelsAreWeighedByColour) {
    std::vector<Bgra> palette(256, kWhite);
    palette[200] = kBlack; // a high index that is black
    palette[3] = kWhite;   // a low index that is white
    BmpSpec shortPalette;
    shortPalette.width = 4;
    shortPalette.height = 1;
    shortPalette.bitsPerPixel = 8;
    shortPalette.palette = {kWhite, kBlack};
    shortPalette.coloursUsed = 2;
    shortPalette.pixel = [](int x, int) { return x < 2 ? 0u : 77u; };

    BmpSpec rgb565;
    rgb565.width = 4;
    rgb565.height = 1;
    rgb565.bitsPerPixel = 16;
    rgb565.compression = 3;
    rgb565.masks = BmpMasks{0xF800, 0x07E0, 0x001F, 0};
    rgb565.pixel = [](int x, int) { return x < 2 ? 0xFFFFu : 0x0000u; };

    BmpSpec rgb555;
    rgb555.width = 4;
    rgb555.height = 1;
    rgb555.bitsPerPixel = 16;
    rgb555.pixel = [](int x, int) { return x < 2 ? 0x7FFFu : 0x0000u; };

    // Transparent black over paper is white; opaque black stays black.
    BmpSpec alpha;
    alpha.width = 4;
    alpha.height = 1;
    alpha.bitsPerPixel = 32;
    alpha.headerSize = 124;
    alpha.compression = 3;
    alpha.masks = BmpMasks{0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    alpha.pixel = [](int x, int) { return x < 2 ? 0x00000000u : 0xFF000000u; };

    // Red and blue swapped against the usual order.
    BmpSpec swapped;
    swapped.width = 4;
    swapped.height = 1;
    swapped.bitsPerPixel = 32;
    swapped.compression = 3;
    swapped.masks = BmpMasks{0x000000FF, 0x0000FF00, 0x00FF0000, 0};
    swapped.pixel = [](int x, int) { return x < 2 ? 0x00FFFFFFu : 0x000000FFu; };

    // RLE: pixels the stream skips are paper although index 0 is black; a
    // run may go on into the row's padding.
    std::vector<Bgra> blackFirst(256, kWhite);
    blackFirst[0] = kBlack;
    blackFirst[200] = kBlack;
    BmpSpec rleSkip;
    rleSkip.width = 4;
    rleSkip.height = 1;
    rleSkip.bitsPerPixel = 8;
    rleSkip.compression = 1;
    rleSkip.palette = blackFirst;
    rleSkip.raw = {0x00, 0x02, 0x02, 0x00, 0x02, 200, 0x00, 0x01};
    BmpSpec rlePadding = rleSkip;
    rlePadding.width = 3;
    rlePadding.raw = {0x02, 0x03, 0x03, 200, 0x00, 0x01};

    struct Case {
        const char* name;
        std::vector<uint8_t> file;
    };
    const Case cases[] = {
        {"8-bit by palette",
         Make8(4, 1, palette, [](int x, int) -> uint8_t { return x < 2 ? 3 : 200; })},
        {"4-bit by palette", Make4(4, 1,
                                   {kBlack, kWhite, kBlack, kWhite, kBlack, kWhite, kWhite, kWhite,
                                    kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite},
                                   [](int x, int) -> uint8_t { return x < 2 ? 1 : 4; })},
        {"index past palette", BuildBmp(shortPalette)},
        {"16-bit 565", BuildBmp(rgb565)},
        {"16-bit 555", BuildBmp(rgb555)},
        {"32-bit alpha", BuildBmp(alpha)},
        {"32-bit swapped", BuildBmp(swapped)},
        {"rle8 skipped pixels", BuildBmp(rleSkip)},
        {"rle8 run into the padding", BuildBmp(rlePadding)},
    };
    for (const Case& c : cases) {
        const auto path = Put("p.bmp", c.file);
        for (int mode : {0, 1}) {
            CLogoImage image;
            ASSERT_EQ(image.NeedsGreyConversion(path), 1) << c.name;
            Convert(image, path, mode, 5);
            ASSERT_EQ(image.RasterLength(), 8) << c.name;
            EXPECT_FALSE(RasterDot(image, 0, 0)) << c.name << " mode " << mode;
            EXPECT_FALSE(RasterDot(image, 1, 0)) << c.name << " mode " << mode;
            if (std::string(c.name) != "32-bit swapped") {
                EXPECT_TRUE(RasterDot(image, 2, 0)) << c.name << " mode " << mode;
                EXPECT_EQ(RasterDot(image, 3, 0), image.Description().bmWidth > 3)
                    << c.name << " mode " << mode;
            }
        }
    }
    // Under these masks the low byte is red: trunc(0.299 * 255) = 76, where
    // the usual byte order would have read it as blue (29).
    const auto path = Put("s.bmp", BuildBmp(swapped));
    CLogoImage image;
    Convert(image, path, 0, 5);
    EXPECT_EQ(image.GreyPlane()[2], 76);
}

TEST_F(Conversion, GreyFlagAndWhiteFlagBehindLargerHeaders) {
    BmpSpec v4;
    v4.width = 8;
    v4.height = 2;
    v4.bitsPerPixel = 24;
    v4.headerSize = 108;
    v4.pixel = [](int, int) { return 0x000000u; };

    BmpSpec oneBitV4;
    oneBitV4.width = 8;
    oneBitV4.height = 1;
    oneBitV4.bitsPerPixel = 1;
    oneBitV4.headerSize = 108;
    oneBitV4.palette = {kWhite, kBlack};
    oneBitV4.pixel = [](int x, int) { return x == 2 ? 1u : 0u; };

    BmpSpec oneBitCore = oneBitV4;
    oneBitCore.headerSize = 12;

    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        int grey;
        int white;
    };
    const Case cases[] = {
        {"24-bit v4", BuildBmp(v4), 1, 0},
        {"1-bit v4 white first", BuildBmp(oneBitV4), 0, 1},
        {"1-bit black first", Make1(8, 1, kBlack, kWhite, [](int, int) -> uint8_t { return 1; }), 0,
         0},
        {"8-bit", Make8(8, 1, {kBlack}, [](int, int) -> uint8_t { return 0; }), 1, 0},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!'}, 0, 0},
        {"1-bit core header white first", BuildBmp(oneBitCore), 0, 1},
    };
    for (const Case& c : cases) {
        const auto path = Put("f.bmp", c.file);
        CLogoImage image;
        EXPECT_EQ(image.NeedsGreyConversion(path), c.grey) << c.name;
        EXPECT_EQ(image.IsFirstEntryWhite(path), c.white) << c.name;
    }
    for (const BmpSpec& spec : {oneBitV4, oneBitCore}) {
        CLogoImage image;
        Convert(image, Put("v4.bmp", BuildBmp(spec)), 0, 5);
        EXPECT_TRUE(RasterDot(image, 2, 0)) << spec.headerSize;
        EXPECT_FALSE(RasterDot(image, 3, 0)) << spec.headerSize;
    }
}

TEST_F(Conversion, OneBitPalettesBothWays) {
    const auto pattern = [](int x, int) -> uint8_t { return x % 3 == 0 ? 1 : 0; };
    struct Case {
        Bgra entry0, entry1;
        bool oneBitPrints;
    };
    for (const Case& c : {Case{kWhite, kBlack, true}, Case{kBlack, kWhite, false}}) {
        const auto path = Put("one.bmp", Make1(12, 3, c.entry0, c.entry1, pattern));
        CLogoImage image;
        Convert(image, path, 1, 9); // mode and brightness do not matter here
        for (int x = 0; x < 16; ++x) {
            const bool want = x < 12 && ((x % 3 == 0) == c.oneBitPrints);
            EXPECT_EQ(RasterDot(image, x, 1), want) << "x " << x;
            EXPECT_FALSE(RasterDot(image, x, 5)) << "margin row";
        }
    }
}

TEST_F(Conversion, ResultDoesNotDependOnTheFileBefore) {
    const auto big = Put("big.bmp", Make24(200, 120, [](int x, int y) {
                             return Grey(static_cast<uint8_t>((x * 7 + y * 3) % 256));
                         }));
    const auto small = Put("small.bmp", Make24(37, 21, [](int x, int y) {
                               return Grey(static_cast<uint8_t>((x * 11 + y * 5) % 256));
                           }));
    for (int mode : {0, 1}) {
        CLogoImage fresh;
        Convert(fresh, small, mode, 6);
        CLogoImage reused;
        Convert(reused, big, mode, 6);
        Convert(reused, small, mode, 6);
        EXPECT_TRUE(std::ranges::equal(fresh.Raster(), reused.Raster())) << "mode " << mode;
        EXPECT_TRUE(std::ranges::equal(fresh.MonoPlane(), reused.MonoPlane())) << "mode " << mode;
    }
}

TEST_F(Conversion, SizesUpToTheNvLimits) {
    struct Case {
        int width, height;
        bool converts;
    };
    const Case cases[] = {
        {1, 1, true},    {64, 8, true},   {576, 648, true}, {832, 100, true},
        {8184, 8, true}, {8, 2304, true}, {8185, 8, false}, {8, 2305, false},
    };
    for (const Case& c : cases) {
        const auto path = Put("size.bmp", Make24(c.width, c.height,
                                                 [](int x, int) { return Grey(x % 2 ? 0 : 255); }));
        const Result<BitmapFigures> info = BitmapInfo(path);
        ASSERT_EQ(info.Code(), 0) << info.Reason();
        EXPECT_EQ(info.Value().width, c.width);
        EXPECT_EQ(info.Value().height, c.height);
        for (int mode : {0, 1}) {
            CLogoImage image;
            Convert(image, path, mode, 5);
            const int32_t pw = (c.width + 7) / 8 * 8;
            const int32_t ph = (c.height + 7) / 8 * 8;
            EXPECT_EQ(image.PaddedWidth(), pw);
            EXPECT_EQ(image.RasterLength(), c.converts ? pw * ph / 8 : 0)
                << c.width << "x" << c.height;
            EXPECT_EQ(image.WritePreviewBitmap(), c.converts ? 1 : 255);
        }
    }
}

TEST_F(Conversion, ExtremeBrightnessIsSafe) {
    const auto path = Put("mid.bmp", Make24(16, 8, [](int, int) { return Grey(128); }));
    struct Case {
        int32_t brightness;
        int expectDots; // -1: any
    };
    for (const Case c :
         {Case{INT32_MIN, 0}, Case{INT32_MAX, 16 * 8}, Case{-1, -1}, Case{100000, -1}}) {
        CLogoImage image;
        Convert(image, path, 1, c.brightness);
        int dots = 0;
        for (int x = 0; x < 16; ++x) {
            for (int y = 0; y < 8; ++y) {
                dots += RasterDot(image, x, y);
            }
        }
        if (c.expectDots >= 0) {
            EXPECT_EQ(dots, c.expectDots) << c.brightness;
        }
        Convert(image, path, 0, c.brightness);
        EXPECT_EQ(image.RasterLength(), 16);
    }
}

TEST_F(Conversion, NothingLoadedProducesNothing) {
    // A FIFO must be refused without waiting for a writer that never comes.
    ASSERT_EQ(::mkfifo((m_dir / "fifo.bmp").c_str(), 0600), 0);
    std::filesystem::create_directory(m_dir / "folder.bmp");
    for (const char* name : {"missing.bmp", "fifo.bmp", "folder.bmp"}) {
        const std::string path = (m_dir / name).string();
        CLogoImage image;
        EXPECT_EQ(image.NeedsGreyConversion(path), 0) << name;
        EXPECT_EQ(image.IsFirstEntryWhite(path), 0) << name;
        Convert(image, path, 1, 5);
        EXPECT_EQ(image.RasterLength(), 0) << name;
        EXPECT_EQ(image.PaddedWidth(), 0) << name;
        EXPECT_EQ(image.WritePreviewBitmap(), 255) << name;
        EXPECT_EQ(BitmapInfo(path).Code(), -1) << name;
    }
}
