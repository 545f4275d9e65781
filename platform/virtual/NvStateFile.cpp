// SPDX-License-Identifier: MIT
#include "NvStateFile.h"

#include <string>
#include <string_view>

namespace tessaline {

namespace {

constexpr std::string_view kMark = "TLNV1\n";
// The NV graphics follow the images only when there are any, so a memory
// without them is written as before graphics existed.
constexpr std::string_view kGraphicsMark = "TLNG1\n";
// The automatic logos follow, when any is set: for the top and the bottom
// logo a byte 1 and its key, alignment and lines, or a byte 0.
constexpr std::string_view kLogosMark = "TLAL1\n";
constexpr size_t kLogosLength = 6 + 2 * 5;
constexpr size_t kDayLength = 10; // YYYY-MM-DD, or blanks when nothing was written

void PutLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

uint64_t GetLe(std::span<const uint8_t> in, size_t at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value |= static_cast<uint64_t>(in[at + static_cast<size_t>(i)]) << (8 * i);
    }
    return value;
}

bool MarkAt(std::span<const uint8_t> bytes, size_t at, std::string_view mark) {
    return bytes.size() - at >= mark.size() &&
           std::string_view(reinterpret_cast<const char*>(bytes.data() + at), mark.size()) == mark;
}

// The automatic logos section at `at`, the last of the file.
Result<void> DecodeLogos(std::span<const uint8_t> bytes, size_t at, NvMemory& loaded) {
    if (bytes.size() - at != kLogosLength || !MarkAt(bytes, at, kLogosMark)) {
        return Result<void>::Fail("bytes after the last graphic");
    }
    at += kLogosMark.size();
    for (std::optional<AutoLogo>* logo : {&loaded.topLogo, &loaded.bottomLogo}) {
        const auto keyByte = [](uint8_t c) { return c >= 32 && c <= 126; };
        if (bytes[at] == 1 && keyByte(bytes[at + 1]) && keyByte(bytes[at + 2]) &&
            bytes[at + 3] >= 48 && bytes[at + 3] <= 50) {
            *logo = AutoLogo{{static_cast<char>(bytes[at + 1]), static_cast<char>(bytes[at + 2])},
                             bytes[at + 3],
                             bytes[at + 4]};
        } else if (bytes[at] != 0) {
            return Result<void>::Fail("an automatic logo out of range");
        }
        at += 5;
    }
    return {};
}

// The graphics section at `at`, to the end of the file or the logos.
Result<void> DecodeGraphics(std::span<const uint8_t> bytes, size_t at, NvMemory& loaded) {
    if (MarkAt(bytes, at, kLogosMark)) {
        return DecodeLogos(bytes, at, loaded);
    }
    const size_t head = kGraphicsMark.size() + 2;
    if (bytes.size() - at < head ||
        std::string_view(reinterpret_cast<const char*>(bytes.data() + at), kGraphicsMark.size()) !=
            kGraphicsMark) {
        return Result<void>::Fail("bytes after the last image");
    }
    const auto count = GetLe(bytes, at + kGraphicsMark.size(), 2);
    at += head;
    for (uint64_t k = 1; k <= count; ++k) {
        const std::string which = "graphic " + std::to_string(k);
        if (bytes.size() - at < 6) {
            return Result<void>::Fail(which + ": size cut short");
        }
        const auto keyByte = [](uint8_t c) { return c >= 32 && c <= 126; };
        const uint8_t kc1 = bytes[at];
        const uint8_t kc2 = bytes[at + 1];
        NvGraphic graphic;
        graphic.key = {static_cast<char>(kc1), static_cast<char>(kc2)};
        graphic.width = static_cast<uint16_t>(GetLe(bytes, at + 2, 2));
        graphic.height = static_cast<uint16_t>(GetLe(bytes, at + 4, 2));
        if (!keyByte(kc1) || !keyByte(kc2) || graphic.width < 1 ||
            graphic.width > kNvGraphicMaxWidth || graphic.height < 1 ||
            graphic.height > kNvGraphicMaxHeight) {
            return Result<void>::Fail(which + ": key or size out of range");
        }
        const size_t length = graphic.RowBytes() * graphic.height;
        if (bytes.size() - at - 6 < length) {
            return Result<void>::Fail(which + ": rows cut short");
        }
        const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(at + 6);
        graphic.rows.assign(first, first + static_cast<std::ptrdiff_t>(length));
        if (!loaded.graphics.empty() && !(loaded.graphics.back().key < graphic.key)) {
            return Result<void>::Fail(which + ": keys out of order");
        }
        loaded.graphics.push_back(std::move(graphic));
        at += 6 + length;
    }
    if (at != bytes.size()) {
        return DecodeLogos(bytes, at, loaded);
    }
    return {};
}

} // namespace

