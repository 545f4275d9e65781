// SPDX-License-Identifier: MIT
// StarPRNT NV graphics: the keyed logos of ESC/POS's GS ( L behind an ESC
// (ESC GS ( L, ESC GS 8 L for the long form), and the transmit commands
// ESC GS ) L that answer with the key list and with a stored graphic's data.
#pragma once

#include "base/Result.h"
#include "printer/NvGraphics.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tessaline {

// The transmit functions of ESC GS ) L.
inline constexpr uint8_t kStarGraphicUsed = 49;
inline constexpr uint8_t kStarGraphicKeys = 50;
inline constexpr uint8_t kStarGraphicData = 51;

// ESC GS ( L ... function 67: store one graphic under `key` (refused as
// StoreGraphicCommand refuses).
Result<std::vector<uint8_t>> StarStoreGraphicCommand(GraphicKey key, const RasterGraphic& graphic);
// Function 69: print it at scale x, y (1 or 2 each).
Result<std::vector<uint8_t>> StarPrintGraphicCommand(GraphicKey key, int32_t scaleX,
                                                     int32_t scaleY);
// Function 66: delete one graphic.
std::vector<uint8_t> StarDeleteGraphicCommand(GraphicKey key);
// Function 65: delete every graphic.
std::vector<uint8_t> StarDeleteAllGraphicsCommand();

// ESC GS ) L 03 00 50 00 00: the keys of every stored graphic.
std::vector<uint8_t> StarGraphicKeysRequest();
// ESC GS ) L 03 00 51 kc1 kc2: the stored graphic's definition.
std::vector<uint8_t> StarGraphicDataRequest(GraphicKey key);

// The most keys one key list carries.
inline constexpr std::size_t kMaxStarGraphicKeys = 512;

// What a transmit reply says.
struct StarGraphicReply {
    uint8_t fn = 0;
    std::vector<GraphicKey> keys;         // function 50
    GraphicKey key;                       // function 51: the key asked for
    std::optional<RasterGraphic> graphic; // function 51: nothing when not stored
    uint8_t colours = 0;                  // function 51: colours the definition holds
};

// Finds one ESC GS ) L reply (ESC GS ) L pL pH fn ... LF NUL) in what the
// printer sends, however split; bytes before it that cannot start one are
// dropped, and so is a reply whose frame is broken (keys that are not key
// bytes, a size past 8192 x 2304 dots, a colour other than 49 or 50, no LF NUL
// at its end). Only the first colour of a graphic is kept.
class StarGraphicReader {
public:
    void Feed(std::span<const uint8_t> bytes);
    std::optional<StarGraphicReply> Reply();
    std::size_t Dropped() const { return m_dropped; }

private:
    // 1 whole (`reply` and `used` set), 0 incomplete, -1 not a reply.
    int Parse(StarGraphicReply& reply, std::size_t& used) const;

    std::vector<uint8_t> m_pending;
    std::size_t m_dropped = 0;
};

} // namespace tessaline
