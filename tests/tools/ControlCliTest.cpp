// tessaline-cli's control commands, run as a user runs them: the real binary,
// the control library registered in a private registry, a virtual printer.
#include "tests/support/BmpBuilder.h"
#include "tests/support/CliRunner.h"
#include "tests/support/PictureBuilder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>

namespace tessaline {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ControlCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(cli.Run("register " + cli.Quote(TESSALINE_CONTROL_PATH)).status, 0);
        ASSERT_EQ(cli.Run("vprinter add 'THERMAL #1'").status, 0);
        logoA = cli.Root() / "a.bmp";
        logoB = cli.Root() / "b.bmp";
        test::WriteFile(logoA.string(), test::Make24(100, 50, [](int, int) {
                            return test::Bgr{0, 0, 0};
                        }));
        test::WriteFile(logoB, test::MakeBlackOnWhite(
                                   512, 48, [](int x, int y) { return (x / 8 + y / 8) % 2 != 0; }));
    }
    fs::path Printer() const { return cli.DataHome() / "printers" / "THERMAL #1"; }
    std::vector<uint8_t> Job(int n) const {
        char name[16];
        std::snprintf(name, sizeof name, "%06d.bin", n);
        return ReadAll(Printer() / "jobs" / name);
    }

    test::CliRunner cli;
    fs::path logoA, logoB;
};

TEST_F(ControlCli, UploadPrintAllEraseOnAVirtualPrinter) {
    const auto upload =
        cli.Run("upload --printer 'THERMAL #1' " + cli.Quote(logoA) + " " + cli.Quote(logoB));
    ASSERT_EQ(upload.status, 0) << upload.err;
    EXPECT_NE(upload.err.find("image 2 of 2"), std::string::npos) << upload.err;
    const auto job1 = Job(1);
    ASSERT_EQ(job1.size(), 2u + 3 + 4 + 728 + 4 + 3072);
    EXPECT_EQ(std::vector<uint8_t>(job1.begin(), job1.begin() + 9),
              (std::vector<uint8_t>{0x1B, 0x40, 0x1C, 0x71, 0x02, 0x0D, 0x00, 0x07, 0x00}));
    EXPECT_TRUE(fs::exists(Printer() / "nv" / "001.png"));
    EXPECT_TRUE(fs::exists(Printer() / "nv" / "002.png"));

    ASSERT_EQ(cli.Run("print --printer 'THERMAL #1' --all").status, 0);
    const auto job2 = Job(2);
    ASSERT_EQ(job2.size(), 255u * 4 + 4);
    EXPECT_EQ(job2[4 * 254 + 2], 0xFF);
    EXPECT_TRUE(fs::exists(Printer() / "paper" / "000002-1.png"));

    ASSERT_EQ(cli.Run("erase --printer 'THERMAL #1'").status, 0);
    EXPECT_EQ(Job(3),
              (std::vector<uint8_t>{0x1C, 0x65, 0x1C, 0x70, 0xE8, 0x30, 0x1D, 0x56, 0x42, 0x01}));
    EXPECT_FALSE(fs::exists(Printer() / "nv" / "001.png"));
    // The erase switched the driver's logo commands off.
    const auto record = ReadAll(Printer() / "driver-data" / "TTY DeviceConfig");
    ASSERT_EQ(record.size(), 1480u);
    EXPECT_EQ(record[1204], 0);
    EXPECT_EQ(record[1248], 0);
}

