// SPDX-License-Identifier: MIT
// The Star streams and replies. Where a case says "reference", its bytes were
// worked by hand from the example or the figure the Star Line Mode and StarPRNT
// command references give for that command.
#include "printer/StarLine.h"
#include "printer/StarPrntGraphics.h"
#include "printer/StarStatus.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

using test::Bytes;
using test::Concat;
using test::Hex;

std::string Spaced(const Bytes& bytes) {
    std::string out;
    for (const uint8_t b : bytes) {
        constexpr char kDigits[] = "0123456789ABCDEF";
        out += {kDigits[b >> 4], kDigits[b & 15], ' '};
    }
    return out;
}

Bytes HeaderBytes(int32_t width, int32_t height) {
    const auto header = StarLogoHeader(width, height);
    return header.Ok() ? Bytes(header.Value().begin(), header.Value().end()) : Bytes{};
}

TEST(StarLineCommands, AreTheBytesTheReferenceGives) {
    struct Case {
        const char* what;
        Bytes bytes;
        Bytes expected;
    };
    const Case cases[] = {
        // Reference: the auto logo example's macro prints logo 1 normal size.
        {"print logo 1 normal", StarPrintLogoCommand(1, 0).Value(), Hex("1B 1C 70 01 00")},
        {"print logo 255 double high and wide", StarPrintLogoCommand(255, 3).Value(),
         Hex("1B 1C 70 FF 03")},
        {"initialise", StarInitialiseCommand(), Hex("1B 40")},
        {"cut", StarCutCommand(), Hex("1B 64 03")},
        // One blank 8 x 8 logo: x = y = 1 unit, k = 1 x 1 x 8 bytes.
        {"erase", StarEraseLogosCommand(), Hex("1B 1C 71 01 01 00 01 00 00 00 00 00 00 00 00 00")},
        // Reference: x = 1023 and y = 288 are the largest units.
        {"largest header", HeaderBytes(8184, 2304), Hex("FF 03 20 01")},
        {"smallest header", HeaderBytes(8, 8), Hex("01 00 01 00")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.bytes, c.expected) << c.what;
    }
}

TEST(StarLineCommands, RefuseWhatThePrinterCannotTake) {
    struct Case {
        const char* what;
        Result<Bytes> result;
        const char* reason;
    };
    const Case cases[] = {
        {"logo 0", StarPrintLogoCommand(0, 0), "logo number 0 is outside 1 to 255"},
        {"logo 256", StarPrintLogoCommand(256, 0), "logo number 256 is outside 1 to 255"},
        {"mode 4", StarPrintLogoCommand(1, 4), "print mode 4 is outside 0 to 3"},
        {"mode -1", StarPrintLogoCommand(1, -1), "print mode -1 is outside 0 to 3"},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.result.Ok()) << c.what;
        EXPECT_EQ(c.result.Reason(), c.reason) << c.what;
    }
    for (const auto& [width, height] :
         {std::pair{0, 8}, {8, 0}, {12, 8}, {8, 12}, {8192, 8}, {8, 2312}}) {
        EXPECT_FALSE(StarLogoHeader(width, height).Ok()) << width << " x " << height;
    }
}