std::vector<uint8_t> EncodeNvMemory(const NvMemory& memory) {
    std::vector<uint8_t> out(kMark.begin(), kMark.end());
    std::string day = memory.writesDay.substr(0, kDayLength);
    day.resize(kDayLength, ' ');
    out.insert(out.end(), day.begin(), day.end());
    PutLe(out, memory.writesThatDay, 4);
    PutLe(out, memory.images.size(), 2);
    for (const NvImage& image : memory.images) {
        PutLe(out, image.x, 2);
        PutLe(out, image.y, 2);
        out.insert(out.end(), image.raster.begin(), image.raster.end());
    }
    if (!memory.graphics.empty()) {
        out.insert(out.end(), kGraphicsMark.begin(), kGraphicsMark.end());
        PutLe(out, memory.graphics.size(), 2);
        for (const NvGraphic& graphic : memory.graphics) {
            out.insert(out.end(), graphic.key.begin(), graphic.key.end());
            PutLe(out, graphic.width, 2);
            PutLe(out, graphic.height, 2);
            out.insert(out.end(), graphic.rows.begin(), graphic.rows.end());
        }
    }
    if (memory.topLogo || memory.bottomLogo) {
        out.insert(out.end(), kLogosMark.begin(), kLogosMark.end());
        for (const std::optional<AutoLogo>& logo : {memory.topLogo, memory.bottomLogo}) {
            if (logo && logo->key.size() == 2) {
                out.insert(out.end(),
                           {1, static_cast<uint8_t>(logo->key[0]),
                            static_cast<uint8_t>(logo->key[1]), logo->align, logo->lines});
            } else {
                out.insert(out.end(), {0, 0, 0, 0, 0});
            }
        }
    }
    return out;
}

bool DecodeNvWrites(std::span<const uint8_t> bytes, NvMemory& memory) {
    if (bytes.size() < kMark.size() + kDayLength + 4 ||
        std::string_view(reinterpret_cast<const char*>(bytes.data()), kMark.size()) != kMark) {
        return false;
    }
    std::string day(reinterpret_cast<const char*>(bytes.data()) + kMark.size(), kDayLength);
    while (!day.empty() && day.back() == ' ') {
        day.pop_back();
    }
    memory.writesDay = day;
    memory.writesThatDay = static_cast<uint32_t>(GetLe(bytes, kMark.size() + kDayLength, 4));
    return true;
}

Result<void> DecodeNvMemory(std::span<const uint8_t> bytes, NvMemory& memory) {
    const size_t head = kMark.size() + kDayLength + 4 + 2;
    NvMemory loaded;
    if (bytes.size() < head || !DecodeNvWrites(bytes, loaded)) {
        return Result<void>::Fail("not an NV memory file");
    }
    const auto count = GetLe(bytes, kMark.size() + kDayLength + 4, 2);
    size_t at = head;
    for (uint64_t k = 1; k <= count; ++k) {
        if (bytes.size() - at < 4) {
            return Result<void>::Fail("image " + std::to_string(k) + ": size cut short");
        }
        const auto x = static_cast<uint16_t>(GetLe(bytes, at, 2));
        const auto y = static_cast<uint16_t>(GetLe(bytes, at + 2, 2));
        if (x < 1 || x > kNvMaxX || y < 1 || y > kNvMaxY) {
            return Result<void>::Fail("image " + std::to_string(k) + ": size out of range");
        }
        const size_t length = static_cast<size_t>(x) * y * 8;
        if (bytes.size() - at - 4 < length) {
            return Result<void>::Fail("image " + std::to_string(k) + ": raster cut short");
        }
        const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(at + 4);
        loaded.images.push_back(NvImage{
            x, y, std::vector<uint8_t>(first, first + static_cast<std::ptrdiff_t>(length))});
        at += 4 + length;
    }
    if (at != bytes.size()) {
        if (auto read = DecodeGraphics(bytes, at, loaded); !read) {
            return read;
        }
    }
    memory = std::move(loaded);
    return {};
}

} // namespace tessaline
