// SPDX-License-Identifier: MIT
#include "escpos/PrinterResponder.h"

#include "escpos/EscPosCommands.h"

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
    std::vector<uint8_t> replies;
    while (m_at < m_job.size() && Step(replies)) {
    }
    if (!m_model.answers) {
        replies.clear();
    }
    return replies;
}

void PrinterResponder::Consume(uint64_t count, bool question) {
    const size_t have = m_job.size() - m_at;
    const size_t now = static_cast<size_t>(std::min<uint64_t>(count, have));
    m_at += now;
    m_skip = count - now;
    m_onlyQuestions = m_onlyQuestions && question;
}

bool PrinterResponder::Step(std::vector<uint8_t>& replies) {
    if (m_toEnd) {
        Consume(m_job.size() - m_at, false);
        return false;
    }
    if (m_skip > 0) {
        // The data of a picture or a code is never read as commands: a
        // question there would split the job inside it.
        Consume(m_skip, false);
        return true;
    }
    if (m_imagesLeft > 0) {
        // A Star logo definition: xL xH yL yH, then x × y × 8 bytes of raster.
        if (m_job.size() - m_at < 4) {
            return false;
        }
        const uint64_t x = uint64_t{m_job[m_at]} | uint64_t{m_job[m_at + 1]} << 8;
        const uint64_t y = uint64_t{m_job[m_at + 2]} | uint64_t{m_job[m_at + 3]} << 8;
        --m_imagesLeft;
        Consume(4, false);
        m_skip = x * y * 8;
        return true;
    }
    const uint8_t first = m_job[m_at];
    if (!m_keyBlocks.empty()) {
        if (KeyListAnswer(first, replies)) {
            // The host's answer to the hand-over is no command: the job never sees it.
            m_job.erase(m_job.begin() + static_cast<std::ptrdiff_t>(m_at));
            return true;
        }
        m_keyBlocks.clear(); // anything else ends the hand-over
    }
    if (m_model.language != PrinterLanguage::EscPos) {
        return StarStep(replies);
    }
    const Piece piece = SplitAt(EscPosCommands(), m_job, m_at);
    if (piece.kind == PieceKind::CutShort) {
        return false;
    }
    if (piece.kind != PieceKind::Command) {
        Consume(piece.length, false);
        return true;
    }
    if (piece.length == kRestOfStream) {
        m_toEnd = true;
        Consume(m_job.size() - m_at, false);
        return false;
    }
    const std::span<const uint8_t> c(m_job.data() + m_at, m_job.size() - m_at);
    const uint64_t length = piece.length;
    const bool whole = length <= c.size();
    switch (EscPosId(*piece.command)) {
    case EscPos::Question:
        if (!whole) {
            return false;
        }
        if (c[0] == 0x10 && c[2] >= 1 && c[2] <= 4) {
            RunBeforeQuestion();
            replies.push_back(StatusByte(m_job[m_at + 2]));
            Consume(3, true);
            return true;
        }
        if (c[0] == 0x1D) {
            RunBeforeQuestion();
            Identify(m_job[m_at + 2], replies);
            Consume(3, true);
            return true;
        }
        break;
    case EscPos::Graphics: {
        // The questions: GS ( L functions 48 and 51 (m fn), 64 (m fn "KC").
        if (c[1] != 0x28 || (length != 7 && length != 9)) {
            break;
        }
        if (!whole) {
            return false;
        }
        const uint8_t fn = c[6];
        const bool sizes = length == 7 && (fn == 0x30 || fn == 0x33);
        const bool keys = length == 9 && fn == 0x40 && c[7] == 'K' && c[8] == 'C';
        if (c[5] == 0x30 && (sizes || keys)) {
            RunBeforeQuestion();
            static_cast<void>(AnswerGraphics(fn, replies));
            Consume(length, true);
            return true;
        }
        break;
    }
    case EscPos::Extended:
        // GS ( E function 6 asks a customized value; this printer tells its paper width (3).
        if (c[2] != 0x45 || length != 7) {
            break;
        }
        if (!whole) {
            return false;
        }
        if (c[5] == 0x06 && c[6] == 0x03) {
            RunBeforeQuestion();
            AnswerPaperWidth(replies);
            Consume(length, true);
            return true;
        }
        break;
    case EscPos::AutoLogo:
        // FS ( E function 61 asks what is set for the top (30) or bottom (31) logo.
        if (length != 8) {
            break;
        }
        if (!whole) {
            return false;
        }
        if (c[5] == 0x3D && c[6] == 2 && (c[7] == 0x30 || c[7] == 0x31)) {
            RunBeforeQuestion();
            AnswerLogo(m_job[m_at + 7], replies);
            Consume(length, true);
            return true;
        }
        break;
    default:
        break;
    }
    Consume(length, false);
    return true;
}

void PrinterResponder::RunBeforeQuestion() {
    const size_t before = m_at;
    if (!m_run || m_onlyQuestions || before == 0) {
        return;
    }
    static_cast<void>(m_run(std::span<const uint8_t>(m_job.data(), before)));
    m_job.erase(m_job.begin(), m_job.begin() + static_cast<std::ptrdiff_t>(before));
    m_at = 0;
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

void PrinterResponder::AnswerLogo(uint8_t which, std::vector<uint8_t>& replies) const {
    if (m_model.nvGraphics == 0 || !m_model.answers || !m_model.autoLogo) {
        return; // a model without the automatic logo, or one that never answers
    }
    const NvMemory memory = m_state.memory ? m_state.memory() : NvMemory{};
    const std::optional<AutoLogo>& logo = which == 0x30 ? memory.topLogo : memory.bottomLogo;
    // 37 3D, the logo, then its key and alignment as bytes and, for the top
    // logo, the lines it takes back as decimal text; nothing when none is set.
    replies.insert(replies.end(), {0x37, 0x3D, which});
    if (logo) {
        replies.insert(replies.end(), logo->key.begin(), logo->key.end());
        replies.push_back(logo->align);
        if (which == 0x30) {
            const std::string lines = std::to_string(logo->lines);
            replies.insert(replies.end(), lines.begin(), lines.end());
        }
    }
    replies.push_back(0x00);
}

void PrinterResponder::AnswerPaperWidth(std::vector<uint8_t>& replies) const {
    if (!m_model.answers || m_model.nvGraphics == 0) {
        return; // one that never answers, or an older model without the customized values
    }
    // The setting of the narrowest roll its line fits: 2 the 58 mm roll, 6 the
    // 80 mm one; a wider line has no setting to tell.
    const char* setting = m_model.paperWidth <= 384 ? "2" : m_model.paperWidth <= 576 ? "6" : "";
    if (setting[0] == '\0') {
        return;
    }
    std::string reply(1, 0x27);
    reply += '3';
    reply += '\x1F';
    reply += setting;
    AppendText(replies, 0x37, reply);
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
        AppendText(replies, 0x5F, m_model.maker);
        return;
    case 67:
        AppendText(replies, 0x5F, m_model.modelName);
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
