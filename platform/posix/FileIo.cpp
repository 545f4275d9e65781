// SPDX-License-Identifier: MIT
// Whole-file reads and appends over POSIX.
#include "platform/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tessaline {

namespace {

std::string CannotRead(const std::filesystem::path& path, const std::string& why) {
    return "cannot read " + path.string() + ": " + why;
}

std::string SystemText(int error) {
    return std::generic_category().message(error);
}

} // namespace

Result<std::optional<std::string>> ReadFileIfPresent(const std::filesystem::path& path,
                                                     size_t maxBytes) {
    using R = Result<std::optional<std::string>>;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            return std::optional<std::string>();
        }
        return R::Fail(CannotRead(path, SystemText(errno)));
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return R::Fail(CannotRead(path, SystemText(error)));
        }
        if (n == 0) {
            break;
        }
        if (static_cast<size_t>(n) > maxBytes - text.size()) {
            ::close(fd);
            return R::Fail(
                CannotRead(path, "it holds more than " + std::to_string(maxBytes) + " bytes"));
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return std::optional<std::string>(std::move(text));
}

Result<void> AppendToFile(const std::filesystem::path& path, std::string_view text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return Result<void>::Fail("cannot open " + path.string() + ": " + SystemText(errno));
    }
    Result<void> written;
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            written = Result<void>::Fail("cannot write " + path.string() + ": " +
                                         SystemText(n < 0 ? errno : EIO));
            break;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
    ::close(fd);
    return written;
}

} // namespace tessaline
