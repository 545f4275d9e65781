// SPDX-License-Identifier: MIT
// tessaline-cli's control commands, run as a user runs them: the real binary,
// the control library registered in a private registry, a virtual printer.
#include "escpos/Png.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/Bytes.h"
#include "tests/support/CliRunner.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/PictureBuilder.h"
#include "tests/support/ServedPrinter.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <iterator>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>

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
    fs::path Printer(const std::string& name = "THERMAL #1") const {
        return cli.DataHome() / "printers" / name;
    }
    std::vector<uint8_t> Job(int n, const std::string& printer = "THERMAL #1") const {
        char name[16];
        std::snprintf(name, sizeof name, "%06d.bin", n);
        return ReadAll(Printer(printer) / "jobs" / name);
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
        // CUPS points nowhere here: a printer that is not a virtual one may be on it.
        {"upload --printer 'THERMAL #7' " + cli.Quote(logoA), 3,
         "CUPS is not reachable at " + (cli.Root() / "no-cups.sock").string()},
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
        {"preview --dither bayer --threshold 40 " + cli.Quote(logoA), 1,
         "--threshold goes with --dither threshold, not with --dither bayer"},
        {"preview --mode diffusion --threshold 40 " + cli.Quote(logoA), 1,
         "not with --mode stucki"},
        {"preview --dither stucki --dither bayer " + cli.Quote(logoA), 1, "--dither given twice"},
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
          "[id 5] BSTR ErrorText()",
          "[id 6] long StoreGraphic(BSTR PrinterName, BSTR Key, BSTR FileName, long ImageMode, "
          "long Brightness)",
          "[id 7] long PrintGraphic(BSTR PrinterName, BSTR Key, long ScaleX, long ScaleY)",
          "[id 8] long DeleteGraphic(BSTR PrinterName, BSTR Key)",
          "[id 9] BSTR GraphicKeys(BSTR PrinterName)",
          "[id 10] long SetAutoLogo(BSTR PrinterName, BSTR TopKey, BSTR BottomKey, BSTR Align)",
          "[id 11] BSTR AutoLogo(BSTR PrinterName)", "[id 1] void Progress(long Data)",
          "coclass Tessaline", "flags control creatable"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
    }
}

