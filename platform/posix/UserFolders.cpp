// SPDX-License-Identifier: MIT
// Tessaline's per-user folders on POSIX systems, after the XDG base folders.
#include "platform/UserFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace tessaline {

namespace {

std::string_view Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::filesystem::path BaseFolder(const char* variable, std::string_view underHome) {
    const passwd* account = ::getpwuid(::getuid());
    const std::string_view accountHome =
        account != nullptr && account->pw_dir != nullptr ? account->pw_dir : "";
    return XdgFolder(Variable(variable), Variable("HOME"), accountHome, underHome);
}

} // namespace

std::filesystem::path TessalineConfigHome() {
    return BaseFolder("XDG_CONFIG_HOME", ".config") / "tessaline";
}

std::filesystem::path TessalineDataHome() {
    return BaseFolder("XDG_DATA_HOME", ".local/share") / "tessaline";
}

} // namespace tessaline
