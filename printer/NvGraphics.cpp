// SPDX-License-Identifier: MIT
#include "printer/NvGraphics.h"

#include <algorithm>
#include <array>

namespace tessaline {
namespace {

constexpr uint8_t kGs = 0x1D;
constexpr uint8_t kFunctionGroup = 48; // m: the NV graphics functions

std::string KeyByteText(uint8_t byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("byte ") + kHex[byte >> 4] + kHex[byte & 15] + "h";
}

} // namespace

Result<GraphicKey> ParseGraphicKey(std::string_view text) {
    if (text.size() != 2) {
        return Result<GraphicKey>::Fail("a key is two characters (\"A1\"), not " +
                                        std::to_string(text.size()) + ": \"" + std::string(text) +
                                        "\"");
    }
    const GraphicKey key{static_cast<uint8_t>(text[0]), static_cast<uint8_t>(text[1])};
    for (const uint8_t byte : {key.kc1, key.kc2}) {
        if (!IsKeyByte(byte)) {
            return Result<GraphicKey>::Fail("a key holds characters from 32 to 126 (blank to "
                                            "\"~\"), not " +
                                            KeyByteText(byte));
        }
    }
    return key;
}

Result<RasterGraphic> RasterGraphicFromNvRaster(std::span<const uint8_t> raster,
                                                int32_t paddedHeight, int32_t width,
                                                int32_t height) {
    if (width < 1 || height < 1 || paddedHeight < height || paddedHeight % 8 != 0) {
        return Result<RasterGraphic>::Fail("no dots to lay out");
    }
    const auto bands = static_cast<std::size_t>(paddedHeight) / 8;
    const auto columns = static_cast<std::size_t>(width);
    if (raster.size() < bands * columns) {
        return Result<RasterGraphic>::Fail("the raster holds fewer dots than the logo");
    }
    RasterGraphic graphic;
    graphic.width = width;
    graphic.height = height;
    const std::size_t rowBytes = GraphicRowBytes(width);
    graphic.rows.assign(rowBytes * static_cast<std::size_t>(height), 0);
    for (std::size_t x = 0; x < columns; ++x) {
        const uint8_t* column = raster.data() + x * bands;
        const auto bit = static_cast<uint8_t>(0x80u >> (x % 8));
        uint8_t* out = graphic.rows.data() + x / 8;
        for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y, out += rowBytes) {
            if ((column[y / 8] >> (7 - y % 8)) & 1u) {
                *out = static_cast<uint8_t>(*out | bit);
            }
        }
    }
    return graphic;
}

Result<RasterGraphic> ConvertGraphic(const std::string& path, int32_t imageMode, int32_t brightness,
                                     const PictureWriter& writePicture) {
    CLogoImage image;
    image.SetPictureWriter(writePicture);
    image.SetWritesThresholdBitmap(static_cast<bool>(writePicture));
    const LogoFlags flags = ReadLogo(image, path);
    if (!image.HasBitmap()) {
        return Result<RasterGraphic>::Fail(path + ": " + image.LoadFailure());
    }
    if (!image.FitsNvImage()) {
        return Result<RasterGraphic>::Fail(path + ": " + image.NvFitFailure());
    }
    image.ConvertLogo(flags.greyFlag, flags.whiteFlag, imageMode, ClampBrightness(brightness));
    const BitmapDescription& size = image.Description();
    auto graphic = RasterGraphicFromNvRaster(image.Raster(), image.PaddedHeight(), size.bmWidth,
                                             size.bmHeight);
    if (!graphic) {
        return Result<RasterGraphic>::Fail(path + ": " + graphic.Reason());
    }
    return graphic;
}

std::vector<uint8_t> GraphicsCommand(uint8_t fn, std::span<const uint8_t> parameters) {
    const std::size_t count = parameters.size() + 2; // m and fn count too
    const bool longForm = count > kMaxShortGraphicsCount;
    const std::size_t countBytes = longForm ? 4 : 2;
    // Sized once and filled in place: the whole command, head and parameters.
    std::vector<uint8_t> out(3 + countBytes + count);
    out[0] = kGs;
    out[1] = longForm ? 0x38 : 0x28;
    out[2] = 0x4C;
    for (std::size_t i = 0; i < countBytes; ++i) {
        out[3 + i] = static_cast<uint8_t>((count >> (8 * i)) & 0xFF);
    }
    out[3 + countBytes] = kFunctionGroup;
    out[4 + countBytes] = fn;
    std::copy(parameters.begin(), parameters.end(),
              out.begin() + static_cast<std::ptrdiff_t>(5 + countBytes));
    return out;
}

