// SPDX-License-Identifier: MIT
#include "platform/win32/WideText.h"

#include <algorithm>
#include <climits>
#include <windows.h>

namespace tessaline::win32 {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(utf8.size());
    const int chars = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (chars <= 0) {
        return {};
    }
    std::wstring out(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out.data(), chars);
    return out;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty() || utf16.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(utf16.size());
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return {};
    }
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring WidePath(std::string_view utf8) {
    std::wstring path = Widen(utf8);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::string PathText(const std::filesystem::path& path) {
    return Narrow(path.native());
}

} // namespace tessaline::win32
