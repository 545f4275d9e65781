// SPDX-License-Identifier: MIT
#include "imaging/BmpReader.h"

#include "imaging/PathEncoding.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>

namespace tessaline {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12; // OS/2 and Windows 2.x: 16-bit sizes, 3-byte palette
constexpr int64_t kMaxDimension = 32767;
constexpr uintmax_t kMaxFileBytes = uintmax_t{96} * 1024 * 1024;
// The pixels of an uncompressed file fit whenever the file itself does, and
// the largest logo the printer takes (8184 x 2304 at 32 bits, 72 MiB) with
// them; an RLE stream may not expand beyond the same bound.
constexpr int64_t kMaxPixelBytes = static_cast<int64_t>(kMaxFileBytes);

constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;

using Bytes = std::span<const uint8_t>;

// Callers check the bounds before reading.
uint16_t Get16(Bytes b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

uint32_t Get32(Bytes b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

int32_t GetI32(Bytes b, size_t at) {
    return static_cast<int32_t>(Get32(b, at));
}

bool IsKnownHeaderSize(uint32_t size) {
    return size == kCoreHeaderSize || size == 40 || size == 52 || size == 56 || size == 108 ||
           size == 124;
}

bool IsKnownDepth(uint16_t bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

bool CompressionFitsDepth(uint32_t compression, uint16_t bpp) {
    switch (compression) {
    case kRgb:
        return true;
    case kRle8:
        return bpp == 8;
    case kRle4:
        return bpp == 4;
    case kBitFields:
        return bpp == 16 || bpp == 32;
    default:
        return false;
    }
}

// The layout facts of one file, all checked against each other and the file size.
struct Layout {
    int64_t width = 0;
    int64_t height = 0; // absolute
    bool topDown = false;
    uint16_t bpp = 0;
    uint32_t compression = 0;
    int64_t stride = 0;
    uint64_t pixelOffset = 0;
    uint64_t imageSize = 0;
};

bool IsRle(const Layout& l) {
    return l.compression == kRle8 || l.compression == kRle4;
}

// Expands a Windows RLE8 or RLE4 stream into zero-filled bottom-up rows and
// marks every pixel the stream never sets. Runs and absolute blocks may go on
// into the row's padding, as some writers emit them for widths that are not a
// multiple of 4; the pixels beyond the width are dropped.
class RleExpander {
public:
    RleExpander(const Layout& layout, DecodedBitmap& out)
        : m_layout(layout), m_out(out.pixels), m_skipped(out.skipped), m_four(layout.bpp == 4),
          m_skippedStride(static_cast<size_t>((layout.width + 7) / 8)) {}

    // Returns an empty string on success, else the reason for refusing.
    std::string Run(Bytes data) {
        size_t pos = 0;
        while (data.size() - pos >= 2) {
            const uint8_t count = data[pos];
            const uint8_t value = data[pos + 1];
            pos += 2;
            if (count > 0) {
                if (m_y >= m_layout.height)
                    return "RLE data runs past the last row";
                for (int64_t i = 0; i < count; ++i) {
                    const uint8_t index =
                        m_four ? static_cast<uint8_t>(i % 2 == 0 ? value >> 4 : value & 0x0F)
                               : value;
                    Put(index);
                }
                continue;
            }
            switch (value) {
            case 0: // end of line
                m_x = 0;
                ++m_y;
                break;
            case 1: // end of bitmap
                return {};
            case 2: { // delta
                if (data.size() - pos < 2)
                    return {};
                const int64_t dx = data[pos];
                const int64_t dy = data[pos + 1];
                pos += 2;
                // A delta from within the row must stay within it; one from
                // the padding (after a run that went on past the width) stays
                // in the padding, where nothing is drawn.
                if (m_x <= m_layout.width && m_x + dx > m_layout.width)
                    return "RLE delta moves past the row end";
                if (m_y + dy >= m_layout.height)
                    return "RLE delta moves past the last row";
                m_x += dx;
                m_y += dy;
                break;
            }
            default: { // absolute block of `value` pixels, padded to a 16-bit boundary
                if (m_y >= m_layout.height)
                    return "RLE data runs past the last row";
                const size_t bytes = m_four ? (value + 1u) / 2u : value;
                if (data.size() - pos < bytes)
                    return "RLE absolute block cut short by the end of the data";
                for (size_t i = 0; i < value; ++i) {
                    const uint8_t b = data[pos + (m_four ? i / 2 : i)];
                    Put(m_four ? static_cast<uint8_t>(i % 2 == 0 ? b >> 4 : b & 0x0F) : b);
                }
                pos += std::min(bytes + (bytes & 1u), data.size() - pos);
            }
            }
        }
        return {}; // data ended without the end-of-bitmap escape: keep what was decoded
    }

private:
    void Put(uint8_t index) {
        if (m_x >= m_layout.width) {
            ++m_x; // in the row's padding: dropped
            return;
        }
        const auto at = static_cast<size_t>(m_y * m_layout.stride + (m_four ? m_x / 2 : m_x));
        if (!m_four)
            m_out[at] = index;
        else if (m_x % 2 == 0)
            m_out[at] = static_cast<uint8_t>((m_out[at] & 0x0F) | index << 4);
        else
            m_out[at] = static_cast<uint8_t>((m_out[at] & 0xF0) | index);
        const auto x = static_cast<size_t>(m_x);
        uint8_t& mark = m_skipped[static_cast<size_t>(m_y) * m_skippedStride + x / 8];
        mark = static_cast<uint8_t>(mark & ~(0x80u >> (x % 8)));
        ++m_x;
    }

    const Layout& m_layout;
    std::vector<uint8_t>& m_out;
    std::vector<uint8_t>& m_skipped;
    bool m_four;
    size_t m_skippedStride;
    int64_t m_x = 0;
    int64_t m_y = 0; // stored row, counted from the bottom
};

} // namespace

namespace {

// What the headers say, before any table or pixel is read.
struct Header {
    Layout layout;
    uint32_t size = 0; // of the info header
    bool core = false; // the 12-byte header: 16-bit sizes, 3-byte palette entries
    uint32_t coloursUsed = 0;
};

Result<Header> ReadHeaders(Bytes file) {
    using R = Result<Header>;
    if (file.size() < kFileHeaderSize)
        return R::Fail("truncated file header");
    if (file[0] != 'B' || file[1] != 'M')
        return R::Fail("not a BMP file (no \"BM\" signature)");
    if (file.size() < kFileHeaderSize + 4)
        return R::Fail("truncated info header");
    Header h;
    h.size = Get32(file, 14);
    if (!IsKnownHeaderSize(h.size))
        return R::Fail("unsupported info header size " + std::to_string(h.size));
    if (file.size() < kFileHeaderSize + h.size)
        return R::Fail("truncated info header");

    Layout& l = h.layout;
    l.pixelOffset = Get32(file, 10);
    h.core = h.size == kCoreHeaderSize;
    int32_t width = 0;
    int32_t height = 0;
    if (h.core) {
        // Sizes are unsigned 16-bit counts, rows always bottom-up, no compression.
        width = Get16(file, 18);
        height = Get16(file, 20);
        l.bpp = Get16(file, 24);
    } else {
        width = GetI32(file, 18);
        height = GetI32(file, 22);
        l.bpp = Get16(file, 28);
        l.compression = Get32(file, 30);
        l.imageSize = Get32(file, 34);
        h.coloursUsed = Get32(file, 46);
    }

    if (!IsKnownDepth(l.bpp) || (h.core && (l.bpp == 16 || l.bpp == 32)))
        return R::Fail("unsupported bits per pixel " + std::to_string(l.bpp));
    if (l.compression > kBitFields)
        return R::Fail("unsupported compression " + std::to_string(l.compression));
    if (!CompressionFitsDepth(l.compression, l.bpp))
        return R::Fail("unsupported compression " + std::to_string(l.compression) + " with " +
                       std::to_string(l.bpp) + " bits per pixel");
    if (width <= 0)
        return R::Fail("invalid width " + std::to_string(width));
    if (height == 0 || height == std::numeric_limits<int32_t>::min())
        return R::Fail("invalid height " + std::to_string(height));
    l.width = width;
    l.topDown = height < 0;
    l.height = l.topDown ? -int64_t{height} : int64_t{height};
    if (l.width > kMaxDimension || l.height > kMaxDimension)
        return R::Fail("image too large (" + std::to_string(l.width) + " x " +
                       std::to_string(l.height) + ")");
    l.stride = (l.width * l.bpp + 31) / 32 * 4;
    if (l.stride * l.height > kMaxPixelBytes)
        return R::Fail("image too large (" + std::to_string(l.stride * l.height) +
                       " bytes of pixel data)");
    if (IsRle(l) && l.topDown)
        return R::Fail("top-down RLE bitmap not supported");
    return h;
}

// Reads the colour masks of a BITFIELDS file into `out`; returns where the
// palette would start.
Result<size_t> ReadMasks(Bytes file, const Header& h, DecodedBitmap& out) {
    size_t tablesAt = kFileHeaderSize + h.size;
    if (h.layout.compression != kBitFields)
        return tablesAt;
    out.hasMasks = true;
    if (h.size == 40) {
        if (file.size() < tablesAt + 12)
            return Result<size_t>::Fail("truncated colour masks");
        out.masks = {Get32(file, tablesAt), Get32(file, tablesAt + 4), Get32(file, tablesAt + 8),
                     0};
        tablesAt += 12;
    } else {
        const size_t at = kFileHeaderSize + 40;
        out.masks = {Get32(file, at), Get32(file, at + 4), Get32(file, at + 8),
                     h.size >= 56 ? Get32(file, at + 12) : 0};
    }
    if (out.masks.red == 0 && out.masks.green == 0 && out.masks.blue == 0)
        return Result<size_t>::Fail("colour masks are all zero");
    return tablesAt;
}

Result<void> ReadPalette(Bytes file, const Header& h, size_t tablesAt, DecodedBitmap& out) {
    const Layout& l = h.layout;
    if (l.bpp > 8)
        return {};
    const uint64_t maxEntries = uint64_t{1} << l.bpp;
    // A core header declares no count: its palette ends where the pixels begin.
    const uint64_t entrySize = h.core ? 3 : 4;
    const uint64_t room = (l.pixelOffset - tablesAt) / entrySize;
    const uint64_t declared = h.core               ? std::min(maxEntries, room)
                              : h.coloursUsed != 0 ? std::min<uint64_t>(h.coloursUsed, maxEntries)
                                                   : maxEntries;
    if (tablesAt + declared * entrySize > file.size())
        return Result<void>::Fail("truncated palette");
    // Some writers declare more colours than they leave room for before the pixels.
    const uint64_t entries = std::min(declared, room);
    out.palette.resize(static_cast<size_t>(entries));
    for (size_t i = 0; i < out.palette.size(); ++i) {
        const size_t at = tablesAt + static_cast<size_t>(entrySize) * i;
        out.palette[i] = {file[at], file[at + 1], file[at + 2], h.core ? uint8_t{0} : file[at + 3]};
    }
    return {};
}

// Whether the file holds every row of a plain (not RLE) bitmap.
bool PlainRowsFit(Bytes file, const Layout& l) {
    return l.pixelOffset + static_cast<size_t>(l.stride) * static_cast<size_t>(l.height) <=
           file.size();
}

// A plain file's bytes made its rows, bottom-up, as ReadPixels lays them out:
// moved to the front of the memory that held the file, without new memory.
std::vector<uint8_t> RowsInPlace(std::vector<uint8_t> bytes, const Layout& l) {
    const auto stride = static_cast<size_t>(l.stride);
    const auto rows = static_cast<size_t>(l.height);
    std::memmove(bytes.data(), bytes.data() + l.pixelOffset, stride * rows);
    bytes.resize(stride * rows);
    if (l.topDown) {
        std::vector<uint8_t> row(stride);
        for (size_t top = 0, bottom = rows - 1; top < bottom; ++top, --bottom) {
            uint8_t* a = bytes.data() + top * stride;
            uint8_t* b = bytes.data() + bottom * stride;
            std::memcpy(row.data(), a, stride);
            std::memcpy(a, b, stride);
            std::memcpy(b, row.data(), stride);
        }
    }
    return bytes;
}

// The rows, bottom-up, copied as stored or expanded from RLE.
Result<void> ReadPixels(Bytes file, const Layout& l, DecodedBitmap& out) {
    const auto stride = static_cast<size_t>(l.stride);
    const auto rows = static_cast<size_t>(l.height);
    if (!IsRle(l)) {
        if (!PlainRowsFit(file, l))
            return Result<void>::Fail("truncated pixel data");
        out.pixels.resize(stride * rows);
        const uint8_t* src = file.data() + l.pixelOffset;
        for (size_t row = 0; row < rows; ++row) {
            const size_t from = l.topDown ? rows - 1 - row : row;
            std::memcpy(out.pixels.data() + row * stride, src + from * stride, stride);
        }
        return {};
    }
    if (l.pixelOffset > file.size())
        return Result<void>::Fail("pixel data offset past the end of the file");
    size_t end = file.size();
    if (l.imageSize != 0 && l.pixelOffset + l.imageSize <= file.size())
        end = static_cast<size_t>(l.pixelOffset + l.imageSize);
    out.pixels.assign(stride * rows, 0);
    out.skipped.assign(static_cast<size_t>((l.width + 7) / 8) * rows, 0xFF);
    RleExpander expander(l, out);
    const std::string why = expander.Run(file.subspan(l.pixelOffset, end - l.pixelOffset));
    if (!why.empty())
        return Result<void>::Fail(why);
    return {};
}

// `own`, when given, holds `file`'s bytes and may be taken for the rows: a
// plain file's rows are moved to its front instead of copied into new memory.
// `layRows` false: every check, but a plain file's rows are left where they are.
Result<DecodedBitmap> Decode(std::span<const uint8_t> file, std::vector<uint8_t>* own,
                             bool layRows) {
    using R = Result<DecodedBitmap>;
    const Result<Header> header = ReadHeaders(file);
    if (!header)
        return R::FailAs(header);
    const Header& h = header.Value();
    const Layout& l = h.layout;

    DecodedBitmap out;
    const Result<size_t> tablesAt = ReadMasks(file, h, out);
    if (!tablesAt)
        return R::FailAs(tablesAt);
    if (l.pixelOffset < tablesAt.Value())
        return R::Fail("pixel data offset " + std::to_string(l.pixelOffset) +
                       " lies inside the headers");
    if (auto palette = ReadPalette(file, h, tablesAt.Value(), out); !palette)
        return R::FailAs(palette);
    if (!IsRle(l) && (own != nullptr || !layRows)) {
        if (!PlainRowsFit(file, l))
            return R::Fail("truncated pixel data");
        if (layRows)
            out.pixels = RowsInPlace(std::move(*own), l);
        else
            out.rowsLeft = true;
    } else if (auto pixels = ReadPixels(file, l, out); !pixels) {
        return R::FailAs(pixels);
    }

    out.description.bmType = 0;
    out.description.bmWidth = static_cast<int32_t>(l.width);
    out.description.bmHeight = static_cast<int32_t>(l.height);
    out.description.bmWidthBytes = static_cast<int32_t>(l.stride);
    out.description.bmPlanes = 1;
    out.description.bmBitsPixel = l.bpp;
    return out;
}

} // namespace

Result<DecodedBitmap> DecodeBmp(std::span<const uint8_t> file) {
    return Decode(file, nullptr, true);
}

Result<DecodedBitmap> CheckBmp(std::span<const uint8_t> file) {
    return Decode(file, nullptr, false);
}

Result<DecodedBitmap> DecodeBmp(std::vector<uint8_t>&& file) {
    return Decode(file, &file, true);
}

Result<std::vector<uint8_t>> ReadFileBytes(const std::string& path) {
    using R = Result<std::vector<uint8_t>>;
    std::error_code ec;
    const std::filesystem::path p = PathOf(path);
    const std::filesystem::file_status status = std::filesystem::status(p, ec);
    if (!std::filesystem::exists(status))
        return R::Fail("file not found");
    // A FIFO or a device would block or never end; a folder holds no picture.
    if (!std::filesystem::is_regular_file(status))
        return R::Fail("not a regular file");
    const uintmax_t size = std::filesystem::file_size(p, ec);
    if (ec)
        return R::Fail("cannot read the file's size");
    if (size > kMaxFileBytes)
        return R::Fail("file too large to be a logo (" + std::to_string(size) + " bytes)");
    std::ifstream in(p, std::ios::binary);
    if (!in)
        return R::Fail("cannot open the file");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (static_cast<uintmax_t>(in.gcount()) != size)
        return R::Fail("cannot read the file");
    return bytes;
}

} // namespace tessaline
