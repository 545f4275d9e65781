// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Spooler.h"
#include "platform/connection/PrinterConnection.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace tessaline {

// Shows a message to the user: text, caption (OK button only).
using MessageFn = std::function<void(const std::string& text, const std::string& caption)>;

// How often a Star printer that says it is off-line after an NV write is asked again.
inline constexpr std::chrono::milliseconds kStarOfflineAskEvery{1000};

// The description every raw document carries.
struct LogoDocumentInfo {
    const char* docName = "Logo";
    const char* outputFile = nullptr;
    const char* dataType = "RAW";
};

// The road to the printer: one raw document on one spooler queue, or one job
// on a printer reached directly by its address, at a time, open only while a
// printer operation runs.
class CPrinterChannel {
public:
    explicit CPrinterChannel(const Spooler& spooler) : m_spooler(spooler) {}
    CPrinterChannel(const CPrinterChannel&) = delete;
    CPrinterChannel& operator=(const CPrinterChannel&) = delete;

    // Number of installed queues whose name begins with `name` as the spooler
    // compares names (byte-wise here, without regard to case on Windows); 0 when none or when the
    // enumeration failed, in which case `onFailure` is told "EnumPrinters() failed".
    int32_t CountInstalledPrinters(const std::string& name, const MessageFn& onFailure) const;
    // 1 when the raw document "Logo" was started on the named queue, or the
    // printer at the address (IsPrinterAddress) was reached; 0 otherwise.
    int OpenLogoDocument(const std::string& name);
    // 1 when every byte was accepted, 0 at the first refused one (the rest is
    // not sent). Hands the spooler one byte per call; a printer reached
    // directly gets each call's bytes in one piece.
    int WriteRawBytes(std::span<const uint8_t> bytes);
    // Ends the job and closes the queue; 1 when the job was handed over whole.
    int CloseLogoDocument();
    // Abandons the job, so the printer gets nothing partial where the spooler
    // still allows that, and closes the queue.
    void CancelLogoDocument();

    // For a printer reached by its address: asks its status (DLE EOT 1, or a
    // Star printer's automatic status, ESC ACK SOH) and waits up to `wait` for
    // the answer, which a printer busy writing its NV memory gives only once
    // it is done. False when none came in time; fails when the connection did.
    // A Star printer is off-line until its registration is over and it has
    // initialised itself: it is asked again while it says so, and when it said
    // nothing else in time the conditions of its last answer go to `offline`.
    Result<bool> AwaitStatus(std::chrono::milliseconds wait, bool star = false,
                             std::string* offline = nullptr);

    bool IsOpen() const { return m_queue != nullptr || m_direct != nullptr; }
    // Why the last open, write or close failed: the queue's name and the
    // spooler's own words.
    const std::string& LastError() const { return m_lastError; }
    // True when the last CloseLogoDocument failed only because the spooler
    // holds the whole job still, not printed yet.
    bool JobStillQueued() const { return m_stillQueued; }

private:
    // Notes the spooler's words, or `otherwise` when it gave none.
    void NoteFailure(const std::string& words, const char* otherwise);

    const Spooler& m_spooler;
    std::unique_ptr<SpoolerQueue> m_queue;
    std::unique_ptr<PrinterConnection> m_direct;
    LogoDocumentInfo m_docInfo;
    std::string m_name;
    std::string m_lastError;
    bool m_stillQueued = false;
};

} // namespace tessaline
