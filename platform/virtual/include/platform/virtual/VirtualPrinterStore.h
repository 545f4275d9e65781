// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"
#include "escpos/EscPosEmulator.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

inline constexpr int kMinPaperWidth = 8;
inline constexpr int kMaxPaperWidth = 1024;
inline constexpr uint64_t kMaxNvCapacity = 64ull << 20;
// The longest maker or model name a virtual printer answers with.
inline constexpr size_t kMaxModelName = 64;

// One virtual printer as its folder describes it.
struct VirtualPrinterInfo {
    std::string name;
    PrinterModel model;
    uint64_t added = 0;  // place in the order printers were added
    std::string problem; // why printer.conf cannot be used ("<path>: <reason>"); empty when it can
};

// The virtual printers installed under <data home>/printers, one folder each.
// Adding and removing are atomic renames under a lock, so other processes see
// a printer whole or not at all.
class VirtualPrinterStore {
public:
    // `dataHome` is Tessaline's data folder (TessalineDataHome() normally).
    explicit VirtualPrinterStore(std::filesystem::path dataHome);

    std::filesystem::path PrintersFolder() const { return m_home / "printers"; }
    std::filesystem::path PrinterFolder(std::string_view name) const;

    // Refuses names a folder cannot carry: empty, ".", "..", longer than a
    // file name may be, or holding "/" or a control character.
    static Result<void> CheckName(std::string_view name);
    // Refuses a paper width or NV capacity the emulator cannot model.
    static Result<void> CheckModel(const PrinterModel& model);

    // Creates the printer's folder with its settings; fails if the name is taken.
    Result<void> Add(std::string_view name, const PrinterModel& model);
    // Deletes the printer's folder with everything in it, once its running job
    // is done; a printer with damaged settings too.
    Result<void> Remove(std::string_view name);
    // Every printer, in the order added; those with damaged settings last, with
    // their problem. ok is false when the folder is unreadable.
    std::vector<VirtualPrinterInfo> List(bool* ok = nullptr) const;
    // The printer's settings, or its problem when they are damaged; nothing
    // when no printer of that name is installed.
    std::optional<VirtualPrinterInfo> Find(std::string_view name) const;

private:
    std::filesystem::path m_home;
};

// The text of a printer's settings file, and its reading. A refused text
// fails with the reason.
std::string FormatPrinterConf(const VirtualPrinterInfo& info);
Result<VirtualPrinterInfo> ParsePrinterConf(std::string_view text);
// The settings of the printer in `folder`; fails, with "<path>: <reason>",
// when printer.conf is missing, unreadable or damaged.
Result<VirtualPrinterInfo> ReadPrinterConf(const std::filesystem::path& folder);

inline constexpr const char* kPrinterConfName = "printer.conf";

} // namespace tessaline
