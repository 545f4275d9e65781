// SPDX-License-Identifier: MIT
#pragma once

// A temporary folder for a test or a benchmark.

#include <filesystem>
#include <string>

namespace tessaline::test {

// A fresh folder under the system's temporary folder, removed with everything
// in it at the end; throws std::system_error when none can be made.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The path of `name` in the folder.
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

} // namespace tessaline::test
