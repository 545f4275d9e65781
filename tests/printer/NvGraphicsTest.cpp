// SPDX-License-Identifier: MIT
#include "printer/NvGraphics.h"

#include "tests/support/BmpBuilder.h"
#include "tests/support/Bytes.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

using test::Hex;

const GraphicKey kA1{'A', '1'};

TEST(NvGraphicsCommands, AreTheBytesTheReferencesGive) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {"key list", GraphicKeyListCommand(), Hex("1D 28 4C 04 00 30 40 4B 43")},
        {"delete all", DeleteAllGraphicsCommand(), Hex("1D 28 4C 05 00 30 41 43 4C 52")},
        {"delete A1", DeleteGraphicCommand(kA1), Hex("1D 28 4C 04 00 30 42 41 31")},
        {"print A1 at 1 x 1", PrintGraphicCommand(kA1, 1, 1).Value(),
         Hex("1D 28 4C 06 00 30 45 41 31 01 01")},
        {"print LG at 2 x 1", PrintGraphicCommand({'L', 'G'}, 2, 1).Value(),
         Hex("1D 28 4C 06 00 30 45 4C 47 02 01")},
        // A 9 x 2 graphic: two bytes a row, the ninth dot in bit 7 of the second.
        {"store 9 x 2", StoreGraphicCommand(kA1, {9, 2, Hex("FF 80 01 00")}).Value(),
         Hex("1D 28 4C 0F 00 30 43 30 41 31 01 09 00 02 00 31 FF 80 01 00")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.bytes, c.expected) << c.what;
    }
}

TEST(NvGraphicsCommands, SwitchToTheLongFormPastTheShortCount) {
    // The count runs from m on: m, fn and the parameters.
    struct Case {
        std::size_t parameters;
        std::vector<uint8_t> head;
    };
    const Case cases[] = {
        {0, Hex("1D 28 4C 02 00 30 43")},
        {65533, Hex("1D 28 4C FF FF 30 43")},
        {65534, Hex("1D 38 4C 00 00 01 00 30 43")},
        {100000, Hex("1D 38 4C A2 86 01 00 30 43")},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> parameters(c.parameters, 0x55);
        const auto bytes = GraphicsCommand(kGraphicsStoreRaster, parameters);
        ASSERT_EQ(bytes.size(), c.head.size() + c.parameters) << c.parameters;
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(),
                                       bytes.begin() + static_cast<std::ptrdiff_t>(c.head.size())),
                  c.head)
            << c.parameters;
    }
}

TEST(NvGraphicsCommands, StoreCarriesEveryWidthWithoutPadding) {
    struct Case {
        int32_t width;
        int32_t height;
        bool longForm;
    };
    // 8192 x 64 dots is 65,536 bytes of rows: the long form.
    const Case cases[] = {{1, 1, false},     {7, 3, false},    {9, 5, false},    {8192, 1, false},
                          {8192, 63, false}, {8192, 64, true}, {576, 2304, true}};
    for (const auto& c : cases) {
        RasterGraphic graphic{
            c.width, c.height,
            std::vector<uint8_t>(GraphicRowBytes(c.width) * static_cast<std::size_t>(c.height),
                                 0xA5)};
        const auto bytes = StoreGraphicCommand(kA1, graphic);
        ASSERT_TRUE(bytes.Ok()) << c.width << " x " << c.height << ": " << bytes.Reason();
        const std::size_t headLength = c.longForm ? 9 : 7;
        const std::size_t count = graphic.rows.size() + 11;
        ASSERT_EQ(bytes.Value().size(), headLength - 2 + count) << c.width;
        const uint8_t* p = bytes.Value().data() + headLength;
        EXPECT_EQ(p[3], 1) << c.width;
        EXPECT_EQ(p[4] | p[5] << 8, c.width);
        EXPECT_EQ(p[6] | p[7] << 8, c.height);
        EXPECT_EQ(p[8], 49);
    }
}

