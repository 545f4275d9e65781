// SPDX-License-Identifier: MIT
#pragma once

// A spooler with one recording backend, and a context that records the
// Progress events, messages and pauses of an operation.

#include "platform/AtomicFile.h"
#include "printer/PrinterOperation.h"
#include "tests/support/Bytes.h"
#include "tests/support/RecordingSpooler.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tessaline::test {

struct PrinterBench {
    explicit PrinterBench(std::vector<std::string> queues = {"THERMAL #1"})
        : rec(std::make_shared<RecordingSpooler>(std::move(queues))) {
        spooler.Install(rec);
    }

    PrinterContext Context() {
        return PrinterContext{
            .spooler = spooler,
            .progress = [this](int32_t data) { progress.push_back(data); },
            .message = [this](const std::string& text,
                              const std::string& caption) { messages.emplace_back(text, caption); },
            .sleep = [this](std::chrono::milliseconds ms) { rec->Pause(ms); },
            .writePicture = ReplaceWholeFile,
        };
    }

    std::shared_ptr<RecordingSpooler> rec;
    Spooler spooler;
    std::vector<int32_t> progress;
    std::vector<std::pair<std::string, std::string>> messages;
};

} // namespace tessaline::test
