// SPDX-License-Identifier: MIT
// The program's own settings beside the logo list: the printers' addresses
// used before, the window's size and last tab, the folder the last logo came
// from. Kept in "Tessaline.ini" in the user's settings folder, never in the
// logo list's file, which is rewritten whole from the list.
#pragma once

#include "base/Result.h"
#include "platform/SettingsStore.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessaline {

class SystemServices;

class ProgramSettings {
public:
    // How many addresses the printer box remembers.
    static constexpr std::size_t kMaxAddresses = 20;

    explicit ProgramSettings(SystemServices& system);

    std::string File() const;

    // The addresses used before, most recent first.
    std::vector<std::string> Addresses() const;
    // Puts `address` first, dropping it from further down and the oldest beyond kMaxAddresses.
    Result<void> RememberAddress(const std::string& address) const;

    // A value of the [WINDOW] section; empty when missing or unreadable.
    std::string Value(const std::string& key) const;
    Result<void> SetValue(const std::string& key, const std::string& value) const;

private:
    SystemServices& m_system;
    // A store of its own: the logo list's store stays untouched by all but
    // the list, even where the list is never read (no printer driver found).
    SettingsStore m_store;
};

} // namespace tessaline
