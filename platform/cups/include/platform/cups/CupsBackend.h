// SPDX-License-Identifier: MIT
#pragma once

#include "platform/Spooler.h"

#include <filesystem>
#include <memory>
#include <string_view>

namespace tessaline {

// The printer queues of the CUPS server that libcups finds by its own rules
// (CUPS_SERVER, the user's client.conf, else the local scheduler). A queue is
// listed under its description when it has one, else under its queue name,
// since CUPS queue names cannot hold blanks or "#". CUPS keeps no binary
// values for a queue, so driver data lives in a folder of ours per queue.
class CupsBackend final : public SpoolerBackend {
public:
    // Driver data under TessalineDataHome()/driver-data.
    CupsBackend();
    // Driver data under `driverDataRoot`, one folder per queue.
    explicit CupsBackend(std::filesystem::path driverDataRoot);

    // The server's queues in its own order; no queues when it cannot be
    // reached, and a failed status, in CUPS's words, when it answers the
    // enumeration with an error.
    QueueList ListQueues() override;
    // The queue listed under `name`. Fails, in CUPS's words or ours where CUPS
    // had none, when none is, or when full access is asked and the queue's
    // driver-data store cannot be written.
    Result<std::unique_ptr<SpoolerQueue>> Open(std::string_view name, QueueAccess access) override;

    // The folder that holds the driver data of the CUPS queue `queueName`.
    std::filesystem::path DriverDataFolder(std::string_view queueName) const;

private:
    std::filesystem::path m_driverDataRoot;
};

// Where the driver record of a queue of the backend `tessaline` (device URI
// tessaline:ADDRESS) lives: $CUPS_SERVERROOT (else /etc/cups)/tessaline/<queue>/,
// readable by the scheduler's backend user and writable only by those who may
// administer the scheduler; the backend reads it there with every job.
std::filesystem::path QueueRecordFolder(std::string_view queueName);

} // namespace tessaline
