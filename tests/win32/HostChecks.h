// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <string>

namespace tessaline::hostcheck {

// One line per check, and a last line the Wine test looks for: programs
// run under Wine are judged by what they print as much as by their exit code.
class Checks {
public:
    bool Check(bool passed, const std::string& name) {
        std::printf("%s %s\n", passed ? "ok  " : "FAIL", name.c_str());
        std::fflush(stdout);
        m_failures += passed ? 0 : 1;
        return passed;
    }
    // Prints the closing line; the process's exit status.
    int Finish() const {
        std::printf("RESULT: %s\n", m_failures == 0 ? "PASS" : "FAIL");
        return m_failures == 0 ? 0 : 1;
    }

private:
    int m_failures = 0;
};

} // namespace tessaline::hostcheck