// The same commands through a printer's address: the bytes that arrive are
// the spooler path's, and nothing touches a driver record.
TEST_F(ControlCli, UploadPrintAndStatusThroughSocketEqualTheSpoolerPath) {
    ASSERT_EQ(cli.Run("vprinter add NET").status, 0);
    test::ServedPrinter served(cli, "NET");
    ASSERT_FALSE(served.Address().empty());
    const std::string files = cli.Quote(logoA) + " " + cli.Quote(logoB);
    const std::string exported = (cli.Root() / "job.bin").string();
    struct Step {
        const char* args;
    };
    const Step steps[] = {{"upload --mode diffusion %s "}, {"print --all %s"}, {"erase %s"}};
    int job = 0;
    for (const Step& step : steps) {
        ++job;
        std::string args = step.args;
        const bool upload = args.rfind("upload", 0) == 0;
        auto with = [&](const std::string& printer) {
            std::string a = args;
            a.replace(a.find("%s"), 2, "--printer " + cli.Quote(printer));
            return upload ? a + files : a;
        };
        const auto spooled = cli.Run(with("THERMAL #1"));
        ASSERT_EQ(spooled.status, 0) << spooled.err;
        const auto direct = cli.Run(with(served.Address()));
        ASSERT_EQ(direct.status, 0) << args << ": " << direct.err;
        const auto toFile = cli.Run(with("file://" + exported));
        ASSERT_EQ(toFile.status, 0) << args << ": " << toFile.err;
        // The printer runs the job once it has it all, after the sender is gone.
        const fs::path netJob = Printer("NET") / "jobs" / ("00000" + std::to_string(job) + ".bin");
        for (int i = 0; i < 1000 && !fs::exists(netJob); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_EQ(Job(job, "NET"), Job(job)) << args;
        EXPECT_EQ(ReadAll(exported), Job(job)) << args;
    }
    // A file answers nothing, and asking leaves it as it was.
    EXPECT_EQ(cli.Run("status file://" + exported).status, 3);
    EXPECT_EQ(ReadAll(exported), Job(3));
    EXPECT_FALSE(fs::exists(Printer("NET") / "driver-data" / "TTY DeviceConfig"));
    EXPECT_TRUE(fs::exists(Printer() / "driver-data"));

    const auto status = cli.Run("status " + served.Address());
    EXPECT_EQ(status.status, 0) << status.err;
    EXPECT_NE(status.out.find("Ready:          yes"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("Serial number:  NET"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("NV graphics:    262144 bytes, 262144 free"), std::string::npos);
    { std::ofstream(Printer("NET") / "status") << "paper-end\n"; }
    const auto json = cli.Run("status --json " + served.Address());
    EXPECT_EQ(json.status, 3);
    EXPECT_NE(json.out.find("\"ready\": false, \"conditions\": [\"off-line\", \"paper end\"]"),
              std::string::npos)
        << json.out;
    EXPECT_EQ(served.Stop(), 0);
}

// Sends `bytes` to the printer at socket://127.0.0.1:PORT as one job and
// waits until it closes the connection.
bool SendJob(const std::string& address, const std::vector<uint8_t>& bytes) {
    const size_t colon = address.rfind(':');
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(std::stoi(address.substr(colon + 1))));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    for (size_t at = 0; sent && at < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        sent = n > 0;
        at += sent ? static_cast<size_t>(n) : 0;
    }
    ::shutdown(fd, SHUT_WR);
    char ignored[256];
    pollfd p{fd, POLLIN, 0};
    while (sent && ::poll(&p, 1, 10000) > 0 && ::read(fd, ignored, sizeof ignored) > 0) {
    }
    ::close(fd);
    return sent;
}

TEST_F(ControlCli, PrintersThatRefuseOrStopAnsweringFailWithTheReason) {
    ASSERT_EQ(cli.Run("vprinter add MUTE --answers none --nv-graphics 0").status, 0);
    ASSERT_EQ(cli.Run("vprinter add BUSY --write-ms 8000").status, 0);
    ASSERT_EQ(cli.Run("vprinter add SLOW --write-ms 1500").status, 0);
    // Busier than the ten seconds an upload waits for it after its NV write.
    ASSERT_EQ(cli.Run("vprinter add SILENT --write-ms 12000").status, 0);
    std::string refused;
    {
        test::ServedPrinter gone(cli, "MUTE");
        ASSERT_EQ(gone.Stop(), 0);
        refused = gone.Address();
    }
    const auto status = cli.Run("status " + refused);
    EXPECT_EQ(status.status, 3);
    EXPECT_NE(status.err.find(refused + ": connection refused"), std::string::npos) << status.err;
    const auto upload = cli.Run("upload --printer " + refused + " " + cli.Quote(logoA));
    EXPECT_EQ(upload.status, 3);
    EXPECT_NE(upload.err.find(refused + ": connection refused"), std::string::npos) << upload.err;
    EXPECT_EQ(cli.Run("status socket://127.0.0.1:99999").status, 1);
    EXPECT_EQ(cli.Run("erase --printer socket://[::1").status, 1);

    test::ServedPrinter mute(cli, "MUTE");
    const auto silent = cli.Run("status --read-timeout 200 " + mute.Address());
    EXPECT_EQ(silent.status, 3);
    EXPECT_NE(silent.err.find("no answer within 200 ms"), std::string::npos) << silent.err;
    EXPECT_NE(silent.out.find("No answer to:   printer status (DLE EOT 1)"), std::string::npos);

    // Busy writing its NV memory after the first upload, it takes no bytes:
    // the second upload, far larger than the system's buffers, fails.
    const fs::path big = cli.Root() / "big.bmp";
    test::WriteFile(
        big, test::Make1(1024, 1536, test::Bgra{0, 0, 0, 0}, test::Bgra{255, 255, 255, 0},
                         [](int x, int y) { return static_cast<uint8_t>((x + y) % 3 == 0); }));
    std::string many;
    for (int i = 0; i < 60; ++i) {
        many += ' ';
        many += cli.Quote(big);
    }
    // The upload waits for the printer to answer once its NV write is done,
    // so the next question finds it ready.
    test::ServedPrinter slow(cli, "SLOW");
    const auto waited = cli.Run("upload --printer " + slow.Address() + " " + cli.Quote(logoA));
    ASSERT_EQ(waited.status, 0) << waited.err;
    // Taken, never "stored": FS q images cannot be read back.
    EXPECT_NE(waited.err.find("sent (the printer cannot confirm NV bit images)"), std::string::npos)
        << waited.err;
    EXPECT_EQ(cli.Run("status --read-timeout 200 " + slow.Address()).status, 0);
    EXPECT_EQ(slow.Stop(), 0);

    test::ServedPrinter quiet(cli, "SILENT");
    const auto sent = cli.Run("upload --printer " + quiet.Address() + " " + cli.Quote(logoA));
    EXPECT_EQ(sent.status, 3) << sent.err;
    EXPECT_NE(sent.err.find("upload: sent, not verified: " + quiet.Address() +
                            " did not answer within 10 s of the NV write"),
              std::string::npos)
        << sent.err;
    EXPECT_EQ(sent.err.find("stored"), std::string::npos) << sent.err;
    EXPECT_EQ(quiet.Stop(), 0);

    // Another sender's upload keeps it busy.
    const fs::path job = cli.Root() / "upload.bin";
    ASSERT_EQ(cli.Run("upload --printer file://" + job.string() + " " + cli.Quote(logoA)).status,
              0);
    test::ServedPrinter busy(cli, "BUSY");
    ASSERT_TRUE(SendJob(busy.Address(), ReadAll(job)));
    const auto stalled = cli.Run("upload --read-timeout 300 --printer " + busy.Address() + many);
    EXPECT_EQ(stalled.status, 3);
    EXPECT_NE(stalled.err.find(busy.Address() + ": the printer took no bytes within 300 ms"),
              std::string::npos)
        << stalled.err;
    const auto asked = cli.Run("status --read-timeout 200 " + busy.Address());
    EXPECT_EQ(asked.status, 3);
    // The broken job never runs once the printer is free again.
    const std::string log = busy.Output(std::chrono::milliseconds(15000), "the job is dropped");
    EXPECT_NE(log.find("connection broken after"), std::string::npos) << log;
    EXPECT_EQ(busy.Stop(), 0);
    const auto show = cli.Run("vprinter show BUSY");
    EXPECT_NE(show.out.find("Jobs:            1"), std::string::npos) << show.out;
}

// NV graphics by key through a printer's address, each step checked against
// what the printer then holds; a spooler queue gets the same bytes blind.
TEST_F(ControlCli, NvGraphicsStoredListedPrintedAndDeletedByKey) {
    ASSERT_EQ(cli.Run("vprinter add NET --nv-graphics 1500").status, 0);
    test::ServedPrinter served(cli, "NET");
    ASSERT_FALSE(served.Address().empty());
    const std::string at = ' ' + served.Address() + ' ';
    const std::string a = ' ' + cli.Quote(logoA); // 100 x 50 dots: 13 bytes a row, 650 bytes
    struct Step {
        std::string args;
        int status;
        std::string says;
    };
    const Step steps[] = {
        {"nv store" + at + "A1" + a, 0, "stored A1 (100 x 50 dots, 650 bytes; 850 bytes free)"},
        {"nv store" + at + "A1" + a, 0, "stored A1 (100 x 50 dots, 650 bytes; 850 bytes free)"},
        {"nv store" + at + "'  '" + a, 0,
         "stored \"  \" (two blanks) (100 x 50 dots, 650 bytes; "
         "200 bytes free)"},
        {"nv store" + at + "B2" + a, 3,
         "B2 does not fit: " + logoA.string() + " takes 650 bytes and " + served.Address() +
             " has 200 of 1,500 bytes free; nothing sent"},
        // NV bit images would erase the graphics the printer's record says it holds.
        {"upload --printer" + at + a, 3,
         "upload: nothing was sent: " + served.Address() +
             " holds NV graphics (the last change recorded: store of NV graphic \"  \" (two "
             "blanks)), which storing NV bit images erases; give --replace-other-logos to replace "
             "them"},
        {"nv list" + at, 0,
         "Keys:         \"  \" (two blanks), A1 (2)\nNV graphics:  1,500 "
         "bytes, 200 free\n"},
        {"nv list --json" + at, 0, "\"keys\": [\"  \", \"A1\"], \"total\": 1500, \"free\": 200}"},
        {"nv print" + at + "A1 --scale 2x1", 0,
         "sent the print of A1 at 2x1; the printer holds A1"},
        {"nv print" + at + "ZZ", 3, "holds no graphic ZZ: nothing printed"},
        {"nv delete" + at + "A1", 0, "deleted A1 (850 bytes free)"},
        {"nv delete" + at + "--all", 0, "deleted every NV graphic (1,500 bytes free)"},
        {"nv list" + at, 0, "Keys:         none (0)"},
    };
    for (const Step& step : steps) {
        const auto run = cli.Run(step.args);
        EXPECT_EQ(run.status, step.status) << step.args << "\n" << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(step.says), std::string::npos) << step.args << "\n"
                                                                          << run.out << run.err;
        // Only a store to a printer holding no graphics yet warns of the bit images.
        EXPECT_EQ(run.out.find("warning: on many printers") != std::string::npos,
                  &step == &steps[0])
            << step.args;
    }
    const std::string log = served.Output(std::chrono::milliseconds(3000), "every NV graphic");
    EXPECT_NE(log.find("\"A1\": printed at 2x1, 200x50 dots"), std::string::npos) << log;

    // Through a spooler queue: the bytes `nv command` writes, sent blind.
    const auto blind = cli.Run("nv store 'THERMAL #1' A1" + a);
    EXPECT_EQ(blind.status, 0) << blind.err;
    EXPECT_NE(blind.out.find("sent blind through the spooler queue \"THERMAL #1\""),
              std::string::npos)
        << blind.out;
    const auto bytes = cli.Run("nv command --store A1" + a);
    ASSERT_EQ(bytes.status, 0) << bytes.err;
    EXPECT_EQ(Job(1), std::vector<uint8_t>(bytes.out.begin(), bytes.out.end()));
    EXPECT_EQ(bytes.out.size(), 7u + 9 + 650);
    // Asked to, the upload replaces them.
    ASSERT_EQ(cli.Run("nv store" + at + "A1" + a).status, 0);
    const auto replaced = cli.Run("upload --replace-other-logos --printer" + at + a);
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    const auto left = cli.Run("nv list --json" + at);
    EXPECT_NE(left.out.find("\"keys\": []"), std::string::npos) << left.out;
    EXPECT_EQ(served.Stop(), 0);
}

// The same steps on a StarPRNT printer, its language given once and kept:
// the key list after each step, and each stored graphic read back and
// compared; a Line Mode printer and a language other than the one kept are
// refused before anything is sent.
TEST_F(ControlCli, NvGraphicsOnAStarPrntPrinterAreReadBack) {
    ASSERT_EQ(cli.Run("vprinter add STAR --commands star-prnt").status, 0);
    ASSERT_EQ(cli.Run("vprinter add LINE --commands star-line").status, 0);
    test::ServedPrinter served(cli, "STAR"), line(cli, "LINE");
    ASSERT_FALSE(served.Address().empty() || line.Address().empty());
    const std::string at = ' ' + served.Address() + ' ';
    const std::string a = ' ' + cli.Quote(logoA);
    struct Step {
        std::string args;
        int status;
        std::string says;
    };
    const Step steps[] = {
        // Nothing kept yet: ESC/POS questions get no answer from a Star printer.
        {"nv list --read-timeout 300" + at, 3, "does not answer"},
        // Asked, it answers as a StarPRNT printer, which is kept for it.
        {"nv store --commands auto" + at + "A1" + a, 0, "stored A1 (100 x 50 dots, 650 bytes)\n"},
        {"nv store" + at + "B2" + a, 0, "stored B2 (100 x 50 dots, 650 bytes)\n"},
        {"nv list" + at, 0, "Keys:         A1, B2 (2)\n"},
        {"nv list --json" + at, 0, "\"keys\": [\"A1\", \"B2\"], \"total\": null, \"free\": null}"},
        {"nv print" + at + "A1 --scale 2x2", 0,
         "sent the print of A1 at 2x2; the printer holds A1"},
        {"nv print" + at + "ZZ", 3, "holds no graphic ZZ: nothing printed"},
        {"nv store --commands esc-pos" + at + "C3" + a, 1, "takes star-prnt (kept in "},
        {"nv delete" + at + "A1", 0, "deleted A1\n"},
        {"nv delete" + at + "--all", 0, "deleted every NV graphic\n"},
        {"nv list" + at, 0, "Keys:         none (0)"},
        {"nv store --commands star-line " + line.Address() + " A1" + a, 1,
         "--commands is esc-pos, star-prnt or auto"},
        {"nv list --commands auto --read-timeout 300 " + line.Address(), 1,
         "speaks Star Line Mode, which keeps numbered logos"},
        {"nv store --commands star-prnt " + line.Address() + " A1" + a, 1,
         "takes star-line (kept in "},
        {"upload --commands star-line --printer LINE" + a, 0, ""},
        {"nv store LINE A1" + a, 1, "\"LINE\" speaks Star Line Mode, which keeps numbered logos"},
    };
    for (const Step& step : steps) {
        const auto run = cli.Run(step.args);
        EXPECT_EQ(run.status, step.status) << step.args << "\n" << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(step.says), std::string::npos) << step.args << "\n"
                                                                          << run.out << run.err;
        EXPECT_EQ(run.out.find("warning: on many printers"), std::string::npos) << step.args;
    }
    const std::string log = served.Output(std::chrono::milliseconds(3000), "every NV graphic");
    EXPECT_NE(log.find("\"A1\": printed at 2x2"), std::string::npos) << log;
    // The bytes nv command writes for a StarPRNT printer: ESC/POS's behind an ESC.
    const auto escPos = cli.Run("nv command --store A1" + a);
    const auto star = cli.Run("nv command --commands star-prnt --store A1" + a);
    ASSERT_EQ(star.status, 0) << star.err;
    EXPECT_EQ(star.out, "\x1b" + escPos.out);
    EXPECT_EQ(served.Stop(), 0);
    EXPECT_EQ(line.Stop(), 0);
}

