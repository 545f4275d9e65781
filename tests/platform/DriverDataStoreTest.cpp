// SPDX-License-Identifier: MIT
#include "platform/DriverDataStore.h"

#include "platform/PrinterCommandsFile.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tessaline;
using namespace tessaline::test;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<uint8_t>(v));
    }
    return bytes;
}

TEST(DriverDataStore, ValuesRoundTripWithTheirType) {
    struct Case {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> record(1480);
    for (size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<uint8_t>(255 - i % 256);
    }
    const Case cases[] = {
        {"TTY DeviceConfig", kRegBinary, record},
        {"Empty", kRegBinary, {}},
        {"Line ends and zeros", 4, Bytes({'\n', 0, '\r', '\n', 0})},
        {"Largest type", 0xFFFFFFFFu, Bytes({1})},
        {"Type zero", 0, Bytes({2, 3})},
    };
    TempFolder temp;
    const DriverDataStore store(temp.Path() / "queue");
    for (const Case& c : cases) {
        ASSERT_TRUE(store.Set(c.name, c.type, c.bytes)) << c.name;
    }
    for (const Case& c : cases) {
        const auto value = store.Get(c.name);
        ASSERT_TRUE(value.has_value()) << c.name;
        EXPECT_EQ(value->type, c.type) << c.name;
        EXPECT_EQ(value->bytes, c.bytes) << c.name;
    }
}

TEST(DriverDataStore, SetReplacesTheWholeValueAndLeavesNoTemporaryFiles) {
    TempFolder temp;
    const DriverDataStore store(temp.Path());
    ASSERT_TRUE(store.Set("V", 3, std::vector<uint8_t>(5000, 0xAA)));
    ASSERT_TRUE(store.Set("V", 4, Bytes({1, 2})));
    const auto value = store.Get("V");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, 4u);
    EXPECT_EQ(value->bytes, Bytes({1, 2}));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp.Path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"V", "V.type"}));
}

TEST(DriverDataStore, ValueNeverWrittenIsNothing) {
    TempFolder temp;
    EXPECT_FALSE(DriverDataStore(temp.Path()).Get("TTY DeviceConfig").has_value());
    EXPECT_FALSE(DriverDataStore(temp.Path() / "absent").Get("TTY DeviceConfig").has_value());
}

TEST(DriverDataStore, BadNamesAreRefusedAndWriteNothing) {
    const std::string names[] = {"",
                                 ".",
                                 "..",
                                 "a/b",
                                 "../escape",
                                 ".hidden",
                                 "X.type",
                                 ".type",
                                 std::string(201, 'n'),
                                 std::string("nul\0byte", 8)};
    TempFolder temp;
    const DriverDataStore store(temp.Path() / "queue");
    for (const std::string& name : names) {
        EXPECT_FALSE(store.Set(name, 3, Bytes({1}))) << name;
        EXPECT_FALSE(store.Get(name).has_value()) << name;
    }
    EXPECT_TRUE(fs::is_empty(temp.Path())) << "nothing written, no folder made";
}

TEST(DriverDataStore, DamagedTypeFileMakesTheValueUnreadable) {
    const std::string types[] = {"", "\n", "abc", "3x", " 3", "-1", "4294967296", "3\n\n", "0x3"};
    TempFolder temp;
    const DriverDataStore store(temp.Path());
    ASSERT_TRUE(store.Set("V", 3, Bytes({7})));
    for (const std::string& type : types) {
        WriteText(temp.Path() / "V.type", type);
        EXPECT_FALSE(store.Get("V").has_value()) << '"' << type << '"';
    }
    WriteText(temp.Path() / "V.type", "3");
    EXPECT_TRUE(store.Get("V").has_value()) << "no line end needed";
    fs::remove(temp.Path() / "V");
    EXPECT_FALSE(store.Get("V").has_value()) << "type without bytes";
    ASSERT_TRUE(store.Set("W", 3, Bytes({7})));
    fs::remove(temp.Path() / "W.type");
    EXPECT_FALSE(store.Get("W").has_value()) << "bytes without type";
}

TEST(DriverDataStore, FolderThatCannotBeMadeIsNotWritable) {
    TempFolder temp;
    WriteText(temp.Path() / "file", "x");
    const DriverDataStore blocked(temp.Path() / "file" / "queue");
    EXPECT_FALSE(blocked.Writable());
    EXPECT_FALSE(blocked.Set("V", 3, Bytes({1})));
    EXPECT_FALSE(blocked.Get("V").has_value());

    const DriverDataStore fine(temp.Path() / "a" / "b");
    EXPECT_TRUE(fine.Writable());
    EXPECT_TRUE(fs::is_directory(temp.Path() / "a" / "b"));
    EXPECT_TRUE(fs::is_empty(temp.Path() / "a" / "b")) << "the probe file is removed";
}

TEST(DriverDataStore, ReadOnlyFolderIsNotWritable) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    TempFolder temp;
    fs::permissions(temp.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(DriverDataStore(temp.Path()).Writable());
    EXPECT_FALSE(DriverDataStore(temp.Path()).Set("V", 3, Bytes({1})));
    fs::permissions(temp.Path(), fs::perms::owner_all);
}

} // namespace

namespace tessaline {
namespace {

// The command language kept per printer: replaced, forgotten, never confused
// with another printer whose name holds it, and names the file cannot hold refused.
TEST(PrinterCommandsFile, KeepsOneLanguageAPrinter) {
    const test::TempFolder folder;
    const std::filesystem::path file = folder.Path() / "settings" / "printer-commands";
    struct Step {
        const char* printer;
        const char* commands; // "" forgets
        bool kept;
    };
    const Step steps[] = {
        {"COUNTER", "star-line", true}, {"COUNTER 2", "star-prnt", true},
        {"COUNTER", "esc-pos", true},   {"COUNTER 2", "", true},
        {"A\tB", "star-line", false},   {"", "star-line", false},
        {"C", "star\nline", false},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(KeepPrinterCommands(file, s.printer, s.commands).Ok(), s.kept) << s.printer;
    }
    const struct {
        const char* printer;
        std::optional<std::string> commands;
    } expected[] = {{"COUNTER", "esc-pos"},
                    {"COUNTER 2", std::nullopt},
                    {"COUNT", std::nullopt},
                    {"A", std::nullopt}};
    for (const auto& e : expected) {
        const auto kept = KeptPrinterCommands(file, e.printer);
        ASSERT_TRUE(kept.Ok()) << kept.Reason();
        EXPECT_EQ(kept.Value(), e.commands) << e.printer;
    }
    EXPECT_EQ(KeptPrinterCommands(folder.Path() / "none", "COUNTER").Value(), std::nullopt);
}

} // namespace
} // namespace tessaline
