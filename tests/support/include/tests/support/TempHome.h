// SPDX-License-Identifier: MIT
#pragma once

#include "tests/support/Environment.h"
#include "tests/support/TempFolder.h"

#include <filesystem>
#include <optional>

namespace tessaline::test {

struct TempHomeOptions {
    // Work() made the current folder (the control writes its preview pictures there).
    bool workFolder = false;
    // CUPS_SERVER pointed at a socket that is not there, so only virtual printers are installed.
    bool withoutCups = false;
};

// A private home for one test: XDG_CONFIG_HOME and XDG_DATA_HOME point into a
// fresh temporary folder, so nothing touches the user's own registry, settings
// or printers. The environment and the current folder come back at the end,
// and the folder goes with everything in it.
class TempHome {
public:
    explicit TempHome(TempHomeOptions options = {});
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& Root() const { return m_root.Path(); }
    std::filesystem::path XdgConfigHome() const { return Root() / "config"; }
    std::filesystem::path XdgDataHome() const { return Root() / "data"; }
    // Tessaline's data folder (the virtual printers) under XDG_DATA_HOME.
    std::filesystem::path DataHome() const { return XdgDataHome() / "tessaline"; }
    // The per-user component registry under XDG_CONFIG_HOME.
    std::filesystem::path RegistryFile() const {
        return XdgConfigHome() / "tessaline" / "components.reg";
    }
    // The folder made current with TempHomeOptions::workFolder.
    std::filesystem::path Work() const { return Root() / "work"; }

private:
    TempFolder m_root;
    ScopedEnvironment m_environment;
    std::optional<ScopedCurrentFolder> m_work;
};

} // namespace tessaline::test
