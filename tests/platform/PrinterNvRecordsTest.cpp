// SPDX-License-Identifier: MIT
#include "platform/PrinterNvRecords.h"

#include "tests/support/Files.h"
#include "tests/support/TempFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace tessaline {
namespace {

TEST(PrinterNvRecord, ReadsWhatItWritesAndNamesTheLineAtFault) {
    const struct {
        const char* what;
        std::string text;
        std::string fault; // empty: read
    } cases[] = {
        {"whole", "tessaline-printer-record 1\nprinter=P\nday=2026-12-09\nwrites=3\nchanges=9\n",
         ""},
        {"a later field passed over", "tessaline-printer-record 1\nwrites=1\ncolour=red\n", ""},
        {"line ends of Windows", "tessaline-printer-record 1\r\nwrites=1\r\n", ""},
        {"empty", "", "line 1: not a printer record (the file is empty)"},
        {"another file", "[LOGO]\nwrites=1\n", "line 1: not a printer record"},
        {"a later format", "tessaline-printer-record 2\nwrites=1\n",
         "line 1: a record of format 2, which this version does not read"},
        {"a count that is no number", "tessaline-printer-record 1\nwrites=many\n",
         "line 2: writes is a whole number"},
        {"a negative count", "tessaline-printer-record 1\nwrites=-4\n",
         "line 2: writes is a whole number"},
        {"no count", "tessaline-printer-record 1\nprinter=P\n", "no writes= line"},
        {"a line without a value", "tessaline-printer-record 1\nwrites=1\nserial\n",
         "line 3: expected NAME=VALUE"},
        {"widths, keys with blanks",
         "tessaline-printer-record 1\nwrites=1\nimage-widths=576 8\ngraphic-width=A1 "
         "1200\ngraphic-width=   8\n",
         ""},
        {"an image of no width", "tessaline-printer-record 1\nwrites=1\nimage-widths=576 0\n",
         "line 3: image-widths is up to 255 widths in dots"},
        {"two blanks between widths", "tessaline-printer-record 1\nwrites=1\nimage-widths=8  8\n",
         "line 3: image-widths is up to 255 widths in dots"},
        {"a key of one character", "tessaline-printer-record 1\nwrites=1\ngraphic-width=A 12\n",
         "line 3: graphic-width is a key of two characters and a width in dots"},
        // A carriage return would come back as a blank, another key.
        {"a key with a control character",
         "tessaline-printer-record 1\nwrites=1\ngraphic-width=\r| 2\n",
         "line 3: graphic-width is a key of two characters and a width in dots"},
        {"the roll it answered",
         "tessaline-printer-record 1\nwrites=0\nmodel=EPSON TM-T88V\n"
         "paper-mm=58\n",
         ""},
        {"a roll of no width", "tessaline-printer-record 1\nwrites=0\npaper-mm=0\n",
         "line 3: paper-mm is the roll's width in millimetres, 1 to 1000"},
        {"a roll in inches", "tessaline-printer-record 1\nwrites=0\npaper-mm=3in\n",
         "line 3: paper-mm is the roll's width in millimetres, 1 to 1000"},
    };
    for (const auto& c : cases) {
        const auto record = ParsePrinterNvRecord(c.text);
        EXPECT_EQ(record ? std::string() : record.Reason(), c.fault) << c.what;
        if (record) {
            const std::string text = PrinterNvRecordText(record.Value());
            EXPECT_EQ(PrinterNvRecordText(ParsePrinterNvRecord(text).Value()), text) << c.what;
        }
    }
}

// Every tool counts into the one record of a printer, however it names it.
TEST(PrinterNvRecords, CountsEveryWriterAndStartsEachDayAfresh) {
    test::TempFolder folder;
    PrinterNvRecords records(folder.Path() / "records");
    const std::string address = "socket://127.0.0.1:9100";
    EXPECT_FALSE(records.Read(address).Value());
    ASSERT_TRUE(records.Count(address, 2, "apply of P1", "2026-12-09", "T88-1"));
    // The same printer with timeouts in its address: the same record.
    ASSERT_TRUE(records.Count(address + "?read-timeout=200", 1, "upload", "2026-12-09"));
    auto read = records.Read(address).Value();
    ASSERT_TRUE(read);
    EXPECT_EQ(read->WritesOn("2026-12-09"), 3);
    EXPECT_EQ(read->changes, 2u);
    EXPECT_EQ(read->serial, "T88-1");
    EXPECT_EQ(read->last, "upload");
    // A name that could leave the folder stays in it.
    ASSERT_TRUE(records.Count("../THERMAL #1", 1, "erase", "2026-12-09"));
    EXPECT_EQ(records.FileOf("../THERMAL #1").parent_path(), folder.Path() / "records");
    // Tomorrow counts from nothing; the changes go on.
    read = records.Count(address, 1, "nv store", "2026-12-10").Value();
    EXPECT_EQ(read->WritesOn("2026-12-10"), 1);
    EXPECT_EQ(read->changes, 3u);

    // Writers at once lose no count.
    std::vector<std::thread> writers;
    for (int i = 0; i < 4; ++i) {
        writers.emplace_back([&] {
            for (int k = 0; k < 5; ++k) {
                static_cast<void>(records.Count(address, 1, "store", "2026-12-10"));
            }
        });
    }
    for (std::thread& w : writers) {
        w.join();
    }
    EXPECT_EQ(records.Read(address).Value()->WritesOn("2026-12-10"), 21);

    // A damaged record is named when read, and counted afresh.
    std::ofstream(records.FileOf(address)) << "garbage";
    const auto damaged = records.Read(address);
    ASSERT_FALSE(damaged);
    EXPECT_EQ(damaged.Reason(),
              records.FileOf(address).string() + ": line 1: not a printer record");
    EXPECT_EQ(records.Count(address, 1, "store", "2026-12-10").Value().writes, 1);
}

// The widths kept of what a printer holds follow every change, and storing
// one kind of logo forgets the other kind's, which it erases.
TEST(PrinterNvRecords, KeepTheWidthsOfWhatThePrinterHolds) {
    test::TempFolder folder;
    PrinterNvRecords records(folder.Path() / "records");
    const std::string p = "socket://127.0.0.1:9100";
    const auto images = [](std::vector<int32_t> w) {
        NvWidthChange c;
        c.images = std::move(w);
        return c;
    };
    const auto graphics = [](std::vector<std::pair<std::string, int32_t>> stored,
                             std::vector<std::string> deleted) {
        NvWidthChange c;
        c.stored = std::move(stored);
        c.deleted = std::move(deleted);
        return c;
    };
    const struct {
        const char* what;
        std::string holds;
        NvWidthChange change;
        std::vector<int32_t> images;
        std::map<std::string, int32_t> graphics;
    } steps[] = {
        {"an upload", kHoldsBitImages, images({576, 304}), {576, 304}, {}},
        {"a print: nothing changes", "", {}, {576, 304}, {}},
        {"graphics erase the images",
         kHoldsGraphics,
         graphics({{"A1", 1200}}, {}),
         {},
         {{"A1", 1200}}},
        {"another key", kHoldsGraphics, graphics({{"A ", 8}}, {}), {}, {{"A ", 8}, {"A1", 1200}}},
        {"one deleted", "", graphics({}, {"A1"}), {}, {{"A ", 8}}},
        {"replaced", kHoldsGraphics, graphics({{"A ", 16}}, {}), {}, {{"A ", 16}}},
        {"images erase the graphics", kHoldsBitImages, images({8}), {8}, {}},
        {"an erase", kHoldsNone, images({}), {}, {}},
    };
    for (const auto& s : steps) {
        ASSERT_TRUE(records.Count(p, 1, s.what, "2026-12-10", {}, s.holds, s.change)) << s.what;
        const auto read = records.Read(p).Value();
        ASSERT_TRUE(read) << s.what;
        EXPECT_EQ(read->imageWidths, s.images) << s.what;
        EXPECT_EQ(read->graphicWidths, s.graphics) << s.what;
    }
}

// A printer that answered its serial number has one record by whichever
// address it is reached; another printer at its old address has its own.
TEST(PrinterNvRecords, APrinterThatAnsweredItsSerialHasOneRecordAtEveryAddress) {
    test::TempFolder folder;
    PrinterNvRecords records(folder.Path() / "records");
    const std::string a = "socket://127.0.0.1:9100", b = "socket://127.0.0.2:9100";
    const std::string day = "2026-12-10";
    const struct {
        const char* what;
        std::string printer;
        std::string serial; // what the tool was told, if it asked
        int64_t atA, atB;   // the day's writes read by each address afterwards
    } steps[] = {
        {"before anyone asked", a, "", 1, 0},
        {"asked: the writes before go with it", a, "T88-1", 2, 0},
        {"not asked: the address knows", a, "", 3, 0},
        {"moved to another address", b, "T88-1", 4, 4},
        {"counted through the new one", b, "", 5, 5},
        {"another printer at the old address", a, "T88-2", 1, 5},
        {"which the old address now means", a, "", 2, 5},
    };
    for (const auto& s : steps) {
        ASSERT_TRUE(records.Count(s.printer, 1, s.what, day, s.serial)) << s.what;
        const auto atA = records.Read(a).Value();
        const auto atB = records.Read(b).Value();
        EXPECT_EQ(atA ? atA->WritesOn(day) : 0, s.atA) << s.what;
        EXPECT_EQ(atB ? atB->WritesOn(day) : 0, s.atB) << s.what;
    }
    // The address's own file is a whole record still, for a tool that reads it alone.
    const auto copy = ParsePrinterNvRecord(test::ReadText(records.FileOf(b)));
    ASSERT_TRUE(copy) << copy.Reason();
    EXPECT_EQ(copy.Value().writes, 5);
    EXPECT_EQ(copy.Value().keptBySerial, "T88-1");
    // Its model, once told, is the serial's.
    ASSERT_TRUE(records.Remember(b, "EPSON TM-T88V"));
    EXPECT_EQ(records.Read(b).Value()->model, "EPSON TM-T88V");
    ASSERT_TRUE(records.Remember(a, "EPSON TM-T20", "T88-1"));
    EXPECT_EQ(records.Read(b).Value()->model, "EPSON TM-T20");
    // The roll it said, without a model this time: the model kept stays.
    ASSERT_TRUE(records.Remember(a, "", "T88-1", 58));
    EXPECT_EQ(records.Read(b).Value()->model, "EPSON TM-T20");
    EXPECT_EQ(records.Read(b).Value()->paperMillimetres, 58);
    // A printer that no longer says its roll is not taken to be on the old one.
    ASSERT_TRUE(records.Remember(a, "EPSON TM-T20", "T88-1"));
    EXPECT_FALSE(records.Read(b).Value()->paperMillimetres);
}

} // namespace
} // namespace tessaline
