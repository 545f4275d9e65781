// SPDX-License-Identifier: MIT
// The "Printers" tab's rules without a window: what a typed printer means,
// the key check, which actions are enabled when, the remembered addresses,
// the dots a logo becomes and what Tessaline keeps of them.
#include "app/core/LogoDots.h"
#include "app/core/PrinterChoice.h"
#include "app/core/PrinterWork.h"
#include "app/core/PrintersPageLogic.h"
#include "app/core/ProgramSettings.h"
#include "app/core/StoredGraphics.h"
#include "app/core/SystemServices.h"
#include "platform/PrinterCommandsFile.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/RecordingSpooler.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TempHome.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <map>

namespace tessaline {
namespace {

using test::ScriptedServices;
using test::TempFolder;

TEST(PrinterChoice, ReadsWhatWasTyped) {
    const std::vector<std::string> queues{"THERMAL #1", "Office"};
    struct Case {
        const char* typed;
        const char* name; // empty: refused
        bool queue;
        const char* why;
    };
    const Case cases[] = {
        {"127.0.0.5", "socket://127.0.0.5:9100", false, ""},
        {"  127.0.0.5 ", "socket://127.0.0.5:9100", false, ""},
        {"till-3:9101", "socket://till-3:9101", false, ""},
        {"[::1]", "socket://[::1]:9100", false, ""},
        {"[::1]:9200", "socket://[::1]:9200", false, ""},
        {"socket://127.0.0.5", "socket://127.0.0.5", false, ""},
        {"usb:///dev/usb/lp0", "usb:///dev/usb/lp0", false, ""},
        {"THERMAL #1", "THERMAL #1", true, ""},
        {" Office", "Office", true, ""},
        {"fe80::1", "", false, "an IPv6 address goes in brackets"},
        {"127.0.0.5:0", "", false, "the port must be 1 to 65535, not \"0\""},
        {"127.0.0.5:99999", "", false, "the port must be 1 to 65535"},
        {"socket://", "", false, "the host is missing"},
        {"127.0.0.5:", "", false, "the port is missing"},
        {"thermal #1", "", false, "neither an installed printer nor an address"},
        {"", "", false, "no printer was given"},
        {"   ", "", false, "no printer was given"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const auto choice = ReadPrinterChoice(c.typed, queues);
        if (*c.name == '\0') {
            ASSERT_FALSE(choice);
            EXPECT_NE(choice.Reason().find(c.why), std::string::npos) << choice.Reason();
        } else {
            ASSERT_TRUE(choice) << choice.Reason();
            EXPECT_EQ(choice.Value().name, c.name);
            EXPECT_EQ(choice.Value().queue, c.queue);
        }
    }
}

TEST(PrinterChoice, EntriesListQueuesThenAddressesOnce) {
    EXPECT_EQ(
        PrinterEntries({"THERMAL #3", "THERMAL #1"},
                       {"socket://a:9100", "THERMAL #1", "", "socket://a:9100", "serial://x"}),
        (std::vector<std::string>{"THERMAL #3", "THERMAL #1", "socket://a:9100", "serial://x"}));
}

// The model line names the profile matched, and the paper line where its
// width comes from: what the printer answers, else the profile, else the page.
TEST(PrinterFactsText, NameTheProfileAndWhereThePaperWidthComesFrom) {
    PrinterReport t88;
    t88.maker = "EPSON";
    t88.model = "TM-T88V";
    PrinterReport narrowed;
    narrowed.maker = "EPSON";
    narrowed.model = "TM-T20II";
    narrowed.paperMillimetres = 58;
    PrinterReport other;
    other.model = "Virtual";
    other.paperMillimetres = 80;
    PrinterReport silent;
    const struct {
        const PrinterReport* report;
        const char* model;
        const char* paper;
    } cases[] = {
        {&t88, "TM-T88V (profile Epson TM-T88V)", "512 dots, from its model's profile"},
        {&narrowed, "TM-T20II (profile Epson TM-T20II)", "384 dots, as the printer answers"},
        {&other, "Virtual", "576 dots, as the printer answers"},
        {&silent, "not known", "384 dots, as chosen under \"A logo to store\""},
        {nullptr, "not known", "384 dots, as chosen under \"A logo to store\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ModelText(c.report, "not known", false), c.model);
        EXPECT_EQ(PaperWidthText(c.report, 384, false).rfind(c.paper, 0), 0u)
            << PaperWidthText(c.report, 384, false);
    }
    EXPECT_EQ(PaperWidthText(&narrowed, 576, true), "384 도트, 프린터가 알려 준 값");
}

void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

// "Find printers..." looks where the settings say, when they say: a shop's
// printer subnet, or a rehearsal's loopback printers.
TEST(FindPrinters, TheNetworksAndThePortMayBeNamed) {
    const struct {
        const char* networks;
        std::vector<std::string> blocks;
        const char* port;
        uint16_t asked;
    } cases[] = {
        {"127.0.0.1/32", {"127.0.0.1/32"}, "9101", 9101},
        {"127.0.0.1/32, 127.0.0.2,127.0.0.8/30",
         {"127.0.0.1/32", "127.0.0.2", "127.0.0.8/30"},
         "65535",
         65535},
        {" ", {}, "0", 9100},
        {"127.0.0.1", {"127.0.0.1"}, "70000", 9100},
        {"127.0.0.1", {"127.0.0.1"}, "91x", 9100},
        {"127.0.0.1", {"127.0.0.1"}, "", 9100},
    };
    HostServices host(nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.networks);
        SetEnvironment("TESSALINE_FIND_NETWORKS", c.networks);
        SetEnvironment("TESSALINE_FIND_PORT", c.port);
        EXPECT_EQ(host.OwnNetworks(), c.blocks);
        EXPECT_EQ(host.PrinterPort(), c.asked) << c.port;
    }
    SetEnvironment("TESSALINE_FIND_NETWORKS", nullptr);
    SetEnvironment("TESSALINE_FIND_PORT", nullptr);
    EXPECT_EQ(host.PrinterPort(), 9100);
}

TEST(PageActions, FollowThePrinterTheKeyAndTheDots) {
    struct Case {
        const char* name;
        ActionFacts facts;
        PageActions want;
    };
    ActionFacts ready{.printerChosen = true,
                      .askable = true,
                      .keysKnown = true,
                      .holdsGraphics = true,
                      .keyValid = true,
                      .dotsReady = true,
                      .dotsFitPaper = true,
                      .targetKey = true};
    auto with = [&ready](auto change) {
        ActionFacts f = ready;
        change(f);
        return f;
    };
    const Case cases[] = {
        // Finding printers needs no printer chosen, only an idle page.
        {"nothing chosen", {}, {false, false, false, false, false, false, true, false}},
        {"all there", ready, {true, true, true, true, true, true, true, false}},
        {"busy", with([](ActionFacts& f) { f.busy = true; }), {}},
        {"no key",
         with([](ActionFacts& f) { f.keyValid = f.targetKey = false; }),
         {true, false, false, false, true, true, true, false}},
        {"no dots",
         with([](ActionFacts& f) { f.dotsReady = f.dotsFitPaper = false; }),
         {true, false, true, true, true, true, true, false}},
        {"wider than the paper",
         with([](ActionFacts& f) { f.dotsFitPaper = false; }),
         {true, false, true, true, true, true, true, false}},
        {"holds nothing",
         with([](ActionFacts& f) { f.holdsGraphics = false; }),
         {true, true, true, true, false, true, true, false}},
        {"a queue, which cannot tell",
         with([](ActionFacts& f) { f.askable = f.keysKnown = f.holdsGraphics = false; }),
         {true, true, true, true, true, true, true, false}},
        {"says what it prints by itself",
         with([](ActionFacts& f) { f.autoLogoKnown = true; }),
         {true, true, true, true, true, true, true, true}},
        {"says so, but no key is chosen",
         with([](ActionFacts& f) { f.autoLogoKnown = true, f.keyValid = f.targetKey = false; }),
         {true, false, false, false, true, true, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PageActions a = EnabledActions(c.facts);
        EXPECT_EQ(a.refresh, c.want.refresh);
        EXPECT_EQ(a.store, c.want.store);
        EXPECT_EQ(a.print, c.want.print);
        EXPECT_EQ(a.remove, c.want.remove);
        EXPECT_EQ(a.removeAll, c.want.removeAll);
        EXPECT_EQ(a.testReceipt, c.want.testReceipt);
        EXPECT_EQ(a.findPrinters, c.want.findPrinters);
        EXPECT_EQ(a.autoLogo, c.want.autoLogo);
    }
}

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        services.programFolder = folder.Path().string();
        services.configHome = folder.File("config");
    }
    TempFolder folder;
    ScriptedServices services;
};

TEST_F(SettingsFixture, AddressesAreKeptMostRecentFirstAndBounded) {
    ProgramSettings settings(services);
    EXPECT_TRUE(settings.Addresses().empty());
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(settings.RememberAddress("socket://127.0.0." + std::to_string(i) + ":9100"));
    }
    ASSERT_TRUE(settings.RememberAddress("socket://127.0.0.10:9100"));
    const auto addresses = ProgramSettings(services).Addresses();
    ASSERT_EQ(addresses.size(), ProgramSettings::kMaxAddresses);
    EXPECT_EQ(addresses[0], "socket://127.0.0.10:9100");
    EXPECT_EQ(addresses[1], "socket://127.0.0.24:9100");
    EXPECT_EQ(std::count(addresses.begin(), addresses.end(), "socket://127.0.0.10:9100"), 1);
    // The logo list's file is left alone.
    EXPECT_FALSE(std::filesystem::exists(folder.File("CorvidoFiles.ini")));
    ASSERT_TRUE(settings.SetValue("Tab", "1"));
    EXPECT_EQ(settings.Value("Tab"), "1");
    EXPECT_EQ(settings.Addresses().size(), ProgramSettings::kMaxAddresses);
}

// A logo: black where x < `black` columns, white elsewhere.
LogoSource Bars(int w, int h, int black) {
    const auto bytes = test::Make24(w, h, [black](int x, int) {
        return x < black ? test::Bgr{0, 0, 0} : test::Bgr{255, 255, 255};
    });
    auto decoded = DecodeBmp(bytes);
    EXPECT_TRUE(decoded) << decoded.Reason();
    return {"bars.bmp", decoded.Value()};
}

TEST(LogoDots, EveryMethodPrintsBlackAndLeavesWhite) {
    const LogoSource logo = Bars(40, 10, 16);
    for (int m = 0; m < kDotMethodCount; ++m) {
        const auto method = static_cast<DotMethod>(m);
        SCOPED_TRACE(DotMethodName(method));
        EXPECT_EQ(DotMethodNamed(DotMethodName(method)), method);
        const auto dots = MakeLogoDots(logo, {.method = method});
        ASSERT_TRUE(dots) << dots.Reason();
        const RasterGraphic& g = dots.Value().graphic;
        ASSERT_EQ(g.width, 40);
        ASSERT_EQ(g.height, 10);
        EXPECT_TRUE(DotAt(g, 0, 0));
        EXPECT_TRUE(DotAt(g, 15, 9));
        EXPECT_FALSE(DotAt(g, 16, 0));
        EXPECT_FALSE(DotAt(g, 39, 9));
    }
    EXPECT_FALSE(DotMethodNamed("diffusion"));
}

TEST(LogoDots, FitsToThePaperOnlyWhenAskedAndWider) {
    const LogoSource wide = Bars(1000, 50, 500);
    struct Case {
        bool fit;
        int32_t paper;
        int32_t width, height;
        bool fitted;
    };
    for (const Case& c : {Case{true, 576, 576, 29, true}, Case{false, 576, 1000, 50, false},
                          Case{true, 2000, 1000, 50, false}, Case{true, 384, 384, 19, true}}) {
        const auto dots = MakeLogoDots(wide, {.fit = c.fit, .paperDots = c.paper});
        ASSERT_TRUE(dots) << dots.Reason();
        EXPECT_EQ(dots.Value().graphic.width, c.width);
        EXPECT_EQ(dots.Value().graphic.height, c.height);
        EXPECT_EQ(dots.Value().fitted, c.fitted);
        EXPECT_EQ(dots.Value().sourceWidth, 1000);
    }
    const auto tooWide = MakeLogoDots(Bars(9000, 2, 1), {});
    ASSERT_FALSE(tooWide);
    EXPECT_NE(tooWide.Reason().find("bars.bmp: 9000 x 2 dots"), std::string::npos);
}

TEST(LogoDots, AFileThatIsNoLogoSaysWhy) {
    TempFolder folder;
    const std::string path = folder.File("notes.png");
    test::WriteText(path, "not a picture");
    const auto read = ReadLogoSource(path);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.Reason().rfind(path + ": ", 0), 0u) << read.Reason();
    EXPECT_FALSE(ReadLogoSource(folder.File("missing.bmp")));
}

TEST(StoredGraphics, KeepsTheDotsByPrinterAndKey) {
    TempFolder folder;
    StoredGraphics stored(folder.File("graphics"));
    const auto dots = MakeLogoDots(Bars(37, 5, 9), {});
    ASSERT_TRUE(dots);
    const RasterGraphic& g = dots.Value().graphic;
    const GraphicKey a1{'A', '1'}, slash{'/', '?'};
    ASSERT_TRUE(stored.Remember("socket://127.0.0.1:9100", a1, g));
    ASSERT_TRUE(stored.Remember("socket://127.0.0.1:9100", slash, g));
    const auto back = stored.Recall("socket://127.0.0.1:9100", a1);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->width, g.width);
    EXPECT_EQ(back->height, g.height);
    EXPECT_EQ(back->rows, g.rows);
    EXPECT_FALSE(stored.Recall("socket://127.0.0.2:9100", a1));
    stored.Forget("socket://127.0.0.1:9100", a1);
    EXPECT_FALSE(stored.Recall("socket://127.0.0.1:9100", a1));
    EXPECT_TRUE(stored.Recall("socket://127.0.0.1:9100", slash));
    stored.Forget("socket://127.0.0.1:9100", std::nullopt);
    EXPECT_FALSE(stored.Recall("socket://127.0.0.1:9100", slash));
}

