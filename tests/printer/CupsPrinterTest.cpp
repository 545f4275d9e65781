// SPDX-License-Identifier: MIT
// The printer code against a real CUPS scheduler: what Upload and Print
// spool must reach the printer's device byte for byte.
#include "platform/cups/CupsBackend.h"
#include "printer/PrinterMethods.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/PrinterBench.h"
#include "tests/support/PrivateCups.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace tessaline {
namespace {

using test::Concat;
using test::Hex;

const std::string kQueue = "THERMAL_1";

class CupsPrinter : public test::PrivateCupsTest {
protected:
    void SetUp() override {
        PrivateCupsTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        m_spooler.Install(std::make_shared<CupsBackend>());
    }

    PrinterContext Context() {
        return PrinterContext{
            .spooler = m_spooler,
            .progress = [this](int32_t data) { m_progress.push_back(data); },
            .message = nullptr,
            .sleep = [](std::chrono::milliseconds) {},
        };
    }

    // Runs one operation and returns what the device received for it.
    template <typename Op> std::vector<uint8_t> Spooled(Op op, int32_t expectedResult = 0) {
        const test::CapturedJob job = NextJob(
            kQueue, [&] { EXPECT_EQ(op(), expectedResult); }, "the operation");
        EXPECT_EQ(job.title, "Logo");
        return job.bytes;
    }

    std::string Logo(const std::string& name, int w, int h) {
        const auto path = DataHome() / name;
        test::WriteFile(
            path, test::MakeBlackOnWhite(w, h, [](int x, int y) { return (x + y) % 3 != 0; }));
        return path.string();
    }

    // The same operation through the recording backend: the expected bytes.
    template <typename Op> std::vector<uint8_t> Recorded(Op op) {
        test::PrinterBench bench({"THERMAL #1"});
        EXPECT_EQ(op(bench.Context()), 0);
        return bench.rec->Written();
    }

    Spooler m_spooler;
    std::vector<int32_t> m_progress;
};

TEST_F(CupsPrinter, UploadArrivesByteForByte) {
    const std::string list = Logo("a.bmp", 100, 50) + "|" + Logo("b.bmp", 512, 48) + "|";
    const auto bytes =
        Spooled([&] { return Upload(Context(), 0, "THERMAL #1", list, 1, 5).Code(); });
    EXPECT_EQ(m_progress, (std::vector<int32_t>{1, 2}));
    ASSERT_EQ(bytes.size(), 2u + 3 + 4 + 728 + 4 + 3072);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 9),
              Hex("1B 40 1C 71 02 0D 00 07 00"));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 737, bytes.begin() + 741), Hex("40 00 06 00"));
    EXPECT_EQ(bytes, Recorded([&](const PrinterContext& c) {
                  return Upload(c, 0, "THERMAL #1", list, 1, 5).Code();
              }));
    // The driver record is kept beside the queue.
    std::ifstream record(DataHome() / "tessaline" / "driver-data" / kQueue / "TTY DeviceConfig",
                         std::ios::binary);
    const std::vector<uint8_t> stored{std::istreambuf_iterator<char>(record), {}};
    ASSERT_EQ(stored.size(), 1480u);
    EXPECT_EQ(std::vector<uint8_t>(stored.begin() + 1248, stored.begin() + 1252),
              Hex("1C 70 01 30"));
}

TEST_F(CupsPrinter, PrintAllAndEraseArriveByteForByte) {
    std::vector<uint8_t> all;
    for (int j = 1; j <= 255; ++j) {
        all.insert(all.end(), {0x1C, 0x70, static_cast<uint8_t>(j), 0x30});
    }
    all.insert(all.end(), {0x1D, 0x56, 0x42, 0x01});
    EXPECT_EQ(Spooled([&] { return Print(Context(), 0, "THERMAL #1", 0, 0, 0).Code(); }), all);
    EXPECT_EQ(m_progress.size(), 255u);
    EXPECT_EQ(Spooled([&] { return Print(Context(), 3, "THERMAL #1", 0, 0, 0).Code(); }),
              Concat({Hex("1C 65 1C 70 E8 30"), Hex("1D 56 42 01")}));
}

TEST_F(CupsPrinter, RejectingQueueIsNeverReportedAsSuccess) {
    const int32_t print = Print(Context(), 0, "THERMAL #3", 5, 0, 0).Code();
    EXPECT_TRUE(print == -2 || print == -3) << print;
    const int32_t upload =
        Upload(Context(), 0, "THERMAL #3", Logo("c.bmp", 8, 8) + "|", 0, 5).Code();
    EXPECT_TRUE(upload == -2 || upload == -3) << upload;
}

TEST_F(CupsPrinter, NoStreamSelectedStillSucceeds) {
    // An empty document: nothing reaches the printer, and that is not a failure.
    const int before = LastJobId(kQueue);
    EXPECT_EQ(Print(Context(), 2, "THERMAL #1", 0, 0, 0).Code(), 0);
    if (const auto job = WaitForJobAfter(kQueue, before, std::chrono::seconds(5))) {
        EXPECT_FALSE(HasCapture(kQueue, job->id));
    }
}

} // namespace
} // namespace tessaline
