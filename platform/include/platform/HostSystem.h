// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaline {

// The Windows ANSI code page that stands for a POSIX locale name such as
// "ko_KR.UTF-8": 949 for Korean whatever the character set, otherwise the
// page of the locale's language, 1252 for Western languages, "C" and "POSIX".
int32_t CodePageForLocale(std::string_view locale);

// The locale that decides the character type, as POSIX orders the variables:
// the first of LC_ALL, LC_CTYPE and LANG that is set and not empty.
using EnvironmentLookup = std::function<const char*(const char* name)>;
std::string CharacterLocale(const EnvironmentLookup& getenv);

// The ANSI code page of the process's environment: here the one its locale
// stands for, whether or not the machine has that locale installed.
int32_t EnvironmentCodePage();

// The folder that holds the running executable.
std::string ExecutableFolder();
// A path as the program's UTF-8 text: its bytes here; on Windows its UTF-16
// in UTF-8, where the standard library's narrow form fails on characters
// outside the C library's locale.
std::string PathAsText(const std::filesystem::path& path);
// Text the system gave in its narrow encoding (the ANSI code page on
// Windows, where the spooler names its queues so) as the program's UTF-8;
// the same bytes here.
std::string ProgramTextFromSystem(std::string_view text);
// True when a file can be created in `folder`.
bool CanCreateFileIn(const std::string& folder);
bool PathIsFile(const std::string& path);
// Deletes the file; one that is not there counts as deleted.
Result<void> RemoveFileIfPresent(const std::string& path);

// The program's command-line arguments after its own name, as narrow strings
// (the bytes given on POSIX, the ANSI code page on Windows). On Windows they
// are read from the command line as typed and converted exactly: an argument
// the code page cannot hold fails, naming it, rather than reach the program
// as a look-alike that names another file.
Result<std::vector<std::string>> ProgramArguments(int argc, char** argv);

// Makes the program's narrow text (as ProgramArguments gives it) show on the
// console as the characters it stands for. Windows consoles read bytes in
// their own code page, which need not be the ANSI one; output that goes to a
// file or a pipe stays the bytes written. Nothing to do on POSIX.
void ShowNarrowTextOnConsole();
// Makes standard output carry bytes as they are, for a command that writes
// printer commands there: Windows' text mode would turn every 0A into 0D 0A.
// Nothing to do on POSIX.
void UseBinaryStandardOutput();
// True when standard error is a terminal (a console on Windows), where
// progress that rewrites its line can be shown.
bool StandardErrorIsTerminal();

} // namespace tessaline
