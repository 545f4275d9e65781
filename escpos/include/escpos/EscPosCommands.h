// SPDX-License-Identifier: MIT
#pragma once

#include "escpos/CommandTable.h"

namespace tessaline {

// What the ESC/POS interpreter does with each command of its table.
enum class EscPos : uint16_t {
    LineFeed,
    CarriageReturn,
    Tab,
    Initialise,
    DefaultSpacing,  // ESC 2
    CutNow,          // ESC i, ESC m
    ColumnImage,     // ESC *
    TabStops,        // ESC D
    UserCharacters,  // ESC &
    EscWithOne,      // ESC and one parameter byte
    NotDrawn,        // understood, changes nothing drawn: skipped, named once
    Graphics,        // GS ( L, GS 8 L
    Extended,        // GS ( and a count, other than GS ( L
    Cut,             // GS V
    Question,        // DLE EOT n, GS I n
    Raster,          // GS v 0
    Barcode,         // GS k
    DownloadedImage, // GS *
    GsWithOne,       // GS and one parameter byte
    DefineImages,    // FS q
    PrintImage,      // FS p
    EraseImages,     // FS e
    KoreanOn,        // FS &
    KoreanOff,       // FS .
    AutoLogo,        // FS ( E: the automatic logo
};

// The ESC/POS commands this emulator knows, as one table.
const CommandLanguage& EscPosCommands();

inline EscPos EscPosId(const CommandSpec& spec) {
    return static_cast<EscPos>(spec.id);
}

} // namespace tessaline
