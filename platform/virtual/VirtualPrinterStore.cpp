// SPDX-License-Identifier: MIT
#include "platform/virtual/VirtualPrinterStore.h"

#include "SystemError.h"
#include "escpos/StarEmulator.h"
#include "platform/AtomicFile.h"
#include "platform/FileIo.h"
#include "platform/FileLock.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <system_error>
#include <tuple>
#include <unistd.h>

namespace tessaline {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSubfolders[] = {"jobs", "driver-data", "nv", "paper"};

std::optional<uint64_t> ParseNumber(std::string_view text) {
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// A fresh empty folder in the staging area beside printers/, so that a
// half-made or half-removed printer never shows in the list.
Result<fs::path> MakeStagingFolder(const fs::path& home, const char* kind) {
    std::error_code ec;
    fs::create_directories(home / ".staging", ec);
    std::string pattern = (home / ".staging" / kind).string() + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return Result<fs::path>::Fail(
            SystemError("cannot create a folder in " + (home / ".staging").string()));
    }
    return fs::path(pattern);
}

} // namespace

VirtualPrinterStore::VirtualPrinterStore(fs::path dataHome) : m_home(std::move(dataHome)) {}

fs::path VirtualPrinterStore::PrinterFolder(std::string_view name) const {
    return PrintersFolder() / fs::path(std::string(name));
}

Result<void> VirtualPrinterStore::CheckName(std::string_view name) {
    if (name.empty()) {
        return Result<void>::Fail("a printer name cannot be empty");
    }
    if (name == "." || name == "..") {
        return Result<void>::Fail("a printer name cannot be \".\" or \"..\"");
    }
    if (name.size() > NAME_MAX) {
        return Result<void>::Fail("a printer name is too long: it may have at most " +
                                  std::to_string(NAME_MAX) + " bytes, this one has " +
                                  std::to_string(name.size()));
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/') {
            return Result<void>::Fail("a printer name cannot hold \"/\"");
        }
        if (byte < 0x20 || byte == 0x7F) {
            return Result<void>::Fail("a printer name cannot hold a control character");
        }
    }
    return {};
}

