// SPDX-License-Identifier: MIT
#include "platform/win32/AnsiText.h"

#include "platform/win32/WideText.h"

#include <climits>
#include <cstdio>
#include <windows.h>

namespace tessaline::win32 {

namespace {

// WideCharToMultiByte into the ANSI code page; `defaulted` tells whether a
// character was replaced by the default one. Empty on failure.
std::string Convert(std::wstring_view text, const char* defaultChar, BOOL* defaulted) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    // No best fit: a character the page lacks is the default character, never
    // a look-alike. Code pages that take no flags (UTF-7 and UTF-8) cannot
    // lack a character anyway.
    const DWORD flags = ::GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* usedDefault = ::GetACP() == CP_UTF8 ? nullptr : defaulted;
    const char* fallback = ::GetACP() == CP_UTF8 ? nullptr : defaultChar;
    const int bytes = ::WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0,
                                            fallback, usedDefault);
    if (bytes <= 0) {
        return {};
    }
    std::string out(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, flags, text.data(), length, out.data(), bytes, fallback,
                          usedDefault);
    return out;
}

std::wstring ToWide(std::string_view text, DWORD flags) {
    if (text.empty() || text.size() > INT_MAX) {
        return {};
    }
    const int length = static_cast<int>(text.size());
    const int chars = ::MultiByteToWideChar(CP_ACP, flags, text.data(), length, nullptr, 0);
    if (chars <= 0) {
        return {};
    }
    std::wstring out(static_cast<size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, flags, text.data(), length, out.data(), chars);
    return out;
}

// One character (a surrogate pair counts as one) at `at`, and its length.
std::wstring_view CharacterAt(std::wstring_view text, size_t at) {
    const bool pair = at + 1 < text.size() && text[at] >= 0xD800 && text[at] <= 0xDBFF &&
                      text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF;
    return text.substr(at, pair ? 2 : 1);
}

std::string CodePoint(std::wstring_view character) {
    uint32_t value = character[0];
    if (character.size() == 2) {
        value = 0x10000 + ((value - 0xD800) << 10) + (character[1] - 0xDC00);
    }
    char text[16];
    std::snprintf(text, sizeof(text), "U+%04X", static_cast<unsigned>(value));
    return text;
}

} // namespace

uint32_t AnsiCodePage() {
    return static_cast<uint32_t>(::GetACP());
}

std::optional<std::string> ExactAnsi(std::wstring_view text) {
    if (text.empty()) {
        return std::string();
    }
    BOOL defaulted = FALSE;
    std::string out = Convert(text, nullptr, &defaulted);
    if (out.empty() || defaulted) {
        return std::nullopt;
    }
    // The round trip catches what the flags let through in some code pages.
    const std::optional<std::wstring> back = ExactWide(out);
    if (!back || *back != text) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::wstring> ExactWide(std::string_view text) {
    if (text.empty()) {
        return std::wstring();
    }
    std::wstring out = ToWide(text, MB_ERR_INVALID_CHARS);
    if (out.empty()) {
        return std::nullopt;
    }
    return out;
}

std::string WhyNotAnsi(std::wstring_view text) {
    if (ExactAnsi(text)) {
        return {};
    }
    std::string lacking;
    int named = 0;
    for (size_t at = 0; at < text.size();) {
        const std::wstring_view character = CharacterAt(text, at);
        at += character.size();
        if (ExactAnsi(character) || named == 4) {
            continue;
        }
        const std::string code = CodePoint(character);
        if (lacking.find(code) == std::string::npos) {
            lacking += (named++ == 0 ? "" : ", ") + code;
        }
    }
    if (lacking.empty()) {
        return "it has no exact form in code page " + std::to_string(AnsiCodePage());
    }
    return lacking + (named == 1 ? " has" : " have") + " no character in code page " +
           std::to_string(AnsiCodePage());
}

std::string ToAnsi(std::wstring_view text) {
    BOOL defaulted = FALSE;
    return Convert(text, "?", &defaulted);
}

std::wstring FromAnsi(std::string_view text) {
    return ToWide(text, 0);
}

std::string AnsiFromUtf8(std::string_view utf8) {
    return ToAnsi(Widen(utf8));
}

std::filesystem::path PathFromAnsi(const std::string& text) {
    return std::filesystem::path(FromAnsi(text));
}

Result<std::string> AnsiFromPath(const std::filesystem::path& path) {
    if (std::optional<std::string> exact = ExactAnsi(path.native())) {
        return *exact;
    }
    return Result<std::string>::Fail(
        ToAnsi(path.native()) +
        " has no name in the system's code page: " + WhyNotAnsi(path.native()));
}

} // namespace tessaline::win32
