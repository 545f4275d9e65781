#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace tessaline::test {

// A fresh temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tessaline-app-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Writes an uncompressed bottom-up BMP of 1 or 24 bits per pixel. `grey`
// gives each pixel's level (x, y from the top); 1-bit files print levels
// below 128 black.
inline void WriteBmp(const std::string& path, int32_t width, int32_t height, uint16_t bits,
                     const std::function<uint8_t(int, int)>& grey = {}) {
    const uint32_t stride = ((static_cast<uint32_t>(width) * bits + 31) / 32) * 4;
    const uint32_t palette = bits == 1 ? 8 : 0;
    const uint32_t offset = 54 + palette;
    const uint32_t imageSize = stride * static_cast<uint32_t>(height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + imageSize);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, bits);
    Put32(out, 0);
    Put32(out, imageSize);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, bits == 1 ? 2 : 0);
    Put32(out, 0);
    if (bits == 1) {
        Put32(out, 0x00000000); // black
        Put32(out, 0x00FFFFFF); // white
    }
    for (int32_t row = height - 1; row >= 0; --row) {
        std::vector<uint8_t> line(stride, 0);
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t level =
                grey ? grey(x, row) : static_cast<uint8_t>((x * 7 + row * 3) & 0xFF);
            if (bits == 1) {
                if (level >= 128) {
                    line[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
                }
            } else {
                const size_t at = static_cast<size_t>(x) * 3;
                line[at] = line[at + 1] = line[at + 2] = level;
            }
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

} // namespace tessaline::test
