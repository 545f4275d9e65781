// SPDX-License-Identifier: MIT
#include "app/core/ListViewRows.h"
#include "app/core/clsFiles.h"
#include "modNVUpload.h"
#include "platform/HostSystem.h"
#include "platform/SettingsStore.h"
#include "tests/support/Files.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

using test::ReadText;
using test::ScriptedServices;
using test::TempFolder;
using test::WriteText;

struct RecordedRows final : ListViewRows {
    void ClearRows() override { rows.clear(); }
    void AddRow(int32_t index, const std::string& text, const std::string& sub1,
                const std::string& sub2) override {
        rows.push_back(std::to_string(index) + ":" + text + ":" + sub1 + ":" + sub2);
    }
    std::vector<std::string> rows;
};

// Profile text as the settings store writes it on this system: "\n" stands
// for its line end.
std::string OnDisk(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += SettingsStore::LineEnd();
        } else {
            out += c;
        }
    }
    return out;
}

// A path of the program's (UTF-8) as the standard library takes one on every system.
std::filesystem::path Utf8Path(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// A program folder holding the settings file and some logo files.
class LogoListFixture : public ::testing::Test {
protected:
    void SetUp() override {
        services.programFolder = folder.Path().string();
        services.configHome = folder.File("config");
    }
    std::string Settings() const { return folder.File("CorvidoFiles.ini"); }
    std::string Logo(int n) const {
        const std::string path = folder.File("logo" + std::to_string(n) + ".bmp");
        if (!PathIsFile(path)) {
            WriteText(path, "BM");
        }
        return path;
    }
    std::string Value(int n) const {
        return Logo(n) + "|logo" + std::to_string(n) + ".bmp|" + std::to_string(n * 8) + "|" +
               std::to_string(n) + "|8";
    }

    TempFolder folder;
    ScriptedServices services;
};

TEST(LogoValue, FormatsTheFiveFieldsJoinedByBars) {
    EXPECT_EQ(FormatLogoValue({"C:\\Logos\\shop.bmp", "shop.bmp", 3072, 48, 512}),
              "C:\\Logos\\shop.bmp|shop.bmp|3072|48|512");
    EXPECT_EQ(FormatLogoValue({"/a.bmp", "a.bmp", -1, 0, 7}), "/a.bmp|a.bmp|-1|0|7");
}

TEST(LogoValue, ParsesWholeNumbersOnly) {
    struct Case {
        const char* value;
        bool ok;
    };
    const Case cases[] = {
        {"/a.bmp|a.bmp|3072|48|512", true},   {"/a.bmp|a.bmp|-8|1|1", true},
        {"/a.bmp|a.bmp|8|1|1|extra", true},   {"|||1|1", false},
        {"/a.bmp|a.bmp|3072|48", false},      {"/a.bmp", false},
        {"/a.bmp|a.bmp|3072|48|", false},     {"/a.bmp|a.bmp|30x|48|512", false},
        {"/a.bmp|a.bmp|3072|4.5|512", false}, {"/a.bmp|a.bmp|3072|48| 512", false},
        {"/a.bmp|a.bmp|-|48|512", false},     {"/a.bmp|a.bmp|2147483648|48|512", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseLogoValue(c.value).has_value(), c.ok) << c.value;
    }
    const auto entry = ParseLogoValue("/x/shop.bmp|shop.bmp|3072|48|512");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->mstrFileName, "/x/shop.bmp");
    EXPECT_EQ(entry->mstrFileTitle, "shop.bmp");
    EXPECT_EQ(entry->mlngSize, 3072);
    EXPECT_EQ(entry->mlngHeight, 48);
    EXPECT_EQ(entry->mlngWidth, 512);
}