// Star Line Mode through an address: the registration goes whole, refused
// whole with the figures where it cannot; after it the printer is asked its
// own automatic status (DLE EOT would make the job one it does not
// understand) and then holds every logo.
TEST_F(ControlCli, StarLineLogosGoWholeThroughAnAddress) {
    ASSERT_EQ(cli.Run("vprinter add SLA --commands star-line").status, 0);
    test::ServedPrinter served(cli, "SLA");
    ASSERT_FALSE(served.Address().empty());
    const std::string at = ' ' + served.Address() + ' ';
    const std::string a = ' ' + cli.Quote(logoA), b = ' ' + cli.Quote(logoB);
    const fs::path tall = cli.Root() / "tall.bmp";
    test::WriteFile(tall, test::Make24(8, 2400, [](int, int) { return test::Bgr{0, 0, 0}; }));
    std::string many;
    for (int i = 0; i < 256; ++i) {
        many += a;
    }
    const struct {
        std::string args;
        int status;
        std::string says;
        std::string holds; // what vprinter show says afterwards
    } steps[] = {
        {"upload --commands auto --printer" + at + a + b, 0,
         "sent (the printer cannot confirm NV bit images)", "Stored images:   2\n"},
        {"print --paper-width 576 --printer" + at + "--image 2", 0, "", "Stored images:   2\n"},
        {"upload --commands esc-pos --printer" + at + a, 1,
         "sending it esc-pos would mix two languages on one printer, refused",
         "Stored images:   2\n"},
        {"upload --printer" + at + many, 1,
         "the list names 256 logo files; the printer stores at most 255", "Stored images:   2\n"},
        {"upload --printer" + at + a + ' ' + cli.Quote(tall), 1,
         "(8 x 2400 dots; at most 8184 x 2304)", "Stored images:   2\n"},
        {"erase --printer" + at, 0, "", "Stored images:   1\n"},
    };
    for (const auto& step : steps) {
        const auto run = cli.Run(step.args);
        EXPECT_EQ(run.status, step.status) << step.args.substr(0, 200) << "\n"
                                           << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(step.says), std::string::npos)
            << step.args.substr(0, 200) << "\n"
            << run.out << run.err;
        std::string shown;
        for (int i = 0; i < 100 && shown.find(step.holds) == std::string::npos; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            shown = cli.Run("vprinter show SLA").out;
        }
        EXPECT_NE(shown.find(step.holds), std::string::npos) << step.args.substr(0, 200) << shown;
    }
    const std::string log = served.Output(std::chrono::milliseconds(3000), "printed logo 2");
    // Job 1 is the question auto asked; the registration, job 2, went whole.
    EXPECT_NE(log.find("000002 @0: ESC @"), std::string::npos) << log;
    for (size_t from = log.find("\n000002 "); from != std::string::npos;
         from = log.find("\n000002 ", from + 1)) {
        const std::string line = log.substr(from + 1, log.find('\n', from + 1) - from - 1);
        EXPECT_EQ(line.find("not understood"), std::string::npos) << line;
    }
    EXPECT_EQ(served.Stop(), 0);
}

// A Star Line Mode printer on 127.0.0.1 as a test scripts it, for one
// connection: ready to ESC ACK SOH until a registration (ESC FS q) has come
// whole, then as `after` says. Its receive buffer is small, so a sender
// feels at once when it stops reading.
class ScriptedStarLine {
public:
    enum class After {
        OffLine,      // busy: every automatic status after it says off-line
        Silent,       // its reset never ends: it answers nothing after it
        StopsReading, // busy part-way through the registration: it takes no more bytes
    };
    explicit ScriptedStarLine(After after) : m_after(after) {
        // A small receive buffer, so a printer that stops reading stops the sender soon.
        m_port = test::ListenOnLoopback(m_listen, 4096);
        if (m_port == 0) {
            return;
        }
        m_thread = std::thread([this] { Serve(); });
    }
    ~ScriptedStarLine() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        ::close(m_listen);
    }
    std::string Address() const { return "socket://127.0.0.1:" + std::to_string(m_port); }