TEST(StarLogo, PadsToEightDotsWithWhiteInTheReferenceByteOrder) {
    // Reference figure: the data runs column by column from the left, each
    // column top to bottom, the top dot of each byte in its MSB.
    struct Case {
        const char* what;
        RasterGraphic graphic;
        int32_t paddedWidth;
        int32_t paddedHeight;
        Bytes columns;
    };
    const Case cases[] = {
        // The top-left dot only: column 1's first byte, bit 7.
        {"top left of 8 x 8",
         {8, 8, Hex("80 00 00 00 00 00 00 00")},
         8,
         8,
         Hex("80 00 00 00 00 00 00 00")},
        // A full top row of 8: every column's first byte has bit 7.
        {"top row", {8, 8, Hex("FF 00 00 00 00 00 00 00")}, 8, 8, Hex("80 80 80 80 80 80 80 80")},
        // 3 x 2, both rows 101: padded to 8 x 8, columns 1 and 3 hold the top
        // two dots (C0), the rest white.
        {"3 x 2 padded", {3, 2, Hex("A0 A0")}, 8, 8, Hex("C0 00 C0 00 00 00 00 00")},
        // 9 x 9: the ninth column and row spill into a second unit each way.
        // Column 1 is every row's first dot; row 9 sets bit 7 of the second byte.
        {"9 x 9 padded",
         {9, 9, Hex("80 00 80 00 80 00 80 00 80 00 80 00 80 00 80 00 80 80")},
         16,
         16,
         Concat({Hex("FF 80"), Bytes(14, 0), Hex("00 80"), Bytes(14, 0)})},
    };
    for (const auto& c : cases) {
        const auto logo = StarLogoFromGraphic(c.graphic);
        ASSERT_TRUE(logo.Ok()) << c.what << ": " << logo.Reason();
        EXPECT_EQ(logo.Value().paddedWidth, c.paddedWidth) << c.what;
        EXPECT_EQ(logo.Value().paddedHeight, c.paddedHeight) << c.what;
        EXPECT_EQ(logo.Value().columns, c.columns) << c.what;
        // And back: the same dots, white where the padding went.
        const RasterGraphic rows = StarLogoRows(logo.Value());
        for (int32_t y = 0; y < c.graphic.height; ++y) {
            for (int32_t x = 0; x < c.graphic.width; ++x) {
                const auto dot = [](const RasterGraphic& g, int32_t px, int32_t py) {
                    return g.rows[static_cast<size_t>(py) * GraphicRowBytes(g.width) +
                                  static_cast<size_t>(px / 8)] >>
                               (7 - px % 8) &
                           1;
                };
                EXPECT_EQ(dot(rows, x, y), dot(c.graphic, x, y)) << c.what << " " << x << "," << y;
            }
        }
    }
}

TEST(StarLogo, RefusesWithTheFigures) {
    struct Case {
        RasterGraphic graphic;
        const char* reason;
    };
    const Case cases[] = {
        {{0, 5, {}}, "a logo of 0 x 5 dots has no dots"},
        {{8185, 1, Bytes(1024, 0)},
         "a logo of 8185 x 1 dots is larger than the 8184 x 2304 dots Star Line Mode registers"},
        {{8, 2305, Bytes(2305, 0)},
         "a logo of 8 x 2305 dots is larger than the 8184 x 2304 dots Star Line Mode registers"},
        {{9, 2, Hex("00 00 00")}, "a logo of 9 x 2 dots needs 4 bytes of rows, not 3"},
    };
    for (const auto& c : cases) {
        const auto logo = StarLogoFromGraphic(c.graphic);
        ASSERT_FALSE(logo.Ok()) << c.reason;
        EXPECT_EQ(logo.Reason(), c.reason);
    }
}

StarLogo Blank(int32_t width, int32_t height) {
    return {width, height, Bytes(static_cast<size_t>(width) * static_cast<size_t>(height) / 8, 0)};
}

TEST(StarRegistration, CarriesEveryLogoAfterOneHead) {
    // Reference layout: n, then per logo xL xH yL yH and k = x * y * 8 bytes.
    StarLogo first = Blank(8, 8);
    first.columns[0] = 0x80;
    StarLogo second = Blank(16, 8);
    second.columns[15] = 0x01;
    const StarLogo logos[] = {first, second};
    const auto bytes = StarRegisterLogosCommand(logos);
    ASSERT_TRUE(bytes.Ok()) << bytes.Reason();
    EXPECT_EQ(bytes.Value(), Concat({Hex("1B 1C 71 02"), Hex("01 00 01 00"), first.columns,
                                     Hex("02 00 01 00"), second.columns}));
}