TEST(LogoValue, PathsTheFormatCannotCarryAreRefused) {
    EXPECT_TRUE(StorableLogoPath("/home/shop/logo 1.bmp"));
    EXPECT_TRUE(StorableLogoPath("/home/상점/로고.bmp"));
    EXPECT_FALSE(StorableLogoPath("/home/a|b.bmp"));
    EXPECT_FALSE(StorableLogoPath("/home/a\nb.bmp"));
    EXPECT_FALSE(StorableLogoPath("/home/a\rb.bmp"));
    EXPECT_FALSE(StorableLogoPath(std::string("/home/a\0b.bmp", 13)));
}

TEST_F(LogoListFixture, SettingsLiveBesideTheProgramWhenItsFolderIsWritable) {
    EXPECT_EQ(LogoSettingsFile(services), folder.File("CorvidoFiles.ini"));
    services.programFolderWritable = false;
    EXPECT_EQ(LogoSettingsFile(services), folder.File("config") + "/tessaline/CorvidoFiles.ini");
    // An installed program keeps the list in the user's configuration even as root.
    services.programFolderWritable = true;
    services.programFolder = "/usr/bin";
    EXPECT_EQ(LogoSettingsFile(services), folder.File("config") + "/tessaline/CorvidoFiles.ini");
    EXPECT_TRUE(IsSystemFolder("/usr/local/bin"));
    EXPECT_FALSE(IsSystemFolder("/usrlocal/bin"));
    EXPECT_FALSE(IsSystemFolder("/home/shop/tessaline/build/app"));
}

TEST_F(LogoListFixture, ListOperations) {
    clsFiles files(services);
    EXPECT_EQ(files.xCount(), 0);
    EXPECT_EQ(files.xGetSizeTotal(), 0);
    EXPECT_EQ(files.xGetUploadFileName(), "");
    files.xAdd("C:\\x.bmp", "x.bmp", 8, 1, 1);
    EXPECT_EQ(files.xGetUploadFileName(), "C:\\x.bmp|");
    files.xAdd("/b.bmp", "b.bmp", 728, 50, 100);
    files.xAdd("/c.bmp", "c.bmp", 3072, 48, 512);
    files.xAdd("/b.bmp", "b.bmp", 728, 50, 100);
    EXPECT_EQ(files.xGetUploadFileName(), "C:\\x.bmp|/b.bmp|/c.bmp|/b.bmp|");
    EXPECT_EQ(files.xGetSizeTotal(), 8 + 728 + 3072 + 728);

    files.xRemove(2);
    EXPECT_EQ(files.xCount(), 3);
    EXPECT_EQ(files.xGetFileName(2), "/c.bmp");
    EXPECT_EQ(files.xGetHeight(2), 48);
    EXPECT_EQ(files.xGetWidth(2), 512);

    RecordedRows rows;
    rows.rows = {"stale"};
    files.xDisplay(rows);
    EXPECT_EQ(rows.rows,
              (std::vector<std::string>{"1:1:x.bmp:8", "2:2:c.bmp:3072", "3:3:b.bmp:728"}));

    // Positions outside the list read as empty and remove nothing.
    for (int32_t bad : {0, -1, 4, 1000}) {
        EXPECT_EQ(files.xGetFileName(bad), "");
        EXPECT_EQ(files.xGetHeight(bad), 0);
        files.xRemove(bad);
    }
    EXPECT_EQ(files.xCount(), 3);
    files.xReset();
    EXPECT_EQ(files.xCount(), 0);
    EXPECT_TRUE(files.Release());
}

