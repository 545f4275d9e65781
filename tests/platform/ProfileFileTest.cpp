// SPDX-License-Identifier: MIT
#include "platform/SettingsStore.h"
#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaline {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

std::string File(const TempFolder& folder, const std::string& name) {
    return (folder.Path() / name).string();
}

TEST(ProfileFile, FindsKeysAsTheProfileFunctionsDo) {
    const std::string text = "; saved by hand\r\n"
                             "[Other]\r\n"
                             "Logofile1=elsewhere\r\n"
                             "  [ logo ]  \r\n"
                             "  LOGOFILE1 =  /a.bmp|a.bmp|8|1|1  \r\n"
                             "Logofile1=second one loses\r\n"
                             "Logofile2=\r\n";
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"LOGO", "Logofile1", "/a.bmp|a.bmp|8|1|1"},
        {"logo", "logofile1", "/a.bmp|a.bmp|8|1|1"},
        {"LOGO", "Logofile2", ""},
        {"LOGO", "Logofile3", std::nullopt},
        {"Other", "Logofile1", "elsewhere"},
        {"Missing", "Logofile1", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindProfileValue(text, c.section, c.key), c.value) << c.section << "/" << c.key;
    }
}

TEST(ProfileFile, SetReplacesInsertsOrAppends) {
    const std::string text = "[LOGO]\nLogofile1=a\n[Other]\nx=1\n";
    EXPECT_EQ(SetProfileValue(text, "LOGO", "logofile1", "b"),
              "[LOGO]\nlogofile1=b\n[Other]\nx=1\n");
    EXPECT_EQ(SetProfileValue(text, "LOGO", "Logofile2", "c"),
              "[LOGO]\nLogofile1=a\nLogofile2=c\n[Other]\nx=1\n");
    EXPECT_EQ(SetProfileValue(text, "New", "k", "v"),
              "[LOGO]\nLogofile1=a\n[Other]\nx=1\n[New]\nk=v\n");
    EXPECT_EQ(SetProfileValue("", "LOGO", "Logofile1", "v"), "[LOGO]\nLogofile1=v\n");
}

TEST(ProfileFile, FormatsOneSectionInOrder) {
    EXPECT_EQ(FormatProfile("LOGO", {{"Logofile1", "a"}, {"Logofile2", "b"}}),
              "[LOGO]\nLogofile1=a\nLogofile2=b\n");
}

TEST(ProfileFile, WriteCreatesFileAndFolder) {
    TempFolder folder;
    const std::string file = File(folder, "sub/dir/CorvidoFiles.ini");
    const SettingsStore store;
    ASSERT_TRUE(store.WriteKey(file, "LOGO", "Logofile1", "x"));
    ASSERT_TRUE(store.WriteKey(file, "LOGO", "Logofile2", "y"));
    EXPECT_EQ(store.ReadKey(file, "LOGO", "Logofile2").Value(), "y");
    EXPECT_EQ(store.ReadKey(File(folder, "none.ini"), "LOGO", "Logofile1").Value(), "");
}

TEST(ProfileFile, WriteNeverReplacesAFileItCannotRead) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every file";
    }
    TempFolder folder;
    const std::string file = File(folder, "CorvidoFiles.ini");
    WriteText(file, "[LOGO]\nLogofile1=kept\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_write);
    EXPECT_FALSE(SettingsStore().WriteKey(file, "LOGO", "Logofile2", "x"));
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    EXPECT_EQ(ReadText(file), "[LOGO]\nLogofile1=kept\n");
}

TEST(AtomicReplace, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    TempFolder folder;
    const std::string file = File(folder, "CorvidoFiles.ini");
    WriteText(file, "old");
    FileWriteHooks full;
    full.beforeBlock = [](size_t) { return std::make_error_code(std::errc::no_space_on_device); };
    const Result<void> status = ReplaceFileAtomically(file, std::string(10000, 'x'), &full);
    EXPECT_FALSE(status.Ok());
    EXPECT_NE(status.Reason().find("No space left"), std::string::npos) << status.Reason();
    EXPECT_EQ(ReadText(file), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(AtomicReplace, FolderThatCannotBeMadeIsReported) {
    TempFolder folder;
    WriteText(File(folder, "plain"), "a file, not a folder");
    EXPECT_FALSE(ReplaceFileAtomically(File(folder, "plain/CorvidoFiles.ini"), "x").Ok());
}

// A process killed half-way through a save leaves the file saved before whole.
TEST(AtomicReplace, KillDuringSaveLeavesOldFileIntact) {
    TempFolder folder;
    const std::string file = File(folder, "CorvidoFiles.ini");
    ProfileEntries old;
    for (int i = 1; i <= 255; ++i) {
        old.emplace_back("Logofile" + std::to_string(i), "/old/" + std::to_string(i) + ".bmp");
    }
    ASSERT_TRUE(SettingsStore().Replace(file, "LOGO", old));
    const std::string before = ReadText(file);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ProfileEntries next;
        for (int i = 1; i <= 255; ++i) {
            next.emplace_back("Logofile" + std::to_string(i), std::string(200, 'n'));
        }
        int blocks = 0;
        FileWriteHooks dying;
        dying.beforeBlock = [&blocks](size_t) {
            if (++blocks == 3) {
                ::raise(SIGKILL);
            }
            return std::error_code();
        };
        SettingsStore store;
        store.UseWriteHooks(dying);
        static_cast<void>(store.Replace(file, "LOGO", next));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadText(file), before);
}

// Killed at random moments of repeated saves, the file is always one whole save.
TEST(AtomicReplace, KillAtAnyMomentLeavesAWholeFile) {
    TempFolder folder;
    const std::string file = File(folder, "CorvidoFiles.ini");
    const std::string a = FormatProfile("LOGO", {{"Logofile1", std::string(50000, 'a')}});
    const std::string b = FormatProfile("LOGO", {{"Logofile1", std::string(70000, 'b')}});
    ASSERT_TRUE(ReplaceFileAtomically(file, a));
    for (int round = 0; round < 10; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                static_cast<void>(ReplaceFileAtomically(file, b));
                static_cast<void>(ReplaceFileAtomically(file, a));
            }
        }
        ::usleep(static_cast<useconds_t>(2000 + round * 1500));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = ReadText(file);
        EXPECT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
    }
}

} // namespace
} // namespace tessaline
