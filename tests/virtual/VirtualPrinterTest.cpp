// SPDX-License-Identifier: MIT
#include "escpos/Png.h"
#include "escpos/PrinterResponder.h"
#include "platform/AtomicFile.h"
#include "platform/virtual/VirtualPrinterBackend.h"
#include "tests/support/Files.h"
#include "tests/support/NvStreams.h"
#include "tests/support/TempHome.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaline {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ReadText;

Bytes ReadBytes(const fs::path& path) {
    return test::FileBytes(path).value_or(Bytes{});
}

MonoPicture ReadPng(const fs::path& path) {
    const auto picture = DecodePng(ReadBytes(path));
    EXPECT_TRUE(picture) << path;
    return picture.ValueOr(MonoPicture{});
}

bool Spool(SpoolerBackend& backend, const std::string& name, const Bytes& bytes,
           const char* document = "Logo") {
    auto queue = backend.Open(name, QueueAccess::Plain).ValueOr(nullptr);
    if (!queue || !queue->StartRawJob(document, "RAW")) {
        return false;
    }
    for (const uint8_t byte : bytes) {
        if (!queue->Write(std::span(&byte, 1))) {
            return false;
        }
    }
    return queue->EndJob().Ok();
}

class VirtualPrinter : public ::testing::Test {
protected:
    test::TempHome home;
    VirtualPrinterStore store{home.DataHome()};
    VirtualPrinterBackend backend{home.DataHome()};

    fs::path Folder(const char* name) { return store.PrinterFolder(name); }
};

TEST_F(VirtualPrinter, DefaultDataHomeFollowsXdgDataHome) {
    VirtualPrinterBackend fromEnvironment;
    EXPECT_EQ(fromEnvironment.Store().PrintersFolder(), home.DataHome() / "printers");
}

TEST_F(VirtualPrinter, ListsPrintersInTheOrderAdded) {
    for (const char* name : {"THERMAL #2", "zeta", "THERMAL #1", "alpha"}) {
        ASSERT_TRUE(store.Add(name, {}).Ok()) << name;
    }
    EXPECT_EQ(backend.ListQueues().names,
              (std::vector<std::string>{"THERMAL #2", "zeta", "THERMAL #1", "alpha"}));
    ASSERT_TRUE(store.Remove("zeta").Ok());
    ASSERT_TRUE(store.Add("zeta", {}).Ok());
    const QueueList list = backend.ListQueues();
    EXPECT_TRUE(list.status);
    EXPECT_EQ(list.names, (std::vector<std::string>{"THERMAL #2", "THERMAL #1", "alpha", "zeta"}));
}

TEST_F(VirtualPrinter, NoPrintersFolderMeansAnEmptyList) {
    const QueueList list = backend.ListQueues();
    EXPECT_TRUE(list.status);
    EXPECT_TRUE(list.names.empty());
    EXPECT_FALSE(backend.Open("THERMAL #1", QueueAccess::Plain));
}

TEST_F(VirtualPrinter, RefusesBadNamesTakenNamesAndBadModels) {
    for (const std::string& name :
         {std::string(""), std::string("."), std::string(".."), std::string("a/b"),
          std::string("tab\there"), std::string("nl\n"), std::string("del\x7F"),
          std::string("nul\0x", 5), std::string(256, 'n')}) {
        EXPECT_FALSE(store.Add(name, {}).Ok()) << name;
    }
    EXPECT_NE(store.Add(std::string(256, 'n'), {}).Reason().find("too long"), std::string::npos);
    EXPECT_TRUE(store.Add("..hidden but fine", {}).Ok());
    ASSERT_TRUE(store.Add("THERMAL #1", {}).Ok());
    const Result<void> again = store.Add("THERMAL #1", {});
    EXPECT_FALSE(again.Ok());
    EXPECT_NE(again.Reason().find("already exists"), std::string::npos);
    EXPECT_FALSE(store.Add("narrow", PrinterModel{{.paperWidth = 4, .nvCapacity = 262144}}).Ok());
    EXPECT_FALSE(
        store.Add("empty memory", PrinterModel{{.paperWidth = 576, .nvCapacity = 0}}).Ok());
    EXPECT_FALSE(store.Remove("never added").Ok());
    // Nothing half-made is left behind by the refusals.
    EXPECT_EQ(backend.ListQueues().names,
              (std::vector<std::string>{"..hidden but fine", "THERMAL #1"}));
    size_t folders = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(store.PrintersFolder())) {
        ++folders;
    }
    EXPECT_EQ(folders, 2u);
    EXPECT_TRUE(store.Add(std::string(255, 'n'), {}).Ok());
}

