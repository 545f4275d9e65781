// SPDX-License-Identifier: MIT
#pragma once

#include "TessalineIds.h"
#include "tessaline/tessaline_control.h"

#include <guiddef.h>
#include <string>

namespace tessaline::com {

// The identifiers hosts know the control by, as COM takes them, from the
// header every host and both builds of the control share.
inline constexpr GUID kLibid = TESSALINE_LIBID_GUID;
inline constexpr GUID kDispatchIid = TESSALINE_DIID_DTESSALINE_GUID;
inline constexpr GUID kEventsIid = TESSALINE_DIID_DTESSALINEEVENTS_GUID;
inline constexpr GUID kControlClsid = TESSALINE_CLSID_GUID;
inline constexpr GUID kPropPageClsid = TESSALINE_PROPPAGE_CLSID_GUID;

// An identifier or name of ours (ASCII) as COM takes it.
inline std::wstring WideAscii(const char* text) {
    std::wstring wide;
    for (; *text != '\0'; ++text) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
    }
    return wide;
}

} // namespace tessaline::com
