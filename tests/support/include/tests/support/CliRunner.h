// SPDX-License-Identifier: MIT
#pragma once

// Runs the real tessaline-cli binary in a private home: its own data folder
// (virtual printers), configuration folder (component registry) and working
// folder, with CUPS pointed at a server that is not there unless a test says
// otherwise.

#include "tests/support/TempFolder.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

namespace tessaline::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CliRunner {
public:
    CliRunner() : m_cupsServer((Root() / "no-cups.sock").string()) {}

    const std::filesystem::path& Root() const { return m_root.Path(); }
    std::filesystem::path DataHome() const { return Root() / "data" / "tessaline"; }
    void UseCupsServer(const std::string& server) { m_cupsServer = server; }

    static std::string Quote(const std::filesystem::path& p) {
        std::string q = "'";
        for (char c : p.string()) {
            q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return q + "'";
    }

    CliResult Run(const std::string& args) const {
        const std::string errFile = (Root() / "stderr.txt").string();
        const std::string command =
            "cd " + Quote(Root()) + " && XDG_DATA_HOME=" + Quote(Root() / "data") +
            " XDG_CONFIG_HOME=" + Quote(Root() / "config") + " CUPS_SERVER=" + Quote(m_cupsServer) +
            " " + Quote(TESSALINE_CLI_PATH) + " " + args + " 2>" + Quote(errFile);
        CliResult result;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return result;
        }
        std::array<char, 4096> buffer{};
        std::size_t n = 0;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
            result.out.append(buffer.data(), n);
        }
        const int status = ::pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (FILE* f = std::fopen(errFile.c_str(), "r")) {
            while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
                result.err.append(buffer.data(), n);
            }
            std::fclose(f);
        }
        return result;
    }

private:
    TempFolder m_root;
    std::string m_cupsServer;
};

} // namespace tessaline::test
