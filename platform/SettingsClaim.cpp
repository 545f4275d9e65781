// SPDX-License-Identifier: MIT
// The name of a claim on a settings file, the same on every system.
#include "platform/SettingsClaim.h"

#include <cstdio>

namespace tessaline {

std::string SettingsClaimName(std::string_view settingsFile) {
    // FNV-1a: the name only has to be the same in every copy and short
    // enough for the system's object and socket names.
    uint64_t hash = 14695981039346656037ull;
    for (char c : settingsFile) {
#ifdef _WIN32
        // Windows compares paths without regard to case and reads "/" as "\".
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (c == '/') {
            c = '\\';
        }
#endif
        hash ^= static_cast<uint8_t>(c);
        hash *= 1099511628211ull;
    }
    char digits[17];
    std::snprintf(digits, sizeof(digits), "%016llx", static_cast<unsigned long long>(hash));
    return std::string("tessaline-") + digits;
}

SettingsClaim::SettingsClaim(SettingsClaim&& other) noexcept
    : m_handle(other.m_handle), m_holder(other.m_holder), m_name(std::move(other.m_name)) {
    other.m_handle = kNone;
}

} // namespace tessaline
