// SPDX-License-Identifier: MIT
#pragma once

// `tessaline-cli vprinter serve` run in the background in a CliRunner's
// private home, on a free loopback port, stopped by SIGTERM when the test ends.

#include "tests/support/CliRunner.h"

#include <chrono>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tessaline::test {

class ServedPrinter {
public:
    // Starts serving the installed virtual printer `name`; Address() is empty
    // when it did not say where it listens within 10 s.
    ServedPrinter(const CliRunner& cli, const std::string& name)
        : ServedPrinter(cli, name, "--listen 127.0.0.1:0", 1) {}
    // The same with `options` for serve (a fleet with --count: Addresses()
    // holds each of its `printers` addresses, in order).
    ServedPrinter(const CliRunner& cli, const std::string& name, const std::string& options,
                  size_t printers) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const std::string command =
            "XDG_DATA_HOME=" + CliRunner::Quote(cli.Root() / "data") + " exec " +
            CliRunner::Quote(TESSALINE_CLI_PATH) + " vprinter serve " + CliRunner::Quote(name) +
            " " + options + " 2>" + CliRunner::Quote(cli.Root() / ("serve-" + name + ".err"));
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        if (posix_spawn(&m_pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ) !=
            0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = fds[0];
        const std::string prefix = "listening on ";
        for (size_t i = 0; i < printers; ++i) {
            const std::string line = ReadLine(std::chrono::seconds(10));
            if (line.rfind(prefix, 0) != 0) {
                break;
            }
            m_addresses.push_back(
                line.substr(prefix.size(), line.find(' ', prefix.size()) - prefix.size()));
        }
        if (m_addresses.size() == printers) {
            m_address = m_addresses.front();
        }
    }
    ~ServedPrinter() {
        Stop();
        if (m_out >= 0) {
            ::close(m_out);
        }
    }

    // "socket://127.0.0.1:PORT".
    const std::string& Address() const { return m_address; }
    const std::vector<std::string>& Addresses() const { return m_addresses; }

    // Stops the server as a user does (SIGTERM); its exit status, or -1 when
    // it had to be killed after 10 s.
    int Stop() {
        if (m_pid <= 0) {
            return m_status;
        }
        ::kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 1000; ++i) {
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return m_status;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return m_status = -1;
    }

    // What it printed after the first line, read until it printed `until`
    // (when given), stopped, or `wait` passed.
    std::string Output(std::chrono::milliseconds wait = std::chrono::milliseconds(2000),
                       const std::string& until = {}) {
        std::string out;
        const auto end = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{m_out, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return out;
            }
            char buffer[4096];
            const ssize_t n = ::read(m_out, buffer, sizeof buffer);
            if (n <= 0) {
                return out;
            }
            out.append(buffer, static_cast<size_t>(n));
            if (!until.empty() && out.find(until) != std::string::npos) {
                return out;
            }
        }
    }

private:
    std::string ReadLine(std::chrono::milliseconds wait) {
        std::string line;
        const auto end = std::chrono::steady_clock::now() + wait;
        while (line.empty() || line.back() != '\n') {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{m_out, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return {};
            }
            char c = 0;
            if (::read(m_out, &c, 1) != 1) {
                return {};
            }
            line += c;
        }
        line.pop_back();
        return line;
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_status = -1;
    std::string m_address;
    std::vector<std::string> m_addresses;
};

} // namespace tessaline::test
