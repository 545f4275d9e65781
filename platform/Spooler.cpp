// SPDX-License-Identifier: MIT
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
        if (all.reached && !one.reached) {
            all.reached = one.reached;
        }
        all.names.insert(all.names.end(), one.names.begin(), one.names.end());
    }
    return all;
}

QueueList Spooler::ListQueuesBeginningWith(std::string_view name) const {
    QueueList found;
    for (const auto& backend : m_backends) {
        QueueList one = backend->ListQueues();
        if (found.status && !one.status) {
            found.status = one.status;
        }
        if (found.reached && !one.reached) {
            found.reached = one.reached;
        }
        for (std::string& listed : one.names) {
            if (backend->NameBeginsWith(listed, name)) {
                found.names.push_back(std::move(listed));
            }
        }
    }
    return found;
}

Result<std::unique_ptr<SpoolerQueue>> Spooler::Open(std::string_view name,
                                                    QueueAccess access) const {
    for (const auto& backend : m_backends) {
        const QueueList list = backend->ListQueues();
        const auto listed =
            std::find_if(list.names.begin(), list.names.end(),
                         [&](const std::string& one) { return backend->NameIs(one, name); });
        if (listed != list.names.end()) {
            return backend->Open(*listed, access);
        }
    }
    return Result<std::unique_ptr<SpoolerQueue>>::Fail("no printer is named exactly \"" +
                                                       std::string(name) + "\"");
}

} // namespace tessaline