// A printer whose settings file is damaged stays listed with its problem and
// can be removed; only opening it fails, saying why.
TEST_F(VirtualPrinter, DamagedSettingsKeepThePrinterListedAndRemovable) {
    const struct {
        const char* name;
        std::function<void(const fs::path& conf)> harm;
        const char* problem; // "" when the file still reads
    } cases[] = {
        {"empty",
         [](const fs::path& conf) { EXPECT_TRUE(ReplaceFileAtomically(conf, std::string_view())); },
         "printer.conf: the file is empty"},
        {"garbage",
         [](const fs::path& conf) {
             EXPECT_TRUE(ReplaceFileAtomically(conf, std::string_view("\x89PNG\r\n")));
         },
         "printer.conf: it gives no paper-width"},
        {"unreadable",
         [](const fs::path& conf) {
             fs::remove(conf);
             fs::create_directory(conf);
         },
         "printer.conf: Is a directory"},
        {"crlf",
         [](const fs::path& conf) {
             EXPECT_TRUE(ReplaceFileAtomically(
                 conf, std::string_view("paper-width=384\r\nnv-capacity=1000\r\n")));
         },
         ""},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(store.Add(c.name, {}).Ok());
        c.harm(Folder(c.name) / "printer.conf");
    }
    EXPECT_EQ(backend.ListQueues().names.size(), 4u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto info = store.Find(c.name);
        ASSERT_TRUE(info.has_value());
        if (*c.problem == '\0') {
            EXPECT_EQ(info->problem, "");
            EXPECT_EQ(info->model.paperWidth, 384);
            EXPECT_TRUE(backend.Open(c.name, QueueAccess::Plain));
            continue;
        }
        EXPECT_NE(info->problem.find(c.problem), std::string::npos) << info->problem;
        const auto refused = backend.Open(c.name, QueueAccess::Plain);
        EXPECT_FALSE(refused);
        EXPECT_NE(refused.Reason().find(c.problem), std::string::npos) << refused.Reason();
        EXPECT_NE(store.Add(c.name, {}).Reason().find("settings are damaged"), std::string::npos);
        EXPECT_TRUE(store.Remove(c.name).Ok());
    }
    EXPECT_EQ(backend.ListQueues().names, std::vector<std::string>{"crlf"});
}

TEST_F(VirtualPrinter, KeepsItsSettings) {
    ASSERT_TRUE(store.Add("58mm", PrinterModel{{.paperWidth = 384, .nvCapacity = 1000}}).Ok());
    const auto info = store.Find("58mm");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->model.paperWidth, 384);
    EXPECT_EQ(info->model.nvCapacity, 1000u);
    EXPECT_EQ(info->model.nvWritesPerDay, 10u) << "a file names no budget of its own";
    EXPECT_EQ(ReadText(Folder("58mm") / "printer.conf"),
              "paper-width=384\nnv-capacity=1000\nadded=1\n");
    PrinterModel mute{{.paperWidth = 384, .nvCapacity = 1000}};
    mute.answers = false;
    mute.nvGraphics = 0;
    mute.writeMs = 1500;
    ASSERT_TRUE(store.Add("mute", mute).Ok());
    const auto back = store.Find("mute");
    ASSERT_TRUE(back.has_value());
    EXPECT_FALSE(back->model.answers);
    EXPECT_EQ(back->model.nvGraphics, 0u);
    EXPECT_EQ(back->model.writeMs, 1500u);
}

