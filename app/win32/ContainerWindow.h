// SPDX-License-Identifier: MIT
#pragma once

#include "WindowsApi.h"

namespace tessaline::win32 {

// Windows that hold other controls, as the form's frames and picture boxes
// do: the children's notifications go on to the container's parent, so the
// main window hears every control wherever it sits.
enum class ContainerStyle {
    Frame,      // etched border, the window text as its caption
    Borderless, // draws nothing of its own
    PictureBox, // sunken border
};

// Registers the window class once; true when it is available.
bool RegisterContainerClass(HINSTANCE instance);
HWND CreateContainer(HWND parent, int id, ContainerStyle style, const RECT& position,
                     const wchar_t* caption, HINSTANCE instance);

} // namespace tessaline::win32
