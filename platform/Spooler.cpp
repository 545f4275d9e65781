#include "platform/Spooler.h"

#include <algorithm>

namespace tessaline {

void Spooler::Install(std::shared_ptr<SpoolerBackend> backend) {
    m_backends.push_back(std::move(backend));
}

QueueList Spooler::ListQueues() const {
    QueueList all;
    for (const auto& backend : m_backends) {
        QueueList one = backend->ListQueues();
        all.ok = all.ok && one.ok;
        all.names.insert(all.names.end(), one.names.begin(), one.names.end());
    }
    return all;
}

std::unique_ptr<SpoolerQueue> Spooler::Open(std::string_view name, QueueAccess access) const {
    m_lastError.clear();
    for (const auto& backend : m_backends) {
        const QueueList list = backend->ListQueues();
        if (std::find(list.names.begin(), list.names.end(), name) == list.names.end()) {
            continue;
        }
        std::unique_ptr<SpoolerQueue> queue = backend->Open(name, access);
        if (queue == nullptr) {
            m_lastError = backend->LastError();
        }
        return queue;
    }
    m_lastError = "no printer is named exactly \"" + std::string(name) + "\"";
    return nullptr;
}

} // namespace tessaline
