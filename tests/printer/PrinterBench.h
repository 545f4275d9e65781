#pragma once

// A spooler with one recording backend, and a context that records the
// Progress events, messages and pauses of an operation.

#include "RecordingSpooler.h"
#include "printer/PrinterOperation.h"

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tessaline::test {

// "1C 70 01 30" -> bytes.
inline std::vector<uint8_t> Hex(const std::string& text) {
    std::istringstream in(text);
    std::vector<uint8_t> out;
    std::string byte;
    while (in >> byte) {
        out.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    }
    return out;
}

inline std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

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
            .failure = &failure,
        };
    }

    std::shared_ptr<RecordingSpooler> rec;
    Spooler spooler;
    std::vector<int32_t> progress;
    std::vector<std::pair<std::string, std::string>> messages;
    std::string failure = "not set"; // why the last operation failed
};

} // namespace tessaline::test
