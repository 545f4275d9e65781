// SPDX-License-Identifier: MIT
#pragma once

#include "WindowsApi.h"

#include <string>

namespace tessaline::win32 {

// The form's image controls: a picture stretched to the control's size.
// The control owns its bitmap and deletes it when it changes or goes.

bool RegisterImageClass(HINSTANCE instance);
HWND CreateImageControl(HWND parent, int id, const RECT& position, HINSTANCE instance);

// Loads a logo file as the picture: a BMP file as the system loads it, a
// PNG, JPEG or GIF file as the control reads it, on white paper where it is
// transparent. False, with the picture emptied, when it cannot be loaded.
bool LoadImageFile(HWND image, const std::wstring& path);
// Shows `bitmap` (null: nothing); the control takes it over.
void SetImageBitmap(HWND image, HBITMAP bitmap);

} // namespace tessaline::win32
