// SPDX-License-Identifier: MIT
#pragma once

// The process's environment and current folder, changed for a scope only.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaline::test {

// Sets and unsets environment variables; at the end each one it touched gets
// back the value it had before, or goes again if it had none.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void Set(const std::string& name, const std::string& value);
    void Unset(const std::string& name);

private:
    void Keep(const std::string& name);

    std::vector<std::pair<std::string, std::optional<std::string>>> m_before;
};

// Makes `folder` the current folder; the previous one is current again at the end.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::filesystem::path& folder);
    ~ScopedCurrentFolder();
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

private:
    std::filesystem::path m_previous;
};

} // namespace tessaline::test
