// SPDX-License-Identifier: MIT
#pragma once

#include "CupsConnection.h"

#include <optional>
#include <string>
#include <vector>

namespace tessaline {

struct CupsQueueEntry {
    std::string listedName; // printer-info when not empty, else the queue name
    std::string queueName;  // printer-name, what CUPS requests address
    std::string deviceUri;  // device-uri, where the server has said
};

// The server's queues in the order it gives them; empty when no server answers
// at all, nothing when it answers the enumeration with an error.
std::optional<std::vector<CupsQueueEntry>> FetchCupsQueues(http_t* http);

} // namespace tessaline
