// SPDX-License-Identifier: MIT
#pragma once

// <windows.h> first, as the program's Windows code includes it: the other
// Windows headers (commctrl.h, knownfolders.h ...) take its types for granted.
#include <string>
#include <windows.h>

namespace tessaline::win32 {

// A window's text in UTF-8.
std::string WindowTextOf(HWND window);

} // namespace tessaline::win32
