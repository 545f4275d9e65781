// SPDX-License-Identifier: MIT
// Upload and Print against a virtual printer, side by side with the recording
// backend: the printer must receive exactly the recorded bytes.

#include "escpos/Png.h"
#include "platform/virtual/VirtualPrinterBackend.h"
#include "printer/PrinterMethods.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/Files.h"
#include "tests/support/NvStreams.h"
#include "tests/support/PrinterBench.h"
#include "tests/support/TempHome.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tessaline {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

constexpr const char* kQueue = "THERMAL #1";

class ThroughPrinterCode : public ::testing::Test {
protected:
    ThroughPrinterCode() {
        EXPECT_TRUE(VirtualPrinterStore(home.DataHome()).Add(kQueue, {}).Ok());
        spooler.Install(std::make_shared<VirtualPrinterBackend>(home.DataHome()));
        // 100 × 50 all black, and 512 × 48 with black squares.
        logos = Logo("a.bmp", 100, 50, [](int, int) { return true; }) + "|" +
                Logo("b.bmp", 512, 48, [](int x, int y) { return (x / 16 + y / 16) % 2 == 0; }) +
                "|";
    }

    PrinterContext Context() {
        return PrinterContext{spooler,
                              [this](int32_t data) { progress.push_back(data); },
                              {},
                              [](std::chrono::milliseconds) {}};
    }

    std::string Logo(const std::string& name, int w, int h, std::function<bool(int, int)> black) {
        const fs::path path = home.Root() / name;
        EXPECT_TRUE(test::WriteFile(path, test::MakeBlackOnWhite(w, h, black)));
        return path.string();
    }

    fs::path Folder() const { return VirtualPrinterStore(home.DataHome()).PrinterFolder(kQueue); }
    Bytes Job(uint32_t n) const {
        return test::FileBytes(Folder() / "jobs" / (VirtualPrinterFolder::JobName(n) + ".bin"))
            .value_or(Bytes{1, 2, 3});
    }
    std::string Log() const { return test::ReadText(Folder() / "log.txt"); }

    test::TempHome home;
    Spooler spooler;
    std::vector<int32_t> progress;
    std::string logos;
};

TEST_F(ThroughPrinterCode, UploadAndPrintSendTheRecordedBytes) {
    test::PrinterBench bench;
    // Upload, print all, print image 2 doubled, a range, and the erase.
    const auto steps = [&](const PrinterContext& context) {
        return std::vector<int32_t>{
            Upload(context, 0, kQueue, logos, 0, 5).Code(),
            Print(context, 0, kQueue, 0, 0, 0).Code(), Print(context, 0, kQueue, 2, 3, 0).Code(),
            Print(context, 0, kQueue, 1, 1, 3).Code(), Print(context, 3, kQueue, 0, 0, 0).Code()};
    };
    const std::vector<int32_t> recorded = steps(bench.Context());
    const std::vector<int32_t> virtualResults = steps(Context());
    EXPECT_EQ(virtualResults, recorded);
    EXPECT_EQ(virtualResults, std::vector<int32_t>(5, kPrinterOk));

    // The recording backend's writes, cut into its documents.
    std::vector<Bytes> documents;
    for (const test::SpoolerCall& call : bench.rec->calls) {
        if (call.kind == test::CallKind::StartJob) {
            documents.emplace_back();
        } else if (call.kind == test::CallKind::Write && call.ok) {
            documents.back().insert(documents.back().end(), call.bytes.begin(), call.bytes.end());
        }
    }
    ASSERT_EQ(documents.size(), 5u);
    for (uint32_t n = 1; n <= 5; ++n) {
        EXPECT_EQ(Job(n), documents[n - 1]) << "job " << n;
    }
    EXPECT_EQ(test::FileBytes(Folder() / "jobs" / "000001.txt"),
              test::Hex("64 6F 63 75 6D 65 6E 74 3D 4C 6F 67 6F 0A " // document=Logo
                        "64 61 74 61 74 79 70 65 3D 52 41 57 0A"));  // datatype=RAW

    const std::string log = Log();
    EXPECT_NE(log.find("000001 @5: FS q 2: image 1 104x56 dots, 728 bytes\n"), std::string::npos);
    EXPECT_NE(log.find("000001 @737: FS q 2: image 2 512x48 dots, 3072 bytes\n"),
              std::string::npos);
    EXPECT_NE(log.find("000003 @0: FS p 2 51: image 2 at double width and height is 1024 dots "
                       "wide, wider than the 576-dot paper; nothing printed\n"),
              std::string::npos);
    EXPECT_NE(log.find("000005 @0: FS e: erased every stored image (2 forgotten)\n"),
              std::string::npos);
    std::istringstream lines(log);
    size_t missing = 0;
    for (std::string line; std::getline(lines, line);) {
        missing += line.rfind("000002 @", 0) == 0 && line.find("not stored") != std::string::npos;
    }
    EXPECT_EQ(missing, 253u);

    // The print-all paper: the black 100 × 50 block, then the squares.
    const Result<MonoPicture> printed =
        DecodePng(test::FileBytes(Folder() / "paper" / "000002-1.png").value());
    ASSERT_TRUE(printed) << printed.Reason();
    const MonoPicture& paper = printed.Value();
    EXPECT_EQ(paper.height, 56 + 48 + 1);
    EXPECT_TRUE(paper.Dot(0, 0) && paper.Dot(99, 49));
    EXPECT_FALSE(paper.Dot(100, 0) || paper.Dot(0, 50));
    EXPECT_TRUE(paper.Dot(0, 56) && !paper.Dot(16, 56) && paper.Dot(16, 56 + 16));
    EXPECT_TRUE(fs::exists(Folder() / "paper" / "000004-1.png"));
    EXPECT_FALSE(fs::exists(Folder() / "paper" / "000003-1.png"));
    EXPECT_FALSE(fs::exists(Folder() / "paper" / "000005-1.png"));
    EXPECT_FALSE(fs::exists(Folder() / "nv" / "001.png"));
}

