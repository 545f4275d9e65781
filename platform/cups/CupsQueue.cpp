#include "CupsQueue.h"

#include <algorithm>
#include <cstring>
#include <cups/cups.h>
#include <strings.h>

namespace tessaline {

CupsQueue::CupsQueue(std::string queueName, QueueAccess access, DriverDataStore store)
    : m_queueName(std::move(queueName)), m_access(access), m_store(std::move(store)),
      m_block(std::make_unique<uint8_t[]>(kBlockBytes)) {}

CupsQueue::~CupsQueue() {
    if (m_state == JobState::Sending) {
        Abandon();
    }
}

void CupsQueue::NoteCupsError(const char* context) {
    m_lastError = context;
    const char* words = cupsLastErrorString();
    if (cupsLastError() >= IPP_STATUS_REDIRECTION_OTHER_SITE && words != nullptr &&
        *words != '\0') {
        m_lastError += ": ";
        m_lastError += words;
    }
}

bool CupsQueue::StartRawJob(std::string_view documentName, std::string_view dataType) {
    m_lastError.clear();
    if (m_state != JobState::None) {
        m_lastError = "a job is already running on this queue";
        return false;
    }
    // Only raw bytes go straight to the printer; CUPS would filter anything else.
    const std::string type(dataType);
    if (strcasecmp(type.c_str(), "RAW") != 0) {
        m_lastError = "only raw jobs are sent, not " + type;
        return false;
    }
    // A connection of the job's own: one kept from earlier may have been
    // closed by the server in the meantime.
    m_http = ConnectToCups();
    if (m_http == nullptr) {
        m_lastError = "cannot reach the CUPS server " + std::string(cupsServer());
        return false;
    }
    const std::string title(documentName);
    const int jobId = cupsCreateJob(m_http.get(), m_queueName.c_str(), title.c_str(), 0, nullptr);
    if (jobId <= 0) {
        NoteCupsError("CUPS refused the job");
        m_http.reset();
        return false;
    }
    if (cupsStartDocument(m_http.get(), m_queueName.c_str(), jobId, title.c_str(), CUPS_FORMAT_RAW,
                          1) != HTTP_STATUS_CONTINUE) {
        NoteCupsError("CUPS refused the document");
        // The job exists without a document; it must not wait for one forever.
        m_jobId = jobId;
        Abandon();
        m_state = JobState::None;
        return false;
    }
    m_jobId = jobId;
    m_used = 0;
    m_anyBytes = false;
    m_state = JobState::Sending;
    return true;
}

bool CupsQueue::Write(std::span<const uint8_t> bytes) {
    if (m_state != JobState::Sending) {
        m_lastError = "no job is running on this queue";
        return false;
    }
    m_anyBytes = m_anyBytes || !bytes.empty();
    // The printer channel writes one byte per call; keep that path short.
    if (bytes.size() == 1 && m_used + 1 < kBlockBytes) {
        m_block[m_used++] = bytes[0];
        return true;
    }
    while (!bytes.empty()) {
        const size_t n = std::min(kBlockBytes - m_used, bytes.size());
        std::memcpy(m_block.get() + m_used, bytes.data(), n);
        m_used += n;
        bytes = bytes.subspan(n);
        if (m_used == kBlockBytes && !Flush()) {
            return false;
        }
    }
    return true;
}

bool CupsQueue::Flush() {
    if (m_used == 0) {
        return true;
    }
    const http_status_t status =
        cupsWriteRequestData(m_http.get(), reinterpret_cast<const char*>(m_block.get()), m_used);
    m_used = 0;
    if (status != HTTP_STATUS_CONTINUE) {
        // The words of the refused block, taken before the cancel that follows.
        NoteCupsError("CUPS refused the document's bytes");
        if (cupsLastError() < IPP_STATUS_REDIRECTION_OTHER_SITE) {
            m_lastError += std::string(": ") + httpStatus(status);
        }
        Abandon();
        return false;
    }
    return true;
}

bool CupsQueue::EndJob() {
    if (m_state == JobState::Cancelled) {
        // The failure that cancelled the job has left its words already.
        if (m_lastError.empty()) {
            m_lastError = "the job was cancelled";
        }
        m_state = JobState::None;
        return false;
    }
    if (m_state != JobState::Sending) {
        m_lastError = "no job is running on this queue";
        return false;
    }
    m_lastError.clear();
    if (!m_anyBytes) {
        // An empty document has nothing for the printer, and the scheduler
        // takes no empty document: withdraw the job, and the document has
        // been delivered as it was, empty.
        Abandon();
        m_state = JobState::None;
        return true;
    }
    if (!Flush()) {
        m_state = JobState::None;
        return false;
    }
    const ipp_status_t status = cupsFinishDocument(m_http.get(), m_queueName.c_str());
    if (status >= IPP_STATUS_REDIRECTION_OTHER_SITE) {
        NoteCupsError("CUPS did not take the whole document");
        // CUPS holds the document back until it is whole, so cancelling now
        // still keeps the printer from getting any of it.
        Abandon();
        m_state = JobState::None;
        return false;
    }
    m_state = JobState::None;
    m_jobId = 0;
    m_http.reset();
    return true;
}

void CupsQueue::CancelJob() {
    if (m_state == JobState::Sending) {
        Abandon();
    }
    m_state = JobState::None;
}

// Cancels the current job. The connection may be in the middle of the
// document's request, so it is dropped (the scheduler then discards the
// partial document) and the cancel goes over a fresh one.
void CupsQueue::Abandon() {
    m_used = 0;
    m_http.reset();
    if (const CupsConnection http = ConnectToCups(); http != nullptr && m_jobId > 0) {
        cupsCancelJob2(http.get(), m_queueName.c_str(), m_jobId, 0);
    }
    m_jobId = 0;
    m_state = JobState::Cancelled;
}

std::optional<DriverValue> CupsQueue::GetDriverData(std::string_view valueName) {
    return m_store.Get(valueName);
}

bool CupsQueue::SetDriverData(std::string_view valueName, uint32_t type,
                              std::span<const uint8_t> bytes) {
    if (m_access != QueueAccess::Full) {
        m_lastError = "the queue was opened without full access";
        return false;
    }
    if (!m_store.Set(valueName, type, bytes)) {
        m_lastError = "cannot store the driver data " + std::string(valueName);
        return false;
    }
    return true;
}

} // namespace tessaline