// A served printer answers from its folder: the NV memory the last job left
// and the words of its status file, read anew at each question.
TEST_F(VirtualPrinter, ItsResponderReadsTheNvMemoryAndTheStatusFile) {
    ASSERT_TRUE(store.Add("P", {}).Ok());
    const PrinterState state = VirtualPrinterFolder(Folder("P")).State();
    EXPECT_TRUE(state.memory().images.empty());
    EXPECT_EQ(state.conditions(), "");
    ASSERT_TRUE(Spool(backend, "P", test::UploadStream({test::SmallLogo()})));
    ASSERT_TRUE(ReplaceFileAtomically(Folder("P") / kStatusFileName,
                                      std::string_view("cover-open\npaper-end\n")));
    EXPECT_EQ(state.memory().images.size(), 1u);
    EXPECT_EQ(state.conditions(), "cover-open\npaper-end\n");
    PrinterResponder responder("P", {}, state);
    EXPECT_EQ(responder.Feed(Bytes{0x10, 0x04, 0x02}), Bytes{0x36});
}

TEST_F(VirtualPrinter, UploadLeavesJobFilesNvPicturesAndLog) {
    ASSERT_TRUE(store.Add("THERMAL #1", {}).Ok());
    const Bytes upload = test::UploadStream({test::SmallLogo(), test::WideLogo()});
    ASSERT_TRUE(Spool(backend, "THERMAL #1", upload));
    const fs::path folder = Folder("THERMAL #1");

    EXPECT_EQ(ReadBytes(folder / "jobs" / "000001.bin"), upload);
    EXPECT_EQ(ReadText(folder / "jobs" / "000001.txt"), "document=Logo\ndatatype=RAW\n");
    const MonoPicture first = ReadPng(folder / "nv" / "001.png");
    const MonoPicture second = ReadPng(folder / "nv" / "002.png");
    ASSERT_EQ(first.width, 104);
    ASSERT_EQ(first.height, 56);
    ASSERT_EQ(second.width, 512);
    ASSERT_EQ(second.height, 48);
    int wrong = 0;
    for (int y = 0; y < 56; ++y) {
        for (int x = 0; x < 104; ++x) {
            wrong += first.Dot(x, y) != test::SmallLogo().Holds(x, y);
        }
    }
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 512; ++x) {
            wrong += second.Dot(x, y) != test::WideLogo().Holds(x, y);
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(fs::exists(folder / "nv" / "003.png"));
    EXPECT_TRUE(fs::is_empty(folder / "paper"));
    EXPECT_EQ(ReadText(folder / "log.txt"),
              "000001 @0: ESC @: initialise\n"
              "000001 @2: FS q 2: define 2 images, 3808 of 262144 NV bytes\n"
              "000001 @5: FS q 2: image 1 104x56 dots, 728 bytes\n"
              "000001 @737: FS q 2: image 2 512x48 dots, 3072 bytes\n");
}

