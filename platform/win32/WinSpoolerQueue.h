// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Spooler.h"
#include "platform/win32/HandleOwners.h"

#include <cstddef>
#include <memory>
#include <string>
#include <windows.h>

namespace tessaline::win32 {

// One open printer of the Windows spooler. A raw job is one document
// (StartDocPrinter, level 1, no page); the bytes of Write are gathered and
// handed to WritePrinter in large blocks. Destroying it closes the printer;
// a job still running then is aborted.
class WinSpoolerQueue final : public SpoolerQueue {
public:
    static constexpr size_t kBlockBytes = 64 * 1024;

    // Takes over `printer`, a handle OpenPrinter gave.
    explicit WinSpoolerQueue(UniquePrinter printer);
    ~WinSpoolerQueue() override;
    WinSpoolerQueue(const WinSpoolerQueue&) = delete;
    WinSpoolerQueue& operator=(const WinSpoolerQueue&) = delete;

    Result<void> StartRawJob(std::string_view documentName, std::string_view dataType) override;
    Result<void> Write(std::span<const uint8_t> bytes) override;
    Result<void> EndJob() override;
    void CancelJob() override;
    std::optional<DriverValue> GetDriverData(std::string_view valueName) override;
    Result<void> SetDriverData(std::string_view valueName, uint32_t type,
                               std::span<const uint8_t> bytes) override;

private:
    enum class JobState {
        None,     // no job, or the last one ended
        Sending,  // the document is open and takes bytes
        Cancelled // a failure aborted the job; EndJob reports it
    };

    Result<void> Flush();
    void Abandon();
    // What the spooler says of the ended job, where it says anything.
    Result<void> CheckEndedJob() const;

    UniquePrinter m_printer;
    JobState m_state = JobState::None;
    DWORD m_job = 0; // the spooler's number of the running or last job
    std::unique_ptr<uint8_t[]> m_block;
    size_t m_used = 0;
    std::string m_cancelled; // why a failure aborted the job, for EndJob
};

} // namespace tessaline::win32
