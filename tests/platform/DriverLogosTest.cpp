// SPDX-License-Identifier: MIT
#include "platform/DriverLogos.h"

#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

using test::Bytes;
using test::Concat;
using test::Hex;

// A 1480-byte record of format 8 with logo commands A and B as given.
DriverValue Record(const Bytes& a, bool aOn, const Bytes& b, bool bOn) {
    DriverValue value{3, Bytes(1480, 0)};
    auto put = [&](std::size_t at, uint32_t word) {
        for (int i = 0; i < 4; ++i) {
            value.bytes[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(word >> (8 * i));
        }
    };
    put(0, 8);
    put(1204, aOn ? 1 : 0);
    put(1208, bOn ? 1 : 0);
    std::copy(a.begin(), a.end(), value.bytes.begin() + 1248);
    put(1348, static_cast<uint32_t>(a.size()));
    std::copy(b.begin(), b.end(), value.bytes.begin() + 1352);
    put(1452, static_cast<uint32_t>(b.size()));
    return value;
}

const Bytes kA = Hex("1C 70 01 30");
const Bytes kB = Hex("1C 70 02 30");

TEST(DriverLogos, ReadsTheSwitchedOnCommandsOfAnAcceptedRecord) {
    DriverValue wrongFormat = Record(kA, true, kB, true);
    wrongFormat.bytes[0] = 7;
    DriverValue wrongType = Record(kA, true, kB, true);
    wrongType.type = 1;
    DriverValue longLength = Record(kA, true, kB, true);
    longLength.bytes[1348] = 200; // counts past the 100 bytes of its text
    struct Case {
        const char* what;
        std::optional<DriverValue> record;
        std::optional<Bytes> a, b;
    };
    const Case cases[] = {
        {"none", std::nullopt, std::nullopt, std::nullopt},
        {"both on", Record(kA, true, kB, true), kA, kB},
        {"only B on", Record(kA, false, kB, true), std::nullopt, kB},
        {"after an erase", Record({}, false, {}, false), std::nullopt, std::nullopt},
        {"format 7", wrongFormat, std::nullopt, std::nullopt},
        {"not binary", wrongType, std::nullopt, std::nullopt},
        {"a length past its text", longLength, Bytes(Bytes(100, 0)), kB},
    };
    Bytes hundred(100, 0);
    std::copy(kA.begin(), kA.end(), hundred.begin());
    for (const auto& c : cases) {
        const DriverLogoCommands logos = ReadDriverLogos(c.record);
        EXPECT_EQ(logos.a.has_value(), c.a.has_value()) << c.what;
        if (logos.a && c.a) {
            EXPECT_EQ(*logos.a, c.a->size() == 100 ? hundred : *c.a) << c.what;
        }
        EXPECT_EQ(logos.b, c.b) << c.what;
    }
}

TEST(DriverLogos, GoAfterTheLeadingInitialiseAndBeforeTheLastCut) {
    const Bytes init = Hex("1B 40");
    const Bytes text = Hex("48 69 0A");
    const Bytes cutFull = Hex("1D 56 42 03");
    const Bytes cutShort = Hex("1D 56 01");
    // A raster whose data holds GS V and ESC i: no cut.
    const Bytes raster = Hex("1D 76 30 00 02 00 02 00 1D 56 1B 69");
    const Bytes graphic = Hex("1D 28 4C 06 00 30 45 1D 56 42 00");
    struct Case {
        const char* what;
        Bytes job, expected;
    };
    const Case cases[] = {
        {"initialise, text, cut", Concat({init, text, cutFull}),
         Concat({init, kA, text, kB, cutFull})},
        {"no initialise, no cut", text, Concat({kA, text, kB})},
        {"two initialises", Concat({init, init, text}), Concat({init, init, kA, text, kB})},
        {"two receipts: B before the last cut", Concat({text, cutShort, text, cutShort}),
         Concat({kA, text, cutShort, text, kB, cutShort})},
        {"ESC i", Concat({text, Hex("1B 69")}), Concat({kA, text, kB, Hex("1B 69")})},
        {"ESC m, then feed", Concat({text, Hex("1B 6D 0A")}),
         Concat({kA, text, kB, Hex("1B 6D 0A")})},
        {"cut bytes inside a raster", Concat({init, raster, text}),
         Concat({init, kA, raster, text, kB})},
        {"cut bytes inside a graphic command", Concat({graphic, text, cutShort}),
         Concat({kA, graphic, text, kB, cutShort})},
        {"an empty job", {}, Concat({kA, kB})},
    };
    const DriverLogoCommands logos{kA, kB};
    for (const auto& c : cases) {
        EXPECT_EQ(WithDriverLogos(c.job, logos), c.expected) << c.what;
    }
    // Only what is switched on goes in.
    EXPECT_EQ(WithDriverLogos(Concat({init, text, cutFull}), DriverLogoCommands{std::nullopt, kB}),
              Concat({init, text, kB, cutFull}));
    EXPECT_EQ(WithDriverLogos(text, DriverLogoCommands{}), text);
}

TEST(DriverLogos, KnowTessalinesOwnJobs) {
    for (const char* own : {"Logo", "NV graphics", "Automatic logo"}) {
        EXPECT_TRUE(IsTessalineJob(own)) << own;
    }
    for (const char* other : {"Receipt 0001", "logo", "", "Logo.txt"}) {
        EXPECT_FALSE(IsTessalineJob(other)) << other;
    }
}

} // namespace
} // namespace tessaline