TEST(StarRegistration, RefusesWholeRatherThanRegisterAPart) {
    const std::vector<StarLogo> many(256, Blank(8, 8));
    const std::vector<StarLogo> all(255, Blank(8, 8));
    const StarLogo shortData{16, 8, Bytes(15, 0)};
    const StarLogo odd{12, 8, Bytes(12, 0)};
    struct Case {
        const char* what;
        std::vector<StarLogo> logos;
        std::optional<uint64_t> capacity;
        const char* reason; // nullptr: accepted
    };
    const Case cases[] = {
        {"none", {}, {}, "there is no logo to register"},
        {"255", all, {}, nullptr},
        {"256", many, {}, "256 logos are more than the 255 one registration holds"},
        {"data short", {Blank(8, 8), shortData}, {}, "logo 2: 16 x 8 dots take 16 bytes, not 15"},
        {"not a unit",
         {odd},
         {},
         "logo 1: a logo of 12 x 8 dots is not 1 to 1023 units of 8 dots across and 1 to 288 down"},
        {"fits the memory", {Blank(64, 64), Blank(64, 64)}, 1024, nullptr},
        {"past the memory",
         {Blank(64, 64), Blank(64, 64)},
         1023,
         "2 logos take 1024 bytes, more than the printer's 1023"},
    };
    for (const auto& c : cases) {
        const auto bytes = StarRegisterLogosCommand(c.logos, c.capacity);
        if (c.reason == nullptr) {
            ASSERT_TRUE(bytes.Ok()) << c.what << ": " << bytes.Reason();
            EXPECT_EQ(bytes.Value()[3], static_cast<uint8_t>(c.logos.size())) << c.what;
        } else {
            ASSERT_FALSE(bytes.Ok()) << c.what;
            EXPECT_EQ(bytes.Reason(), c.reason) << c.what;
        }
    }
}

TEST(StarPrintStream, RunsAsTheEscPosPrintoutInStarCommands) {
    struct Case {
        int32_t first;
        int32_t mode;
        int32_t last;
        std::vector<Bytes> commands;
    };
    const Case cases[] = {
        {2, 1, 0, {Hex("1B 1C 70 02 01"), Hex("1B 64 03")}},
        {3, 2, 4, {Hex("1B 1C 70 03 02"), Hex("1B 1C 70 04 02"), Hex("1B 64 03")}},
        // Modes past 3 print normal size, as the ESC/POS printout does.
        {5, 7, 0, {Hex("1B 1C 70 05 00"), Hex("1B 64 03")}},
        {1000, 1000, 0, {Hex("1B 40"), StarEraseLogosCommand()}},
    };
    for (const auto& c : cases) {
        const auto stream = BuildStarPrintStream(c.first, c.mode, c.last);
        ASSERT_TRUE(stream.Ok()) << c.first << ": " << stream.Reason();
        std::vector<Bytes> got;
        for (const StreamCommand& command : stream.Value()) {
            got.push_back(command.bytes);
        }
        EXPECT_EQ(got, c.commands) << c.first << " " << c.mode << " " << c.last;
    }
    const auto all = BuildStarPrintStream(0, 3, 0);
    ASSERT_TRUE(all.Ok());
    ASSERT_EQ(all.Value().size(), 256u);
    EXPECT_EQ(all.Value()[254].bytes, Hex("1B 1C 70 FF 03"));
    EXPECT_EQ(all.Value()[254].progress, 255);
    EXPECT_EQ(BuildStarPrintStream(300, 0, 0).Reason(), "image number 300 is outside 1 to 255");
    EXPECT_FALSE(BuildStarPrintStream(5, 0, 4).Ok());
}

TEST(StarStatusHeader, GivesTheLengthTheReferenceTableGives) {
    struct Case {
        uint8_t header;
        std::optional<size_t> length;
    };
    // Reference: the count in bits 1-3 and 5-6, bit 0 marking header 1.
    const Case cases[] = {
        {0x0F, 7},  {0x23, 9},  {0x25, 10}, {0x2F, 15}, {0x41, 16},
        {0x6F, 31}, {0x02, {}}, {0x13, {}}, {0x8F, {}}, {0x0B, {}}, // 5 is too short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StarStatusLength(c.header), c.length) << int(c.header);
    }
}

TEST(StarStatusReader, FindsTheStatusWhereverTheBytesSplit) {
    // A TSP-like nine-byte status (version 3): cover open, paper near end.
    const Bytes status = Hex("23 06 20 00 00 04 00 00 00");
    struct Case {
        const char* what;
        Bytes stream;
        size_t dropped;
    };
    const Case cases[] = {
        {"alone", status, 0},
        {"after XON and noise", Concat({Hex("11 FF 13"), status}), 3},
        {"after a false header", Concat({Hex("23 01"), status}), 2},
    };
    for (const auto& c : cases) {
        for (size_t split = 0; split <= c.stream.size(); ++split) {
            StarStatusReader reader;
            reader.Feed(std::span(c.stream).first(split));
            auto reply = reader.Reply();
            if (!reply) {
                reader.Feed(std::span(c.stream).subspan(split));
                reply = reader.Reply();
            }
            ASSERT_TRUE(reply) << c.what << " split " << split;
            EXPECT_EQ(reply->bytes, status) << c.what;
            EXPECT_EQ(reader.Dropped(), c.dropped) << c.what << " split " << split;
        }
    }
    StarStatusReader partial;
    partial.Feed(std::span(status).first(8));
    EXPECT_FALSE(partial.Reply());
}

