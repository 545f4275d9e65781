// SPDX-License-Identifier: MIT
#include "printer/PrinterMethods.h"
#include "tests/support/PrinterBench.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

using test::CallKind;
using test::Hex;
using test::PrinterBench;

bool OpenedForDriverData(const test::RecordingSpooler& rec) {
    return rec.Count(CallKind::OpenFull) != 0 || rec.Count(CallKind::SetData) != 0;
}

TEST(PrinterOperation, NotInstalledSpoolsNothing) {
    PrinterBench bench({"THERMAL #2", "Office"});
    EXPECT_EQ(Print(bench.Context(), 0, "THERMAL #1", 0, 0, 0).Code(), kPrinterNotInstalled);
    EXPECT_TRUE(bench.rec->Sequence().empty());
    EXPECT_TRUE(bench.progress.empty());
    EXPECT_TRUE(bench.messages.empty());
}

TEST(PrinterOperation, EnumerationFailureShowsTheMessageAndEndsNotInstalled) {
    PrinterBench bench;
    bench.rec->listFails = true;
    EXPECT_EQ(Print(bench.Context(), 0, "THERMAL #1", 0, 0, 0).Code(), kPrinterNotInstalled);
    EXPECT_TRUE(bench.rec->Sequence().empty());
    ASSERT_EQ(bench.messages.size(), 1u);
    EXPECT_EQ(bench.messages[0], std::make_pair(std::string("EnumPrinters() failed"),
                                                std::string("EnumPrinters() Error")));
}

TEST(PrinterOperation, ADocumentThatCannotBeStartedIsReportedAndChangesNothing) {
    struct Case {
        const char* what;
        std::vector<std::string> queues;
        CallKind failing;
    };
    const Case cases[] = {
        {"open refused", {"THERMAL #1"}, CallKind::OpenPlain},
        {"job refused", {"THERMAL #1"}, CallKind::StartJob},
        // passes the check through "THERMAL #12", yet no queue has the name itself
        {"only a longer name", {"THERMAL #12"}, CallKind::Pause},
    };
    for (const Case& c : cases) {
        PrinterBench bench(c.queues);
        if (c.failing != CallKind::Pause) {
            bench.rec->Fail(c.failing);
        }
        EXPECT_EQ(Print(bench.Context(), 0, "THERMAL #1", 0, 0, 0).Code(), kPrinterNotStarted)
            << c.what;
        EXPECT_EQ(bench.rec->Count(CallKind::Write), 0u) << c.what;
        EXPECT_TRUE(bench.progress.empty()) << c.what;
        EXPECT_FALSE(OpenedForDriverData(*bench.rec)) << c.what;
    }
}

TEST(PrinterOperation, StopsAtTheFirstRefusedByteAndCancelsTheJob) {
    // Write 6 is the second byte of the second command: nothing after it may follow.
    PrinterBench bench;
    bench.rec->Fail(CallKind::Write, 6);
    EXPECT_EQ(Print(bench.Context(), 0, "THERMAL #1", 0, 0, 0).Code(), kPrinterNotSent);
    EXPECT_EQ(bench.rec->Written(), Hex("1C 70 01 30 1C"));
    EXPECT_EQ(bench.rec->Count(CallKind::Write), 6u);
    EXPECT_EQ(bench.progress, std::vector<int32_t>{1});
    EXPECT_EQ(bench.rec->Count(CallKind::CancelJob), 1u);
    EXPECT_EQ(bench.rec->Count(CallKind::EndJob), 0u);
    EXPECT_EQ(bench.rec->Count(CallKind::Close), 1u);
    EXPECT_FALSE(OpenedForDriverData(*bench.rec));
}

TEST(PrinterOperation, EveryRefusedWriteEndsTheStreamThere) {
    // The erase stream is 10 bytes: 1C 65, 1C 70 E8 30, 1D 56 42 01.
    const std::vector<uint8_t> stream = Hex("1C 65 1C 70 E8 30 1D 56 42 01");
    for (size_t n = 1; n <= stream.size(); ++n) {
        PrinterBench bench;
        bench.rec->Fail(CallKind::Write, n);
        EXPECT_EQ(Print(bench.Context(), 3, "THERMAL #1", 0, 0, 0).Code(), kPrinterNotSent) << n;
        EXPECT_EQ(bench.rec->Written(),
                  std::vector<uint8_t>(stream.begin(),
                                       stream.begin() + static_cast<std::ptrdiff_t>(n - 1)))
            << n;
        EXPECT_EQ(bench.rec->Count(CallKind::Write), n);
        EXPECT_FALSE(OpenedForDriverData(*bench.rec)) << n;
    }
}