Result<void> VirtualPrinterStore::CheckModel(const PrinterModel& model) {
    if (model.paperWidth < kMinPaperWidth || model.paperWidth > kMaxPaperWidth) {
        return Result<void>::Fail("the paper width must be " + std::to_string(kMinPaperWidth) +
                                  " to " + std::to_string(kMaxPaperWidth) + " dots");
    }
    if (model.nvCapacity < 1 || model.nvCapacity > kMaxNvCapacity) {
        return Result<void>::Fail("the NV capacity must be 1 to " + std::to_string(kMaxNvCapacity) +
                                  " bytes");
    }
    if (model.nvGraphics > kMaxNvCapacity) {
        return Result<void>::Fail("the NV graphics memory must be 0 to " +
                                  std::to_string(kMaxNvCapacity) + " bytes");
    }
    for (const std::string* name : {&model.maker, &model.modelName}) {
        if (name->empty() || name->size() > kMaxModelName ||
            std::any_of(name->begin(), name->end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
            return Result<void>::Fail("a maker or model name is 1 to " +
                                      std::to_string(kMaxModelName) +
                                      " characters with no control character");
        }
    }
    if (model.writeMs > kMaxWriteMs) {
        return Result<void>::Fail("an NV write may keep the printer busy 0 to " +
                                  std::to_string(kMaxWriteMs) + " ms");
    }
    return {};
}

std::string FormatPrinterConf(const VirtualPrinterInfo& info) {
    // The keys for how the printer answers appear only when they differ from
    // the defaults, so files from before them read the same.
    const PrinterModel defaults;
    std::string text = "paper-width=" + std::to_string(info.model.paperWidth) + "\n" +
                       "nv-capacity=" + std::to_string(info.model.nvCapacity) + "\n";
    if (info.model.answers != defaults.answers) {
        text += "answers=" + std::string(info.model.answers ? "1" : "0") + "\n";
    }
    if (info.model.nvGraphics != defaults.nvGraphics) {
        text += "nv-graphics=" + std::to_string(info.model.nvGraphics) + "\n";
    }
    if (info.model.writeMs != defaults.writeMs) {
        text += "write-ms=" + std::to_string(info.model.writeMs) + "\n";
    }
    if (info.model.language != defaults.language) {
        text += "commands=" + std::string(PrinterLanguageName(info.model.language)) + "\n";
    }
    if (info.model.maker != defaults.maker) {
        text += "maker=" + info.model.maker + "\n";
    }
    if (info.model.modelName != defaults.modelName) {
        text += "model=" + info.model.modelName + "\n";
    }
    if (info.model.autoLogo != defaults.autoLogo) {
        text += "auto-logo=" + std::string(info.model.autoLogo ? "1" : "0") + "\n";
    }
    if (info.model.graphicData != defaults.graphicData) {
        text += "graphic-data=" + std::string(info.model.graphicData ? "1" : "0") + "\n";
    }
    if (info.model.driverLogos != defaults.driverLogos) {
        text += "driver-logos=" + std::string(info.model.driverLogos ? "1" : "0") + "\n";
    }
    return text + "added=" + std::to_string(info.added) + "\n";
}

Result<VirtualPrinterInfo> ParsePrinterConf(std::string_view text) {
    auto refuse = [](std::string reason) {
        return Result<VirtualPrinterInfo>::Fail(std::move(reason));
    };
    if (text.empty()) {
        return refuse("the file is empty");
    }
    VirtualPrinterInfo info;
    bool width = false;
    bool capacity = false;
    for (size_t number = 1; !text.empty(); ++number) {
        const size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        // A file saved by an editor that ends lines with CR LF reads the same.
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const size_t eq = line.find('=');
        if (line.empty() || eq == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, eq);
        if (key == "commands") {
            const auto language = ParsePrinterLanguage(line.substr(eq + 1));
            if (!language) {
                return refuse("line " + std::to_string(number) +
                              " names no command set esc-pos, star-line or star-prnt");
            }
            info.model.language = *language;
            continue;
        }
        if (key == "maker" || key == "model") {
            (key == "maker" ? info.model.maker : info.model.modelName) = line.substr(eq + 1);
            continue;
        }
        const auto value = ParseNumber(line.substr(eq + 1));
        if (!value) {
            return refuse("line " + std::to_string(number) + " holds no number after \"=\"");
        }
        if (key == "paper-width") {
            // Out of range widths stay out of range for CheckModel below.
            info.model.paperWidth =
                static_cast<int>(std::min<uint64_t>(*value, kMaxPaperWidth + 1));
            width = true;
        } else if (key == "nv-capacity") {
            info.model.nvCapacity = *value;
            capacity = true;
        } else if (key == "answers") {
            info.model.answers = *value != 0;
        } else if (key == "nv-graphics") {
            info.model.nvGraphics = *value;
        } else if (key == "write-ms") {
            info.model.writeMs = static_cast<uint32_t>(std::min<uint64_t>(*value, kMaxWriteMs + 1));
        } else if (key == "auto-logo") {
            info.model.autoLogo = *value != 0;
        } else if (key == "graphic-data") {
            info.model.graphicData = *value != 0;
        } else if (key == "driver-logos") {
            info.model.driverLogos = *value != 0;
        } else if (key == "added") {
            info.added = *value;
        }
    }
    if (!width) {
        return refuse("it gives no paper-width");
    }
    if (!capacity) {
        return refuse("it gives no nv-capacity");
    }
    if (Result<void> s = VirtualPrinterStore::CheckModel(info.model); !s) {
        return refuse(s.Reason());
    }
    return info;
}

Result<VirtualPrinterInfo> ReadPrinterConf(const fs::path& folder) {
    const fs::path path = folder / kPrinterConfName;
    const Result<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        return Result<VirtualPrinterInfo>::FailAs(bytes);
    }
    Result<VirtualPrinterInfo> info = ParsePrinterConf(bytes.Value());
    if (!info) {
        std::string why = path.string();
        why += ": ";
        why += info.Reason();
        return Result<VirtualPrinterInfo>::Fail(std::move(why));
    }
    return info;
}

std::optional<VirtualPrinterInfo> VirtualPrinterStore::Find(std::string_view name) const {
    if (!CheckName(name)) {
        return std::nullopt;
    }
    const fs::path folder = PrinterFolder(name);
    std::error_code ec;
    if (!fs::is_directory(fs::status(folder, ec))) {
        return std::nullopt;
    }
    // A printer whose settings are damaged is still installed: it is listed,
    // shown and removed with its problem rather than vanishing.
    Result<VirtualPrinterInfo> read = ReadPrinterConf(folder);
    VirtualPrinterInfo info;
    if (read) {
        info = std::move(read).Value();
    } else {
        info.problem = read.Reason();
    }
    info.name = std::string(name);
    return info;
}

