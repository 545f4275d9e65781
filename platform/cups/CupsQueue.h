// SPDX-License-Identifier: MIT
#pragma once

#include "CupsConnection.h"
#include "platform/DriverDataStore.h"
#include "platform/Spooler.h"

#include <cstddef>
#include <memory>
#include <string>

namespace tessaline {

// One open CUPS queue. A raw job is one job with one raw document; the bytes
// of Write are gathered and handed to CUPS in large blocks.
class CupsQueue final : public SpoolerQueue {
public:
    static constexpr size_t kBlockBytes = 64 * 1024;

    CupsQueue(std::string queueName, QueueAccess access, DriverDataStore store);
    ~CupsQueue() override;
    CupsQueue(const CupsQueue&) = delete;
    CupsQueue& operator=(const CupsQueue&) = delete;

    // A failure gives CUPS's words (its last error text, or the HTTP status
    // of a refused block), or ours where CUPS gave none.
    Result<void> StartRawJob(std::string_view documentName, std::string_view dataType) override;
    Result<void> Write(std::span<const uint8_t> bytes) override;
    Result<void> EndJob() override;
    void CancelJob() override;
    std::optional<DriverValue> GetDriverData(std::string_view valueName) override;
    // Needs full access, as changing a queue's driver data does elsewhere.
    Result<void> SetDriverData(std::string_view valueName, uint32_t type,
                               std::span<const uint8_t> bytes) override;

private:
    enum class JobState {
        None,     // no job, or the last one ended
        Sending,  // the document is open and takes bytes
        Cancelled // a failure cancelled the job; EndJob reports it
    };

    Result<void> Flush();
    // Cancels the job; `why` is what EndJob reports for it.
    void Abandon(std::string why);
    // `context`, then CUPS's last error text where it has one.
    static std::string CupsError(const char* context);

    CupsConnection m_http; // open while a job runs
    std::string m_queueName;
    QueueAccess m_access;
    DriverDataStore m_store;
    JobState m_state = JobState::None;
    int m_jobId = 0;
    std::unique_ptr<uint8_t[]> m_block;
    size_t m_used = 0;
    bool m_anyBytes = false;    // the running job has been given at least one byte
    std::string m_cancelledWhy; // what cancelled the job, for EndJob to report
};

} // namespace tessaline
