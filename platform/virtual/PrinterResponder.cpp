#include "platform/virtual/PrinterResponder.h"

#include "platform/FileIo.h"

#include <algorithm>

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
    if (a != 0x10 && a != 0x1C && a != 0x1D) {
        Consume(1, false);
        return true;
    }
    if (have < 3) {
        return false;
    }
    const uint8_t b = m_pending[1];
    const uint8_t n = m_pending[2];
    if (a == 0x10 && b == 0x04 && n >= 1 && n <= 4) {
        replies.push_back(StatusByte(n));
        Consume(3, true);
        return true;
    }
    if (a == 0x1D && b == 0x49) {
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
        if (length == 2) {
            if (have < 7) {
                return false;
            }
            const uint8_t fn = m_pending[6];
            if (m_pending[5] == 0x30 && (fn == 0x30 || fn == 0x33)) {
                if (m_model.nvGraphics > 0) {
                    // Nothing is stored as NV graphics here, so all of it is free.
                    AppendText(replies, 0x37,
                               std::string(1, fn == 0x30 ? '0' : '1') +
                                   std::to_string(m_model.nvGraphics));
                }
                Consume(7, true);
                return true;
            }
        }
        m_skip = length;
        Consume(5, false);
        return true;
    }
    Consume(1, false);
    return true;
}

uint8_t PrinterResponder::StatusByte(uint8_t n) const {
    uint8_t status = 0x12;
    const Result<std::string> text = ReadWholeFile(m_folder / kStatusFileName);
    if (!text) {
        return status;
    }
    std::string_view rest = text.Value();
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
