// SPDX-License-Identifier: MIT
#include "frmProgress.h"

#include "app/win32/MainWindowLayout.h"
#include "platform/win32/WideText.h"

#include <cmath>
#include <commctrl.h>

namespace {

// The bar, in twips on the window's client area.
constexpr RECT kProBar{180, 180, 180 + 4275, 180 + 315};

} // namespace

frmProgress::frmProgress(HINSTANCE instance, HWND owner, HFONT font, int dpi)
    : m_instance(instance), m_owner(owner), m_font(font), m_dpi(dpi) {}

frmProgress::~frmProgress() {
    Unload();
}

bool frmProgress::RegisterClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kProgressClass;
    return ::RegisterClassExW(&windowClass) != 0;
}

LRESULT CALLBACK frmProgress::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        // The window goes when the call it watches is over, never at the user's word.
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

int frmProgress::Pixels(int twips) const {
    return static_cast<int>(std::lround(twips * m_dpi / 1440.0));
}

void frmProgress::Load() {
    if (m_window != nullptr) {
        return;
    }
    constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
    constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
    RECT frame{0, 0, Pixels(kProgressWidthTwips), Pixels(kProgressHeightTwips)};
    ::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    m_window = ::CreateWindowExW(kExStyle, kProgressClass, L"Progress", kStyle, CW_USEDEFAULT,
                                 CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                 m_owner, nullptr, m_instance, nullptr);
    if (m_window == nullptr) {
        return;
    }
    m_bar = ::CreateWindowExW(
        0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, Pixels(kProBar.left), Pixels(kProBar.top),
        Pixels(kProBar.right - kProBar.left), Pixels(kProBar.bottom - kProBar.top), m_window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProBarId)), m_instance, nullptr);
    ::SendMessageW(m_window, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    ::SendMessageW(m_bar, PBM_SETRANGE32, 0, 100);
    ::SendMessageW(m_bar, PBM_SETPOS, 0, 0);
}

void frmProgress::Unload() {
    if (m_window == nullptr) {
        return;
    }
    ::DestroyWindow(m_window);
    m_window = nullptr;
    m_bar = nullptr;
}

void frmProgress::ShowModeless() {
    if (m_window == nullptr) {
        return;
    }
    ::ShowWindow(m_window, SW_SHOW);
    ::UpdateWindow(m_window);
}

void frmProgress::SetCaption(const std::string& caption) {
    if (m_window != nullptr) {
        ::SetWindowTextW(m_window, tessaline::win32::Widen(caption).c_str());
    }
}

void frmProgress::CentreOnScreen() {
    if (m_window == nullptr) {
        return;
    }
    RECT frame{};
    ::GetWindowRect(m_window, &frame);
    const double width = frame.right - frame.left;
    const double height = frame.bottom - frame.top;
    const int left = static_cast<int>((::GetSystemMetrics(SM_CXSCREEN) - width) / 2.0);
    const int top = static_cast<int>((::GetSystemMetrics(SM_CYSCREEN) - height) / 2.0);
    ::SetWindowPos(m_window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmProgress::SetBarMax(float maximum) {
    if (m_bar != nullptr) {
        ::SendMessageW(m_bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(std::lround(maximum)));
    }
}

void frmProgress::SetBarValue(float value) {
    if (m_bar != nullptr) {
        ::SendMessageW(m_bar, PBM_SETPOS, static_cast<WPARAM>(std::lround(value)), 0);
    }
}
