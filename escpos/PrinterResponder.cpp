// SPDX-License-Identifier: MIT
#include "escpos/PrinterResponder.h"

#include <algorithm>
#include <string_view>

namespace tessaline {

namespace {

// Condition words of the status file, each with its bits in DLE EOT 1 to 4.
struct Condition {
    const char* word;
    uint8_t bits[4];
};

constexpr Condition kConditions[] = {
    {"offline", {0x08, 0x00, 0x00, 0x00}},      {"cover-open", {0x08, 0x04, 0x00, 0x00}},
    {"paper-end", {0x08, 0x20, 0x00, 0x60}},    {"paper-near-end", {0x00, 0x00, 0x00, 0x0C}},
    {"cutter-error", {0x08, 0x40, 0x08, 0x00}}, {"unrecoverable-error", {0x08, 0x40, 0x20, 0x00}},
};

void AppendText(std::vector<uint8_t>& out, uint8_t first, const std::string& text) {
    out.push_back(first);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0x00);
}

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kCan = 0x18;
constexpr size_t kKeysPerBlock = 40;

// The key list as the printer hands it over: 37 72, 41h (more follow) or 40h
// (the last), up to 40 key pairs, 00; an empty list is one empty last block.
std::vector<std::vector<uint8_t>> KeyListBlocks(const NvMemory& memory) {
    std::vector<std::vector<uint8_t>> blocks;
    size_t next = 0;
    do {
        const size_t end = std::min(next + kKeysPerBlock, memory.graphics.size());
        std::vector<uint8_t> block = {
            0x37, 0x72, static_cast<uint8_t>(end < memory.graphics.size() ? 0x41 : 0x40)};
        for (; next < end; ++next) {
            block.insert(block.end(), memory.graphics[next].key.begin(),
                         memory.graphics[next].key.end());
        }
        block.push_back(0x00);
        blocks.push_back(std::move(block));
    } while (next < memory.graphics.size());
    return blocks;
}

} // namespace

std::vector<uint8_t> PrinterResponder::Feed(std::span<const uint8_t> bytes) {
    m_job.insert(m_job.end(), bytes.begin(), bytes.end());
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
    std::vector<uint8_t> replies;
    while (!m_pending.empty() && Step(replies)) {
    }
    if (!m_model.answers) {
        replies.clear();
    }
    return replies;
}

void PrinterResponder::Consume(size_t count, bool question) {
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(count));
    m_onlyQuestions = m_onlyQuestions && question;
}

bool PrinterResponder::Step(std::vector<uint8_t>& replies) {
    const size_t have = m_pending.size();
    if (m_skip > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(m_skip, have));
        m_skip -= n;
        Consume(n, false);
        return true;
    }
    if (m_imagesLeft > 0) {
        // Each definition: xL xH yL yH, then x × y × 8 bytes of raster.
        if (have < 4) {
            return false;
        }
        const uint64_t x = uint64_t{m_pending[0]} | uint64_t{m_pending[1]} << 8;
        const uint64_t y = uint64_t{m_pending[2]} | uint64_t{m_pending[3]} << 8;
        m_skip = x * y * 8;
        --m_imagesLeft;
        Consume(4, false);
        return true;
    }
    const uint8_t a = m_pending[0];
    if (!m_keyBlocks.empty()) {
        if (KeyListAnswer(a, replies)) {
            // The host's answer to the hand-over is no command: the job never sees it.
            m_job.erase(m_job.end() - static_cast<std::ptrdiff_t>(m_pending.size()));
            Consume(1, true);
            return true;
        }
        m_keyBlocks.clear(); // anything else ends the hand-over
    }
    if (m_model.language != PrinterLanguage::EscPos) {
        return StarStep(replies);
    }
    if (a != 0x10 && a != 0x1B && a != 0x1C && a != 0x1D) {
        Consume(1, false);
        return true;
    }
    if (have < 3) {
        return false;
    }
    const uint8_t b = m_pending[1];
    const uint8_t n = m_pending[2];
    // The data of pictures and codes is never read as commands: a question
    // there would split the job inside the picture.
    if (const auto data = PictureData(); data.has_value()) {
        if (*data == kNeedMore) {
            return false;
        }
        Consume(static_cast<size_t>(std::min<uint64_t>(*data, have)), false);
        if (*data > have) {
            m_skip = *data - have;
        }
        return true;
    }
    if (a == 0x10 && b == 0x04 && n >= 1 && n <= 4) {
        RunBeforeQuestion();
        replies.push_back(StatusByte(n));
        Consume(3, true);
        return true;
    }
    if (a == 0x1D && b == 0x49) {
        RunBeforeQuestion();
        Identify(n, replies);
        Consume(3, true);
        return true;
    }
    if (a == 0x1C && b == 0x71) {
        m_imagesLeft = n;
        Consume(3, false);
        return true;
    }
    if (a == 0x1D && b == 0x28 && n == 0x4C) {
        if (have < 5) {
            return false;
        }
        const size_t length = size_t{m_pending[3]} | size_t{m_pending[4]} << 8;
        // The questions: functions 48 and 51 (m fn), 64 (m fn "KC").
        if (length == 2 || length == 4) {
            if (have < 5 + length) {
                return false;
            }
            const uint8_t fn = m_pending[6];
            const bool sizes = length == 2 && (fn == 0x30 || fn == 0x33);
            const bool keys =
                length == 4 && fn == 0x40 && m_pending[7] == 'K' && m_pending[8] == 'C';
            if (m_pending[5] == 0x30 && (sizes || keys)) {
                RunBeforeQuestion();
                static_cast<void>(AnswerGraphics(fn, replies));
                Consume(5 + length, true);
                return true;
            }
        }
        m_skip = length;
        Consume(5, false);
        return true;
    }
    if (a == 0x1D && b == 0x38 && n == 0x4C) {
        // GS 8 L: a four-byte count; its data is never read as commands.
        if (have < 7) {
            return false;
        }
        m_skip = uint64_t{m_pending[3]} | uint64_t{m_pending[4]} << 8 |
                 uint64_t{m_pending[5]} << 16 | uint64_t{m_pending[6]} << 24;
        Consume(7, false);
        return true;
    }
    Consume(1, false);
    return true;
}

