// SPDX-License-Identifier: MIT
#include "PrintStream.h"

#include "printer/PrinterMethods.h"
#include "tests/support/PrinterBench.h"

#include <gtest/gtest.h>
#include <limits>

namespace tessaline {
namespace {

using test::CallKind;
using test::Concat;
using test::Hex;
using test::PrinterBench;

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

std::vector<uint8_t> P(int number, uint8_t mode) {
    return {0x1C, 0x70, static_cast<uint8_t>(number & 0xFF), mode};
}
const std::vector<uint8_t> kCut = Hex("1D 56 42 01");
const std::vector<uint8_t> kErase = Hex("1C 65");

std::vector<uint8_t> Range(int64_t first, int64_t last, uint8_t mode) {
    std::vector<uint8_t> out;
    for (int64_t i = first; i <= last; ++i) {
        const auto p = P(static_cast<int>(i & 0xFF), mode);
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

std::vector<uint8_t> Flatten(const std::vector<StreamCommand>& commands) {
    std::vector<uint8_t> out;
    for (const auto& c : commands) {
        out.insert(out.end(), c.bytes.begin(), c.bytes.end());
    }
    return out;
}

TEST(WritePrintStream, BuildsTheStreamEachCallAsksFor) {
    struct Case {
        const char* what;
        int32_t first, mode, last;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"image 5, mode 3", 5, 3, 0, Concat({P(5, 0x33), kCut})},
        {"images 2 to 4, mode 1", 2, 1, 4, Concat({Range(2, 4, 0x31), kCut})},
        {"erase", 1000, 1000, 0, Concat({kErase, P(0xE8, 0x30), kCut})},
        {"a negative end prints the single image", 7, 0, -5, Concat({P(7, 0x30), kCut})},
        {"image 255", 255, 2, 0, Concat({P(0xFF, 0x32), kCut})},
        {"a range of one", 9, 0, 9, Concat({P(9, 0x30), kCut})},
        {"mode 4 is normal size", 1, 4, 0, Concat({P(1, 0x30), kCut})},
        {"mode -1 is normal size", 1, -1, 0, Concat({P(1, 0x30), kCut})},
        {"erase with an end below 1000", 1000, 1000, 999, Concat({kErase, kCut})},
        {"erase with an end from 1000", 1000, 1000, 1002,
         Concat({kErase, Range(1000, 1002, 0x30), kCut})},
        {"range of exactly 255 numbers", 1, 0, 255, Concat({Range(1, 255, 0x30), kCut})},
        {"first 1, smallest end", 1, 0, kMin, Concat({P(1, 0x30), kCut})},
    };
    for (const Case& c : cases) {
        const auto commands = BuildPrintStream(c.first, c.mode, c.last);
        ASSERT_TRUE(commands.has_value()) << c.what;
        EXPECT_EQ(Flatten(*commands), c.bytes) << c.what;
        for (const auto& command : *commands) {
            EXPECT_EQ(command.progress, 0) << c.what; // only print-all raises Progress
        }
    }
}

TEST(WritePrintStream, PrintAllSendsEveryNumberAndRaisesProgressAfterEach) {
    const auto commands = BuildPrintStream(0, 0, 0);
    ASSERT_TRUE(commands.has_value());
    EXPECT_EQ(Flatten(*commands), Concat({Range(1, 255, 0x30), kCut}));
    ASSERT_EQ(commands->size(), 256u);
    for (int32_t j = 1; j <= 255; ++j) {
        EXPECT_EQ((*commands)[static_cast<size_t>(j - 1)].progress, j);
    }
    EXPECT_EQ(commands->back().progress, 0);
}

TEST(WritePrintStream, RefusesNumbersThePrinterCannotPrintAsAsked) {
    // The printer numbers its images in one byte: anything outside 1 to 255
    // would print another image (300 prints 44, -3 prints 253).
    struct Case {
        int32_t first, mode, last;
        const char* reason;
    };
    const Case refused[] = {
        {300, 0, 0, "image number 300 is outside 1 to 255"},
        {-3, 0, 0, "image number -3 is outside 1 to 255"},
        {0, 0, 3, "image number 0 is outside"},
        {-1, 2, kMax, "image number -1 is outside"},
        {kMin, 0, kMax, "is outside"},
        {kMax, 0, kMax, "is outside"},
        {kMax, 0, 1, "is outside"},
        {kMax - 254, 0, kMax, "is outside"},
        {250, 0, 260, "image number 260 is outside"},
        {1, 0, 256, "image number 256 is outside"},
        {1, 0, 100000, "is outside"},
        {6, 0, 3, "the range 6-3 runs backwards"},
        {1000, 0, 1255, "image number 1000 is outside"},
        {1000, 1000, 1255, "the range 1000-1255 holds more than 255 numbers"},
        {1000, 1000, kMax, "holds more than 255 numbers"},
    };
    for (const Case& c : refused) {
        const std::string why = PrintRequestRefusal(c.first, c.mode, c.last);
        EXPECT_NE(why.find(c.reason), std::string::npos)
            << c.first << ".." << c.last << ": " << why;
        EXPECT_FALSE(BuildPrintStream(c.first, c.mode, c.last).has_value())
            << c.first << ".." << c.last;
    }
    const Case accepted[] = {{0, 0, 0, ""},       {1, 0, 255, ""},       {255, 3, 0, ""},
                             {1, 0, kMin, ""},    {1000, 1000, 0, ""},   {1000, 1000, -7, ""},
                             {1000, 1000, 3, ""}, {1000, 1000, 1254, ""}};
    for (const Case& c : accepted) {
        EXPECT_EQ(PrintRequestRefusal(c.first, c.mode, c.last), "") << c.first << ".." << c.last;
    }
}

TEST(Print, SendsThePrintAllStreamAndProgress1To255) {
    PrinterBench bench;
    EXPECT_EQ(Print(bench.Context(), 0, "THERMAL #1", 0, 0, 0).Code(), kPrinterOk);
    EXPECT_EQ(bench.rec->Written(), Concat({Range(1, 255, 0x30), kCut}));
    EXPECT_TRUE(bench.rec->EveryWriteOneByte());
    std::vector<int32_t> expected;
    for (int32_t j = 1; j <= 255; ++j) {
        expected.push_back(j);
    }
    EXPECT_EQ(bench.progress, expected);
}

TEST(Print, ProgressFollowsTheBytesOfItsCommand) {
    PrinterBench bench;
    size_t writesAtFirstProgress = 0;
    PrinterContext context = bench.Context();
    context.progress = [&](int32_t data) {
        if (data == 1) {
            writesAtFirstProgress = bench.rec->Count(CallKind::Write);
        }
    };
    EXPECT_EQ(Print(context, 0, "THERMAL #1", 0, 0, 0).Code(), kPrinterOk);
    EXPECT_EQ(writesAtFirstProgress, 4u);
}

TEST(Print, EraseIgnoresRangeAndModeAndSwitchesTheLogoCommandsOff) {
    PrinterBench bench;
    EXPECT_EQ(Print(bench.Context(), 3, "THERMAL #1", 7, 2, 0).Code(), kPrinterOk);
    EXPECT_EQ(bench.rec->Written(), Concat({kErase, P(0xE8, 0x30), kCut}));
    EXPECT_TRUE(bench.progress.empty());
    const auto& record = bench.rec->driverData["THERMAL #1"]["TTY DeviceConfig"];
    ASSERT_EQ(record.bytes.size(), 1480u);
    EXPECT_EQ(record.bytes[1204], 0);
    EXPECT_EQ(record.bytes[1248], 0);
}

TEST(Print, EraseArgumentsUnderPrinter0EraseButKeepTheLogoCommandsOn) {
    PrinterBench bench;
    EXPECT_EQ(Print(bench.Context(), 0, "THERMAL #1", 1000, 1000, 0).Code(), kPrinterOk);
    EXPECT_EQ(bench.rec->Written(), Concat({kErase, P(0xE8, 0x30), kCut}));
    const auto& record = bench.rec->driverData["THERMAL #1"]["TTY DeviceConfig"];
    ASSERT_EQ(record.bytes.size(), 1480u);
    EXPECT_EQ(record.bytes[1204], 1);
    EXPECT_EQ(record.bytes[1248], 0x1C);
}

TEST(Print, OtherSelectorsSpoolAnEmptyDocumentAndEnable) {
    for (const int32_t printer : {1, 2, 4, -1, kMax, kMin}) {
        PrinterBench bench;
        EXPECT_EQ(Print(bench.Context(), printer, "THERMAL #1", 1, 100000, 0).Code(), kPrinterOk);
        EXPECT_EQ(bench.rec->Sequence(),
                  (std::vector<CallKind>{CallKind::OpenPlain, CallKind::StartJob, CallKind::EndJob,
                                         CallKind::Close, CallKind::OpenFull, CallKind::GetData,
                                         CallKind::SetData, CallKind::Close}))
            << printer;
        EXPECT_EQ(bench.rec->driverData["THERMAL #1"]["TTY DeviceConfig"].bytes.at(1204), 1);
    }
}

TEST(Print, RefusesWhatCannotBePrintedAsAskedBeforeAnythingIsOpened) {
    struct Case {
        int32_t printer, range, end;
    };
    for (const Case c :
         {Case{0, 1, 100000}, Case{0, 1, kMax}, Case{0, 2, 257}, Case{3, 0, 1255}, Case{3, 0, kMax},
          Case{0, -3, 0}, Case{0, 300, 0}, Case{0, 250, 260}, Case{0, 5, 3}, Case{0, 0, 3}}) {
        PrinterBench bench;
        EXPECT_EQ(Print(bench.Context(), c.printer, "THERMAL #1", c.range, 0, c.end).Code(),
                  kPrinterRefused)
            << c.range << ".." << c.end;
        EXPECT_TRUE(bench.rec->Sequence().empty());
        EXPECT_TRUE(bench.rec->driverData.empty());
    }
}

} // namespace
} // namespace tessaline
