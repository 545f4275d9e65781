// SPDX-License-Identifier: MIT
// Queues that play the driver's part: CUPS queues of the backend `tessaline`
// (device URI tessaline:ADDRESS), made, removed and listed through the
// scheduler's own administration requests, as lpadmin makes them. Failures
// carry CUPS's words.
#pragma once

#include "base/Result.h"

#include <string>
#include <vector>

namespace tessaline {

struct TessalineQueue {
    std::string name;
    std::string address; // the device URI without "tessaline:"
    std::string description;
};

// Creates (or changes) the raw queue NAME, without a filter, sending to
// `address` through the backend `tessaline`, enabled and accepting jobs.
Result<void> AddTessalineQueue(const std::string& name, const std::string& address,
                               const std::string& description);
// Deletes the queue NAME.
Result<void> RemoveTessalineQueue(const std::string& name);
// The server's queues of the backend `tessaline`, in its order.
Result<std::vector<TessalineQueue>> ListTessalineQueues();

} // namespace tessaline
