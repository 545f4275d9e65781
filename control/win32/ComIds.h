#pragma once

#include "TessalineIds.h"

#include <guiddef.h>
#include <string>

namespace tessaline::com {

namespace detail {

constexpr unsigned HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<unsigned>(c - 'A' + 10);
    }
    if (c >= 'a' && c <= 'f') {
        return static_cast<unsigned>(c - 'a' + 10);
    }
    throw "not a hexadecimal digit"; // stops the compilation of a malformed identifier
}

constexpr unsigned long Hex(const char* text, int first, int digits) {
    unsigned long value = 0;
    for (int i = 0; i < digits; ++i) {
        value = value << 4 | HexDigit(text[first + i]);
    }
    return value;
}

} // namespace detail

// A GUID from its registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", so
// that COM code uses the identifiers every build of the control shares.
constexpr GUID GuidFromText(const char* text) {
    using detail::Hex;
    GUID guid{};
    guid.Data1 = Hex(text, 1, 8);
    guid.Data2 = static_cast<unsigned short>(Hex(text, 10, 4));
    guid.Data3 = static_cast<unsigned short>(Hex(text, 15, 4));
    guid.Data4[0] = static_cast<unsigned char>(Hex(text, 20, 2));
    guid.Data4[1] = static_cast<unsigned char>(Hex(text, 22, 2));
    for (int i = 0; i < 6; ++i) {
        guid.Data4[2 + i] = static_cast<unsigned char>(Hex(text, 25 + 2 * i, 2));
    }
    return guid;
}

inline constexpr GUID kLibid = GuidFromText(kTessalineLibId);
inline constexpr GUID kDispatchIid = GuidFromText(kDTessalineIid);
inline constexpr GUID kEventsIid = GuidFromText(kDTessalineEventsIid);
inline constexpr GUID kControlClsid = GuidFromText(kTessalineClsid);
inline constexpr GUID kPropPageClsid = GuidFromText(kTessalinePropPageClsid);

// An identifier or name of ours (ASCII) as COM takes it.
inline std::wstring WideAscii(const char* text) {
    std::wstring wide;
    for (; *text != '\0'; ++text) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
    }
    return wide;
}

} // namespace tessaline::com
