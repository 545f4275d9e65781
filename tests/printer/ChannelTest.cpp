// SPDX-License-Identifier: MIT
#include "printer/CPrinterChannel.h"
#include "tests/support/PrinterBench.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

using test::CallKind;
using test::Hex;
using test::PrinterBench;

TEST(CPrinterChannel, CountsQueuesWhoseNameBeginsWithTheGivenName) {
    const std::vector<std::string> installed{"THERMAL #1", "THERMAL #12", "thermal #1", "Office",
                                             "THERMAL #1 (copy)"};
    struct Case {
        std::string name;
        int32_t count;
    };
    const Case cases[] = {
        {"THERMAL #1", 3}, // #1, #12 and the copy: prefix, not equality
        {"THERMAL #12", 1},
        {"THERMAL #2", 0},
        {"thermal", 1}, // case matters
        {"", 5},        // the empty name matches every queue
        {"THERMAL #12 ", 0},
        {"Office2", 0},
    };
    PrinterBench bench(installed);
    CPrinterChannel channel(bench.spooler);
    for (const Case& c : cases) {
        EXPECT_EQ(channel.CountInstalledPrinters(c.name, nullptr), c.count) << c.name;
    }
    EXPECT_TRUE(bench.messages.empty());
}

TEST(CPrinterChannel, EnumerationFailureTellsTheUserAndCountsNone) {
    PrinterBench bench({"THERMAL #1"});
    bench.rec->listFails = true;
    CPrinterChannel channel(bench.spooler);
    const PrinterContext context = bench.Context();
    EXPECT_EQ(channel.CountInstalledPrinters("THERMAL #1", context.message), 0);
    ASSERT_EQ(bench.messages.size(), 1u);
    EXPECT_EQ(bench.messages[0].first, "EnumPrinters() failed");
    EXPECT_EQ(bench.messages[0].second, "EnumPrinters() Error");
}

TEST(CPrinterChannel, FailingBackendDoesNotHideTheOthersQueues) {
    PrinterBench bench({"THERMAL #3"});
    bench.rec->listFails = true;
    auto second = std::make_shared<test::RecordingSpooler>(std::vector<std::string>{"THERMAL #1"});
    bench.spooler.Install(second);
    CPrinterChannel channel(bench.spooler);
    const PrinterContext context = bench.Context();
    EXPECT_EQ(channel.CountInstalledPrinters("THERMAL #1", context.message), 1);
    EXPECT_EQ(channel.CountInstalledPrinters("THERMAL #3", context.message), 0);
    EXPECT_EQ(bench.messages.size(), 2u);
}

TEST(CPrinterChannel, OpensARawDocumentNamedLogoAndWritesOneBytePerCall) {
    PrinterBench bench;
    CPrinterChannel channel(bench.spooler);
    ASSERT_EQ(channel.OpenLogoDocument("THERMAL #1"), 1);
    EXPECT_EQ(channel.WriteRawBytes(Hex("1B 40 1C 71 02")), 1);
    EXPECT_EQ(channel.CloseLogoDocument(), 1);

    const auto& calls = bench.rec->calls;
    const auto start = std::find_if(calls.begin(), calls.end(),
                                    [](const auto& c) { return c.kind == CallKind::StartJob; });
    ASSERT_NE(start, calls.end());
    EXPECT_EQ(start->queue, "THERMAL #1");
    EXPECT_EQ(start->text, "Logo");
    EXPECT_EQ(start->dataType, "RAW");
    EXPECT_EQ(bench.rec->Written(), Hex("1B 40 1C 71 02"));
    EXPECT_EQ(bench.rec->Count(CallKind::Write), 5u);
    EXPECT_TRUE(bench.rec->EveryWriteOneByte());
    EXPECT_EQ(bench.rec->Sequence(),
              (std::vector<CallKind>{CallKind::OpenPlain, CallKind::StartJob, CallKind::Write,
                                     CallKind::Write, CallKind::Write, CallKind::Write,
                                     CallKind::Write, CallKind::EndJob, CallKind::Close}));
}

TEST(CPrinterChannel, ZeroBytesNeedNoSpoolerCall) {
    PrinterBench bench;
    CPrinterChannel channel(bench.spooler);
    ASSERT_EQ(channel.OpenLogoDocument("THERMAL #1"), 1);
    EXPECT_EQ(channel.WriteRawBytes({}), 1);
    EXPECT_EQ(bench.rec->Count(CallKind::Write), 0u);
}

TEST(CPrinterChannel, StopsAtTheFirstRefusedByte) {
    PrinterBench bench;
    bench.rec->Fail(CallKind::Write, 3);
    CPrinterChannel channel(bench.spooler);
    ASSERT_EQ(channel.OpenLogoDocument("THERMAL #1"), 1);
    EXPECT_EQ(channel.WriteRawBytes(Hex("01 02 03 04 05")), 0);
    EXPECT_EQ(bench.rec->Count(CallKind::Write), 3u);
    EXPECT_EQ(bench.rec->Written(), Hex("01 02"));
}

TEST(CPrinterChannel, FailedJobStartClosesTheQueueOnceInsideTheOpen) {
    PrinterBench bench;
    bench.rec->Fail(CallKind::StartJob);
    CPrinterChannel channel(bench.spooler);
    EXPECT_EQ(channel.OpenLogoDocument("THERMAL #1"), 0);
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_EQ(channel.CloseLogoDocument(), 0);
    EXPECT_EQ(bench.rec->Sequence(),
              (std::vector<CallKind>{CallKind::OpenPlain, CallKind::StartJob, CallKind::Close}));
}

TEST(CPrinterChannel, OpensExactlyTheNameGiven) {
    // "THERMAL #1" passes the check through "THERMAL #12", but no queue has that name.
    PrinterBench bench({"THERMAL #12"});
    CPrinterChannel channel(bench.spooler);
    EXPECT_EQ(channel.CountInstalledPrinters("THERMAL #1", nullptr), 1);
    EXPECT_EQ(channel.OpenLogoDocument("THERMAL #1"), 0);
    EXPECT_EQ(bench.rec->Count(CallKind::StartJob), 0u);
}

TEST(CPrinterChannel, CancelAbandonsTheJobInsteadOfEndingIt) {
    PrinterBench bench;
    CPrinterChannel channel(bench.spooler);
    ASSERT_EQ(channel.OpenLogoDocument("THERMAL #1"), 1);
    channel.CancelLogoDocument();
    EXPECT_EQ(bench.rec->Count(CallKind::CancelJob), 1u);
    EXPECT_EQ(bench.rec->Count(CallKind::EndJob), 0u);
    EXPECT_EQ(bench.rec->Count(CallKind::Close), 1u);
}

TEST(CPrinterChannel, RefusedEndOfJobIsReported) {
    PrinterBench bench;
    bench.rec->Fail(CallKind::EndJob);
    CPrinterChannel channel(bench.spooler);
    ASSERT_EQ(channel.OpenLogoDocument("THERMAL #1"), 1);
    EXPECT_EQ(channel.CloseLogoDocument(), 0);
    EXPECT_EQ(bench.rec->Count(CallKind::Close), 1u);
}

} // namespace
} // namespace tessaline
