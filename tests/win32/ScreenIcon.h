// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

namespace tessaline::driver {

enum class BoxIcon { None, Information, Exclamation, Other };
const char* IconName(BoxIcon icon);

// Which system icon an icon control of another process shows, told from
// its pixels on the screen against the driver's own drawing of each
// candidate: icon handles do not cross processes.
BoxIcon IconShownBy(HWND iconControl);

// What a window of another process shows in its client area on the screen,
// as 32-bit BGRX pixels, top row first.
std::vector<uint32_t> ClientPixels(HWND window);

// A bitmap file as the system loads it, stretched to width x height as the
// program's image panels stretch their pictures (colour on colour): what such
// a panel shows of it. Empty when the file cannot be loaded.
std::vector<uint32_t> StretchedBitmapFile(const std::wstring& path, int width, int height);

} // namespace tessaline::driver
