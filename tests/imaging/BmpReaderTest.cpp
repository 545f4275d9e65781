// SPDX-License-Identifier: MIT
#include "imaging/BmpReader.h"

#include "tests/support/BmpBuilder.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <limits>

using namespace tessaline;
using namespace tessaline::test;

namespace {

// Value of pixel x in stored row `row` (0 = bottom) of a decoded bitmap.
uint32_t PixelAt(const DecodedBitmap& d, int x, int row) {
    const auto bpp = static_cast<size_t>(d.description.bmBitsPixel);
    const uint8_t* line = d.pixels.data() + static_cast<size_t>(row) *
                                                static_cast<size_t>(d.description.bmWidthBytes);
    const auto ux = static_cast<size_t>(x);
    if (bpp == 1)
        return (line[ux / 8] >> (7 - ux % 8)) & 1u;
    if (bpp == 4)
        return ux % 2 ? line[ux / 2] & 0x0Fu : line[ux / 2] >> 4;
    uint32_t v = 0;
    for (size_t i = 0; i < bpp / 8; ++i)
        v |= uint32_t{line[ux * bpp / 8 + i]} << (8 * i);
    return v;
}

uint32_t Pattern(uint16_t bpp, int x, int y) {
    const uint32_t v = static_cast<uint32_t>(static_cast<uint32_t>(x) * 0x9E3779B1u +
                                             static_cast<uint32_t>(y) * 77u + 1);
    return bpp == 32 ? v : v & ((1u << bpp) - 1);
}

void Poke32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

BmpSpec Rle(int w, int h, uint16_t bpp, std::vector<uint8_t> stream) {
    BmpSpec s;
    s.width = w;
    s.height = h;
    s.bitsPerPixel = bpp;
    s.compression = bpp == 8 ? 1 : 2;
    s.palette.resize(bpp == 8 ? 256 : 16);
    s.raw = std::move(stream);
    return s;
}

} // namespace

TEST(BmpReader, DeliversBottomUpRowsForEveryDepthAndRowOrder) {
    for (const uint16_t bpp : std::initializer_list<uint16_t>{1, 4, 8, 16, 24, 32}) {
        // Variant 2, the 12-byte core header, knows no 16 or 32 bits and no top-down rows.
        for (const int variant : {0, 1, 2}) {
            const bool topDown = variant == 1;
            if (variant == 2 && (bpp == 16 || bpp == 32))
                continue;
            BmpSpec s;
            s.width = 13;
            s.height = 5;
            s.bitsPerPixel = bpp;
            s.topDown = topDown;
            s.headerSize = variant == 2 ? 12 : 40;
            if (bpp <= 8)
                s.palette.resize(size_t{1} << bpp);
            s.pixel = [bpp](int x, int y) { return Pattern(bpp, x, y); };
            const auto r = DecodeBmp(BuildBmp(s));
            ASSERT_TRUE(r.Ok()) << bpp << " " << s.headerSize << " " << r.Reason();
            const auto& d = r.Value();
            EXPECT_EQ(d.description.bmWidth, 13);
            EXPECT_EQ(d.description.bmHeight, 5);
            EXPECT_EQ(d.description.bmWidthBytes, BmpStride(13, bpp));
            EXPECT_EQ(d.description.bmBitsPixel, bpp);
            EXPECT_EQ(d.description.bmPlanes, 1);
            ASSERT_EQ(d.pixels.size(), static_cast<size_t>(BmpStride(13, bpp) * 5));
            EXPECT_FALSE(d.hasMasks);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 13; ++x)
                    ASSERT_EQ(PixelAt(d, x, 4 - y), Pattern(bpp, x, y))
                        << "bpp " << bpp << " variant " << variant << " at " << x << "," << y;
            // Laid out in the file's own memory (above) or copied out of it,
            // the rows are the same; the check alone gives the picture without them.
            const std::vector<uint8_t> file = BuildBmp(s);
            const auto copied = DecodeBmp(std::span<const uint8_t>(file));
            ASSERT_TRUE(copied.Ok());
            EXPECT_EQ(copied.Value().pixels, d.pixels) << bpp << " variant " << variant;
            EXPECT_EQ(copied.Value().palette.size(), d.palette.size());
            const auto checked = CheckBmp(BuildBmp(s));
            ASSERT_TRUE(checked.Ok());
            EXPECT_TRUE(checked.Value().rowsLeft);
            EXPECT_TRUE(checked.Value().pixels.empty());
            EXPECT_EQ(checked.Value().description.bmWidthBytes, d.description.bmWidthBytes);
        }
    }
}

