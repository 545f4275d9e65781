// SPDX-License-Identifier: MIT
// What each known model of receipt printer is, as data: its maker and the
// names it goes by, the paper it takes and the dots a line of each holds, its
// command set, its NV memory and how often that may be written. Every figure
// names where it came from; a figure nobody documented stays unknown. What a
// printer answers about itself always wins over its profile.
#pragma once

#include "printer/Profile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tessaline {

// How a model keeps its logos, where that is known.
enum class ProfileCommands : uint8_t { Unknown, NvGraphics, NvBitImages, StarLine, StarPrnt };

// "nv-graphics", "nv-bit-images", "star-line", "star-prnt" or "unknown".
std::string_view ProfileCommandsName(ProfileCommands commands);

struct ProfilePaper {
    int32_t millimetres = 0; // the roll's width
    int32_t dots = 0;        // printable dots across it
    const char* source = ""; // where the figure comes from
};

// A number a document gives, with the document; 0 with no source: unknown.
struct ProfileFigure {
    uint64_t value = 0;
    const char* source = "";
    bool Known() const { return source[0] != '\0'; }
};

inline constexpr size_t kMaxProfilePapers = 3;

struct PrinterProfile {
    const char* id = "";      // "epson-tm-t88v": the name commands take
    const char* maker = "";   // "Epson"; empty for printers sold under many names
    const char* model = "";   // "TM-T88V"
    const char* aliases = ""; // other names it answers with, '|' between them
    int32_t dpi = 0;
    const char* language = ""; // "esc-pos", "star-line" or "star-prnt"
    ProfileCommands commands = ProfileCommands::Unknown;
    const char* commandsSource = "";
    // The paper it takes; the first is the one it ships with.
    ProfilePaper papers[kMaxProfilePapers] = {};
    size_t paperCount = 0;
    ProfileFigure nvGraphicsBytes; // GS ( L memory
    ProfileFigure nvBitImageBytes; // FS q memory
    ProfileFigure nvWritesPerDay;  // the maker's advice for NV writes a day
    const char* codePages = "";    // the data set's name for its code page table
    bool cutter = false;
    const char* source = ""; // where the profile as a whole comes from

    std::span<const ProfilePaper> Papers() const { return {papers, paperCount}; }
    // The dots across the paper it ships with; nothing when not known.
    std::optional<int32_t> PaperDots() const;
    // "Epson TM-T88V", or the model alone for printers of no one maker.
    std::string Name() const;
};

// What the printer `profile` describes is: the data set's figures where it
// has them, Profile's own (Tessaline's virtual printer) where it has none;
// a model sold under many names says "Generic" made it, and one that keeps
// its logos as FS q bit images alone has no NV graphics.
Profile ProfileOf(const PrinterProfile& profile);

// Every profile, in the order of their ids.
std::span<const PrinterProfile> PrinterProfiles();

// How a printer's answer was matched to a profile.
enum class ProfileMatchKind : uint8_t {
    Name,      // its model name, spelt as the profile spells it or another way
    Alias,     // another name of the same model
    NameStart, // the profile's name followed by a variant's letters ("TM-T88V-i")
};

struct ProfileMatch {
    const PrinterProfile* profile = nullptr;
    ProfileMatchKind kind = ProfileMatchKind::Name;
};

// The profile of a printer that answered `maker` (may be empty) and `model`,
// as GS I or an IEEE 1284 device ID spell them: letter case, blanks, hyphens
// and a leading maker's name do not matter. A name that only begins with a
// profile's matches where what follows cannot be a later generation's numeral
// ("TM-T88VI" is not a "TM-T88V"); of several, the longest name wins. A maker
// that differs from the profile's rules it out.
std::optional<ProfileMatch> MatchProfile(std::string_view maker, std::string_view model);

// The profile named by its id or by "maker model" / model as a person types
// it ("tm-t88v", "Epson TM-T88V"); nothing for a name no profile has.
const PrinterProfile* FindProfile(std::string_view name);

// The dots across the `millimetres` roll a printer says it is set for: the
// figure its profile gives for that roll, else, for a printer of 203 dpi or
// of no known profile, the usual figure of a 58 or 80 mm roll (PaperRolls.h);
// nothing when neither is known.
std::optional<int32_t> RollDots(int32_t millimetres, const PrinterProfile* profile);

// The NV memory one FS q image of `width` x `height` dots takes: its raster,
// x and y counted in 8-dot units, and its 4-byte header.
uint64_t NvBitImageBytes(int32_t width, int32_t height);

} // namespace tessaline
