// SPDX-License-Identifier: MIT
// The Star half of the responder: what a Star Line Mode or StarPRNT printer
// answers while the bytes arrive.
#include "escpos/PrinterResponder.h"

#include <algorithm>
#include <string_view>

namespace tessaline {

namespace {

constexpr uint8_t kEsc = 0x1B;

// Condition words of the status file, each with its bits in printer status
// bytes 1 to 4 (the third to sixth bytes of the automatic status).
struct StarCondition {
    const char* word;
    uint8_t bits[4];
};

constexpr StarCondition kStarConditions[] = {
    {"offline", {0x08, 0x00, 0x00, 0x00}},      {"cover-open", {0x28, 0x00, 0x00, 0x00}},
    {"paper-end", {0x08, 0x00, 0x00, 0x08}},    {"paper-near-end", {0x00, 0x00, 0x00, 0x04}},
    {"cutter-error", {0x08, 0x08, 0x00, 0x00}}, {"unrecoverable-error", {0x08, 0x20, 0x00, 0x00}},
};

// The most keys one ESC GS ) L key list carries.
constexpr size_t kMaxStarKeys = 512;

} // namespace

std::vector<uint8_t> PrinterResponder::StarStatus() const {
    // Header 1 for nine bytes, header 2 for version 3, then printer status 1 to 7.
    std::vector<uint8_t> status = {0x23, 0x06, 0, 0, 0, 0, 0, 0, 0};
    if (!m_state.conditions) {
        return status;
    }
    const std::string text = m_state.conditions();
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t end = std::min(rest.find_first_of("\r\n \t"), rest.size());
        const std::string_view word = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        for (const StarCondition& c : kStarConditions) {
            if (word == c.word) {
                for (size_t i = 0; i < 4; ++i) {
                    status[2 + i] = static_cast<uint8_t>(status[2 + i] | c.bits[i]);
                }
            }
        }
    }
    return status;
}

void PrinterResponder::StarTransmit(uint8_t fn, uint8_t kc1, uint8_t kc2,
                                    std::vector<uint8_t>& replies) const {
    const NvMemory memory = m_state.memory ? m_state.memory() : NvMemory{};
    const uint8_t head[] = {kEsc, 0x1D, 0x29, 0x4C, 0x03, 0x00, fn};
    replies.insert(replies.end(), std::begin(head), std::end(head));
    if (fn == 50) {
        const size_t keys = std::min(memory.graphics.size(), kMaxStarKeys);
        const size_t count = keys * 2 + 2; // the keys, then LF NUL
        replies.push_back(static_cast<uint8_t>(count & 0xFF));
        replies.push_back(static_cast<uint8_t>(count >> 8));
        for (size_t k = 0; k < keys; ++k) {
            replies.insert(replies.end(), memory.graphics[k].key.begin(),
                           memory.graphics[k].key.end());
        }
    } else {
        replies.push_back(kc1);
        replies.push_back(kc2);
        const std::string key{static_cast<char>(kc1), static_cast<char>(kc2)};
        const auto found = std::find_if(memory.graphics.begin(), memory.graphics.end(),
                                        [&key](const NvGraphic& g) { return g.key == key; });
        if (found != memory.graphics.end()) {
            const uint8_t size[] = {1,
                                    static_cast<uint8_t>(found->width & 0xFF),
                                    static_cast<uint8_t>(found->width >> 8),
                                    static_cast<uint8_t>(found->height & 0xFF),
                                    static_cast<uint8_t>(found->height >> 8),
                                    49};
            replies.insert(replies.end(), std::begin(size), std::end(size));
            replies.insert(replies.end(), found->rows.begin(), found->rows.end());
        }
    }
    replies.push_back(0x0A);
    replies.push_back(0x00);
}

bool PrinterResponder::StarStep(std::vector<uint8_t>& replies) {
    // The bytes from the next command on; read only before RunBeforeQuestion,
    // which moves them.
    const std::span<const uint8_t> pending(m_job.data() + m_at, m_job.size() - m_at);
    const size_t have = pending.size();
    if (pending[0] != kEsc) {
        Consume(1, false);
        return true;
    }
    if (have < 3) {
        return false;
    }
    const uint8_t b = pending[1];
    const uint8_t c = pending[2];
    if (b == 0x06 && c == 0x01) {
        RunBeforeQuestion();
        const auto status = StarStatus();
        replies.insert(replies.end(), status.begin(), status.end());
        Consume(3, true);
        return true;
    }
    if (b == 0x23 && c == 0x2A) {
        if (have < 5) {
            return false;
        }
        if (pending[3] == 0x0A && pending[4] == 0x00) {
            RunBeforeQuestion();
            const std::string version = m_model.language == PrinterLanguage::StarPrnt
                                            ? "VSTAR-PRNT Ver1.0"
                                            : "VSTAR-LINE Ver1.0";
            const uint8_t head[] = {kEsc, 0x23, 0x2A, 0x2C};
            replies.insert(replies.end(), std::begin(head), std::end(head));
            replies.insert(replies.end(), version.begin(), version.end());
            replies.push_back(0x0A);
            replies.push_back(0x00);
            Consume(5, true);
            return true;
        }
        Consume(3, false);
        return true;
    }
    if (b == 0x1C && c == 0x71) { // ESC FS q n: the definitions follow
        if (have < 4) {
            return false;
        }
        m_imagesLeft = pending[3];
        Consume(4, false);
        return true;
    }
    if (b == 0x1D && (c == 0x28 || c == 0x38 || c == 0x29)) {
        // ESC GS ( L pL pH, ESC GS 8 L p1 p2 p3 p4, ESC GS ) L pL pH: the count
        // says how much follows, never read as commands.
        const size_t countBytes = c == 0x38 ? 4 : 2;
        if (have < 4 + countBytes) {
            return false;
        }
        uint64_t count = 0;
        for (size_t i = 0; i < countBytes; ++i) {
            count |= uint64_t{pending[4 + i]} << (8 * i);
        }
        const size_t head = 4 + countBytes;
        if (c == 0x29 && pending[3] == 0x4C && count == 3) {
            if (have < head + 3) {
                return false;
            }
            const uint8_t fn = pending[head];
            if (fn == 50 || fn == 51) {
                const uint8_t kc1 = pending[head + 1];
                const uint8_t kc2 = pending[head + 2];
                RunBeforeQuestion();
                if (m_model.nvGraphics != 0 && (fn == 50 || m_model.graphicData)) {
                    StarTransmit(fn, kc1, kc2, replies);
                }
                Consume(head + 3, true);
                return true;
            }
        }
        Consume(head, false);
        m_skip = count;
        return true;
    }
    if (b == 0x1D && c == 0x79) { // ESC GS y D 1 m nL nH: QR data
        if (have < 8) {
            return false;
        }
        if (pending[3] == 0x44) {
            const uint64_t length = uint64_t{pending[6]} | uint64_t{pending[7]} << 8;
            Consume(8, false);
            m_skip = length;
            return true;
        }
    }
    Consume(2, false);
    return true;
}

} // namespace tessaline
