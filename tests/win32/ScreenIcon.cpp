// SPDX-License-Identifier: MIT
#include "ScreenIcon.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace tessaline::driver {

namespace {

// The pixels of a screen rectangle, as 32-bit BGRX, top row first.
std::vector<uint32_t> Capture(HDC source, int x, int y, int width, int height) {
    HDC memory = ::CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    ::GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> out(pixels,
                              pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    return out;
}

// Which system icon the program's icon control shows: its pixels on the
// screen against the driver's own drawing of each candidate (icon handles
// do not cross processes).
} // namespace

BoxIcon IconShownBy(HWND iconControl) {
    RECT rect{};
    ::GetWindowRect(iconControl, &rect);
    const int size = ::GetSystemMetrics(SM_CXICON);
    HDC screen = ::GetDC(nullptr);
    const std::vector<uint32_t> shown = Capture(screen, rect.left, rect.top, size, size);
    BoxIcon best = BoxIcon::Other;
    size_t bestMatches = 0;
    for (const auto& [kind, name] : {std::pair{BoxIcon::Information, IDI_INFORMATION},
                                     std::pair{BoxIcon::Exclamation, IDI_EXCLAMATION}}) {
        HDC memory = ::CreateCompatibleDC(screen);
        HBITMAP canvas = ::CreateCompatibleBitmap(screen, size, size);
        HGDIOBJ previous = ::SelectObject(memory, canvas);
        HBRUSH background =
            ::CreateSolidBrush(RGB(shown[0] >> 16 & 0xFF, shown[0] >> 8 & 0xFF, shown[0] & 0xFF));
        RECT all{0, 0, size, size};
        ::FillRect(memory, &all, background);
        ::DeleteObject(background);
        ::DrawIconEx(memory, 0, 0, ::LoadIconW(nullptr, name), size, size, 0, nullptr, DI_NORMAL);
        const std::vector<uint32_t> drawn = Capture(memory, 0, 0, size, size);
        size_t matches = 0;
        for (size_t i = 0; i < drawn.size(); ++i) {
            matches += (drawn[i] & 0xFFFFFF) == (shown[i] & 0xFFFFFF) ? 1U : 0U;
        }
        if (matches > bestMatches) {
            bestMatches = matches;
            best = kind;
        }
        ::SelectObject(memory, previous);
        ::DeleteObject(canvas);
        ::DeleteDC(memory);
    }
    ::ReleaseDC(nullptr, screen);
    // Nearly every pixel, or it is some other picture.
    return bestMatches * 10 >= shown.size() * 9 ? best : BoxIcon::Other;
}

std::vector<uint32_t> ClientPixels(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    POINT origin{0, 0};
    ::ClientToScreen(window, &origin);
    HDC screen = ::GetDC(nullptr);
    std::vector<uint32_t> shown = Capture(screen, origin.x, origin.y, client.right, client.bottom);
    ::ReleaseDC(nullptr, screen);
    return shown;
}

std::vector<uint32_t> StretchedBitmapFile(const std::wstring& path, int width, int height) {
    auto* bitmap = static_cast<HBITMAP>(::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                     LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (bitmap == nullptr) {
        return {};
    }
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof(info), &info);
    HDC screen = ::GetDC(nullptr);
    HDC source = ::CreateCompatibleDC(screen);
    HDC target = ::CreateCompatibleDC(screen);
    HBITMAP canvas = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previousSource = ::SelectObject(source, bitmap);
    HGDIOBJ previousTarget = ::SelectObject(target, canvas);
    ::SetStretchBltMode(target, COLORONCOLOR);
    ::StretchBlt(target, 0, 0, width, height, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    std::vector<uint32_t> drawn = Capture(target, 0, 0, width, height);
    ::SelectObject(source, previousSource);
    ::SelectObject(target, previousTarget);
    ::DeleteObject(canvas);
    ::DeleteObject(bitmap);
    ::DeleteDC(source);
    ::DeleteDC(target);
    ::ReleaseDC(nullptr, screen);
    return drawn;
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
