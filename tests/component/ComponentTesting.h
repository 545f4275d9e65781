#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace tessaline::testing {

// A fresh folder that stands in for XDG_CONFIG_HOME for one test, so no test
// ever touches the real home; the previous value comes back afterwards.
class TempConfigHome {
public:
    TempConfigHome() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tessaline-component-XXXXXX").string();
        if (::mkdtemp(pattern.data())) {
            m_dir = pattern;
        }
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
            m_old = old;
        }
        ::setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    ~TempConfigHome() {
        if (m_old) {
            ::setenv("XDG_CONFIG_HOME", m_old->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;

    const std::filesystem::path& Dir() const { return m_dir; }
    std::filesystem::path RegistryFile() const { return m_dir / "tessaline" / "components.reg"; }

private:
    std::filesystem::path m_dir;
    std::optional<std::string> m_old;
};

inline std::optional<std::string> ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteAll(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

} // namespace tessaline::testing
