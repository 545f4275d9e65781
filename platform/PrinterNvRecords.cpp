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
// FS q carries the image count in one byte.
constexpr size_t kMaxRecordedImages = 255;

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
    if (record.paperMillimetres) {
        text.append("\npaper-mm=").append(std::to_string(*record.paperMillimetres));
    }
    if (!record.imageWidths.empty()) {
        text.append("\nimage-widths=");
        for (size_t i = 0; i < record.imageWidths.size(); ++i) {
            text.append(i == 0 ? "" : " ").append(std::to_string(record.imageWidths[i]));
        }
    }
    // A key is two characters, either of which may be a blank.
    for (const auto& [key, width] : record.graphicWidths) {
        text.append("\ngraphic-width=").append(OneLine(key)).append(" ");
        text.append(std::to_string(width));
    }
    if (!record.keptBySerial.empty()) {
        text.append("\nkept-by-serial=").append(OneLine(record.keptBySerial));
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
        } else if (name == "paper-mm") {
            int64_t mm = 0;
            if (!ReadNumber(value, mm) || mm < 1 || mm > 1000) {
                return R::Fail(at + "paper-mm is the roll's width in millimetres, 1 to 1000");
            }
            record.paperMillimetres = static_cast<int32_t>(mm);
        } else if (name == "kept-by-serial") {
            record.keptBySerial = value;
        } else if (name == "writes") {
            if (!ReadNumber(value, record.writes)) {
                return R::Fail(at + "writes is a whole number");
            }
            counted = true;
        } else if (name == "changes") {
            if (!ReadNumber(value, record.changes)) {
                return R::Fail(at + "changes is a whole number");
            }
        } else if (name == "image-widths") {
            record.imageWidths.clear();
            for (std::string_view rest = value; !rest.empty();) {
                const size_t blank = rest.find(' ');
                int32_t width = 0;
                if (record.imageWidths.size() == kMaxRecordedImages ||
                    !ReadNumber(rest.substr(0, blank), width) || width == 0) {
                    return R::Fail(at + "image-widths is up to 255 widths in dots");
                }
                record.imageWidths.push_back(width);
                rest =
                    blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
            }
        } else if (name == "graphic-width") {
            int32_t width = 0;
            // A key's characters run from 32 to 126, as every key a printer takes.
            const auto keyCharacter = [](char c) { return c >= ' ' && c <= '~'; };
            if (value.size() < 4 || !keyCharacter(value[0]) || !keyCharacter(value[1]) ||
                value[2] != ' ' || !ReadNumber(value.substr(3), width) || width == 0) {
                return R::Fail(at + "graphic-width is a key of two characters and a width in dots");
            }
            record.graphicWidths[std::string(value.substr(0, 2))] = width;
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

void NvWidthChange::ApplyTo(PrinterNvRecord& record) const {
    if (record.holds != kHoldsBitImages) {
        record.imageWidths.clear();
    } else if (images) {
        record.imageWidths = *images;
    }
    if (record.holds != kHoldsGraphics) {
        record.graphicWidths.clear();
        return;
    }
    for (const std::string& key : deleted) {
        record.graphicWidths.erase(key);
    }
    for (const auto& [key, width] : stored) {
        record.graphicWidths[key] = width;
    }
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

std::filesystem::path PrinterNvRecords::SerialFileOf(std::string_view serial) const {
    std::string name = "serial ";
    name += serial;
    return m_folder / (PlainFileName(name) + ".record");
}

namespace {

// The record in `file`; nothing when there is none. Fails, naming the file,
// for one that cannot be read or is damaged.
Result<std::optional<PrinterNvRecord>> ReadRecordFile(const std::filesystem::path& file) {
    using R = Result<std::optional<PrinterNvRecord>>;
    const auto text = ReadFileIfPresent(file, kMaxRecordBytes);
    if (!text) {
        return R::FailAs(text);
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

} // namespace

Result<std::optional<PrinterNvRecord>> PrinterNvRecords::Read(std::string_view printer) const {
    auto own = ReadRecordFile(FileOf(printer));
    if (!own || !own.Value() || own.Value()->keptBySerial.empty()) {
        return own;
    }
    // The serial's record is the printer's; the copy stands in where it is
    // missing or damaged.
    auto shared = ReadRecordFile(SerialFileOf(own.Value()->keptBySerial));
    if (shared && shared.Value()) {
        return shared;
    }
    own.Value()->keptBySerial.clear();
    return own;
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

Result<PrinterNvRecord>
PrinterNvRecords::Update(std::string_view printer, const std::string& serial,
                         const std::function<bool(PrinterNvRecord&)>& change) {
    using R = Result<PrinterNvRecord>;
    // Always the address's lock first, then the serial's: every tool takes
    // them in that order.
    const std::filesystem::path file = FileOf(printer);
    auto lock = LockRecordFile(m_folder, file);
    if (!lock) {
        return R::FailAs(lock);
    }
    // A damaged record is started afresh.
    std::optional<PrinterNvRecord> own;
    if (auto read = ReadRecordFile(file); read && read.Value()) {
        own = std::move(*read.Value());
    }
    const std::string bySerial = !serial.empty() ? serial : own ? own->keptBySerial : "";
    if (bySerial.empty()) {
        PrinterNvRecord record = own.value_or(PrinterNvRecord{});
        const bool fresh = !own;
        record.printer = PrinterRecordKey(printer);
        if (!change(record) && !fresh) {
            return record; // nothing new: the file is left as it is
        }
        if (Result<void> written = ReplaceFileAtomically(file, PrinterNvRecordText(record));
            !written) {
            return R::FailAs(written);
        }
        return record;
    }
    const std::filesystem::path serialFile = SerialFileOf(bySerial);
    auto serialLock = LockRecordFile(m_folder, serialFile);
    if (!serialLock) {
        return R::FailAs(serialLock);
    }
    std::optional<PrinterNvRecord> shared;
    if (auto read = ReadRecordFile(serialFile); read && read.Value()) {
        shared = std::move(*read.Value());
    }
    // What the address recorded before its printer told its serial is that
    // printer's; a record of another serial is another printer's.
    const bool ownIsThis =
        own && own->keptBySerial != bySerial &&
        (own->keptBySerial.empty() && (own->serial.empty() || own->serial == bySerial));
    PrinterNvRecord record;
    if (shared) {
        record = *shared;
        if (ownIsThis && own->day == record.day) {
            record.writes += own->writes;
        }
    } else if (ownIsThis || (own && own->keptBySerial == bySerial)) {
        record = *own;
    }
    record.keptBySerial.clear();
    record.serial = bySerial;
    record.printer = PrinterRecordKey(printer);
    const bool linked = shared && own && own->keptBySerial == bySerial;
    if (!change(record) && linked && shared->printer == record.printer) {
        return record;
    }
    if (Result<void> written = ReplaceFileAtomically(serialFile, PrinterNvRecordText(record));
        !written) {
        return R::FailAs(written);
    }
    PrinterNvRecord copy = record;
    copy.keptBySerial = bySerial;
    if (Result<void> written = ReplaceFileAtomically(file, PrinterNvRecordText(copy)); !written) {
        return R::FailAs(written);
    }
    return record;
}

Result<void> PrinterNvRecords::Remember(std::string_view printer, const std::string& model,
                                        const std::string& serial,
                                        std::optional<int32_t> paperMillimetres) {
    auto updated = Update(printer, serial, [&](PrinterNvRecord& record) {
        // A printer that named no model this time keeps the one it named before.
        const std::string& kept = model.empty() ? record.model : model;
        if (record.model == kept && record.paperMillimetres == paperMillimetres) {
            return false;
        }
        record.model = kept;
        record.paperMillimetres = paperMillimetres;
        return true;
    });
    if (!updated) {
        return Result<void>::FailAs(updated);
    }
    return {};
}

Result<PrinterNvRecord> PrinterNvRecords::Count(std::string_view printer, int64_t writes,
                                                const std::string& what, const std::string& today,
                                                const std::string& serial, const std::string& holds,
                                                const NvWidthChange& widths, bool changesLogos) {
    return Update(printer, serial, [&](PrinterNvRecord& record) {
        if (record.day != today) {
            record.day = today;
            record.writes = 0;
        }
        record.writes += writes;
        if (changesLogos) {
            ++record.changes;
        }
        record.last = what;
        if (!holds.empty()) {
            record.holds = holds;
        }
        widths.ApplyTo(record);
        return true;
    });
}

} // namespace tessaline