TEST_F(LogoListFixture, RoundTripOf255EntriesAndKey256IsNeverRead) {
    {
        clsFiles files(services);
        for (int i = 1; i <= 255; ++i) {
            std::string title = "t"; // not "t" + ...: g++ 12 -O3 warns -Wrestrict there
            title += std::to_string(i);
            files.xAdd(Logo(i % 7), title, i, i + 1, i + 2);
        }
        ASSERT_TRUE(files.Release());
    }
    const std::string text = ReadText(Settings());
    EXPECT_EQ(text.rfind(OnDisk("[LOGO]\nLogofile1=" + Logo(1) + "|t1|1|2|3\n"), 0), 0u);
    EXPECT_NE(text.find("Logofile255="), std::string::npos);
    WriteText(Settings(), text + OnDisk("Logofile256=" + Value(3) + "\n"));

    clsFiles loaded(services);
    ASSERT_EQ(loaded.xCount(), 255);
    EXPECT_EQ(loaded.xGetFileName(255), Logo(255 % 7));
    EXPECT_EQ(loaded.xGetHeight(255), 256);
    EXPECT_EQ(loaded.xGetWidth(255), 257);
    ASSERT_TRUE(loaded.Release());
    // The key the list could not take survives in the copy kept before the save.
    EXPECT_EQ(ReadText(Settings() + ".bak"), text + OnDisk("Logofile256=" + Value(3) + "\n"));
    EXPECT_EQ(ReadText(Settings()), text);
}

TEST_F(LogoListFixture, GapsEndLoadingAndSaveRenumbers) {
    WriteText(Settings(), "[LOGO]\nLogofile1=" + Value(1) + "\nLogofile2=" + Value(2) +
                              "\nLogofile4=" + Value(4) + "\n");
    {
        clsFiles files(services);
        EXPECT_EQ(files.xCount(), 2);
    }
    EXPECT_EQ(ReadText(Settings()),
              OnDisk("[LOGO]\nLogofile1=" + Value(1) + "\nLogofile2=" + Value(2) + "\n"));
}

TEST_F(LogoListFixture, DeletedFilesAreDroppedAndLaterEntriesMoveUp) {
    const std::string first = Value(1);
    WriteText(Settings(), "[LOGO]\nLogofile1=" + first + "\nLogofile2=" + Value(2) + "\n");
    std::filesystem::remove(Logo(1));
    {
        clsFiles files(services);
        ASSERT_EQ(files.xCount(), 1);
        EXPECT_EQ(files.xGetFileName(1), Logo(2));
    }
    EXPECT_EQ(ReadText(Settings()), OnDisk("[LOGO]\nLogofile1=" + Value(2) + "\n"));
}

TEST_F(LogoListFixture, DamagedValuesAreSkippedAndLaterKeysStillRead) {
    WriteText(Settings(), "[LOGO]\nLogofile1=" + Logo(1) + "|only|three\nLogofile2=" + Logo(2) +
                              "|t|big|1|1\nLogofile3=" + Value(3) + "\n");
    clsFiles files(services);
    ASSERT_EQ(files.xCount(), 1);
    EXPECT_EQ(files.xGetFileName(1), Logo(3));
    EXPECT_TRUE(files.Release());
}

