// SPDX-License-Identifier: MIT
#include "platform/DriverLogos.h"

#include <array>
#include <string_view>

namespace tessaline {

namespace {

// The record's offsets, as the driver reads them; words are 32-bit little-endian.
constexpr std::size_t kRecordSize = 1480;
constexpr uint32_t kRecordFormat = 8;
constexpr uint32_t kRegBinaryType = 3;
constexpr std::size_t kTextSize = 100;
constexpr std::size_t kASwitch = 1204, kBSwitch = 1208;
constexpr std::size_t kAText = 1248, kALength = 1348;
constexpr std::size_t kBText = 1352, kBLength = 1452;

constexpr uint8_t kEsc = 0x1B, kGs = 0x1D, kFs = 0x1C, kDle = 0x10;

uint32_t Word(const std::vector<uint8_t>& r, std::size_t at) {
    return uint32_t{r[at]} | uint32_t{r[at + 1]} << 8 | uint32_t{r[at + 2]} << 16 |
           uint32_t{r[at + 3]} << 24;
}

std::optional<std::vector<uint8_t>> Command(const std::vector<uint8_t>& r, std::size_t onAt,
                                            std::size_t textAt, std::size_t lengthAt) {
    if (Word(r, onAt) == 0) {
        return std::nullopt;
    }
    const std::size_t length = std::min<std::size_t>(Word(r, lengthAt), kTextSize);
    return std::vector<uint8_t>(r.begin() + static_cast<std::ptrdiff_t>(textAt),
                                r.begin() + static_cast<std::ptrdiff_t>(textAt + length));
}

// Walks ESC/POS commands far enough to step over their data. Each call
// gives the length of the command at `at` (at least 1, at most what is
// left), and whether it cuts the paper.
class CommandWalk {
public:
    explicit CommandWalk(std::span<const uint8_t> job) : m_job(job) {}

    std::size_t Length(std::size_t at, bool& cut) const {
        cut = false;
        const uint8_t first = m_job[at];
        std::size_t length = 1;
        if (first == kEsc) {
            length = Esc(at, cut);
        } else if (first == kGs) {
            length = Gs(at, cut);
        } else if (first == kFs) {
            length = Fs(at);
        } else if (first == kDle) {
            length = Byte(at + 1) == 0x14 ? 5 : 3; // DLE DC4 fn m t; DLE EOT n, DLE ENQ n
        }
        return std::max<std::size_t>(1, std::min(length, m_job.size() - at));
    }

private:
    std::size_t Byte(std::size_t at) const { return at < m_job.size() ? m_job[at] : 0; }
    std::size_t Word16(std::size_t at) const { return Byte(at) | Byte(at + 1) << 8; }
    std::size_t Word32(std::size_t at) const { return Word16(at) | Word16(at + 2) << 16; }
    // The length of a run that ends with NUL, from `from`.
    std::size_t ToNul(std::size_t at, std::size_t from) const {
        std::size_t end = from;
        while (end < m_job.size() && m_job[end] != 0) {
            ++end;
        }
        return end + 1 - at;
    }

    std::size_t Esc(std::size_t at, bool& cut) const {
        const auto c = static_cast<char>(Byte(at + 1));
        switch (c) {
        case 'i':
        case 'm':
            cut = true;
            return 2;
        case '*': { // ESC * m nL nH: n columns of 1 or 3 bytes
            const std::size_t n = Word16(at + 3);
            return 5 + (Byte(at + 2) >= 32 ? 3 * n : n);
        }
        case '&': { // ESC & y c1 c2, then x and y * x bytes for each character
            std::size_t end = at + 5;
            const std::size_t y = Byte(at + 2);
            for (std::size_t ch = Byte(at + 3); ch <= Byte(at + 4) && end < m_job.size(); ++ch) {
                end += 1 + y * Byte(end);
            }
            return end - at;
        }
        case '(': // ESC ( X pL pH ...
            return 5 + Word16(at + 3);
        case 'D':
            return ToNul(at, at + 2);
        case '$':
        case '\\':
            return 4;
        case 'p':
            return 5;
        case 'c':
            return 4;
        case 'W':
            return 10;
        case '@':
        case '2':
        case '<':
        case 'L':
        case 'S':
        case '\x0C':
            return 2;
        default:
            return 3; // ESC ! n, ESC E n, ESC a n, ESC d n, ESC J n, ESC t n, ...
        }
    }

