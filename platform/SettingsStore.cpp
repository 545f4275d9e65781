// SPDX-License-Identifier: MIT
// What the settings store refuses, the same on every system.
#include "platform/SettingsStore.h"

#include "platform/HostSystem.h"

namespace tessaline {

std::string SettingsValueRefusal(std::string_view file, std::string_view key,
                                 std::string_view value) {
    const std::string where = "cannot write " + std::string(key) + " to " + std::string(file);
    if (value.size() > kMaxSettingsValueBytes) {
        return where + ": its value is " + std::to_string(value.size()) +
               " bytes long, more than the " + std::to_string(kMaxSettingsValueBytes) +
               " a settings value may hold";
    }
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        return where + ": its value holds a line break or a NUL, which would end it early";
    }
    return {};
}

Result<void> SettingsStore::Remove(const std::string& file) const {
    return RemoveFileIfPresent(file);
}

} // namespace tessaline
