#include "NvStateFile.h"

#include <string>
#include <string_view>

namespace tessaline {

namespace {

constexpr std::string_view kMark = "TLNV1\n";
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
        return Result<void>::Fail("bytes after the last image");
    }
    memory = std::move(loaded);
    return {};
}

} // namespace tessaline
