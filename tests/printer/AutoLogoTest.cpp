// SPDX-License-Identifier: MIT
#include "printer/AutoLogo.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

using test::Hex;

const GraphicKey kA1{'A', '1'};
const GraphicKey kA2{'A', '2'};

TEST(AutoLogoCommands, AreTheBytesTheReferenceGives) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::vector<uint8_t> expected;
    };
    // FS ( E pL pH fn m ...: the count covers fn, m and the parameters.
    const Case cases[] = {
        {"cancel top", CancelLogoCommand(LogoPlace::Top), Hex("1C 28 45 06 00 3C 02 30 43 4C 52")},
        {"cancel bottom", CancelLogoCommand(LogoPlace::Bottom),
         Hex("1C 28 45 06 00 3C 02 31 43 4C 52")},
        {"ask top", LogoSettingsRequest(LogoPlace::Top), Hex("1C 28 45 03 00 3D 02 30")},
        {"ask bottom", LogoSettingsRequest(LogoPlace::Bottom), Hex("1C 28 45 03 00 3D 02 31")},
        {"top A1 centered", SetTopLogoCommand(kA1, LogoAlign::Center),
         Hex("1C 28 45 06 00 3E 02 41 31 31 00")},
        {"top LG left, 3 lines back", SetTopLogoCommand({'L', 'G'}, LogoAlign::Left, 3),
         Hex("1C 28 45 06 00 3E 02 4C 47 30 03")},
        {"bottom A2 right", SetBottomLogoCommand(kA2, LogoAlign::Right),
         Hex("1C 28 45 05 00 3F 02 41 32 32")},
        {"top on", EnableLogoCommand(LogoPlace::Top, true), Hex("1C 28 45 04 00 41 02 30 30")},
        {"bottom off", EnableLogoCommand(LogoPlace::Bottom, false),
         Hex("1C 28 45 04 00 41 02 31 31")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.bytes, c.expected) << c.what;
    }
}

TEST(AutoLogoCommands, WriteOnlyTheLogosThatDiffer) {
    const LogoSetting topA1{kA1, LogoAlign::Center, std::nullopt};
    const LogoSetting bottomA2{kA2, LogoAlign::Center, std::nullopt};
    const std::vector<uint8_t> setTop = Hex("1C 28 45 06 00 3E 02 41 31 31 00");
    const std::vector<uint8_t> topOn = Hex("1C 28 45 04 00 41 02 30 30");
    const std::vector<uint8_t> setBottom = Hex("1C 28 45 05 00 3F 02 41 32 31");
    const std::vector<uint8_t> bottomOn = Hex("1C 28 45 04 00 41 02 31 30");
    const std::vector<uint8_t> cancelTop = Hex("1C 28 45 06 00 3C 02 30 43 4C 52");
    const std::vector<uint8_t> cancelBottom = Hex("1C 28 45 06 00 3C 02 31 43 4C 52");
    auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> all;
        for (const auto& part : parts) {
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    };
    struct Case {
        const char* what;
        AutoLogoSettings wanted;
        std::optional<AutoLogoSettings> current;
        std::vector<uint8_t> bytes;
        int32_t writes;
    };
    const Case cases[] = {
        {"both, printer unknown",
         {topA1, bottomA2},
         std::nullopt,
         join({setTop, topOn, setBottom, bottomOn}),
         2},
        {"top only, printer unknown: the bottom is forgotten",
         {topA1, std::nullopt},
         std::nullopt,
         join({setTop, topOn, cancelBottom}),
         2},
        {"both already set: only switched on",
         {topA1, bottomA2},
         AutoLogoSettings{topA1, bottomA2},
         join({topOn, bottomOn}),
         0},
        {"another alignment is a change",
         {topA1, bottomA2},
         AutoLogoSettings{LogoSetting{kA1, LogoAlign::Left, 0}, bottomA2},
         join({setTop, topOn, bottomOn}),
         1},
        {"off, nothing set", {}, AutoLogoSettings{}, {}, 0},
        {"off, both set",
         {},
         AutoLogoSettings{topA1, bottomA2},
         join({cancelTop, cancelBottom}),
         2},
    };
    for (const auto& c : cases) {
        const LogoCommands commands = AutoLogoCommands(c.wanted, c.current);
        EXPECT_EQ(commands.bytes, c.bytes) << c.what;
        EXPECT_EQ(commands.writes, c.writes) << c.what;
    }
}

