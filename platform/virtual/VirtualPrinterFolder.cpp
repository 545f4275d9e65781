// SPDX-License-Identifier: MIT
#include "platform/virtual/VirtualPrinterFolder.h"

#include "NvMemoryFolder.h"
#include "SystemError.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "platform/virtual/Png.h"
#include "platform/virtual/VirtualPrinterStore.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <optional>
#include <system_error>

namespace tessaline {

namespace fs = std::filesystem;

namespace {

constexpr const char* kLastJobName = "last";

// Digits only, exactly `width` of them (any width when 0).
std::optional<uint32_t> ParseDigits(std::string_view text, size_t width) {
    if (text.empty() || (width != 0 && text.size() != width) || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    uint32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// "NNNNNN" of a name "NNNNNN<suffix>"; nothing for any other name.
std::optional<uint32_t> JobOfName(std::string_view name, std::string_view suffix) {
    if (name.size() <= suffix.size() || !name.ends_with(suffix)) {
        return std::nullopt;
    }
    return ParseDigits(name.substr(0, name.size() - suffix.size()), 6);
}

// Keeps the .txt record one field a line whatever the names hold.
std::string EscapeField(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\') {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

VirtualPrinterFolder::VirtualPrinterFolder(fs::path folder) : m_folder(std::move(folder)) {}

std::string VirtualPrinterFolder::JobName(uint32_t number) {
    char name[16];
    std::snprintf(name, sizeof name, "%06u", number);
    return name;
}

std::string VirtualPrinterFolder::NvPictureName(size_t image) {
    return tessaline::NvPictureName(image);
}

std::vector<uint32_t> VirtualPrinterFolder::JobNumbers() const {
    std::vector<uint32_t> numbers;
    std::error_code ec;
    for (fs::directory_iterator it(m_folder / "jobs", ec), end; !ec && it != end;
         it.increment(ec)) {
        if (auto n = JobOfName(it->path().filename().string(), ".bin")) {
            numbers.push_back(*n);
        }
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

NvMemory VirtualPrinterFolder::LoadNvMemory(std::string* why) const {
    NvMemoryRead read = NvMemoryFolder(m_folder / "nv").Load(TodayLocal());
    if (why != nullptr) {
        *why = read.damage;
    }
    return std::move(read.memory);
}

std::vector<std::string> VirtualPrinterFolder::DamagedNvFiles() const {
    return NvMemoryFolder(m_folder / "nv").KeptAside();
}

uint32_t VirtualPrinterFolder::LastJobNumber() const {
    // Numbers are never given out twice: the last one is kept even when the
    // user clears jobs/ out.
    uint32_t last = 0;
    if (Result<std::string> kept = ReadWholeFile(m_folder / "jobs" / kLastJobName)) {
        std::string text = std::move(kept).Value();
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
            text.pop_back();
        }
        last = ParseDigits(text, 0).value_or(0);
    }
    const auto numbers = JobNumbers();
    if (!numbers.empty()) {
        last = std::max(last, numbers.back());
    }
    return last;
}

std::vector<fs::path> VirtualPrinterFolder::NewestPaperPictures() const {
    std::vector<std::pair<std::pair<uint32_t, uint32_t>, fs::path>> pictures;
    std::error_code ec;
    for (fs::directory_iterator it(m_folder / "paper", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const size_t dash = name.find('-');
        if (dash != 6 || !name.ends_with(".png")) {
            continue;
        }
        const auto job = ParseDigits(std::string_view(name).substr(0, 6), 6);
        const auto piece = ParseDigits(std::string_view(name).substr(7, name.size() - 7 - 4), 0);
        if (job && piece) {
            pictures.push_back({{*job, *piece}, it->path()});
        }
    }
    std::sort(pictures.begin(), pictures.end());
    std::vector<fs::path> newest;
    if (pictures.empty()) {
        return newest;
    }
    const uint32_t job = pictures.back().first.first;
    for (const auto& [key, path] : pictures) {
        if (key.first == job) {
            newest.push_back(path);
        }
    }
    return newest;
}

DeliveredJob VirtualPrinterFolder::Deliver(const SpooledJob& job, std::string_view today) const {
    DeliveredJob result;
    const Result<FileLock> lock = FileLock::Acquire(m_folder / ".lock");
    if (!lock) {
        result.status = Result<void>::Fail(lock.Reason());
        return result;
    }
    // The printer may have been removed, or its settings damaged, while the
    // job was being spooled.
    std::string why;
    const auto info = ReadPrinterConf(m_folder, &why);
    if (!info) {
        std::error_code ec;
        result.status = Result<void>::Fail(fs::is_directory(m_folder, ec)
                                               ? "the printer's settings cannot be read: " + why
                                               : "no virtual printer at " + m_folder.string());
        return result;
    }
    const fs::path logFile = m_folder / "log.txt";
    const uint32_t last = LastJobNumber();
    if (last >= kLastJobNumber) {
        result.status = Result<void>::Fail("job refused: every job number up to 999999 is used; "
                                           "remove the printer and add it again to start from 1");
        result.log = "------ @0: " + result.status.Reason() + "\n";
        // The job fails with its reason either way; the log only repeats it.
        static_cast<void>(AppendToFile(logFile, result.log));
        return result;
    }
    const uint32_t number = last + 1;
    const std::string name = JobName(number);

    const NvMemoryFolder nv(m_folder / "nv");
    const NvMemoryRead before = nv.Load(today);
    NvMemory memory = before.memory;
    const JobOutcome outcome = RunJob(info->model, memory, job.bytes, today);
    // A job that does not change the NV memory never rewrites it, and a job
    // the printer refused an upload of leaves it as it was.
    const bool storeNv = outcome.memoryChanged && outcome.refusal.empty();
    const std::string aside = storeNv && !before.damage.empty() ? nv.AsideName(today) : "";

    std::string log;
    if (!before.damage.empty()) {
        log += name + " @0: NV memory unreadable (" + before.damage + "); " +
               (storeNv ? "kept aside as nv/" + aside + ", the job starts from an empty memory"
                        : "left as it is, the job sees an empty memory") +
               "\n";
    }
    for (const LogEntry& entry : outcome.log) {
        log += name + " @" + std::to_string(entry.offset) + ": " + entry.text + "\n";
    }

    // Every record is written in full first; only then do they take their
    // names, the job's own records and log lines before the NV memory, so a
    // failure on the way leaves the NV memory as it was.
    const fs::path jobs = m_folder / "jobs";
    const std::string meta = "document=" + EscapeField(job.document) + "\n" +
                             "datatype=" + EscapeField(job.dataType) + "\n";
    const std::string lastText = std::to_string(number) + "\n";
    std::vector<StagedFile> records;
    Result<void> status;
    auto stage = [&](const fs::path& target, std::span<const uint8_t> bytes) {
        if (!status) {
            return;
        }
        if (Result<StagedFile> file = StagedFile::Write(target, bytes)) {
            records.push_back(std::move(file).Value());
        } else {
            status = Result<void>::Fail(file.Reason());
        }
    };
    stage(jobs / (name + ".bin"), job.bytes);
    stage(jobs / (name + ".txt"), AsBytes(meta));
    stage(jobs / kLastJobName, AsBytes(lastText));
    const size_t firstPaper = records.size();
    for (size_t k = 0; status && k < outcome.paper.size(); ++k) {
        const fs::path picture = m_folder / "paper" / (name + "-" + std::to_string(k + 1) + ".png");
        const std::vector<uint8_t> png = EncodePng(outcome.paper[k]);
        if (png.empty()) {
            status = Result<void>::Fail("cannot encode " + picture.string());
        }
        stage(picture, png);
    }
    std::optional<NvMemoryFolder::Staged> nvFiles;
    if (status && storeNv) {
        if (Result<NvMemoryFolder::Staged> staged = nv.Stage(memory)) {
            nvFiles = std::move(staged).Value();
        } else {
            status = Result<void>::Fail(staged.Reason());
        }
    }
    if (status) {
        // The job's bytes hold its number; without them it has none.
        status = records.front().Commit();
    }
    if (!status) {
        result.status = status;
        return result;
    }
    result.number = number;
    for (size_t k = 1; status && k < records.size(); ++k) {
        status = records[k].Commit();
        if (status && k >= firstPaper) {
            result.paper.push_back(records[k].Target());
        }
    }

    const std::string atEnd = name + " @" + std::to_string(job.bytes.size()) + ": job failed: ";
    const std::string untouched = storeNv ? "; the NV memory is left as it was" : "";
    if (!status) {
        log += atEnd + status.Reason() + untouched + "\n";
    }
    if (Result<void> logged = AppendToFile(logFile, log); !logged && status) {
        status = logged;
    }
    if (status && nvFiles) {
        status = nv.Commit(std::move(*nvFiles), aside);
        if (!status) {
            const std::string failed = atEnd + status.Reason() + untouched + "\n";
            static_cast<void>(AppendToFile(logFile, failed)); // the job fails either way
            log += failed;
        }
    }
    if (!status) {
        status = Result<void>::Fail(status.Reason() + untouched);
    } else if (!outcome.refusal.empty()) {
        status = Result<void>::Fail("job " + name + ": " + outcome.refusal);
    }
    result.log = std::move(log);
    result.status = std::move(status);
    return result;
}

std::string TodayLocal() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char day[16];
    std::strftime(day, sizeof day, "%Y-%m-%d", &local);
    return day;
}

} // namespace tessaline
