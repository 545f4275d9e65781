// SPDX-License-Identifier: MIT
#pragma once

// Whole files in and out, for tests that lay out inputs and read back what
// was written.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessaline::test {

// The file's bytes as text; nothing when it cannot be read.
std::optional<std::string> ReadAll(const std::filesystem::path& file);
// The file's bytes as text; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& file);
// Writes `text` as the whole file, making its folder first when it is missing.
void WriteText(const std::filesystem::path& file, const std::string& text);
// Writes `bytes` as the whole file; false when they could not all be written.
bool WriteFile(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);

} // namespace tessaline::test
