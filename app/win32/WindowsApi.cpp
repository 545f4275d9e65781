// SPDX-License-Identifier: MIT
#include "WindowsApi.h"

#include "platform/win32/WideText.h"

namespace tessaline::win32 {

std::string WindowTextOf(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return Narrow(text);
}

} // namespace tessaline::win32