TEST(StarStatus, SaysWhatEachBitMeans) {
    struct Case {
        Bytes status;
        bool ready;
        std::vector<std::string> conditions;
    };
    const Case cases[] = {
        {Hex("23 06 00 00 00 00 00 00 00"), true, {}},
        {Hex("23 06 08 00 00 00 00 00 00"), false, {"off-line"}},
        {Hex("23 06 28 00 00 08 00 00 00"), false, {"off-line", "cover open", "paper end"}},
        {Hex("23 06 00 08 00 00 00 00 00"), false, {"cutter error"}},
        {Hex("23 06 00 44 00 00 00 00 00"), false, {"mechanical error", "head too hot"}},
        {Hex("23 06 00 20 00 00 00 00 00"), false, {"unrecoverable error"}},
        {Hex("23 06 00 00 40 00 00 00 00"), true, {"receive buffer overflow"}},
        {Hex("23 06 00 00 00 04 00 00 00"), true, {"paper near end"}},
        {Hex("23 06 00 00 00 02 00 00 00"), true, {"paper near end"}},
        {Hex("0F 02 04 00 00 00 00"), true, {}}, // the drawer signal is no stop
    };
    for (const auto& c : cases) {
        StarStatus status{c.status};
        EXPECT_EQ(status.Ready(), c.ready) << Spaced(c.status);
        EXPECT_EQ(status.Conditions(), c.conditions) << Spaced(c.status);
    }
}

TEST(StarVersionReader, TakesTheTextOfTheReply) {
    // Reference example: ESC # *, HSP7000 Ver. 1.0 LF NUL.
    const Bytes reply = Concat(
        {Hex("1B 23 2A 2C"),
         Bytes{'H', 'S', 'P', '7', '0', '0', '0', ' ', 'V', 'e', 'r', '.', ' ', '1', '.', '0'},
         Hex("0A 00")});
    for (size_t split = 0; split <= reply.size(); ++split) {
        StarVersionReader reader;
        reader.Feed(Hex("00 23"));
        reader.Feed(std::span(reply).first(split));
        auto text = reader.Reply();
        if (!text) {
            reader.Feed(std::span(reply).subspan(split));
            text = reader.Reply();
        }
        ASSERT_TRUE(text) << split;
        EXPECT_EQ(*text, "HSP7000 Ver. 1.0");
        EXPECT_EQ(reader.Dropped(), 2u);
    }
    StarVersionReader broken;
    broken.Feed(Concat({Hex("1B 23 2A 2C 41 01 42 0A 00")}));
    EXPECT_FALSE(broken.Reply());
    EXPECT_EQ(StarVersionRequest(), Hex("1B 23 2A 0A 00"));
}

TEST(StarPrntGraphics, AreTheEscPosGraphicsBehindAnEsc) {
    const GraphicKey key{'0', '1'};
    struct Case {
        const char* what;
        Bytes bytes;
        Bytes expected;
    };
    const Case cases[] = {
        // Reference: pL = 5, m = 48, fn = 65, "CLR".
        {"delete all", StarDeleteAllGraphicsCommand(), Hex("1B 1D 28 4C 05 00 30 41 43 4C 52")},
        {"delete 01", StarDeleteGraphicCommand(key), Hex("1B 1D 28 4C 04 00 30 42 30 31")},
        {"print 01", StarPrintGraphicCommand(key, 2, 1).Value(),
         Hex("1B 1D 28 4C 06 00 30 45 30 31 02 01")},
        {"store 01", StarStoreGraphicCommand(key, {9, 1, Hex("FF 80")}).Value(),
         Hex("1B 1D 28 4C 0D 00 30 43 30 30 31 01 09 00 01 00 31 FF 80")},
        // Reference: pL = 3, pH = 0, fn = 50, d1 = d2 = 0.
        {"keys", StarGraphicKeysRequest(), Hex("1B 1D 29 4C 03 00 32 00 00")},
        {"data of 01", StarGraphicDataRequest(key), Hex("1B 1D 29 4C 03 00 33 30 31")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.bytes, c.expected) << c.what;
    }
    EXPECT_FALSE(StarPrintGraphicCommand(key, 3, 1).Ok());
}