private:
    // Where the registration starting at `at` ends, once it is all in `got`.
    static std::optional<size_t> RegistrationEnd(const std::vector<uint8_t>& got, size_t at) {
        if (at + 4 > got.size()) {
            return std::nullopt;
        }
        size_t p = at + 4;
        for (unsigned k = 0; k < got[at + 3]; ++k) {
            if (p + 4 > got.size()) {
                return std::nullopt;
            }
            const size_t across = got[p] | size_t{got[p + 1]} << 8;
            const size_t down = got[p + 2] | size_t{got[p + 3]} << 8;
            p += 4 + 8 * across * down;
        }
        return p <= got.size() ? std::optional<size_t>(p) : std::nullopt;
    }

    void Serve() {
        pollfd wait{m_listen, POLLIN, 0};
        while (!m_stop && ::poll(&wait, 1, 50) == 0) {
        }
        if (m_stop) {
            return;
        }
        const int peer = ::accept(m_listen, nullptr, nullptr);
        const std::vector<uint8_t> define = {0x1B, 0x1C, 0x71}, ask = {0x1B, 0x06, 0x01};
        std::vector<uint8_t> got;
        std::optional<size_t> start, end;
        size_t asked = 0;
        while (!m_stop) {
            if (m_after == After::StopsReading && start && got.size() > *start + 1000) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                continue;
            }
            pollfd in{peer, POLLIN, 0};
            if (::poll(&in, 1, 50) <= 0) {
                continue;
            }
            uint8_t buffer[1024];
            const ssize_t n = ::read(peer, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
            if (!start) {
                const auto found =
                    std::search(got.begin(), got.end(), define.begin(), define.end());
                if (found != got.end()) {
                    start = static_cast<size_t>(found - got.begin());
                }
            }
            if (start && !end) {
                end = RegistrationEnd(got, *start);
                asked = end.value_or(0);
            }
            // Questions come before the registration or after it, never inside its dots.
            std::vector<uint8_t> reply;
            const size_t from = start ? asked : 0;
            for (auto at = got.begin() + static_cast<std::ptrdiff_t>(from);
                 (!start || end) &&
                 (at = std::search(at, got.end(), ask.begin(), ask.end())) != got.end();
                 at += 3) {
                asked = static_cast<size_t>(at - got.begin()) + 3;
                if (!end || m_after == After::OffLine) {
                    const uint8_t offline = end ? 0x08 : 0x00;
                    reply.insert(reply.end(), {0x23, 0x06, offline, 0, 0, 0, 0, 0, 0});
                }
            }
            if (!reply.empty() && ::send(peer, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) {
                break;
            }
        }
        ::close(peer);
    }

    After m_after;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A Star Line Mode printer that goes busy while it registers the logos, or
// whose reset never ends, has not shown it holds them: each upload is a
// failure or "sent, not verified" with the figures, never "sent" as done.
TEST_F(ControlCli, AStarRegistrationNotSeenToEndIsNeverDone) {
    const fs::path big = cli.Root() / "big.bmp";
    test::WriteFile(
        big, test::Make1(1024, 1536, test::Bgra{0, 0, 0, 0}, test::Bgra{255, 255, 255, 0},
                         [](int x, int y) { return static_cast<uint8_t>((x + y) % 3 == 0); }));
    std::string many;
    for (int i = 0; i < 16; ++i) {
        many += ' ';
        many += cli.Quote(big);
    }
    const std::string two = ' ' + cli.Quote(logoA) + ' ' + cli.Quote(logoB);
    using After = ScriptedStarLine::After;
    const struct {
        After after;
        std::string command; // before the address
        std::string logos;   // after it
        std::string says;
    } cases[] = {
        {After::OffLine, "upload", two,
         " was still off-line (off-line) 10 s after the NV write (upload of 2 NV bit images)"},
        {After::Silent, "upload", two,
         " did not answer within 10 s of the NV write (upload of 2 NV bit images)"},
        {After::StopsReading, "upload", many, "the printer took no bytes within 300 ms ("},
        // The erase registers one blank logo.
        {After::OffLine, "erase", "",
         " was still off-line (off-line) 10 s after the NV write (erase of every NV bit image)"},
    };
    // Each waits out the time a printer gets to answer: at once, each in a
    // home of its own.
    std::vector<std::unique_ptr<ScriptedStarLine>> printers;
    std::vector<std::unique_ptr<test::CliRunner>> homes;
    std::vector<std::future<test::CliResult>> runs;
    for (const auto& c : cases) {
        printers.push_back(std::make_unique<ScriptedStarLine>(c.after));
        homes.push_back(std::make_unique<test::CliRunner>());
        ASSERT_EQ(homes.back()->Run("register " + cli.Quote(TESSALINE_CONTROL_PATH)).status, 0);
        const std::string args = c.command + " --commands star-line --read-timeout 300 --printer " +
                                 printers.back()->Address() + c.logos;
        runs.push_back(std::async(std::launch::async,
                                  [home = homes.back().get(), args] { return home->Run(args); }));
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        const auto run = runs[i].get();
        const std::string at = printers[i]->Address();
        EXPECT_EQ(run.status, 3) << at << "\n" << run.err;
        EXPECT_NE(run.err.find(cases[i].says), std::string::npos) << at << "\n" << run.err;
        EXPECT_EQ(run.err.find("sent (the printer cannot confirm"), std::string::npos) << run.err;
        if (cases[i].after != After::StopsReading) {
            EXPECT_NE(run.err.find(cases[i].command + ": sent, not verified: " + at),
                      std::string::npos)
                << run.err;
        }
    }
}

// status asks a Star printer in its own language where that is kept for the
// address; the conditions of its automatic status show as ESC/POS's do.
TEST_F(ControlCli, StatusSpeaksStarToAStarPrinter) {
    ASSERT_EQ(cli.Run("vprinter add SP --commands star-prnt").status, 0);
    ASSERT_EQ(cli.Run("vprinter add SL --commands star-line").status, 0);
    test::ServedPrinter prnt(cli, "SP"), line(cli, "SL");
    ASSERT_FALSE(prnt.Address().empty() || line.Address().empty());
    ASSERT_EQ(cli.Run("nv list --commands star-prnt " + prnt.Address()).status, 0);
    // Asked, the Line Mode printer answers as one, which is kept (and nv refuses it).
    ASSERT_EQ(cli.Run("nv list --commands auto --read-timeout 300 " + line.Address()).status, 1);
    const struct {
        std::string printer, conditions, args;
        int status;
        std::vector<std::string> says;
    } cases[] = {
        {"SP",
         "",
         "status " + prnt.Address(),
         0,
         {"Ready:          yes\nMaker:          Star\nModel:          VSTAR-PRNT\n",
          "Firmware:       Ver1.0\n"}},
        {"SL",
         "",
         "status --read-timeout 300 " + line.Address(),
         0,
         {"Ready:          yes\nMaker:          Star\nModel:          VSTAR-LINE\n"}},
        {"SP",
         "cover-open paper-near-end",
         "status --json " + prnt.Address(),
         3,
         {"\"answered\": true, \"ready\": false, \"conditions\": [\"off-line\", \"cover open\", "
          "\"paper near end\"], \"maker\": \"Star\", \"model\": \"VSTAR-PRNT\", \"firmware\": "
          "\"Ver1.0\""}},
        {"SL",
         "paper-end",
         "status --read-timeout 300 " + line.Address(),
         3,
         {"Ready:          no (off-line, paper end)\n"}},
        {"SP",
         "paper-near-end",
         "status " + prnt.Address(),
         0,
         {"Ready:          yes (paper near end)\n"}},
    };
    for (const auto& c : cases) {
        { std::ofstream(Printer(c.printer) / "status") << c.conditions << "\n"; }
        const auto run = cli.Run(c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out << run.err;
        for (const std::string& says : c.says) {
            EXPECT_NE(run.out.find(says), std::string::npos) << c.args << "\n" << run.out;
        }
    }
    EXPECT_EQ(prnt.Stop(), 0);
    EXPECT_EQ(line.Stop(), 0);
}

// A printer that answers nothing, or stops answering while it writes: the
// bytes go, and the tool says they were not verified.
TEST_F(ControlCli, NvGraphicsOnPrintersThatDoNotAnswerAreNotCalledStored) {
    ASSERT_EQ(cli.Run("vprinter add DUMB --answers none").status, 0);
    ASSERT_EQ(cli.Run("vprinter add SLOW --write-ms 1500").status, 0);
    test::ServedPrinter dumb(cli, "DUMB");
    const std::string a = ' ' + cli.Quote(logoA);
    const auto sent = cli.Run("nv store --read-timeout 200 " + dumb.Address() + " A1" + a);
    EXPECT_EQ(sent.status, 3);
    EXPECT_NE(sent.out.find("sent, not verified: " + dumb.Address() + " does not answer"),
              std::string::npos)
        << sent.out << sent.err;
    const auto quiet =
        cli.Run("nv delete --no-verify --read-timeout 200 " + dumb.Address() + " A1");
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(cli.Run("nv list --read-timeout 200 " + dumb.Address()).status, 3);
    const std::string log = dumb.Output(std::chrono::milliseconds(3000), "\"A1\": deleted");
    EXPECT_NE(log.find("\"A1\": stored"), std::string::npos) << log;
    EXPECT_NE(log.find("\"A1\": deleted"), std::string::npos) << log;

    // Answers before the store, then busy writing past the read timeout.
    test::ServedPrinter slow(cli, "SLOW");
    const auto busy = cli.Run("nv store --read-timeout 300 " + slow.Address() + " A1" + a);
    EXPECT_EQ(busy.status, 3);
    EXPECT_NE(busy.out.find("sent, not verified: " + slow.Address() + " does not answer"),
              std::string::npos)
        << busy.out << busy.err;
    // Given the time, the same printer says it kept the graphic.
    const auto patient = cli.Run("nv store --read-timeout 10000 " + slow.Address() + " B2" + a);
    EXPECT_EQ(patient.status, 0) << patient.out << patient.err;
    EXPECT_NE(patient.out.find("stored B2"), std::string::npos) << patient.out;
    EXPECT_EQ(dumb.Stop(), 0);
    EXPECT_EQ(slow.Stop(), 0);
}

// The automatic logo: set, read back, changed, cleared on a served printer;
// sent but not called set on one that does not answer or has no such function.
TEST_F(ControlCli, NvAutoSetsReadsBackAndClearsTheAutomaticLogo) {
    ASSERT_EQ(cli.Run("vprinter add NET").status, 0);
    ASSERT_EQ(cli.Run("vprinter add DUMB --answers none").status, 0);
    ASSERT_EQ(cli.Run("vprinter add OLD --nv-graphics 0").status, 0);
    test::ServedPrinter served(cli, "NET");
    test::ServedPrinter dumb(cli, "DUMB");
    test::ServedPrinter old(cli, "OLD");
    ASSERT_FALSE(served.Address().empty());
    const std::string at = ' ' + served.Address() + ' ';
    const std::string a = ' ' + cli.Quote(logoA);
    struct Step {
        std::string args;
        int status;
        std::string says;
    };
    const Step steps[] = {
        {"nv store" + at + "A1" + a, 0, "stored A1"},
        {"nv auto" + at, 0, "Top logo:     none\nBottom logo:  none\n"},
        {"nv auto" + at + "--top A1 --bottom A2", 0,
         "warning: " + served.Address() + " holds no NV graphic A2"},
        {"nv auto" + at, 0, "Top logo:     A1 (center)\nBottom logo:  A2 (center)\n"},
        {"nv auto" + at + "--top A1 --bottom A2", 0,
         "already set: top A1 (center), bottom A2 (center) (no NV write)"},
        {"nv auto" + at + "--top A1 --align right", 0, "set: top A1 (right) (2 NV writes)"},
        {"nv auto" + at + "--off", 0, "cleared: no automatic logo (1 NV write)"},
        {"nv auto" + at, 0, "Top logo:     none"},
        {"nv auto" + at + "--top A1 --align middle", 1, "--align is left, center or right"},
        {"nv auto" + at + "--off --top A1", 1, "--off takes no --top"},
        {"nv auto" + at + "--top ABC", 1, "--top: a key is two characters"},
        {"nv auto --read-timeout 200 " + dumb.Address() + " --top A1", 3,
         "sent, not verified: " + dumb.Address() + " does not answer what it prints by itself"},
        {"nv auto --read-timeout 200 " + dumb.Address(), 3, "does not answer"},
        {"nv auto --read-timeout 200 " + old.Address() + " --top A1", 3, "sent, not verified"},
        {"nv auto 'THERMAL #1' --top A1", 0,
         "sent, not verified: the spooler queue \"THERMAL #1\" carries no answer back"},
        {"nv auto 'THERMAL #1'", 3, "is a spooler queue"},
    };
    for (const Step& step : steps) {
        const auto run = cli.Run(step.args);
        EXPECT_EQ(run.status, step.status) << step.args << "\n" << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(step.says), std::string::npos) << step.args << "\n"
                                                                          << run.out << run.err;
    }
    EXPECT_EQ(served.Stop(), 0);
    EXPECT_EQ(dumb.Stop(), 0);
    EXPECT_EQ(old.Stop(), 0);
    // One store, then 2 + 0 + 2 + 1 writes of the settings, counted as the printer's own.
    EXPECT_NE(cli.Run("vprinter show NET").out.find("NV writes today: 6\n"), std::string::npos);
    // The queue got the commands that leave exactly a top logo A1.
    EXPECT_EQ(Job(1), test::Hex("1C 28 45 06 00 3E 02 41 31 31 00 1C 28 45 04 00 41 02 30 30 "
                                "1C 28 45 06 00 3C 02 31 43 4C 52"));
}

// usb: and serial: on a pseudo-terminal standing in for the device.
TEST_F(ControlCli, UsbAndSerialAddressesOnAPseudoTerminal) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    // The device answers every DLE EOT n with "ready" and keeps all else.
    std::vector<uint8_t> received;
    std::atomic<bool> stop{false};
    std::thread device([&] {
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0 || (p.revents & POLLIN) == 0) {
                continue;
            }
            uint8_t buffer[4096];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                received.push_back(buffer[i]);
                const size_t k = received.size();
                if (k >= 3 && received[k - 3] == 0x10 && received[k - 2] == 0x04) {
                    const uint8_t ready = 0x12;
                    static_cast<void>(::write(master, &ready, 1));
                }
            }
        }
    });
    const auto upload = cli.Run("upload --printer usb://" + std::string(name) + " " +
                                cli.Quote(logoA) + " " + cli.Quote(logoB));
    EXPECT_EQ(upload.status, 0) << upload.err;
    const auto status = cli.Run("status --read-timeout 200 'serial://" + std::string(name) +
                                "?baud=38400&parity=even'");
    EXPECT_EQ(status.status, 0) << status.err;
    EXPECT_NE(status.out.find("No answer to:   maker (GS I 66)"), std::string::npos) << status.out;
    stop = true;
    device.join();
    ::close(slave);
    ::close(master);
    ASSERT_EQ(cli.Run("upload --printer 'THERMAL #1' " + cli.Quote(logoA) + " " + cli.Quote(logoB))
                  .status,
              0);
    const std::vector<uint8_t> spooled = Job(1);
    ASSERT_GE(received.size(), spooled.size());
    EXPECT_EQ(std::vector<uint8_t>(received.begin(),
                                   received.begin() + static_cast<std::ptrdiff_t>(spooled.size())),
              spooled);
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
    // NV graphics take the same files: the PNG's store command is the BMP's.
    const auto pngGraphic = cli.Run("nv command --store --image-mode 1 A1 " + cli.Quote(png));
    ASSERT_EQ(pngGraphic.status, 0) << pngGraphic.err;
    EXPECT_EQ(pngGraphic.out,
              cli.Run("nv command --store --image-mode 1 A1 " + cli.Quote(bmp)).out);
    // The older spellings are aliases: the same dots, byte for byte.
    const struct {
        const char* older;
        const char* newer;
    } spellings[] = {
        {"--image-mode 1", "--dither stucki"},
        {"--image-mode 0", "--dither threshold"},
        {"--image-mode 0 --brightness 8", "--brightness 8"},
        {"--image-mode=1 --brightness 2", "--brightness=2 --dither=stucki"},
    };
    for (const auto& s : spellings) {
        const auto older =
            cli.Run(std::string("nv command --store ") + s.older + " A1 " + cli.Quote(png));
        const auto newer =
            cli.Run(std::string("nv command --store ") + s.newer + " A1 " + cli.Quote(png));
        ASSERT_EQ(older.status, 0) << s.older << older.err;
        EXPECT_EQ(older.out, newer.out) << s.older << " / " << s.newer;
        EXPECT_FALSE(newer.out.empty());
    }
    EXPECT_NE(cli.Run("nv command --store --dither stucki A1 " + cli.Quote(png)).out,
              cli.Run("nv command --store A1 " + cli.Quote(png)).out);
}

