// SPDX-License-Identifier: MIT
#include "platform/cups/CupsBackend.h"

#include "CupsQueue.h"
#include "CupsQueueList.h"
#include "platform/FileIo.h"
#include "platform/UserFolders.h"

#include <algorithm>
#include <cstdlib>
#include <cups/cups.h>

namespace tessaline {

CupsBackend::CupsBackend() : CupsBackend(TessalineDataHome() / "driver-data") {}

CupsBackend::CupsBackend(std::filesystem::path driverDataRoot)
    : m_driverDataRoot(std::move(driverDataRoot)) {}

QueueList CupsBackend::ListQueues() {
    std::string whyNot;
    const CupsConnection http = ConnectToCups(&whyNot);
    QueueList list;
    if (http == nullptr) {
        list.reached = Result<void>::Fail(std::move(whyNot));
        return list;
    }
    const auto queues = FetchCupsQueues(http.get());
    if (!queues) {
        list.status = Result<void>::Fail(cupsLastErrorString());
        return list;
    }
    for (const CupsQueueEntry& queue : *queues) {
        list.names.push_back(queue.listedName);
    }
    return list;
}

Result<std::unique_ptr<SpoolerQueue>> CupsBackend::Open(std::string_view name, QueueAccess access) {
    using R = Result<std::unique_ptr<SpoolerQueue>>;
    std::string whyNot;
    const CupsConnection http = ConnectToCups(&whyNot);
    if (http == nullptr) {
        return R::Fail(std::move(whyNot));
    }
    const auto queues = FetchCupsQueues(http.get());
    if (!queues) {
        return R::Fail(cupsLastErrorString());
    }
    const auto found = std::find_if(queues->begin(), queues->end(),
                                    [&](const CupsQueueEntry& q) { return q.listedName == name; });
    if (found == queues->end()) {
        return R::Fail("CUPS lists no queue under \"" + std::string(name) + "\"");
    }
    // A queue of the backend `tessaline` plays the driver's part: its record
    // lives beside the scheduler's configuration, where the backend reads it.
    const bool playsDriver = found->deviceUri.rfind("tessaline:", 0) == 0;
    const std::filesystem::path folder =
        playsDriver ? QueueRecordFolder(found->queueName) : DriverDataFolder(found->queueName);
    DriverDataStore store(folder);
    if (access == QueueAccess::Full && !store.Writable()) {
        if (playsDriver) {
            return R::Fail("only those who may administer the queue \"" + found->queueName +
                               "\" may change its driver record in " + folder.string(),
                           kSpoolerRecordDenied);
        }
        return R::Fail("cannot write the driver data folder " + folder.string());
    }
    return std::make_unique<CupsQueue>(found->queueName, access, std::move(store));
}

std::filesystem::path CupsBackend::DriverDataFolder(std::string_view queueName) const {
    return m_driverDataRoot / PlainFileName(queueName);
}

std::filesystem::path QueueRecordFolder(std::string_view queueName) {
    const char* root = std::getenv("CUPS_SERVERROOT");
    return std::filesystem::path(root != nullptr && *root != '\0' ? root : "/etc/cups") /
           "tessaline" / PlainFileName(queueName);
}

} // namespace tessaline
