// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <chrono>
#include <string>

namespace tessaline {

// How long a raw job is followed after CUPS took it: TESSALINE_CUPS_WAIT in
// whole seconds where it is set (0: not followed at all), 20 s otherwise.
std::chrono::milliseconds CupsJobWait();

// Follows job `jobId` of the queue `queueName` until CUPS reports it
// completed, for at most `wait`. Fails with CUPS's own words when the job was
// aborted, cancelled or held or the queue is stopped; fails with the code
// kSpoolerJobQueued (platform/Spooler.h) and the queue's state when the job is
// still waiting at the deadline.
Result<void> FollowCupsJob(const std::string& queueName, int jobId, std::chrono::milliseconds wait);

} // namespace tessaline
