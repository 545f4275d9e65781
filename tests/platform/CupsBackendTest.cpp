// SPDX-License-Identifier: MIT
#include "platform/cups/CupsBackend.h"

#include "tests/support/PrivateCups.h"

#include <cups/cups.h>
#include <fstream>
#include <gtest/gtest.h>

using namespace tessaline;
using namespace tessaline::test;

namespace {

// Queue names of the private server (see private-cupsd.sh).
const std::string kThermal1 = "THERMAL_1";
const std::string kRejects = "THERMAL_REJECTS";

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
    }
    return bytes;
}

// Hands `bytes` over one byte per call, as the printer channel does.
bool WriteOneByOne(SpoolerQueue& queue, const std::vector<uint8_t>& bytes) {
    bool ok = true;
    for (const uint8_t& b : bytes) {
        ok = queue.Write(std::span(&b, 1)) && ok;
    }
    return ok;
}

using CupsQueueList = PrivateCupsTest;
using CupsOpen = PrivateCupsTest;
using CupsRawJob = PrivateCupsTest;
using CupsDriverData = PrivateCupsTest;

TEST_F(CupsQueueList, ListsDescriptionsElseQueueNamesInTheServersOrder) {
    CupsBackend backend;
    const QueueList list = backend.ListQueues();
    EXPECT_TRUE(list.status);
    const std::vector<std::string> expected = {"NO_DESCRIPTION", "THERMAL #1", "THERMAL #12",
                                               "THERMAL #3",     "THERMAL #5", "THERMAL #4"};
    EXPECT_EQ(list.names, expected);
}

TEST_F(CupsOpen, FindsAQueueOnlyByItsListedName) {
    struct Case {
        std::string name;
        bool found;
    };
    const Case cases[] = {
        {"THERMAL #1", true}, {"THERMAL #12", true}, {"NO_DESCRIPTION", true}, {"THERMAL_1", false},
        {"THERMAL #", false}, {"THERMAL #2", false}, {"thermal #1", false},    {"", false},
    };
    CupsBackend backend;
    for (const Case& c : cases) {
        for (QueueAccess access : {QueueAccess::Plain, QueueAccess::Full}) {
            EXPECT_EQ(backend.Open(c.name, access).Ok(), c.found)
                << '"' << c.name << "\" access " << static_cast<int>(access);
        }
    }
}

TEST_F(CupsRawJob, BytesArriveUnchangedAsOneRawLogoJob) {
    // Sizes around the block the backend gathers before handing bytes on.
    const size_t block = 64 * 1024;
    const size_t sizes[] = {1, block - 1, block, block + 1, 5 * block + 123};
    CupsBackend backend;
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        const int before = LastJobId(kThermal1);
        auto queue = backend.Open("THERMAL #1", QueueAccess::Plain).ValueOr(nullptr);
        ASSERT_NE(queue, nullptr);
        const std::vector<uint8_t> bytes = Pattern(size);
        ASSERT_TRUE(queue->StartRawJob("Logo", "RAW"));
        EXPECT_TRUE(WriteOneByOne(*queue, bytes));
        ASSERT_TRUE(queue->EndJob());

        const auto job = WaitForJobAfter(kThermal1, before);
        ASSERT_TRUE(job.has_value());
        EXPECT_EQ(job->documents, 1);
        EXPECT_EQ(LastJobId(kThermal1), job->id) << "one job per raw document";
        const auto captured = WaitForCapture(kThermal1, job->id);
        ASSERT_TRUE(captured.has_value());
        EXPECT_EQ(captured->title, "Logo");
        EXPECT_EQ(captured->format, "application/vnd.cups-raw");
        EXPECT_TRUE(captured->bytes == bytes) << "captured " << captured->bytes.size() << " bytes";
    }
}

