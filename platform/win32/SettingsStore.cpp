// SPDX-License-Identifier: MIT
// The settings store on Windows: the file in the ANSI code page with CR LF
// line ends, as the private profile functions read and write it. The program
// speaks UTF-8; every conversion to the code page is exact, so a value the
// page cannot hold is refused rather than saved as another path.
#include "platform/SettingsStore.h"

#include "platform/FileIo.h"
#include "platform/win32/AnsiText.h"
#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <climits>
#include <windows.h>

namespace tessaline {

using win32::Narrow;
using win32::Widen;
using win32::WidePath;

namespace {

// The text in the ANSI code page; nothing when a character has no place in
// it (it would come back as another character, and a path as another file),
// or when the UTF-8 itself is broken.
std::optional<std::string> AnsiExactly(std::string_view utf8) {
    const std::wstring text = Widen(utf8);
    if (Narrow(std::wstring_view(text)) != utf8) {
        return std::nullopt;
    }
    return win32::ExactAnsi(text);
}

// ANSI bytes as UTF-8; bytes the code page does not know become U+FFFD.
std::string Utf8FromAnsi(std::string_view ansi) {
    return Narrow(win32::FromAnsi(ansi));
}

std::string CannotHold(std::string_view file, std::string_view key, std::string_view value) {
    return "cannot write " + std::string(key) + " to " + std::string(file) + ": its value \"" +
           std::string(value) + "\" has characters the system's code page (" +
           std::to_string(::GetACP()) + ") cannot hold";
}

// LF line ends as CR LF; the profile text the parser makes has LF alone.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

} // namespace

const char* SettingsStore::LineEnd() {
    return "\r\n";
}

Result<std::string> SettingsStore::ReadKey(const std::string& file, const std::string& section,
                                           const std::string& key) const {
    // A value longer than the buffer comes back cut: read again with more
    // room, up to one character past the longest value there may be.
    const std::wstring path = WidePath(file);
    const std::wstring wideSection = Widen(section);
    const std::wstring wideKey = Widen(key);
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD copied =
            ::GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), L"", value.data(),
                                       static_cast<DWORD>(value.size()), path.c_str());
        if (copied + 1 < value.size()) {
            value.resize(copied);
            break;
        }
        if (value.size() > kMaxSettingsValueBytes + 1) {
            return Result<std::string>::Fail("cannot read " + key + " from " + file +
                                             ": its value is longer than " +
                                             std::to_string(kMaxSettingsValueBytes) + " bytes");
        }
        value.assign(std::min<size_t>(value.size() * 4, kMaxSettingsValueBytes + 2), L'\0');
    }
    std::string utf8 = Narrow(value);
    if (utf8.size() > kMaxSettingsValueBytes) {
        return Result<std::string>::Fail("cannot read " + key + " from " + file +
                                         ": its value is longer than " +
                                         std::to_string(kMaxSettingsValueBytes) + " bytes");
    }
    return utf8;
}

Result<void> SettingsStore::WriteKey(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value) const {
    if (const std::string refusal = SettingsValueRefusal(file, key, value); !refusal.empty()) {
        return Result<void>::Fail(refusal);
    }
    if (!AnsiExactly(value) || !AnsiExactly(key) || !AnsiExactly(section)) {
        return Result<void>::Fail(CannotHold(file, key, value));
    }
    if (::WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(),
                                     Widen(value).c_str(), WidePath(file).c_str()) == 0) {
        return Result<void>::Fail("cannot write " + key + " to " + file + ": " +
                                  win32::SystemErrorMessage(::GetLastError()));
    }
    return {};
}

Result<std::optional<std::string>> SettingsStore::ReadText(const std::string& file) const {
    Result<std::optional<std::string>> bytes = ReadFileIfPresent(WidePath(file));
    if (!bytes || !bytes.Value()) {
        return bytes;
    }
    return std::optional<std::string>(Utf8FromAnsi(*bytes.Value()));
}

Result<void> SettingsStore::Replace(const std::string& file, const std::string& section,
                                    const ProfileEntries& entries) const {
    ProfileEntries ansi;
    ansi.reserve(entries.size());
    for (const auto& [key, value] : entries) {
        if (const std::string refusal = SettingsValueRefusal(file, key, value); !refusal.empty()) {
            return Result<void>::Fail(refusal);
        }
        std::optional<std::string> ansiKey = AnsiExactly(key);
        std::optional<std::string> ansiValue = AnsiExactly(value);
        if (!ansiKey || !ansiValue) {
            return Result<void>::Fail(CannotHold(file, key, value));
        }
        ansi.emplace_back(std::move(*ansiKey), std::move(*ansiValue));
    }
    const std::optional<std::string> ansiSection = AnsiExactly(section);
    if (!ansiSection) {
        return Result<void>::Fail(CannotHold(file, "[" + section + "]", section));
    }
    return ReplaceFileAtomically(WidePath(file), WithCrLf(FormatProfile(*ansiSection, ansi)),
                                 Hooks());
}

Result<void> SettingsStore::Copy(const std::string& file, const std::string& copy) const {
    const Result<std::string> bytes = ReadWholeFile(WidePath(file));
    if (!bytes) {
        return Result<void>::FailAs(bytes);
    }
    return ReplaceFileAtomically(WidePath(copy), bytes.Value(), Hooks());
}

} // namespace tessaline
