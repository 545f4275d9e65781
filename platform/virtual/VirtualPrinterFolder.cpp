// SPDX-License-Identifier: MIT
#include "platform/virtual/VirtualPrinterFolder.h"

#include "NvMemoryFolder.h"
#include "SystemError.h"
#include "escpos/Png.h"
#include "escpos/StarEmulator.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"
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
// The paper printed and not yet cut, which the next job prints on.
constexpr const char* kUncutPaperName = "uncut.png";

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

NvMemoryRead VirtualPrinterFolder::LoadNvMemory(uint32_t writesPerDay) const {
    return NvMemoryFolder(m_folder / "nv").Load(TodayLocal(), writesPerDay);
}

PrinterState VirtualPrinterFolder::State() const {
    PrinterState state;
    state.memory = [folder = m_folder] {
        return VirtualPrinterFolder(folder).LoadNvMemory().memory;
    };
    state.conditions = [folder = m_folder] {
        return ReadWholeFile(folder / kStatusFileName).ValueOr(std::string());
    };
    return state;
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

std::optional<fs::path> VirtualPrinterFolder::UncutPaper() const {
    const fs::path file = m_folder / "paper" / kUncutPaperName;
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        return std::nullopt;
    }
    return file;
}

namespace {

// One job on its way through Deliver: what the printer did, and the records
// that keep it.
struct JobInProgress {
    uint32_t number = 0;
    std::string name; // "NNNNNN"
    NvMemoryRead before;
    NvMemory memory;
    JobOutcome outcome;
    bool storeNv = false;
    std::string aside;     // the name a damaged NV file is kept aside under
    std::string log;       // the lines for log.txt
    bool hadUncut = false; // paper/uncut.png was there before the job
    std::vector<StagedFile> records;
    size_t firstPaper = 0; // records from here on are paper pictures
    std::optional<NvMemoryFolder::Staged> nvFiles;
};

// The paper an earlier job printed and left without a cut; blank when none
// is waiting, or when its picture cannot be read (the log then says so).
MonoPicture LoadUncutPaper(const fs::path& file, JobInProgress& run) {
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        return {};
    }
    run.hadUncut = true;
    Result<std::string> bytes = ReadWholeFile(file);
    std::string why = bytes ? "" : bytes.Reason();
    if (bytes) {
        const std::string text = std::move(bytes).Value();
        const auto* data = reinterpret_cast<const uint8_t*>(text.data());
        Result<MonoPicture> picture = DecodePng(std::span<const uint8_t>(data, text.size()));
        if (picture) {
            return std::move(picture).Value();
        }
        why = picture.Reason();
    }
    run.log += run.name + " @0: the paper left uncut by the last job is lost, " + file.string() +
               " cannot be read: " + why + "\n";
    return {};
}

// Runs the printer over the job, from the NV memory and the paper the last
// job left, and words its log.
void RunPrinter(const fs::path& folder, const PrinterModel& model, const SpooledJob& job,
                std::string_view today, JobInProgress& run) {
    const NvMemoryFolder nv(folder / "nv");
    run.before = nv.Load(today, model.nvWritesPerDay);
    run.memory = run.before.memory;
    MonoPicture uncut = LoadUncutPaper(folder / "paper" / kUncutPaperName, run);
    const MonoPicture before = uncut;
    run.outcome = RunLanguageJob(model, run.memory, job.bytes, today, std::move(uncut));
    // A job in another printer's language is not drawn: its paper, and what
    // it did to the memory, would be made up.
    if (std::string foreign = NotUnderstoodReason(model, run.outcome, job.bytes.size());
        !foreign.empty()) {
        run.outcome.paper.clear();
        run.outcome.uncut = before;
        run.outcome.memoryChanged = false;
        run.outcome.log.push_back(LogEntry{job.bytes.size(), foreign});
        run.outcome.refusal = std::move(foreign);
        run.memory = run.before.memory;
    }
    // A job that does not change the NV memory never rewrites it, and a job
    // the printer refused an upload of leaves it as it was.
    run.storeNv = run.outcome.memoryChanged && run.outcome.refusal.empty();
    run.aside = run.storeNv && !run.before.damage.empty() ? nv.AsideName(today) : "";

    std::string log;
    if (!run.before.damage.empty()) {
        log +=
            run.name + " @0: NV memory unreadable (" + run.before.damage + "); " +
            (run.storeNv ? "kept aside as nv/" + run.aside + ", the job starts from an empty memory"
                         : "left as it is, the job sees an empty memory") +
            "\n";
    }
    log += run.log;
    for (const LogEntry& entry : run.outcome.log) {
        log += run.name + " @" + std::to_string(entry.offset) + ": " + entry.text + "\n";
    }
    run.log = std::move(log);
}

