// SPDX-License-Identifier: MIT
#include "DotsPreview.h"

#include "app/core/LogoDots.h"
#include "app/win32/PrintersPageLayout.h"
#include "platform/win32/HandleOwners.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tessaline::win32 {

namespace {

constexpr int kMargin = 6;
constexpr int kLine = 16;
constexpr COLORREF kBackground = RGB(128, 128, 128);

// The picture of the strip: 32-bit pixels, top row first.
struct Preview {
    int32_t paperDots = 576;
    int32_t width = 0; // 0: nothing shown
    int32_t height = 0;
    std::vector<uint32_t> pixels;
    PreviewZoom zoom = PreviewZoom::Fit;
    int scrollX = 0;
    int scrollY = 0;
};

Preview* StateOf(HWND window) {
    return reinterpret_cast<Preview*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

constexpr uint32_t Pixel(uint8_t r, uint8_t g, uint8_t b) {
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
}

double Scale(HWND window, const Preview& p) {
    switch (p.zoom) {
    case PreviewZoom::OneToOne:
        return 1.0;
    case PreviewZoom::TwoToOne:
        return 2.0;
    case PreviewZoom::Fit:
        break;
    }
    RECT client{};
    ::GetClientRect(window, &client);
    // The room without a vertical bar's width, whether it shows or not, so
    // that the fit does not change as the bar comes and goes.
    int room = client.right - 2 * kMargin;
    if ((::GetWindowLongW(window, GWL_STYLE) & WS_VSCROLL) == 0 ||
        (::GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) == 0) {
        room -= ::GetSystemMetrics(SM_CXVSCROLL);
    }
    const int width = p.width > 0 ? p.width : p.paperDots;
    return room > 0 ? std::min(2.0, static_cast<double>(room) / width) : 1.0;
}

// The canvas the dots need at the scale, margins included.
SIZE Canvas(HWND window, const Preview& p) {
    const double scale = Scale(window, p);
    const int width = p.width > 0 ? p.width : p.paperDots;
    return {static_cast<LONG>(std::ceil(width * scale)) + 2 * kMargin + 1,
            static_cast<LONG>(std::ceil(p.height * scale)) + 2 * kMargin};
}

void UpdateBars(HWND window, Preview& p) {
    for (int pass = 0; pass < 2; ++pass) { // a bar that appears narrows the other side
        RECT client{};
        ::GetClientRect(window, &client);
        const SIZE canvas = Canvas(window, p);
        const int width = static_cast<int>(canvas.cx);
        const int height = static_cast<int>(canvas.cy);
        p.scrollX = std::clamp(p.scrollX, 0, std::max(0, width - static_cast<int>(client.right)));
        p.scrollY = std::clamp(p.scrollY, 0, std::max(0, height - static_cast<int>(client.bottom)));
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMax = width - 1;
        info.nPage = static_cast<UINT>(client.right);
        info.nPos = p.scrollX;
        ::SetScrollInfo(window, SB_HORZ, &info, TRUE);
        info.nMax = height - 1;
        info.nPage = static_cast<UINT>(client.bottom);
        info.nPos = p.scrollY;
        ::SetScrollInfo(window, SB_VERT, &info, TRUE);
    }
    ::InvalidateRect(window, nullptr, FALSE);
}

void Paint(HWND window, HDC target, const Preview& p) {
    RECT client{};
    ::GetClientRect(window, &client);
    const UniqueMemoryDc dc(::CreateCompatibleDC(target));
    const UniqueBitmap buffer(::CreateCompatibleBitmap(target, std::max<LONG>(client.right, 1),
                                                       std::max<LONG>(client.bottom, 1)));
    const SelectedObject drawing(dc.get(), buffer.get());
    ::FillRect(dc.get(), &client, UniqueBrush(::CreateSolidBrush(kBackground)).get());
    if (p.width > 0 && p.height > 0) {
        const double scale = Scale(window, p);
        const int left = kMargin - p.scrollX;
        const int top = kMargin - p.scrollY;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = p.width;
        info.bmiHeader.biHeight = -p.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        // Dots stay sharp at 1:1 and larger; a fit smaller than that blends them.
        ::SetStretchBltMode(dc.get(), scale < 1.0 ? HALFTONE : COLORONCOLOR);
        ::SetBrushOrgEx(dc.get(), 0, 0, nullptr);
        ::StretchDIBits(dc.get(), left, top, static_cast<int>(std::lround(p.width * scale)),
                        static_cast<int>(std::lround(p.height * scale)), 0, 0, p.width, p.height,
                        p.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
        // The paper's edges, over the whole height of the view.
        const UniquePen pen(::CreatePen(PS_DOT, 1, RGB(200, 0, 0)));
        const SelectedObject drawingEdges(dc.get(), pen.get());
        ::SetBkMode(dc.get(), TRANSPARENT);
        const int right = left + static_cast<int>(std::lround(p.paperDots * scale));
        for (const int x : {left - 1, right}) {
            ::MoveToEx(dc.get(), x, 0, nullptr);
            ::LineTo(dc.get(), x, client.bottom);
        }
    }
    if (::GetFocus() == window) {
        RECT focus = client;
        ::InflateRect(&focus, -1, -1);
        ::DrawFocusRect(dc.get(), &focus);
    }
    ::BitBlt(target, 0, 0, client.right, client.bottom, dc.get(), 0, 0, SRCCOPY);
}

// A scroll bar's new position after `code`.
int Scrolled(HWND window, int bar, int code, int now) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    ::GetScrollInfo(window, bar, &info);
    switch (code) {
    case SB_LINEUP:
        return now - kLine;
    case SB_LINEDOWN:
        return now + kLine;
    case SB_PAGEUP:
        return now - static_cast<int>(info.nPage);
    case SB_PAGEDOWN:
        return now + static_cast<int>(info.nPage);
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        return info.nTrackPos;
    case SB_TOP:
        return 0;
    case SB_BOTTOM:
        return info.nMax;
    default:
        return now;
    }
}

LRESULT CALLBACK PreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Preview* p = StateOf(window);
    switch (message) {
    case WM_NCCREATE:
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new Preview));
        break;
    case WM_NCDESTROY:
        delete p;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(window, &paint);
        if (p != nullptr) {
            Paint(window, dc, *p);
        }
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_SIZE:
        if (p != nullptr) {
            UpdateBars(window, *p);
        }
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (p != nullptr) {
            int& at = message == WM_HSCROLL ? p->scrollX : p->scrollY;
            at = Scrolled(window, message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam), at);
            UpdateBars(window, *p);
        }
        return 0;
    case WM_MOUSEWHEEL:
        if (p != nullptr) {
            p->scrollY -= GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3 * kLine;
            UpdateBars(window, *p);
        }
        return 0;
    case WM_KEYDOWN:
        if (p != nullptr) {
            switch (wParam) {
            case VK_LEFT:
                p->scrollX -= kLine;
                break;
            case VK_RIGHT:
                p->scrollX += kLine;
                break;
            case VK_UP:
                p->scrollY -= kLine;
                break;
            case VK_DOWN:
                p->scrollY += kLine;
                break;
            case VK_PRIOR:
                p->scrollY = Scrolled(window, SB_VERT, SB_PAGEUP, p->scrollY);
                break;
            case VK_NEXT:
                p->scrollY = Scrolled(window, SB_VERT, SB_PAGEDOWN, p->scrollY);
                break;
            case VK_HOME:
                p->scrollX = p->scrollY = 0;
                break;
            default:
                return 0;
            }
            UpdateBars(window, *p);
        }
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
        ::SetFocus(window);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        ::InvalidateRect(window, nullptr, FALSE);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