TEST_F(CupsRawJob, WritesOfAnySizeAndSeveralJobsOnOneOpenQueueStayApart) {
    CupsBackend backend;
    auto queue = backend.Open("THERMAL #12", QueueAccess::Plain).ValueOr(nullptr);
    ASSERT_NE(queue, nullptr);
    const std::string name = "THERMAL_12";
    const std::vector<uint8_t> first = Pattern(200000);
    const std::vector<uint8_t> second = {0x1B, 0x40, 0x1C, 0x65};
    for (const auto* bytes : {&first, &second}) {
        const int before = LastJobId(name);
        ASSERT_TRUE(queue->StartRawJob("Logo", "RAW"));
        // Mixed write sizes: empty, odd, and larger than one block.
        size_t at = 0;
        for (size_t step : {size_t{0}, size_t{3}, size_t{70000}, size_t{1}}) {
            const size_t n = std::min(step, bytes->size() - at);
            EXPECT_TRUE(queue->Write(std::span(bytes->data() + at, n)));
            at += n;
        }
        EXPECT_TRUE(queue->Write(std::span(bytes->data() + at, bytes->size() - at)));
        ASSERT_TRUE(queue->EndJob());
        const auto job = WaitForJobAfter(name, before);
        ASSERT_TRUE(job.has_value());
        const auto captured = WaitForCapture(name, job->id);
        ASSERT_TRUE(captured.has_value());
        EXPECT_TRUE(captured->bytes == *bytes);
    }
}

TEST_F(CupsRawJob, RejectingQueueNeverReportsSuccess) {
    CupsBackend backend;
    const int before = LastJobId(kRejects);
    auto queue = backend.Open("THERMAL #3", QueueAccess::Plain).ValueOr(nullptr);
    ASSERT_NE(queue, nullptr);
    const Result<void> started = queue->StartRawJob("Logo", "RAW");
    const bool written = WriteOneByOne(*queue, Pattern(100));
    const Result<void> ended = queue->EndJob();
    EXPECT_FALSE(started && written && ended);
    // The refusal comes with CUPS's own words.
    const std::string why = started ? ended.Reason() : started.Reason();
    EXPECT_EQ(why.rfind("CUPS ", 0), 0u) << why;
    EXPECT_FALSE(HasCapture(kRejects, before + 1));
}

TEST_F(CupsRawJob, CallsOutsideAJobAndOtherDataTypesFail) {
    CupsBackend backend;
    auto queue = backend.Open("THERMAL #1", QueueAccess::Plain).ValueOr(nullptr);
    ASSERT_NE(queue, nullptr);
    const uint8_t b = 0x1B;
    EXPECT_FALSE(queue->Write(std::span(&b, 1)));
    EXPECT_FALSE(queue->EndJob());
    queue->CancelJob(); // harmless without a job
    EXPECT_FALSE(queue->StartRawJob("Logo", "TEXT"));
    ASSERT_TRUE(queue->StartRawJob("Logo", "raw"));
    EXPECT_FALSE(queue->StartRawJob("Logo", "RAW")) << "one job at a time";
    queue->CancelJob();
}

TEST_F(CupsRawJob, EmptyDocumentIsDeliveredAsNothing) {
    // The scheduler takes no empty document: the job is withdrawn, nothing
    // prints, and the empty document counts as delivered.
    CupsBackend backend;
    const int before = LastJobId(kThermal1);
    auto queue = backend.Open("THERMAL #1", QueueAccess::Plain).ValueOr(nullptr);
    ASSERT_NE(queue, nullptr);
    ASSERT_TRUE(queue->StartRawJob("Logo", "RAW"));
    EXPECT_TRUE(queue->EndJob());
    const auto job = WaitForJobAfter(kThermal1, before);
    ASSERT_TRUE(job.has_value());
    EXPECT_NE(job->state, IPP_JSTATE_COMPLETED);
    EXPECT_FALSE(HasCapture(kThermal1, job->id));
}

TEST_F(CupsRawJob, CancelledOrClosedMidJobPrintsNothing) {
    CupsBackend backend;
    for (bool closeInstead : {false, true}) {
        SCOPED_TRACE(closeInstead ? "queue closed" : "job cancelled");
        const int before = LastJobId(kThermal1);
        auto queue = backend.Open("THERMAL #1", QueueAccess::Plain).ValueOr(nullptr);
        ASSERT_NE(queue, nullptr);
        ASSERT_TRUE(queue->StartRawJob("Logo", "RAW"));
        // More than a block, so part of the document already reached CUPS.
        EXPECT_TRUE(WriteOneByOne(*queue, Pattern(150000)));
        if (closeInstead) {
            queue.reset();
        } else {
            queue->CancelJob();
            EXPECT_FALSE(queue->EndJob());
        }
        const auto job = WaitForJobAfter(kThermal1, before);
        ASSERT_TRUE(job.has_value());
        EXPECT_EQ(job->state, IPP_JSTATE_CANCELED);
        EXPECT_FALSE(HasCapture(kThermal1, job->id));
    }
}