// Before a save drops anything the list could not carry, the file as it was
// becomes CorvidoFiles.ini.bak; a save that loses nothing makes no copy.
TEST_F(LogoListFixture, SaveKeepsTheFileAsItWasBeforeLosingAnything) {
    enum class Then { Close, Add, Reset };
    const std::string one = "Logofile1=" + Value(1) + "\n";
    const std::string two = "Logofile2=" + Value(2) + "\n";
    struct Case {
        const char* name;
        std::string text;
        bool logo1Gone; // on a USB stick that is not mounted
        Then then;
        bool backup;
    };
    const Case cases[] = {
        {"the program's own file", "[LOGO]\n" + one + two, false, Then::Close, false},
        {"written with CRLF and blanks",
         "[LOGO]\r\n " + one.substr(0, one.size() - 1) + " \r\n\r\n", false, Then::Close, false},
        {"an entry added", "[LOGO]\n" + one, false, Then::Add, false},
        {"nothing but the section", "[LOGO]\n", false, Then::Close, false},
        {"the only entry's file missing", "[LOGO]\n" + one, true, Then::Close, true},
        {"the first of two missing", "[LOGO]\n" + one + two, true, Then::Add, true},
        {"a damaged value", "[LOGO]\n" + one + "Logofile2=" + Logo(2) + "|t|big|1|1\n", false,
         Then::Close, true},
        {"a number written otherwise", "[LOGO]\nLogofile1=" + Logo(1) + "|logo1.bmp|08|1|8\n",
         false, Then::Close, true},
        {"a comment", "; shop 12\n[LOGO]\n" + one, false, Then::Close, true},
        {"another section", "[LOGO]\n" + one + "[Till]\nName=2\n", false, Then::Close, true},
        {"a key after a gap", "[LOGO]\n" + one + "Logofile3=" + Value(3) + "\n", false, Then::Close,
         true},
        {"the same key twice", "[LOGO]\n" + one + one, false, Then::Close, true},
        {"a line of garbage", "[LOGO]\n" + one + "\x01\x7fgarbage\n", false, Then::Close, true},
        {"the list emptied", "[LOGO]\n" + one, false, Then::Reset, true},
    };
    const std::string backup = Settings() + ".bak";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(backup);
        WriteText(Settings(), c.text);
        Logo(1);
        if (c.logo1Gone) {
            std::filesystem::remove(Logo(1));
        }
        {
            clsFiles files(services);
            if (c.then == Then::Add) {
                files.xAdd(Logo(4), "logo4.bmp", 32, 4, 8);
            } else if (c.then == Then::Reset) {
                files.xReset();
            }
            ASSERT_TRUE(files.Release());
        }
        if (c.backup) {
            EXPECT_EQ(ReadText(backup), c.text);
        } else {
            EXPECT_FALSE(PathIsFile(backup));
        }
    }
}

// The list of a stick that is not mounted survives any number of runs, and
// comes back when the backup is put in place with the stick mounted.
TEST_F(LogoListFixture, ListOnAMissingStickSurvivesInTheBackup) {
    const std::string text = "[LOGO]\nLogofile1=" + Value(1) + "\n";
    const std::string backup = Settings() + ".bak";
    WriteText(Settings(), text);
    std::filesystem::rename(Logo(1), folder.File("away.bmp"));
    for (int run = 0; run < 2; ++run) {
        clsFiles files(services);
        EXPECT_EQ(files.xCount(), 0);
        ASSERT_TRUE(files.Release());
        EXPECT_FALSE(PathIsFile(Settings()));
        EXPECT_EQ(ReadText(backup), text);
    }
    std::filesystem::rename(backup, Settings());
    std::filesystem::rename(folder.File("away.bmp"), Logo(1));
    {
        clsFiles files(services);
        ASSERT_EQ(files.xCount(), 1);
        EXPECT_EQ(files.xGetFileName(1), Logo(1));
        ASSERT_TRUE(files.Release());
    }
    EXPECT_EQ(ReadText(Settings()), OnDisk(text));

    // A copy that cannot be written stops the save: the file stays as it was.
    std::filesystem::remove(Logo(1));
    FileWriteHooks full;
    full.beforeBlock = [](size_t) { return std::make_error_code(std::errc::no_space_on_device); };
    services.writeHooks = full;
    clsFiles files(services);
    const Result<void> status = files.Release();
    EXPECT_FALSE(status.Ok());
    EXPECT_NE(status.Reason().find("CorvidoFiles.ini.bak"), std::string::npos) << status.Reason();
    EXPECT_EQ(ReadText(Settings()), OnDisk(text));
    EXPECT_FALSE(PathIsFile(backup));
}

TEST_F(LogoListFixture, LongValuesAreReadWhole) {
    const std::string deep = folder.File(std::string(150, 'd') + "/" + std::string(150, 'e'));
    std::filesystem::create_directories(deep);
    const std::string path = deep + "/logo.bmp";
    WriteText(path, "BM");
    ASSERT_GT(path.size(), 300u);
    WriteText(Settings(), "[LOGO]\nLogofile1=" + path + "|logo.bmp|8|1|1\n");
    clsFiles files(services);
    ASSERT_EQ(files.xCount(), 1);
    EXPECT_EQ(files.xGetFileName(1), path);
    EXPECT_TRUE(files.Release());
}

