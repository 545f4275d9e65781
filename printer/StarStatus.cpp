// SPDX-License-Identifier: MIT
#include "printer/StarStatus.h"

#include <algorithm>

namespace tessaline {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kVersionHead[] = {kEsc, 0x23, 0x2A, 0x2C};

// Every status byte after header 1 keeps bits 0 and 4 clear, and all but
// header 2 (whose bit 7 marks an expanded status) bit 7 too.
bool IsStatusBody(uint8_t byte, bool header2) {
    const uint8_t fixed = header2 ? 0x11 : 0x91;
    return (byte & fixed) == 0;
}

void Drop(std::vector<uint8_t>& pending, std::size_t count, std::size_t& dropped) {
    count = std::min(count, pending.size());
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(count));
    dropped += count;
}

} // namespace

std::vector<uint8_t> StarStatusRequest() {
    return {kEsc, 0x06, 0x01};
}

std::vector<uint8_t> StarVersionRequest() {
    return {kEsc, 0x23, 0x2A, 0x0A, 0x00};
}

std::optional<std::size_t> StarStatusLength(uint8_t header1) {
    if ((header1 & 0x91) != 0x01) {
        return std::nullopt;
    }
    const std::size_t length = ((header1 >> 1) & 0x07u) | ((header1 >> 2) & 0x18u);
    if (length < kMinStarStatusLength) {
        return std::nullopt;
    }
    return length;
}

uint8_t StarStatus::Byte(std::size_t n) const {
    return n >= 1 && n + 1 < bytes.size() ? bytes[n + 1] : uint8_t{0};
}

bool StarStatus::Ready() const {
    return !Offline() && !CoverOpen() && !HeadTooHot() && !UnrecoverableError() && !CutterError() &&
           !MechanicalError() && !PresenterJam() && !HeadUp() && !PaperEnd() && !BlackMarkError();
}

std::vector<std::string> StarStatus::Conditions() const {
    std::vector<std::string> out;
    const auto add = [&out](bool on, const char* words) {
        if (on) {
            out.emplace_back(words);
        }
    };
    add(Offline(), "off-line");
    add(CoverOpen(), "cover open");
    add(PaperEnd(), "paper end");
    add(CutterError(), "cutter error");
    add(MechanicalError(), "mechanical error");
    add(UnrecoverableError(), "unrecoverable error");
    add(HeadTooHot(), "head too hot");
    add(HeadUp(), "head up");
    add(PresenterJam(), "presenter paper jam");
    add(BlackMarkError(), "black mark error");
    add(ReceiveBufferOverflow(), "receive buffer overflow");
    add(CommandError(), "command error");
    add(PaperNearEnd(), "paper near end");
    return out;
}

void StarStatusReader::Feed(std::span<const uint8_t> bytes) {
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
}

std::optional<StarStatus> StarStatusReader::Reply() {
    while (!m_pending.empty()) {
        const std::optional<std::size_t> length = StarStatusLength(m_pending.front());
        if (!length) {
            Drop(m_pending, 1, m_dropped);
            continue;
        }
        // A header followed by something that is no status body was noise.
        std::size_t bad = 0;
        for (std::size_t i = 1; i < std::min(*length, m_pending.size()); ++i) {
            if (!IsStatusBody(m_pending[i], i == 1)) {
                bad = i;
                break;
            }
        }
        if (bad != 0) {
            Drop(m_pending, bad, m_dropped);
            continue;
        }
        if (m_pending.size() < *length) {
            return std::nullopt;
        }
        StarStatus status;
        status.bytes.assign(m_pending.begin(),
                            m_pending.begin() + static_cast<std::ptrdiff_t>(*length));
        m_pending.erase(m_pending.begin(),
                        m_pending.begin() + static_cast<std::ptrdiff_t>(*length));
        return status;
    }
    return std::nullopt;
}

void StarVersionReader::Feed(std::span<const uint8_t> bytes) {
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
}

std::optional<std::string> StarVersionReader::Reply() {
    const std::size_t head = sizeof kVersionHead;
    while (!m_pending.empty()) {
        if (m_pending.front() != kEsc) {
            Drop(m_pending, 1, m_dropped);
            continue;
        }
        const std::size_t have = std::min(head, m_pending.size());
        if (!std::equal(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(have),
                        kVersionHead)) {
            Drop(m_pending, 1, m_dropped);
            continue;
        }
        if (m_pending.size() <= head) {
            return std::nullopt;
        }
        // 1: a whole reply ends at `i`; -1: not a reply; 0: not yet known.
        int verdict = 0;
        std::size_t i = head;
        for (; i < m_pending.size() && verdict == 0; ++i) {
            const uint8_t byte = m_pending[i];
            if (byte == 0x0A) {
                if (i + 1 == m_pending.size()) {
                    break;
                }
                verdict = m_pending[i + 1] == 0x00 ? 1 : -1;
            } else if (byte < 0x20 || byte > 0x7E || i - head >= kMaxStarVersionText) {
                verdict = -1;
            }
        }
        if (verdict == 0) {
            return std::nullopt;
        }
        if (verdict == 1) {
            const std::size_t lf = i - 1;
            std::string text(m_pending.begin() + static_cast<std::ptrdiff_t>(head),
                             m_pending.begin() + static_cast<std::ptrdiff_t>(lf));
            m_pending.erase(m_pending.begin(),
                            m_pending.begin() + static_cast<std::ptrdiff_t>(lf + 2));
            return text;
        }
        Drop(m_pending, 1, m_dropped);
    }
    return std::nullopt;
}

} // namespace tessaline
