// SPDX-License-Identifier: MIT
#include "platform/NetworkRange.h"

#include <array>
#include <cstdio>
#include <optional>

namespace tessaline {

namespace {

using Parsed = Result<IpAddress>;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Four decimal parts of 0 to 255, no leading zeros (an octal reading is not guessed).
std::optional<uint32_t> ParseV4(std::string_view text) {
    uint32_t value = 0;
    int parts = 0;
    size_t at = 0;
    while (parts < 4) {
        size_t end = at;
        while (end < text.size() && IsDigit(text[end])) {
            ++end;
        }
        const size_t digits = end - at;
        if (digits == 0 || digits > 3 || (digits > 1 && text[at] == '0')) {
            return std::nullopt;
        }
        uint32_t part = 0;
        for (size_t i = at; i < end; ++i) {
            part = part * 10 + static_cast<uint32_t>(text[i] - '0');
        }
        if (part > 255) {
            return std::nullopt;
        }
        value = value << 8 | part;
        ++parts;
        if (parts < 4) {
            if (end >= text.size() || text[end] != '.') {
                return std::nullopt;
            }
            at = end + 1;
        } else if (end != text.size()) {
            return std::nullopt;
        }
    }
    return value;
}

// Eight groups of up to four hex digits, one "::" for a run of zero groups,
// the last 32 bits optionally written as IPv4.
std::optional<std::array<uint16_t, 8>> ParseV6(std::string_view text) {
    std::array<uint16_t, 8> groups{};
    std::vector<uint16_t> head, tail;
    bool gap = false;
    if (text.size() < 2) {
        return std::nullopt;
    }
    size_t at = 0;
    if (text.substr(0, 2) == "::") {
        gap = true;
        at = 2;
    } else if (text[0] == ':') {
        return std::nullopt;
    }
    while (at < text.size()) {
        std::vector<uint16_t>& into = gap ? tail : head;
        const size_t colon = std::min(text.find(':', at), text.size());
        const std::string_view part = text.substr(at, colon - at);
        if (part.find('.') != std::string_view::npos) {
            // The embedded IPv4 address ends the text.
            const auto v4 = colon == text.size() ? ParseV4(part) : std::nullopt;
            if (!v4) {
                return std::nullopt;
            }
            into.push_back(static_cast<uint16_t>(*v4 >> 16));
            into.push_back(static_cast<uint16_t>(*v4 & 0xFFFF));
            at = text.size();
            break;
        }
        if (part.empty() || part.size() > 4) {
            return std::nullopt;
        }
        uint16_t value = 0;
        for (const char c : part) {
            const int h = HexValue(c);
            if (h < 0) {
                return std::nullopt;
            }
            value = static_cast<uint16_t>(value << 4 | h);
        }
        into.push_back(value);
        if (colon == text.size()) {
            at = colon;
            break;
        }
        if (colon + 1 < text.size() && text[colon + 1] == ':') {
            if (gap) {
                return std::nullopt; // a second "::"
            }
            gap = true;
            at = colon + 2;
        } else if (colon + 1 == text.size()) {
            return std::nullopt; // a trailing single ':'
        } else {
            at = colon + 1;
        }
    }
    const size_t given = head.size() + tail.size();
    if ((gap && given > 7) || (!gap && given != 8)) {
        return std::nullopt;
    }
    for (size_t i = 0; i < head.size(); ++i) {
        groups[i] = head[i];
    }
    for (size_t i = 0; i < tail.size(); ++i) {
        groups[8 - tail.size() + i] = tail[i];
    }
    return groups;
}

// Appended piece by piece: g++ 12 at -O3 takes "'" + string for an overlap.
std::string Quoted(std::string_view text) {
    std::string quoted = "'";
    quoted.append(text).append("'");
    return quoted;
}

// "16777216 addresses", or "2^N addresses" past what 64 bits hold.
std::string CountText(unsigned hostBits) {
    if (hostBits >= 64) {
        return "2^" + std::to_string(hostBits) + " addresses";
    }
    return std::to_string(uint64_t{1} << hostBits) + " addresses";
}

std::string TooMany(std::string_view text, const std::string& count) {
    return Quoted(text) + " holds " + count + ", more than the " +
           std::to_string(kMaxNetworkAddresses) + " one scan takes; name smaller blocks or ranges";
}

} // namespace

std::string IpAddress::Text() const {
    if (!v6) {
        char text[16];
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(lo >> 24 & 0xFF),
                      static_cast<unsigned>(lo >> 16 & 0xFF), static_cast<unsigned>(lo >> 8 & 0xFF),
                      static_cast<unsigned>(lo & 0xFF));
        return text;
    }
    std::array<unsigned, 8> g{};
    for (int i = 0; i < 4; ++i) {
        g[static_cast<size_t>(i)] = static_cast<unsigned>(hi >> (48 - 16 * i) & 0xFFFF);
        g[static_cast<size_t>(i + 4)] = static_cast<unsigned>(lo >> (48 - 16 * i) & 0xFFFF);
    }
    // The longest run of two or more zero groups becomes "::", the first of equals.
    int bestAt = -1, bestLength = 1;
    for (int i = 0; i < 8;) {
        int j = i;
        while (j < 8 && g[static_cast<size_t>(j)] == 0) {
            ++j;
        }
        if (j - i > bestLength) {
            bestAt = i;
            bestLength = j - i;
        }
        i = j == i ? i + 1 : j;
    }
    std::string out;
    for (int i = 0; i < 8; ++i) {
        if (i == bestAt) {
            out += "::";
            i += bestLength - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':') {
            out += ':';
        }
        char part[8];
        std::snprintf(part, sizeof part, "%x", g[static_cast<size_t>(i)]);
        out += part;
    }
    return out;
}

