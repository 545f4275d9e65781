// SPDX-License-Identifier: MIT
#include "tests/support/Environment.h"

#include <algorithm>
#include <cstdlib>
#include <stdlib.h>

namespace tessaline::test {

ScopedEnvironment::~ScopedEnvironment() {
    for (auto it = m_before.rbegin(); it != m_before.rend(); ++it) {
        if (it->second) {
            ::setenv(it->first.c_str(), it->second->c_str(), 1);
        } else {
            ::unsetenv(it->first.c_str());
        }
    }
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
    Keep(name);
    ::setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnvironment::Unset(const std::string& name) {
    Keep(name);
    ::unsetenv(name.c_str());
}

// Remembers the value from before the first change only, which is the one to restore.
void ScopedEnvironment::Keep(const std::string& name) {
    const bool kept = std::any_of(m_before.begin(), m_before.end(),
                                  [&name](const auto& entry) { return entry.first == name; });
    if (!kept) {
        const char* value = std::getenv(name.c_str());
        m_before.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
}

ScopedCurrentFolder::ScopedCurrentFolder(const std::filesystem::path& folder)
    : m_previous(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
}

ScopedCurrentFolder::~ScopedCurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
}

} // namespace tessaline::test
