// SPDX-License-Identifier: MIT
#include "tests/support/Files.h"

#include <fstream>
#include <sstream>

namespace tessaline::test {

std::optional<std::string> ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ReadText(const std::filesystem::path& file) {
    return ReadAll(file).value_or(std::string());
}

void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::error_code ignored; // a folder that cannot be made shows as a file that is not there
    std::filesystem::create_directories(file.parent_path(), ignored);
    std::ofstream(file, std::ios::binary) << text;
}

bool WriteFile(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace tessaline::test