bool Holds(const std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> part) {
    return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

TEST(TestReceipt, HoldsTheLogoTheTextsAndTheQrCode) {
    const auto bytes = TestReceiptBytes(
        {"socket://[::1]:9100", "TM-T88\xC3\xA9", "2026-12-09 06:00", GraphicKey{'A', '1'}});
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_TRUE(Holds(bytes, {0x1B, '@'}));
    EXPECT_TRUE(Holds(bytes, {0x1D, '(', 'L', 6, 0, 48, 69, 'A', '1', 1, 1}));
    EXPECT_TRUE(Holds(bytes, {'T', 'M', '-', 'T', '8', '8', '?', '?', '\n'}));
    // The QR code's data: 3 + the address's 19 bytes.
    EXPECT_TRUE(Holds(bytes, {0x1D, '(', 'k', 22, 0, 49, 80, 48, 's', 'o'}));
    EXPECT_TRUE(Holds(bytes, {0x1D, '(', 'k', 3, 0, 49, 81, 48}));
    EXPECT_EQ(bytes[bytes.size() - 2], 66);
    EXPECT_FALSE(Holds(TestReceiptBytes({"q", "", "d", std::nullopt}), {0x1D, '(', 'L'}));
}

// Work done at once, as if the thread ended before the window looked again.
struct AtOnce final : BackgroundWork {
    void Start(std::function<std::function<void()>()> work) override { work()(); }
};

struct RecordedPage final : PrintersPageView {
    void SetText(PCtl c, const std::string& t) override { texts[c] = t; }
    void SetEnabled(PCtl c, bool e) override { enabled[c] = e; }
    void SetToolTip(PCtl c, const std::string& t) override { tips[c] = t; }
    void SetPrinterEntries(const std::vector<std::string>& e) override { entries = e; }
    void SetChoices(PCtl, const std::vector<std::string>&, int32_t) override {}
    void SetBar(PCtl, int64_t, int64_t) override {}
    void SetSlider(PCtl, int32_t, int32_t, int32_t) override {}
    void SetChecked(PCtl c, bool v) override { checked[c] = v; }
    void SetKeyRows(const std::vector<KeyRow>& r) override { rows = r; }
    void ShowPreview(const std::optional<RasterGraphic>& d, int32_t paper) override {
        preview = d;
        paperDots = paper;
    }
    std::map<PCtl, std::string> texts, tips;
    std::map<PCtl, bool> enabled, checked;
    std::vector<std::string> entries;
    std::vector<KeyRow> rows;
    std::optional<RasterGraphic> preview;
    int32_t paperDots = 0;
};

class PageFixture : public SettingsFixture {
protected:
    void Load(int32_t codePage = 1252) {
        services.printers = {"THERMAL #1"};
        logic = std::make_unique<PrintersPageLogic>(page, services, services, work,
                                                    [] { return std::string("Title"); });
        logic->Load(codePage);
    }
    RecordedPage page;
    AtOnce work;
    std::unique_ptr<PrintersPageLogic> logic;
};

TEST_F(PageFixture, AMalformedAddressIsRefusedWithTheReason) {
    Load();
    logic->PrinterChosen("127.0.0.5:70000");
    ASSERT_EQ(services.prompts.size(), 1u);
    EXPECT_EQ(services.prompts[0].text,
              "socket://127.0.0.5:70000: the port must be 1 to 65535, not \"70000\"");
    EXPECT_EQ(services.prompts[0].title, "Title");
    EXPECT_FALSE(logic->Printer());
    EXPECT_FALSE(page.enabled[PCtl::cmdRefresh]);
}

TEST_F(PageFixture, AQueueCannotBeAskedButTakesCommands) {
    Load();
    EXPECT_EQ(page.entries, std::vector<std::string>{"THERMAL #1"});
    logic->PrinterChosen("THERMAL #1");
    ASSERT_TRUE(logic->Printer());
    EXPECT_TRUE(logic->Printer()->queue);
    EXPECT_NE(page.texts[PCtl::lblReady].find("cannot be asked"), std::string::npos);
    EXPECT_TRUE(page.enabled[PCtl::cmdDeleteAll]);
    EXPECT_TRUE(page.enabled[PCtl::cmdTestReceipt]);
    EXPECT_FALSE(page.enabled[PCtl::cmdPrintGraphic]);
    EXPECT_TRUE(page.enabled[PCtl::cmdFindPrinters]);
    EXPECT_FALSE(page.tips[PCtl::cmdFindPrinters].empty());
    // A queue is not remembered as an address.
    EXPECT_TRUE(ProgramSettings(services).Addresses().empty());
}

// A driver record as the driver keeps it (format 8, 1,480 bytes) with logo
// command A at 1248 (its switch at 1204, its length at 1348) and B at 1352
// (1208, 1452).
std::vector<uint8_t> DriverRecord(bool a, bool b) {
    std::vector<uint8_t> record(1480, 0);
    record[0] = 8;
    const auto put = [&](size_t at, std::initializer_list<uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), record.begin() + static_cast<std::ptrdiff_t>(at));
    };
    if (a) {
        put(1204, {1});
        put(1248, {0x1C, 0x70, 0x01, 0x30});
        put(1348, {4});
    }
    if (b) {
        put(1208, {1});
        put(1352, {0x1C, 0x70, 0x02, 0x30});
        put(1452, {4});
    }
    return record;
}

