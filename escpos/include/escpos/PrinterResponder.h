// SPDX-License-Identifier: MIT
#pragma once

#include "escpos/EscPosEmulator.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

// What the responder reads of the printer behind it when a question comes.
struct PrinterState {
    // The NV memory as it is now; none: empty.
    std::function<NvMemory()> memory;
    // The conditions the printer is in, words apart by blanks or line ends:
    // offline, cover-open, paper-end, paper-near-end, cutter-error,
    // unrecoverable-error; others, and "ready", add nothing. None: ready.
    std::function<std::string()> conditions;
};

// Runs bytes a connection delivered as one job of the emulator; true when
// they wrote the NV memory.
using RunReceived = std::function<bool(std::span<const uint8_t>)>;

// The side of a printer that talks back on a connection: it follows the
// bytes as they arrive, split by the same command table the interpreter uses, and answers the
// real-time status, identification, paper width and NV graphics questions (sizes, and the key list
// with its ACK, NAK and CAN handshake) from the printer's state. A printer works through its bytes
// in order, so the commands before a question are run (through `run`) before it is answered; what
// is left runs when the connection ends.
class PrinterResponder {
public:
    PrinterResponder(std::string name, PrinterModel model, PrinterState state, RunReceived run = {})
        : m_name(std::move(name)), m_model(model), m_state(std::move(state)),
          m_run(std::move(run)) {}

    // Takes the next bytes of the connection; returns the replies to send back.
    std::vector<uint8_t> Feed(std::span<const uint8_t> bytes);
    // The bytes received and not yet run, questions included, as the emulator takes them.
    const std::vector<uint8_t>& Job() const { return m_job; }
    // True while the bytes not yet run are all questions: no job to run.
    bool OnlyQuestions() const { return m_onlyQuestions; }

private:
    // Handles the piece at m_at; false when it needs more bytes.
    bool Step(std::vector<uint8_t>& replies);
    // Passes `count` bytes at m_at; `question`: they asked and changed nothing.
    void Consume(uint64_t count, bool question);
    // Runs the commands received before the question at m_at.
    void RunBeforeQuestion();
    uint8_t StatusByte(uint8_t n) const;
    void Identify(uint8_t n, std::vector<uint8_t>& replies) const;
    // Functions 48, 51 and 64 of GS ( L; false for one it does not answer.
    bool AnswerGraphics(uint8_t fn, std::vector<uint8_t>& replies);
    // GS ( E function 6 for value 3: the setting of the roll its paper width fits.
    void AnswerPaperWidth(std::vector<uint8_t>& replies) const;
    // Function 61 of FS ( E: what is set for the top (30) or bottom (31) logo.
    void AnswerLogo(uint8_t which, std::vector<uint8_t>& replies) const;
    // The host's answer to the key list block just sent; false for any other byte.
    bool KeyListAnswer(uint8_t byte, std::vector<uint8_t>& replies);
    // Step for a Star printer: the automatic status (ESC ACK SOH), the
    // version (ESC # * LF NUL) and the NV graphics transmit (ESC GS ) L).
    bool StarStep(std::vector<uint8_t>& replies);
    // The nine-byte automatic status of the conditions in force.
    std::vector<uint8_t> StarStatus() const;
    // ESC GS ) L function 50 (keys) or 51 (a graphic's data) for kc1 kc2.
    void StarTransmit(uint8_t fn, uint8_t kc1, uint8_t kc2, std::vector<uint8_t>& replies) const;

    std::string m_name;
    PrinterModel m_model;
    PrinterState m_state;
    RunReceived m_run;
    std::vector<uint8_t> m_job;
    size_t m_at = 0;           // where in m_job the next piece starts
    uint64_t m_skip = 0;       // bytes of a command's data still to come, passed by unread
    bool m_toEnd = false;      // a command whose length nothing tells: the rest is its data
    unsigned m_imagesLeft = 0; // Star logo definitions whose header is still to come
    bool m_onlyQuestions = true;
    std::vector<std::vector<uint8_t>> m_keyBlocks; // the key list being handed over
    size_t m_keyBlock = 0;                         // the block awaiting ACK, NAK or CAN
};

} // namespace tessaline
