// SPDX-License-Identifier: MIT
#include "Cli.h"

#include "Completions.h"
#include "Options.h"
#include "PaperWidth.h"
#include "base/BuildVersion.h"
#include "escpos/Png.h"
#include "platform/Spooler.h"
#include "platform/virtual/VirtualPrinterStore.h"
#include "tests/support/Files.h"
#include "tests/support/NvStreams.h"
#include "tests/support/TempHome.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace tessaline {
namespace {

namespace fs = std::filesystem;

// Stands in for the CUPS server: lists the queues it is given.
class ListedQueues : public SpoolerBackend {
public:
    explicit ListedQueues(std::vector<std::string> names, bool ok = true)
        : m_names(std::move(names)), m_ok(ok) {}
    QueueList ListQueues() override {
        return {m_names, m_ok ? Result<void>() : Result<void>::Fail("refused"), {}};
    }
    Result<std::unique_ptr<SpoolerQueue>> Open(std::string_view, QueueAccess) override {
        return Result<std::unique_ptr<SpoolerQueue>>::Fail("not a real spooler");
    }

private:
    std::vector<std::string> m_names;
    bool m_ok;
};

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

class Cli : public ::testing::Test {
protected:
    test::TempHome home;
    CliEnvironment env{nullptr, home.DataHome(), {}};

