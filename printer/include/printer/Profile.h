// SPDX-License-Identifier: MIT
// What a printer is, to the code that talks to it and to the emulator that
// stands in for one: the command language it speaks, the dots across its
// paper, its NV memory and how often that may be written, what it answers
// and who it says it is. Plain data with the standard library alone, so the
// emulator takes it without printer/'s encoders; the data set's profiles
// fill one (ProfileOf in PrinterProfiles.h).
#pragma once

#include <cstdint>
#include <string>

namespace tessaline {

// The NV writes a day a printer is given unless a run says otherwise: the
// advice the TM-T88V's documents give (its profile's nvWritesPerDay), which
// no other maker's document given here contradicts.
inline constexpr int64_t kDefaultNvWritesPerDay = 10;

// The command language a printer speaks.
enum class PrinterLanguage { EscPos, StarLine, StarPrnt };

// A profile left as made is Tessaline's own virtual printer.
struct Profile {
    PrinterLanguage language = PrinterLanguage::EscPos;
    int paperWidth = 576;         // dots across the paper (384 for 58 mm rolls)
    uint64_t nvCapacity = 262144; // bytes of NV memory for bit images (FS q)
    uint64_t nvGraphics = 262144; // bytes of NV graphics memory (GS ( L); 0: a model without it
    uint32_t nvWritesPerDay = kDefaultNvWritesPerDay; // more wear the NV memory out
    // How it behaves on a connection that carries replies back:
    bool answers = true; // false: a one-way device that answers nothing
    // false: a model with NV graphics but without the automatic logo (FS ( E),
    // which neither keeps nor answers its settings.
    bool autoLogo = true;
    // false: a StarPRNT model that lists its graphics' keys but does not send
    // a stored graphic's data back (ESC GS ) L function 51).
    bool graphicData = true;
    // Who it says made it and what model it is (GS I 66 and 67).
    std::string maker = "Tessaline";
    std::string modelName = "Virtual";

    friend bool operator==(const Profile&, const Profile&) = default;
};

} // namespace tessaline