    std::size_t Gs(std::size_t at, bool& cut) const {
        const auto c = static_cast<char>(Byte(at + 1));
        switch (c) {
        case 'V': { // GS V m, or GS V m n
            cut = true;
            const std::size_t m = Byte(at + 2);
            return m == 0 || m == 1 || m == 48 || m == 49 ? 3 : 4;
        }
        case 'v': // GS v 0 m xL xH yL yH d
            return 8 + Word16(at + 4) * Word16(at + 6);
        case '(': // GS ( X pL pH ...
            return 5 + Word16(at + 3);
        case '8': // GS 8 X p1 p2 p3 p4 ...
            return 7 + Word32(at + 3);
        case '*': // GS * x y d: x * y * 8 bytes
            return 4 + Byte(at + 2) * Byte(at + 3) * 8;
        case 'k': { // GS k m: NUL-ended data for m 0 to 6, else n bytes
            const std::size_t m = Byte(at + 2);
            return m <= 6 ? ToNul(at, at + 3) : 4 + Byte(at + 3);
        }
        case 'L':
        case 'W':
        case '$':
        case '\\':
        case 'P':
            return 4;
        case '^':
            return 5;
        case ':':
            return 2;
        default:
            return 3; // GS ! n, GS B n, GS H n, GS a n, GS I n, GS r n, GS w n, ...
        }
    }

    std::size_t Fs(std::size_t at) const {
        const auto c = static_cast<char>(Byte(at + 1));
        switch (c) {
        case 'q': { // FS q n, then xL xH yL yH and x * y * 8 bytes for each image
            std::size_t end = at + 3;
            for (std::size_t image = 0; image < Byte(at + 2) && end < m_job.size(); ++image) {
                end += 4 + Word16(end) * Word16(end + 2) * 8;
            }
            return end - at;
        }
        case '(':
            return 5 + Word16(at + 3);
        case 'p':
        case 'S':
            return 4;
        case '&':
        case '.':
            return 2;
        case '2': // FS 2 c1 c2 and a 24 x 24 character
            return 76;
        default:
            return 3;
        }
    }

    std::span<const uint8_t> m_job;
};

} // namespace

DriverLogoCommands ReadDriverLogos(const std::optional<DriverValue>& record) {
    if (!record || record->type != kRegBinaryType || record->bytes.size() != kRecordSize ||
        Word(record->bytes, 0) != kRecordFormat) {
        return {};
    }
    return {Command(record->bytes, kASwitch, kAText, kALength),
            Command(record->bytes, kBSwitch, kBText, kBLength)};
}

bool IsTessalineJob(std::string_view title) {
    static constexpr std::array<std::string_view, 3> kTitles{"Logo", "NV graphics",
                                                             "Automatic logo"};
    for (const std::string_view own : kTitles) {
        if (title == own) {
            return true;
        }
    }
    return false;
}

DriverLogoPlaces FindDriverLogoPlaces(std::span<const uint8_t> job) {
    DriverLogoPlaces places;
    while (places.a + 1 < job.size() && job[places.a] == kEsc && job[places.a + 1] == '@') {
        places.a += 2;
    }
    places.b = job.size();
    const CommandWalk walk(job);
    for (std::size_t at = 0; at < job.size();) {
        bool cut = false;
        const std::size_t length = walk.Length(at, cut);
        if (cut && at >= places.a) {
            places.b = at;
        }
        at += length;
    }
    return places;
}

std::vector<uint8_t> WithDriverLogos(std::span<const uint8_t> job,
                                     const DriverLogoCommands& logos) {
    const DriverLogoPlaces places = FindDriverLogoPlaces(job);
    std::vector<uint8_t> out;
    out.reserve(job.size() + (logos.a ? logos.a->size() : 0) + (logos.b ? logos.b->size() : 0));
    out.insert(out.end(), job.begin(), job.begin() + static_cast<std::ptrdiff_t>(places.a));
    if (logos.a) {
        out.insert(out.end(), logos.a->begin(), logos.a->end());
    }
    out.insert(out.end(), job.begin() + static_cast<std::ptrdiff_t>(places.a),
               job.begin() + static_cast<std::ptrdiff_t>(places.b));
    if (logos.b) {
        out.insert(out.end(), logos.b->begin(), logos.b->end());
    }
    out.insert(out.end(), job.begin() + static_cast<std::ptrdiff_t>(places.b), job.end());
    return out;
}

} // namespace tessaline
