// SPDX-License-Identifier: MIT
#include "platform/PrinterNvRecords.h"

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

} // namespace
} // namespace tessaline
