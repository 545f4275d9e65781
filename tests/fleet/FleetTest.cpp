// SPDX-License-Identifier: MIT
#include "fleet/FleetState.h"
#include "fleet/Manifest.h"
#include "fleet/Plan.h"
#include "fleet/Selection.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/CliRunner.h"
#include "tests/support/Files.h"
#include "tests/support/ServedPrinter.h"
#include "tests/support/TempFolder.h"

#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace tessaline {
namespace {

namespace fs = std::filesystem;

// Every fault of a manifest is reported at its place, with what was expected,
// and nothing of the manifest is taken.
TEST(Manifest, FaultsAreReportedWithFileLineAndColumn) {
    test::TempFolder folder;
    test::WriteFile(folder.Path() / "logo.bmp",
                    test::MakeBlackOnWhite(16, 8, [](int, int) { return true; }));
    const std::string logo = "[logos.logo]\nfile = \"logo.bmp\"\n";
    const std::string printer = "[[printers]]\naddress = \"socket://127.0.0.1:9100\"\n";
    struct Case {
        const char* what;
        std::string text;
        std::string expected; // the start of the message, after the file's name
    };
    const Case cases[] = {
        {"not TOML", "[defaults\n", ":1:10: "},
        {"an unknown key", "[defaults]\ncolour = 1\n",
         ":2:1: unknown key 'colour' in [defaults]; expected dither, threshold, brightness"},
        {"a dither", "[defaults]\ndither = \"sharp\"\n",
         ":2:10: dither is \"threshold\", \"stucki\", \"floyd-steinberg\", \"atkinson\" or "
         "\"bayer\""},
        {"a threshold", logo + "threshold = 256\n",
         ":3:13: threshold is a grey level from 0 to 255"},
        {"a threshold with another dither", logo + "dither = \"atkinson\"\nthreshold = 90\n",
         ":4:13: threshold goes with dither = \"threshold\", not with \"atkinson\""},
        {"both spellings", logo + "dither = \"stucki\"\nimage-mode = \"none\"\n",
         ":3:10: give dither or image-mode, not both"},
        {"an image mode", "[defaults]\nimage-mode = \"stucki\"\n",
         ":2:14: image-mode is \"error-diffusion\" or \"none\""},
        {"brightness", logo + "brightness = 11\n",
         ":3:14: brightness is a whole number from 0 to 10"},
        {"fit", "[defaults]\nfit = 4\n", ":2:7: fit is the paper's width in dots, from 8 to 8184"},
        {"a fit word", "[defaults]\nfit = \"wide\"\n",
         ":2:7: fit is the paper's width in dots, from 8 to 8184, or \"paper\""},
        {"a paper width", "[defaults]\npaper-width = \"57mm\"\n",
         ":2:15: paper-width is the paper's width in dots, from 8 to 8184, or \"58mm\" or "
         "\"80mm\""},
        {"a printer's paper width", logo + printer + "paper-width = 4\n",
         ":5:15: paper-width is the paper's width in dots"},
        {"a missing file",
         "[logos.logo]\nfile = \"gone.bmp\"\n" + printer + "logos = { \"A1\" = \"logo\" }\n",
         ":2:8: no file "},
        {"a logo no entry defines", logo + printer + "logos = { \"A1\" = \"header\" }\n",
         ":5:18: no logo named 'header'; expected one of [logos.NAME]: logo"},
        {"a key of the wrong length", logo + printer + "logos = { \"A12\" = \"logo\" }\n",
         ":5:11: NV graphics key 'A12' has the wrong length; expected two characters"},
        {"a number gap",
         logo + printer +
             "commands = \"nv-bit-images\"\nlogos = { \"1\" = \"logo\", \"3\" = \"logo\" }\n",
         ":6:9: NV bit images are numbered 1 to n in order: '3' follows '1'; expected '2'"},
        {"a key that is no number",
         logo + printer + "commands = \"nv-bit-images\"\nlogos = { \"A\" = \"logo\" }\n",
         ":6:11: NV bit image key 'A' is not a number; expected 1 to 255"},
        {"commands", logo + printer + "commands = \"escpos\"\nlogos = { \"A1\" = \"logo\" }\n",
         ":5:12: commands is \"auto\", \"nv-graphics\", \"nv-bit-images\", \"star-line\" or "
         "\"star-prnt\""},
        {"a Star Line Mode key",
         logo + printer + "commands = \"star-line\"\nlogos = { \"A1\" = \"logo\" }\n",
         ":6:11: Star Line Mode logo key 'A1' is not a number; expected 1 to 255"},
        {"an address twice",
         logo + printer + "logos = { \"A1\" = \"logo\" }\n" + printer +
             "logos = { \"A1\" = \"logo\" }\n",
         ":7:11: the address 'socket://127.0.0.1:9100' is the printer's at line 3 already"},
        {"a bare address of a printer given already",
         logo + printer + "logos = { \"A1\" = \"logo\" }\n[[printers]]\naddress = \"127.0.0.1\"\n" +
             "logos = { \"A1\" = \"logo\" }\n",
         ":7:11: the address 'socket://127.0.0.1:9100' is the printer's at line 3 already"},
        {"no address", logo + "[[printers]]\nname = \"till\"\nlogos = { \"A1\" = \"logo\" }\n",
         ":3:1: a printer needs address = "},
        {"no printers", logo, ":1:1: no printers; expected at least one [[printers]] table"},
        {"replace-other-logos", "[defaults]\nreplace-other-logos = \"yes\"\n",
         ":2:23: replace-other-logos is true or false"},
        {"prune", logo + printer + "prune = 1\nlogos = { \"A1\" = \"logo\" }\n",
         ":5:9: prune is true or false"},
        {"an automatic logo that is no table", "[defaults]\nauto-logo = \"A1\"\n",
         ":2:13: auto-logo is a table, as in { top = \"A1\", bottom = \"A2\", align = "
         "\"center\" }"},
        {"an automatic logo's key", logo + printer + "auto-logo = { top = \"A12\" }\n",
         ":5:21: auto-logo top is an NV graphics key in quotes; expected two characters"},
        {"an automatic logo's unknown key", "[defaults]\nauto-logo = { middle = \"A1\" }\n",
         ":2:15: unknown key 'middle' in auto-logo; expected top, bottom or align"},
        {"an automatic logo's alignment",
         "[defaults]\nauto-logo = { bottom = \"A2\", align = \"middle\" }\n",
         ":2:38: align is \"left\", \"center\" or \"right\""},
        {"an alignment of no logo", "[defaults]\nauto-logo = { align = \"left\" }\n",
         ":2:23: align places the top or bottom logo; expected top = \"KEY\""},
        {"an automatic logo on NV bit images",
         logo + printer + "commands = \"nv-bit-images\"\nauto-logo = { top = \"1\" }\n",
         ":6:13: auto-logo prints an NV graphic by key, which a printer with commands = "
         "\"nv-bit-images\" does not keep; expected commands = \"nv-graphics\" or \"auto\""},
        {"an automatic logo on StarPRNT",
         logo + printer + "commands = \"star-prnt\"\nauto-logo = { top = \"A1\" }\n",
         ":6:13: auto-logo is set with ESC/POS's FS ( E, which a printer with commands = "
         "\"star-prnt\" does not take; expected commands = \"nv-graphics\" or \"auto\""},
    };
    const fs::path file = folder.Path() / "fleet.toml";
    for (const Case& c : cases) {
        const auto manifest = ParseManifest(c.text, file);
        ASSERT_FALSE(manifest) << c.what;
        EXPECT_EQ(manifest.Reason().rfind(file.string() + c.expected, 0), 0u) << c.what << "\n"
                                                                              << manifest.Reason();
    }

    // Defaults reach every logo that does not say otherwise; bit image keys
    // come in number order.
    const auto good = ParseManifest("[defaults]\nauto-logo = { top = \"A1\", align = \"left\" }\n"
                                    "image-mode = \"error-diffusion\"\nbrightness = 7\n"
                                    "fit = 576\ncommands = \"nv-graphics\"\n"
                                    "paper-width = \"80mm\"\n" +
                                        logo +
                                        "[logos.plain]\nfile = \"logo.bmp\"\n"
                                        "dither = \"threshold\"\nfit = 384\n" +
                                        "[logos.diffused]\nfile = \"logo.bmp\"\n"
                                        "dither = \"stucki\"\nbrightness = 7\nfit = "
                                        "\"paper\"\n" +
                                        printer +
                                        "name = \"Till 1\"\nlogos = { \"B1\" = \"plain\", "
                                        "\"A1\" = \"logo\" }\n[[printers]]\naddress = "
                                        "\"Kitchen\"\ncommands = \"nv-bit-images\"\n"
                                        "prune = true\npaper-width = 384\n"
                                        "logos = { \"2\" = \"logo\", "
                                        "\"1\" = \"plain\" }\n"
                                        "[[printers]]\naddress = \"127.0.0.5\"\n"
                                        "logos = { \"A1\" = \"logo\" }\nauto-logo = {}\n",
                                    file);
    ASSERT_TRUE(good) << good.Reason();
    const Manifest& m = good.Value();
    EXPECT_EQ(m.logos.at("logo").imageMode, 1);
    EXPECT_EQ(m.logos.at("logo").brightness, 7);
    EXPECT_EQ(m.logos.at("logo").fit, 576);
    EXPECT_EQ(m.logos.at("plain").imageMode, 0);
    // dither names the same conversions: the same settings, so the same state.
    EXPECT_EQ(m.logos.at("diffused").imageMode, m.logos.at("logo").imageMode);
    EXPECT_EQ(m.logos.at("diffused").brightness, 7);
    EXPECT_TRUE(m.logos.at("diffused").fitPaper);
    EXPECT_FALSE(m.logos.at("logo").fitPaper);
    EXPECT_EQ(m.logos.at("plain").fit, 384);
    EXPECT_EQ(m.logos.at("plain").file, folder.Path() / "logo.bmp");
    EXPECT_FALSE(m.logos.at("plain").dither);
    EXPECT_FALSE(m.logos.at("diffused").dither);
    ASSERT_EQ(m.printers.size(), 3u);
    // A bare IPv4 address is its raw port's, said once.
    EXPECT_EQ(m.printers[2].address, "socket://127.0.0.5:9100");
    EXPECT_EQ(m.printers[2].name, "127.0.0.5");
    EXPECT_EQ(m.notes, std::vector<std::string>{file.string() + ":30:11: taking 127.0.0.5 as "
                                                                "socket://127.0.0.5:9100"});
    EXPECT_EQ(m.printers[0].name, "Till 1");
    EXPECT_EQ(m.printers[0].commands, NvCommands::Graphics);
    EXPECT_EQ(m.printers[0].logos.front().first, "A1");
    EXPECT_EQ(m.printers[1].name, "Kitchen");
    EXPECT_TRUE(m.printers[1].prune);
    EXPECT_EQ(m.printers[0].paperWidth, 576);
    EXPECT_EQ(m.printers[1].paperWidth, 384);
    EXPECT_EQ(m.printers[1].logos.front(), (std::pair<std::string, std::string>{"1", "plain"}));
    // The defaults' automatic logo reaches the printers of NV graphics only;
    // an empty table of a printer's own asks for none.
    ASSERT_TRUE(m.printers[0].autoLogo);
    EXPECT_EQ(AutoLogoText(*m.printers[0].autoLogo), "A1,,left");
    EXPECT_FALSE(m.printers[1].autoLogo);
    ASSERT_TRUE(m.printers[2].autoLogo);
    EXPECT_FALSE(m.printers[2].autoLogo->Any());
}

// A syntax fault is one line in the manifest's terms, at the value at fault,
// and nothing after it is reported: what follows cannot be read.
TEST(Manifest, ASyntaxFaultIsOneLineSayingWhatWasExpected) {
    const std::string values = "; expected text in quotes (\"";
    const struct {
        std::string text;
        std::string expected; // the whole message after the file's name
    } cases[] = {
        {"[defaults\nfit = 576\n", ":1:10: the line's end in the table header; expected ']'"},
        {"[[printers]]\naddress = 127.0.0.5\n", ":2:11: '127.0.0.5' is not a TOML value" + values +
                                                    "127.0.0.5\"), a number, true or "
                                                    "false"},
        {"[defaults]\ncommands = nv-graphics\n", ":2:12: 'nv-graphics' is not a TOML value" +
                                                     values +
                                                     "nv-graphics\"), a number, true "
                                                     "or false"},
        {"[defaults]\nprune = yes\n",
         ":2:9: 'yes' is not a TOML value" + values + "yes\"), a number, true or false"},
        {"[defaults]\nfit = 099\n", ":2:7: '099' is not a TOML value (leading zeroes are "
                                    "prohibited)" +
                                        values + "099\"), a number, true or false"},
        {"[defaults]\nbrightness =\n",
         ":2:13: no value after '='; expected text in quotes, a number, true or false"},
        {"[logos.header]\nfile = \"C:\\logos\\header.bmp\"\n",
         ":2:11: '\\l' in a string is not an escape; expected \\\\ for each backslash, or the "
         "text in single quotes, as in 'C:\\logos\\header.bmp'"},
        {"[[printers]]\nname = \"Till 1\naddress = \"Kitchen\"\n",
         ":2:15: the line ends inside a string; expected its closing \" on the same line"},
        {"[[printers]]\nlogos = { \"A1\": \"header\" }\n",
         ":2:15: ':' after the key; expected '='"},
        {"[[printers]]\nlogos = { \"A1\" = \"header\"\n",
         ":2:26: the line's end in the inline table; expected key or closing '}'"},
        {"[defaults]\nfit = 57 6\n",
         ":2:10: '6' after the value; expected the line's end or a # comment"},
        {"[logos.header]\nfile = \"a.bmp\"\n[logos.header]\nfile = \"b.bmp\"\n",
         ":3:1: [logos.header] is given twice; expected each table once"},
        {"[defaults]\nfit = 576\nfit = 384\n",
         ":3:1: 'fit' is given twice; expected each key once in its table"},
        {"= 3\n", ":1:1: '=' where a line starts; expected KEY = VALUE, [TABLE] or a # comment"},
        {"[logos.a]\nfile = \"\xff.bmp\"\n", ":2:8: a byte that is not UTF-8; expected UTF-8 text"},
        {"[[printers]", ":1:12: the file ends inside the table header; expected ']'"},
        // Characters the reader cannot tell from blanks where it asks for one.
        {"[defaults]\nfit = 576 \xc2\xa1\n",
         ":2:11: '\xc2\xa1' is outside quotes; expected ASCII there (other characters go in text "
         "in quotes or in a comment)"},
        {"[logos.a]\nfile = \"a\\\xc3\xa9.bmp\"\n",
         ":2:10: '\\\xc3\xa9' in a string is not an escape; expected \\\\ for each backslash, or "
         "the text in single quotes, as in 'C:\\logos\\header.bmp'"},
        // Faults after the first are not reported.
        {"[defaults]\ncolour = 1\nfit = tru\nbrightness = 99\n[defaults\n",
         ":3:7: 'tru' is not a TOML value" + values + "tru\"), a number, true or false"},
    };
    const fs::path file = "/tmp/fleet.toml";
    for (const auto& c : cases) {
        const auto manifest = ParseManifest(c.text, file);
        ASSERT_FALSE(manifest) << c.text;
        EXPECT_EQ(manifest.Reason(), file.string() + c.expected) << c.text;
    }
    // Those characters in quotes and comments are text like any other.
    const auto good = ParseManifest(
        "# caf\xc3\xa9 \xc2\xa1\n[[printers]] # \xc2\xa1\nname = \"\"\"Caf\xc3\xa9\\\n  "
        "\xc2\xa1 \xe3\x81\x82 \xf0\x9f\x96\xa8\"\"\"\naddress = 'C:\\\xc2\xa1\"'\n"
        "logos = {}\n[[printers]]\nname = '''\xe3\x81\x82\\\"''''\naddress = \"\\u00e9\"\nlogos = "
        "{}\n",
        file);
    ASSERT_TRUE(good) << good.Reason();
    EXPECT_EQ(good.Value().printers.at(0).name,
              "Caf\xc3\xa9\xc2\xa1 \xe3\x81\x82 \xf0\x9f\x96\xa8");
    EXPECT_EQ(good.Value().printers.at(0).address, "C:\\\xc2\xa1\"");
    EXPECT_EQ(good.Value().printers.at(1).name, "\xe3\x81\x82\\\"'");
    EXPECT_EQ(good.Value().printers.at(1).address, "\xc3\xa9");
}

TEST(Plan, StoresOnlyWhatDiffersAndKeepsTheBudget) {
    PrinterRecord record;
    record.serial = "S1";
    record.commands = "nv-graphics";
    record.keys = {{"A1", "h1"}, {"A2", "h2"}};
    record.day = "2026-06-01";
    record.writes = 8;
    PrinterRecord images;
    images.commands = "nv-bit-images";
    images.bitImages = "h1h2";
    using Held = std::optional<std::vector<std::string>>;
    const std::vector<WantedLogo> same = {{"A1", "h1"}, {"A2", "h2"}};
    struct Case {
        const char* what;
        bool graphics;
        std::vector<WantedLogo> wanted;
        Held held;
        const PrinterRecord* record;
        std::string serial;
        bool prune;
        int64_t maxWrites;
        std::string store; // "KEY:reason ..." in order
        std::vector<std::string> unmanaged, remove;
        int64_t writes;
        bool refused;
    };
    const Case cases[] = {
        {"nothing recorded",
         true,
         same,
         Held({}),
         nullptr,
         "S1",
         false,
         10,
         "A1:new A2:new",
         {},
         {},
         2,
         false},
        {"all matches",
         true,
         same,
         Held({{"A1", "A2"}}),
         &record,
         "S1",
         false,
         10,
         "",
         {},
         {},
         0,
         false},
        {"one changed",
         true,
         {{"A1", "h1"}, {"A2", "new"}},
         Held({{"A1", "A2"}}),
         &record,
         "S1",
         false,
         10,
         "A2:changed",
         {},
         {},
         1,
         false},
        {"erased behind our back",
         true,
         same,
         Held({{"A2"}}),
         &record,
         "S1",
         false,
         10,
         "A1:missing from the printer",
         {},
         {},
         1,
         false},
        {"held, unrecorded",
         true,
         {{"A1", "h1"}, {"B1", "h3"}},
         Held({{"A1", "B1"}}),
         &record,
         "S1",
         false,
         10,
         "B1:not in the state",
         {},
         {},
         1,
         false},
        {"another printer",
         true,
         same,
         Held({{"A1", "A2"}}),
         &record,
         "S2",
         false,
         10,
         "A1:another printer at the address A2:another printer at the address",
         {},
         {},
         2,
         false},
        {"no serial answered",
         true,
         same,
         Held({{"A1", "A2"}}),
         &record,
         "",
         false,
         10,
         "",
         {},
         {},
         0,
         false},
        {"keys left alone",
         true,
         same,
         Held({{"A1", "A2", "ZZ"}}),
         &record,
         "S1",
         false,
         10,
         "",
         {"ZZ"},
         {},
         0,
         false},
        {"keys pruned",
         true,
         same,
         Held({{"A1", "A2", "ZZ"}}),
         &record,
         "S1",
         true,
         10,
         "",
         {},
         {"ZZ"},
         1,
         false},
        {"a queue, unasked",
         true,
         same,
         std::nullopt,
         &record,
         "",
         false,
         10,
         "",
         {},
         {},
         0,
         false},
        {"over the budget",
         true,
         {{"A1", "x"}, {"A2", "y"}, {"A3", "z"}},
         Held({{"A1", "A2"}}),
         &record,
         "S1",
         false,
         10,
         "A1:changed A2:changed A3:new",
         {},
         {},
         3,
         false},
        {"at the budget",
         true,
         {{"A1", "x"}, {"A2", "y"}},
         Held({{"A1", "A2"}}),
         &record,
         "S1",
         false,
         10,
         "A1:changed A2:changed",
         {},
         {},
         2,
         false},
        {"bit images, same",
         false,
         {{"1", "h1"}, {"2", "h2"}},
         std::nullopt,
         &images,
         "",
         false,
         10,
         "",
         {},
         {},
         0,
         false},
        {"bit images, one changed",
         false,
         {{"1", "h1"}, {"2", "h9"}},
         std::nullopt,
         &images,
         "",
         false,
         10,
         "1:changed 2:changed",
         {},
         {},
         1,
         false},
        {"bit images over graphics",
         false,
         {{"1", "h1"}},
         std::nullopt,
         &record,
         "S1",
         false,
         10,
         "1:new",
         {},
         {},
         1,
         false},
    };
    for (const Case& c : cases) {
        PlanInput in;
        in.graphics = c.graphics;
        in.wanted = c.wanted;
        in.held = c.held;
        in.record = c.record;
        in.serial = c.serial;
        in.prune = c.prune;
        // The record's day is today, except for the budget cases' "today".
        in.today = "2026-06-01";
        in.maxWrites = c.maxWrites;
        const PrinterPlan plan = PlanPrinter(in);
        std::string store;
        for (const auto& [key, why] : plan.store) {
            store.append(store.empty() ? "" : " ")
                .append(key)
                .append(":")
                .append(StoreReasonName(why));
        }
        EXPECT_EQ(store, c.store) << c.what;
        EXPECT_EQ(plan.unmanaged, c.unmanaged) << c.what;
        EXPECT_EQ(plan.remove, c.remove) << c.what;
        EXPECT_EQ(plan.writes, c.writes) << c.what;
        const bool overBudget = c.record == &record && plan.writes > 2;
        EXPECT_EQ(plan.refused, overBudget) << c.what;
        // The next day starts a new count.
        in.today = "2026-06-02";
        EXPECT_FALSE(PlanPrinter(in).refused) << c.what;
    }

    // Storing one kind of NV logo erases the other kind: named, and refused
    // unless allowed.
    PrinterRecord uploaded = images;
    uploaded.bitImages = std::string(64, 'a') + std::string(64, 'b');
    const struct {
        const char* what;
        bool graphics;
        const PrinterRecord* record;
        bool replace;
        std::string erases;
        bool refused;
    } erasures[] = {
        {"bit images over recorded graphics", false, &record, false, "NV graphics A1 A2", true},
        {"the same, allowed", false, &record, true, "NV graphics A1 A2", false},
        {"graphics over two recorded bit images", true, &uploaded, false, "NV bit images 1 2",
         true},
        {"graphics over graphics", true, &record, false, "", false},
        {"nothing recorded", true, nullptr, false, "", false},
    };
    for (const auto& c : erasures) {
        PlanInput in;
        in.graphics = c.graphics;
        in.wanted = {{c.graphics ? "A3" : "1", "h7"}};
        in.held = c.graphics ? Held(std::vector<std::string>{}) : std::nullopt;
        in.record = c.record;
        in.replaceOtherLogos = c.replace;
        in.today = "2026-06-02";
        const PrinterPlan plan = PlanPrinter(in);
        EXPECT_EQ(plan.erases, c.erases) << c.what;
        EXPECT_EQ(plan.erasureRefused, c.refused) << c.what;
    }
}

TEST(State, ReadsBackWhatItWritesAndRefusesWhatItDidNot) {
    FleetState state;
    PrinterRecord& r = state.printers["socket://127.0.0.1:9100"];
    // A serial answered in another code page is kept byte for byte.
    r.serial = "S\"1 \xcf\xff caf\xc3\xa9";
    r.commands = "nv-graphics";
    r.keys = {{"A1", "ab"}, {" ~", "cd"}};
    r.day = "2026-06-01";
    r.writes = 3;
    state.printers["Kitchen"].bitImages = "ef";
    state.failed["socket://127.0.0.2:9100"] = "refused";
    const auto back = ParseFleetState(FleetStateText(state));
    ASSERT_TRUE(back) << back.Reason();
    EXPECT_EQ(FleetStateText(back.Value()), FleetStateText(state));
    EXPECT_EQ(back.Value().printers.at("socket://127.0.0.1:9100").keys.at(" ~"), "cd");
    EXPECT_EQ(back.Value().printers.at("socket://127.0.0.1:9100").serial, r.serial);
    EXPECT_NE(FleetStateText(state).find("\\u00cf\\u00ff caf\xc3\xa9"), std::string::npos);
    EXPECT_TRUE(ParseFleetState("{}"));
    for (const char* bad : {"", "{\"printers\": {\"a\": {\"keys\": {\"A1\": 1}}}}",
                            "{\"printers\": {}} x", "{\"printers\": {\"a\": {\"nv-writes\": -1}}}",
                            "{\"printers\": {\"a\": {\"colour\": \"red\"}}}", "{\"printers\": {",
                            "{\"failed\": {\"a\": \"stored\"}}"}) {
        EXPECT_FALSE(ParseFleetState(bad)) << bad;
    }
}

TEST(Selection, GlobsMatchAsTheShellsDo) {
    const struct {
        const char* pattern;
        const char* text;
        bool matches;
    } cases[] = {
        {"till-*", "till-12", true},
        {"till-*", "kitchen", false},
        {"*", "", true},
        {"127.0.0.?:9100", "127.0.0.5:9100", true},
        {"127.0.0.?", "127.0.0.15", false},
        {"P[12]", "P2", true},
        {"P[!12]", "P2", false},
        {"P[1-3]", "P3", true},
        {"P[]]", "P]", true},
        {"P[", "P[", true},
        {"*a*b*c", "xaybzc", true},
        {"*a*b*c", "xaybzcd", false},
        {"\\*", "*", true},
        {"\\*", "x", false},
        {"Till 1", "till 1", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GlobMatches(c.pattern, c.text), c.matches) << c.pattern << " " << c.text;
    }
}

// tessaline-cli apply against three printers served on loopback, through the
// scenarios an installer meets, in order.
class ApplyFleet : public ::testing::Test {
protected:
    // The NV writes a virtual printer counted today.
    int Writes(const std::string& printer) const {
        const std::string shown = cli.Run("vprinter show " + printer).out;
        const std::string label = "NV writes today: ";
        const size_t at = shown.find(label);
        return at == std::string::npos ? -1 : std::stoi(shown.substr(at + label.size()));
    }
    std::string Manifest(const std::vector<std::string>& addresses) const {
        std::string text = "[defaults]\nimage-mode = \"error-diffusion\"\nfit = 576\n"
                           "[logos.header]\nfile = \"header.bmp\"\n"
                           "[logos.coupon]\nfile = \"coupon.bmp\"\nimage-mode = \"none\"\n";
        const char* logos[] = {
            "{ \"A1\" = \"header\", \"A2\" = \"coupon\" }", "{ \"A1\" = \"header\" }",
            "{ \"1\" = \"header\", \"2\" = \"coupon\" }", "{ \"A1\" = \"coupon\" }"};
        for (size_t i = 0; i < addresses.size(); ++i) {
            text.append("[[printers]]\nname = \"P").append(std::to_string(i + 1)).append("\"\n");
            text.append("address = \"").append(addresses[i]).append("\"\n");
            text.append(i == 2 ? "commands = \"nv-bit-images\"\n" : "");
            text.append("logos = ").append(logos[i]).append("\n");
        }
        return text;
    }
    void Logo(const char* name, int width, int phase) const {
        test::WriteFile(cli.Root() / name, test::MakeBlackOnWhite(width, 40, [phase](int x, int y) {
                            return (x / 8 + y / 8 + phase) % 2 != 0;
                        }));
    }