TEST(BmpReader, ReadsMasksOnlyUnderBitFieldsAndFromTheRightPlace) {
    const BmpMasks rgba{0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    const BmpMasks rgb565{0xF800, 0x07E0, 0x001F, 0};
    struct Case {
        uint32_t header;
        uint32_t compression;
        uint16_t bpp;
        BmpMasks written;
        bool hasMasks;
        BmpMasks expected;
    } cases[] = {
        {40, 3, 32, rgba, true, {rgba.r, rgba.g, rgba.b, 0}}, // alpha is not read after a 40-byte
                                                              // header
        {52, 3, 32, rgba, true, {rgba.r, rgba.g, rgba.b, 0}},
        {56, 3, 32, rgba, true, rgba},
        {108, 3, 32, rgba, true, rgba},
        {124, 3, 16, rgb565, true, rgb565},
        {40, 3, 16, rgb565, true, rgb565},
        {108, 0, 32, rgba, false, {}},
        {124, 0, 16, rgb565, false, {}},
    };
    for (const auto& c : cases) {
        BmpSpec s;
        s.width = 3;
        s.height = 2;
        s.bitsPerPixel = c.bpp;
        s.headerSize = c.header;
        s.compression = c.compression;
        s.masks = c.written;
        s.pixel = [](int x, int y) { return static_cast<uint32_t>(0x1234 + x + 16 * y); };
        const auto r = DecodeBmp(BuildBmp(s));
        ASSERT_TRUE(r.Ok()) << c.header << " " << r.Reason();
        const auto& d = r.Value();
        EXPECT_EQ(d.hasMasks, c.hasMasks) << c.header;
        EXPECT_EQ(d.masks.red, c.expected.r) << c.header;
        EXPECT_EQ(d.masks.green, c.expected.g) << c.header;
        EXPECT_EQ(d.masks.blue, c.expected.b) << c.header;
        EXPECT_EQ(d.masks.alpha, c.expected.a) << c.header;
        EXPECT_EQ(PixelAt(d, 2, 0), 0x1234u + 2 + 16) << c.header;
    }
}

TEST(BmpReader, FindsAndClampsThePalette) {
    std::vector<Bgra> entries(256);
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(~i), 7, 0};
    struct Case {
        uint32_t header;
        uint16_t bpp;
        uint32_t coloursUsed;
        size_t written;
        std::optional<uint32_t> pixelOffset;
        size_t expected;
    } cases[] = {
        {40, 8, 0, 256, {}, 256},
        {124, 4, 0, 16, {}, 16},
        {108, 8, 3, 3, {}, 3},
        {40, 1, 300, 2, {}, 2},
        {40, 8, 0, 256, 14 + 40 + 16 * 4, 16}, // pixel data begins inside the palette
        {40, 24, 2, 2, {}, 0},                 // deeper files carry no palette
        {12, 8, 0, 256, {}, 256},              // core header: three bytes an entry
        {12, 4, 0, 5, {}, 5},                  // core header: ends where the pixels begin
    };
    for (const auto& c : cases) {
        BmpSpec s;
        s.width = 4;
        s.height = 2;
        s.bitsPerPixel = c.bpp;
        s.headerSize = c.header;
        s.coloursUsed = c.coloursUsed;
        s.palette.assign(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(c.written));
        s.pixelOffset = c.pixelOffset;
        s.pixel = [](int x, int) { return static_cast<uint32_t>(x % 2); };
        const auto r = DecodeBmp(BuildBmp(s));
        ASSERT_TRUE(r.Ok()) << c.header << " " << r.Reason();
        const auto& d = r.Value();
        ASSERT_EQ(d.palette.size(), c.expected) << c.header << "/" << c.bpp;
        for (size_t i = 0; i < d.palette.size(); ++i) {
            ASSERT_EQ(d.palette[i].blue, entries[i].b);
            ASSERT_EQ(d.palette[i].green, entries[i].g);
        }
        EXPECT_EQ(PixelAt(d, 1, 1), 1u);
        EXPECT_EQ(PixelAt(d, 2, 0), 0u);
    }
}

