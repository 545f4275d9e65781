// SPDX-License-Identifier: MIT
#include "tests/support/TempHome.h"

namespace tessaline::test {

TempHome::TempHome(TempHomeOptions options) {
    m_environment.Set("XDG_CONFIG_HOME", XdgConfigHome().string());
    m_environment.Set("XDG_DATA_HOME", XdgDataHome().string());
    if (options.withoutCups) {
        // The same path in every test: libcups remembers the first server it was given.
        m_environment.Set("CUPS_SERVER", "/nonexistent/tessaline-test/cups.sock");
    }
    if (options.workFolder) {
        std::filesystem::create_directories(Work());
        m_work.emplace(Work());
    }
}

} // namespace tessaline::test
