// SPDX-License-Identifier: MIT
#include "platform/virtual/VirtualPrinterBackend.h"

#include "platform/DriverLogos.h"

namespace tessaline {

VirtualPrinterQueue::VirtualPrinterQueue(std::filesystem::path folder, QueueAccess access,
                                         bool driverLogos)
    : m_folder(folder), m_driverData(folder / "driver-data"), m_access(access),
      m_driverLogos(driverLogos) {}

Result<void> VirtualPrinterQueue::StartRawJob(std::string_view documentName,
                                              std::string_view dataType) {
    if (m_job) {
        return Result<void>::Fail("a job is already running on this queue");
    }
    m_job = SpooledJob{std::string(documentName), std::string(dataType), {}};
    return {};
}

Result<void> VirtualPrinterQueue::Write(std::span<const uint8_t> bytes) {
    if (!m_job) {
        return Result<void>::Fail("no job is running on this queue");
    }
    m_job->bytes.insert(m_job->bytes.end(), bytes.begin(), bytes.end());
    return {};
}

Result<void> VirtualPrinterQueue::EndJob() {
    if (!m_job) {
        return Result<void>::Fail("no job is running on this queue");
    }
    if (m_driverLogos && !IsTessalineJob(m_job->document)) {
        const DriverLogoCommands logos = ReadDriverLogos(m_driverData.Get("TTY DeviceConfig"));
        if (logos.Any()) {
            m_job->bytes = WithDriverLogos(m_job->bytes, logos);
        }
    }
    m_lastJob = m_folder.Deliver(*m_job, TodayLocal());
    m_job.reset();
    return m_lastJob.status;
}

void VirtualPrinterQueue::CancelJob() {
    m_job.reset();
}

std::optional<DriverValue> VirtualPrinterQueue::GetDriverData(std::string_view valueName) {
    return m_driverData.Get(valueName);
}

Result<void> VirtualPrinterQueue::SetDriverData(std::string_view valueName, uint32_t type,
                                                std::span<const uint8_t> bytes) {
    if (m_access != QueueAccess::Full) {
        return Result<void>::Fail("the queue was opened without full access");
    }
    if (!m_driverData.Set(valueName, type, bytes)) {
        return Result<void>::Fail("cannot store \"" + std::string(valueName) + "\" in " +
                                  m_driverData.Folder().string());
    }
    return {};
}

VirtualPrinterBackend::VirtualPrinterBackend(std::filesystem::path dataHome)
    : m_store(std::move(dataHome)) {}

QueueList VirtualPrinterBackend::ListQueues() {
    QueueList list;
    bool read = true;
    for (const VirtualPrinterInfo& info : m_store.List(&read)) {
        list.names.push_back(info.name);
    }
    if (!read) {
        list.status = Result<void>::Fail("cannot read " + m_store.PrintersFolder().string());
    }
    return list;
}

Result<std::unique_ptr<SpoolerQueue>> VirtualPrinterBackend::Open(std::string_view name,
                                                                  QueueAccess access) {
    return OpenVirtualPrinter(name, access);
}

Result<std::unique_ptr<VirtualPrinterQueue>>
VirtualPrinterBackend::OpenVirtualPrinter(std::string_view name, QueueAccess access) {
    using R = Result<std::unique_ptr<VirtualPrinterQueue>>;
    const auto info = m_store.Find(name);
    if (!info) {
        return R::Fail("no virtual printer named \"" + std::string(name) + "\"");
    }
    if (!info->problem.empty()) {
        return R::Fail("the virtual printer \"" + std::string(name) +
                       "\" has damaged settings: " + info->problem);
    }
    const std::filesystem::path folder = m_store.PrinterFolder(name);
    if (access == QueueAccess::Full && !DriverDataStore(folder / "driver-data").Writable()) {
        return R::Fail("cannot write " + (folder / "driver-data").string());
    }
    return std::make_unique<VirtualPrinterQueue>(folder, access, info->model.driverLogos);
}

} // namespace tessaline