TEST_F(ControlCli, ResultsBecomeExitStatuses) {
    const fs::path none = cli.Root() / "none.bmp";
    const fs::path fifo = cli.Root() / "fifo.bmp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(cli.Run("vprinter add 'THERMAL #2' --nv-capacity 1000").status, 0);
    struct Case {
        std::string args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"info " + cli.Quote(logoA), 0, ""},
        {"info " + cli.Quote(none), 1, none.string() + ": file not found"},
        {"preview " + cli.Quote(none), 1, "no preview was written: " + none.string()},
        // A FIFO is refused at once instead of waiting for a writer.
        {"preview " + cli.Quote(fifo), 1, fifo.string() + ": not a regular file"},
        {"upload --printer 'THERMAL #7' " + cli.Quote(logoA), 2, "THERMAL #1"},
        // The printer's own words for a job it failed.
        {"upload --printer 'THERMAL #2' " + cli.Quote(logoB), 3,
         "can not be transmitted: \"THERMAL #2\": job 000001: FS q 1: 3076 bytes exceed the NV "
         "capacity of 1000 bytes"},
        {"print --printer 'THERMAL #1' --range 1-300", 1, "1 <= FIRST <= LAST <= 255"},
        {"print --printer 'THERMAL #1' --range 250-260", 1, "1 <= FIRST <= LAST <= 255"},
        {"upload --printer 'THERMAL #1' " + cli.Quote(logoA) + " " + cli.Quote(none), 1,
         "nothing was sent: " + none.string() + ": file not found"},
        {"print --printer 'THERMAL #1' --all --image 2", 1, "exactly one of"},
        {"preview --mode sharp " + cli.Quote(logoA), 1, "--mode is none or diffusion"},
        {"upload " + cli.Quote(logoA), 1, "--printer NAME is required"},
        {"print --printer 'THERMAL #1' --image 2 --size 4", 1, "--size is 0, 1, 2 or 3"},
        {"preview --fit 4 " + cli.Quote(logoA), 1, "--fit is a width in dots from 8 to 8184"},
        {"preview --dither sharp " + cli.Quote(logoA), 1, "--dither is threshold, stucki,"},
        {"preview --mode none --dither bayer " + cli.Quote(logoA), 1, "not both"},
        {"preview --threshold 40 " + cli.Quote(logoA), 1, "--threshold goes with --dither"},
        {"preview --scale 1 " + cli.Quote(logoA), 1, "--scale is a whole number from 2 to 16"},
        {"upload --printer 'THERMAL #1' --fit 576 " + cli.Quote(none), 1,
         "nothing was sent: " + none.string() + ": file not found"},
    };
    for (const Case& c : cases) {
        const auto run = cli.Run(c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.args << "\n" << run.err;
        if (c.status != 0) {
            EXPECT_EQ(run.out, "") << c.args;
        }
    }
    EXPECT_EQ(cli.Run("info " + cli.Quote(logoA)).out, "bits=24 height=50 width=100\n");
    // Refusals sent nothing: no job at all reached the printer.
    EXPECT_TRUE(fs::is_empty(Printer() / "jobs"));
}

TEST_F(ControlCli, PreviewWritesIntoTheCurrentFolder) {
    const auto run = cli.Run("preview --mode diffusion --brightness 7 " + cli.Quote(logoB));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, (cli.Root() / "Temp.bmp").string() + "\n");
    EXPECT_EQ(ReadAll(cli.Root() / "Temp.bmp").size(), 62u + 64 * 48);
    EXPECT_TRUE(fs::exists(cli.Root() / "TempTe.bmp"));
}

TEST_F(ControlCli, UnregisterLeavesNothingAndTheCommandsSaySo) {
    ASSERT_EQ(cli.Run("unregister " + cli.Quote(TESSALINE_CONTROL_PATH)).status, 0);
    EXPECT_FALSE(fs::exists(cli.Root() / "config" / "tessaline" / "components.reg"));
    const auto run = cli.Run("info " + cli.Quote(logoA));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("TESSALINE.TessalineCtrl.1"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("tessaline-cli register"), std::string::npos) << run.err;
}

TEST_F(ControlCli, EveryCommandHasHelp) {
    for (const char* command :
         {"register", "unregister", "info", "preview", "upload", "print", "erase", "describe"}) {
        const auto run = cli.Run(std::string(command) + " --help");
        EXPECT_EQ(run.status, 0) << command;
        EXPECT_EQ(run.out.rfind(std::string("Usage: tessaline-cli ") + command, 0), 0u) << run.out;
        EXPECT_NE(run.out.find("Exit status: 0 done; 1 wrong command line or unreadable input; "
                               "2 the printer is\nnot installed; 3 the request was not carried "
                               "out"),
                  std::string::npos)
            << run.out;
    }
}

