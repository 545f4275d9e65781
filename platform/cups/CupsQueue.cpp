// SPDX-License-Identifier: MIT
#include "CupsQueue.h"

#include "CupsJobFollower.h"

#include <algorithm>
#include <cstring>
#include <cups/cups.h>
#include <strings.h>

namespace tessaline {

namespace {

Result<void> Refuse(std::string why) {
    return Result<void>::Fail(std::move(why));
}

} // namespace

CupsQueue::CupsQueue(std::string queueName, QueueAccess access, DriverDataStore store)
    : m_queueName(std::move(queueName)), m_access(access), m_store(std::move(store)),
      m_block(std::make_unique<uint8_t[]>(kBlockBytes)) {}

CupsQueue::~CupsQueue() {
    if (m_state == JobState::Sending) {
        Abandon({});
    }
}

std::string CupsQueue::CupsError(const char* context) {
    std::string error = context;
    const char* words = cupsLastErrorString();
    if (cupsLastError() >= IPP_STATUS_REDIRECTION_OTHER_SITE && words != nullptr &&
        *words != '\0') {
        error += ": ";
        error += words;
    }
    return error;
}

Result<void> CupsQueue::StartRawJob(std::string_view documentName, std::string_view dataType) {
    if (m_state != JobState::None) {
        return Refuse("a job is already running on this queue");
    }
    // Only raw bytes go straight to the printer; CUPS would filter anything else.
    const std::string type(dataType);
    if (strcasecmp(type.c_str(), "RAW") != 0) {
        return Refuse("only raw jobs are sent, not " + type);
    }
    // A connection of the job's own: one kept from earlier may have been
    // closed by the server in the meantime.
    std::string whyNot;
    m_http = ConnectToCups(&whyNot);
    if (m_http == nullptr) {
        return Refuse(std::move(whyNot));
    }
    const std::string title(documentName);
    const int jobId = cupsCreateJob(m_http.get(), m_queueName.c_str(), title.c_str(), 0, nullptr);
    if (jobId <= 0) {
        const std::string why = CupsError("CUPS refused the job");
        m_http.reset();
        return Refuse(why);
    }
    if (cupsStartDocument(m_http.get(), m_queueName.c_str(), jobId, title.c_str(), CUPS_FORMAT_RAW,
                          1) != HTTP_STATUS_CONTINUE) {
        const std::string why = CupsError("CUPS refused the document");
        // The job exists without a document; it must not wait for one forever.
        m_jobId = jobId;
        Abandon(why);
        m_state = JobState::None;
        return Refuse(why);
    }
    m_jobId = jobId;
    m_used = 0;
    m_anyBytes = false;
    m_state = JobState::Sending;
    return {};
}

Result<void> CupsQueue::Write(std::span<const uint8_t> bytes) {
    if (m_state != JobState::Sending) {
        return Refuse("no job is running on this queue");
    }
    m_anyBytes = m_anyBytes || !bytes.empty();
    // The printer channel writes one byte per call; keep that path short.
    if (bytes.size() == 1 && m_used + 1 < kBlockBytes) {
        m_block[m_used++] = bytes[0];
        return {};
    }
    while (!bytes.empty()) {
        const size_t n = std::min(kBlockBytes - m_used, bytes.size());
        std::memcpy(m_block.get() + m_used, bytes.data(), n);
        m_used += n;
        bytes = bytes.subspan(n);
        if (m_used == kBlockBytes) {
            if (Result<void> flushed = Flush(); !flushed) {
                return flushed;
            }
        }
    }
    return {};
}

Result<void> CupsQueue::Flush() {
    if (m_used == 0) {
        return {};
    }
    const http_status_t status =
        cupsWriteRequestData(m_http.get(), reinterpret_cast<const char*>(m_block.get()), m_used);
    m_used = 0;
    if (status != HTTP_STATUS_CONTINUE) {
        // The words of the refused block, taken before the cancel that follows.
        std::string why = CupsError("CUPS refused the document's bytes");
        if (cupsLastError() < IPP_STATUS_REDIRECTION_OTHER_SITE) {
            why += std::string(": ") + httpStatus(status);
        }
        Abandon(why);
        return Refuse(why);
    }
    return {};
}

Result<void> CupsQueue::EndJob() {
    if (m_state == JobState::Cancelled) {
        // The failure that cancelled the job has left its words already.
        m_state = JobState::None;
        return Refuse(m_cancelledWhy.empty() ? "the job was cancelled" : m_cancelledWhy);
    }
    if (m_state != JobState::Sending) {
        return Refuse("no job is running on this queue");
    }
    if (!m_anyBytes) {
        // An empty document has nothing for the printer, and the scheduler
        // takes no empty document: withdraw the job, and the document has
        // been delivered as it was, empty.
        Abandon({});
        m_state = JobState::None;
        return {};
    }
    if (Result<void> flushed = Flush(); !flushed) {
        m_state = JobState::None;
        return flushed;
    }
    const ipp_status_t status = cupsFinishDocument(m_http.get(), m_queueName.c_str());
    if (status >= IPP_STATUS_REDIRECTION_OTHER_SITE) {
        const std::string why = CupsError("CUPS did not take the whole document");
        // CUPS holds the document back until it is whole, so cancelling now
        // still keeps the printer from getting any of it.
        Abandon(why);
        m_state = JobState::None;
        return Refuse(why);
    }
    m_state = JobState::None;
    const int jobId = m_jobId;
    m_jobId = 0;
    m_http.reset();
    // Taken by CUPS is not printed: the job is followed until it is.
    return FollowCupsJob(m_queueName, jobId, CupsJobWait());
}

void CupsQueue::CancelJob() {
    if (m_state == JobState::Sending) {
        Abandon({});
    }
    m_state = JobState::None;
}

// Cancels the current job. The connection may be in the middle of the
// document's request, so it is dropped (the scheduler then discards the
// partial document) and the cancel goes over a fresh one.
void CupsQueue::Abandon(std::string why) {
    m_used = 0;
    m_http.reset();
    if (const CupsConnection http = ConnectToCups(); http != nullptr && m_jobId > 0) {
        cupsCancelJob2(http.get(), m_queueName.c_str(), m_jobId, 0);
    }
    m_jobId = 0;
    m_state = JobState::Cancelled;
    m_cancelledWhy = std::move(why);
}

std::optional<DriverValue> CupsQueue::GetDriverData(std::string_view valueName) {
    return m_store.Get(valueName);
}

Result<void> CupsQueue::SetDriverData(std::string_view valueName, uint32_t type,
                                      std::span<const uint8_t> bytes) {
    if (m_access != QueueAccess::Full) {
        return Refuse("the queue was opened without full access");
    }
    if (!m_store.Set(valueName, type, bytes)) {
        return Refuse("cannot store the driver data " + std::string(valueName));
    }
    return {};
}

} // namespace tessaline
