#pragma once

#include <string>
#include <string_view>

namespace tessaline::win32 {

// Text between COM's UTF-16 and the system's ANSI code page (CP_ACP), the
// form the control's methods and the spooler's A functions take. Characters
// the code page lacks become its default character, as Windows converts a
// host's strings for a control.
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);

} // namespace tessaline::win32
