// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string_view>

namespace tessaline {

// Where Tessaline keeps each user's files, by one rule for the whole system:
// here in $XDG_CONFIG_HOME/tessaline and $XDG_DATA_HOME/tessaline, as
// XdgFolder below reads those variables; on Windows both are
// %APPDATA%\Tessaline.

// Settings: the component registry, and the logo list when the program's
// own folder cannot hold it.
std::filesystem::path TessalineConfigHome();
// Data: the virtual printers and the CUPS queues' driver data.
std::filesystem::path TessalineDataHome();

// The rule for one XDG base folder: the variable's value `xdg` when it is an
// absolute path (a relative one is ignored, as the XDG rules say), else the
// home folder followed by `underHome` (".config"). The home folder is $HOME
// (`home`) when not empty, else the account's home folder (`accountHome`,
// from the password database), else "/".
std::filesystem::path XdgFolder(std::string_view xdg, std::string_view home,
                                std::string_view accountHome, std::string_view underHome);

} // namespace tessaline