TEST_F(LogoListFixture, EmptyListSavesNoFile) {
    WriteText(Settings(), "[LOGO]\nLogofile1=" + Value(1) + "\n");
    {
        clsFiles files(services);
        files.xReset();
    }
    EXPECT_FALSE(PathIsFile(Settings()));
    {
        clsFiles files(services);
        EXPECT_EQ(files.xCount(), 0);
    }
    EXPECT_FALSE(PathIsFile(Settings()));
}

TEST_F(LogoListFixture, FailedSaveKeepsTheListSavedBeforeAndSaysWhy) {
    WriteText(Settings(), "[LOGO]\nLogofile1=" + Value(1) + "\n");
    const std::string before = ReadText(Settings());
    FileWriteHooks full;
    full.beforeBlock = [](size_t) { return std::make_error_code(std::errc::no_space_on_device); };
    services.writeHooks = full;
    clsFiles files(services);
    files.xAdd(Logo(2), "logo2.bmp", 16, 2, 8);
    const Result<void> status = files.Release();
    EXPECT_FALSE(status.Ok());
    EXPECT_FALSE(status.Reason().empty());
    EXPECT_EQ(ReadText(Settings()), before);
}

TEST_F(LogoListFixture, UnwritableProgramFolderSavesUnderConfigHome) {
    services.programFolderWritable = false;
    {
        clsFiles files(services);
        files.xAdd(Logo(1), "logo1.bmp", 8, 1, 8);
    }
    EXPECT_FALSE(PathIsFile(Settings()));
    const std::string saved = folder.File("config") + "/tessaline/CorvidoFiles.ini";
    EXPECT_EQ(ReadText(saved), OnDisk("[LOGO]\nLogofile1=" + Logo(1) + "|logo1.bmp|8|1|8\n"));
    clsFiles again(services);
    EXPECT_EQ(again.xCount(), 1);
    EXPECT_TRUE(again.Release());
}

TEST_F(LogoListFixture, WriteAndReadLogoIni) {
    ASSERT_TRUE(WriteLogoIni(services.settings, Settings(), "Logofile1", "a|b|1|2|3"));
    EXPECT_EQ(ReadLogoIni(services.settings, Settings(), "Logofile1").Value(), "a|b|1|2|3");
    EXPECT_EQ(ReadLogoIni(services.settings, Settings(), "Logofile2").Value(), "");
    EXPECT_EQ(ReadText(Settings()), OnDisk("[LOGO]\nLogofile1=a|b|1|2|3\n"));
}

// A list holding a name outside ASCII, with an entry whose file is on a
// stick that is not mounted, closed twice without a change: the first close
// keeps the file as it was in the backup, the second finds its own list in
// the file (read in the program's encoding, whatever the file's) and leaves
// the backup alone.
TEST_F(LogoListFixture, ListWithNamesOutsideAsciiClosedTwiceKeepsItsBackup) {
    const std::string name = EnvironmentCodePage() == 949 ? "로고" : "café";
    const std::string present = folder.File(name + ".bmp");
    WriteText(Utf8Path(present), "BM");
    const std::string missing = folder.File(name + " 2.bmp");
    ASSERT_TRUE(services.settings.Replace(Settings(), "LOGO",
                                          {{"Logofile1", present + "|" + name + ".bmp|8|1|8"},
                                           {"Logofile2", missing + "|" + name + " 2.bmp|8|1|8"}}));
    const std::string asSaved = ReadText(Settings());
    for (int close = 1; close <= 2; ++close) {
        SCOPED_TRACE(close);
        clsFiles files(services);
        ASSERT_EQ(files.xCount(), 1);
        EXPECT_EQ(files.xGetFileName(1), present);
        ASSERT_TRUE(files.Release());
        EXPECT_EQ(ReadText(Settings() + ".bak"), asSaved);
        EXPECT_EQ(services.settings.ReadText(Settings()).Value(),
                  OnDisk("[LOGO]\nLogofile1=" + present + "|" + name + ".bmp|8|1|8\n"));
    }
}

