// SPDX-License-Identifier: MIT
// The platform's Windows seams where the hosts under Wine do not reach them:
// the atomic replace (the control's preview goes through it too), whole-file
// reads and appends, the lock, the per-user folder; the ANSI conversions
// and the spooler's name and job rules, under code page 1252; the program's
// work off the window's thread.
#include "app/win32/Win32BackgroundWork.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "platform/UserFolders.h"
#include "platform/win32/AnsiText.h"
#include "platform/win32/HandleOwners.h"
#include "platform/win32/WinSpoolerBackend.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>
#include <windows.h>
#include <winspool.h>

namespace tessaline {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own under the system's temporary folder, with a
// name outside ASCII, removed afterwards.
class SeamFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   (L"tessaline-seams-\u00e9\u20ac-" + std::to_wstring(::GetCurrentProcessId()));
        fs::remove_all(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }
    // The names in the folder, hidden ones too.
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const auto& entry : fs::directory_iterator(m_folder)) {
            names.push_back(entry.path().filename().native());
        }
        return names;
    }

    fs::path m_folder;
};

TEST_F(SeamFolder, ReplacingWritesWholeFilesThatShowAndLeavesNothingElse) {
    const fs::path file = m_folder / L"CorvidoFiles\uac00.ini";
    struct Step {
        std::string text;
        const char* what;
    };
    const Step steps[] = {
        {"[Files]\r\nCount=1\r\n", "a new file in a folder made for it"},
        {std::string(10000, 'x'), "a longer file over it, in several blocks"},
        {"", "an empty file over it"},
    };
    for (const Step& step : steps) {
        ASSERT_TRUE(ReplaceFileAtomically(file, step.text)) << step.what;
        const auto read = ReadWholeFile(file);
        ASSERT_TRUE(read) << step.what << ": " << read.Reason();
        EXPECT_EQ(read.Value(), step.text) << step.what;
        EXPECT_EQ(Names(), std::vector<std::wstring>{file.filename().native()}) << step.what;
        EXPECT_EQ(::GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u) << step.what;
    }

    // A write the hook stops leaves the file as it was and no temporary.
    FileWriteHooks failing;
    failing.beforeBlock = [](size_t) {
        return std::make_error_code(std::errc::no_space_on_device);
    };
    const auto refused = ReplaceFileAtomically(file, std::string("new"), &failing);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.Reason().find("cannot write"), std::string::npos) << refused.Reason();
    EXPECT_EQ(ReadWholeFile(file).Value(), "");
    EXPECT_EQ(Names().size(), 1u);
}

TEST_F(SeamFolder, ReadsAppendsLocksAndFolders) {
    fs::create_directories(m_folder);
    const fs::path log = m_folder / L"log.txt";
    const auto missing = ReadFileIfPresent(log);
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing.Value().has_value());
    EXPECT_FALSE(ReadWholeFile(log));
    ASSERT_TRUE(AppendToFile(log, "one\n"));
    ASSERT_TRUE(AppendToFile(log, "two\n"));
    EXPECT_EQ(ReadWholeFile(log).Value(), "one\ntwo\n");
    EXPECT_FALSE(ReadFileIfPresent(log, 4)) << "more than the limit";

    {
        auto lock = FileLock::Acquire(m_folder / L"lock");
        ASSERT_TRUE(lock) << lock.Reason();
        // Held: another handle cannot take the byte it locks.
        const win32::UniqueFile other(
            ::CreateFileW((m_folder / L"lock").c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other);
        OVERLAPPED at{};
        EXPECT_FALSE(::LockFileEx(other.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                                  0, 1, 0, &at));
    }
    EXPECT_TRUE(FileLock::Acquire(m_folder / L"lock")) << "released with its owner";
    EXPECT_FALSE(FileLock::Acquire(m_folder / L"no such folder" / L"lock"));

    wchar_t appData[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH), 0u);
    EXPECT_EQ(TessalineConfigHome(), fs::path(appData) / L"Tessaline");
    EXPECT_EQ(TessalineDataHome(), TessalineConfigHome());
}

TEST(AnsiText, ConvertsNamesExactlyOrNotAtAll) {
    if (win32::AnsiCodePage() != 1252) {
        GTEST_SKIP() << "written for code page 1252";
    }
    // Windows' best fit would make "s" of U+015D and "A" of U+0100: names of
    // other files.
    const struct {
        std::wstring wide;
        std::optional<std::string> exact;
        std::string shown;
        std::string why;
    } cases[] = {
        {L"caf\u00e9.bmp", "caf\xE9.bmp", "caf\xE9.bmp", ""},
        {L"\u20ac.bmp", "\x80.bmp", "\x80.bmp", ""},
        {L"\u015dhop.bmp", std::nullopt, "?hop.bmp", "U+015D has no character in code page 1252"},
        {L"\u0100\ub85c\ub85c.bmp", std::nullopt, "???.bmp",
         "U+0100, U+B85C have no character in code page 1252"},
        // How many "?" a surrogate pair makes is the system's affair.
        {L"\U0001F600.bmp", std::nullopt, "", "U+1F600 has no character in code page 1252"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32::ExactAnsi(c.wide), c.exact) << c.why;
        if (!c.shown.empty()) {
            EXPECT_EQ(win32::ToAnsi(c.wide), c.shown);
        }
        EXPECT_EQ(win32::WhyNotAnsi(c.wide), c.why) << c.shown;
        const Result<std::string> named = win32::AnsiFromPath(fs::path(L"C:\\d\\" + c.wide));
        EXPECT_EQ(named.Ok(), c.exact.has_value()) << c.shown;
        if (!named) {
            EXPECT_NE(named.Reason().find(c.why), std::string::npos) << named.Reason();
        }
    }
    EXPECT_EQ(win32::AnsiFromUtf8("caf\xC3\xA9 \xEB\xA1\x9C"), "caf\xE9 ?");
}

