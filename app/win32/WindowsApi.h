// SPDX-License-Identifier: MIT
#pragma once

// <windows.h> first, as the program's Windows code includes it: the other
// Windows headers (commctrl.h, knownfolders.h ...) take its types for granted.
#include <windows.h>