// What the settings file cannot hold is refused with the reason, never cut
// or saved as another name: a value past 1 MiB, and on Windows a name the
// ANSI code page has no characters for.
TEST_F(LogoListFixture, ValuesTheFileCannotHoldAreRefusedWithTheReason) {
    const std::string huge = folder.File(std::string(kMaxSettingsValueBytes, 'h') + ".bmp");
    WriteText(Settings(),
              "[LOGO]\nLogofile1=" + huge + "|h.bmp|8|1|8\nLogofile2=" + Value(2) + "\n");
    {
        clsFiles files(services);
        ASSERT_EQ(files.xCount(), 1);
        EXPECT_EQ(files.xGetFileName(1), Logo(2));
        ASSERT_TRUE(files.Release());
    }
    EXPECT_NE(ReadText(Settings() + ".bak").find(huge), std::string::npos);

    struct Case {
        const char* name;
        std::string path;
        bool refused;
        const char* reason;
    };
    // Thai: in neither code page 1252 nor 949.
    const std::string foreign = folder.File("โลโก้.bmp");
#ifdef _WIN32
    const bool ansi = true;
#else
    const bool ansi = false;
#endif
    const Case cases[] = {
        {"past 1 MiB", huge, true, "bytes long, more than the 1048576"},
        {"outside the code page", foreign, ansi, "cannot hold"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(Settings(), "[LOGO]\nLogofile1=" + Value(1) + "\n");
        const std::string before = ReadText(Settings());
        clsFiles files(services);
        files.xAdd(c.path, "x.bmp", 8, 1, 8);
        const Result<void> status = files.Release();
        EXPECT_EQ(status.Ok(), !c.refused) << status.Reason();
        if (c.refused) {
            EXPECT_NE(status.Reason().find(c.reason), std::string::npos) << status.Reason();
            EXPECT_NE(status.Reason().find("Logofile2"), std::string::npos) << status.Reason();
            EXPECT_EQ(ReadText(Settings()), before);
        } else {
            EXPECT_EQ(services.settings.ReadKey(Settings(), "LOGO", "Logofile2").Value(),
                      c.path + "|x.bmp|8|1|8");
        }
    }
}

// One copy of the program per list: while one copy holds the settings
// file's claim, another learns which process holds it; another list is
// another claim, and a claim goes with its holder.
TEST_F(LogoListFixture, OneCopyOfTheProgramHoldsTheList) {
    std::optional<Result<SettingsClaim>> first(ClaimLogoList(services));
    ASSERT_TRUE(first->Ok()) << first->Reason();
    EXPECT_TRUE(first->Value().Held());
    const Result<SettingsClaim> second = ClaimLogoList(services);
    ASSERT_TRUE(second.Ok()) << second.Reason();
    EXPECT_FALSE(second.Value().Held());
    EXPECT_NE(second.Value().Holder(), 0u); // this process, as the holder said
    EXPECT_EQ(second.Value().Name(), first->Value().Name());

    services.programFolderWritable = false;
    const Result<SettingsClaim> elsewhere = ClaimLogoList(services);
    ASSERT_TRUE(elsewhere.Ok()) << elsewhere.Reason();
    EXPECT_TRUE(elsewhere.Value().Held());
    EXPECT_NE(elsewhere.Value().Name(), first->Value().Name());

    services.programFolderWritable.reset();
    first.reset();
    const Result<SettingsClaim> after = ClaimLogoList(services);
    ASSERT_TRUE(after.Ok()) << after.Reason();
    EXPECT_TRUE(after.Value().Held());
}

} // namespace
} // namespace tessaline