    CliRun Run(std::vector<std::string> args) {
        std::ostringstream out;
        std::ostringstream err;
        const int status = RunCli(args, env, out, err);
        return {status, out.str(), err.str()};
    }
    fs::path Folder(const std::string& name) {
        return VirtualPrinterStore(home.DataHome()).PrinterFolder(name);
    }
    fs::path WriteFile(const std::string& name, const test::Bytes& bytes) {
        const fs::path path = home.Root() / name;
        test::WriteFile(path, bytes);
        return path;
    }
};

TEST_F(Cli, AddListPathRemove) {
    EXPECT_EQ(Run({"vprinter", "add", "THERMAL #1"}).status, 0);
    EXPECT_EQ(Run({"vprinter", "add", "58mm", "--paper-width", "384"}).status, 0);
    EXPECT_EQ(Run({"vprinter", "add", "big", "--nv-capacity=1048576"}).status, 0);
    EXPECT_EQ(Run({"vprinter", "list"}).out, "THERMAL #1\n58mm\nbig\n");
    EXPECT_EQ(Run({"vprinter", "path", "58mm"}).out, Folder("58mm").string() + "\n");

    const auto narrow = VirtualPrinterStore(home.DataHome()).Find("58mm");
    ASSERT_TRUE(narrow.has_value());
    EXPECT_EQ(narrow->model.paperWidth, 384);
    EXPECT_EQ(VirtualPrinterStore(home.DataHome()).Find("big")->model.nvCapacity, 1048576u);

    const CliRun removed = Run({"vprinter", "remove", "58mm"});
    EXPECT_EQ(removed.status, 0);
    EXPECT_EQ(removed.out, "");
    EXPECT_FALSE(fs::exists(Folder("58mm")));
    EXPECT_EQ(Run({"vprinter", "list"}).out, "THERMAL #1\nbig\n");

    // A printer with damaged settings is named with its problem, and can go.
    std::ofstream(Folder("THERMAL #1") / "printer.conf", std::ios::trunc).flush();
    const CliRun listed = Run({"vprinter", "list"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "big\nTHERMAL #1\n");
    EXPECT_NE(listed.err.find("\"THERMAL #1\" has damaged settings: "), std::string::npos);
    EXPECT_NE(listed.err.find("printer.conf: the file is empty"), std::string::npos);
    const CliRun shown = Run({"vprinter", "show", "THERMAL #1"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("Settings:        damaged"), std::string::npos) << shown.out;
    const CliRun again = Run({"vprinter", "add", "THERMAL #1"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("its settings are damaged"), std::string::npos) << again.err;
    EXPECT_EQ(Run({"vprinter", "feed", "THERMAL #1", "/dev/null"}).status, 3);
    EXPECT_EQ(Run({"vprinter", "remove", "THERMAL #1"}).status, 0);
    EXPECT_EQ(Run({"vprinter", "list"}).out, "big\n");
}

TEST_F(Cli, PrintersListsCupsQueuesFirstThenVirtualPrinters) {
    env.systemQueues =
        std::make_shared<ListedQueues>(std::vector<std::string>{"Office", "THERMAL #3"});
    Run({"vprinter", "add", "THERMAL #2"});
    Run({"vprinter", "add", "THERMAL #1"});
    const CliRun run = Run({"printers"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Office\nTHERMAL #3\nTHERMAL #2\nTHERMAL #1\n");
    // --long: each with its paper width (kept for a queue, or the virtual
    // printer's own, the narrower of them) and command language.
    Run({"vprinter", "add", "STAR", "--paper-width", "384", "--commands", "star-line"});
    const struct {
        std::vector<std::string> args;
        int status;
        const char* out;
    } steps[] = {
        {{"printers", "--set-paper-width", "80mm", "Office"},
         0,
         "kept 576 dots as the paper width of \"Office\"\n"},
        {{"printers", "--set-paper-width", "500", "STAR"},
         0,
         "kept 500 dots as the paper width of \"STAR\"\n"},
        {{"printers", "--set-paper-width=300", "THERMAL #1"},
         0,
         "kept 300 dots as the paper width of \"THERMAL #1\"\n"},
        {{"printers", "--long"},
         0,
         "Office\t576\tesc-pos\nTHERMAL #3\t-\tesc-pos\nTHERMAL #2\t576\tesc-pos\n"
         "THERMAL #1\t300\tesc-pos\nSTAR\t384\tstar-line\n"},
        {{"printers", "--clear-paper-width", "Office"},
         0,
         "forgot the paper width of \"Office\" (576)\n"},
        {{"printers", "--clear-paper-width", "Office"},
         0,
         "no paper width is kept for \"Office\"\n"},
        {{"printers", "--set-paper-width", "57mm", "Office"}, 1, ""},
        {{"printers", "--set-paper-width", "58mm"}, 1, ""},
        {{"printers", "--set-paper-width", "58mm", "Office", "--long"}, 1, ""},
        {{"printers", "--set-paper-width", "58mm", "Nowhere"}, 2, ""},
        {{"printers", "--long"},
         0,
         "Office\t-\tesc-pos\nTHERMAL #3\t-\tesc-pos\nTHERMAL #2\t576\tesc-pos\n"
         "THERMAL #1\t300\tesc-pos\nSTAR\t384\tstar-line\n"},
    };
    for (const auto& step : steps) {
        const CliRun done = Run(step.args);
        EXPECT_EQ(done.status, step.status) << step.args[1] << " " << done.err;
        EXPECT_EQ(done.out, step.out) << step.args[1];
    }
    // A printer removed takes its kept width along.
    Run({"vprinter", "remove", "STAR"});
    Run({"vprinter", "add", "STAR", "--paper-width", "384"});
    EXPECT_EQ(Run({"printers", "--clear-paper-width", "STAR"}).out,
              "no paper width is kept for \"STAR\"\n");
    Run({"vprinter", "remove", "STAR"});

    env.systemQueues = std::make_shared<ListedQueues>(std::vector<std::string>{}, false);
    const CliRun failed = Run({"printers"});
    EXPECT_EQ(failed.status, 3);
    EXPECT_EQ(failed.out, "THERMAL #2\nTHERMAL #1\n");
    EXPECT_NE(failed.err.find("incomplete"), std::string::npos);
}

TEST_F(Cli, FeedSpoolsTheFileAndShowsWhatThePrinterDid) {
    Run({"vprinter", "add", "p"});
    const test::Bytes upload = test::UploadStream({test::SmallLogo(), test::WideLogo()});
    const CliRun fed = Run({"vprinter", "feed", "p", WriteFile("upload.bin", upload).string()});
    ASSERT_EQ(fed.status, 0) << fed.err;
    EXPECT_NE(fed.out.find("job 000001: 3813 bytes spooled to p\n"), std::string::npos);
    EXPECT_NE(fed.out.find("000001 @5: FS q 2: image 1 104x56 dots, 728 bytes\n"),
              std::string::npos);
    EXPECT_EQ(test::FileBytes(Folder("p") / "jobs" / "000001.bin"), upload);

    const CliRun printed =
        Run({"vprinter", "feed", "p", WriteFile("all.bin", test::PrintAllStream(0x30)).string()});
    ASSERT_EQ(printed.status, 0);
    const fs::path paper = Folder("p") / "paper" / "000002-1.png";
    EXPECT_NE(printed.out.find("paper: " + paper.string() + "\n"), std::string::npos);
    const Result<MonoPicture> picture = DecodePng(test::FileBytes(paper).value_or(test::Bytes{}));
    ASSERT_TRUE(picture) << picture.Reason();
    EXPECT_EQ(picture.Value().width, 576);
    EXPECT_EQ(picture.Value().height, 105);

    // An upload the printer refuses fails the job, with the printer's words.
    Run({"vprinter", "add", "small", "--nv-capacity", "1000"});
    const CliRun refused =
        Run({"vprinter", "feed", "small", WriteFile("upload.bin", upload).string()});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("the job failed: job 000001: FS q 2: 3808 bytes exceed the NV "
                               "capacity of 1000 bytes; refused, nothing stored"),
              std::string::npos)
        << refused.err;

    const CliRun shown = Run({"vprinter", "show", "p"});
    EXPECT_EQ(shown.status, 0);
    for (const std::string& part : std::vector<std::string>{
             "Stored images:   2\n", "  1: 104x56 dots, 728 bytes", "  2: 512x48 dots, 3072 bytes",
             "Jobs:            2\n", "NV writes today: 1\n", "Newest paper:    job 000002\n",
             "NV capacity:     262144 bytes, 3808 used\n", paper.string()}) {
        EXPECT_NE(shown.out.find(part), std::string::npos) << part << "\n" << shown.out;
    }
}

// A virtual printer's queue plays the driver's part: every job spooled to it
// gets the driver record's logo commands A and B, unless it has no such driver.
TEST_F(Cli, FeedAddsTheDriverRecordsLogoCommandsUnlessTheDriverIsOff) {
    test::Bytes record(1480, 0);
    auto put = [&](size_t at, const test::Bytes& bytes) {
        std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(0, {8, 0, 0, 0});
    put(1204, {1, 0, 0, 0});
    put(1208, {1, 0, 0, 0});
    put(1248, test::Hex("1C 70 01 30"));
    put(1348, {4, 0, 0, 0});
    put(1352, test::Hex("1C 70 02 30"));
    put(1452, {4, 0, 0, 0});
    const test::Bytes receipt = test::Hex("1B 40 48 69 0A 1D 56 42 00");
    struct Case {
        const char* what;
        std::vector<std::string> add;
        test::Bytes job;
    };
    const Case cases[] = {
        {"with the driver",
         {"vprinter", "add", "p"},
         test::Hex("1B 40 1C 70 01 30 48 69 0A 1C 70 02 30 1D 56 42 00")},
        {"without", {"vprinter", "add", "q", "--driver-logos", "off"}, receipt},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Run(c.add).status, 0) << c.what;
        const std::string name = c.add[2];
        const fs::path data = Folder(name) / "driver-data";
        fs::create_directories(data);
        test::WriteFile(data / "TTY DeviceConfig", record);
        test::WriteFile(data / "TTY DeviceConfig.type", test::Bytes{'3'});
        const CliRun fed = Run({"vprinter", "feed", name, WriteFile("r.bin", receipt).string()});
        ASSERT_EQ(fed.status, 0) << c.what << ": " << fed.err;
        EXPECT_EQ(test::FileBytes(Folder(name) / "jobs" / "000001.bin"), c.job) << c.what;
    }
    EXPECT_NE(Run({"vprinter", "show", "q"}).out.find("Driver logos:    off\n"), std::string::npos);
    EXPECT_NE(Run({"vprinter", "add", "r", "--driver-logos", "maybe"})
                  .err.find("--driver-logos is on or off, not 'maybe'"),
              std::string::npos);
}

TEST_F(Cli, ShowOfAFreshPrinter) {
    Run({"vprinter", "add", "p", "--paper-width", "384"});
    const CliRun shown = Run({"vprinter", "show", "p"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("Paper width:     384 dots\n"), std::string::npos);
    EXPECT_NE(shown.out.find("Stored images:   0\n"), std::string::npos);
    EXPECT_NE(shown.out.find("Jobs:            0\n"), std::string::npos);
    EXPECT_NE(shown.out.find("Newest paper:    none\n"), std::string::npos);
}

TEST_F(Cli, ErrorsGoToStderrWithANonZeroStatus) {
    Run({"vprinter", "add", "p"});
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{}, 1, "Usage: tessaline-cli COMMAND"},
        {{"frobnicate"}, 1, "unknown command 'frobnicate'"},
        {{"printers", "extra"}, 1, "unexpected argument"},
        {{"vprinter"}, 1, "Usage: tessaline-cli vprinter SUBCOMMAND"},
        {{"vprinter", "rename", "p"}, 1, "unknown subcommand 'rename'"},
        {{"vprinter", "add"}, 1, "missing argument"},
        {{"vprinter", "add", "a", "b"}, 1, "too many arguments"},
        {{"vprinter", "add", "q", "--paper-width"}, 1, "--paper-width needs a number"},
        {{"vprinter", "add", "q", "--paper-width", "-5"}, 1, "needs a number, not '-5'"},
        {{"vprinter", "add", "q", "--paper-width", "5000"}, 1, "8 to 1024 dots"},
        {{"vprinter", "add", "q", "--nv-capacity", "0"}, 1, "NV capacity must be"},
        {{"vprinter", "add", "q", "--colour", "red"}, 1, "unknown option '--colour'"},
        {{"vprinter", "list", "--paper-width", "384"}, 1, "unknown option"},
        {{"vprinter", "add", "p"}, 1, "already exists"},
        {{"vprinter", "add", "a/b"}, 1, "cannot hold \"/\""},
        {{"vprinter", "add", "tab\there"}, 1, "control character"},
        {{"vprinter", "add", std::string(300, 'n')}, 1, "too long"},
        {{"vprinter", "remove", "q"}, 2, "no virtual printer named \"q\""},
        {{"vprinter", "path", "q"}, 2, "no virtual printer named \"q\""},
        {{"vprinter", "show", "q"}, 2, "no virtual printer named \"q\""},
        {{"vprinter", "feed", "q", "/dev/null"}, 2, "no virtual printer named \"q\""},
        {{"vprinter", "feed", "p", "/no/such/file"},
         1,
         "cannot read /no/such/file: No such file or directory"},
        {{"vprinter", "add", "q", "--answers", "some"}, 1, "--answers is all or none"},
        {{"vprinter", "add", "q", "--write-ms", "600001"}, 1, "busy 0 to 600000 ms"},
        {{"vprinter", "serve", "q"}, 2, "no virtual printer named \"q\""},
        {{"vprinter", "serve", "p", "--listen", "localhost"}, 1, "--listen takes an address"},
        {{"vprinter", "serve", "p", "--listen"}, 1, "--listen needs HOST:PORT"},
        {{"vprinter", "serve", "p", "--over", "ports"}, 1, "--over needs --count"},
        {{"vprinter", "serve", "p", "--count", "3", "--over", "lines"},
         1,
         "--over is ports or addresses, not 'lines'"},
        {{"vprinter", "serve", "p", "--count", "0"}, 1, "--count is 1 to 65535, not '0'"},
        {{"vprinter", "serve", "p", "--count", "2", "--listen", "127.0.0.1:65535"},
         1,
         "run out of ports at printer 2"},
        {{"vprinter", "serve", "p", "--count", "2", "--over", "addresses", "--listen",
          "127.255.255.255:0"},
         1,
         "run out of addresses at printer 2"},
        {{"status"}, 1, "missing PRINTER"},
        {{"status", "socket://h:0"}, 1, "socket://h:0: the port must be 1 to 65535"},
        {{"status", "THERMAL #9"}, 2, "\"THERMAL #9\" is not installed"},
        {{"status", "p"}, 3, "is a spooler queue, which carries bytes one way"},
        {{"status", "socket://h", "--read-timeout", "0"}, 1, "--read-timeout is 1 to 3600000"},
        {{"nv"}, 1, "Usage: tessaline-cli nv store"},
        {{"nv", "frob"}, 1, "unknown command 'frob'"},
        {{"nv", "store", "p", "A1"}, 1, "needs PRINTER KEY FILE"},
        {{"nv", "store", "p", "ABC", "x.bmp"}, 1, "a key is two characters"},
        {{"nv", "store", "p", "A1", "/no/such.bmp"}, 1, "/no/such.bmp: "},
        {{"nv", "store", "p", "A1", "x.bmp", "--brightness", "11"}, 1, "--brightness is 0 to 10"},
        {{"nv", "print", "p", "A1", "--scale", "3x1"}, 1, "--scale is 1x1, 2x1, 1x2 or 2x2"},
        {{"nv", "print", "THERMAL #9", "A1"}, 2, "\"THERMAL #9\" is not installed"},
        {{"nv", "delete", "p"}, 1, "needs PRINTER and KEY or --all"},
        {{"nv", "delete", "p", "A\x7f"}, 1, "not byte 7Fh"},
        {{"nv", "list", "p"}, 3, "is a spooler queue, which carries bytes one way"},
        {{"nv", "list", "p", "--scale", "1x1"}, 1, "unknown option '--scale'"},
        {{"nv", "command", "A1"}, 1, "give --print or --store"},
        {{"nv", "command", "--store", "A1"}, 1, "needs KEY FILE pairs"},
        {{"discover", "127.0.0.0/8"},
         1,
         "'127.0.0.0/8' holds 16777216 addresses, more than the 65536 one scan takes"},
        {{"discover", "127.0.0.1", "127.0.0.300"}, 1, "'127.0.0.300' is no IPv4 address"},
        {{"discover", "127.0.0.9-127.0.0.2"}, 1, "the range runs backwards"},
        {{"discover", "127.0.0.1", "--jobs", "0"}, 1, "--jobs is 1 to 4096, not '0'"},
        {{"discover", "127.0.0.1", "--port", "65536"}, 1, "--port is 1 to 65535"},
        {{"discover", "127.0.0.1", "--manifest", "/"}, 1, "/: is already there"},
        {{"apply"}, 1, "needs MANIFEST"},
        {{"apply", "m.toml", "--jobs", "0"}, 1, "--jobs is 1 to 1024, not '0'"},
        {{"apply", "m.toml", "--max-writes"}, 1, "--max-writes needs a value"},
        {{"apply", "/no/such.toml"}, 1, "cannot read /no/such.toml"},
    };
    for (const auto& c : cases) {
        const CliRun run = Run(c.args);
        const std::string shown = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(run.status, c.status) << shown;
        EXPECT_EQ(run.out, "") << shown;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << shown << ": " << run.err;
    }
    // None of the refusals left a printer behind.
    EXPECT_EQ(Run({"vprinter", "list"}).out, "p\n");
    EXPECT_TRUE(fs::is_empty(Folder("p") / "jobs"));
}

TEST_F(Cli, EveryCommandHasHelp) {
    const std::vector<std::vector<std::string>> asks = {{"--help"},
                                                        {"printers", "--help"},
                                                        {"vprinter", "--help"},
                                                        {"vprinter", "add", "--help"},
                                                        {"vprinter", "remove", "-h"},
                                                        {"vprinter", "list", "--help"},
                                                        {"vprinter", "path", "--help"},
                                                        {"vprinter", "show", "--help"},
                                                        {"vprinter", "feed", "--help"},
                                                        {"nv", "--help"},
                                                        {"nv", "store", "--help"},
                                                        {"apply", "--help"}};
    for (const auto& args : asks) {
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind("Usage: tessaline-cli", 0), 0u) << args.back();
        EXPECT_EQ(run.err, "");
        if (args[0] == "vprinter" || args[0] == "nv") {
            EXPECT_NE(run.out.find("Exit status: 0 done; 1 wrong command line or unreadable input; "
                                   "2 the printer is\nnot installed; 3 the request was not "
                                   "carried out"),
                      std::string::npos)
                << args.back();
        }
    }
    EXPECT_FALSE(fs::exists(home.DataHome() / "printers"));
}

TEST(Options, OneLayerReadsEveryCommandLine) {
    const std::vector<Option> options = {
        Integer("--jobs", "N", 1, 1024, "printers at once"),
        Flag("--json", "JSON"),
        Choice("--dither", "KIND", {"threshold", "stucki"}, "how")
            .Alias({"--mode",
                    {{"none", "threshold"}, {"diffusion", "stucki"}},
                    "is none or diffusion"}),
        Text("--only", "NAME", "these printers").Repeatable(),
        ConnectTimeoutOption(),
        PaperWidthOption(),
    };
    const struct {
        std::vector<std::string> args;
        std::string error;    // empty: parsed
        std::string operands; // joined by "|"
        std::string dither;   // the value --dither holds, "-" when not given
    } cases[] = {
        {{"m.toml", "--jobs", "4", "--json"}, "", "m.toml", "-"},
        {{"--jobs=4", "m.toml"}, "", "m.toml", "-"},
        {{"--mode", "diffusion", "f"}, "", "f", "stucki"},
        {{"--mode=none", "f"}, "", "f", "threshold"},
        {{"--", "--json", "-"}, "", "--json|-", "-"},
        {{"--only", "a", "--only", "b*"}, "", "", "-"},
        {{"--jobs", "0"}, "--jobs is 1 to 1024, not '0'", "", ""},
        {{"--jobs", "4x"}, "--jobs is 1 to 1024, not '4x'", "", ""},
        {{"--jobs"}, "--jobs needs a value", "", ""},
        {{"--jobs", "1", "--jobs", "2"}, "--jobs given twice", "", ""},
        {{"--mode", "none", "--dither", "stucki"}, "give --mode or --dither, not both", "", ""},
        {{"--mode", "sharp"}, "--mode is none or diffusion, not 'sharp'", "", ""},
        {{"--dither", "bayer"}, "--dither is threshold or stucki, not 'bayer'", "", ""},
        {{"--json=yes"}, "--json takes no value", "", ""},
        {{"--colour"}, "unknown option '--colour'", "", ""},
        {{"--connect-timeout"}, "--connect-timeout needs a number of milliseconds", "", ""},
        {{"--connect-timeout", "0"},
         "--connect-timeout is 1 to 3600000 milliseconds, not '0'",
         "",
         ""},
        // A number or one of the option's words.
        {{"--paper-width", "58mm", "f"}, "", "f", "-"},
        {{"--paper-width=384"}, "", "", "-"},
        {{"--paper-width", "58 mm"},
         "--paper-width is a width in dots from 8 to 8184, or 58mm or 80mm, not '58 mm'",
         "",
         ""},
        {{"--paper-width", "4"},
         "--paper-width is a width in dots from 8 to 8184, or 58mm or 80mm, not '4'",
         "",
         ""},
    };
    for (const auto& c : cases) {
        const Result<ParsedOptions> parsed = ParseOptions(c.args, options);
        const std::string shown = c.args.empty() ? "" : c.args[0] + " ...";
        if (!c.error.empty()) {
            EXPECT_FALSE(parsed) << shown;
            EXPECT_EQ(parsed.Reason(), c.error) << shown;
            continue;
        }
        ASSERT_TRUE(parsed) << shown << ": " << parsed.Reason();
        std::string operands;
        for (const std::string& o : parsed.Value().operands) {
            operands += (operands.empty() ? "" : "|") + o;
        }
        EXPECT_EQ(operands, c.operands) << shown;
        const std::string* dither = parsed.Value().Text("--dither");
        EXPECT_EQ(dither ? *dither : "-", c.dither) << shown;
    }
    const auto repeated = ParseOptions({"--only", "a", "--only", "b*"}, options);
    ASSERT_TRUE(repeated);
    EXPECT_EQ(repeated.Value().All("--only"), (std::vector<std::string>{"a", "b*"}));
    EXPECT_EQ(ParseOptions({"--jobs", "7"}, options).Value().Int("--jobs"), 7);
    // A word is no number; the command reads it as the word it is.
    const auto roll = ParseOptions({"--paper-width", "80mm"}, options);
    ASSERT_TRUE(roll);
    EXPECT_EQ(roll.Value().Int("--paper-width"), std::nullopt);
    EXPECT_EQ(*roll.Value().Text("--paper-width"), "80mm");
    // The help lists each option, and the older spelling once, as such.
    const std::string help = OptionsHelp(options);
    EXPECT_NE(help.find("  --jobs N               printers at once\n"), std::string::npos) << help;
    EXPECT_NE(help.find("  --mode none|diffusion  the older spelling of --dither "
                        "threshold|stucki, still\n                         taken\n"),
              std::string::npos)
        << help;
    EXPECT_EQ(help.find("--mode"), help.rfind("--mode"));
}

TEST(PrinterArgument, ABareIpv4AddressIsTakenAsASocketAddress) {
    const struct {
        const char* typed;
        const char* taken;
    } cases[] = {
        {"127.0.0.5", "socket://127.0.0.5:9100"},
        {"127.0.0.5:9101", "socket://127.0.0.5:9101"},
        {"127.0.0.1", "socket://127.0.0.1:9100"},
        {"127.0.0", "127.0.0"},
        {"127.0.0.256", "127.0.0.256"},
        {"127.0.0.5:0", "127.0.0.5:0"},
        {"127.0.0.5.6", "127.0.0.5.6"},
        {"127.0.0.0005", "127.0.0.0005"},
        {"THERMAL #1", "THERMAL #1"},
        {"socket://127.0.0.5", "socket://127.0.0.5"},
        {"", ""},
    };
    for (const auto& c : cases) {
        std::ostringstream err;
        EXPECT_EQ(AsPrinterAddress(c.typed, err), c.taken) << c.typed;
        EXPECT_EQ(err.str(),
                  std::string(c.taken) == c.typed
                      ? ""
                      : std::string("tessaline-cli: taking ") + c.typed + " as " + c.taken + "\n")
            << c.typed;
    }
}

// The manual and the completions name every option the parsers take.
TEST(Options, ManualAndCompletionsFollowTheTables) {
    std::ifstream file(std::string(TESSALINE_SOURCE_DIR) + "/packaging/tessaline-cli.1");
    const std::string manual((std::istreambuf_iterator<char>(file)), {});
    ASSERT_FALSE(manual.empty());
    const std::string bash = CompletionScript("bash", AllCliCommands());
    const std::string fish = CompletionScript("fish", AllCliCommands());
    EXPECT_EQ(CompletionScript("zsh", AllCliCommands()).rfind("#compdef tessaline-cli\n", 0), 0u);
    EXPECT_EQ(CompletionScript("csh", AllCliCommands()), "");
    auto escaped = [](const std::string& name) {
        std::string roff;
        for (char c : name) {
            roff += c == '-' ? std::string("\\-") : std::string(1, c);
        }
        return roff;
    };
    size_t options = 0;
    for (const CliCommand& command : AllCliCommands()) {
        const std::string word = command.words.substr(command.words.rfind(' ') + 1);
        EXPECT_NE(manual.find(escaped(word)), std::string::npos) << command.words;
        EXPECT_NE(bash.find(word), std::string::npos) << command.words;
        for (const Option& o : command.options) {
            ++options;
            EXPECT_NE(manual.find(escaped(o.name)), std::string::npos)
                << command.words << " " << o.name << " is not in the manual";
            EXPECT_NE(bash.find(o.name), std::string::npos) << o.name;
            EXPECT_NE(fish.find(" -l " + o.name.substr(2)), std::string::npos) << o.name;
            for (const OptionAlias& a : o.aliases) {
                EXPECT_NE(manual.find(escaped(a.name)), std::string::npos) << a.name;
                EXPECT_NE(bash.find(a.name), std::string::npos) << a.name;
            }
        }
    }
    EXPECT_GT(options, 40u);
    // The page's OPTIONS section is the tables', as written.
    EXPECT_NE(manual.find(ManualOptions(AllCliCommands())), std::string::npos)
        << "packaging/tessaline-cli.1's OPTIONS section differs from the option tables: run "
           "scripts/update-manual.py build/default/tools/tessaline-cli";
    EXPECT_EQ(CompletionScript("man", AllCliCommands()), ManualOptions(AllCliCommands()));
}

// The bash completion run by bash: options, values and printers named live.
TEST(CliBinary, BashCompletesCommandsOptionsAndPrinters) {
    test::TempHome home;
    ::setenv("CUPS_SERVER", (home.Root() / "no-cups.sock").c_str(), 1);
    const fs::path cli = TESSALINE_CLI_PATH;
    ASSERT_EQ(std::system((cli.string() + " vprinter add 'THERMAL 1' >/dev/null").c_str()), 0);
    const fs::path script = home.Root() / "completion.bash";
    ASSERT_EQ(std::system((cli.string() + " completion bash >" + script.string()).c_str()), 0);
    const struct {
        const char* words;
        const char* offered; // COMPREPLY joined by "|"
    } cases[] = {
        {"tessaline-cli ap", "apply|"},
        {"tessaline-cli upload --dit", "--dither|"},
        {"tessaline-cli upload --mo", "--mode|"},
        {"tessaline-cli preview --dither ''", "threshold|stucki|floyd-steinberg|atkinson|bayer|"},
        {"tessaline-cli upload --printer ''", "THERMAL 1|"},
        {"tessaline-cli nv st", "store|"},
        {"tessaline-cli nv store --image-mode 1 ''", "THERMAL 1|"},
        {"tessaline-cli vprinter show ''", "THERMAL 1|"},
        {"tessaline-cli vprinter add q --commands star-", "star-line|star-prnt|"},
        {"tessaline-cli apply m.toml --jobs ''", "|"},
    };
    for (const auto& c : cases) {
        const std::string run = "PATH=" + cli.parent_path().string() + ":$PATH bash -c '. " +
                                script.string() +
                                "; COMP_WORDS=(\"$@\"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
                                "_tessaline_cli; printf \"%s|\" \"${COMPREPLY[@]}\"' _ " +
                                c.words;
        FILE* pipe = ::popen(run.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        std::array<char, 4096> buffer{};
        size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
            out.append(buffer.data(), n);
        }
        ::pclose(pipe);
        EXPECT_EQ(out, c.offered) << c.words;
    }
    ::unsetenv("CUPS_SERVER");
}

// The installed binary itself, with the CUPS client pointed at no server.
TEST(CliBinary, RunsAsAUserWould) {
    test::TempHome home;
    ::setenv("CUPS_SERVER", (home.Root() / "no-cups.sock").c_str(), 1);
    const std::string cli = TESSALINE_CLI_PATH;
    auto run = [&](const std::string& args, std::string& out) {
        out.clear();
        FILE* pipe = ::popen((cli + " " + args + " 2>/dev/null").c_str(), "r");
        std::array<char, 4096> buffer{};
        size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
            out.append(buffer.data(), n);
        }
        const int status = ::pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    EXPECT_EQ(run("--help", out), 0);
    EXPECT_EQ(run("vprinter add 'THERMAL #1' --paper-width 384", out), 0);
    EXPECT_EQ(run("vprinter add 'THERMAL #1'", out), 1);
    // Listed, with the missing CUPS server told apart from an empty one.
    EXPECT_EQ(run("printers", out), 3);
    EXPECT_EQ(out, "THERMAL #1\n");
    EXPECT_EQ(run("bogus", out), 1);
    // The version is the project's, with the commit where the build knew it.
    EXPECT_EQ(run("--version", out), 0);
    EXPECT_EQ(out, VersionLine("tessaline-cli") + "\n");
    EXPECT_EQ(out.rfind(std::string("tessaline-cli ") + kTessalineVersion, 0), 0u) << out;
    ::unsetenv("CUPS_SERVER");
}

} // namespace
} // namespace tessaline