TEST(LogoReply, ReadsBytesOrDecimalText) {
    struct Case {
        const char* what;
        std::vector<uint8_t> frame;
        LogoPlace place;
        std::optional<LogoSetting> setting;
    };
    const Case cases[] = {
        {"top as bytes", Hex("37 3D 30 41 31 31 02 00"), LogoPlace::Top,
         LogoSetting{kA1, LogoAlign::Center, 2}},
        {"top as text", Hex("37 3D 30 41 31 34 39 31 32 00"), LogoPlace::Top,
         LogoSetting{kA1, LogoAlign::Center, 12}},
        {"top, alignment a byte, lines as text", Hex("37 3D 30 41 31 30 30 00"), LogoPlace::Top,
         LogoSetting{kA1, LogoAlign::Left, 0}},
        {"top without its lines", Hex("37 3D 30 41 31 32 00"), LogoPlace::Top,
         LogoSetting{kA1, LogoAlign::Right, std::nullopt}},
        {"top, 255 lines as text", Hex("37 3D 30 41 31 35 30 32 35 35 00"), LogoPlace::Top,
         LogoSetting{kA1, LogoAlign::Right, 255}},
        {"a key of digits", Hex("37 3D 30 31 32 31 00"), LogoPlace::Top,
         LogoSetting{{'1', '2'}, LogoAlign::Center, std::nullopt}},
        {"bottom as bytes", Hex("37 3D 31 41 32 30 00"), LogoPlace::Bottom,
         LogoSetting{kA2, LogoAlign::Left, std::nullopt}},
        {"bottom as text", Hex("37 3D 31 41 32 35 30 00"), LogoPlace::Bottom,
         LogoSetting{kA2, LogoAlign::Right, std::nullopt}},
        {"no top logo", Hex("37 3D 30 00"), LogoPlace::Top, std::nullopt},
        {"no bottom logo", Hex("37 3D 31 00"), LogoPlace::Bottom, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto reply = ParseLogoReply(c.frame);
        ASSERT_TRUE(reply) << c.what << ": " << reply.Reason();
        EXPECT_EQ(reply.Value().place, c.place) << c.what;
        EXPECT_EQ(reply.Value().setting, c.setting) << c.what;
    }
}

TEST(LogoReply, RefusesWhatItCannotRead) {
    struct Case {
        const char* what;
        std::vector<uint8_t> frame;
        const char* why;
    };
    const Case cases[] = {
        {"another header", Hex("37 30 30 41 31 31 00"), "does not begin with 37 3D"},
        {"no NUL", Hex("37 3D 30 41 31 31"), "does not end with NUL"},
        {"a third logo", Hex("37 3D 32 00"), "names logo 32"},
        {"a key byte below blank", Hex("37 3D 30 41 1F 31 00"), "no key"},
        {"a key and nothing more", Hex("37 3D 30 41 31 00"), "no key"},
        {"alignment 51", Hex("37 3D 30 41 31 33 00"), "alignment 33"},
        {"alignment text 51", Hex("37 3D 30 41 31 35 31 00"), "alignment 35"},
        {"lines past 255", Hex("37 3D 30 41 31 31 32 35 36 00"), "more than 255"},
        {"bottom with lines", Hex("37 3D 31 41 32 31 05 00"), "past its alignment"},
        {"top with two stray bytes", Hex("37 3D 30 41 31 31 05 06 00"), "no number"},
    };
    for (const auto& c : cases) {
        const auto reply = ParseLogoReply(c.frame);
        ASSERT_FALSE(reply) << c.what;
        EXPECT_NE(reply.Reason().find(c.why), std::string::npos)
            << c.what << ": " << reply.Reason();
    }
}

TEST(LogoReplyReader, FindsTheReplyHoweverTheBytesArrive) {
    struct Case {
        const char* what;
        std::vector<std::vector<uint8_t>> reads;
        bool whole;
        std::size_t dropped;
    };
    const Case cases[] = {
        {"one read", {Hex("37 3D 30 41 31 31 00 00")}, true, 0},
        {"split inside the header", {Hex("37"), Hex("3D 30 41"), Hex("31 31 00 00")}, true, 0},
        {"a status byte first", {Hex("14 37 3D 31 41 32 31 00")}, true, 1},
        {"a late key list reply first", {Hex("37 72 40 00"), Hex("37 3D 31 00")}, true, 4},
        {"no NUL yet", {Hex("37 3D 30 41 31 31")}, false, 0},
        {"a run too long for a reply", {std::vector<uint8_t>(30, 0x37)}, false, 29},
    };
    for (const auto& c : cases) {
        LogoReplyReader reader;
        std::optional<Result<LogoReply>> reply;
        for (const auto& read : c.reads) {
            reader.Feed(read);
            reply = reader.Reply();
        }
        EXPECT_EQ(reply.has_value(), c.whole) << c.what;
        if (reply) {
            EXPECT_TRUE(reply->Ok()) << c.what << ": " << reply->Reason();
        }
        EXPECT_EQ(reader.Dropped(), c.dropped) << c.what;
    }
}

TEST(AutoLogoText, ReadsWhatItWrites) {
    struct Case {
        const char* text;
        const char* written; // nullptr: refused
    };
    const Case cases[] = {
        {"A1,A2,center", "A1,A2,center"},
        {"A1,A2", "A1,A2,center"},
        {"A1", "A1,,center"},
        {",A2,right", ",A2,right"},
        {"A1,,centre", "A1,,center"},
        {"", ""},
        {",,", ""},
        {"A1,A2,middle", nullptr},
        {"ABC", nullptr},
        {"A1,A2,left,4", nullptr},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseAutoLogoText(c.text);
        ASSERT_EQ(parsed.Ok(), c.written != nullptr) << c.text;
        if (parsed) {
            EXPECT_EQ(AutoLogoText(parsed.Value()), c.written) << c.text;
        }
    }
    // Logos of two alignments say both.
    const AutoLogoSettings mixed{LogoSetting{kA1, LogoAlign::Left, 0},
                                 LogoSetting{kA2, LogoAlign::Right, std::nullopt}};
    EXPECT_EQ(AutoLogoText(mixed), "A1,A2,left/right");
}

} // namespace
} // namespace tessaline
