// SPDX-License-Identifier: MIT
#include "MessagePump.h"

#include <utility>

namespace tessaline::win32 {

bool IsStartingInput(const MSG& msg) {
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_DEADCHAR:
    case WM_SYSDEADCHAR:
    case WM_UNICHAR:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONDBLCLK:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONDBLCLK:
    case WM_NCMBUTTONDOWN:
    case WM_NCMBUTTONDBLCLK:
    case WM_NCXBUTTONDOWN:
    case WM_NCXBUTTONDBLCLK:
        return true;
    default:
        return false;
    }
}

void PumpWaitingMessages() {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // The program's own loop ends on it.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (IsStartingInput(msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void WaitPumping(int32_t milliseconds) {
    if (milliseconds <= 0) {
        return;
    }
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (;;) {
        PumpWaitingMessages();
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end) {
            return;
        }
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                      MWMO_INPUTAVAILABLE);
    }
}

void DropWaitingInput() {
    MSG msg{};
    for (const auto& [first, last] : {std::pair<UINT, UINT>{WM_KEYFIRST, WM_KEYLAST},
                                      std::pair<UINT, UINT>{WM_MOUSEFIRST, WM_MOUSELAST},
                                      std::pair<UINT, UINT>{WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}}) {
        while (::PeekMessageW(&msg, nullptr, first, last, PM_REMOVE)) {
            // The ends of gestures go where they were aimed, at once.
            if (!IsStartingInput(msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }
}

} // namespace tessaline::win32
