// SPDX-License-Identifier: MIT
#include "platform/FileIo.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

namespace tessaline {

std::string PlainFileName(std::string_view name) {
    std::string plain;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '@' ||
                          (c == '.' && i > 0);
        if (kept) {
            plain += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            plain += escaped;
        }
    }
    return plain;
}

Result<std::string> ReadWholeFile(const std::filesystem::path& path, size_t maxBytes) {
    Result<std::optional<std::string>> read = ReadFileIfPresent(path, maxBytes);
    if (!read) {
        return Result<std::string>::FailAs(read);
    }
    if (!read.Value()) {
        return Result<std::string>::Fail("cannot read " + path.string() + ": " +
                                         std::generic_category().message(ENOENT));
    }
    return std::move(*read.Value());
}

Result<std::filesystem::path> MakeScratchFolder(std::string_view prefix) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) {
        return Result<std::filesystem::path>::Fail("cannot find a temporary folder: " +
                                                   ec.message());
    }
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name(prefix);
        name.append("-").append(std::to_string(random())).append(std::to_string(random()));
        const std::filesystem::path folder = base / name;
        if (std::filesystem::create_directory(folder, ec)) {
            return folder;
        }
    }
    return Result<std::filesystem::path>::Fail("cannot make a temporary folder in " +
                                               base.string());
}

} // namespace tessaline
