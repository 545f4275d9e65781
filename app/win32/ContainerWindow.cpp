// SPDX-License-Identifier: MIT
#include "ContainerWindow.h"

namespace tessaline::win32 {

namespace {

constexpr wchar_t kContainerClass[] = L"TessalineContainer";
// Window extra bytes: the style, then the font set with WM_SETFONT.
constexpr int kStyleSlot = 0;
constexpr int kFontSlot = sizeof(LONG_PTR);

void PaintFrame(HWND window, HDC dc) {
    RECT client{};
    ::GetClientRect(window, &client);
    const auto font = reinterpret_cast<HFONT>(::GetWindowLongPtrW(window, kFontSlot));
    HGDIOBJ previous =
        ::SelectObject(dc, font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    RECT border = client;
    border.top += metrics.tmHeight / 2;
    ::DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);

    wchar_t caption[256] = {};
    const int length = ::GetWindowTextW(window, caption, 256);
    if (length > 0) {
        RECT text{8, 0, client.right - 8, metrics.tmHeight};
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        ::SetBkMode(dc, OPAQUE);
        ::SetTextColor(dc,
                       ::GetSysColor(::IsWindowEnabled(window) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        // The caption's own width, with a blank either side over the border.
        RECT measure = text;
        ::DrawTextW(dc, caption, length, &measure, DT_SINGLELINE | DT_CALCRECT);
        text.right = measure.right + 2;
        text.left -= 2;
        ::ExtTextOutW(dc, text.left, 0, ETO_OPAQUE, &text, nullptr, 0, nullptr);
        ::DrawTextW(dc, caption, length, &measure, DT_SINGLELINE);
    }
    ::SelectObject(dc, previous);
}

LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, kStyleSlot, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
    }
    case WM_SETFONT:
        ::SetWindowLongPtrW(window, kFontSlot, static_cast<LONG_PTR>(wParam));
        if (LOWORD(lParam) != 0) {
            ::InvalidateRect(window, nullptr, TRUE);
        }
        return 0;
    case WM_GETFONT:
        return ::GetWindowLongPtrW(window, kFontSlot);
    case WM_SETTEXT:
    case WM_ENABLE: {
        const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
        ::InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(window, &paint);
        if (static_cast<ContainerStyle>(::GetWindowLongPtrW(window, kStyleSlot)) ==
            ContainerStyle::Frame) {
            PaintFrame(window, dc);
        }
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return ::SendMessageW(::GetParent(window), message, wParam, lParam);
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

bool RegisterContainerClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    if (::GetClassInfoExW(instance, kContainerClass, &windowClass) != 0) {
        return true;
    }
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &ContainerProc;
    windowClass.cbWndExtra = 2 * sizeof(LONG_PTR);
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kContainerClass;
    return ::RegisterClassExW(&windowClass) != 0;
}

HWND CreateContainer(HWND parent, int id, ContainerStyle style, const RECT& position,
                     const wchar_t* caption, HINSTANCE instance) {
    const DWORD exStyle =
        WS_EX_CONTROLPARENT | (style == ContainerStyle::PictureBox ? WS_EX_CLIENTEDGE : 0);
    return ::CreateWindowExW(exStyle, kContainerClass, caption,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                             position.left, position.top, position.right - position.left,
                             position.bottom - position.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                             reinterpret_cast<void*>(static_cast<INT_PTR>(style)));
}

} // namespace tessaline::win32
