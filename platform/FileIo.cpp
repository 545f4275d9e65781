// SPDX-License-Identifier: MIT
#include "platform/FileIo.h"

#include <cerrno>
#include <system_error>

namespace tessaline {

Result<std::string> ReadWholeFile(const std::filesystem::path& path, size_t maxBytes) {
    Result<std::optional<std::string>> read = ReadFileIfPresent(path, maxBytes);
    if (!read) {
        return Result<std::string>::Fail(read.Reason());
    }
    if (!read.Value()) {
        return Result<std::string>::Fail("cannot read " + path.string() + ": " +
                                         std::generic_category().message(ENOENT));
    }
    return std::move(*read.Value());
}

} // namespace tessaline