TEST(PrinterOperation, ARefusedEndOfJobIsNotSuccess) {
    PrinterBench bench;
    bench.rec->Fail(CallKind::EndJob);
    EXPECT_EQ(Print(bench.Context(), 0, "THERMAL #1", 5, 0, 0).Code(), kPrinterNotSent);
    EXPECT_FALSE(OpenedForDriverData(*bench.rec));
}

TEST(PrinterOperation, EditsTheDriverRecordOnlyAfterTheDocumentIsClosed) {
    PrinterBench bench;
    EXPECT_EQ(Print(bench.Context(), 0, "THERMAL #1", 5, 3, 0).Code(), kPrinterOk);
    const std::vector<CallKind> seq = bench.rec->Sequence();
    ASSERT_GE(seq.size(), 4u);
    EXPECT_EQ(std::vector<CallKind>(seq.end() - 6, seq.end()),
              (std::vector<CallKind>{CallKind::EndJob, CallKind::Close, CallKind::OpenFull,
                                     CallKind::GetData, CallKind::SetData, CallKind::Close}));
}

TEST(PrinterOperation, DriverRecordFailuresDoNotFailTheOperation) {
    for (const CallKind failing : {CallKind::OpenFull, CallKind::GetData, CallKind::SetData}) {
        PrinterBench bench;
        bench.rec->Fail(failing);
        EXPECT_EQ(Print(bench.Context(), 0, "THERMAL #1", 5, 3, 0).Code(), kPrinterOk);
        EXPECT_EQ(bench.rec->Written().size(), 8u);
    }
}

TEST(PrinterOperation, EveryFailureSaysWhyInTheSpoolersWords) {
    struct Case {
        const char* what;
        std::vector<std::string> queues;
        CallKind failing;
        size_t nth;
        int32_t range;
        int32_t result;
        std::string failure;
    };
    const Case cases[] = {
        {"success", {"THERMAL #1"}, CallKind::Pause, 0, 5, kPrinterOk, ""},
        {"driver record", {"THERMAL #1"}, CallKind::OpenFull, 1, 5, kPrinterOk, ""},
        {"not installed",
         {"Office"},
         CallKind::Pause,
         0,
         5,
         kPrinterNotInstalled,
         "the printer \"THERMAL #1\" is not installed"},
        {"refused number",
         {"THERMAL #1"},
         CallKind::Pause,
         0,
         300,
         kPrinterRefused,
         "image number 300 is outside 1 to 255"},
        {"open",
         {"THERMAL #1"},
         CallKind::OpenPlain,
         1,
         5,
         kPrinterNotStarted,
         "\"THERMAL #1\": refused 1 open"},
        {"longer name only",
         {"THERMAL #12"},
         CallKind::Pause,
         0,
         5,
         kPrinterNotStarted,
         "\"THERMAL #1\": no printer is named exactly \"THERMAL #1\""},
        {"start",
         {"THERMAL #1"},
         CallKind::StartJob,
         1,
         5,
         kPrinterNotStarted,
         "\"THERMAL #1\": refused 1 start"},
        {"write",
         {"THERMAL #1"},
         CallKind::Write,
         3,
         5,
         kPrinterNotSent,
         "\"THERMAL #1\": refused 3 write"},
        {"end",
         {"THERMAL #1"},
         CallKind::EndJob,
         1,
         5,
         kPrinterNotSent,
         "\"THERMAL #1\": refused 1 end"},
    };
    for (const Case& c : cases) {
        PrinterBench bench(c.queues);
        if (c.nth != 0) {
            bench.rec->Fail(c.failing, c.nth);
        }
        const Result<void> printed = Print(bench.Context(), 0, "THERMAL #1", c.range, 0, 0);
        EXPECT_EQ(printed.Code(), c.result) << c.what;
        EXPECT_EQ(printed.Ok(), c.result == kPrinterOk) << c.what;
        EXPECT_EQ(printed.Reason(), c.failure) << c.what;
    }
    // A failure handed code 0 must not read as a success to whoever passes the code on.
    EXPECT_EQ(Result<void>::Fail("lost", kPrinterOk).Code(), kUncodedFailure);
    EXPECT_EQ(Result<int>::Fail("lost", kPrinterOk).Code(), kUncodedFailure);
}

TEST(PrinterOperation, APrefixNameOpensTheQueueOfThatName) {
    PrinterBench bench({"THERMAL #12", "THERMAL #1"});
    EXPECT_EQ(Print(bench.Context(), 0, "THERMAL #1", 5, 0, 0).Code(), kPrinterOk);
    for (const auto& call : bench.rec->calls) {
        if (call.kind != CallKind::List) {
            EXPECT_EQ(call.queue, "THERMAL #1");
        }
    }
    EXPECT_EQ(bench.rec->driverData.count("THERMAL #12"), 0u);
}

} // namespace
} // namespace tessaline
