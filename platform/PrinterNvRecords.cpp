// SPDX-License-Identifier: MIT
#include "platform/PrinterNvRecords.h"

#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "platform/UserFolders.h"

#include <charconv>
#include <ctime>

namespace tessaline {

namespace {

// A record is a few short lines; anything larger is not one.
constexpr size_t kMaxRecordBytes = 64 * 1024;

// A value is one line: line breaks in it would end the field early.
std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return line;
}

template <typename Number> bool ReadNumber(std::string_view text, Number& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && number >= 0;
}

} // namespace

std::string LocalTimeText(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[64];
    return std::strftime(text, sizeof text, format, &local) > 0 ? text : "";
}

std::string LocalDay() {
    return LocalTimeText("%Y-%m-%d");
}

std::string PrinterNvRecordText(const PrinterNvRecord& record) {
    std::string text(kPrinterNvRecordHeader);
    text.append("\nprinter=").append(OneLine(record.printer));
    text.append("\nserial=").append(OneLine(record.serial));
    text.append("\nday=").append(OneLine(record.day));
    text.append("\nwrites=").append(std::to_string(record.writes));
    text.append("\nchanges=").append(std::to_string(record.changes));
    text.append("\nlast=").append(OneLine(record.last));
    if (!record.holds.empty()) {
        text.append("\nholds=").append(OneLine(record.holds));
    }
    if (!record.model.empty()) {
        text.append("\nmodel=").append(OneLine(record.model));
    }
    text.append("\n");
    return text;
}

Result<PrinterNvRecord> ParsePrinterNvRecord(std::string_view text) {
    using R = Result<PrinterNvRecord>;
    PrinterNvRecord record;
    int line = 0;
    bool counted = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!row.empty() && row.back() == '\r') {
            row.remove_suffix(1);
        }
        ++line;
        const std::string at = "line " + std::to_string(line) + ": ";
        if (line == 1) {
            if (row.rfind("tessaline-printer-record ", 0) != 0) {
                return R::Fail(at + "not a printer record");
            }
            if (row != kPrinterNvRecordHeader) {
                return R::Fail(at + "a record of format " + std::string(row.substr(25)) +
                               ", which this version does not read");
            }
            continue;
        }
        if (row.empty()) {
            continue;
        }
        const size_t equals = row.find('=');
        if (equals == std::string_view::npos) {
            return R::Fail(at + "expected NAME=VALUE");
        }
        const std::string_view name = row.substr(0, equals);
        const std::string_view value = row.substr(equals + 1);
        if (name == "printer") {
            record.printer = value;
        } else if (name == "serial") {
            record.serial = value;
        } else if (name == "day") {
            record.day = value;
        } else if (name == "last") {
            record.last = value;
        } else if (name == "holds") {
            record.holds = value;
        } else if (name == "model") {
            record.model = value;
        } else if (name == "writes") {
            if (!ReadNumber(value, record.writes)) {
                return R::Fail(at + "writes is a whole number");
            }
            counted = true;
        } else if (name == "changes") {
            if (!ReadNumber(value, record.changes)) {
                return R::Fail(at + "changes is a whole number");
            }
        }
    }
    if (line == 0) {
        return R::Fail("line 1: not a printer record (the file is empty)");
    }
    if (!counted) {
        return R::Fail("no writes= line");
    }
    return record;
}

std::string PrinterRecordKey(std::string_view printer) {
    // Only an address has a query; a queue's name is taken whole.
    if (printer.find("://") != std::string_view::npos) {
        printer = printer.substr(0, printer.find('?'));
    }
    return std::string(printer);
}

PrinterNvRecords::PrinterNvRecords()
    : PrinterNvRecords(TessalineDataHome() / kPrinterRecordsFolder) {}

PrinterNvRecords::PrinterNvRecords(std::filesystem::path folder) : m_folder(std::move(folder)) {}

std::filesystem::path PrinterNvRecords::FileOf(std::string_view printer) const {
    return m_folder / (PlainFileName(PrinterRecordKey(printer)) + ".record");
}

Result<std::optional<PrinterNvRecord>> PrinterNvRecords::Read(std::string_view printer) const {
    using R = Result<std::optional<PrinterNvRecord>>;
    const std::filesystem::path file = FileOf(printer);
    const auto text = ReadFileIfPresent(file, kMaxRecordBytes);
    if (!text) {
        return R::Fail(text.Reason());
    }
    if (!text.Value()) {
        return std::optional<PrinterNvRecord>();
    }
    auto record = ParsePrinterNvRecord(*text.Value());
    if (!record) {
        return R::Fail(file.string() + ": " + record.Reason());
    }
    return std::optional<PrinterNvRecord>(std::move(record.Value()));
}

namespace {

// Holds the lock of the record `file` in `folder`, made if need be, so that
// no other tool's read, count and replace comes between this one's.
Result<FileLock> LockRecordFile(const std::filesystem::path& folder,
                                const std::filesystem::path& file) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::filesystem::path lockFile = file;
    lockFile += ".lock";
    return FileLock::Acquire(lockFile);
}

} // namespace

Result<void> PrinterNvRecords::Remember(std::string_view printer, const std::string& model,
                                        const std::string& serial) {
    const std::filesystem::path file = FileOf(printer);
    auto lock = LockRecordFile(m_folder, file);
    if (!lock) {
        return Result<void>::Fail(lock.Reason());
    }
    const auto read = Read(printer);
    PrinterNvRecord record;
    if (read && read.Value()) {
        record = *read.Value();
    }
    if (read && read.Value() && record.model == model &&
        (serial.empty() || record.serial == serial)) {
        return {}; // nothing new: the file is left as it is
    }
    record.printer = PrinterRecordKey(printer);
    record.model = model;
    if (!serial.empty()) {
        record.serial = serial;
    }
    return ReplaceFileAtomically(file, PrinterNvRecordText(record));
}

Result<PrinterNvRecord> PrinterNvRecords::Count(std::string_view printer, int64_t writes,
                                                const std::string& what, const std::string& today,
                                                const std::string& serial,
                                                const std::string& holds) {
    using R = Result<PrinterNvRecord>;
    const std::filesystem::path file = FileOf(printer);
    auto lock = LockRecordFile(m_folder, file);
    if (!lock) {
        return R::Fail(lock.Reason());
    }
    PrinterNvRecord record;
    if (const auto read = Read(printer); read && read.Value()) {
        record = *read.Value();
    }
    record.printer = PrinterRecordKey(printer);
    if (!serial.empty()) {
        record.serial = serial;
    }
    if (record.day != today) {
        record.day = today;
        record.writes = 0;
    }
    record.writes += writes;
    ++record.changes;
    record.last = what;
    if (!holds.empty()) {
        record.holds = holds;
    }
    if (Result<void> written = ReplaceFileAtomically(file, PrinterNvRecordText(record)); !written) {
        return R::Fail(written.Reason());
    }
    return record;
}

} // namespace tessaline
