// SPDX-License-Identifier: MIT
// NV graphics: logos the printer keeps under two-byte key codes (GS ( L and
// GS 8 L, m = 48), stored, printed and deleted one at a time.
#pragma once

#include "base/Result.h"
#include "imaging/CLogoImage.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// The function numbers of the NV graphics commands.
inline constexpr uint8_t kGraphicsTotalMemory = 48; // reply 37 30 digits 00
inline constexpr uint8_t kGraphicsFreeMemory = 51;  // reply 37 31 digits 00
inline constexpr uint8_t kGraphicsKeyList = 64;
inline constexpr uint8_t kGraphicsDeleteAll = 65;
inline constexpr uint8_t kGraphicsDelete = 66;
inline constexpr uint8_t kGraphicsStoreRaster = 67;
inline constexpr uint8_t kGraphicsPrint = 69;

// The largest parameter count GS ( L carries; a longer command is GS 8 L.
inline constexpr std::size_t kMaxShortGraphicsCount = 65535;
// The size range of one stored graphic, in dots.
inline constexpr int32_t kMaxGraphicWidth = 8192;
inline constexpr int32_t kMaxGraphicHeight = 2304;

// The key an NV graphic is stored under: two bytes from 32 to 126.
struct GraphicKey {
    uint8_t kc1 = 0;
    uint8_t kc2 = 0;

    std::string Text() const { return {static_cast<char>(kc1), static_cast<char>(kc2)}; }
    // A key of blanks is legal but shows as nothing in a list.
    bool Invisible() const { return kc1 == ' ' && kc2 == ' '; }
    friend bool operator==(const GraphicKey&, const GraphicKey&) = default;
    friend auto operator<=>(const GraphicKey&, const GraphicKey&) = default;
};

// True for a byte a key may hold (32 to 126).
constexpr bool IsKeyByte(uint8_t byte) {
    return byte >= 32 && byte <= 126;
}
// The key written as two characters ("A1"), or why it is not one.
Result<GraphicKey> ParseGraphicKey(std::string_view text);

// One graphic as the printer stores it: rows top to bottom, (width + 7) / 8
// bytes each, bit 7 the leftmost dot, 1 a printed dot.
struct RasterGraphic {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rows;
};
// The bytes a row of `width` dots takes.
constexpr std::size_t GraphicRowBytes(int32_t width) {
    return (static_cast<std::size_t>(width) + 7) / 8;
}
// The dots of an NV raster (column by column, 8 vertical dots a byte, top dot
// in bit 7, `paddedHeight` / 8 bytes a column) laid out as rows, cut to the
// logo's own width and height; refused when the raster does not hold them.
Result<RasterGraphic> RasterGraphicFromNvRaster(std::span<const uint8_t> raster,
                                                int32_t paddedHeight, int32_t width,
                                                int32_t height);

// Reads and converts a logo file as an upload does (the same read sequence,
// image mode and brightness, so the same dots) and lays its dots out as rows
// of the logo's own size. "<path>: <reason>" when it does not load or fit.
// "Error Diffusion" writes "TempTe.bmp" with `writePicture` where one is given.
Result<RasterGraphic> ConvertGraphic(const std::string& path, int32_t imageMode, int32_t brightness,
                                     const PictureWriter& writePicture = {});

// GS ( L pL pH 48 fn parameters, or GS 8 L p1 p2 p3 p4 48 fn parameters when
// the count from m on passes kMaxShortGraphicsCount.
std::vector<uint8_t> GraphicsCommand(uint8_t fn, std::span<const uint8_t> parameters);
// Function 67: store one raster graphic, one colour, under `key`; refused for
// a size outside 1..8192 x 1..2304 or rows of the wrong length.
Result<std::vector<uint8_t>> StoreGraphicCommand(GraphicKey key, const RasterGraphic& graphic);
// Function 69: print the stored graphic at scale x, y (1 or 2 each).
Result<std::vector<uint8_t>> PrintGraphicCommand(GraphicKey key, int32_t scaleX, int32_t scaleY);
// Function 66: delete one stored graphic.
std::vector<uint8_t> DeleteGraphicCommand(GraphicKey key);
// Function 65: delete every stored graphic ("CLR").
std::vector<uint8_t> DeleteAllGraphicsCommand();
// Function 64: ask for the key list ("KC"); answered block by block.
std::vector<uint8_t> GraphicKeyListCommand();

// The host's answers in the key list handshake.
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kCan = 0x18;

// Reads the printer's key list: blocks of 37 72, a status (40 last, 41 more
// follow), up to 40 key pairs, 00. Bytes arrive as the link delivers them
// (split anywhere, with stray bytes before a block); each block is answered
// with ACK, a malformed one with NAK so the printer sends it again, and after
// kMaxKeyListRetries malformed blocks in a row the host gives up with CAN.
class KeyListExchange {
public:
    static constexpr int kMaxKeyListRetries = 3;
    static constexpr std::size_t kMaxKeysPerBlock = 40;

    enum class State { Reading, Done, Failed };

    // Takes the bytes read so far; returns what the host must send back now
    // (ACK, NAK, CAN, or nothing while a block is incomplete).
    std::vector<uint8_t> Feed(std::span<const uint8_t> bytes);

    State Current() const { return m_state; }
    // Every key of every accepted block, in the printer's order.
    const std::vector<GraphicKey>& Keys() const { return m_keys; }
    // Why the exchange failed; empty otherwise.
    const std::string& Failure() const { return m_failure; }

private:
    // Looks at the buffered block: 1 accepted, 0 incomplete, -1 malformed
    // (`why` says how); `used` gets the bytes it took.
    int ParseBlock(std::size_t& used, bool& last, std::string& why);

    std::vector<uint8_t> m_pending;
    std::vector<GraphicKey> m_keys;
    std::string m_failure;
    State m_state = State::Reading;
    int m_retries = 0;
};

} // namespace tessaline