std::string IpAddress::UrlHost() const {
    if (!v6) {
        return Text();
    }
    std::string host = "[";
    host.append(Text()).append("]");
    return host;
}

Result<IpAddress> ParseIpAddress(std::string_view text) {
    if (text.find(':') == std::string_view::npos) {
        if (const auto v4 = ParseV4(text)) {
            return IpAddress{false, 0, *v4};
        }
        return Parsed::Fail(Quoted(text) + " is no IPv4 address (four numbers 0 to 255)");
    }
    if (const auto groups = ParseV6(text)) {
        IpAddress a{true, 0, 0};
        for (size_t i = 0; i < 4; ++i) {
            a.hi = a.hi << 16 | (*groups)[i];
            a.lo = a.lo << 16 | (*groups)[i + 4];
        }
        return a;
    }
    return Parsed::Fail(Quoted(text) + " is no IPv6 address");
}

Result<NetworkRange> ParseNetwork(std::string_view text) {
    using Range = Result<NetworkRange>;
    if (text.empty()) {
        return Range::Fail("an empty network: give an address, a block (10.1.0.0/24) or a range "
                           "(10.1.0.20-10.1.0.60)");
    }
    if (const size_t slash = text.find('/'); slash != std::string_view::npos) {
        const Result<IpAddress> base = ParseIpAddress(text.substr(0, slash));
        if (!base) {
            return Range::Fail(Quoted(text) + ": " + base.Reason());
        }
        const std::string_view bits = text.substr(slash + 1);
        const unsigned width = base.Value().v6 ? 128 : 32;
        unsigned prefix = 0;
        bool ok = !bits.empty() && bits.size() <= 3 && (bits.size() == 1 || bits[0] != '0');
        for (const char c : bits) {
            ok = ok && IsDigit(c);
            prefix = prefix * 10 + static_cast<unsigned>(c - '0');
        }
        if (!ok || prefix > width) {
            return Range::Fail(Quoted(text) + ": the prefix length is 0 to " +
                               std::to_string(width) + ", not " + Quoted(bits));
        }
        const unsigned hostBits = width - prefix;
        if (hostBits > 16) {
            return Range::Fail(TooMany(text, CountText(hostBits)));
        }
        NetworkRange range;
        const uint64_t size = uint64_t{1} << hostBits;
        range.first = base.Value();
        range.first.lo &= ~(size - 1); // hostBits <= 16: the host part lies in `lo`
        range.last = range.first;
        range.last.lo |= size - 1;
        if (!range.first.v6 && hostBits >= 2) {
            ++range.first.lo;
            --range.last.lo;
        }
        range.count = range.last.lo - range.first.lo + 1;
        return range;
    }
    if (const size_t dash = text.find('-'); dash != std::string_view::npos) {
        const Result<IpAddress> first = ParseIpAddress(text.substr(0, dash));
        if (!first) {
            return Range::Fail(Quoted(text) + ": " + first.Reason());
        }
        std::string_view lastText = text.substr(dash + 1);
        IpAddress last;
        const bool lastPartOnly =
            !first.Value().v6 && !lastText.empty() && lastText.size() <= 3 &&
            lastText.find_first_not_of("0123456789") == std::string_view::npos;
        if (lastPartOnly) {
            const auto part = ParseV4("0.0.0." + std::string(lastText));
            if (!part) {
                return Range::Fail(Quoted(text) + ": the range ends at " + Quoted(lastText) +
                                   ", no number 0 to 255");
            }
            last = first.Value();
            last.lo = (last.lo & ~uint64_t{0xFF}) | *part;
        } else {
            const Result<IpAddress> parsed = ParseIpAddress(lastText);
            if (!parsed) {
                return Range::Fail(Quoted(text) + ": " + parsed.Reason());
            }
            last = parsed.Value();
        }
        if (last.v6 != first.Value().v6) {
            return Range::Fail(Quoted(text) + ": a range is all IPv4 or all IPv6");
        }
        if (last < first.Value()) {
            return Range::Fail(Quoted(text) + ": the range runs backwards");
        }
        const uint64_t borrow = last.lo < first.Value().lo ? 1 : 0;
        const uint64_t spanHi = last.hi - first.Value().hi - borrow;
        const uint64_t spanLo = last.lo - first.Value().lo;
        if (spanHi != 0 || spanLo >= kMaxNetworkAddresses) {
            return Range::Fail(TooMany(text, spanHi != 0 || spanLo == UINT64_MAX
                                                 ? "more than 2^64 addresses"
                                                 : std::to_string(spanLo + 1) + " addresses"));
        }
        return NetworkRange{first.Value(), last, spanLo + 1};
    }
    const Result<IpAddress> one = ParseIpAddress(text);
    if (!one) {
        return Range::FailAs(one);
    }
    return NetworkRange{one.Value(), one.Value(), 1};
}

std::vector<IpAddress> RangeAddresses(const NetworkRange& range) {
    std::vector<IpAddress> out;
    out.reserve(static_cast<size_t>(range.count));
    IpAddress at = range.first;
    for (uint64_t i = 0; i < range.count; ++i) {
        out.push_back(at);
        if (++at.lo == 0) {
            ++at.hi;
        }
    }
    return out;
}

} // namespace tessaline
