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

TEST_F(ControlCliCups, RejectingQueueMissingQueueAndMissingServerAreTold) {
    struct Case {
        const char* what;
        std::string server; // empty: the private scheduler
        std::string args;
        int status;
        std::string message;
    };
    const std::string gone = (cli.Root() / "gone.sock").string();
    const Case cases[] = {
        {"a queue that rejects jobs", "", "print --printer 'THERMAL #3' --image 1", 3,
         "can not be transmitted: \"THERMAL #3\": CUPS refused"},
        {"a queue the scheduler does not have", "", "print --printer 'THERMAL #9' --image 1", 2,
         "the printer \"THERMAL #9\" is not installed"},
        // Taken by CUPS is not printed.
        {"a stopped queue keeps the job", "", "erase --printer 'THERMAL #4'", 3,
         "the queue \"THERMAL_STOPPED\" is stopped, job "},
        {"the same, not followed", "", "erase --printer 'THERMAL #4' --wait 0", 0, ""},
        {"still printing when the wait ends", "", "print --printer 'THERMAL #5' --all --wait 1", 4,
         "queued, not printed yet: \"THERMAL #5\": job "},
        {"nv through a stopped queue", "", "nv delete 'THERMAL #4' --all", 3, "is stopped"},
        {"no scheduler: not a missing printer", gone, "print --printer 'THERMAL #1' --image 1", 3,
         "CUPS is not reachable at " + gone + ": No such file or directory"},
        {"no scheduler, listing", gone, "printers", 3,
         "CUPS is not reachable at " + gone + ": No such file or directory"},
    };
    for (const Case& c : cases) {
        cli.UseCupsServer(c.server.empty() ? Socket() : c.server);
        const auto run = cli.Run(c.args);
        EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.what << "\n" << run.err;
    }
}

} // namespace
} // namespace tessaline
