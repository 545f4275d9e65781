// SPDX-License-Identifier: MIT
#pragma once

#include <windows.h>

namespace tessaline::driver {

enum class BoxIcon { None, Information, Exclamation, Other };
const char* IconName(BoxIcon icon);

// Which system icon an icon control of another process shows, told from
// its pixels on the screen against the driver's own drawing of each
// candidate: icon handles do not cross processes.
BoxIcon IconShownBy(HWND iconControl);

} // namespace tessaline::driver
