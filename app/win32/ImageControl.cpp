// SPDX-License-Identifier: MIT
#include "ImageControl.h"

namespace tessaline::win32 {

namespace {

constexpr wchar_t kImageClass[] = L"TessalineImage";
constexpr int kBitmapSlot = 0;

HBITMAP Bitmap(HWND image) {
    return reinterpret_cast<HBITMAP>(::GetWindowLongPtrW(image, kBitmapSlot));
}

void Paint(HWND image, HDC dc) {
    HBITMAP bitmap = Bitmap(image);
    if (bitmap == nullptr) {
        return;
    }
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof(info), &info);
    RECT client{};
    ::GetClientRect(image, &client);
    HDC source = ::CreateCompatibleDC(dc);
    HGDIOBJ previous = ::SelectObject(source, bitmap);
    // Dots stay dots: a one-bit preview shows as the printer prints it.
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, info.bmWidth, info.bmHeight,
                 SRCCOPY);
    ::SelectObject(source, previous);
    ::DeleteDC(source);
}

LRESULT CALLBACK ImageProc(HWND image, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(image, &paint);
        Paint(image, dc);
        ::EndPaint(image, &paint);
        return 0;
    }
    case WM_SIZE:
        ::InvalidateRect(image, nullptr, TRUE);
        return 0;
    case WM_NCDESTROY:
        SetImageBitmap(image, nullptr);
        break;
    default:
        break;
    }
    return ::DefWindowProcW(image, message, wParam, lParam);
}

} // namespace

bool RegisterImageClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    if (::GetClassInfoExW(instance, kImageClass, &windowClass) != 0) {
        return true;
    }
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &ImageProc;
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kImageClass;
    return ::RegisterClassExW(&windowClass) != 0;
}

HWND CreateImageControl(HWND parent, int id, const RECT& position, HINSTANCE instance) {
    return ::CreateWindowExW(0, kImageClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                             position.left, position.top, position.right - position.left,
                             position.bottom - position.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

bool LoadImageFile(HWND image, const std::wstring& path) {
    HANDLE loaded = nullptr;
    if (!path.empty()) {
        loaded = ::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                              LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    }
    SetImageBitmap(image, static_cast<HBITMAP>(loaded));
    return loaded != nullptr;
}

void SetImageBitmap(HWND image, HBITMAP bitmap) {
    HBITMAP old = Bitmap(image);
    ::SetWindowLongPtrW(image, kBitmapSlot, reinterpret_cast<LONG_PTR>(bitmap));
    if (old != nullptr && old != bitmap) {
        ::DeleteObject(old);
    }
    ::InvalidateRect(image, nullptr, TRUE);
}

} // namespace tessaline::win32
