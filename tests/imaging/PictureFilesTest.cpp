// SPDX-License-Identifier: MIT
// PNG, JPEG and GIF logos: decoded by the system's libraries, laid over white
// paper, then converted exactly as BMP files are.
#include "ImagingTestSupport.h"
#include "imaging/LogoShaping.h"
#include "platform/pictures/PictureDecoders.h"
#include "tests/support/PictureBuilder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>

using namespace tessaline;
using namespace tessaline::test;

namespace {

class PictureFiles : public ScratchDir {
protected:
    void SetUp() override { UseSystemPictureDecoders(); }
    std::vector<uint8_t> Read(const std::filesystem::path& p) {
        std::ifstream f(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    }
};

using Rgb = std::array<int, 3>;

// Pixel (x, y from the top) of a decoded logo, as red, green, blue.
Rgb PixelAt(const DecodedBitmap& bitmap, int x, int y) {
    const auto& d = bitmap.description;
    const uint8_t* p = bitmap.pixels.data() +
                       static_cast<std::size_t>((d.bmHeight - 1 - y) * d.bmWidthBytes + x * 3);
    return {p[2], p[1], p[0]};
}

int Paper(int c, int a) {
    return (c * a + 255 * (255 - a) + 127) / 255;
}

} // namespace

TEST_F(PictureFiles, PngEveryColourTypeDepthAndTransparency) {
    // Each case: the file, the bits per pixel it reports, and the colour
    // every pixel must come out as over white paper.
    struct Case {
        const char* name;
        PngSpec spec;
        int bits;
        std::function<Rgb(int x, int y)> want;
    };
    const auto levels = [](int depth, int x) { return (x * 37) & ((1 << depth) - 1); };
    const auto scaled = [&](int depth, int x) {
        return levels(depth, x) * 255 / ((1 << depth) - 1);
    };
    std::vector<Case> cases;
    for (int depth : {1, 2, 4, 8}) {
        for (bool interlaced : {false, true}) {
            cases.push_back(
                {"grey",
                 {13,
                  11,
                  0,
                  depth,
                  interlaced,
                  {},
                  {},
                  {},
                  [=](int x, int) { return std::array<uint16_t, 4>{uint16_t(levels(depth, x))}; }},
                 depth,
                 [=](int x, int) {
                     const int g = scaled(depth, x);
                     return Rgb{g, g, g};
                 }});
        }
        std::vector<std::array<uint8_t, 3>> palette;
        for (int i = 0; i < (1 << depth); ++i) {
            palette.push_back({uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 3)});
        }
        std::vector<uint8_t> alpha(palette.size(), 255);
        alpha[1] = 0;
        cases.push_back(
            {"palette",
             {9,
              7,
              3,
              depth,
              false,
              palette,
              alpha,
              {},
              [=](int x, int) { return std::array<uint16_t, 4>{uint16_t(levels(depth, x))}; }},
             depth,
             [=](int x, int) {
                 const auto& c = palette[static_cast<std::size_t>(levels(depth, x))];
                 const int a = alpha[static_cast<std::size_t>(levels(depth, x))];
                 return Rgb{Paper(c[0], a), Paper(c[1], a), Paper(c[2], a)};
             }});
    }
    for (int depth : {8, 16}) {
        const int top = depth == 16 ? 257 : 1; // 16-bit samples keep their high byte
        for (bool interlaced : {false, true}) {
            cases.push_back({"rgba",
                             {17,
                              9,
                              6,
                              depth,
                              interlaced,
                              {},
                              {},
                              {},
                              [=](int x, int y) {
                                  return std::array<uint16_t, 4>{
                                      uint16_t(x * 15 * top + (depth == 16 ? 10 : 0)),
                                      uint16_t(y * 28 * top), uint16_t(200 * top),
                                      uint16_t((x * 15 + y) * top)};
                              }},
                             4 * depth,
                             [=](int x, int y) {
                                 const int a = x * 15 + y;
                                 return Rgb{Paper(x * 15, a), Paper(y * 28, a), Paper(200, a)};
                             }});
        }
        cases.push_back(
            {"grey+alpha",
             {10,
              3,
              4,
              depth,
              false,
              {},
              {},
              {},
              [=](int x, int y) {
                  return std::array<uint16_t, 4>{uint16_t(x * 20 * top), uint16_t(y * 120 * top)};
              }},
             2 * depth,
             [=](int x, int y) {
                 const int g = Paper(x * 20, y * 120);
                 return Rgb{g, g, g};
             }});
        // tRNS names one colour clear; only that colour becomes paper.
        cases.push_back({"rgb+tRNS",
                         {6,
                          2,
                          2,
                          depth,
                          true,
                          {},
                          {},
                          std::array<uint16_t, 3>{0, 0, 0},
                          [=](int x, int) {
                              return std::array<uint16_t, 4>{0, 0, uint16_t(x * top)};
                          }},
                         3 * depth,
                         [=](int x, int) {
                             return x == 0 ? Rgb{255, 255, 255} : Rgb{0, 0, x};
                         }});
        cases.push_back({"grey+tRNS",
                         {6,
                          2,
                          0,
                          depth,
                          false,
                          {},
                          {},
                          std::array<uint16_t, 3>{uint16_t(5 * top), 0, 0},
                          [=](int x, int) { return std::array<uint16_t, 4>{uint16_t(x * top)}; }},
                         depth,
                         [=](int x, int) {
                             return x == 5 ? Rgb{255, 255, 255} : Rgb{x, x, x};
                         }});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " depth " + std::to_string(c.spec.bitDepth) +
                     (c.spec.interlaced ? " interlaced" : ""));
        const auto file = MakePng(c.spec);
        const auto decoded = DecodeLogo(file);
        ASSERT_TRUE(decoded) << decoded.Reason();
        EXPECT_EQ(decoded.Value().fileBitsPixel, c.bits);
        for (int y = 0; y < c.spec.height; ++y) {
            for (int x = 0; x < c.spec.width; ++x) {
                ASSERT_EQ(PixelAt(decoded.Value(), x, y), c.want(x, y)) << x << "," << y;
            }
        }
    }
}

