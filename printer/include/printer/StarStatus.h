// SPDX-License-Identifier: MIT
// What a Star printer says about itself: its automatic status (ASB), sent on
// its own when something changes or at once for ESC ACK SOH, and its version
// text for ESC # * LF NUL. Both Star Line Mode and StarPRNT answer them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

// ESC ACK SOH: the automatic status, now.
std::vector<uint8_t> StarStatusRequest();
// ESC # * LF NUL: the printer's model and firmware version.
std::vector<uint8_t> StarVersionRequest();

// The byte count header 1 announces (header 1 included), or nothing for a
// byte that is not a header 1: bit 0 set, bits 4 and 7 clear, the count in
// bits 1 to 3 and 5 to 6.
std::optional<std::size_t> StarStatusLength(uint8_t header1);

// The shortest status a printer sends (up to printer status 5).
inline constexpr std::size_t kMinStarStatusLength = 7;

// One automatic status: header 1, header 2, then printer status 1 (the third
// byte) onwards.
struct StarStatus {
    std::vector<uint8_t> bytes;

    // Printer status n (1-based: printer status 1 is the third byte); 0 when
    // the printer did not send it.
    uint8_t Byte(std::size_t n) const;
    bool Offline() const { return (Byte(1) & 0x08) != 0; }
    bool CoverOpen() const { return (Byte(1) & 0x20) != 0; }
    bool DrawerSignal() const { return (Byte(1) & 0x04) != 0; }
    bool HeadTooHot() const { return (Byte(2) & 0x40) != 0; }
    bool UnrecoverableError() const { return (Byte(2) & 0x20) != 0; }
    bool CutterError() const { return (Byte(2) & 0x08) != 0; }
    bool MechanicalError() const { return (Byte(2) & 0x04) != 0; }
    bool ReceiveBufferOverflow() const { return (Byte(3) & 0x40) != 0; }
    bool CommandError() const { return (Byte(3) & 0x20) != 0; }
    bool BlackMarkError() const { return (Byte(3) & 0x08) != 0; }
    bool PresenterJam() const { return (Byte(3) & 0x04) != 0; }
    bool HeadUp() const { return (Byte(3) & 0x02) != 0; }
    bool PaperEnd() const { return (Byte(4) & 0x08) != 0; }
    bool PaperNearEnd() const { return (Byte(4) & 0x06) != 0; }

    // Ready: nothing it reports stops printing (a near end only warns).
    bool Ready() const;
    // Why it is not ready, then the warnings, in plain words, in a fixed order.
    std::vector<std::string> Conditions() const;
};

// Collects what a Star printer sends and finds one automatic status in it,
// however the bytes were split. Bytes that cannot start one (XON, XOFF, the
// rest of a late reply) are dropped, and so is a header whose following bytes
// are not status bytes (bit 0, 4 and 7 clear).
class StarStatusReader {
public:
    void Feed(std::span<const uint8_t> bytes);
    // The status once it is whole; nothing while it is incomplete.
    std::optional<StarStatus> Reply();
    std::size_t Dropped() const { return m_dropped; }

private:
    std::vector<uint8_t> m_pending;
    std::size_t m_dropped = 0;
};

// The longest version text taken before the reply counts as noise.
inline constexpr std::size_t kMaxStarVersionText = 80;

// Finds the version reply ESC # * , text LF NUL and hands back the text
// ("TSP143IIIW Ver1.0"); bytes before its ESC are dropped.
class StarVersionReader {
public:
    void Feed(std::span<const uint8_t> bytes);
    std::optional<std::string> Reply();
    std::size_t Dropped() const { return m_dropped; }

private:
    std::vector<uint8_t> m_pending;
    std::size_t m_dropped = 0;
};

} // namespace tessaline
