// SPDX-License-Identifier: MIT
#include "printer/DriverConfig.h"

#include "tests/support/PrinterBench.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

using test::CallKind;
using test::Hex;
using test::PrinterBench;

uint32_t Word(const DriverConfigRecord& r, size_t at) {
    return uint32_t{r[at]} | uint32_t{r[at + 1]} << 8 | uint32_t{r[at + 2]} << 16 |
           uint32_t{r[at + 3]} << 24;
}

void SetWord(std::vector<uint8_t>& r, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) {
        r[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

// A stored record with every byte distinct from what an edit writes.
std::vector<uint8_t> Patterned(size_t size = kDriverConfigSize, uint32_t mark = 8) {
    std::vector<uint8_t> r(size);
    for (size_t i = 0; i < size; ++i) {
        r[i] = static_cast<uint8_t>(0x80 | (i * 7 % 127));
    }
    if (size >= 4) {
        SetWord(r, 0, mark);
    }
    return r;
}

std::vector<uint8_t> Bytes(const DriverConfigRecord& r) {
    return {r.begin(), r.end()};
}

void ExpectFreshFields(const DriverConfigRecord& r) {
    EXPECT_EQ(Word(r, 0), 8u);
    EXPECT_EQ(Word(r, 4), 1252u);
    EXPECT_EQ(Word(r, 8), 1u);
    for (size_t at = 16; at < 32; at += 4) {
        EXPECT_EQ(Word(r, at), 0u) << at;
    }
    for (size_t k = 0; k <= 10; ++k) {
        EXPECT_EQ(Word(r, 132 + 104 * k), 0u) << "slot " << k;
    }
    for (size_t at = 1176; at < 1204; at += 4) {
        EXPECT_EQ(Word(r, at), 0u) << at;
    }
    for (size_t at = 1216; at < 1232; at += 4) {
        EXPECT_EQ(Word(r, at), 150u) << at;
    }
    for (size_t at = 1232; at < 1244; at += 4) {
        EXPECT_EQ(Word(r, at), 0u) << at;
    }
    for (size_t at : {1456u, 1460u, 1464u, 1468u}) {
        EXPECT_EQ(Word(r, at), 0u) << at;
    }
}

void ExpectEnabled(const DriverConfigRecord& r) {
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 1248, r.begin() + 1252), Hex("1C 70 01 30"));
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 1352, r.begin() + 1356), Hex("1C 70 02 30"));
    EXPECT_EQ(Word(r, 1348), 4u);
    EXPECT_EQ(Word(r, 1452), 4u);
    EXPECT_EQ(Word(r, 1204), 1u);
    EXPECT_EQ(Word(r, 1208), 1u);
}

void ExpectDisabled(const DriverConfigRecord& r) {
    for (size_t i = 1248; i < 1348; ++i) {
        EXPECT_EQ(r[i], 0) << i;
    }
    for (size_t i = 1352; i < 1452; ++i) {
        EXPECT_EQ(r[i], 0) << i;
    }
    for (size_t at : {1204u, 1208u, 1348u, 1452u, 1456u, 1460u}) {
        EXPECT_EQ(Word(r, at), 0u) << at;
    }
}