std::vector<VirtualPrinterInfo> VirtualPrinterStore::List(bool* ok) const {
    std::vector<VirtualPrinterInfo> printers;
    if (ok != nullptr) {
        *ok = true;
    }
    std::error_code ec;
    fs::directory_iterator it(PrintersFolder(), ec);
    if (ec) {
        if (ok != nullptr && ec != std::errc::no_such_file_or_directory) {
            *ok = false;
        }
        return printers;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            if (ok != nullptr) {
                *ok = false;
            }
            break;
        }
        if (auto info = Find(it->path().filename().string())) {
            printers.push_back(std::move(*info));
        }
    }
    std::sort(printers.begin(), printers.end(), [](const auto& a, const auto& b) {
        const bool aDamaged = !a.problem.empty();
        const bool bDamaged = !b.problem.empty();
        return std::tie(aDamaged, a.added, a.name) < std::tie(bDamaged, b.added, b.name);
    });
    return printers;
}

Result<void> VirtualPrinterStore::Add(std::string_view name, const PrinterModel& model) {
    if (Result<void> s = CheckName(name); !s) {
        return s;
    }
    if (Result<void> s = CheckModel(model); !s) {
        return s;
    }
    std::error_code ec;
    fs::create_directories(PrintersFolder(), ec);
    if (ec) {
        return Result<void>::Fail("cannot create " + PrintersFolder().string() + ": " +
                                  ec.message());
    }
    const Result<FileLock> lock = FileLock::Acquire(m_home / "printers.lock");
    if (!lock) {
        return Result<void>::FailAs(lock);
    }
    const fs::path target = PrinterFolder(name);
    const fs::file_type type = fs::symlink_status(target, ec).type();
    if (ec && ec != std::errc::no_such_file_or_directory) {
        return Result<void>::Fail("cannot add \"" + std::string(name) + "\": " + ec.message());
    }
    if (type != fs::file_type::not_found) {
        const auto existing = Find(name);
        if (existing && !existing->problem.empty()) {
            return Result<void>::Fail("a printer named \"" + std::string(name) +
                                      "\" already exists, but its settings are damaged (" +
                                      existing->problem + "); remove it, then add it again");
        }
        return Result<void>::Fail("a printer named \"" + std::string(name) + "\" already exists");
    }

    VirtualPrinterInfo info{std::string(name), model, 1, {}};
    for (const auto& other : List()) {
        info.added = std::max(info.added, other.added + 1);
    }
    const Result<fs::path> staging = MakeStagingFolder(m_home, "add");
    if (!staging) {
        return Result<void>::FailAs(staging);
    }
    const fs::path& folder = staging.Value();
    Result<void> status;
    for (const char* sub : kSubfolders) {
        if (::mkdir((folder / sub).c_str(), 0755) != 0) {
            status = Result<void>::Fail(SystemError("cannot create " + (folder / sub).string()));
            break;
        }
    }
    if (status) {
        status = ReplaceFileAtomically(folder / kPrinterConfName, FormatPrinterConf(info));
    }
    if (status) {
        ::chmod(folder.c_str(), 0755);
        if (::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) !=
            0) {
            status = Result<void>::Fail(SystemError("cannot create " + target.string()));
        }
    }
    if (!status) {
        fs::remove_all(folder, ec);
    }
    return status;
}

Result<void> VirtualPrinterStore::Remove(std::string_view name) {
    if (Result<void> s = CheckName(name); !s) {
        return s;
    }
    const Result<FileLock> lock = FileLock::Acquire(m_home / "printers.lock");
    if (!lock) {
        return Result<void>::FailAs(lock);
    }
    if (!Find(name)) {
        return Result<void>::Fail("no virtual printer named \"" + std::string(name) + "\"");
    }
    const fs::path folder = PrinterFolder(name);
    // Wait for a job the printer is working on, so it is not cut in half.
    const Result<FileLock> jobLock = FileLock::Acquire(folder / ".lock");
    if (!jobLock) {
        return Result<void>::FailAs(jobLock);
    }
    const Result<fs::path> staging = MakeStagingFolder(m_home, "remove");
    if (!staging) {
        return Result<void>::FailAs(staging);
    }
    Result<void> status;
    if (::rename(folder.c_str(), staging.Value().c_str()) != 0) {
        status = Result<void>::Fail(SystemError("cannot remove " + folder.string()));
    }
    std::error_code ec;
    fs::remove_all(staging.Value(), ec);
    return status;
}

} // namespace tessaline
