// SPDX-License-Identifier: MIT
// tessaline-cli's control commands against a real CUPS scheduler: what the
// printer's device receives is checked byte for byte.
#include "tests/support/BmpBuilder.h"
#include "tests/support/CliRunner.h"
#include "tests/support/PrivateCups.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

const std::string kQueue = "THERMAL_1";

class ControlCliCups : public test::PrivateCupsTest {
protected:
    void SetUp() override {
        PrivateCupsTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        cli.UseCupsServer(Socket());
        ASSERT_EQ(cli.Run("register " + cli.Quote(TESSALINE_CONTROL_PATH)).status, 0);
    }

    // Runs a command and returns what the queue's device received for it.
    std::vector<uint8_t> Spooled(const std::string& args) {
        const auto run = [&] {
            const test::CliResult result = cli.Run(args);
            EXPECT_EQ(result.status, 0) << args << "\n" << result.err;
        };
        return NextJob(kQueue, run, args).bytes;
    }

    test::CliRunner cli;
};

TEST_F(ControlCliCups, UploadPrintAllEraseArriveByteForByte) {
    const auto a = cli.Root() / "a.bmp";
    const auto b = cli.Root() / "b.bmp";
    test::WriteFile(a.string(), test::Make24(100, 50, [](int, int) { return test::Bgr{0, 0, 0}; }));
    test::WriteFile(b.string(), test::Make24(512, 48, [](int, int) { return test::Bgr{0, 0, 0}; }));

    const auto upload =
        Spooled("upload --printer 'THERMAL #1' " + cli.Quote(a) + " " + cli.Quote(b));
    ASSERT_EQ(upload.size(), 2u + 3 + 4 + 728 + 4 + 3072);
    EXPECT_EQ(std::vector<uint8_t>(upload.begin(), upload.begin() + 9),
              (std::vector<uint8_t>{0x1B, 0x40, 0x1C, 0x71, 0x02, 0x0D, 0x00, 0x07, 0x00}));
    EXPECT_EQ(upload[9 + 5], 0xFF);
    EXPECT_EQ(upload[9 + 6], 0xC0);

    const auto all = Spooled("print --printer 'THERMAL #1' --all --size 1");
    ASSERT_EQ(all.size(), 255u * 4 + 4);
    EXPECT_EQ(std::vector<uint8_t>(all.begin(), all.begin() + 4),
              (std::vector<uint8_t>{0x1C, 0x70, 0x01, 0x31}));

    EXPECT_EQ(Spooled("erase --printer 'THERMAL #1'"),
              (std::vector<uint8_t>{0x1C, 0x65, 0x1C, 0x70, 0xE8, 0x30, 0x1D, 0x56, 0x42, 0x01}));
}

TEST_F(ControlCliCups, RejectingQueueIsReported) {
    const auto run = cli.Run("print --printer 'THERMAL #3' --image 1");
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("can not be transmitted: \"THERMAL #3\": CUPS refused"),
              std::string::npos)
        << run.err;
}

} // namespace
} // namespace tessaline