// A logo wider than the paper prints nothing: where the paper's width is
// known (a virtual printer's own, or --paper-width) it is refused before
// anything is sent, and --fit paper makes it print; where it is not, the
// command says so once and goes on.
TEST_F(ControlCli, LogosWiderThanThePaperAreRefusedWhereItsWidthIsKnown) {
    ASSERT_EQ(cli.Run("vprinter add NARROW --paper-width 384").status, 0);
    const fs::path wide = cli.Root() / "wide.bmp";
    test::WriteFile(wide, test::MakeBlackOnWhite(1200, 16, [](int x, int) { return x % 3 == 0; }));
    test::ServedPrinter served(cli, "NARROW");
    ASSERT_FALSE(served.Address().empty());
    const std::string w = ' ' + cli.Quote(wide);
    const std::string at = ' ' + served.Address() + ' ';
    const std::string unknown = "the paper width of " + served.Address() + " is not known";
    const auto jobs = [&] {
        const fs::path folder = Printer("NARROW") / "jobs";
        return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    };
    const struct {
        std::string args;
        int status;
        std::string says; // on standard error, or on either after success
        std::string then; // what vprinter show NARROW shows afterwards, or for a
                          // store through the address what the served printer logs
    } steps[] = {
        {"upload --printer NARROW" + w, 1,
         "upload: nothing was sent: " + wide.string() +
             " is 1200 dots wide, NARROW prints 384: use --fit 384 or --fit paper",
         "Newest paper:    none"},
        {"upload --printer NARROW --fit 576" + w, 1,
         wide.string() + " is 576 dots wide, NARROW prints 384", "Newest paper:    none"},
        // The narrower of the printer's own paper and the one the user gives.
        {"upload --printer 'THERMAL #1' --paper-width 58mm " + cli.Quote(logoB), 1,
         logoB.string() + " is 512 dots wide, THERMAL #1 prints 384", "Newest paper:    none"},
        {"upload --printer NARROW --fit paper" + w, 0, "image 1 of 1 sent",
         "Newest paper:    none"},
        {"print --printer NARROW --all", 0, "", "Newest paper:    job 000002"},
        {"print --printer NARROW --image 1 --size 1", 1,
         "NV image 1 at --size 1 is 768 dots wide, NARROW prints 384: print it at --size 0 or 2",
         "Jobs:            2"},
        // A queue's own width, kept beside its command language: the narrowest holds.
        {"printers --set-paper-width 58mm 'THERMAL #1'", 0,
         "kept 384 dots as the paper width of \"THERMAL #1\"", "Jobs:            2"},
        {"upload --printer 'THERMAL #1' " + cli.Quote(logoB), 1,
         logoB.string() + " is 512 dots wide, THERMAL #1 prints 384", "Jobs:            2"},
        {"upload --printer 'THERMAL #1' --paper-width 300 " + cli.Quote(logoA), 0,
         "image 1 of 1 sent", "Jobs:            2"},
        // CUPS is not reachable here: it may hold the queue.
        {"printers --set-paper-width 58mm 'THERMAL #9'", 3,
         "the printer \"THERMAL #9\" is not installed", "Jobs:            2"},
        {"printers --set-paper-width 58mm " + served.Address(), 1,
         served.Address() + " is an address, not a queue", "Jobs:            2"},
        {"printers --clear-paper-width 'THERMAL #1'", 0,
         "forgot the paper width of \"THERMAL #1\" (384)", "Jobs:            2"},
        {"upload --printer 'THERMAL #1' --fit 576 " + cli.Quote(logoB), 0, "image 1 of 1 sent",
         "Jobs:            2"},
        {"nv store NARROW LG" + w, 1, "NARROW prints 384", "Jobs:            2"},
        {"nv store" + at + "LG" + w + " --paper-width 384", 1,
         wide.string() + " is 1200 dots wide, " + served.Address() +
             " prints 384: use --fit 384 or --fit paper",
         "Jobs:            2"},
        {"nv store" + at + "LG" + w + " --fit paper", 1, "--fit paper needs the paper's width",
         "Jobs:            2"},
        // Through an address the paper is the user's word, not the printer's.
        {"nv store" + at + "LG --fit paper --paper-width 80mm" + w, 0, "stored LG (576 x 8 dots",
         "\"LG\": stored, 576x8 dots"},
        {"nv store" + at + "LG" + w, 0, "stored LG (1200 x 16 dots",
         "\"LG\": stored, 1200x16 dots"},
        // Stored too wide where the width was not known: its print is refused
        // where the stored width is known.
        {"nv print NARROW LG", 1,
         "NV graphic LG is 1200 dots wide, NARROW prints 384: store it again with --fit 384 or "
         "--fit paper",
         "Newest paper:    job 000002"},
        {"nv print NARROW LG --scale 2x1 --paper-width 1000", 1,
         "NV graphic LG is 1200 dots wide, NARROW prints 384", "Newest paper:    job 000002"},
        // Through the address, what the printer's record kept of the store.
        {"nv print" + at + "LG --paper-width 384", 1,
         "NV graphic LG is 1200 dots wide, " + served.Address() +
             " prints 384: store it again with --fit 384 or --fit paper",
         "Newest paper:    job 000002"},
        {"upload --replace-other-logos --fit 576 --printer" + at + w, 0, "image 1 of 1 sent",
         "Newest paper:    job 000002"},
        {"print --all --paper-width 58mm --printer" + at, 1,
         "NV image 1 is 576 dots wide, " + served.Address() +
             " prints 384: upload it again with --fit 384 or --fit paper",
         "Newest paper:    job 000002"},
        // Once asked, the roll the printer said it is set for is its paper,
        // through the address too.
        {"status" + at, 0, "Paper width:    384 dots (answered)", "Newest paper:    job 000002"},
        {"nv store" + at + "LH" + w, 1,
         wide.string() + " is 1200 dots wide, " + served.Address() +
             " prints 384: use --fit 384 or --fit paper",
         "Newest paper:    job 000002"},
        {"nv store" + at + "LH --fit paper --replace-other-logos" + w, 0, "stored LH (384 x ",
         "\"LH\": stored, 384x"},
    };
    bool asked = false; // the printer said its roll: its width is known by its address
    for (const auto& step : steps) {
        const auto before = jobs();
        const auto run = cli.Run(step.args);
        EXPECT_EQ(run.status, step.status) << step.args << "\n" << run.out << run.err;
        EXPECT_NE((step.status == 0 ? run.out + run.err : run.err).find(step.says),
                  std::string::npos)
            << step.args << "\n"
            << run.out << run.err;
        if (step.status != 0) {
            EXPECT_EQ(jobs(), before) << step.args;
        }
        // An address without --paper-width is said to be unchecked, once,
        // until the printer has said its roll.
        asked = asked || step.args.rfind("status", 0) == 0;
        const bool unchecked = step.args.find(at) != std::string::npos && !asked &&
                               step.args.find("--paper-width") == std::string::npos;
        const size_t said = run.err.find(unknown);
        EXPECT_EQ(said != std::string::npos, unchecked) << step.args << "\n" << run.err;
        EXPECT_EQ(said, run.err.rfind(unknown)) << step.args << "\n" << run.err;
        if (step.then.rfind("\"LG\"", 0) == 0 || step.then.rfind("\"LH\"", 0) == 0) {
            const std::string log = served.Output(std::chrono::milliseconds(5000), step.then);
            EXPECT_NE(log.find(step.then), std::string::npos) << step.args << "\n" << log;
        } else {
            const std::string shown = cli.Run("vprinter show NARROW").out;
            EXPECT_NE(shown.find(step.then), std::string::npos) << step.args << "\n" << shown;
        }
    }
    EXPECT_EQ(served.Stop(), 0);
}