TEST(WinSpooler, NamesCompareWithoutRegardToCaseCharacterByCharacter) {
    if (win32::AnsiCodePage() != 1252) {
        GTEST_SKIP() << "written for code page 1252";
    }
    win32::WinSpoolerBackend spooler;
    EXPECT_TRUE(spooler.NameIs("THERMAL #1", "thermal #1"));
    EXPECT_TRUE(spooler.NameIs("Caf\xC9 #1", "caf\xE9 #1")); // "Café #1", "café #1"
    EXPECT_FALSE(spooler.NameIs("THERMAL #12", "thermal #1"));
    EXPECT_TRUE(spooler.NameBeginsWith("THERMAL #12", "thermal #1"));
    EXPECT_FALSE(spooler.NameBeginsWith("THERMAL #2", "thermal #1"));
    EXPECT_FALSE(spooler.NameBeginsWith("THERMAL", "thermal #1"));
}

TEST(WinSpooler, AJobInErrorDeletedOrBlockedIsNotDelivered) {
    const struct {
        uint32_t status;
        std::string words;
        std::string failure;
    } cases[] = {
        {0, "", ""},
        {JOB_STATUS_SPOOLING | JOB_STATUS_PRINTING, "", ""},
        {JOB_STATUS_PAUSED | JOB_STATUS_OFFLINE | JOB_STATUS_PAPEROUT, "", ""},
        {JOB_STATUS_PRINTED, "", ""},
        {JOB_STATUS_ERROR, "", "the job is in error"},
        {JOB_STATUS_ERROR | JOB_STATUS_PRINTING, "Port not found",
         "Port not found (the job is in error)"},
        {JOB_STATUS_DELETING, "", "the job was deleted"},
        {JOB_STATUS_DELETED | JOB_STATUS_ERROR, "", "the job was deleted"},
        {JOB_STATUS_BLOCKED_DEVQ, "Driver blocked", "Driver blocked (the job is blocked)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32::JobStatusFailure(c.status, c.words), c.failure) << c.status;
    }
}

// Handles this thread's messages until `done` holds or `milliseconds` pass.
bool PumpUntil(const std::function<bool()>& done, ULONGLONG milliseconds = 5000) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    while (!done() && ::GetTickCount64() < end) {
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&msg);
        }
        ::Sleep(2);
    }
    return done();
}

TEST(BackgroundWork, WorkRunsOffTheThreadAndItsResultOnIt) {
    win32::Win32BackgroundWork work(::GetModuleHandleW(nullptr));
    const DWORD here = ::GetCurrentThreadId();
    std::atomic<DWORD> workedOn{0};
    std::vector<int> results;
    std::vector<DWORD> resultsOn;
    for (int n = 1; n <= 3; ++n) {
        work.Start([&, n]() -> std::function<void()> {
            workedOn = ::GetCurrentThreadId();
            return [&, n] {
                results.push_back(n);
                resultsOn.push_back(::GetCurrentThreadId());
            };
        });
    }
    // Nothing runs here until the thread's messages are handled.
    ::Sleep(50);
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(PumpUntil([&] { return work.Pending() == 0; }));
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(resultsOn, (std::vector<DWORD>(3, here)));
    EXPECT_NE(workedOn.load(), here);
    EXPECT_NE(workedOn.load(), 0u);
}

// The window goes while work runs, or after it ended with its result still
// queued: the result never runs, and the work is waited for before the rules
// it reports to could go.
TEST(BackgroundWork, ResultsOfAClosedWindowAreDroppedAndItsWorkWaitedFor) {
    for (const bool endedFirst : {false, true}) {
        std::atomic<bool> release{false};
        std::atomic<bool> ended{false};
        bool resultRan = false;
        {
            win32::Win32BackgroundWork work(::GetModuleHandleW(nullptr));
            work.Start([&]() -> std::function<void()> {
                while (!release) {
                    ::Sleep(1);
                }
                ::Sleep(50);
                ended = true;
                return [&] { resultRan = true; };
            });
            if (endedFirst) {
                release = true;
                while (!ended) {
                    ::Sleep(1);
                }
                ::Sleep(20); // queued, its message posted
            }
            work.Close();
            release = true;
            // Started once closed: never run at all.
            work.Start([&]() -> std::function<void()> {
                resultRan = true;
                return [] {};
            });
        }
        EXPECT_TRUE(ended) << endedFirst;
        PumpUntil([] { return false; }, 200); // the posted message, if any, finds no window
        EXPECT_FALSE(resultRan) << endedFirst;
    }
}

} // namespace
} // namespace tessaline
