// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace tessaline::win32 {

// The system's own words for an error code (GetLastError, a registry or
// spooler status, an HRESULT), in the ANSI code page, without the closing
// line break; "system error N" when the system has none.
std::string SystemErrorText(uint32_t error);
// The same words in UTF-8, for the program's messages and the platform's
// results, whose strings are UTF-8 on every system.
std::string SystemErrorMessage(uint32_t error);

} // namespace tessaline::win32