TEST(BmpReader, ExpandsRle8RunsAbsoluteBlocksDeltasAndLineEnds) {
    const std::vector<uint8_t> stream = {0x03, 0x05, // run of three 5s
                                         0x00, 0x03, 0x01, 0x02,
                                         0x03, 0x00, // odd absolute block and its pad byte
                                         0x00, 0x00, // end of line: row 1 stays empty
                                         0x00, 0x02, 0x02, 0x01, // delta to x 2 of row 2
                                         0x02, 0x09, 0x00, 0x01};
    const std::vector<std::vector<uint32_t>> rows = {
        {5, 5, 5, 1, 2, 3}, {0, 0, 0, 0, 0, 0}, {0, 0, 9, 9, 0, 0}};
    // Pixels the stream never set are paper, whatever index they hold.
    const std::vector<std::vector<bool>> skipped = {{false, false, false, false, false, false},
                                                    {true, true, true, true, true, true},
                                                    {true, true, false, false, true, true}};
    for (bool withEnd : {true, false}) {
        auto s = Rle(6, 3, 8, stream);
        if (!withEnd)
            s.raw.resize(s.raw.size() - 2);
        const auto r = DecodeBmp(BuildBmp(s));
        ASSERT_TRUE(r.Ok()) << r.Reason();
        EXPECT_EQ(r.Value().description.bmWidthBytes, 8);
        ASSERT_EQ(r.Value().pixels.size(), 24u);
        for (int row = 0; row < 3; ++row)
            for (int x = 0; x < 6; ++x) {
                EXPECT_EQ(PixelAt(r.Value(), x, row), rows[size_t(row)][size_t(x)])
                    << x << "," << row;
                EXPECT_EQ(r.Value().IsSkipped(size_t(x), size_t(row)),
                          skipped[size_t(row)][size_t(x)])
                    << x << "," << row;
            }
    }
}

