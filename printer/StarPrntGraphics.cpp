// SPDX-License-Identifier: MIT
#include "printer/StarPrntGraphics.h"

#include <algorithm>

namespace tessaline {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kReplyHead[] = {kEsc, 0x1D, 0x29, 0x4C};
constexpr std::size_t kHeadLength = sizeof kReplyHead + 3; // pL pH fn

std::vector<uint8_t> WithEsc(std::vector<uint8_t> escPos) {
    escPos.insert(escPos.begin(), kEsc);
    return escPos;
}

Result<std::vector<uint8_t>> WithEsc(Result<std::vector<uint8_t>> escPos) {
    if (!escPos) {
        return escPos;
    }
    return WithEsc(std::move(escPos).Value());
}

std::vector<uint8_t> Transmit(uint8_t fn, uint8_t d1, uint8_t d2) {
    return {kEsc, 0x1D, 0x29, 0x4C, 0x03, 0x00, fn, d1, d2};
}

bool EndsWithLfNul(std::span<const uint8_t> bytes, std::size_t at) {
    return at + 1 < bytes.size() && bytes[at] == 0x0A && bytes[at + 1] == 0x00;
}

} // namespace

Result<std::vector<uint8_t>> StarStoreGraphicCommand(GraphicKey key, const RasterGraphic& graphic) {
    return WithEsc(StoreGraphicCommand(key, graphic));
}

Result<std::vector<uint8_t>> StarPrintGraphicCommand(GraphicKey key, int32_t scaleX,
                                                     int32_t scaleY) {
    return WithEsc(PrintGraphicCommand(key, scaleX, scaleY));
}

std::vector<uint8_t> StarDeleteGraphicCommand(GraphicKey key) {
    return WithEsc(DeleteGraphicCommand(key));
}

std::vector<uint8_t> StarDeleteAllGraphicsCommand() {
    return WithEsc(DeleteAllGraphicsCommand());
}

std::vector<uint8_t> StarGraphicKeysRequest() {
    return Transmit(kStarGraphicKeys, 0, 0);
}

std::vector<uint8_t> StarGraphicDataRequest(GraphicKey key) {
    return Transmit(kStarGraphicData, key.kc1, key.kc2);
}

void StarGraphicReader::Feed(std::span<const uint8_t> bytes) {
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
}

int StarGraphicReader::Parse(StarGraphicReply& reply, std::size_t& used) const {
    const std::span<const uint8_t> in(m_pending);
    const std::size_t have = std::min(in.size(), sizeof kReplyHead);
    if (!std::equal(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(have), kReplyHead)) {
        return -1;
    }
    if (in.size() < kHeadLength) {
        return 0;
    }
    reply.fn = in[6];
    std::size_t at = kHeadLength;
    if (reply.fn == kStarGraphicKeys) {
        if (in.size() < at + 2) {
            return 0;
        }
        const std::size_t count = in[at] | std::size_t{in[at + 1]} << 8;
        at += 2;
        if (count < 2 || count % 2 != 0 || (count - 2) / 2 > kMaxStarGraphicKeys) {
            return -1;
        }
        for (std::size_t i = 0; i + 2 < count && at + i < in.size(); ++i) {
            if (!IsKeyByte(in[at + i])) {
                return -1;
            }
        }
        if (in.size() < at + count) {
            return 0;
        }
        if (!EndsWithLfNul(in, at + count - 2)) {
            return -1;
        }
        for (std::size_t i = 0; i + 2 < count; i += 2) {
            reply.keys.push_back({in[at + i], in[at + i + 1]});
        }
        used = at + count;
        return 1;
    }
    if (reply.fn != kStarGraphicData) {
        return -1;
    }
    if (in.size() < at + 4) {
        return 0;
    }
    reply.key = {in[at], in[at + 1]};
    if (!IsKeyByte(reply.key.kc1) || !IsKeyByte(reply.key.kc2)) {
        return -1;
    }
    at += 2;
    if (in[at] == 0x0A) {
        if (in[at + 1] != 0x00) {
            return -1;
        }
        used = at + 2;
        return 1;
    }
    const uint8_t colours = in[at];
    if (colours != 1 && colours != 2) {
        return -1;
    }
    if (in.size() < at + 5) {
        return 0;
    }
    const int32_t width = in[at + 1] | int32_t{in[at + 2]} << 8;
    const int32_t height = in[at + 3] | int32_t{in[at + 4]} << 8;
    if (width < 1 || width > kMaxGraphicWidth || height < 1 || height > kMaxGraphicHeight) {
        return -1;
    }
    at += 5;
    const std::size_t plane = GraphicRowBytes(width) * static_cast<std::size_t>(height);
    RasterGraphic graphic{width, height, {}};
    for (uint8_t c = 0; c < colours; ++c) {
        if (in.size() < at + 1) {
            return 0;
        }
        if (in[at] != 49 && in[at] != 50) {
            return -1;
        }
        if (in.size() < at + 1 + plane) {
            return 0;
        }
        if (c == 0) {
            graphic.rows.assign(in.begin() + static_cast<std::ptrdiff_t>(at + 1),
                                in.begin() + static_cast<std::ptrdiff_t>(at + 1 + plane));
        }
        at += 1 + plane;
    }
    if (in.size() < at + 2) {
        return 0;
    }
    if (!EndsWithLfNul(in, at)) {
        return -1;
    }
    reply.colours = colours;
    reply.graphic = std::move(graphic);
    used = at + 2;
    return 1;
}

std::optional<StarGraphicReply> StarGraphicReader::Reply() {
    while (!m_pending.empty()) {
        StarGraphicReply reply;
        std::size_t used = 0;
        const int verdict = Parse(reply, used);
        if (verdict == 0) {
            return std::nullopt;
        }
        if (verdict < 0) {
            m_pending.erase(m_pending.begin());
            ++m_dropped;
            continue;
        }
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(used));
        return reply;
    }
    return std::nullopt;
}

} // namespace tessaline
