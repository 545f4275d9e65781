// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tessaline::win32 {

// The program's strings are UTF-8 on every system; the W functions take
// UTF-16. Invalid sequences become U+FFFD, never a cut string.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// A path of the program's as the W functions take it: UTF-16, with "/" read
// as "\" (the shared code joins folders with "/").
std::wstring WidePath(std::string_view utf8);

// A path in UTF-8, for messages: the standard library's narrow form of a
// path fails on characters outside the C library's locale.
std::string PathText(const std::filesystem::path& path);

} // namespace tessaline::win32