TEST(NvGraphicsCommands, RefuseWhatThePrinterCannotTake) {
    const auto rows = [](int32_t w, int32_t h) {
        return std::vector<uint8_t>(GraphicRowBytes(w) * static_cast<std::size_t>(h));
    };
    EXPECT_FALSE(StoreGraphicCommand(kA1, {0, 1, {}}).Ok());
    EXPECT_FALSE(StoreGraphicCommand(kA1, {8193, 1, rows(8193, 1)}).Ok());
    EXPECT_FALSE(StoreGraphicCommand(kA1, {8, 2305, rows(8, 2305)}).Ok());
    EXPECT_FALSE(StoreGraphicCommand(kA1, {9, 2, rows(8, 2)}).Ok());
    EXPECT_FALSE(StoreGraphicCommand({'A', 0x7F}, {8, 1, rows(8, 1)}).Ok());
    EXPECT_FALSE(PrintGraphicCommand(kA1, 3, 1).Ok());
    EXPECT_FALSE(PrintGraphicCommand(kA1, 1, 0).Ok());
}

TEST(GraphicKeys, ParseTwoPrintableCharacters) {
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {{"A1", true},
                          {"LG", true},
                          {"  ", true},
                          {"~~", true},
                          {"A", false},
                          {"ABC", false},
                          {"", false},
                          {"A\x7F", false},
                          {"\x1F"
                           "A",
                           false},
                          {"\xC3\xA9", false}};
    for (const auto& c : cases) {
        const auto key = ParseGraphicKey(c.text);
        EXPECT_EQ(key.Ok(), c.ok) << '"' << c.text << '"';
        if (key.Ok()) {
            EXPECT_EQ(key.Value().Text(), c.text);
        } else {
            EXPECT_FALSE(key.Reason().empty());
        }
    }
    EXPECT_TRUE(ParseGraphicKey("  ").Value().Invisible());
}

TEST(RasterGraphicFromNvRaster, TurnsColumnsIntoRowsOfTheLogosOwnSize) {
    // A 10 x 3 logo padded to 16 x 8: column x is byte x (one band). The
    // columns print a diagonal: dot (x, x % 3).
    std::vector<uint8_t> raster(16, 0);
    for (std::size_t x = 0; x < 10; ++x) {
        raster[x] = static_cast<uint8_t>(0x80u >> (x % 3));
    }
    const auto graphic = RasterGraphicFromNvRaster(raster, 8, 10, 3);
    ASSERT_TRUE(graphic.Ok());
    EXPECT_EQ(graphic.Value().rows, Hex("92 40 49 00 24 80"));
    EXPECT_FALSE(RasterGraphicFromNvRaster(raster, 8, 17, 3).Ok());
    EXPECT_FALSE(RasterGraphicFromNvRaster(raster, 8, 10, 9).Ok());
}

TEST(ConvertGraphic, GivesTheDotsAnUploadStoresInRowsOfTheLogosOwnSize) {
    const test::TempFolder folder;
    // An L shape and a diagonal, 13 x 5, with its margin outside the logo.
    const auto black = [](int x, int y) { return x == 0 || y == 4 || x == y * 3; };
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
    };
    const Case cases[] = {
        {"24 bits, threshold", test::MakeBlackOnWhite(13, 5, black)},
        {"one bit, direct", test::Make1(13, 5, {0, 0, 0, 0}, {255, 255, 255, 0},
                                        [&](int x, int y) { return black(x, y) ? 0 : 1; })},
    };
    std::vector<uint8_t> expected(2 * 5, 0);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 13; ++x) {
            if (black(x, y)) {
                expected[static_cast<std::size_t>(y * 2 + x / 8)] |=
                    static_cast<uint8_t>(0x80u >> (x % 8));
            }
        }
    }
    for (const auto& c : cases) {
        const std::string path = folder.File("logo.bmp");
        ASSERT_TRUE(test::WriteFile(path, c.file));
        const auto graphic = ConvertGraphic(path, 0, 5);
        ASSERT_TRUE(graphic.Ok()) << c.what << ": " << graphic.Reason();
        EXPECT_EQ(graphic.Value().width, 13) << c.what;
        EXPECT_EQ(graphic.Value().height, 5) << c.what;
        EXPECT_EQ(graphic.Value().rows, expected) << c.what;
    }
    const auto missing = ConvertGraphic(folder.File("none.bmp"), 0, 5);
    ASSERT_FALSE(missing.Ok());
    EXPECT_NE(missing.Reason().find("none.bmp: "), std::string::npos) << missing.Reason();
}

