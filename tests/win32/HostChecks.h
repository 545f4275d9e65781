// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <string>
#include <windows.h>

namespace tessaline::hostcheck {

// One line per check, and a last line the Wine test looks for: programs
// run under Wine are judged by what they print as much as by their exit code.
class Checks {
public:
    bool Check(bool passed, const std::string& name) {
        std::printf("%s %s\n", passed ? "ok  " : "FAIL", name.c_str());
        std::fflush(stdout);
        m_failures += passed ? 0 : 1;
        return passed;
    }
    // Prints the closing line; the process's exit status.
    int Finish() const {
        std::printf("RESULT: %s\n", m_failures == 0 ? "PASS" : "FAIL");
        return m_failures == 0 ? 0 : 1;
    }

private:
    int m_failures = 0;
};

// A window to place a control on: a visible top-level one, or a child at a
// place in its parent's client area.
class TestWindow {
public:
    TestWindow(const wchar_t* title, int width, int height)
        : TestWindow(title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, nullptr,
                     {0, 0, width, height}) {}
    TestWindow(HWND parent, const RECT& place)
        : TestWindow(L"", WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, parent, place) {}
    ~TestWindow() {
        if (m_window != nullptr) {
            ::DestroyWindow(m_window);
        }
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Window() const { return m_window; }
    // Handles the messages waiting for this thread's windows.
    static void PumpMessages() {
        MSG msg{};
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

private:
    TestWindow(const wchar_t* title, DWORD style, HWND parent, const RECT& place) {
        constexpr wchar_t kWindowClass[] = L"TessalineTestWindow";
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kWindowClass;
        ::RegisterClassW(&windowClass); // fails harmlessly when already registered
        m_window = ::CreateWindowExW(0, kWindowClass, title, style, place.left, place.top,
                                     place.right - place.left, place.bottom - place.top, parent,
                                     nullptr, ::GetModuleHandleW(nullptr), nullptr);
        PumpMessages();
    }

    HWND m_window = nullptr;
};

} // namespace tessaline::hostcheck
