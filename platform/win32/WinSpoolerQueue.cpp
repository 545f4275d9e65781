// SPDX-License-Identifier: MIT
#include "WinSpoolerQueue.h"

#include "platform/win32/SystemError.h"
#include "platform/win32/WinSpoolerBackend.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>
#include <winspool.h>

namespace tessaline::win32 {

WinSpoolerQueue::WinSpoolerQueue(UniquePrinter printer)
    : m_printer(std::move(printer)), m_block(std::make_unique<uint8_t[]>(kBlockBytes)) {}

WinSpoolerQueue::~WinSpoolerQueue() {
    if (m_state == JobState::Sending) {
        Abandon();
    }
}

namespace {

// The system's words for `error`, with `context` before them.
Result<void> Fail(const char* context, DWORD error) {
    return Result<void>::Fail(std::string(context) + ": " + SystemErrorText(error));
}

} // namespace

std::string JobStatusFailure(uint32_t status, std::string_view spoolerWords) {
    const char* state = nullptr;
    if ((status & (JOB_STATUS_DELETING | JOB_STATUS_DELETED)) != 0) {
        state = "the job was deleted";
    } else if ((status & JOB_STATUS_ERROR) != 0) {
        state = "the job is in error";
    } else if ((status & JOB_STATUS_BLOCKED_DEVQ) != 0) {
        state = "the job is blocked";
    }
    if (state == nullptr) {
        return {};
    }
    return spoolerWords.empty() ? std::string(state)
                                : std::string(spoolerWords) + " (" + state + ")";
}

Result<void> WinSpoolerQueue::StartRawJob(std::string_view documentName,
                                          std::string_view dataType) {
    if (m_state == JobState::Sending) {
        return Result<void>::Fail("a job is already running on this printer");
    }
    std::string document(documentName);
    std::string type(dataType);
    DOC_INFO_1A info{};
    info.pDocName = document.data();
    info.pOutputFile = nullptr;
    info.pDatatype = type.data();
    m_job = ::StartDocPrinterA(m_printer.get(), 1, reinterpret_cast<LPBYTE>(&info));
    if (m_job == 0) {
        return Fail("the spooler refused the document", ::GetLastError());
    }
    m_used = 0;
    m_cancelled.clear();
    m_state = JobState::Sending;
    return {};
}

Result<void> WinSpoolerQueue::Write(std::span<const uint8_t> bytes) {
    if (m_state != JobState::Sending) {
        return Result<void>::Fail("no job is running on this printer");
    }
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

Result<void> WinSpoolerQueue::Flush() {
    size_t done = 0;
    while (done < m_used) {
        DWORD written = 0;
        const auto size = static_cast<DWORD>(m_used - done);
        if (::WritePrinter(m_printer.get(), m_block.get() + done, size, &written) == 0 ||
            written == 0) {
            const DWORD error = ::GetLastError();
            Result<void> failed = Fail("the spooler refused the document's bytes",
                                       error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
            Abandon();
            m_cancelled = failed.Reason();
            return failed;
        }
        done += written;
    }
    m_used = 0;
    return {};
}

Result<void> WinSpoolerQueue::EndJob() {
    if (m_state == JobState::Cancelled) {
        // The failure that aborted the job has said why already.
        m_state = JobState::None;
        return Result<void>::Fail(m_cancelled.empty() ? "the job was cancelled" : m_cancelled);
    }
    if (m_state != JobState::Sending) {
        return Result<void>::Fail("no job is running on this printer");
    }
    if (Result<void> flushed = Flush(); !flushed) {
        m_state = JobState::None;
        return flushed;
    }
    m_state = JobState::None;
    // The spooler says here whether it took the job: a port it cannot reach
    // fails now, after every byte was accepted.
    if (::EndDocPrinter(m_printer.get()) == 0) {
        const DWORD error = ::GetLastError();
        ::AbortPrinter(m_printer.get());
        return Fail("the spooler did not take the whole document", error);
    }
    return CheckEndedJob();
}

Result<void> WinSpoolerQueue::CheckEndedJob() const {
    // A spooler that has the job no more (printed already), or that answers
    // nothing, accepted it: delivering it is the spooler's affair.
    DWORD needed = 0;
    ::GetJobA(m_printer.get(), m_job, 1, nullptr, 0, &needed);
    if (needed < sizeof(JOB_INFO_1A)) {
        return {};
    }
    std::vector<BYTE> buffer(needed);
    if (::GetJobA(m_printer.get(), m_job, 1, buffer.data(), needed, &needed) == 0) {
        return {};
    }
    const auto* job = reinterpret_cast<const JOB_INFO_1A*>(buffer.data());
    const std::string failure = JobStatusFailure(
        job->Status, job->pStatus != nullptr ? std::string_view(job->pStatus) : std::string_view());
    if (!failure.empty()) {
        return Result<void>::Fail("the spooler will not deliver the job: " + failure);
    }
    return {};
}

void WinSpoolerQueue::CancelJob() {
    if (m_state == JobState::Sending) {
        Abandon();
    }
    m_state = JobState::None;
}

// Aborts the current job: the spooler deletes what it holds of it, so the
// printer gets nothing partial.
void WinSpoolerQueue::Abandon() {
    m_used = 0;
    ::AbortPrinter(m_printer.get());
    m_state = JobState::Cancelled;
}

std::optional<DriverValue> WinSpoolerQueue::GetDriverData(std::string_view valueName) {
    std::string name(valueName);
    DWORD type = 0;
    DWORD needed = 0;
    DWORD status = ::GetPrinterDataA(m_printer.get(), name.data(), &type, nullptr, 0, &needed);
    if (status != ERROR_MORE_DATA && status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DriverValue value;
    value.bytes.resize(needed);
    status =
        ::GetPrinterDataA(m_printer.get(), name.data(), &type, value.bytes.data(), needed, &needed);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(std::min<size_t>(needed, value.bytes.size()));
    value.type = static_cast<uint32_t>(type);
    return value;
}

Result<void> WinSpoolerQueue::SetDriverData(std::string_view valueName, uint32_t type,
                                            std::span<const uint8_t> bytes) {
    if (bytes.size() > UINT_MAX) {
        return Fail("cannot store the printer's driver data", ERROR_INVALID_PARAMETER);
    }
    std::string name(valueName);
    // SetPrinterDataA takes a non-const buffer but only reads it.
    const DWORD status =
        ::SetPrinterDataA(m_printer.get(), name.data(), type, const_cast<LPBYTE>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
    if (status != ERROR_SUCCESS) {
        return Fail("cannot store the printer's driver data", status);
    }
    return {};
}

} // namespace tessaline::win32