TEST(EditDriverConfig, MissingOrUnacceptedRecordsStartFresh) {
    struct Case {
        const char* what;
        std::optional<DriverValue> stored;
    };
    const Case cases[] = {
        {"absent", std::nullopt},
        {"1479 bytes", DriverValue{kRegBinary, Patterned(1479)}},
        {"1481 bytes", DriverValue{kRegBinary, Patterned(1481)}},
        {"empty", DriverValue{kRegBinary, {}}},
        {"a DWORD value", DriverValue{4, Patterned()}},
        {"a string value", DriverValue{1, Patterned()}},
        {"first word 7", DriverValue{kRegBinary, Patterned(kDriverConfigSize, 7)}},
        {"first word 8 in the high byte",
         DriverValue{kRegBinary, Patterned(kDriverConfigSize, 0x08000000)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(IsAcceptedDriverConfig(c.stored));
        const DriverConfigRecord enabled = EditDriverConfig(c.stored, DriverConfigEdit::Enable);
        ExpectFreshFields(enabled);
        ExpectEnabled(enabled);
        const DriverConfigRecord disabled = EditDriverConfig(c.stored, DriverConfigEdit::Disable);
        ExpectFreshFields(disabled);
        ExpectDisabled(disabled);
    }
}

TEST(EditDriverConfig, EnableChangesOnlyItsFieldsOfAStoredRecord) {
    const std::vector<uint8_t> stored = Patterned();
    ASSERT_TRUE(IsAcceptedDriverConfig(DriverValue{kRegBinary, stored}));
    const DriverConfigRecord r =
        EditDriverConfig(DriverValue{kRegBinary, stored}, DriverConfigEdit::Enable);
    ExpectEnabled(r);
    std::vector<uint8_t> expected = stored;
    const auto a = Hex("1C 70 01 30");
    const auto b = Hex("1C 70 02 30");
    std::copy(a.begin(), a.end(), expected.begin() + 1248);
    std::copy(b.begin(), b.end(), expected.begin() + 1352);
    SetWord(expected, 1204, 1);
    SetWord(expected, 1208, 1);
    SetWord(expected, 1348, 4);
    SetWord(expected, 1452, 4);
    EXPECT_EQ(Bytes(r), expected); // the driver's references at 1464 and 1468 included
}

TEST(EditDriverConfig, DisableChangesOnlyItsFieldsOfAStoredRecord) {
    const std::vector<uint8_t> stored = Patterned();
    const DriverConfigRecord r =
        EditDriverConfig(DriverValue{kRegBinary, stored}, DriverConfigEdit::Disable);
    ExpectDisabled(r);
    std::vector<uint8_t> expected = stored;
    std::fill(expected.begin() + 1248, expected.begin() + 1348, uint8_t{0});
    std::fill(expected.begin() + 1352, expected.begin() + 1452, uint8_t{0});
    for (size_t at : {1204u, 1208u, 1348u, 1452u, 1456u, 1460u}) {
        SetWord(expected, at, 0);
    }
    EXPECT_EQ(Bytes(r), expected);
}

TEST(EditDriverConfig, EnableKeepsTheRestOfTheCommandTexts) {
    std::vector<uint8_t> stored = Patterned();
    const DriverConfigRecord r =
        EditDriverConfig(DriverValue{kRegBinary, stored}, DriverConfigEdit::Enable);
    EXPECT_EQ(r[1252], stored[1252]);
    EXPECT_EQ(r[1347], stored[1347]);
    EXPECT_EQ(r[1356], stored[1356]);
}

TEST(UpdateDriverConfig, WritesTheWholeRecordBackAsBinary) {
    PrinterBench bench;
    std::vector<uint8_t> stored = Patterned();
    SetWord(stored, 1464, 0xDEADBEEF);
    SetWord(stored, 1468, 0x12345678);
    bench.rec->driverData["THERMAL #1"]["TTY DeviceConfig"] = {kRegBinary, stored};
    EXPECT_EQ(UpdateDriverConfig(bench.spooler, "THERMAL #1", DriverConfigEdit::Enable), 0);
    EXPECT_EQ(bench.rec->Sequence(), (std::vector<CallKind>{CallKind::OpenFull, CallKind::GetData,
                                                            CallKind::SetData, CallKind::Close}));
    const DriverValue& written = bench.rec->driverData["THERMAL #1"]["TTY DeviceConfig"];
    EXPECT_EQ(written.type, kRegBinary);
    ASSERT_EQ(written.bytes.size(), 1480u);
    EXPECT_EQ(std::vector<uint8_t>(written.bytes.begin() + 1464, written.bytes.end()),
              std::vector<uint8_t>(stored.begin() + 1464, stored.end()));
}

TEST(UpdateDriverConfig, AnUnreadableRecordIsReplacedByAFreshOne) {
    PrinterBench bench;
    bench.rec->driverData["THERMAL #1"]["TTY DeviceConfig"] = {kRegBinary, Patterned()};
    bench.rec->Fail(CallKind::GetData);
    EXPECT_EQ(UpdateDriverConfig(bench.spooler, "THERMAL #1", DriverConfigEdit::Enable), 0);
    const DriverValue& written = bench.rec->driverData["THERMAL #1"]["TTY DeviceConfig"];
    DriverConfigRecord r{};
    ASSERT_EQ(written.bytes.size(), r.size());
    std::copy(written.bytes.begin(), written.bytes.end(), r.begin());
    ExpectFreshFields(r);
    ExpectEnabled(r);
}

TEST(UpdateDriverConfig, AQueueWithoutFullAccessIsLeftAlone) {
    PrinterBench bench;
    bench.rec->Fail(CallKind::OpenFull);
    EXPECT_EQ(UpdateDriverConfig(bench.spooler, "THERMAL #1", DriverConfigEdit::Enable), 0);
    EXPECT_EQ(bench.rec->Count(CallKind::GetData), 0u);
    EXPECT_EQ(bench.rec->Count(CallKind::SetData), 0u);
}

TEST(UpdateDriverConfig, ARefusedWriteBackStillEndsInZero) {
    PrinterBench bench;
    bench.rec->Fail(CallKind::SetData);
    EXPECT_EQ(UpdateDriverConfig(bench.spooler, "THERMAL #1", DriverConfigEdit::Disable), 0);
    EXPECT_TRUE(bench.rec->driverData["THERMAL #1"].empty());
}

} // namespace
} // namespace tessaline