TEST(StarGraphicReader, ReadsKeyListsAndStoredGraphics) {
    struct Case {
        const char* what;
        Bytes stream;
        uint8_t fn;
        std::vector<GraphicKey> keys;
        std::optional<RasterGraphic> graphic;
        size_t dropped;
    };
    const Case cases[] = {
        // Reference example: keys 01 and 02 give k1 = 6 and "0102".
        {"two keys",
         Hex("1B 1D 29 4C 03 00 32 06 00 30 31 30 32 0A 00"),
         50,
         {{'0', '1'}, {'0', '2'}},
         {},
         0},
        {"no key", Hex("1B 1D 29 4C 03 00 32 02 00 0A 00"), 50, {}, {}, 0},
        {"not stored", Hex("1B 1D 29 4C 03 00 33 41 31 0A 00"), 51, {}, {}, 0},
        {"a 9 x 2 graphic after noise",
         Hex("23 1B 1D 29 4C 03 00 33 41 31 01 09 00 02 00 31 FF 80 01 00 0A 00"),
         51,
         {},
         RasterGraphic{9, 2, Hex("FF 80 01 00")},
         1},
        // Two colours: only black is kept.
        {"two colours",
         Hex("1B 1D 29 4C 03 00 33 41 31 02 08 00 01 00 31 AA 32 55 0A 00"),
         51,
         {},
         RasterGraphic{8, 1, Hex("AA")},
         0},
    };
    for (const auto& c : cases) {
        for (size_t split = 0; split <= c.stream.size(); ++split) {
            StarGraphicReader reader;
            reader.Feed(std::span(c.stream).first(split));
            auto reply = reader.Reply();
            if (!reply) {
                reader.Feed(std::span(c.stream).subspan(split));
                reply = reader.Reply();
            }
            ASSERT_TRUE(reply) << c.what << " split " << split;
            EXPECT_EQ(reply->fn, c.fn) << c.what;
            EXPECT_EQ(reply->keys, c.keys) << c.what;
            ASSERT_EQ(reply->graphic.has_value(), c.graphic.has_value()) << c.what;
            if (c.graphic) {
                EXPECT_EQ(reply->graphic->width, c.graphic->width) << c.what;
                EXPECT_EQ(reply->graphic->height, c.graphic->height) << c.what;
                EXPECT_EQ(reply->graphic->rows, c.graphic->rows) << c.what;
            }
            EXPECT_EQ(reader.Dropped(), c.dropped) << c.what;
        }
    }
}

TEST(StarGraphicReader, DropsBrokenReplies) {
    const Bytes broken[] = {
        Hex("1B 1D 29 4C 03 00 32 05 00 30 31 30 0A 00"),             // an odd count
        Hex("1B 1D 29 4C 03 00 32 04 00 30 01 0A 00"),                // a key byte below 32
        Hex("1B 1D 29 4C 03 00 32 04 00 30 31 0A 01"),                // no NUL at the end
        Hex("1B 1D 29 4C 03 00 33 41 31 03 08 00 01 00 31 AA 0A 00"), // three colours
        Hex("1B 1D 29 4C 03 00 33 41 31 01 00 00 01 00 31 0A 00"),    // no width
        Hex("1B 1D 29 4C 03 00 33 41 31 01 01 20 01 00 31"),          // 8193 dots wide
        Hex("1B 1D 29 4C 03 00 33 41 31 01 08 00 01 00 33 AA 0A 00"), // colour 51
        Hex("1B 1D 29 4C 03 00 34 00 00 0A 00"),                      // no such function
    };
    for (const Bytes& bytes : broken) {
        StarGraphicReader reader;
        reader.Feed(bytes);
        EXPECT_FALSE(reader.Reply()) << Spaced(bytes);
    }
}

} // namespace
} // namespace tessaline