// A queue kept as a Star Line Mode printer's gets no graphics by key and no
// ESC/POS test receipt: the bytes would be another language's.
TEST_F(PageFixture, AQueueKeptAsStarLineModeTakesNeitherGraphicsByKeyNorTheTestReceipt) {
    const test::TempHome home;
    ASSERT_TRUE(KeepPrinterCommands(PrinterCommandsFile(), "THERMAL #1", "star-line"));
    Load();
    logic->PrinterChosen("THERMAL #1");
    EXPECT_FALSE(page.enabled[PCtl::cmdDeleteAll]);
    EXPECT_FALSE(page.enabled[PCtl::cmdTestReceipt]);
    EXPECT_NE(page.tips[PCtl::cmdStore].find("by number"), std::string::npos);
    EXPECT_NE(page.tips[PCtl::cmdTestReceipt].find("Star printer"), std::string::npos);
}

// "Print this logo on every receipt" shows, for a queue, what its driver
// record switches on; the record is changed by the first tab, not here.
TEST_F(PageFixture, AQueueShowsItsDriverRecordsLogoCommands) {
    const struct {
        const char* what;
        std::optional<std::vector<uint8_t>> record;
        bool checked;
        const char* says;
    } cases[] = {
        {"no record", std::nullopt, false, "Its driver's logo commands are off."},
        {"switched on", DriverRecord(true, true), true,
         "Its driver sends with every job: A (1C 70 01 30), B (1C 70 02 30)."},
        {"only B", DriverRecord(false, true), true,
         "Its driver sends with every job: B (1C 70 02 30)."},
        {"switched off after an erase", DriverRecord(false, false), false,
         "Its driver's logo commands are off."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto backend =
            std::make_shared<test::RecordingSpooler>(std::vector<std::string>{"THERMAL #1"});
        if (c.record) {
            backend->driverData["THERMAL #1"]["TTY DeviceConfig"] = {3, *c.record};
        }
        auto spooler = std::make_shared<Spooler>();
        spooler->Install(backend);
        services.spooler = spooler;
        Load();
        logic->PrinterChosen("THERMAL #1");
        EXPECT_EQ(page.checked[PCtl::chkAutoLogo], c.checked);
        EXPECT_FALSE(page.enabled[PCtl::chkAutoLogo]);
        const std::string& tip = page.tips[PCtl::chkAutoLogo];
        EXPECT_TRUE(tip.ends_with(c.says)) << tip;
        // Only read: nothing was written to the queue.
        EXPECT_EQ(backend->Count(test::CallKind::OpenFull), 0u);
        EXPECT_EQ(backend->Count(test::CallKind::Write), 0u);
    }
}

TEST_F(PageFixture, AMalformedNetworkToLookInIsNamedAndNothingIsAsked) {
    Load();
    services.networks = {"127.0.0.1/32", "127.0.0.0/33"};
    logic->cmdFindPrinters_Click();
    ASSERT_EQ(services.prompts.size(), 1u);
    EXPECT_EQ(services.prompts[0].text.rfind("127.0.0.0/33: ", 0), 0u) << services.prompts[0].text;
    EXPECT_FALSE(logic->Busy());
}

TEST_F(PageFixture, TheKeyIsCheckedAsTyped) {
    Load();
    struct Case {
        const char* typed;
        const char* says;
        bool valid;
    };
    for (const Case& c :
         {Case{"", "Type a key of two characters", false}, Case{"A", "", false},
          Case{"A1", "Key A1 is free.", true}, Case{"ABC", "", false}, Case{"A\x7F", "", false},
          Case{"\x1F"
               "A",
               "", false},
          Case{"  ", "is free", true}}) {
        SCOPED_TRACE(c.typed);
        logic->txtKey_Change(c.typed);
        const std::string& shown = page.texts[PCtl::lblKeyCheck];
        if (c.valid || *c.says != '\0') {
            EXPECT_NE(shown.find(c.says), std::string::npos) << shown;
        } else {
            EXPECT_EQ(shown, ParseGraphicKey(c.typed).Reason());
            EXPECT_FALSE(shown.empty());
        }
    }
}

TEST_F(PageFixture, ALogoWiderThanThePaperStartsFittedAndStoreFollowsTheDots) {
    Load();
    logic->PrinterChosen("THERMAL #1");
    logic->txtKey_Change("L1");
    const std::string path = folder.File("wide.bmp");
    ASSERT_TRUE(test::WriteFile(path, test::Make24(800, 40, [](int x, int) {
                                    return x < 400 ? test::Bgr{} : test::Bgr{255, 255, 255};
                                })));
    logic->LogoFileChosen(path);
    EXPECT_TRUE(page.checked[PCtl::chkFit]);
    ASSERT_TRUE(page.preview);
    EXPECT_EQ(page.preview->width, 576);
    EXPECT_EQ(page.paperDots, 576);
    EXPECT_NE(page.texts[PCtl::lblPreviewInfo].find("fitted from 800 x 40"), std::string::npos);
    EXPECT_TRUE(page.enabled[PCtl::cmdStore]);
    logic->chkFit_Click(false);
    EXPECT_EQ(page.preview->width, 800);
    EXPECT_NE(page.texts[PCtl::lblPreviewInfo].find("turn on \"Fit to paper\""), std::string::npos);
    EXPECT_FALSE(page.enabled[PCtl::cmdStore]);
    logic->cboPaperWidth_Click(0);
    logic->chkFit_Click(true);
    EXPECT_EQ(page.preview->width, 384);
    EXPECT_TRUE(page.enabled[PCtl::cmdStore]);
    logic->txtKey_Change("L");
    EXPECT_FALSE(page.enabled[PCtl::cmdStore]);
}

TEST_F(PageFixture, KoreanTextsForCodePage949) {
    Load(949);
    EXPECT_EQ(page.texts[PCtl::cmdStore], "저장(&S)");
    EXPECT_EQ(page.texts[PCtl::chkFit], "용지에 맞춤(&I)");
    EXPECT_EQ(page.texts[PCtl::lstKeys], "키\t크기");
    Load(1252);
    EXPECT_EQ(page.texts[PCtl::cmdStore], "&Store");
    EXPECT_EQ(page.texts[PCtl::lstKeys], "Key\tSize");
    EXPECT_EQ(page.texts[PCtl::cmdTestReceipt], "Print a &test receipt");
}

TEST_F(PageFixture, DeleteAllAsksFirst) {
    Load();
    logic->PrinterChosen("THERMAL #1");
    services.answers = {MsgAnswer::No};
    logic->cmdDeleteAll_Click();
    ASSERT_EQ(services.prompts.size(), 1u);
    EXPECT_EQ(services.prompts[0].buttons, MsgButtons::YesNo);
    EXPECT_NE(services.prompts[0].text.find("THERMAL #1"), std::string::npos);
    EXPECT_TRUE(logic->WorkText().find("Delet") == std::string::npos) << logic->WorkText();
}

} // namespace
} // namespace tessaline