TEST_F(VirtualPrinter, NvMemorySurvivesBetweenJobsAndPrograms) {
    ASSERT_TRUE(store.Add("THERMAL #1", {}).Ok());
    ASSERT_TRUE(Spool(backend, "THERMAL #1", test::UploadStream({test::SmallLogo()})));
    VirtualPrinterBackend later(home.DataHome());
    ASSERT_TRUE(Spool(later, "THERMAL #1", test::PrintAllStream(0x33)));
    const fs::path folder = Folder("THERMAL #1");
    const MonoPicture paper = ReadPng(folder / "paper" / "000002-1.png");
    EXPECT_EQ(paper.width, 576);
    EXPECT_EQ(paper.height, 112 + 1);
    EXPECT_TRUE(paper.Dot(0, 0));
    EXPECT_TRUE(paper.Dot(1, 1));
    EXPECT_FALSE(paper.Dot(208, 0));
    EXPECT_EQ(VirtualPrinterFolder(folder).NewestPaperPictures(),
              std::vector<fs::path>{folder / "paper" / "000002-1.png"});

    // An erase leaves no NV picture behind, and no paper.
    ASSERT_TRUE(
        Spool(later, "THERMAL #1", {0x1C, 0x65, 0x1C, 0x70, 0xE8, 0x30, 0x1D, 0x56, 0x42, 0x01}));
    EXPECT_FALSE(fs::exists(folder / "nv" / "001.png"));
    EXPECT_TRUE(VirtualPrinterFolder(folder).LoadNvMemory().memory.images.empty());
    EXPECT_FALSE(fs::exists(folder / "paper" / "000003-1.png"));

    // NV graphics are pictured by key, a key of other bytes written %XX, and
    // a deleted key's picture goes.
    const auto storeGraphic = [](char k1, char k2) {
        return test::Concat({test::Hex("1D 28 4C 0C 00 30 43 30"),
                             Bytes{static_cast<uint8_t>(k1), static_cast<uint8_t>(k2)},
                             test::Hex("01 08 00 01 00 31 81")});
    };
    ASSERT_TRUE(
        Spool(later, "THERMAL #1", test::Concat({storeGraphic('A', '1'), storeGraphic('/', ' ')})));
    EXPECT_EQ(ReadPng(folder / "nv" / "graphics" / "A1.png").width, 8);
    EXPECT_TRUE(ReadPng(folder / "nv" / "graphics" / "%2F%20.png").Dot(7, 0));
    ASSERT_TRUE(Spool(later, "THERMAL #1", {0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x42, 'A', '1'}));
    EXPECT_FALSE(fs::exists(folder / "nv" / "graphics" / "A1.png"));
    EXPECT_TRUE(fs::exists(folder / "nv" / "graphics" / "%2F%20.png"));
    EXPECT_EQ(VirtualPrinterFolder(folder).LoadNvMemory().memory.graphics.size(), 1u);
}