TEST_F(PictureFiles, PngAndBmpWithTheSamePixelsGiveTheSameBytes) {
    // A logo with grey edges and a transparent background, and the BMP file
    // of the same pixels laid over white.
    const auto alpha = [](int x, int y) { return (x * 7 + y * 3) % 256 < 40 ? 0 : 255 - x; };
    const auto colour = [](int x, int y) {
        return std::array<int, 3>{(x * 5) % 256, (y * 9) % 256, (x * y) % 256};
    };
    PngSpec spec{101, 37, 6, 8, false, {}, {}, {}, [&](int x, int y) {
                     const auto c = colour(x, y);
                     return std::array<uint16_t, 4>{uint16_t(c[0]), uint16_t(c[1]), uint16_t(c[2]),
                                                    uint16_t(alpha(x, y))};
                 }};
    const auto png = Put("logo.png", MakePng(spec));
    const auto bmp = Put(
        "logo.bmp", Make24(101, 37, [&](int x, int y) {
            const auto c = colour(x, y);
            const int a = alpha(x, y);
            return Bgr{uint8_t(Paper(c[2], a)), uint8_t(Paper(c[1], a)), uint8_t(Paper(c[0], a))};
        }));
    // Stored under a misleading name, the PNG is still read as a PNG.
    const auto misnamed = Put("logo-png.bmp", MakePng(spec));
    for (int mode : {0, 1}) {
        for (int brightness : {0, 5, 10}) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " brightness " +
                         std::to_string(brightness));
            std::vector<std::vector<uint8_t>> previews, thresholds, rasters;
            for (const auto& path : {bmp, png, misnamed}) {
                const PreviewOutcome preview =
                    Preview(path, static_cast<int16_t>(mode), static_cast<int16_t>(brightness),
                            ReplaceWholeFile);
                ASSERT_EQ(preview.shown.Reason(), "");
                previews.push_back(Read(m_dir / "Temp.bmp"));
                thresholds.push_back(mode == 1 ? Read(m_dir / "TempTe.bmp")
                                               : std::vector<uint8_t>{});
                CLogoImage image;
                Convert(image, path, mode, brightness);
                rasters.emplace_back(image.Raster().begin(), image.Raster().end());
            }
            ASSERT_EQ(previews[0].size(), 62u + 16 * 37);
            for (std::size_t i = 1; i < previews.size(); ++i) {
                EXPECT_EQ(previews[i], previews[0]);
                EXPECT_EQ(thresholds[i], thresholds[0]);
                EXPECT_EQ(rasters[i], rasters[0]);
            }
        }
    }
}

