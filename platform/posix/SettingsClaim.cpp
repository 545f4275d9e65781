// SPDX-License-Identifier: MIT
// SettingsClaim over POSIX: flock on a lock file in the user's runtime
// folder, which also holds the holder's process id. The lock goes with the
// process; the file stays for the next copy.
#include "platform/SettingsClaim.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace tessaline {

namespace {

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && ::access(runtime, W_OK) == 0) {
        return runtime;
    }
    return "/tmp";
}

uint32_t ReadHolder(int fd) {
    char text[32] = {};
    const ssize_t got = ::pread(fd, text, sizeof(text) - 1, 0);
    uint32_t pid = 0;
    if (got > 0) {
        std::from_chars(text, text + got, pid);
    }
    return pid;
}

} // namespace

Result<SettingsClaim> SettingsClaim::Take(const std::string& settingsFile) {
    std::string name = SettingsClaimName(settingsFile);
    const std::string lockFile = RuntimeFolder() + "/" + name + ".lock";
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return Result<SettingsClaim>::Fail("cannot claim " + settingsFile + " through " + lockFile +
                                           ": " + std::generic_category().message(errno));
    }
    int locked = 0;
    while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        const int error = errno;
        const uint32_t holder = error == EWOULDBLOCK ? ReadHolder(fd) : 0;
        ::close(fd);
        if (error != EWOULDBLOCK) {
            return Result<SettingsClaim>::Fail("cannot claim " + settingsFile + " through " +
                                               lockFile + ": " +
                                               std::generic_category().message(error));
        }
        return SettingsClaim(kNone, holder, std::move(name));
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        // The claim holds all the same; a later copy learns only that it is held.
    }
    return SettingsClaim(fd, 0, std::move(name));
}

SettingsClaim::~SettingsClaim() {
    if (m_handle != kNone) {
        ::close(static_cast<int>(m_handle));
    }
}

} // namespace tessaline
