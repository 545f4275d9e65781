#include "VirtualPrinterFolder.h"

#include "FileHelpers.h"
#include "NvStateFile.h"
#include "Png.h"
#include "VirtualPrinterStore.h"

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

constexpr const char* kNvStateName = "state.bin";
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

Status WritePicture(const fs::path& path, const MonoPicture& picture) {
    const std::vector<uint8_t> png = EncodePng(picture);
    if (png.empty()) {
        return Status::Fail("cannot encode " + path.string());
    }
    return WriteFileAtomic(path, png);
}

} // namespace

VirtualPrinterFolder::VirtualPrinterFolder(fs::path folder) : m_folder(std::move(folder)) {}

std::string VirtualPrinterFolder::JobName(uint32_t number) {
    char name[16];
    std::snprintf(name, sizeof name, "%06u", number);
    return name;
}

std::string VirtualPrinterFolder::NvPictureName(size_t image) {
    char name[16];
    std::snprintf(name, sizeof name, "%03zu.png", image);
    return name;
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
    NvMemory memory;
    const auto bytes = ReadWholeFile(m_folder / "nv" / kNvStateName);
    if (!bytes) {
        return memory;
    }
    if (Status s = DecodeNvMemory(*bytes, memory); !s && why != nullptr) {
        *why = s.reason;
    }
    return memory;
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
    auto lock = FileLock::Acquire(m_folder / ".lock", result.status);
    if (!lock) {
        return result;
    }
    // The printer may have been removed while the job was being spooled.
    const auto conf = ReadWholeFile(m_folder / kPrinterConfName);
    const auto info = conf ? ParsePrinterConf(std::string_view(
                                 reinterpret_cast<const char*>(conf->data()), conf->size()))
                           : std::nullopt;
    if (!info) {
        result.status = Status::Fail("no virtual printer at " + m_folder.string());
        return result;
    }

    // Numbers are never given out twice: the last one is kept even when the
    // user clears jobs/ out.
    uint32_t last = 0;
    if (const auto kept = ReadWholeFile(m_folder / "jobs" / kLastJobName)) {
        std::string text(kept->begin(), kept->end());
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
            text.pop_back();
        }
        last = ParseDigits(text, 0).value_or(0);
    }
    const auto numbers = JobNumbers();
    if (!numbers.empty()) {
        last = std::max(last, numbers.back());
    }
    if (last >= kLastJobNumber) {
        result.status = Status::Fail("every job number up to 999999 is used");
        return result;
    }
    const uint32_t number = last + 1;
    const std::string name = JobName(number);
    const fs::path jobs = m_folder / "jobs";
    result.status = WriteFileAtomic(jobs / (name + ".bin"), job.bytes);
    if (result.status) {
        result.status = WriteFileAtomic(jobs / (name + ".txt"),
                                        "document=" + EscapeField(job.document) + "\n" +
                                            "datatype=" + EscapeField(job.dataType) + "\n");
    }
    if (result.status) {
        result.status = WriteFileAtomic(jobs / kLastJobName, std::to_string(number) + "\n");
    }
    if (!result.status) {
        return result;
    }
    result.number = number;

    std::string log;
    std::string why;
    NvMemory memory = LoadNvMemory(&why);
    if (!why.empty()) {
        log += name + " @0: NV memory unreadable (" + why + "); it starts empty\n";
    }
    const JobOutcome outcome = RunJob(info->model, memory, job.bytes, today);
    for (const LogEntry& entry : outcome.log) {
        log += name + " @" + std::to_string(entry.offset) + ": " + entry.text + "\n";
    }

    Status status;
    if (outcome.memoryChanged || !why.empty()) {
        const fs::path nv = m_folder / "nv";
        status = WriteFileAtomic(nv / kNvStateName, EncodeNvMemory(memory));
        for (size_t k = 0; status && k < memory.images.size(); ++k) {
            status = WritePicture(nv / NvPictureName(k + 1), NvImagePicture(memory.images[k]));
        }
        // Pictures of images the memory no longer holds go.
        std::error_code ec;
        for (size_t k = memory.images.size() + 1; status && k <= 255; ++k) {
            fs::remove(nv / NvPictureName(k), ec);
        }
    }
    for (size_t k = 0; status && k < outcome.paper.size(); ++k) {
        const fs::path picture = m_folder / "paper" / (name + "-" + std::to_string(k + 1) + ".png");
        status = WritePicture(picture, outcome.paper[k]);
        if (status) {
            result.paper.push_back(picture);
        }
    }
    if (Status logged = AppendToFile(m_folder / "log.txt", log); !logged && status) {
        status = logged;
    }
    result.log = std::move(log);
    result.status = status;
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