std::optional<uint64_t> PrinterResponder::PictureData() const {
    const size_t have = m_pending.size();
    const uint8_t a = m_pending[0];
    const uint8_t b = m_pending[1];
    const uint8_t m = m_pending[2];
    if (a == 0x1D && b == 0x76 && m == 0x30) { // GS v 0 m xL xH yL yH
        if (have < 8) {
            return kNeedMore;
        }
        return 8 + (uint64_t{m_pending[4]} | uint64_t{m_pending[5]} << 8) *
                       (uint64_t{m_pending[6]} | uint64_t{m_pending[7]} << 8);
    }
    if (a == 0x1B && b == 0x2A) { // ESC * m nL nH
        if (have < 5) {
            return kNeedMore;
        }
        return 5 + (uint64_t{m_pending[3]} | uint64_t{m_pending[4]} << 8) * (m >= 32 ? 3 : 1);
    }
    if (a == 0x1D && b == 0x6B && m >= 65) { // GS k m n
        if (have < 4) {
            return kNeedMore;
        }
        return 4 + uint64_t{m_pending[3]};
    }
    if (a == 0x1D && b == 0x28 && m != 0x4C) { // GS ( fn pL pH, other than GS ( L
        if (have < 5) {
            return kNeedMore;
        }
        return 5 + (uint64_t{m_pending[3]} | uint64_t{m_pending[4]} << 8);
    }
    return std::nullopt;
}

void PrinterResponder::RunBeforeQuestion() {
    const size_t before = m_job.size() - m_pending.size();
    if (!m_run || m_onlyQuestions || before == 0) {
        return;
    }
    static_cast<void>(m_run(std::span<const uint8_t>(m_job.data(), before)));
    m_job.erase(m_job.begin(), m_job.begin() + static_cast<std::ptrdiff_t>(before));
    m_onlyQuestions = true;
}

bool PrinterResponder::AnswerGraphics(uint8_t fn, std::vector<uint8_t>& replies) {
    if (m_model.nvGraphics == 0 || !m_model.answers) {
        return false; // a model without NV graphics, or one that never answers
    }
    const NvMemory memory = m_state.memory ? m_state.memory() : NvMemory{};
    if (fn == 0x40) {
        m_keyBlocks = KeyListBlocks(memory);
        m_keyBlock = 0;
        replies.insert(replies.end(), m_keyBlocks[0].begin(), m_keyBlocks[0].end());
        return true;
    }
    const uint64_t used = std::min(NvGraphicsBytesUsed(memory), m_model.nvGraphics);
    const uint64_t value = fn == 0x30 ? m_model.nvGraphics : m_model.nvGraphics - used;
    // Appended piece by piece: g++ 12 at -O3 warns (-Wrestrict) about a joined temporary.
    std::string reply(1, fn == 0x30 ? '0' : '1');
    reply += std::to_string(value);
    AppendText(replies, 0x37, reply);
    return true;
}

bool PrinterResponder::KeyListAnswer(uint8_t byte, std::vector<uint8_t>& replies) {
    if (byte == kNak) {
        const std::vector<uint8_t>& again = m_keyBlocks[m_keyBlock];
        replies.insert(replies.end(), again.begin(), again.end());
        return true;
    }
    if (byte == kAck && m_keyBlock + 1 < m_keyBlocks.size()) {
        const std::vector<uint8_t>& next = m_keyBlocks[++m_keyBlock];
        replies.insert(replies.end(), next.begin(), next.end());
        return true;
    }
    if (byte == kAck || byte == kCan) {
        m_keyBlocks.clear();
        return true;
    }
    return false;
}

uint8_t PrinterResponder::StatusByte(uint8_t n) const {
    uint8_t status = 0x12;
    if (!m_state.conditions) {
        return status;
    }
    const std::string text = m_state.conditions();
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t end = std::min(rest.find_first_of("\r\n \t"), rest.size());
        const std::string_view word = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        for (const Condition& c : kConditions) {
            if (word == c.word) {
                status = static_cast<uint8_t>(status | c.bits[n - 1]);
            }
        }
    }
    return status;
}

void PrinterResponder::Identify(uint8_t n, std::vector<uint8_t>& replies) const {
    switch (n) {
    case 1:
        replies.push_back(0x20); // model ID
        return;
    case 2:
        replies.push_back(0x02); // type ID: two-byte characters not supported, no cutter sensor
        return;
    case 3:
        replies.push_back(0x10); // ROM version ID
        return;
    case 65:
        AppendText(replies, 0x5F, "1.0");
        return;
    case 66:
        AppendText(replies, 0x5F, "Tessaline");
        return;
    case 67:
        AppendText(replies, 0x5F, "Virtual");
        return;
    case 68:
        AppendText(replies, 0x5F, m_name);
        return;
    case 69:
        AppendText(replies, 0x5F, "PC437");
        return;
    default:
        return; // a question this model does not answer
    }
}

} // namespace tessaline
