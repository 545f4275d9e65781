// SPDX-License-Identifier: MIT
#include "printer/PrinterQueries.h"

#include "printer/NvGraphics.h"

#include <algorithm>
#include <charconv>

namespace tessaline {

namespace {

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kGs = 0x1D;
constexpr uint8_t kTextStart = 0x5F;
constexpr uint8_t kNvHeader = 0x37;

bool Bit(std::optional<uint8_t> byte, int bit) {
    return byte && (*byte >> bit & 1) != 0;
}

} // namespace

std::vector<uint8_t> StatusRequest(StatusQuery query) {
    return {kDle, kEot, static_cast<uint8_t>(query)};
}

std::vector<uint8_t> IdentityRequest(IdentityQuery query) {
    return {kGs, 0x49, static_cast<uint8_t>(query)};
}

std::vector<uint8_t> NvGraphicsRequest(NvGraphicsQuery query) {
    return GraphicsCommand(static_cast<uint8_t>(query), {});
}

std::vector<uint8_t> PaperWidthSettingRequest() {
    return {kGs, 0x28, 0x45, 0x02, 0x00, 0x06, 0x03};
}

bool IsStatusByte(uint8_t byte) {
    return (byte & 0x93) == 0x12;
}

ReplyShape ShapeOf(StatusQuery) {
    return ReplyShape::StatusByte;
}

ReplyShape ShapeOf(IdentityQuery query) {
    return static_cast<uint8_t>(query) < 65 ? ReplyShape::OneByte : ReplyShape::Text;
}

ReplyShape ShapeOf(NvGraphicsQuery query) {
    return query == NvGraphicsQuery::Total ? ReplyShape::NvTotal : ReplyShape::NvFree;
}

void ReplyReader::Feed(std::span<const uint8_t> bytes) {
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
}

void ReplyReader::DropFront(size_t count) {
    count = std::min(count, m_pending.size());
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(count));
    m_dropped += count;
}

std::optional<std::vector<uint8_t>> ReplyReader::Reply() {
    switch (m_shape) {
    case ReplyShape::OneByte:
        if (m_pending.empty()) {
            return std::nullopt;
        }
        m_replyEnd = 1;
        return std::vector<uint8_t>{m_pending.front()};
    case ReplyShape::StatusByte: {
        const auto found = std::find_if(m_pending.begin(), m_pending.end(), IsStatusByte);
        DropFront(static_cast<size_t>(found - m_pending.begin()));
        if (m_pending.empty()) {
            return std::nullopt;
        }
        m_replyEnd = 1;
        return std::vector<uint8_t>{m_pending.front()};
    }
    case ReplyShape::Text:
    case ReplyShape::NvTotal:
    case ReplyShape::NvFree:
    case ReplyShape::CustomValue:
        break;
    }
    const bool text = m_shape == ReplyShape::Text;
    const size_t header = text ? 1 : 2;
    const uint8_t second = m_shape == ReplyShape::NvTotal  ? 0x30
                           : m_shape == ReplyShape::NvFree ? 0x31
                                                           : 0x27;
    // A customized value's number and its setting are apart by one 1F.
    auto digit = [this](uint8_t b) {
        return (b >= '0' && b <= '9') || (m_shape == ReplyShape::CustomValue && b == 0x1F);
    };
    // Each pass either finds the reply, waits for more, or drops at least one byte.
    while (!m_pending.empty()) {
        if (m_pending[0] != (text ? kTextStart : kNvHeader)) {
            DropFront(1);
            continue;
        }
        if (!text && m_pending.size() >= 2 && m_pending[1] != second) {
            DropFront(1);
            continue;
        }
        bool noise = false;
        for (size_t i = header; i < m_pending.size(); ++i) {
            const uint8_t b = m_pending[i];
            if (b == 0x00) {
                std::vector<uint8_t> body(m_pending.begin() + static_cast<std::ptrdiff_t>(header),
                                          m_pending.begin() + static_cast<std::ptrdiff_t>(i));
                m_replyEnd = i + 1;
                return body;
            }
            if (i - header >= kMaxReplyText || (!text && !digit(b))) {
                noise = true;
                break;
            }
        }
        if (!noise) {
            return std::nullopt; // the rest is still on its way
        }
        DropFront(1);
    }
    return std::nullopt;
}

bool PrinterStatus::PaperNearEnd() const {
    return paperSensor && (*paperSensor & 0x0C) == 0x0C;
}

std::vector<std::string> PrinterStatus::Conditions() const {
    std::vector<std::string> out;
    if (Bit(printer, 3)) {
        out.emplace_back("off-line");
    }
    if (Bit(offlineCause, 2)) {
        out.emplace_back("cover open");
    }
    if (Bit(offlineCause, 5) || (paperSensor && (*paperSensor & 0x60) == 0x60)) {
        out.emplace_back("paper end");
    } else if (PaperNearEnd()) {
        out.emplace_back("paper near end");
    }
    if (Bit(offlineCause, 3)) {
        out.emplace_back("paper being fed by the feed button");
    }
    if (Bit(errorCause, 3)) {
        out.emplace_back("cutter error");
    }
    if (Bit(errorCause, 5)) {
        out.emplace_back("unrecoverable error");
    }
    if (Bit(errorCause, 6)) {
        out.emplace_back("recoverable error (print head too hot, or cover opened while printing)");
    }
    if (Bit(offlineCause, 6) && !Bit(errorCause, 3) && !Bit(errorCause, 5) && !Bit(errorCause, 6)) {
        out.emplace_back("error");
    }
    return out;
}

bool PrinterStatus::Ready() const {
    if (!printer) {
        return false;
    }
    const std::vector<std::string> conditions = Conditions();
    // Paper near end is a warning: the printer still prints.
    return conditions.empty() || (conditions.size() == 1 && conditions[0] == "paper near end");
}

std::optional<uint64_t> ParseNvBytes(std::span<const uint8_t> digits) {
    if (digits.empty() || digits.size() > 19) {
        return std::nullopt;
    }
    uint64_t value = 0;
    const char* first = reinterpret_cast<const char*>(digits.data());
    const auto [end, ec] = std::from_chars(first, first + digits.size(), value);
    if (ec != std::errc() || end != first + digits.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int32_t> ParsePaperWidthSetting(std::span<const uint8_t> body) {
    // "3", 1F, and one digit: every setting the command references give is one.
    if (body.size() != 3 || body[0] != '3' || body[1] != 0x1F) {
        return std::nullopt;
    }
    switch (body[2]) {
    case '2':
        return 58;
    case '4':
        return 70;
    case '5':
        return 76;
    case '6':
        return 80;
    default:
        return std::nullopt;
    }
}

} // namespace tessaline