// A virtual printer made as a real model answers as that model does, and
// what the model's profile says bounds what is stored in it by its address.
TEST_F(ControlCli, ProfilesBoundWhatIsStoredInTheModelsTheyDescribe) {
    ASSERT_EQ(cli.Run("vprinter add OLD --model 'Epson TM-T88III'").status, 0);
    const fs::path wide = cli.Root() / "wide.bmp";
    test::WriteFile(wide, test::MakeBlackOnWhite(600, 16, [](int x, int) { return x % 2 == 0; }));
    const fs::path tall = cli.Root() / "tall.bmp";
    test::WriteFile(tall, test::MakeBlackOnWhite(512, 2000, [](int x, int) { return x % 2 == 0; }));
    test::ServedPrinter served(cli, "OLD");
    ASSERT_FALSE(served.Address().empty());
    const std::string at = served.Address();
    const std::string port = at.substr(at.rfind(':') + 1);
    const fs::path manifest = cli.Root() / "auto.toml";
    test::WriteText(manifest, "[logos.header]\nfile = " + cli.Quote(wide) +
                                  "\nfit = 512\n\n[[printers]]\nname = \"till\"\naddress = \"" +
                                  at + "\"\nlogos = { A1 = \"header\" }\n");
    const struct {
        std::string args;
        int status;
        std::vector<std::string> says; // on standard output or error
    } steps[] = {
        {"profiles",
         0,
         {"epson-tm-t88iii     Epson TM-T88III       180 dpi  80 mm 512 dots  "
          "nv-bit-images  NV bit images 262144 bytes",
          "star-tsp650ii", "pos-5890"}},
        {"profiles TSP143III --json",
         0,
         {"\"id\": \"star-tsp100iii\"", "\"commands\": \"star-prnt\""}},
        {"profiles 'no such model'", 1, {"no profile is called \"no such model\""}},
        {"vprinter add NONE --model TM-T1000", 1, {"no printer profile is called \"TM-T1000\""}},
        {"vprinter show OLD",
         0,
         {"Model:           Epson TM-T88III", "Paper width:     512 dots",
          "NV graphics:     0 bytes"}},
        {"status " + at,
         0,
         {"Model:          TM-T88III", "Profile:        Epson TM-T88III (epson-tm-t88iii)",
          "Paper width:    512 dots (profile)"}},
        {"status " + at + " --json",
         0,
         {"\"profile\": \"epson-tm-t88iii\", \"paperWidth\": 512, "
          "\"paperWidthFrom\": \"profile\""}},
        // Asked once, its record keeps the model for the commands that do not ask.
        {"upload --printer " + at + " " + cli.Quote(wide),
         1,
         {wide.string() + " is 600 dots wide, " + at +
          " prints 512: use --fit 512 or --fit paper"}},
        {"upload --printer " + at + " " + cli.Quote(tall) + " " + cli.Quote(tall) + " " +
             cli.Quote(tall),
         3,
         {"nothing was sent: the 3 logos need 384,012 bytes of NV memory; " + at +
          " holds 262,144 (the Epson TM-T88III profile)"}},
        {"discover 127.0.0.1 --port " + port,
         0,
         {"Epson TM-T88III [epson-tm-t88iii]", "nv-bit-images  paper 512 dots (profile)"}},
        // commands = "auto": its model has no NV graphics, so one FS q upload,
        // and the line says which number each key became.
        {"apply " + cli.Quote(manifest),
         0,
         {"till: sent A1 (1 NV write", "its model, the Epson TM-T88III, keeps NV bit images only",
          ": A1 is NV bit image 1"}},
        {"apply " + cli.Quote(manifest), 0, {"till: unchanged"}},
    };
    for (const auto& step : steps) {
        const auto run = cli.Run(step.args);
        EXPECT_EQ(run.status, step.status) << step.args << "\n" << run.out << run.err;
        for (const std::string& said : step.says) {
            EXPECT_NE((run.out + run.err).find(said), std::string::npos) << step.args << "\n"
                                                                         << run.out << run.err;
        }
    }
    // Nothing of the refused uploads reached the printer: it holds apply's one logo.
    const std::string shown = cli.Run("vprinter show OLD").out;
    EXPECT_NE(shown.find("Stored images:   1\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("1: 512x"), std::string::npos) << shown;
    EXPECT_EQ(served.Stop(), 0);

    // Met for the first time, a printer's model gives the paper a logo is
    // fitted to, narrower than the settings it was set up with.
    ASSERT_EQ(cli.Run("vprinter add NEW --model 'Epson TM-T88V' --paper-width 576").status, 0);
    test::ServedPrinter fresh(cli, "NEW");
    ASSERT_FALSE(fresh.Address().empty());
    test::WriteText(manifest,
                    "[logos.header]\nfile = " + cli.Quote(wide) +
                        "\nfit = \"paper\"\n\n[[printers]]\nname = \"till\"\naddress = \"" +
                        fresh.Address() + "\"\nlogos = { A1 = \"header\" }\n");
    const auto applied = cli.Run("apply " + cli.Quote(manifest));
    EXPECT_EQ(applied.status, 0) << applied.out << applied.err;
    EXPECT_NE(applied.out.find("till: stored A1"), std::string::npos) << applied.out;
    const std::string log = fresh.Output(std::chrono::milliseconds(5000), "\"A1\": stored");
    EXPECT_NE(log.find("\"A1\": stored, 512x14 dots"), std::string::npos) << log;
    EXPECT_EQ(fresh.Stop(), 0);
}

// The roll a printer says it is set for wins over its model's profile: a
// TM-T20II loaded with 58 mm paper prints 384 dots, not its profile's 576.
TEST_F(ControlCli, TheWidthAPrinterAnswersWinsOverItsProfile) {
    ASSERT_EQ(cli.Run("vprinter add NARROWED --model 'Epson TM-T20II' --paper-width 384").status,
              0);
    const fs::path wide = cli.Root() / "wide.bmp";
    test::WriteFile(wide, test::MakeBlackOnWhite(500, 16, [](int x, int) { return x % 2 == 0; }));
    test::ServedPrinter served(cli, "NARROWED");
    ASSERT_FALSE(served.Address().empty());
    const std::string at = served.Address();
    const std::string port = at.substr(at.rfind(':') + 1);
    const fs::path manifest = cli.Root() / "till.toml";
    test::WriteText(manifest, "[logos.header]\nfile = " + cli.Quote(wide) +
                                  "\n\n[[printers]]\nname = \"till\"\naddress = \"" + at +
                                  "\"\nlogos = { A1 = \"header\" }\n");
    const fs::path found = cli.Root() / "found.toml";
    const struct {
        std::string args;
        int status;
        std::string says; // on standard output or error
    } steps[] = {
        {"status " + at, 0, "Paper width:    384 dots (answered)"},
        {"status " + at + " --json", 0,
         "\"profile\": \"epson-tm-t20ii\", \"paperWidth\": 384, \"paperWidthFrom\": \"answered\""},
        {"discover 127.0.0.1 --port " + port + " --manifest " + cli.Quote(found), 0,
         "paper 384 dots (answered)"},
        {"discover 127.0.0.1 --port " + port + " --json", 0,
         "\"paperWidth\": 384, \"paperWidthFrom\": \"answered\""},
        {"apply --plan " + cli.Quote(manifest), 3,
         "(logo header) is 500 dots wide, till prints 384"},
    };
    for (const auto& step : steps) {
        const auto run = cli.Run(step.args);
        EXPECT_EQ(run.status, step.status) << step.args << "\n" << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(step.says), std::string::npos) << step.args << "\n"
                                                                          << run.out << run.err;
    }
    EXPECT_NE(test::ReadText(found).find("paper-width = 384  # answered by the printer"),
              std::string::npos)
        << test::ReadText(found);
    EXPECT_EQ(served.Stop(), 0);
}

// One process serves a fleet: each printer on its own port or loopback
// address, with a memory and a serial number of its own.
TEST_F(ControlCli, ServeCountServesAFleetFromOneProcess) {
    const struct {
        std::string fleet;
        const char* options;
        const char* hosts[3]; // the address each printer's starts with
    } cases[] = {
        {"PORTS",
         "--count 3 --listen 127.0.0.1:0",
         {"socket://127.0.0.1:", "socket://127.0.0.1:", "socket://127.0.0.1:"}},
        {"ADDRESSES",
         "--count 3 --over addresses --listen 127.0.0.2:0",
         {"socket://127.0.0.2:", "socket://127.0.0.3:", "socket://127.0.0.4:"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string& fleet = c.fleet;
        ASSERT_EQ(cli.Run("vprinter add " + fleet + " --nv-graphics 5000").status, 0);
        test::ServedPrinter served(cli, fleet, c.options, 3);
        ASSERT_EQ(served.Addresses().size(), 3u);
        for (size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(served.Addresses()[k].rfind(c.hosts[k], 0), 0u) << served.Addresses()[k];
            const auto status = cli.Run("status " + served.Addresses()[k]);
            EXPECT_EQ(status.status, 0) << status.err;
            EXPECT_NE(status.out.find("Serial number:  " + fleet + "-" + std::to_string(k + 1)),
                      std::string::npos)
                << status.out;
            // Each took its settings from the printer named.
            EXPECT_NE(status.out.find("NV graphics:    5000 bytes"), std::string::npos)
                << status.out;
        }
        const auto upload = cli.Run("upload --mode diffusion --printer " + served.Addresses()[1] +
                                    " " + cli.Quote(logoA));
        ASSERT_EQ(upload.status, 0) << upload.err;
        const std::string second = served.Output(std::chrono::milliseconds(5000), "image 1");
        EXPECT_NE(second.find(fleet + "-2: job 000001"), std::string::npos) << second;
        EXPECT_EQ(second.find(fleet + "-1:"), std::string::npos) << second;
        EXPECT_TRUE(fs::exists(Printer((fleet + "-2").c_str()) / "jobs" / "000001.bin"));
        EXPECT_FALSE(fs::exists(Printer((fleet + "-1").c_str()) / "jobs" / "000001.bin"));
        EXPECT_EQ(served.Stop(), 0);
    }
}

// A shop's receipt, made here, through `vprinter serve`: the logo stored by
// one job, a receipt that prints it and leaves its paper uncut, and a later
// job whose cut brings the whole piece out, its picture written then.
TEST_F(ControlCli, ServedPrinterDrawsAReceiptAndWritesEachPieceWhenCut) {
    ASSERT_EQ(cli.Run("vprinter add SHOP --paper-width 384").status, 0);
    test::ServedPrinter served(cli, "SHOP");
    ASSERT_FALSE(served.Address().empty());
    // NV bit image 1: 16 x 8 dots, every column 0xFF (a black bar).
    const uint8_t header[] = {0x1B, 0x40, 0x1C, 0x71, 0x01, 0x02, 0x00, 0x01, 0x00};
    std::vector<uint8_t> upload(sizeof header + 16, 0xFF);
    std::copy(std::begin(header), std::end(header), upload.begin());
    ASSERT_TRUE(SendJob(served.Address(), upload));
    EXPECT_NE(served.Output(std::chrono::milliseconds(5000), "image 1 16x8").find("image 1"),
              std::string::npos);

    std::vector<uint8_t> receipt = {0x1B, 0x40, 0x1B, 0x61, 0x01, 0x1C, 0x70, 0x01, 0x00};
    const std::string lines = "Coffee          3.80\n\x1b\x45\x01TOTAL           3.80\n";
    receipt.insert(receipt.end(), lines.begin(), lines.end());
    // QR code "SHOP": 4 dots a module, stored, printed.
    const std::vector<uint8_t> qr = {0x1D, '(', 'k', 3,   0,   '1', 'C', 4,   0x1D, '(',
                                     'k',  7,   0,   '1', 'P', '0', 'S', 'H', 'O',  'P',
                                     0x1D, '(', 'k', 3,   0,   '1', 'Q', '0'};
    receipt.insert(receipt.end(), qr.begin(), qr.end());
    ASSERT_TRUE(SendJob(served.Address(), receipt));
    const std::string second = served.Output(std::chrono::milliseconds(5000), "next cut");
    EXPECT_NE(second.find("job 000002"), std::string::npos) << second;
    EXPECT_EQ(second.find("paper: "), std::string::npos) << second;
    EXPECT_EQ(second.find("not understood"), std::string::npos) << second;
    EXPECT_NE(cli.Run("vprinter show SHOP").out.find("Not yet cut:"), std::string::npos);

    const std::string tail = "Thank you\n\x1d\x56\x42\x08";
    ASSERT_TRUE(SendJob(served.Address(), std::vector<uint8_t>(tail.begin(), tail.end())));
    const std::string third = served.Output(std::chrono::milliseconds(5000), ".png");
    const fs::path piece = Printer("SHOP") / "paper" / "000003-1.png";
    EXPECT_NE(third.find("paper: " + piece.string()), std::string::npos) << third;
    EXPECT_EQ(served.Stop(), 0);

    const std::string png = test::ReadText(piece);
    const Result<MonoPicture> read = DecodePng(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(png.data()), png.size()));
    ASSERT_TRUE(read) << read.Reason();
    const MonoPicture& picture = read.Value();
    EXPECT_EQ(picture.width, 384);
    // The logo, centred: 8 rows of dots 184 to 199, white either side.
    for (int y = 0; y < 8; ++y) {
        EXPECT_TRUE(picture.Dot(184, y) && picture.Dot(199, y)) << y;
        EXPECT_FALSE(picture.Dot(183, y) || picture.Dot(200, y)) << y;
    }
    // Two lines of text, a QR code of 21 modules at 4 dots, one more line, the feed.
    EXPECT_EQ(picture.height, 8 + 30 + 30 + 21 * 4 + 30 + 8);
    const auto show = cli.Run("vprinter show SHOP");
    EXPECT_EQ(show.out.find("Not yet cut:"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("Newest paper:    job 000003"), std::string::npos) << show.out;
}

} // namespace
} // namespace tessaline

namespace tessaline {
namespace {

// A port free on the loopback addresses of the discovery test.
uint16_t FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) == 0;
    ::close(fd);
    return bound ? ntohs(at.sin_port) : 0;
}

// A service on the printer port that is no printer: it answers every read
// with an HTTP error, until the test ends.
class NonsenseServer {
public:
    NonsenseServer(const char* address, uint16_t port) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_port = htons(port);
        ::inet_pton(AF_INET, address, &at.sin_addr);
        listening = ::bind(m_listen, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0 &&
                    ::listen(m_listen, 8) == 0;
        m_thread = std::thread([this] { Serve(); });
    }
    ~NonsenseServer() {
        m_stop = true;
        m_thread.join();
        for (const pollfd& p : m_fds) {
            ::close(p.fd);
        }
    }
    bool listening = false;

private:
    void Serve() {
        m_fds.push_back({m_listen, POLLIN, 0});
        while (!m_stop) {
            if (::poll(m_fds.data(), m_fds.size(), 20) <= 0) {
                continue;
            }
            for (size_t i = m_fds.size(); i-- > 0;) {
                if ((m_fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                    continue;
                }
                if (i == 0) {
                    const int peer = ::accept(m_listen, nullptr, nullptr);
                    if (peer >= 0) {
                        m_fds.push_back({peer, POLLIN, 0});
                    }
                    continue;
                }
                char buffer[256];
                if (::read(m_fds[i].fd, buffer, sizeof buffer) <= 0) {
                    ::close(m_fds[i].fd);
                    m_fds.erase(m_fds.begin() + static_cast<std::ptrdiff_t>(i));
                    continue;
                }
                const char reply[] = "HTTP/1.1 400 Bad Request\r\n\r\n";
                static_cast<void>(::send(m_fds[i].fd, reply, sizeof reply - 1, MSG_NOSIGNAL));
            }
        }
    }

    int m_listen = -1;
    std::vector<pollfd> m_fds;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// Virtual printers on several loopback addresses, a silent one, a service
// that is no printer and addresses where nothing listens, told apart in one
// scan; its manifest is one apply takes.
TEST_F(ControlCli, DiscoverTellsApartWhatAnswersOnLoopbackAddresses) {
    ASSERT_EQ(cli.Run("vprinter add GOOD").status, 0);
    ASSERT_EQ(cli.Run("vprinter add OLD --nv-graphics 0").status, 0);
    ASSERT_EQ(cli.Run("vprinter add MUTE --answers none").status, 0);
    const uint16_t port = FreeLoopbackPort();
    ASSERT_NE(port, 0);
    const std::string p = std::to_string(port);
    test::ServedPrinter good(cli, "GOOD", "--listen 127.0.0.21:" + p, 1);
    test::ServedPrinter old(cli, "OLD", "--listen 127.0.0.22:" + p, 1);
    test::ServedPrinter mute(cli, "MUTE", "--listen 127.0.0.23:" + p, 1);
    ASSERT_FALSE(good.Address().empty() || old.Address().empty() || mute.Address().empty());
    NonsenseServer nonsense("127.0.0.24", port);
    ASSERT_TRUE(nonsense.listening);
    auto at = [&p](int n) { return "socket://127.0.0." + std::to_string(n) + ":" + p; };
    const std::string scan = "discover 127.0.0.20-127.0.0.26 --port " + p + " --timeout 300";

    const auto text = cli.Run(scan);
    EXPECT_EQ(text.status, 0) << text.err;
    const std::vector<std::string> lines = Lines(text.out);
    ASSERT_EQ(lines.size(), 4u) << text.out;
    // The printer with NV graphics tells its roll; the older one does not.
    EXPECT_EQ(lines[0], at(21) + "  Tessaline Virtual  serial GOOD  ready  nv-graphics  paper "
                                 "576 dots (answered)  NV free 262144 bytes");
    EXPECT_EQ(lines[1], at(22) + "  Tessaline Virtual  serial OLD  ready  nv-bit-images  paper "
                                 "unknown  NV free unknown");
    EXPECT_EQ(lines[2], at(23) + "  answers nothing");
    EXPECT_EQ(lines[3].rfind(at(24) + "  not a receipt printer (", 0), 0u) << lines[3];

    const auto json = cli.Run(scan + " --json");
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out.rfind("{\"printers\": [{\"address\": \"" + at(21) +
                                 "\", \"found\": \"printer\", \"maker\": \"Tessaline\", "
                                 "\"model\": \"Virtual\", \"serialNumber\": \"GOOD\"",
                             0),
              0u)
        << json.out;
    for (const char* field :
         {"\"commands\": \"nv-bit-images\", \"paperWidth\": null, \"paperWidthFrom\": \"unknown\"",
          "\"nvFree\": 262144", "\"found\": \"answers nothing\"",
          "\"found\": \"not a receipt printer\""}) {
        EXPECT_NE(json.out.find(field), std::string::npos) << field << "\n" << json.out;
    }

    const fs::path manifest = cli.Root() / "found.toml";
    const auto written = cli.Run(scan + " --manifest " + cli.Quote(manifest));
    EXPECT_EQ(written.status, 0) << written.err;
    const std::string toml = test::ReadText(manifest);
    EXPECT_NE(toml.find("name = \"Virtual GOOD\"\naddress = \"" + at(21) +
                        "\"\ncommands = \"nv-graphics\"\npaper-width = 576  # answered by the "
                        "printer\n"),
              std::string::npos)
        << toml;
    EXPECT_NE(toml.find("commands = \"nv-bit-images\""), std::string::npos) << toml;
    EXPECT_EQ(toml.find(at(23)), std::string::npos) << toml; // only printers
    const auto plan = cli.Run("apply --plan " + cli.Quote(manifest));
    EXPECT_EQ(plan.status, 0) << plan.out << plan.err;
    const auto again = cli.Run(scan + " --manifest " + cli.Quote(manifest));
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, "");
    EXPECT_NE(again.err.find("is already there"), std::string::npos) << again.err;
    EXPECT_EQ(test::ReadText(manifest), toml);

    const auto none = cli.Run("discover 127.0.0.25-127.0.0.26 --port " + p);
    EXPECT_EQ(none.status, 3);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("no printer answered at 2 addresses"), std::string::npos) << none.err;
}

