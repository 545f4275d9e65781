#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdlib.h>
#include <string>

namespace tessaline::test {

// A fresh data home for one test: XDG_DATA_HOME points into a new temporary
// folder, so nothing touches the user's own printers. Undone at the end.
class TempHome {
public:
    TempHome() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tessaline-test-XXXXXX").string();
        m_root = ::mkdtemp(pattern.data());
        if (const char* old = std::getenv("XDG_DATA_HOME")) {
            m_oldXdg = old;
        }
        ::setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
    }
    ~TempHome() {
        if (m_oldXdg) {
            ::setenv("XDG_DATA_HOME", m_oldXdg->c_str(), 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& Root() const { return m_root; }
    // Tessaline's data folder under the temporary XDG_DATA_HOME.
    std::filesystem::path DataHome() const { return m_root / "data" / "tessaline"; }

private:
    std::filesystem::path m_root;
    std::optional<std::string> m_oldXdg;
};

} // namespace tessaline::test
