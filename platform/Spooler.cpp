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
        if (all.status && !one.status) {
            all.status = one.status;
        }
        all.names.insert(all.names.end(), one.names.begin(), one.names.end());
    }
    return all;
}

Result<std::unique_ptr<SpoolerQueue>> Spooler::Open(std::string_view name,
                                                    QueueAccess access) const {
    for (const auto& backend : m_backends) {
        const QueueList list = backend->ListQueues();
        if (std::find(list.names.begin(), list.names.end(), name) != list.names.end()) {
            return backend->Open(name, access);
        }
    }
    return Result<std::unique_ptr<SpoolerQueue>>::Fail("no printer is named exactly \"" +
                                                       std::string(name) + "\"");
}

} // namespace tessaline