// USB printers from a sysfs tree made here: the device ID where the printer
// does not tell, the reason where a device cannot be opened.
TEST_F(ControlCli, DiscoverReadsUsbPrintersFromTheirDeviceIds) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    // The device answers DLE EOT n with "ready", and nothing else.
    std::atomic<bool> stop{false};
    std::thread device([&] {
        std::vector<uint8_t> received;
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0 || (p.revents & POLLIN) == 0) {
                continue;
            }
            uint8_t buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                received.push_back(buffer[i]);
                const size_t k = received.size();
                if (k >= 3 && received[k - 3] == 0x10 && received[k - 2] == 0x04) {
                    const uint8_t ready = 0x12;
                    static_cast<void>(::write(master, &ready, 1));
                }
            }
        }
    });
    const fs::path root = cli.Root() / "machine";
    const fs::path usbmisc = root / "sys" / "class" / "usbmisc";
    const struct {
        const char* lp;
        const char* id; // nullptr: no device ID file
    } devices[] = {
        {"lp0", "MFG:EPSON;CMD:ESC/POS;MDL:TM-T20II;CLS:PRINTER;SN:X4EQ012345;\n"},
        {"lp1", "MANUFACTURER:Star;COMMAND SET:STAR;MODEL:TSP143IIIU;"},
        {"lp2", nullptr},
    };
    for (const auto& d : devices) {
        fs::create_directories(usbmisc / d.lp / "device");
        if (d.id != nullptr) {
            std::ofstream(usbmisc / d.lp / "device" / "ieee1284_id") << d.id;
        }
    }
    fs::create_directories(root / "dev" / "usb");
    fs::create_symlink(name, root / "dev" / "usb" / "lp0");
    ::setenv("TESSALINE_SYSFS_ROOT", (root / "sys").c_str(), 1);
    ::setenv("TESSALINE_DEV_ROOT", (root / "dev").c_str(), 1);
    const auto run = cli.Run("discover usb --timeout 200");
    ::unsetenv("TESSALINE_SYSFS_ROOT");
    ::unsetenv("TESSALINE_DEV_ROOT");
    stop = true;
    device.join();
    ::close(slave);
    ::close(master);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string node = "usb://" + (root / "dev" / "usb").string();
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    // The model a device ID names finds its profile: the paper's width.
    EXPECT_EQ(lines[0], node + "/lp0  EPSON TM-T20II [epson-tm-t20ii]  serial X4EQ012345  ready  "
                               "nv-bit-images  paper 576 dots (profile)  NV free unknown");
    EXPECT_EQ(lines[1], node + "/lp1  Star TSP143IIIU [star-tsp100iii]  serial unknown  cannot "
                               "open the device: no such file or directory");
    EXPECT_EQ(lines[2], node + "/lp2  maker and model unknown  serial unknown  cannot open the "
                               "device: no such file or directory");
}

} // namespace
} // namespace tessaline