bool RegisterDotsPreviewClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    if (::GetClassInfoExW(instance, kDotsPreviewClass, &windowClass) != 0) {
        return true;
    }
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &PreviewProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = kDotsPreviewClass;
    return ::RegisterClassExW(&windowClass) != 0;
}

HWND CreateDotsPreview(HWND parent, int id, const RECT& position, HINSTANCE instance) {
    HWND preview = ::CreateWindowExW(
        WS_EX_CLIENTEDGE, kDotsPreviewClass, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | WS_GROUP | WS_HSCROLL | WS_VSCROLL,
        position.left, position.top, position.right - position.left, position.bottom - position.top,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (preview != nullptr) {
        UpdateBars(preview, *StateOf(preview));
    }
    return preview;
}

void ShowDots(HWND preview, const std::optional<RasterGraphic>& dots, int32_t paperDots) {
    Preview* p = StateOf(preview);
    if (p == nullptr) {
        return;
    }
    p->paperDots = std::max<int32_t>(1, paperDots);
    p->pixels.clear();
    p->width = 0;
    p->height = 0;
    if (dots && dots->width > 0 && dots->height > 0) {
        // The paper is the printer's width; dots beyond it would be lost.
        p->width = std::max(p->paperDots, dots->width);
        p->height = dots->height;
        p->pixels.assign(static_cast<size_t>(p->width) * static_cast<size_t>(p->height), 0);
        constexpr uint32_t paper = Pixel(255, 255, 255);
        constexpr uint32_t beyond = Pixel(190, 190, 190);
        constexpr uint32_t dot = Pixel(0, 0, 0);
        constexpr uint32_t lost = Pixel(160, 0, 0);
        for (int32_t y = 0; y < p->height; ++y) {
            uint32_t* line = &p->pixels[static_cast<size_t>(y) * static_cast<size_t>(p->width)];
            for (int32_t x = 0; x < p->width; ++x) {
                const bool outside = x >= p->paperDots;
                const bool printed = x < dots->width && DotAt(*dots, x, y);
                line[x] = printed ? (outside ? lost : dot) : (outside ? beyond : paper);
            }
        }
    }
    UpdateBars(preview, *p);
}

void SetPreviewZoom(HWND preview, PreviewZoom zoom) {
    if (Preview* p = StateOf(preview)) {
        p->zoom = zoom;
        UpdateBars(preview, *p);
    }
}

double PreviewScale(HWND preview) {
    const Preview* p = StateOf(preview);
    return p != nullptr ? Scale(preview, *p) : 1.0;
}

} // namespace tessaline::win32