TEST(BmpReader, RunsIntoTheRowPaddingKeepOnlyThePixelsWithinTheWidth) {
    // Writers run on into the padding of rows whose width is not a multiple of 4.
    const struct {
        const char* name;
        BmpSpec spec;
        std::vector<uint8_t> pixels;
    } cases[] = {
        {"rle8 run", Rle(4, 2, 8, {0x05, 0x01, 0x00, 0x00, 0x01, 0x02}), {1, 1, 1, 1, 2, 0, 0, 0}},
        {"rle4 run", Rle(3, 1, 4, {0x04, 0x11}), {0x11, 0x10, 0, 0}},
        {"rle8 absolute block", Rle(2, 1, 8, {0x00, 0x03, 1, 2, 3, 0}), {1, 2, 0, 0}},
        {"delta from the padding",
         Rle(2, 2, 8, {0x03, 0x04, 0x00, 0x02, 0x00, 0x01, 0x01, 0x05}),
         {4, 4, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const auto r = DecodeBmp(BuildBmp(c.spec));
        ASSERT_TRUE(r.Ok()) << c.name << ": " << r.Reason();
        EXPECT_EQ(r.Value().pixels, c.pixels) << c.name;
    }
}

TEST(BmpReader, ExpandsRle4NibblesIntoPackedRows) {
    const auto r =
        DecodeBmp(BuildBmp(Rle(5, 3, 4,
                               {0x05, 0x12,                         // 1 2 1 2 1
                                0x00, 0x00,                         // next row
                                0x00, 0x05, 0x67, 0x89, 0xA0, 0x00, // 5 nibbles, 3 bytes + pad
                                0x00, 0x01})));
    ASSERT_TRUE(r.Ok()) << r.Reason();
    const std::vector<uint8_t> expected = {0x12, 0x12, 0x10, 0, 0x67, 0x89, 0xA0, 0, 0, 0, 0, 0};
    EXPECT_EQ(r.Value().pixels, expected);
}

TEST(BmpReader, RleDataEndsAtTheImageSizeWhenItFitsTheFile) {
    const struct {
        uint32_t imageSize;
        uint32_t secondRow;
    } cases[] = {{0, 8}, {4, 0}, {1000, 8}};
    for (const auto& c : cases) {
        auto s = Rle(2, 2, 8, {0x02, 0x07, 0x00, 0x00, 0x02, 0x08, 0x00, 0x01});
        s.imageSize = c.imageSize;
        const auto r = DecodeBmp(BuildBmp(s));
        ASSERT_TRUE(r.Ok()) << r.Reason();
        EXPECT_EQ(PixelAt(r.Value(), 1, 0), 7u) << c.imageSize;
        EXPECT_EQ(PixelAt(r.Value(), 1, 1), c.secondRow) << c.imageSize;
    }
}

TEST(BmpReader, RefusesMalformedFiles) {
    const auto ok24 = Make24(4, 3, [](int, int) { return Bgr{1, 2, 3}; });
    auto with = [&](std::vector<uint8_t> b, size_t at, uint32_t v) {
        Poke32(b, at, v);
        return b;
    };
    auto cut = [](std::vector<uint8_t> b, size_t n) {
        b.resize(n);
        return b;
    };
    auto header = [](int32_t w, int32_t h, uint16_t bpp, uint32_t compression) {
        BmpSpec s;
        s.width = w;
        s.height = h;
        s.bitsPerPixel = bpp;
        s.compression = compression;
        if (compression == 3)
            s.masks = BmpMasks{0xF800, 0x07E0, 0x001F, 0};
        return BuildBmp(s); // no pixels: only the header checks can be reached
    };
    BmpSpec shortPalette;
    shortPalette.width = 4;
    shortPalette.height = 4;
    shortPalette.bitsPerPixel = 8;
    shortPalette.palette.resize(16);
    shortPalette.pixel = [](int, int) { return 0u; };
    BmpSpec zeroMasks = shortPalette;
    zeroMasks.bitsPerPixel = 32;
    zeroMasks.compression = 3;
    zeroMasks.palette.clear();
    zeroMasks.masks = BmpMasks{0, 0, 0, 0xFF000000};
    BmpSpec topDownRle = Rle(2, 2, 8, {0x02, 0x01, 0x00, 0x01});
    topDownRle.topDown = true;

    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {"signature", with(ok24, 0, 0x4D42 ^ 0x0100), "signature"},
        {"file header", cut(ok24, 10), "truncated file header"},
        {"info header", cut(ok24, 40), "truncated info header"},
        {"core header over a 40-byte one", with(ok24, 14, 12), "bits per pixel 0"},
        {"header size 16", with(ok24, 14, 16), "header size 16"},
        {"header size 64", with(ok24, 14, 64), "header size 64"},
        {"pixels", cut(ok24, ok24.size() - 1), "truncated pixel data"},
        {"pixel offset past file", with(ok24, 10, 0xFFFFFFF0), "truncated pixel data"},
        {"pixel offset in header", with(ok24, 10, 40), "inside the headers"},
        {"palette past file", BuildBmp(shortPalette), "truncated palette"},
        {"width 0", header(0, 1, 24, 0), "invalid width"},
        {"width negative", header(-5, 1, 24, 0), "invalid width"},
        {"height 0", header(1, 0, 24, 0), "invalid height"},
        {"height min", header(1, std::numeric_limits<int32_t>::min(), 24, 0), "invalid height"},
        {"width huge", header(std::numeric_limits<int32_t>::max(), 1, 32, 0), "too large"},
        {"height huge", header(1, -40000, 24, 0), "too large"},
        {"over 96 MiB", header(32767, 32767, 32, 0), "too large"},
        {"just over 96 MiB", header(5000, -5034, 32, 0), "too large"},
        {"96 MiB is allowed", header(4096, 6144, 32, 0), "truncated pixel data"},
        {"8184 x 2304 at 32 bits", header(8184, 2304, 32, 0), "truncated pixel data"},
        {"core header at 32 bits", with(with(ok24, 14, 12), 22, 0x00200001), "bits per pixel 32"},
        {"bpp 2", header(1, 1, 2, 0), "bits per pixel 2"},
        {"bpp 0", header(1, 1, 0, 0), "bits per pixel 0"},
        {"bpp 64", header(1, 1, 64, 0), "bits per pixel 64"},
        {"compression 4", header(1, 1, 24, 4), "compression 4"},
        {"compression 0x80000001", header(1, 1, 8, 0x80000001), "compression 2147483649"},
        {"rle8 at 4 bpp", header(1, 1, 4, 1), "compression 1 with 4"},
        {"rle4 at 8 bpp", header(1, 1, 8, 2), "compression 2 with 8"},
        {"bitfields at 24 bpp", header(1, 1, 24, 3), "compression 3 with 24"},
        {"bitfields at 8 bpp", header(1, 1, 8, 3), "compression 3 with 8"},
        {"pixel offset in masks", with(header(1, 1, 16, 3), 10, 54), "inside the headers"},
        {"masks cut", cut(header(1, 1, 16, 3), 60), "truncated colour masks"},
        {"zero masks", BuildBmp(zeroMasks), "all zero"},
        {"top-down rle", BuildBmp(topDownRle), "top-down"},
        {"rle past last row", BuildBmp(Rle(2, 1, 8, {0x00, 0x00, 0x01, 0x01})), "last row"},
        {"rle absolute past last row", BuildBmp(Rle(2, 1, 8, {0x00, 0x00, 0x00, 0x03, 1, 2, 3, 0})),
         "last row"},
        {"rle delta past row", BuildBmp(Rle(2, 2, 8, {0x00, 0x02, 0x03, 0x00})), "row end"},
        {"rle delta past last row", BuildBmp(Rle(2, 2, 8, {0x00, 0x02, 0x00, 0x02})), "last row"},
        {"rle absolute cut short", BuildBmp(Rle(8, 1, 8, {0x00, 0x05, 1, 2})), "cut short"},
        {"rle4 absolute cut short", BuildBmp(Rle(8, 1, 4, {0x00, 0x05, 0x12, 0x34})), "cut short"},
    };
    for (const auto& c : cases) {
        const auto r = DecodeBmp(c.bytes);
        ASSERT_FALSE(r.Ok()) << c.name;
        EXPECT_NE(r.Reason().find(c.reason), std::string::npos) << c.name << ": " << r.Reason();
        // The check before an upload, and a decode in the file's memory, refuse it alike.
        const auto checked = CheckBmp(c.bytes);
        ASSERT_FALSE(checked.Ok()) << c.name;
        EXPECT_EQ(checked.Reason(), r.Reason()) << c.name;
        std::vector<uint8_t> own = c.bytes;
        const auto inPlace = DecodeBmp(std::move(own));
        ASSERT_FALSE(inPlace.Ok()) << c.name;
        EXPECT_EQ(inPlace.Reason(), r.Reason()) << c.name;
    }
    for (size_t n = 0; n < ok24.size(); ++n) {
        ASSERT_FALSE(DecodeBmp(std::span(ok24.data(), n)).Ok()) << "prefix " << n;
        ASSERT_FALSE(CheckBmp(std::span(ok24.data(), n)).Ok()) << "prefix " << n;
        ASSERT_FALSE(DecodeBmp(std::vector<uint8_t>(ok24.data(), ok24.data() + n)).Ok())
            << "prefix " << n;
    }
    // An RLE file is checked by expanding it.
    const auto rle = CheckBmp(BuildBmp(Rle(2, 1, 8, {0x02, 0x01, 0x00, 0x01})));
    ASSERT_TRUE(rle.Ok()) << rle.Reason();
    EXPECT_FALSE(rle.Value().rowsLeft);
    EXPECT_FALSE(rle.Value().pixels.empty());
}

TEST(BmpReader, ReadFileBytesReadsWholeFilesAndRefusesOthers) {
    const TempFolder folder;
    const auto& dir = folder.Path();
    const auto bytes = Make24(3, 3, [](int x, int y) { return Bgr{uint8_t(x), uint8_t(y), 9}; });
    ASSERT_TRUE(WriteFile((dir / "a.bmp").string(), bytes));
    const auto read = ReadFileBytes((dir / "a.bmp").string());
    ASSERT_TRUE(read.Ok()) << read.Reason();
    EXPECT_EQ(read.Value(), bytes);

    std::filesystem::resize_file(dir / "a.bmp", 97u * 1024 * 1024); // sparse: cheap to make
    EXPECT_FALSE(ReadFileBytes((dir / "a.bmp").string()).Ok());
    EXPECT_FALSE(ReadFileBytes((dir / "missing.bmp").string()).Ok());
    EXPECT_FALSE(ReadFileBytes(dir.string()).Ok());
}