// Writes every record in full under a temporary name: the job's bytes and
// details, the last number, the pictures of the pieces cut off, the paper
// left uncut and the NV memory.
Result<void> StageRecords(const fs::path& folder, const SpooledJob& job, JobInProgress& run) {
    const fs::path jobs = folder / "jobs";
    const std::string meta = "document=" + EscapeField(job.document) + "\n" +
                             "datatype=" + EscapeField(job.dataType) + "\n";
    const std::string lastText = std::to_string(run.number) + "\n";
    Result<void> status;
    auto stage = [&](const fs::path& target, std::span<const uint8_t> bytes) {
        if (!status) {
            return;
        }
        if (Result<StagedFile> file = StagedFile::Write(target, bytes)) {
            run.records.push_back(std::move(file).Value());
        } else {
            status = Result<void>::FailAs(file);
        }
    };
    auto stagePicture = [&](const fs::path& target, const MonoPicture& picture) {
        const std::vector<uint8_t> png = EncodePng(picture);
        if (png.empty() && status) {
            status = Result<void>::Fail("cannot encode " + target.string());
        }
        stage(target, png);
    };
    stage(jobs / (run.name + ".bin"), job.bytes);
    stage(jobs / (run.name + ".txt"), AsBytes(meta));
    stage(jobs / kLastJobName, AsBytes(lastText));
    run.firstPaper = run.records.size();
    for (size_t k = 0; status && k < run.outcome.paper.size(); ++k) {
        stagePicture(folder / "paper" / (run.name + "-" + std::to_string(k + 1) + ".png"),
                     run.outcome.paper[k]);
    }
    if (run.outcome.uncut.height > 0) {
        stagePicture(folder / "paper" / kUncutPaperName, run.outcome.uncut);
    }
    if (status && run.storeNv) {
        if (Result<NvMemoryFolder::Staged> staged =
                NvMemoryFolder(folder / "nv").Stage(run.memory)) {
            run.nvFiles = std::move(staged).Value();
        } else {
            status = Result<void>::FailAs(staged);
        }
    }
    return status;
}

// Gives the records their names, the job's bytes first: without them the job
// has no number. The paper cut off is listed in `result`.
Result<void> CommitRecords(const fs::path& folder, JobInProgress& run, DeliveredJob& result) {
    Result<void> status = run.records.front().Commit();
    if (!status) {
        return status;
    }
    result.number = run.number;
    for (size_t k = 1; status && k < run.records.size(); ++k) {
        status = run.records[k].Commit();
        if (status && k >= run.firstPaper &&
            run.records[k].Target().filename() != kUncutPaperName) {
            result.paper.push_back(run.records[k].Target());
        }
    }
    if (status && run.outcome.uncut.height == 0 && run.hadUncut) {
        // Cut off now: it is no longer waiting.
        std::error_code ec;
        fs::remove(folder / "paper" / kUncutPaperName, ec);
        if (ec) {
            status = Result<void>::Fail("cannot remove " +
                                        (folder / "paper" / kUncutPaperName).string() + ": " +
                                        ec.message());
        }
    }
    return status;
}

// Appends the log lines, then stores the NV memory: a failure on the way
// leaves the NV memory as it was, and the log says so.
Result<void> LogAndStoreNv(const fs::path& folder, const SpooledJob& job, JobInProgress& run,
                           Result<void> status) {
    const fs::path logFile = folder / "log.txt";
    const std::string atEnd = run.name + " @" + std::to_string(job.bytes.size()) + ": job failed: ";
    const std::string untouched = run.storeNv ? "; the NV memory is left as it was" : "";
    if (!status) {
        run.log += atEnd + status.Reason() + untouched + "\n";
    }
    if (Result<void> logged = AppendToFile(logFile, run.log); !logged && status) {
        status = logged;
    }
    if (status && run.nvFiles) {
        status = NvMemoryFolder(folder / "nv").Commit(std::move(*run.nvFiles), run.aside);
        if (!status) {
            const std::string failed = atEnd + status.Reason() + untouched + "\n";
            static_cast<void>(AppendToFile(logFile, failed)); // the job fails either way
            run.log += failed;
        }
    }
    if (!status) {
        return Result<void>::Fail(status.Reason() + untouched);
    }
    if (!run.outcome.refusal.empty()) {
        return Result<void>::Fail("job " + run.name + ": " + run.outcome.refusal);
    }
    return status;
}

} // namespace

DeliveredJob VirtualPrinterFolder::Deliver(const SpooledJob& job, std::string_view today) const {
    DeliveredJob result;
    const Result<FileLock> lock = FileLock::Acquire(m_folder / ".lock");
    if (!lock) {
        result.status = Result<void>::FailAs(lock);
        return result;
    }
    // The printer may have been removed, or its settings damaged, while the
    // job was being spooled.
    const Result<VirtualPrinterInfo> info = ReadPrinterConf(m_folder);
    if (!info) {
        std::error_code ec;
        result.status =
            Result<void>::Fail(fs::is_directory(m_folder, ec)
                                   ? "the printer's settings cannot be read: " + info.Reason()
                                   : "no virtual printer at " + m_folder.string());
        return result;
    }
    const uint32_t last = LastJobNumber();
    if (last >= kLastJobNumber) {
        result.status = Result<void>::Fail("job refused: every job number up to 999999 is used; "
                                           "remove the printer and add it again to start from 1");
        result.log = "------ @0: " + result.status.Reason() + "\n";
        // The job fails with its reason either way; the log only repeats it.
        static_cast<void>(AppendToFile(m_folder / "log.txt", result.log));
        return result;
    }
    JobInProgress run;
    run.number = last + 1;
    run.name = JobName(run.number);
    RunPrinter(m_folder, info.Value().model, job, today, run);
    Result<void> status = StageRecords(m_folder, job, run);
    if (status) {
        status = CommitRecords(m_folder, run, result);
    }
    if (result.number == 0) {
        // Nothing kept: the job has no number and leaves no log line.
        result.status = status;
        return result;
    }
    result.status = LogAndStoreNv(m_folder, job, run, std::move(status));
    result.log = std::move(run.log);
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
