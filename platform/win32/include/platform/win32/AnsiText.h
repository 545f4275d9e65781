// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessaline::win32 {

// The system's ANSI code page (GetACP): 1252, 949, ...
uint32_t AnsiCodePage();

// Text in the ANSI code page exactly, checked by the round trip: nothing when
// a character has no place there. Windows would otherwise put a look-alike
// ("cafe" for "café" under 949) or the default character in its place, and a
// name would then name another file.
std::optional<std::string> ExactAnsi(std::wstring_view text);
// ANSI bytes as UTF-16 exactly: nothing when they are no text of the code
// page (a lead byte without its second byte, ...).
std::optional<std::wstring> ExactWide(std::string_view text);
// Why `text` has no exact ANSI form, naming the characters the code page
// lacks: "U+00E9 has no character in code page 949". Empty when it has one.
std::string WhyNotAnsi(std::wstring_view text);

// Text for messages and for names shown to people, between UTF-16 and the
// ANSI code page: a character the code page lacks becomes "?", never a
// look-alike that would read as another name.
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);
// The program's and the platform's UTF-8 messages as ANSI text, the same way.
std::string AnsiFromUtf8(std::string_view utf8);

// A file's name in the ANSI code page as a path, and back: what the control's
// methods receive names files the way the system's A functions read them. A
// path with no exact ANSI name fails, saying which characters the code page
// lacks.
std::filesystem::path PathFromAnsi(const std::string& text);
Result<std::string> AnsiFromPath(const std::filesystem::path& path);

} // namespace tessaline::win32