TEST_F(PictureFiles, JpegColourSpacesScansAndOrientation) {
    // Flat 8 x 8 blocks survive compression within a few levels.
    struct Case {
        const char* name;
        int components;
        bool progressive;
        std::array<uint8_t, 4> stored;
        Rgb want;
        int bits;
    };
    const Case cases[] = {
        {"grey", 1, false, {90}, {90, 90, 90}, 8},
        {"grey progressive", 1, true, {200}, {200, 200, 200}, 8},
        {"YCbCr", 3, false, {200, 40, 90}, {200, 40, 90}, 24},
        {"YCbCr progressive", 3, true, {30, 160, 220}, {30, 160, 220}, 24},
        // Adobe stores ink inverted: 255 is none. Half the cyan, no other ink.
        {"Adobe CMYK", 4, false, {128, 255, 255, 255}, {128, 255, 255}, 32},
        {"Adobe CMYK, black ink", 4, true, {255, 255, 255, 64}, {64, 64, 64}, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto file =
            MakeJpeg({16, 8, c.components, c.progressive, 100, [&](int, int) { return c.stored; }});
        const auto decoded = DecodeLogo(file);
        ASSERT_TRUE(decoded) << decoded.Reason();
        EXPECT_EQ(decoded.Value().fileBitsPixel, c.bits);
        const Rgb got = PixelAt(decoded.Value(), 4, 4);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_NEAR(got[i], c.want[i], 3) << "channel " << i;
        }
    }
    // A 24 x 16 picture with one black 8 x 8 block at its top left, turned
    // by each orientation: where the block lands in the upright picture.
    const auto plain =
        MakeJpeg({24, 16, 1, false, 100, [](int x, int y) {
                      return std::array<uint8_t, 4>{uint8_t(x < 8 && y < 8 ? 0 : 255)};
                  }});
    struct Turn {
        int orientation, width, height, blockX, blockY;
    };
    const Turn turns[] = {{1, 24, 16, 0, 0},  {2, 24, 16, 16, 0}, {3, 24, 16, 16, 8},
                          {4, 24, 16, 0, 8},  {5, 16, 24, 0, 0},  {6, 16, 24, 8, 0},
                          {7, 16, 24, 8, 16}, {8, 16, 24, 0, 16}};
    for (const Turn& t : turns) {
        for (bool big : {false, true}) {
            SCOPED_TRACE("orientation " + std::to_string(t.orientation) + (big ? " MM" : " II"));
            const auto decoded = DecodeLogo(WithExifOrientation(plain, t.orientation, big));
            ASSERT_TRUE(decoded) << decoded.Reason();
            ASSERT_EQ(decoded.Value().description.bmWidth, t.width);
            ASSERT_EQ(decoded.Value().description.bmHeight, t.height);
            for (int by = 0; by < t.height; by += 8) {
                for (int bx = 0; bx < t.width; bx += 8) {
                    const bool black = bx == t.blockX && by == t.blockY;
                    EXPECT_NEAR(PixelAt(decoded.Value(), bx + 4, by + 4)[0], black ? 0 : 255, 3)
                        << "block " << bx << "," << by;
                }
            }
        }
    }
}

TEST_F(PictureFiles, GifFirstFrameWithItsTransparentIndexAsPaper) {
    const std::vector<std::array<uint8_t, 3>> palette = {
        {0, 0, 0}, {255, 0, 0}, {10, 200, 30}, {90, 90, 90}};
    const auto index = [](int x, int y) { return uint8_t((x + 2 * y) % 4); };
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "plain");
        const auto decoded = DecodeLogo(MakeGif({11, 19, palette, 2, interlaced, index}));
        ASSERT_TRUE(decoded) << decoded.Reason();
        EXPECT_EQ(decoded.Value().fileBitsPixel, 8);
        for (int y = 0; y < 19; ++y) {
            for (int x = 0; x < 11; ++x) {
                const auto& c = palette[index(x, y)];
                const Rgb want = index(x, y) == 2 ? Rgb{255, 255, 255} : Rgb{c[0], c[1], c[2]};
                ASSERT_EQ(PixelAt(decoded.Value(), x, y), want) << x << "," << y;
            }
        }
    }
}

