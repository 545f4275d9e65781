#pragma once

#include "platform/virtual/EscPosEmulator.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

// The conditions a virtual printer reports, one word a line in the file
// "status" of its folder: offline, cover-open, paper-end, paper-near-end,
// cutter-error, unrecoverable-error. No file, or "ready", is ready.
inline constexpr const char* kStatusFileName = "status";

// The side of a virtual printer that talks back on a connection: it follows
// the bytes as they arrive, answers the real-time status, identification and
// NV graphics questions from the printer's state, and keeps the rest as the
// job that the emulator runs when the connection ends.
class PrinterResponder {
public:
    PrinterResponder(std::string name, PrinterModel model, std::filesystem::path folder)
        : m_name(std::move(name)), m_model(model), m_folder(std::move(folder)) {}

    // Takes the next bytes of the connection; returns the replies to send back.
    std::vector<uint8_t> Feed(std::span<const uint8_t> bytes);
    // Every byte received, questions included, as the emulator takes them.
    const std::vector<uint8_t>& Job() const { return m_job; }
    // True while everything received was questions: no job to run.
    bool OnlyQuestions() const { return m_onlyQuestions; }

private:
    // Handles the command at the front of m_pending; false when it needs more bytes.
    bool Step(std::vector<uint8_t>& replies);
    void Consume(size_t count, bool question);
    uint8_t StatusByte(uint8_t n) const;
    void Identify(uint8_t n, std::vector<uint8_t>& replies) const;

    std::string m_name;
    PrinterModel m_model;
    std::filesystem::path m_folder;
    std::vector<uint8_t> m_job;
    std::vector<uint8_t> m_pending;
    uint64_t m_skip = 0;       // bytes of image data still to pass by
    unsigned m_imagesLeft = 0; // FS q definitions whose header is still to come
    bool m_onlyQuestions = true;
};

} // namespace tessaline