// A damaged NV memory file is never replaced silently: a job that does not
// write the memory leaves it as it is, one that does keeps it aside first, and
// the count of today's NV writes never drops because of the damage.
TEST_F(VirtualPrinter, DamagedNvFileIsKeptAndItsWriteCountNeverDrops) {
    const struct {
        const char* name;
        std::function<void(const fs::path& state)> damage;
        const char* why;
        uint32_t writesToday; // as read from the damaged file
        bool uploadStores;
    } cases[] = {
        {"zero length",
         [](const fs::path& state) {
             EXPECT_TRUE(ReplaceFileAtomically(state, std::string_view()));
         },
         "not an NV memory file", kDefaultNvWritesPerDay, true},
        {"garbage",
         [](const fs::path& state) {
             EXPECT_TRUE(ReplaceFileAtomically(state, std::string_view("GIF89a junk")));
         },
         "not an NV memory file", kDefaultNvWritesPerDay, true},
        {"truncated",
         [](const fs::path& state) {
             Bytes bytes = ReadBytes(state);
             bytes.resize(bytes.size() - 1);
             EXPECT_TRUE(ReplaceFileAtomically(state, bytes));
         },
         "raster cut short", 1, true},
        {"a folder",
         [](const fs::path& state) {
             fs::remove(state);
             fs::create_directory(state);
         },
         "Is a directory", kDefaultNvWritesPerDay, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(store.Add(c.name, {}).Ok());
        ASSERT_TRUE(Spool(backend, c.name, test::UploadStream({test::SmallLogo()})));
        const VirtualPrinterFolder folder(Folder(c.name));
        const fs::path nv = folder.Path() / "nv";
        c.damage(nv / "state.bin");
        const Bytes damaged = ReadBytes(nv / "state.bin");
        const Bytes picture = ReadBytes(nv / "001.png");

        ASSERT_TRUE(Spool(backend, c.name, test::PrintAllStream(0x30)));
        EXPECT_EQ(ReadBytes(nv / "state.bin"), damaged);
        EXPECT_EQ(ReadBytes(nv / "001.png"), picture);
        const std::string log = ReadText(folder.Path() / "log.txt");
        EXPECT_NE(log.find("000002 @0: NV memory unreadable ("), std::string::npos) << log;
        EXPECT_NE(log.find("left as it is"), std::string::npos) << log;
        const NvMemoryRead before = folder.LoadNvMemory();
        EXPECT_EQ(before.memory.writesThatDay, c.writesToday);
        EXPECT_NE(before.damage.find(c.why), std::string::npos) << before.damage;

        EXPECT_EQ(Spool(backend, c.name, test::UploadStream({test::WideLogo()})), c.uploadStores);
        const auto kept = folder.DamagedNvFiles();
        if (!c.uploadStores) {
            EXPECT_TRUE(kept.empty());
            EXPECT_EQ(ReadBytes(nv / "001.png"), picture);
            continue;
        }
        ASSERT_EQ(kept, std::vector<std::string>{"state.bin.damaged-" + TodayLocal()});
        EXPECT_EQ(ReadBytes(nv / kept[0]), damaged);
        const NvMemoryRead after = folder.LoadNvMemory();
        EXPECT_EQ(after.damage, "");
        EXPECT_EQ(after.memory.images.size(), 1u);
        EXPECT_EQ(after.memory.writesThatDay, c.writesToday + 1);
    }
}

// Either every record of a job lands and it succeeds, or it fails with the
// reason and the NV memory is as it was, so nobody uploads again in vain.
TEST_F(VirtualPrinter, AFailedJobLeavesTheNvMemoryAsItWasAndSaysWhy) {
    const struct {
        const char* name;
        PrinterModel model;
        std::function<void(const fs::path& folder)> harm;
        const char* why;
        const char* logged; // nullptr: the log cannot be written
    } cases[] = {
        {"log is a folder",
         {},
         [](const fs::path& f) {
             fs::remove(f / "log.txt");
             fs::create_directory(f / "log.txt");
         },
         "log.txt: Is a directory; the NV memory is left as it was",
         nullptr},
        {"second picture is a folder",
         {},
         [](const fs::path& f) { fs::create_directory(f / "nv" / "002.png"); },
         "002.png",
         "000002 @3813: job failed: "},
        {"over the capacity", PrinterModel{{.paperWidth = 576, .nvCapacity = 1000}},
         [](const fs::path&) {},
         "job 000002: FS q 2: 3808 bytes exceed the NV capacity of 1000 bytes; refused, "
         "nothing stored",
         "refused, nothing stored"},
        {"numbers used up",
         {},
         [](const fs::path& f) {
             EXPECT_TRUE(ReplaceFileAtomically(f / "jobs" / "last", std::string_view("999999")));
         },
         "every job number up to 999999 is used",
         "------ @0: job refused: every job number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(store.Add(c.name, c.model).Ok());
        ASSERT_TRUE(Spool(backend, c.name, test::UploadStream({test::SmallLogo()})));
        const fs::path folder = Folder(c.name);
        const Bytes state = ReadBytes(folder / "nv" / "state.bin");
        const Bytes picture = ReadBytes(folder / "nv" / "001.png");
        c.harm(folder);

        auto queue = backend.OpenVirtualPrinter(c.name, QueueAccess::Plain).ValueOr(nullptr);
        ASSERT_TRUE(queue->StartRawJob("Logo", "RAW"));
        ASSERT_TRUE(queue->Write(test::UploadStream({test::WideLogo(), test::SmallLogo()})));
        const Result<void> ended = queue->EndJob();
        EXPECT_FALSE(ended);
        EXPECT_NE(ended.Reason().find(c.why), std::string::npos) << ended.Reason();
        EXPECT_EQ(ReadBytes(folder / "nv" / "state.bin"), state);
        EXPECT_EQ(ReadBytes(folder / "nv" / "001.png"), picture);
        EXPECT_FALSE(fs::is_regular_file(folder / "nv" / "002.png"));
        if (c.logged != nullptr) {
            EXPECT_NE(ReadText(folder / "log.txt").find(c.logged), std::string::npos);
        }
    }
}

TEST_F(VirtualPrinter, JobNumbersAreNeverReused) {
    ASSERT_TRUE(store.Add("p", {}).Ok());
    ASSERT_TRUE(Spool(backend, "p", {0x1B, 0x40}));
    ASSERT_TRUE(Spool(backend, "p", {0x1B, 0x40}));
    fs::remove(Folder("p") / "jobs" / "000002.bin");
    fs::remove(Folder("p") / "jobs" / "000002.txt");
    auto queue = backend.OpenVirtualPrinter("p", QueueAccess::Plain).ValueOr(nullptr);
    ASSERT_TRUE(queue->StartRawJob("doc\nname", "RAW"));
    ASSERT_TRUE(queue->EndJob());
    EXPECT_EQ(queue->LastJob().number, 3u);
    EXPECT_EQ(ReadText(Folder("p") / "jobs" / "000003.txt"),
              "document=doc\\x0Aname\ndatatype=RAW\n");
    EXPECT_EQ(ReadBytes(Folder("p") / "jobs" / "000003.bin"), Bytes{});
}

TEST_F(VirtualPrinter, AbandonedJobLeavesNothing) {
    ASSERT_TRUE(store.Add("p", {}).Ok());
    {
        auto queue = backend.Open("p", QueueAccess::Plain).ValueOr(nullptr);
        ASSERT_TRUE(queue->StartRawJob("Logo", "RAW"));
        const Bytes bytes = test::UploadStream({test::SmallLogo()});
        ASSERT_TRUE(queue->Write(bytes));
        queue->CancelJob();
        EXPECT_FALSE(queue->EndJob());
        ASSERT_TRUE(queue->StartRawJob("Logo", "RAW"));
        ASSERT_TRUE(queue->Write(bytes));
        // Closed with the job still running: cancelled too.
    }
    EXPECT_TRUE(fs::is_empty(Folder("p") / "jobs"));
    EXPECT_TRUE(fs::is_empty(Folder("p") / "nv"));
    EXPECT_FALSE(fs::exists(Folder("p") / "log.txt") && !ReadText(Folder("p") / "log.txt").empty());
}

TEST_F(VirtualPrinter, QueueRefusesWritesOutsideAJob) {
    ASSERT_TRUE(store.Add("p", {}).Ok());
    auto queue = backend.Open("p", QueueAccess::Plain).ValueOr(nullptr);
    const uint8_t byte = 0x1B;
    EXPECT_FALSE(queue->Write(std::span(&byte, 1)));
    EXPECT_FALSE(queue->EndJob());
    ASSERT_TRUE(queue->StartRawJob("Logo", "RAW"));
    EXPECT_FALSE(queue->StartRawJob("Logo", "RAW"));
}

TEST_F(VirtualPrinter, JobToARemovedPrinterFails) {
    ASSERT_TRUE(store.Add("p", {}).Ok());
    auto queue = backend.OpenVirtualPrinter("p", QueueAccess::Plain).ValueOr(nullptr);
    ASSERT_TRUE(queue->StartRawJob("Logo", "RAW"));
    ASSERT_TRUE(store.Remove("p").Ok());
    EXPECT_FALSE(queue->EndJob());
    EXPECT_FALSE(queue->LastJob().status.Ok());
    EXPECT_FALSE(fs::exists(Folder("p")));
}

TEST_F(VirtualPrinter, DriverDataLandsInItsFolder) {
    ASSERT_TRUE(store.Add("p", {}).Ok());
    const Bytes record(1480, 0x5A);
    {
        auto plain = backend.Open("p", QueueAccess::Plain).ValueOr(nullptr);
        EXPECT_FALSE(plain->SetDriverData("TTY DeviceConfig", kRegBinary, record));
        EXPECT_FALSE(plain->GetDriverData("TTY DeviceConfig").has_value());
    }
    auto full = backend.Open("p", QueueAccess::Full).ValueOr(nullptr);
    ASSERT_NE(full, nullptr);
    ASSERT_TRUE(full->SetDriverData("TTY DeviceConfig", kRegBinary, record));
    EXPECT_EQ(ReadBytes(Folder("p") / "driver-data" / "TTY DeviceConfig"), record);
    EXPECT_EQ(ReadText(Folder("p") / "driver-data" / "TTY DeviceConfig.type"), "3\n");
    const auto back =
        backend.Open("p", QueueAccess::Plain).Value()->GetDriverData("TTY DeviceConfig");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->type, kRegBinary);
    EXPECT_EQ(back->bytes, record);
}

TEST_F(VirtualPrinter, FullAccessFailsWhenDriverDataCannotBeWritten) {
    ASSERT_TRUE(store.Add("p", {}).Ok());
    const fs::path driverData = Folder("p") / "driver-data";
    fs::remove_all(driverData);
    std::ofstream(driverData) << "in the way";
    EXPECT_FALSE(backend.Open("p", QueueAccess::Full));
    EXPECT_TRUE(backend.Open("p", QueueAccess::Plain));
}

TEST_F(VirtualPrinter, SpoolerListsAndOpensVirtualPrinters) {
    ASSERT_TRUE(store.Add("THERMAL #1", {}).Ok());
    Spooler spooler;
    spooler.Install(std::make_shared<VirtualPrinterBackend>(home.DataHome()));
    EXPECT_EQ(spooler.ListQueues().names, std::vector<std::string>{"THERMAL #1"});
    EXPECT_TRUE(spooler.Open("THERMAL #1", QueueAccess::Full));
    EXPECT_FALSE(spooler.Open("THERMAL #2", QueueAccess::Full));
}

// Two processes add printers at once: each gets a place of its own in the order.
TEST_F(VirtualPrinter, ConcurrentAddsKeepADistinctOrder) {
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            VirtualPrinterStore own(home.DataHome());
            bool ok = true;
            for (int i = 0; i < 10; ++i) {
                const std::string name =
                    std::string(1, static_cast<char>('a' + c)) + std::to_string(i);
                ok = own.Add(name, {}).Ok() && ok;
                static_cast<void>(own.Add("same", {})); // only one of the two may have it
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto printers = store.List();
    ASSERT_EQ(printers.size(), 21u);
    std::set<uint64_t> places;
    for (const auto& info : printers) {
        places.insert(info.added);
    }
    EXPECT_EQ(places.size(), 21u);
    EXPECT_TRUE(fs::is_empty(home.DataHome() / ".staging"));
}

// Two processes spool jobs to one printer at the same moment; every job
// arrives whole under a number of its own.
TEST_F(VirtualPrinter, JobsFromTwoProcessesNeverMix) {
    ASSERT_TRUE(store.Add("p", {}).Ok());
    constexpr int kJobsEach = 8;
    const Bytes jobA = test::UploadStream({test::SmallLogo(), test::WideLogo()});
    Bytes jobB = test::PrintAllStream(0x30);
    jobB.insert(jobB.end(), 20000, 0x41);
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            VirtualPrinterBackend own(home.DataHome());
            bool ok = true;
            for (int i = 0; i < kJobsEach; ++i) {
                auto queue = own.Open("p", QueueAccess::Plain).ValueOr(nullptr);
                ok = ok && queue && queue->StartRawJob(c == 0 ? "A" : "B", "RAW");
                const Bytes& bytes = c == 0 ? jobA : jobB;
                ok = ok && queue->Write(bytes) && queue->EndJob();
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const VirtualPrinterFolder folder(Folder("p"));
    const auto numbers = folder.JobNumbers();
    ASSERT_EQ(numbers.size(), 2u * kJobsEach);
    int a = 0;
    int b = 0;
    for (uint32_t n = 1; n <= 2 * kJobsEach; ++n) {
        EXPECT_EQ(numbers[n - 1], n);
        const std::string name = VirtualPrinterFolder::JobName(n);
        const Bytes bytes = ReadBytes(folder.Path() / "jobs" / (name + ".bin"));
        const std::string meta = ReadText(folder.Path() / "jobs" / (name + ".txt"));
        if (meta == "document=A\ndatatype=RAW\n") {
            EXPECT_EQ(bytes, jobA);
            ++a;
        } else {
            EXPECT_EQ(meta, "document=B\ndatatype=RAW\n");
            EXPECT_EQ(bytes, jobB);
            ++b;
        }
    }
    EXPECT_EQ(a, kJobsEach);
    EXPECT_EQ(b, kJobsEach);
    // Each job's log lines stay together, in offset order.
    std::istringstream log(ReadText(folder.Path() / "log.txt"));
    std::string line;
    std::string last;
    int switches = 0;
    while (std::getline(log, line)) {
        if (line.substr(0, 6) != last) {
            ++switches;
            last = line.substr(0, 6);
        }
    }
    EXPECT_EQ(switches, 2 * kJobsEach);
}

} // namespace
} // namespace tessaline