TEST_F(ThroughPrinterCode, DriverRecordLandsInDriverData) {
    test::PrinterBench bench;
    ASSERT_EQ(Upload(bench.Context(), 0, kQueue, logos, 0, 5).Code(), kPrinterOk);
    ASSERT_EQ(Upload(Context(), 0, kQueue, logos, 0, 5).Code(), kPrinterOk);
    EXPECT_EQ(progress, (std::vector<int32_t>{1, 2}));

    const fs::path record = Folder() / "driver-data" / "TTY DeviceConfig";
    const Bytes stored = test::FileBytes(record).value_or(Bytes{});
    ASSERT_EQ(stored.size(), 1480u);
    EXPECT_EQ(stored, bench.rec->driverData[kQueue]["TTY DeviceConfig"].bytes);
    EXPECT_EQ(test::FileBytes(record.string() + ".type"), test::Hex("33 0A"));
    // Logo commands A and B switched on: they print NV images 1 and 2.
    EXPECT_EQ(Bytes(stored.begin() + 1248, stored.begin() + 1252), test::Hex("1C 70 01 30"));
    EXPECT_EQ(Bytes(stored.begin() + 1352, stored.begin() + 1356), test::Hex("1C 70 02 30"));
    EXPECT_EQ(stored[1204], 1);

    // The stored images are the converted bitmaps.
    const Result<MonoPicture> firstPng =
        DecodePng(test::FileBytes(Folder() / "nv" / "001.png").value());
    ASSERT_TRUE(firstPng) << firstPng.Reason();
    const MonoPicture& first = firstPng.Value();
    EXPECT_EQ(first.width, 104);
    EXPECT_EQ(first.height, 56);
    int wrong = 0;
    for (int y = 0; y < 56; ++y) {
        for (int x = 0; x < 104; ++x) {
            wrong += first.Dot(x, y) != (x < 100 && y < 50);
        }
    }
    EXPECT_EQ(wrong, 0);

    // The erase switches them off again.
    ASSERT_EQ(Print(Context(), 3, kQueue, 0, 0, 0).Code(), kPrinterOk);
    const Bytes erased = test::FileBytes(record).value_or(Bytes{});
    ASSERT_EQ(erased.size(), 1480u);
    EXPECT_EQ(erased[1204], 0);
    EXPECT_EQ(erased[1348], 0);
}

TEST_F(ThroughPrinterCode, UnknownPrinterIsNotInstalled) {
    EXPECT_EQ(Print(Context(), 0, "THERMAL #9", 1, 0, 0).Code(), kPrinterNotInstalled);
    EXPECT_TRUE(VirtualPrinterFolder(Folder()).JobNumbers().empty());
}

} // namespace
} // namespace tessaline
