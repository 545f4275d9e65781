// SPDX-License-Identifier: MIT
// The automatic logo: an NV graphic the printer prints by itself at the top
// and the bottom of every receipt (FS ( E, functions 60 to 65, m = 2), set
// by key and kept in the printer's NV memory, so no driver or spooler needs
// to send it.
#pragma once

#include "base/Result.h"
#include "printer/NvGraphics.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// The function numbers of FS ( E for the automatic logo.
inline constexpr uint8_t kLogoCancel = 60;    // NV write
inline constexpr uint8_t kLogoSettings = 61;  // ask: reply 37 3D ... 00
inline constexpr uint8_t kLogoSetTop = 62;    // NV write
inline constexpr uint8_t kLogoSetBottom = 63; // NV write
inline constexpr uint8_t kLogoExtended = 64;  // NV write
inline constexpr uint8_t kLogoEnable = 65;    // RAM only, until the printer is reset

// Which of the two logos a command or a reply is about (its c or a byte).
enum class LogoPlace : uint8_t { Top = 48, Bottom = 49 };
// How a logo sits across the paper (its a byte).
enum class LogoAlign : uint8_t { Left = 48, Center = 49, Right = 50 };

// "left", "center", "right".
std::string_view AlignName(LogoAlign align);
// The alignment named by "left", "center" (or "centre") or "right", or why not.
Result<LogoAlign> ParseLogoAlign(std::string_view text);

// One logo the printer prints by itself.
struct LogoSetting {
    GraphicKey key;
    LogoAlign align = LogoAlign::Center;
    // Top logo only: the lines of the receipt's own feed it takes back after
    // printing (0 keeps them), when the printer said.
    std::optional<uint8_t> linesRemoved;
    friend bool operator==(const LogoSetting&, const LogoSetting&) = default;
};

// What the printer prints by itself: a top logo, a bottom logo, both or neither.
struct AutoLogoSettings {
    std::optional<LogoSetting> top, bottom;

    bool Any() const { return top || bottom; }
    // The same keys and alignments (the lines taken back are not compared).
    bool SameAs(const AutoLogoSettings& other) const;
};

// "A1,A2,center": the top key, the bottom key (each empty when unset) and the
// alignment (the top logo's, else the bottom's; "top/bottom" when they
// differ); empty when neither is set.
std::string AutoLogoText(const AutoLogoSettings& settings);
// The settings written as AutoLogoText writes them ("A1,,left", "A1", ",A2",
// ""), the alignment center when it is left out; or why they are not.
Result<AutoLogoSettings> ParseAutoLogoText(std::string_view text);

// FS ( E pL pH fn 2 parameters.
std::vector<uint8_t> LogoCommand(uint8_t fn, std::span<const uint8_t> parameters);
// Function 60: forget the top or the bottom logo ("CLR").
std::vector<uint8_t> CancelLogoCommand(LogoPlace place);
// Function 61: ask what is set for the top or the bottom logo.
std::vector<uint8_t> LogoSettingsRequest(LogoPlace place);
// Function 62: the top logo by key, its alignment and the lines it takes back.
std::vector<uint8_t> SetTopLogoCommand(GraphicKey key, LogoAlign align, uint8_t linesRemoved = 0);
// Function 63: the bottom logo by key and its alignment.
std::vector<uint8_t> SetBottomLogoCommand(GraphicKey key, LogoAlign align);
// Function 65: switch the top or the bottom logo on or off until the printer
// is reset (what is stored stays).
std::vector<uint8_t> EnableLogoCommand(LogoPlace place, bool enabled);

// The commands that leave the printer with exactly `wanted`, and the NV
// writes among them (every 60, 62 and 63).
struct LogoCommands {
    std::vector<uint8_t> bytes;
    int32_t writes = 0;
};
// Each logo set (62) and switched on (65), or forgotten (60) when `wanted`
// has none; a logo `current` (what the printer said it holds) already shows
// as wanted is written again only to switch it on, which costs no NV write.
LogoCommands AutoLogoCommands(const AutoLogoSettings& wanted,
                              const std::optional<AutoLogoSettings>& current);

// One answer to function 61: which logo, and what is set for it (nothing
// when none is).
struct LogoReply {
    LogoPlace place = LogoPlace::Top;
    std::optional<LogoSetting> setting;
};

// Reads one whole reply, from 37 3D to its NUL. The reference gives the
// request but not the reply, so it is read as the other setting replies are
// laid out: 37 3D, the logo (30 top, 31 bottom), then the key (two bytes),
// the alignment and, for the top logo, the lines taken back; or nothing
// between the logo and the NUL when none is set. Numbers come as bytes
// (a = 48 to 50, n = 0 to 255) or as decimal text ("49", "0"), and a top
// reply without its n is taken. Anything else is refused with the reason.
Result<LogoReply> ParseLogoReply(std::span<const uint8_t> frame);

// Finds one reply to function 61 in what a printer sends, however the bytes
// were split across reads; bytes before it that cannot begin one are dropped.
class LogoReplyReader {
public:
    // The longest reply taken, from 37 to its NUL; a longer run is noise.
    static constexpr std::size_t kMaxFrame = 24;

    void Feed(std::span<const uint8_t> bytes);
    // The reply once it is whole (read, or refused with why), nothing before.
    std::optional<Result<LogoReply>> Reply();
    std::size_t Dropped() const { return m_dropped; }

private:
    std::vector<uint8_t> m_pending;
    std::size_t m_dropped = 0;
};

} // namespace tessaline
