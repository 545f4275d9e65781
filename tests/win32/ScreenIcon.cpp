// SPDX-License-Identifier: MIT
#include "ScreenIcon.h"

#include "platform/win32/HandleOwners.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace tessaline::driver {

using win32::SelectedObject;
using win32::UniqueBitmap;
using win32::UniqueBrush;
using win32::UniqueMemoryDc;
using win32::UniqueWindowDc;

namespace {

// The pixels of a screen rectangle, as 32-bit BGRX, top row first.
std::vector<uint32_t> Capture(HDC source, int x, int y, int width, int height) {
    const UniqueMemoryDc memory(::CreateCompatibleDC(source));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const UniqueBitmap bitmap(
        ::CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const SelectedObject capturing(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, width, height, source, x, y, SRCCOPY);
    ::GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    return std::vector<uint32_t>(pixels,
                                 pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
}

// Which system icon the program's icon control shows: its pixels on the
// screen against the driver's own drawing of each candidate (icon handles
// do not cross processes).
} // namespace

BoxIcon IconShownBy(HWND iconControl) {
    RECT rect{};
    ::GetWindowRect(iconControl, &rect);
    const int size = ::GetSystemMetrics(SM_CXICON);
    const UniqueWindowDc screen(nullptr);
    const std::vector<uint32_t> shown = Capture(screen.get(), rect.left, rect.top, size, size);
    BoxIcon best = BoxIcon::Other;
    size_t bestMatches = 0;
    for (const auto& [kind, name] : {std::pair{BoxIcon::Information, IDI_INFORMATION},
                                     std::pair{BoxIcon::Exclamation, IDI_EXCLAMATION}}) {
        const UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
        const UniqueBitmap canvas(::CreateCompatibleBitmap(screen.get(), size, size));
        const SelectedObject drawingOn(memory.get(), canvas.get());
        const UniqueBrush background(
            ::CreateSolidBrush(RGB(shown[0] >> 16 & 0xFF, shown[0] >> 8 & 0xFF, shown[0] & 0xFF)));
        RECT all{0, 0, size, size};
        ::FillRect(memory.get(), &all, background.get());
        ::DrawIconEx(memory.get(), 0, 0, ::LoadIconW(nullptr, name), size, size, 0, nullptr,
                     DI_NORMAL);
        const std::vector<uint32_t> drawn = Capture(memory.get(), 0, 0, size, size);
        size_t matches = 0;
        for (size_t i = 0; i < drawn.size(); ++i) {
            matches += (drawn[i] & 0xFFFFFF) == (shown[i] & 0xFFFFFF) ? 1U : 0U;
        }
        if (matches > bestMatches) {
            bestMatches = matches;
            best = kind;
        }
    }
    // Nearly every pixel, or it is some other picture.
    return bestMatches * 10 >= shown.size() * 9 ? best : BoxIcon::Other;
}

std::vector<uint32_t> ClientPixels(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    const UniqueWindowDc screen(nullptr);
    return Capture(screen.get(), origin.x, origin.y, client.right, client.bottom);
}

std::vector<uint32_t> StretchedBitmapFile(const std::wstring& path, int width, int height) {
    const UniqueBitmap bitmap(static_cast<HBITMAP>(::LoadImageW(
        nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (!bitmap) {
        return {};
    }
    BITMAP info{};
    ::GetObjectW(bitmap.get(), sizeof(info), &info);
    const UniqueWindowDc screen(nullptr);
    const UniqueMemoryDc source(::CreateCompatibleDC(screen.get()));
    const UniqueMemoryDc target(::CreateCompatibleDC(screen.get()));
    const UniqueBitmap canvas(::CreateCompatibleBitmap(screen.get(), width, height));
    const SelectedObject reading(source.get(), bitmap.get());
    const SelectedObject drawingOn(target.get(), canvas.get());
    ::SetStretchBltMode(target.get(), COLORONCOLOR);
    ::StretchBlt(target.get(), 0, 0, width, height, source.get(), 0, 0, info.bmWidth, info.bmHeight,
                 SRCCOPY);
    return Capture(target.get(), 0, 0, width, height);
}

const char* IconName(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::None:
        return "none";
    case BoxIcon::Information:
        return "information";
    case BoxIcon::Exclamation:
        return "exclamation";
    case BoxIcon::Other:
        break;
    }
    return "other";
}

} // namespace tessaline::driver
