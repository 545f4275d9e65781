#include "platform/virtual/VirtualPrinterBackend.h"

namespace tessaline {

VirtualPrinterQueue::VirtualPrinterQueue(std::filesystem::path folder, QueueAccess access)
    : m_folder(folder), m_driverData(folder / "driver-data"), m_access(access) {}

bool VirtualPrinterQueue::Fail(std::string why) {
    m_lastError = std::move(why);
    return false;
}

bool VirtualPrinterQueue::StartRawJob(std::string_view documentName, std::string_view dataType) {
    if (m_job) {
        return Fail("a job is already running on this queue");
    }
    m_job = SpooledJob{std::string(documentName), std::string(dataType), {}};
    return true;
}

bool VirtualPrinterQueue::Write(std::span<const uint8_t> bytes) {
    if (!m_job) {
        return Fail("no job is running on this queue");
    }
    m_job->bytes.insert(m_job->bytes.end(), bytes.begin(), bytes.end());
    return true;
}

bool VirtualPrinterQueue::EndJob() {
    if (!m_job) {
        return Fail("no job is running on this queue");
    }
    m_lastJob = m_folder.Deliver(*m_job, TodayLocal());
    m_job.reset();
    return m_lastJob.status.Ok() || Fail(m_lastJob.status.Reason());
}

void VirtualPrinterQueue::CancelJob() {
    m_job.reset();
}

std::optional<DriverValue> VirtualPrinterQueue::GetDriverData(std::string_view valueName) {
    return m_driverData.Get(valueName);
}

bool VirtualPrinterQueue::SetDriverData(std::string_view valueName, uint32_t type,
                                        std::span<const uint8_t> bytes) {
    if (m_access != QueueAccess::Full) {
        return Fail("the queue was opened without full access");
    }
    return m_driverData.Set(valueName, type, bytes) ||
           Fail("cannot store \"" + std::string(valueName) + "\" in " +
                m_driverData.Folder().string());
}

VirtualPrinterBackend::VirtualPrinterBackend(std::filesystem::path dataHome)
    : m_store(std::move(dataHome)) {}

QueueList VirtualPrinterBackend::ListQueues() {
    QueueList list;
    for (const VirtualPrinterInfo& info : m_store.List(&list.ok)) {
        list.names.push_back(info.name);
    }
    if (!list.ok) {
        m_lastError = "cannot read " + m_store.PrintersFolder().string();
    }
    return list;
}

std::unique_ptr<SpoolerQueue> VirtualPrinterBackend::Open(std::string_view name,
                                                          QueueAccess access) {
    return OpenPrinter(name, access);
}

std::unique_ptr<VirtualPrinterQueue> VirtualPrinterBackend::OpenPrinter(std::string_view name,
                                                                        QueueAccess access) {
    const auto info = m_store.Find(name);
    if (!info) {
        m_lastError = "no virtual printer named \"" + std::string(name) + "\"";
        return nullptr;
    }
    if (!info->problem.empty()) {
        m_lastError = "the virtual printer \"" + std::string(name) +
                      "\" has damaged settings: " + info->problem;
        return nullptr;
    }
    const std::filesystem::path folder = m_store.PrinterFolder(name);
    if (access == QueueAccess::Full && !DriverDataStore(folder / "driver-data").Writable()) {
        m_lastError = "cannot write " + (folder / "driver-data").string();
        return nullptr;
    }
    return std::make_unique<VirtualPrinterQueue>(folder, access);
}

} // namespace tessaline