TEST_F(CupsRawJob, FailureShowingOnlyAtTheEndIsAFailedJob) {
    // A queue deleted while its job is being sent: CUPS answers the document
    // with an error only when it is finished.
    const std::string doomed = "DOOMED_QUEUE";
    ASSERT_EQ(RunCupsTool("lpadmin -p " + doomed + " -D 'DOOMED #1' -v capture:" +
                          (ServerDir() / "capture").string() + " -E"),
              0);
    CupsBackend backend;
    auto queue = backend.Open("DOOMED #1", QueueAccess::Plain).ValueOr(nullptr);
    ASSERT_NE(queue, nullptr);
    ASSERT_TRUE(queue->StartRawJob("Logo", "RAW"));
    bool written = WriteOneByOne(*queue, Pattern(100000));
    ASSERT_EQ(RunCupsTool("lpadmin -x " + doomed), 0);
    written = WriteOneByOne(*queue, Pattern(100000)) && written;
    const Result<void> ended = queue->EndJob();
    EXPECT_FALSE(written && ended);
    for (const auto& entry : std::filesystem::directory_iterator(ServerDir() / "capture")) {
        EXPECT_NE(entry.path().filename().string().find(doomed), 0u) << entry.path();
    }
}

TEST_F(CupsDriverData, ValuesPersistPerQueueAcrossOpens) {
    std::vector<uint8_t> record(1480);
    for (size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<uint8_t>(i);
    }
    {
        CupsBackend backend;
        auto queue = backend.Open("THERMAL #1", QueueAccess::Full).ValueOr(nullptr);
        ASSERT_NE(queue, nullptr);
        EXPECT_FALSE(queue->GetDriverData("TTY DeviceConfig").has_value());
        ASSERT_TRUE(queue->SetDriverData("TTY DeviceConfig", kRegBinary, record));
    }
    CupsBackend backend;
    auto same = backend.Open("THERMAL #1", QueueAccess::Plain).ValueOr(nullptr);
    ASSERT_NE(same, nullptr);
    const auto value = same->GetDriverData("TTY DeviceConfig");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, kRegBinary);
    EXPECT_EQ(value->bytes, record);
    EXPECT_FALSE(same->GetDriverData("Other value").has_value());

    auto other = backend.Open("THERMAL #12", QueueAccess::Full).ValueOr(nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->GetDriverData("TTY DeviceConfig").has_value());

    // Kept under the data home, in a folder named after the CUPS queue.
    const auto folder = DataHome() / "tessaline" / "driver-data" / "THERMAL_1";
    EXPECT_TRUE(std::filesystem::exists(folder / "TTY DeviceConfig"));
    EXPECT_TRUE(std::filesystem::exists(folder / "TTY DeviceConfig.type"));
}

TEST_F(CupsDriverData, FullAccessFailsExactlyWhenTheStoreCannotBeWritten) {
    // A data home below a plain file can never be created, not even by root.
    const auto blocker = DataHome() / "not-a-folder";
    std::ofstream(blocker) << "x";
    ::setenv("XDG_DATA_HOME", blocker.c_str(), 1);
    CupsBackend backend;
    EXPECT_FALSE(backend.Open("THERMAL #1", QueueAccess::Full));
    auto plain = backend.Open("THERMAL #1", QueueAccess::Plain).ValueOr(nullptr);
    ASSERT_NE(plain, nullptr);
    const uint8_t b = 8;
    EXPECT_FALSE(plain->SetDriverData("TTY DeviceConfig", kRegBinary, std::span(&b, 1)));
    EXPECT_FALSE(plain->GetDriverData("TTY DeviceConfig").has_value());
}

TEST_F(CupsDriverData, PlainAccessMayReadButNotWrite) {
    CupsBackend backend;
    auto plain = backend.Open("THERMAL #12", QueueAccess::Plain).ValueOr(nullptr);
    ASSERT_NE(plain, nullptr);
    const uint8_t b = 8;
    EXPECT_FALSE(plain->SetDriverData("TTY DeviceConfig", kRegBinary, std::span(&b, 1)));
    auto full = backend.Open("THERMAL #12", QueueAccess::Full).ValueOr(nullptr);
    ASSERT_NE(full, nullptr);
    ASSERT_TRUE(full->SetDriverData("TTY DeviceConfig", kRegBinary, std::span(&b, 1)));
    ASSERT_TRUE(plain->GetDriverData("TTY DeviceConfig").has_value());
}

} // namespace
