// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"
#include "escpos/EscPosEmulator.h"
#include "escpos/PrinterResponder.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// One raw job as the spooler handed it over.
struct SpooledJob {
    std::string document;
    std::string dataType;
    std::vector<uint8_t> bytes;
};

// What delivering a job came to.
struct DeliveredJob {
    Result<void> status;
    uint32_t number = 0;                      // 0 when no number was given out
    std::string log;                          // the lines added to log.txt
    std::vector<std::filesystem::path> paper; // pictures of the pieces of paper
};

// What nv/state.bin held when it was read. A damaged file is no failure:
// the memory is what could be kept of it.
struct NvMemoryRead {
    NvMemory memory;
    std::string damage; // why the file could not be read; empty when it could or is absent
};

inline constexpr uint32_t kLastJobNumber = 999999;

// The conditions a virtual printer reports, one word a line in the file
// "status" of its folder (the words PrinterState lists). No file, or
// "ready", is ready.
inline constexpr const char* kStatusFileName = "status";

// The folder of one virtual printer: jobs/, driver-data/, nv/, paper/, log.txt.
// Each job is handled whole under the folder's lock, so jobs from several
// processes queue up one after the other.
class VirtualPrinterFolder {
public:
    explicit VirtualPrinterFolder(std::filesystem::path folder);

    const std::filesystem::path& Path() const { return m_folder; }

    // Numbers the job, keeps its bytes, runs the printer over them and leaves
    // the NV pictures, paper pictures and log lines. `today` is YYYY-MM-DD.
    // All or nothing for the NV memory: the job fails with the reason, and
    // the memory is as it was, when the printer refused an upload or any of
    // the job's records could not be written.
    DeliveredJob Deliver(const SpooledJob& job, std::string_view today) const;

    // The NV memory after the last job; empty before the first. A damaged
    // file reads as no images, keeping its count of NV writes where it can
    // (else, changed today, the count is `writesPerDay`, the model's daily
    // limit), and the damage says why.
    NvMemoryRead LoadNvMemory(uint32_t writesPerDay = PrinterModel().nvWritesPerDay) const;
    // Names of damaged NV memory files kept aside in nv/, in name order.
    std::vector<std::string> DamagedNvFiles() const;
    // Numbers of the jobs kept in jobs/, ascending.
    std::vector<uint32_t> JobNumbers() const;
    // The paper pictures of the newest job that printed any, in piece order.
    std::vector<std::filesystem::path> NewestPaperPictures() const;
    // The picture of the paper printed and not yet cut, which the next job
    // prints on; none when every piece was cut off.
    std::optional<std::filesystem::path> UncutPaper() const;

    // What the printer's responder reads when a question comes: the NV
    // memory as the last job left it and the words of the file "status".
    PrinterState State() const;

    static std::string JobName(uint32_t number);    // "000042"
    static std::string NvPictureName(size_t image); // "007.png"

private:
    uint32_t LastJobNumber() const;

    std::filesystem::path m_folder;
};

// Today's local date as YYYY-MM-DD.
std::string TodayLocal();

} // namespace tessaline
