// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

namespace tessaline {

// The control's Progress event, raised on the calling thread.
using ProgressFn = std::function<void(int32_t data)>;
// A plain sleep of the calling thread; tests record it instead.
using SleepFn = std::function<void(std::chrono::milliseconds)>;

// How far a command stream got.
enum class StreamResult {
    Sent,        // every command went out
    Empty,       // there was nothing to send, and nothing was sent
    WriteFailed, // the spooler refused a byte; nothing followed it
    Refused,     // the input cannot be sent whole; nothing followed the last whole command
};

// One printer command, with the Progress value to raise once it has gone out
// (0: none).
struct StreamCommand {
    std::vector<uint8_t> bytes;
    int32_t progress = 0;
};

} // namespace tessaline