TEST_F(ControlCli, DescribeShowsTheTypeLibrary) {
    const auto run = cli.Run("describe");
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* line :
         {"library TESSALINELib 1.0", "[id 1] long BitmapInfo(BSTR NVImage, long* BitsPixel",
          "[id 2] BSTR Preview(BSTR PreviewName, short ImageMode, short Brightness)",
          "[id 3] long Print(long Printer, BSTR PrinterName, long Range, long Mode, long lngEnd)",
          "[id 4] long Upload(long Printer, BSTR PrinterName, BSTR NVImage, long ImageMode, long "
          "Brightness)",
          "[id 5] BSTR ErrorText()", "[id 1] void Progress(long Data)", "coclass Tessaline",
          "flags control creatable"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
    }
}

} // namespace
} // namespace tessaline

namespace tessaline {
namespace {

// A PNG logo with a transparent background and the BMP file of the same
// pixels over white send the same bytes; fitting and the further dithers
// reach the printer and the preview.
TEST_F(ControlCli, PicturesFitAndDithersReachThePrinter) {
    const auto alpha = [](int x, int y) { return (x + y) % 9 == 0 ? 0 : (x * 3) % 256; };
    const auto png = cli.Root() / "logo.png";
    const auto bmp = cli.Root() / "logo.bmp";
    test::WriteFile(png, test::MakePng({120, 40, 6, 8, false, {}, {}, {}, [&](int x, int y) {
                                            return std::array<uint16_t, 4>{uint16_t(y * 6), 0,
                                                                           uint16_t(x),
                                                                           uint16_t(alpha(x, y))};
                                        }}));
    test::WriteFile(bmp, test::Make24(120, 40, [&](int x, int y) {
                        const auto over = [&](int c) {
                            return uint8_t((c * alpha(x, y) + 255 * (255 - alpha(x, y)) + 127) /
                                           255);
                        };
                        return test::Bgr{over(x), over(0), over(y * 6)};
                    }));
    const auto wide = cli.Root() / "wide.gif";
    test::WriteFile(
        wide, test::MakeGif({2000, 80, {{0, 0, 0}, {255, 255, 255}}, 1, false, [](int x, int) {
                                 return uint8_t(x % 3 == 0 ? 0 : 1);
                             }}));
    const std::string to = "upload --printer 'THERMAL #1' ";
    const struct {
        std::string args;
        int sameAsJob; // 0: no other job to match
    } runs[] = {
        {to + "--mode diffusion " + cli.Quote(bmp), 0},
        {to + "--mode diffusion " + cli.Quote(png), 1},
        {to + "--dither stucki " + cli.Quote(png), 1},
        {to + cli.Quote(bmp), 0},
        {to + "--fit 576 " + cli.Quote(png), 4}, // narrower than the paper: as it is
        {to + "--fit 576 --dither atkinson " + cli.Quote(wide), 0},
    };
    for (const auto& r : runs) {
        const auto run = cli.Run(r.args);
        ASSERT_EQ(run.status, 0) << r.args << "\n" << run.err;
    }
    EXPECT_EQ(Job(2), Job(1));
    EXPECT_EQ(Job(3), Job(1));
    EXPECT_EQ(Job(5), Job(4));
    // 2000 x 80 dots fitted to 576 x 23: 72 x 3 eight-dot units.
    const auto fitted = Job(6);
    ASSERT_GE(fitted.size(), 9u);
    EXPECT_EQ(std::vector<uint8_t>(fitted.begin() + 5, fitted.begin() + 9),
              (std::vector<uint8_t>{72, 0, 3, 0}));
    EXPECT_EQ(fitted.size(), 9u + 576 * 24 / 8);

    const auto preview =
        cli.Run("preview --fit 576 --dither floyd-steinberg --scale 3 " + cli.Quote(wide));
    ASSERT_EQ(preview.status, 0) << preview.err;
    EXPECT_EQ(preview.out, (cli.Root() / "Temp.bmp").string() + "\n" +
                               (cli.Root() / "Temp-x3.bmp").string() + "\n");
    EXPECT_EQ(ReadAll(cli.Root() / "Temp.bmp").size(), 62u + 72 * 23);
    EXPECT_EQ(ReadAll(cli.Root() / "Temp-x3.bmp").size(), 62u + 216 * 69);
    EXPECT_EQ(cli.Run("info " + cli.Quote(png)).out, "bits=32 height=40 width=120\n");
    EXPECT_EQ(cli.Run("info " + cli.Quote(wide)).out, "bits=8 height=80 width=2000\n");
}

} // namespace
} // namespace tessaline