// A printer's key list reply: one block per 40 keys, the last marked 40h.
std::vector<std::vector<uint8_t>> KeyListBlocks(int keys) {
    std::vector<std::vector<uint8_t>> blocks;
    int next = 0;
    do {
        std::vector<uint8_t> block = {0x37, 0x72, 0x40};
        for (int i = 0; i < 40 && next < keys; ++i, ++next) {
            block.push_back(static_cast<uint8_t>('A' + next / 26 % 26));
            block.push_back(static_cast<uint8_t>('a' + next % 26));
        }
        block.push_back(0x00);
        blocks.push_back(block);
    } while (next < keys);
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
        blocks[i][2] = 0x41;
    }
    return blocks;
}

TEST(KeyListExchange, ReadsEveryBlockAndAnswersEach) {
    struct Case {
        const char* what;
        int keys;
        std::size_t chunk;     // bytes a read delivers
        bool nakOnce;          // the first block arrives damaged once
        std::string junk = {}; // stray bytes before the first block
    };
    const Case cases[] = {
        {"no keys", 0, 64, false},
        {"one key", 1, 64, false},
        {"forty keys, one block", 40, 64, false},
        {"forty-one keys, two blocks", 41, 64, false},
        {"two hundred keys, byte by byte", 200, 1, false},
        {"a damaged block sent again", 41, 7, true},
        {"stray bytes first", 3, 2, false, std::string("\x12\x00\x37", 3)},
    };
    for (const auto& c : cases) {
        const auto blocks = KeyListBlocks(c.keys);
        KeyListExchange exchange;
        std::vector<uint8_t> answers;
        const auto deliver = [&](const std::vector<uint8_t>& bytes) {
            for (std::size_t at = 0; at < bytes.size(); at += c.chunk) {
                const std::size_t n = std::min(c.chunk, bytes.size() - at);
                const auto reply = exchange.Feed(std::span(bytes).subspan(at, n));
                answers.insert(answers.end(), reply.begin(), reply.end());
            }
        };
        deliver(std::vector<uint8_t>(c.junk.begin(), c.junk.end()));
        for (std::size_t b = 0; b < blocks.size(); ++b) {
            if (b == 0 && c.nakOnce) {
                auto damaged = blocks[0];
                damaged[5] = 0x05;
                deliver(damaged);
            }
            deliver(blocks[b]);
        }
        std::vector<uint8_t> expected(blocks.size(), kAck);
        if (c.nakOnce) {
            expected.insert(expected.begin(), kNak);
        }
        EXPECT_EQ(exchange.Current(), KeyListExchange::State::Done) << c.what;
        EXPECT_EQ(answers, expected) << c.what;
        ASSERT_EQ(exchange.Keys().size(), static_cast<std::size_t>(c.keys)) << c.what;
        if (c.keys > 0) {
            const int n = c.keys - 1;
            const std::string lastKey = {static_cast<char>('A' + n / 26 % 26),
                                         static_cast<char>('a' + n % 26)};
            EXPECT_EQ(exchange.Keys().back().Text(), lastKey) << c.what;
        }
    }
}

TEST(KeyListExchange, GivesUpOnABlockThatNeverComesRight) {
    KeyListExchange exchange;
    std::vector<uint8_t> answers;
    for (int i = 0; i < 6 && exchange.Current() == KeyListExchange::State::Reading; ++i) {
        const auto reply = exchange.Feed(Hex("37 72 40 41 00"));
        answers.insert(answers.end(), reply.begin(), reply.end());
    }
    EXPECT_EQ(answers, Hex("15 15 15 18"));
    EXPECT_EQ(exchange.Current(), KeyListExchange::State::Failed);
    EXPECT_NE(exchange.Failure().find("malformed"), std::string::npos);
    EXPECT_TRUE(exchange.Keys().empty());
}

TEST(KeyListExchange, WaitsForABlockCutShort) {
    KeyListExchange exchange;
    EXPECT_TRUE(exchange.Feed(Hex("37 72 40 41 31 42")).empty());
    EXPECT_EQ(exchange.Current(), KeyListExchange::State::Reading);
    EXPECT_TRUE(exchange.Keys().empty());
}

} // namespace
} // namespace tessaline
