#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tessaline::win32 {

// Text between COM's UTF-16 and the system's ANSI code page (CP_ACP), the
// form the control's methods and the spooler's A functions take. Characters
// the code page lacks become its default character, as Windows converts a
// host's strings for a control.
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);

// A file's name in the ANSI code page as a path, and back: what the control's
// methods receive names files the way the system's A functions read them.
std::filesystem::path PathFromAnsi(const std::string& text);
std::string AnsiFromPath(const std::filesystem::path& path);

} // namespace tessaline::win32