Result<std::vector<uint8_t>> StoreGraphicCommand(GraphicKey key, const RasterGraphic& graphic) {
    using Bytes = Result<std::vector<uint8_t>>;
    if (!IsKeyByte(key.kc1) || !IsKeyByte(key.kc2)) {
        return Bytes::Fail("a key holds characters from 32 to 126");
    }
    if (graphic.width < 1 || graphic.width > kMaxGraphicWidth || graphic.height < 1 ||
        graphic.height > kMaxGraphicHeight) {
        return Bytes::Fail("an NV graphic is 1 to 8192 dots wide and 1 to 2304 high, not " +
                           std::to_string(graphic.width) + " x " + std::to_string(graphic.height));
    }
    const std::size_t k = GraphicRowBytes(graphic.width) * static_cast<std::size_t>(graphic.height);
    if (graphic.rows.size() != k) {
        return Bytes::Fail("the rows hold " + std::to_string(graphic.rows.size()) +
                           " bytes where " + std::to_string(k) + " are needed");
    }
    const auto x = static_cast<uint16_t>(graphic.width);
    const auto y = static_cast<uint16_t>(graphic.height);
    // a = 48 raster, b = 1 colour, c = 49 the first colour.
    const std::array<uint8_t, 9> head = {48,
                                         key.kc1,
                                         key.kc2,
                                         1,
                                         static_cast<uint8_t>(x & 0xFF),
                                         static_cast<uint8_t>(x >> 8),
                                         static_cast<uint8_t>(y & 0xFF),
                                         static_cast<uint8_t>(y >> 8),
                                         49};
    std::vector<uint8_t> parameters;
    parameters.reserve(head.size() + k);
    parameters.insert(parameters.end(), head.begin(), head.end());
    parameters.insert(parameters.end(), graphic.rows.begin(), graphic.rows.end());
    return GraphicsCommand(kGraphicsStoreRaster, parameters);
}

Result<std::vector<uint8_t>> PrintGraphicCommand(GraphicKey key, int32_t scaleX, int32_t scaleY) {
    using Bytes = Result<std::vector<uint8_t>>;
    if (!IsKeyByte(key.kc1) || !IsKeyByte(key.kc2)) {
        return Bytes::Fail("a key holds characters from 32 to 126");
    }
    const auto valid = [](int32_t scale) { return scale == 1 || scale == 2; };
    if (!valid(scaleX) || !valid(scaleY)) {
        return Bytes::Fail("a graphic prints at scale 1 or 2 each way, not " +
                           std::to_string(scaleX) + " x " + std::to_string(scaleY));
    }
    const std::array<uint8_t, 4> parameters = {key.kc1, key.kc2, static_cast<uint8_t>(scaleX),
                                               static_cast<uint8_t>(scaleY)};
    return GraphicsCommand(kGraphicsPrint, parameters);
}

std::vector<uint8_t> DeleteGraphicCommand(GraphicKey key) {
    const std::array<uint8_t, 2> parameters = {key.kc1, key.kc2};
    return GraphicsCommand(kGraphicsDelete, parameters);
}

std::vector<uint8_t> DeleteAllGraphicsCommand() {
    static constexpr std::array<uint8_t, 3> kClear = {'C', 'L', 'R'};
    return GraphicsCommand(kGraphicsDeleteAll, kClear);
}

std::vector<uint8_t> GraphicKeyListCommand() {
    static constexpr std::array<uint8_t, 2> kKeyCodes = {'K', 'C'};
    return GraphicsCommand(kGraphicsKeyList, kKeyCodes);
}

std::vector<uint8_t> KeyListExchange::Feed(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> answer;
    if (m_state != State::Reading) {
        return answer;
    }
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
    for (;;) {
        std::size_t used = 0;
        bool last = false;
        std::string why;
        const int parsed = ParseBlock(used, last, why);
        if (parsed == 0) {
            return answer;
        }
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(used));
        if (parsed < 0) {
            if (++m_retries > kMaxKeyListRetries) {
                answer.push_back(kCan);
                m_state = State::Failed;
                m_failure = "the key list came malformed " + std::to_string(m_retries) +
                            " times in a row (" + why + ")";
                return answer;
            }
            // Whatever is left belongs to the block being thrown away.
            m_pending.clear();
            answer.push_back(kNak);
            return answer;
        }
        m_retries = 0;
        answer.push_back(kAck);
        if (last) {
            m_state = State::Done;
            m_pending.clear();
            return answer;
        }
    }
}

int KeyListExchange::ParseBlock(std::size_t& used, bool& last, std::string& why) {
    // Stray bytes before the header (late status replies, noise) are dropped.
    std::size_t start = 0;
    while (start < m_pending.size() &&
           !(m_pending[start] == 0x37 &&
             (start + 1 == m_pending.size() || m_pending[start + 1] == 0x72))) {
        ++start;
    }
    if (start > 0) {
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(start));
    }
    if (m_pending.size() < 3) {
        return 0;
    }
    const uint8_t status = m_pending[2];
    if (status != 0x40 && status != 0x41) {
        used = 3;
        why = "status " + KeyByteText(status) + " where 40h or 41h belongs";
        return -1;
    }
    std::vector<GraphicKey> keys;
    std::size_t i = 3;
    for (; i < m_pending.size() && m_pending[i] != 0x00; ++i) {
        if (!IsKeyByte(m_pending[i])) {
            used = i + 1;
            why = KeyByteText(m_pending[i]) + " inside the list";
            return -1;
        }
        if (i - 3 >= 2 * kMaxKeysPerBlock) {
            used = i + 1;
            why = "more than 40 keys in one block";
            return -1;
        }
    }
    if (i == m_pending.size()) {
        return 0;
    }
    const std::size_t keyBytes = i - 3;
    used = i + 1;
    if (keyBytes % 2 != 0) {
        why = "half a key before the end";
        return -1;
    }
    for (std::size_t k = 3; k < i; k += 2) {
        m_keys.push_back({m_pending[k], m_pending[k + 1]});
    }
    last = status == 0x40;
    return 1;
}

} // namespace tessaline
