// SPDX-License-Identifier: MIT
#pragma once

#include "platform/DriverDataStore.h"
#include "platform/Spooler.h"
#include "platform/UserFolders.h"
#include "platform/virtual/VirtualPrinterFolder.h"
#include "platform/virtual/VirtualPrinterStore.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace tessaline {

// An open virtual printer. Bytes gather in memory; the printer works on the
// job when it ends, so an abandoned job leaves no trace at all.
class VirtualPrinterQueue : public SpoolerQueue {
public:
    // `driverLogos`: the queue's driver prints the driver record's logo
    // commands with every job but Tessaline's own, as the CUPS backend
    // `tessaline` does.
    VirtualPrinterQueue(std::filesystem::path folder, QueueAccess access, bool driverLogos = true);
    ~VirtualPrinterQueue() override = default;

    Result<void> StartRawJob(std::string_view documentName, std::string_view dataType) override;
    Result<void> Write(std::span<const uint8_t> bytes) override;
    // A failed job gives the printer's own words, as its log has them.
    Result<void> EndJob() override;
    void CancelJob() override;
    std::optional<DriverValue> GetDriverData(std::string_view valueName) override;
    // Only a queue opened with full access may change driver data.
    Result<void> SetDriverData(std::string_view valueName, uint32_t type,
                               std::span<const uint8_t> bytes) override;

    // What the last EndJob came to: its number, pieces of paper, or why it failed.
    const DeliveredJob& LastJob() const { return m_lastJob; }

private:
    VirtualPrinterFolder m_folder;
    DriverDataStore m_driverData;
    QueueAccess m_access;
    bool m_driverLogos;
    std::optional<SpooledJob> m_job;
    DeliveredJob m_lastJob;
};

// The virtual printers under Tessaline's data folder, as spooler queues.
class VirtualPrinterBackend : public SpoolerBackend {
public:
    explicit VirtualPrinterBackend(std::filesystem::path dataHome = TessalineDataHome());

    // Printers with damaged settings are listed too; opening them fails.
    QueueList ListQueues() override;
    // Fails for a name not installed or with damaged settings, and with full
    // access when the printer's driver-data folder cannot be written.
    Result<std::unique_ptr<SpoolerQueue>> Open(std::string_view name, QueueAccess access) override;
    Result<std::unique_ptr<VirtualPrinterQueue>> OpenVirtualPrinter(std::string_view name,
                                                                    QueueAccess access);

    const VirtualPrinterStore& Store() const { return m_store; }

private:
    VirtualPrinterStore m_store;
};

} // namespace tessaline
