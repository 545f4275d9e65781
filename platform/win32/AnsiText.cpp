#include "platform/win32/AnsiText.h"

#include <climits>
#include <windows.h>

namespace tessaline::win32 {

std::string ToAnsi(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int bytes =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return {};
    }
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::wstring FromAnsi(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (chars <= 0) {
        return {};
    }
    std::wstring out(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), chars);
    return out;
}

std::filesystem::path PathFromAnsi(const std::string& text) {
    return std::filesystem::path(FromAnsi(text));
}

std::string AnsiFromPath(const std::filesystem::path& path) {
    return ToAnsi(path.native());
}

} // namespace tessaline::win32