    test::CliRunner cli;
};

TEST_F(ApplyFleet, WritesOnlyWhatDiffersAndRemembersOnlyWhatWasVerified) {
    for (const char* add : {"P1", "P2 --write-ms 50", "P3 --nv-graphics 0", "P4"}) {
        ASSERT_EQ(cli.Run(std::string("vprinter add ") + add).status, 0) << add;
    }
    test::ServedPrinter p1(cli, "P1"), p2(cli, "P2"), p3(cli, "P3");
    std::string down;
    {
        test::ServedPrinter p4(cli, "P4");
        down = p4.Address();
        p4.Stop();
    }
    ASSERT_FALSE(p1.Address().empty() || p2.Address().empty() || p3.Address().empty());
    Logo("header.bmp", 700, 0); // wider than the paper: fitted to 576 dots
    Logo("coupon.bmp", 200, 0);
    const fs::path manifest = cli.Root() / "fleet.toml";
    const fs::path state = cli.Root() / "fleet.toml.state.json";
    test::WriteText(manifest, Manifest({p1.Address(), p2.Address(), p3.Address()}));
    const std::string apply = "apply " + cli.Quote(manifest) + " ";
    // A served printer runs a job once its connection closed: wait for the count.
    std::string expected;
    const auto writes = [&] {
        std::string counted;
        for (int i = 0; i < 100 && counted != expected; ++i) {
            if (i > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            counted = std::to_string(Writes("P1")) + " " + std::to_string(Writes("P2")) + " " +
                      std::to_string(Writes("P3"));
        }
        return counted;
    };

    // A plan asks and writes nothing, not even the state.
    auto run = cli.Run(apply + "--plan");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("P1: would store A1 (new), A2 (new) (2 NV writes; 0 today so far)"),
              std::string::npos)
        << run.out;
    expected = "0 0 0";
    EXPECT_EQ(writes(), expected);
    EXPECT_FALSE(fs::exists(state));

    // The first apply stores everything, each key verified.
    run = cli.Run(apply);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("P1: stored A1 A2 (2 NV writes, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("P2: stored A1 (1 NV write, "), std::string::npos) << run.out;
    // NV bit images cannot be read back: sent, never "stored".
    EXPECT_NE(run.out.find("P3: sent 1 2 (1 NV write, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("; the printer cannot confirm NV bit images"), std::string::npos);
    expected = "2 1 1";
    EXPECT_EQ(writes(), expected);
    const std::string shown = cli.Run("vprinter show P3").out;
    EXPECT_NE(shown.find("1: 576x"), std::string::npos) << shown;
    EXPECT_NE(shown.find("2: 200x40"), std::string::npos) << shown;

    // The second writes nothing.
    run = cli.Run(apply + "--json");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(
        run.out.rfind("{\"version\": 1, \"changed\": false, \"plan\": false, \"nv_writes\": 0,", 0),
        0u)
        << run.out;
    expected = "2 1 1";
    EXPECT_EQ(writes(), expected);

    // One logo changed: only the keys that show it are written.
    Logo("coupon.bmp", 200, 1);
    run = cli.Run(apply);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("P1: stored A2 (1 NV write"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("P2: unchanged"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("P3: sent 1 2 (1 NV write"), std::string::npos) << run.out;
    expected = "3 1 2";
    EXPECT_EQ(writes(), expected);

    // Erased behind our back, and a key of someone else's: restored, left alone.
    ASSERT_EQ(cli.Run("nv delete " + p1.Address() + " --all").status, 0);
    ASSERT_EQ(
        cli.Run("nv store " + p1.Address() + " ZZ " + cli.Quote(cli.Root() / "coupon.bmp")).status,
        0);
    run = cli.Run(apply);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("P1: stored A1 A2 (2 NV writes, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("left alone, not in the manifest: ZZ"), std::string::npos) << run.out;
    expected = "7 1 2";
    EXPECT_EQ(writes(), expected);

    // A printer down: the others are done, and the state keeps no record of it.
    test::WriteText(manifest, Manifest({p1.Address(), p2.Address(), p3.Address(), down}));
    Logo("coupon.bmp", 200, 2);
    run = cli.Run(apply);
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_NE(run.out.find("P4: failed: " + down + ": connection refused"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("P1: stored A2 (1 NV write"), std::string::npos) << run.out;
    expected = "8 1 3";
    EXPECT_EQ(writes(), expected);
    auto remembered = ParseFleetState(test::ReadText(state));
    ASSERT_TRUE(remembered) << remembered.Reason();
    EXPECT_EQ(remembered.Value().printers.count(down), 0u);
    EXPECT_EQ(remembered.Value().printers.at(p1.Address()).serial, "P1");
    // The state counts this tool's writes; the printer's shared record those
    // of nv delete and nv store too.
    EXPECT_EQ(remembered.Value().printers.at(p1.Address()).writes, 6);

    // The write budget counts every tool's: P1 has had 6 of apply's and 2 of
    // nv's today, and needs one more.
    test::WriteText(manifest, Manifest({p1.Address(), p2.Address(), p3.Address()}));
    Logo("header.bmp", 700, 1);
    run = cli.Run(apply + "--max-writes 8");
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_NE(run.out.find("P1: refused: 1 NV write needed and 8 done today would pass the limit "
                           "of 8 a day (--max-writes); nothing written"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("P2: stored A1 (1 NV write"), std::string::npos) << run.out;
    expected = "8 2 4";
    EXPECT_EQ(writes(), expected);

    // Two applies at once: one writes, the other waits and finds nothing to do.
    auto first = std::async(std::launch::async, [&] { return cli.Run(apply + "--json"); });
    auto second = std::async(std::launch::async, [&] { return cli.Run(apply + "--json"); });
    const auto a = first.get();
    const auto b = second.get();
    EXPECT_EQ(a.status, 0) << a.out << a.err;
    EXPECT_EQ(b.status, 0) << b.out << b.err;
    const bool aChanged = a.out.find("\"changed\": true") != std::string::npos;
    const bool bChanged = b.out.find("\"changed\": true") != std::string::npos;
    EXPECT_NE(aChanged, bChanged) << a.out << b.out;
    expected = "9 2 4";
    EXPECT_EQ(writes(), expected);
    remembered = ParseFleetState(test::ReadText(state));
    ASSERT_TRUE(remembered) << remembered.Reason();
    EXPECT_EQ(remembered.Value().printers.size(), 3u);
    EXPECT_EQ(remembered.Value().printers.at(p1.Address()).writes, 7);

    // P2's paper is narrower than the header fitted to 576 dots: refused
    // before anything is sent to it; the others as before.
    std::string narrow = Manifest({p1.Address(), p2.Address(), p3.Address()});
    narrow.insert(narrow.find("name = \"P2\"\n") + 12, "paper-width = \"58mm\"\n");
    test::WriteText(manifest, narrow);
    run = cli.Run(apply);
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_NE(run.out.find("P2: refused: " + (cli.Root() / "header.bmp").string() +
                           " (logo header) is 576 dots wide, P2 prints 384: give [logos.header] "
                           "fit = 384 or fit = \"paper\"; nothing written"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("P1: unchanged"), std::string::npos) << run.out;
    EXPECT_EQ(writes(), expected);

    // fit = "paper": fitted to each printer's own paper (P1 answers its
    // roll, 80 mm, the width it had); a printer whose paper is not known is
    // refused, by the plan as by apply.
    std::string perPaper = narrow;
    const std::string header = "[logos.header]\nfile = \"header.bmp\"\n";
    perPaper.replace(perPaper.find(header), header.size(), header + "fit = \"paper\"\n");
    test::WriteText(manifest, perPaper);
    const std::string unknown = "P3: refused: [logos.header] has fit = \"paper\" and the paper "
                                "width of P3 is not known: give P3 paper-width = DOTS, \"58mm\" "
                                "or \"80mm\"; nothing written";
    run = cli.Run(apply + "--plan");
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_NE(run.out.find(unknown), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("P2: would store A1 (changed)"), std::string::npos) << run.out;
    run = cli.Run(apply);
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_NE(run.out.find(unknown), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("P1: unchanged"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("P2: stored A1 (1 NV write"), std::string::npos) << run.out;
    expected = "9 3 4";
    EXPECT_EQ(writes(), expected);
    const std::string log = p2.Output(std::chrono::milliseconds(3000), "384x22 dots");
    EXPECT_NE(log.find("\"A1\": stored, 384x22 dots"), std::string::npos) << log;
}

// Part of a fleet by name, address or last result, with reports, among
// printers of which one fails and one is refused on purpose: every printer's
// line is there whatever the others did, in text, JSON and the report.
// The manifest's dither, threshold and brightness are the command line's:
// apply stores the very dots nv store makes from the same words.
TEST_F(ApplyFleet, TheManifestConvertsAsTheCommandLineDoes) {
    for (const char* add : {"P1", "P2"}) {
        ASSERT_EQ(cli.Run(std::string("vprinter add ") + add).status, 0) << add;
    }
    test::ServedPrinter p1(cli, "P1"), p2(cli, "P2");
    const fs::path grey = cli.Root() / "grey.bmp";
    test::WriteFile(grey, test::Make24(500, 48, [](int x, int y) {
                        const auto level = static_cast<uint8_t>((x * 255 / 500 + y * 3) % 256);
                        return test::Bgr{level, level, level};
                    }));
    const struct {
        const char* key;
        const char* manifest; // the logo's settings in the manifest
        const char* options;  // nv store's for the same dots
    } logos[] = {
        {"A1", "dither = \"atkinson\"\nfit = 400", "--dither atkinson --fit 400"},
        {"A2", "threshold = 90", "--threshold 90"},
        {"A3", "dither = \"bayer\"\nbrightness = 2", "--dither bayer --brightness 2"},
        {"A4", "dither = \"stucki\"\nbrightness = 8", "--image-mode 1 --brightness 8"},
        {"A5", "image-mode = \"none\"\nbrightness = 3", "--dither threshold --brightness 3"},
    };
    std::string manifest;
    std::string keys;
    for (const auto& l : logos) {
        manifest.append("[logos.").append(l.key).append("]\nfile = \"grey.bmp\"\n");
        manifest.append(l.manifest).append("\n");
        keys.append(keys.empty() ? "" : ", ").append("\"").append(l.key).append("\" = \"");
        keys.append(l.key).append("\"");
    }
    manifest.append("[[printers]]\naddress = \"").append(p1.Address()).append("\"\n");
    manifest.append("logos = { ").append(keys).append(" }\n");
    test::WriteText(cli.Root() / "fleet.toml", manifest);
    const auto run = cli.Run("apply " + cli.Quote(cli.Root() / "fleet.toml"));
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (const auto& l : logos) {
        const auto stored = cli.Run("nv store " + p2.Address() + " " + l.key + " " + l.options +
                                    " " + cli.Quote(grey));
        ASSERT_EQ(stored.status, 0) << l.options << stored.err;
    }
    // A served printer runs a job once its connection closed: wait for it.
    const auto picture = [&](const char* printer, const char* key) {
        std::string folder = cli.Run(std::string("vprinter path ") + printer).out;
        folder.erase(folder.find_last_not_of('\n') + 1);
        const fs::path png = fs::path(folder) / "nv" / "graphics" / (std::string(key) + ".png");
        std::string bytes;
        for (int i = 0; i < 100 && bytes.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(i == 0 ? 0 : 50));
            bytes = test::ReadAll(png).value_or("");
        }
        return bytes;
    };
    for (const auto& l : logos) {
        const auto applied = picture("P1", l.key);
        EXPECT_FALSE(applied.empty()) << l.key;
        EXPECT_EQ(applied, picture("P2", l.key)) << l.manifest;
    }
    EXPECT_NE(picture("P1", "A1"), picture("P1", "A2"));
    EXPECT_NE(picture("P1", "A3"), picture("P1", "A4"));

    // commands = "auto" on a printer without NV graphics: one FS q upload,
    // each key's number said.
    ASSERT_EQ(cli.Run("vprinter add P3 --nv-graphics 0").status, 0);
    test::ServedPrinter p3(cli, "P3");
    test::WriteText(cli.Root() / "old.toml",
                    "[logos.a]\nfile = \"grey.bmp\"\n[[printers]]\n"
                    "address = \"" +
                        p3.Address() + "\"\nlogos = { \"B2\" = \"a\", \"A1\" = \"a\" }\n");
    const auto old = cli.Run("apply " + cli.Quote(cli.Root() / "old.toml"));
    EXPECT_EQ(old.status, 0) << old.out << old.err;
    EXPECT_NE(old.out.find(": sent A1 B2 (1 NV write"), std::string::npos) << old.out;
    EXPECT_NE(old.out.find("it answers no NV graphics question: A1 is NV bit image 1, B2 is NV "
                           "bit image 2"),
              std::string::npos)
        << old.out;
}

TEST_F(ApplyFleet, OnlyFailedAndReportWorkOnPartOfTheFleet) {
    for (const char* add : {"P1", "P2", "P3 --nv-graphics 0", "P4 --answers none"}) {
        ASSERT_EQ(cli.Run(std::string("vprinter add ") + add).status, 0) << add;
    }
    test::ServedPrinter p1(cli, "P1"), p2(cli, "P2"), p3(cli, "P3"), p4(cli, "P4");
    Logo("header.bmp", 576, 0);
    Logo("coupon.bmp", 200, 0);
    const fs::path manifest = cli.Root() / "fleet.toml";
    const std::string fleet = Manifest({p1.Address(), p2.Address(), p3.Address(), p4.Address()});
    std::string narrow = fleet; // P2 refused: its paper is narrower than the header
    narrow.insert(narrow.find("name = \"P2\"\n") + 12, "paper-width = \"58mm\"\n");
    test::WriteText(manifest, narrow);
    const std::string apply = "apply " + cli.Quote(manifest) + " ";
    const std::string p4Fails = "P4: failed: " + p4.Address() + " does not answer";
    const std::string p2Refused = "P2: refused: ";

    // Refused before anything is asked.
    for (const char* wrong : {"--report r.txt", "--report gone/r.csv", "--only 'P9*' --only P1"}) {
        const auto run = cli.Run(apply + wrong);
        EXPECT_EQ(run.status, 1) << wrong << run.out;
        EXPECT_EQ(run.out, "") << wrong;
        EXPECT_NE(run.err.find("nothing sent"), std::string::npos) << wrong << run.err;
    }
    EXPECT_NE(cli.Run(apply + "--only 'P9*'").err.find("--only 'P9*' matches no printer of "),
              std::string::npos);
    // No run yet: nothing failed.
    auto run = cli.Run(apply + "--failed --json");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("no printer failed or was refused in its last run"), std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("\"printers\": []"), std::string::npos) << run.out;

    // A plan of some, by name pattern and by address, into a CSV report.
    run = cli.Run(apply + "--plan --only 'P[12]' --only " +
                  p4.Address().substr(std::string("socket://").size()) + " --report plan.csv");
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.out.find("P1: would store A1 (new), A2 (new)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(p2Refused), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(p4Fails), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("P3:"), std::string::npos) << run.out;
    const std::string csv = test::ReadText(cli.Root() / "plan.csv");
    EXPECT_EQ(csv.rfind("name,address,serial,result,keys_stored,nv_writes,seconds,reason,"
                        "auto_logo,auto_logo_result\r\n"
                        "P1," +
                            p1.Address() + ",P1,planned,,0,",
                        0),
              0u)
        << csv;
    EXPECT_NE(csv.find("\r\nP2," + p2.Address() + ",P2,refused,,0,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\nP4," + p4.Address() + ",,failed,,0,"), std::string::npos) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4) << csv;

    // The whole fleet, as JSON on the terminal and in the report alike.
    run = cli.Run(apply + "--json --report run.json");
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_EQ(test::ReadText(cli.Root() / "run.json"), run.out);
    EXPECT_EQ(run.out.rfind("{\"version\": 1, \"changed\": true,", 0), 0u) << run.out;
    for (const std::string& line : {"\"name\": \"P1\", \"address\": \"" + p1.Address() +
                                        "\", \"serial\": \"P1\", \"result\": \"stored\"",
                                    "\"name\": \"P2\", \"address\": \"" + p2.Address() +
                                        "\", \"serial\": \"P2\", \"result\": \"refused\"",
                                    "\"name\": \"P3\", \"address\": \"" + p3.Address() +
                                        "\", \"serial\": \"P3\", \"result\": \"stored\"",
                                    "\"name\": \"P4\", \"address\": \"" + p4.Address() +
                                        "\", \"serial\": \"\", \"result\": \"failed\""}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
    }

    // --failed takes up the refused and the failed printer only; once P2's
    // paper is mended it is stored, and P4 stays for the next time.
    run = cli.Run(apply + "--failed");
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_NE(run.out.find(p2Refused), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(p4Fails), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("P1:"), std::string::npos) << run.out;
    test::WriteText(manifest, fleet);
    run = cli.Run(apply + "--failed --report again.csv");
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_NE(run.out.find("P2: stored A1 (1 NV write"), std::string::npos) << run.out;
    EXPECT_NE(test::ReadText(cli.Root() / "again.csv").find(",P2,stored,A1,1,"), std::string::npos);
    EXPECT_EQ(cli.Run(apply + "--failed").out.find("P2:"), std::string::npos);
    test::WriteText(manifest, Manifest({p1.Address(), p2.Address(), p3.Address()}));
    run = cli.Run(apply + "--failed");
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Writes("P1"), 2);
}

// FS q images cannot be read back: only the shared record tells apply that
// the control's erase (the program's, or the command line's) emptied them.
TEST_F(ApplyFleet, AnEraseFromAnotherToolMakesTheNextApplyStoreAgain) {
    ASSERT_EQ(cli.Run("vprinter add P1").status, 0);
    ASSERT_EQ(cli.Run("vprinter add P2").status, 0);
    ASSERT_EQ(cli.Run("vprinter add P3 --nv-graphics 0").status, 0);
    test::ServedPrinter p1(cli, "P1"), p2(cli, "P2"), p3(cli, "P3");
    Logo("header.bmp", 576, 0);
    Logo("coupon.bmp", 200, 0);
    const fs::path manifest = cli.Root() / "fleet.toml";
    test::WriteText(manifest, Manifest({p1.Address(), p2.Address(), p3.Address()}));
    const std::string apply = "apply " + cli.Quote(manifest);
    auto run = cli.Run(apply);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(cli.Run(apply + " --plan").out.find("would store"), std::string::npos);

    // NV graphics would erase the images apply stored: refused unless asked.
    const auto graphics =
        cli.Run("nv store " + p3.Address() + " A1 " + cli.Quote(cli.Root() / "coupon.bmp"));
    EXPECT_EQ(graphics.status, 3) << graphics.err;
    EXPECT_NE(graphics.err.find("nothing was sent: " + p3.Address() +
                                " holds NV bit images (the last change recorded: apply of P3), "
                                "which storing NV graphics erases; give --replace-other-logos"),
              std::string::npos)
        << graphics.err;
    ASSERT_EQ(cli.Run("register " + cli.Quote(TESSALINE_CONTROL_PATH)).status, 0);
    const auto erased = cli.Run("erase --printer " + p3.Address());
    ASSERT_EQ(erased.status, 0) << erased.err;
    run = cli.Run(apply + " --plan");
    EXPECT_NE(run.out.find("P3: would store 1 (written by another tool since), 2 (written by "
                           "another tool since) (1 NV write; 2 today so far)"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("P1: unchanged"), std::string::npos) << run.out;
}

// The automatic logo of the manifest: read from each printer, written only
// where it differs, each change an NV write against the day's budget; a
// printer without the function is sent it, never told it is set.
TEST_F(ApplyFleet, TheAutomaticLogoIsSetWhereItDiffersAndNeverCalledSetUnread) {
    ASSERT_EQ(cli.Run("vprinter add P1").status, 0);
    ASSERT_EQ(cli.Run("vprinter add P2 --auto-logo off").status, 0);
    test::ServedPrinter p1(cli, "P1"), p2(cli, "P2");
    ASSERT_FALSE(p1.Address().empty() || p2.Address().empty());
    Logo("header.bmp", 576, 0);
    Logo("coupon.bmp", 200, 0);
    const fs::path manifest = cli.Root() / "fleet.toml";
    const std::string both = "auto-logo = { top = \"A1\", bottom = \"A2\" }\n";
    // Both printers with A1 and A2.
    std::string fleet = Manifest({p1.Address(), p2.Address()});
    fleet.insert(fleet.find("[defaults]\n") + 11, both);
    const std::string one = "{ \"A1\" = \"header\" }";
    fleet.replace(fleet.rfind(one), one.size(), "{ \"A1\" = \"header\", \"A2\" = \"coupon\" }");
    test::WriteText(manifest, fleet);
    const std::string apply = "apply " + cli.Quote(manifest) + " ";
    const std::string bothShown = "top A1 (center), bottom A2 (center)";
    const std::string unanswered = "sent, not verified: " + p2.Address() +
                                   " does not answer what it prints by itself (FS ( E 61)";
    const auto writesBecome = [&](const std::string& printer, int wanted) {
        int counted = Writes(printer);
        for (int i = 0; i < 100 && counted != wanted; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            counted = Writes(printer);
        }
        return counted;
    };
    struct Step {
        std::string options;
        int status;
        std::vector<std::string> says;
        int p1Writes, p2Writes; // the printers' NV writes today afterwards
    };
    const Step steps[] = {
        {"--plan",
         0,
         {"P1: would store A1 (new), A2 (new); would set the automatic logo " + bothShown +
              " (now none) (4 NV writes; 0 today so far)",
          "P2: would store A1 (new), A2 (new); would set the automatic logo " + bothShown +
              " (what it prints now is not known) (4 NV writes; 0 today so far)"},
         0,
         0},
        // P2 keeps the logos but not the settings: sent, and exit 3.
        {"--json",
         3,
         {"\"line\": \"stored A1 A2, set the automatic logo " + bothShown + " (4 NV writes, ",
          "\"auto_logo\": {\"wanted\": \"A1,A2,center\", \"before\": \"\", \"result\": \"set\", "
          "\"nv_writes\": 2, \"reason\": \"\"}",
          "\"result\": \"stored\", \"verified\": false",
          "\"auto_logo\": {\"wanted\": \"A1,A2,center\", \"before\": null, \"result\": \"sent\", "
          "\"nv_writes\": 2, \"reason\": \"" +
              unanswered,
          "stored A1 A2, sent the automatic logo " + bothShown + " (4 NV writes, "},
         4,
         2},
        // Nothing differs: nothing written; P2 by what was sent it.
        {"",
         0,
         {"P1: unchanged\n",
          "P2: unchanged; the automatic logo as sent before, not verified (it does not answer "
          "FS ( E 61)"},
         4,
         2},
    };
    for (const Step& step : steps) {
        const auto run = cli.Run(apply + step.options);
        EXPECT_EQ(run.status, step.status) << step.options << "\n" << run.out << run.err;
        for (const std::string& said : step.says) {
            EXPECT_NE(run.out.find(said), std::string::npos) << step.options << "\n"
                                                             << said << "\n"
                                                             << run.out;
        }
        EXPECT_EQ(writesBecome("P1", step.p1Writes), step.p1Writes) << step.options;
        EXPECT_EQ(writesBecome("P2", step.p2Writes), step.p2Writes) << step.options;
    }
    EXPECT_NE(cli.Run("nv auto " + p1.Address())
                  .out.find("Top logo:     A1 (center)\n"
                            "Bottom logo:  A2 (center)\n"),
              std::string::npos);

    // P1's own: the top logo alone, on the right; two writes, within the
    // budget only when it has room for both.
    std::string own = fleet;
    own.insert(own.find("name = \"P1\"\n") + 12,
               "auto-logo = { top = \"A1\", align = \"right\" }\n");
    test::WriteText(manifest, own);
    auto run = cli.Run(apply + "--max-writes 5");
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_NE(run.out.find("P1: refused: 2 NV writes needed and 4 done today would pass the limit "
                           "of 5 a day"),
              std::string::npos)
        << run.out;
    run = cli.Run(apply + "--report run.csv");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("P1: set the automatic logo top A1 (right) (2 NV writes, "),
              std::string::npos)
        << run.out;
    const std::string csv = test::ReadText(cli.Root() / "run.csv");
    EXPECT_EQ(csv.rfind("name,address,serial,result,keys_stored,nv_writes,seconds,reason,auto_logo,"
                        "auto_logo_result\r\nP1,",
                        0),
              0u)
        << csv;
    EXPECT_NE(csv.find(",2,0."), std::string::npos) << csv;
    EXPECT_NE(csv.find(",,top A1 (right),set\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",,\"top A1 (center), bottom A2 (center)\",unchanged\r\n"),
              std::string::npos)
        << csv;
    EXPECT_EQ(writesBecome("P1", 6), 6);

    // Cleared behind apply's back: the plan sees it and would set it again,
    // and only that: a setting written leaves the stored logos as they were.
    ASSERT_EQ(cli.Run("nv auto " + p1.Address() + " --off").status, 0);
    run = cli.Run(apply + "--plan");
    EXPECT_NE(run.out.find("P1: would set the automatic logo top A1 (right) (now none) (1 NV "
                           "write; "),
              std::string::npos)
        << run.out;

    // A key this run leaves on no printer: refused before anything is sent.
    own.replace(own.find("top = \"A1\", align"), 10, "bottom = \"ZZ\"");
    test::WriteText(manifest, own);
    run = cli.Run(apply);
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_NE(run.out.find("P1: refused: auto-logo bottom 'ZZ' is not among the logos stored or "
                           "kept on P1 (A1, A2), so it would print nothing there"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(writesBecome("P1", 7), 7);
    EXPECT_EQ(p1.Stop(), 0);
    EXPECT_EQ(p2.Stop(), 0);
}

// Star printers found by discover go into its manifest with their command
// set; apply registers a Line Mode printer's logos in one upload, and keeps a
// StarPRNT printer's graphics by key, each store read back dot for dot, only
// what differs written and counted against the day's budget.
TEST_F(ApplyFleet, StarPrintersAreFoundAndStoredByTheirCommands) {
    ASSERT_EQ(cli.Run("vprinter add S1 --commands star-line").status, 0);
    ASSERT_EQ(cli.Run("vprinter add S2 --commands star-prnt").status, 0);
    ASSERT_EQ(cli.Run("vprinter add S3 --commands star-prnt --graphic-data off").status, 0);
    ASSERT_EQ(cli.Run("vprinter add S4 --commands star-prnt").status, 0);
    test::ServedPrinter s1(cli, "S1"), s2(cli, "S2"), s3(cli, "S3");
    std::string down;
    {
        test::ServedPrinter s4(cli, "S4");
        down = s4.Address();
        s4.Stop();
    }
    ASSERT_FALSE(s1.Address().empty() || s2.Address().empty() || s3.Address().empty());
    Logo("header.bmp", 300, 0);
    Logo("coupon.bmp", 200, 1);
    for (const auto& [served, commands] :
         {std::pair<const test::ServedPrinter*, std::string>{&s1, "star-line"},
          {&s2, "star-prnt"}}) {
        const std::string at = served->Address();
        const fs::path found = cli.Root() / ("found-" + commands + ".toml");
        const auto discover = cli.Run("discover 127.0.0.1 --port " + at.substr(at.rfind(':') + 1) +
                                      " --manifest " + cli.Quote(found));
        EXPECT_EQ(discover.status, 0) << discover.out << discover.err;
        EXPECT_NE(test::ReadText(found).find("commands = \"" + commands + "\""), std::string::npos)
            << test::ReadText(found);
        EXPECT_EQ(cli.Run("apply --plan " + cli.Quote(found)).status, 0) << commands;
    }
    const fs::path manifest = cli.Root() / "stars.toml";
    const auto write = [&](const std::string& s2Logos, bool prune) {
        std::string text = "[logos.header]\nfile = \"header.bmp\"\n"
                           "[logos.coupon]\nfile = \"coupon.bmp\"\n"
                           "[[printers]]\nname = \"S1\"\naddress = \"" +
                           s1.Address() +
                           "\"\ncommands = \"star-line\"\n"
                           "logos = { \"1\" = \"header\", \"2\" = \"coupon\" }\n"
                           "[[printers]]\nname = \"S2\"\naddress = \"" +
                           s2.Address() + "\"\ncommands = \"star-prnt\"\nlogos = " + s2Logos + "\n";
        test::WriteText(manifest, text + (prune ? "prune = true\n" : ""));
    };
    // A served printer runs the rest of a job once its connection closed: wait for the count.
    const auto writesOf = [&](const char* printer, int expected) {
        int counted = Writes(printer);
        for (int i = 0; i < 100 && counted != expected; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            counted = Writes(printer);
        }
        return counted;
    };
    const std::string both = "{ \"A1\" = \"header\", \"A2\" = \"coupon\" }";
    const struct {
        const char* what;
        std::string s2Logos;
        bool prune;
        const char* options;
        int status;
        std::string s2Says;
        int s2Writes; // NV writes S2 counted today afterwards
    } steps[] = {
        {"a plan", both, false, " --plan", 0,
         "S2: would store A1 (new), A2 (new) (2 NV writes; 0 today so far)", 0},
        {"the first run", both, false, "", 0, "S2: stored A1 A2 (2 NV writes, ", 2},
        {"the second run", both, false, "", 0, "S2: unchanged", 2},
        {"a logo removed, left alone", "{ \"A1\" = \"header\" }", false, "", 0,
         "S2: unchanged; left alone, not in the manifest: A2", 2},
        {"a logo removed, pruned, planned", "{ \"A1\" = \"header\" }", true, " --plan", 0,
         "S2: would delete A2 (1 NV write; 2 today so far)", 2},
        {"a logo removed, pruned", "{ \"A1\" = \"header\" }", true, "", 0,
         "S2: deleted A2 (1 NV write, ", 3},
        {"past the day's budget", "{ \"A1\" = \"coupon\" }", true, " --max-writes 3", 3,
         "S2: refused: 1 NV write needed and 3 done today would pass the limit of 3 a day "
         "(--max-writes); nothing written",
         3},
        {"within it", "{ \"A1\" = \"coupon\" }", true, " --max-writes 4", 0,
         "S2: stored A1 (1 NV write, ", 4},
    };
    for (const auto& step : steps) {
        write(step.s2Logos, step.prune);
        const auto run = cli.Run("apply " + cli.Quote(manifest) + step.options);
        EXPECT_EQ(run.status, step.status) << step.what << "\n" << run.out << run.err;
        EXPECT_NE(run.out.find(step.s2Says), std::string::npos) << step.what << "\n" << run.out;
        EXPECT_EQ(writesOf("S2", step.s2Writes), step.s2Writes) << step.what;
    }
    const auto listed = cli.Run("nv list --commands star-prnt " + s2.Address());
    EXPECT_NE(listed.out.find("Keys:         A1 (1)"), std::string::npos) << listed.out;
    // The printer ran the Line Mode registration once its connection closed,
    // sent again only when its coupon changed.
    std::string shown;
    for (int i = 0; i < 100 && shown.find("Stored images:   2") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        shown = cli.Run("vprinter show S1").out;
    }
    EXPECT_NE(shown.find("Stored images:   2"), std::string::npos) << shown;
    EXPECT_EQ(writesOf("S1", 1), 1);

    // A StarPRNT printer that lists the key but sends none of its dots back
    // is sent, never stored; one that refuses the connection fails by name,
    // and one that answers nothing before anything is written.
    ASSERT_EQ(cli.Run("vprinter add S6 --commands star-prnt --answers none").status, 0);
    test::ServedPrinter s6(cli, "S6");
    const std::string mute = s6.Address() + "?read-timeout=300";
    std::string text = "[logos.header]\nfile = \"header.bmp\"\n";
    for (const auto& [name, address] :
         {std::pair<std::string, std::string>{"S3", s3.Address()}, {"S4", down}, {"S6", mute}}) {
        text += "[[printers]]\nname = \"" + name + "\"\naddress = \"" + address +
                "\"\ncommands = \"star-prnt\"\nlogos = { \"A1\" = \"header\" }\n";
    }
    test::WriteText(manifest, text);
    const auto run = cli.Run("apply " + cli.Quote(manifest) + " --json");
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.out.find("\"name\": \"S3\", \"address\": \"" + s3.Address() +
                           "\", \"serial\": \"\", \"result\": \"stored\", \"verified\": false, "
                           "\"commands\": \"star-prnt\""),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"line\": \"sent A1 (1 NV write, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("; sent, not verified: " + s3.Address() +
                           " lists A1 but did not send its data back\""),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"line\": \"failed: " + down + ": connection refused"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"line\": \"failed: " + mute +
                           " does not answer: its key list is the only check of what it holds; "
                           "nothing written\""),
              std::string::npos)
        << run.out;
    EXPECT_EQ(Writes("S6"), 0);

    // Through a spooler queue the stores go blind, planned from the state alone.
    ASSERT_EQ(cli.Run("vprinter add S5 --commands star-prnt").status, 0);
    test::WriteText(manifest, "[logos.header]\nfile = \"header.bmp\"\n[[printers]]\n"
                              "address = \"S5\"\ncommands = \"star-prnt\"\n"
                              "logos = { \"A1\" = \"header\" }\n");
    const auto blind = cli.Run("apply " + cli.Quote(manifest));
    EXPECT_EQ(blind.status, 0) << blind.out << blind.err;
    EXPECT_NE(blind.out.find("S5: sent A1 (1 NV write, "), std::string::npos) << blind.out;
    EXPECT_NE(blind.out.find("sent blind through the spooler queue \"S5\""), std::string::npos)
        << blind.out;
    EXPECT_TRUE(fs::exists(cli.DataHome() / "printers" / "S5" / "nv" / "graphics" / "A1.png"));
    EXPECT_NE(cli.Run("apply " + cli.Quote(manifest)).out.find("S5: unchanged"), std::string::npos);
    EXPECT_EQ(s1.Stop(), 0);
    EXPECT_EQ(s2.Stop(), 0);
    EXPECT_EQ(s3.Stop(), 0);
    EXPECT_EQ(s6.Stop(), 0);
}

// A plan refuses what apply would refuse; a state file that cannot be
// written costs no printer its line.
TEST_F(ApplyFleet, PlanChecksRoomAndLinesOutliveAStateThatCannotBeWritten) {
    ASSERT_EQ(cli.Run("vprinter add P1 --write-ms 1500").status, 0);
    ASSERT_EQ(cli.Run("vprinter add P2 --nv-graphics 1000").status, 0);
    test::ServedPrinter p1(cli, "P1"), p2(cli, "P2");
    ASSERT_FALSE(p1.Address().empty() || p2.Address().empty());
    Logo("header.bmp", 700, 0);
    Logo("coupon.bmp", 200, 0);
    const fs::path manifest = cli.Root() / "fleet.toml";
    const fs::path state = cli.Root() / "fleet.toml.state.json";
    test::WriteText(manifest, Manifest({p1.Address(), p2.Address()}));
    const std::string apply = "apply " + cli.Quote(manifest);
    const std::string noRoom = "P2: failed: the logos to store take ";

    const auto plan = cli.Run(apply + " --plan");
    EXPECT_EQ(plan.status, 3) << plan.out;
    EXPECT_NE(plan.out.find("P1: would store A1 (new), A2 (new)"), std::string::npos) << plan.out;
    EXPECT_NE(plan.out.find(noRoom), std::string::npos) << plan.out;
    EXPECT_NE(plan.out.find("bytes of NV graphics free; nothing written"), std::string::npos);
    ASSERT_EQ(cli.Run(apply).status, 3);

    // Another tool writes behind the state's back: the plan trusts the state
    // no more, and the day's budget counts every tool's writes.
    const auto other = cli.Run("nv store --read-timeout 5000 " + p1.Address() + " A1 " +
                               cli.Quote(cli.Root() / "coupon.bmp"));
    ASSERT_EQ(other.status, 0) << other.err;
    const auto after = cli.Run(apply + " --plan");
    EXPECT_NE(after.out.find("P1: would store A1 (written by another tool since), A2 (written by "
                             "another tool since) (2 NV writes; 3 today so far)"),
              std::string::npos)
        << after.out;
    const auto budget = cli.Run(apply + " --plan --max-writes 4");
    EXPECT_NE(budget.out.find("P1: refused: 2 NV writes needed and 3 done today would pass the "
                              "limit of 4"),
              std::string::npos)
        << budget.out;

    // FS q on a printer recorded with NV graphics would erase them: refused,
    // by the plan as by apply, unless allowed.
    const std::string bitImages =
        "[logos.header]\nfile = \"header.bmp\"\nfit = 576\n"
        "[[printers]]\nname = \"P1\"\naddress = \"" +
        p1.Address() + "\"\ncommands = \"nv-bit-images\"\nlogos = { \"1\" = \"header\" }\n";
    test::WriteText(manifest, bitImages);
    const std::string erases = "P1: refused: storing NV bit images erases the NV graphics A1 A2 "
                               "it holds (recorded by an earlier apply); give "
                               "replace-other-logos = true to replace them; nothing written";
    for (const char* option : {" --plan", ""}) {
        const auto refused = cli.Run(apply + option);
        EXPECT_EQ(refused.status, 3) << option << refused.out;
        EXPECT_NE(refused.out.find(erases), std::string::npos) << option << refused.out;
    }
    test::WriteText(manifest, "[defaults]\nreplace-other-logos = true\n" + bitImages);
    const auto allowed = cli.Run(apply + " --plan");
    EXPECT_EQ(allowed.status, 0) << allowed.out;
    EXPECT_NE(allowed.out.find("; would erase the NV graphics A1 A2"), std::string::npos)
        << allowed.out;

    // A logo replacing one the printer holds that does not fit is ignored by
    // the printer, which keeps the old one under the key: counted whole, it
    // is refused before it is sent instead of being called stored.
    test::WriteFile(cli.Root() / "small.bmp",
                    test::MakeBlackOnWhite(64, 40, [](int x, int) { return x % 2 == 0; }));
    test::WriteFile(cli.Root() / "tall.bmp",
                    test::MakeBlackOnWhite(64, 200, [](int x, int) { return x % 2 == 0; }));
    ASSERT_EQ(
        cli.Run("nv store " + p2.Address() + " A1 " + cli.Quote(cli.Root() / "small.bmp")).status,
        0);
    const fs::path replace = cli.Root() / "replace.toml";
    test::WriteText(replace, "[logos.tall]\nfile = \"tall.bmp\"\n[[printers]]\nname = \"P2\"\n"
                             "address = \"" +
                                 p2.Address() + "\"\nlogos = { \"A1\" = \"tall\" }\n");
    const auto replaced = cli.Run("apply " + cli.Quote(replace));
    EXPECT_EQ(replaced.status, 3) << replaced.out;
    EXPECT_NE(replaced.out.find("P2: failed: the logos to store take 1600 bytes and " +
                                p2.Address() +
                                " has 680 bytes of NV graphics free (a logo replacing one it "
                                "holds is counted whole"),
              std::string::npos)
        << replaced.out;

    // The state's name taken by a folder while P1 is being written.
    test::WriteText(manifest, Manifest({p1.Address(), p2.Address()}));
    Logo("header.bmp", 700, 1);
    auto running = std::async(std::launch::async, [&] { return cli.Run(apply); });
    fs::path lock = state;
    lock += ".lock";
    for (int i = 0; i < 200 && !fs::exists(lock); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Once the run has read the state (P1's write takes 1.5 s).
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    fs::remove(state);
    fs::create_directories(state / "in-the-way");
    const auto run = running.get();
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.out.find("P1: stored A1 A2 (2 NV writes, "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(noRoom), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("cannot write " + state.string() + ": "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("the printers were written"), std::string::npos) << run.err;
}

} // namespace
} // namespace tessaline