TEST_F(PictureFiles, BitmapInfoReportsTheDepthTheFileStores) {
    const auto grey = [](int, int) { return std::array<uint16_t, 4>{1, 1, 1, 1}; };
    const struct {
        const char* name;
        std::vector<uint8_t> file;
        int bits;
    } cases[] = {
        {"rgba.png", MakePng({30, 20, 6, 8, false, {}, {}, {}, grey}), 32},
        {"rgb.png", MakePng({30, 20, 2, 8, false, {}, {}, {}, grey}), 24},
        {"grey.png", MakePng({30, 20, 0, 8, false, {}, {}, {}, grey}), 8},
        {"one.png", MakePng({30, 20, 0, 1, false, {}, {}, {}, grey}), 1},
        {"palette.png", MakePng({30, 20, 3, 8, false, {{0, 0, 0}, {1, 1, 1}}, {}, {}, grey}), 8},
        {"rgb.jpg",
         MakeJpeg({30, 20, 3, false, 90, [](int, int) { return std::array<uint8_t, 4>{}; }}), 24},
        {"grey.jpg",
         MakeJpeg({30, 20, 1, false, 90, [](int, int) { return std::array<uint8_t, 4>{}; }}), 8},
        {"logo.gif",
         MakeGif({30, 20, {{0, 0, 0}, {9, 9, 9}}, -1, false, [](int, int) { return uint8_t(1); }}),
         8},
    };
    for (const auto& c : cases) {
        const Result<BitmapFigures> info = BitmapInfo(Put(c.name, c.file));
        ASSERT_EQ(info.Code(), 0) << info.Reason();
        EXPECT_EQ(info.Value().bitsPixel, c.bits) << c.name;
        EXPECT_EQ(info.Value().height, 20) << c.name;
        EXPECT_EQ(info.Value().width, 30) << c.name;
        EXPECT_EQ(info.Reason(), "");
        // A one-bit PNG too goes through the grey path: a picture is written.
        const auto path = (m_dir / c.name).string();
        EXPECT_EQ(Preview(path, 0, 5, ReplaceWholeFile).path, (m_dir / "Temp.bmp").string())
            << c.name;
    }
}

TEST_F(PictureFiles, LogosOtherProgramsWroteAreReadAndPreviewed) {
    // Kept as those programs wrote them (the fuzz seeds hold them too), not
    // made by our own builders, so the readers meet others' choices of header,
    // palette size, compression and chunk order.
    const struct {
        const char* file;
        int bits, height, width;
    } cases[] = {
        {"bmp/magick-argb-v5.bmp", 32, 21, 33},  {"bmp/magick-bmp2.bmp", 24, 17, 29},
        {"bmp/magick-palette-4.bmp", 4, 19, 37}, {"bmp/magick-palette-8.bmp", 8, 23, 41},
        {"bmp/netpbm-os2.bmp", 8, 7, 13},        {"bmp/netpbm-windows.bmp", 8, 7, 13},
        {"bmp/pillow-1bit.bmp", 1, 27, 45},      {"bmp/pillow-palette-8.bmp", 8, 27, 45},
        {"bmp/pillow-rgb-24.bmp", 24, 27, 45},   {"png/magick-rgba.png", 32, 21, 33},
        {"png/pillow-grey.png", 8, 27, 45},      {"png/pillow-rgba.png", 32, 27, 45},
    };
    for (const auto& c : cases) {
        const std::string path = std::string(TESSALINE_FUZZ_CORPUS) + "/" + c.file;
        const Result<BitmapFigures> info = BitmapInfo(path);
        ASSERT_EQ(info.Code(), 0) << info.Reason();
        EXPECT_EQ(info.Value().bitsPixel, c.bits) << c.file;
        EXPECT_EQ(info.Value().height, c.height) << c.file;
        EXPECT_EQ(info.Value().width, c.width) << c.file;
        const PreviewOutcome preview = Preview(path, 1, 5, ReplaceWholeFile);
        EXPECT_FALSE(preview.path.empty()) << c.file;
        EXPECT_EQ(preview.shown.Reason(), "") << c.file;
    }
}

TEST_F(PictureFiles, DamagedFilesAreRefusedWithTheFileAndTheReason) {
    const auto png = MakePng({40, 40, 2, 8, false, {}, {}, {}, [](int x, int y) {
                                  return std::array<uint16_t, 4>{uint16_t(x), uint16_t(y), 7};
                              }});
    const auto jpeg = MakeJpeg({40, 40, 3, true, 90, [](int x, int y) {
                                    return std::array<uint8_t, 4>{uint8_t(x), uint8_t(y), 7};
                                }});
    const auto gif = MakeGif({40, 40, {{0, 0, 0}, {255, 255, 255}}, -1, false, [](int x, int y) {
                                  return uint8_t((x ^ y) & 1);
                              }});
    auto badCrc = png;
    badCrc[40] ^= 0xFF;
    auto huge = png; // IHDR claims 40000 x 40000
    huge[16] = 0, huge[17] = 0, huge[18] = 0x9C, huge[19] = 0x40;
    // A text chunk after IHDR that claims 1.75 GiB: refused without room set aside for it.
    const std::array<uint8_t, 11> text{0x70, 0, 0, 0, 't', 'E', 'X', 't', 'a', 0, 'b'};
    std::vector<uint8_t> longText(png.size() + text.size());
    std::copy(png.begin(), png.begin() + 33, longText.begin());
    std::copy(text.begin(), text.end(), longText.begin() + 33);
    std::copy(png.begin() + 33, png.end(), longText.begin() + 33 + 11);
    const struct {
        const char* name;
        std::vector<uint8_t> file;
        const char* reason;
    } cases[] = {
        {"cut.png", std::vector<uint8_t>(png.begin(), png.begin() + 60), "not a valid PNG file: "},
        {"crc.png", badCrc, "not a valid PNG file: "},
        {"huge.png", huge, "not a valid PNG file: "},
        {"long-text.png", longText, "not a valid PNG file: the file ends"},
        {"cut.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20),
         "not a valid JPEG file: "},
        {"cut.gif", std::vector<uint8_t>(gif.begin(), gif.begin() + 20), "not a valid GIF file: "},
        {"magic.gif", std::vector<uint8_t>(gif.begin(), gif.begin() + 6), "not a valid GIF file: "},
        {"text.png", {'h', 'e', 'l', 'l', 'o'}, "not a BMP file"},
    };
    for (const auto& c : cases) {
        const auto path = Put(c.name, c.file);
        const Result<BitmapFigures> info = BitmapInfo(path);
        const std::string& failure = info.Reason();
        EXPECT_EQ(info.Code(), -1) << c.name;
        EXPECT_EQ(failure.rfind(path + ": " + c.reason, 0), 0u) << failure;
        EXPECT_GT(failure.size(), path.size() + 2 + std::strlen(c.reason)) << failure;
    }
}

TEST_F(PictureFiles, FitAveragesAreasAndNeverEnlarges) {
    // One black column in four: at a quarter of the width it is a grey line,
    // not a line that vanishes or stays solid.
    const auto stripes = DecodeBmp(Make24(400, 100, [](int x, int) {
        return x % 4 == 1 ? Bgr{0, 0, 0} : Bgr{255, 255, 255};
    }));
    ASSERT_TRUE(stripes);
    const struct {
        int32_t dots, width, height;
        int level; // of every pixel
    } cases[] = {{100, 100, 25, 191}, {300, 300, 75, -2}, {400, 400, 100, -1}, {800, 400, 100, -1}};
    for (const auto& c : cases) {
        const DecodedBitmap fitted = FitToWidth(stripes.Value(), c.dots);
        EXPECT_EQ(fitted.description.bmWidth, c.width) << c.dots;
        EXPECT_EQ(fitted.description.bmHeight, c.height) << c.dots;
        if (c.level == -1) {
            EXPECT_EQ(fitted.pixels, stripes.Value().pixels) << c.dots;
        }
        if (c.level < 0) {
            continue;
        }
        for (int x : {0, 1, c.width / 2, c.width - 1}) {
            const Rgb p = PixelAt(fitted, x, c.height - 1);
            EXPECT_EQ(p, (Rgb{c.level, c.level, c.level})) << c.dots << " at " << x;
        }
    }
    // Transparent areas are paper before they are averaged; a 2000 x 800
    // logo fits 80 mm paper as 576 x 230.
    const auto decoded = DecodeLogo(
        MakePng({2000, 800, 6, 8, false, {}, {}, {}, [](int x, int) {
                     return std::array<uint16_t, 4>{0, 0, 0, uint16_t(x < 1000 ? 0 : 255)};
                 }}));
    ASSERT_TRUE(decoded) << decoded.Reason();
    const DecodedBitmap fitted = FitToWidth(decoded.Value(), 576);
    EXPECT_EQ(fitted.description.bmWidth, 576);
    EXPECT_EQ(fitted.description.bmHeight, 230);
    EXPECT_EQ(fitted.fileBitsPixel, 32);
    EXPECT_EQ(PixelAt(fitted, 10, 10), (Rgb{255, 255, 255}));
    EXPECT_EQ(PixelAt(fitted, 500, 10), (Rgb{0, 0, 0}));
}
