// SPDX-License-Identifier: MIT
#pragma once

#include "tessaline/tessaline_component.h"

#include <optional>
#include <string>

namespace tessaline {

// Typed arguments for Invoke. A string argument borrows `text` for the call.
inline TsVariant MakeI2(int16_t value) {
    TsVariant v{};
    v.vt = TS_VT_I2;
    v.u.i2 = value;
    return v;
}

inline TsVariant MakeI4(int32_t value) {
    TsVariant v{};
    v.vt = TS_VT_I4;
    v.u.i4 = value;
    return v;
}

inline TsVariant MakeStr(const char* text) {
    TsVariant v{};
    v.vt = TS_VT_STR;
    v.u.str = text;
    return v;
}

inline TsVariant MakeStr(const std::string& text) {
    return MakeStr(text.c_str());
}

inline TsVariant MakeI4Ref(int32_t* target) {
    TsVariant v{};
    v.vt = TS_VT_I4 | TS_VT_BYREF;
    v.u.pi4 = target;
    return v;
}

// The integer an event or result argument carries, by value or by reference;
// nothing for other types or a null reference.
inline std::optional<int32_t> VariantInt(const TsVariant& v) {
    const bool byRef = (v.vt & TS_VT_BYREF) != 0;
    switch (v.vt & ~TS_VT_BYREF) {
    case TS_VT_I4:
        if (byRef) {
            return v.u.pi4 ? std::optional<int32_t>(*v.u.pi4) : std::nullopt;
        }
        return v.u.i4;
    case TS_VT_I2:
        if (byRef) {
            return v.u.pi2 ? std::optional<int32_t>(*v.u.pi2) : std::nullopt;
        }
        return v.u.i2;
    default:
        return std::nullopt;
    }
}

} // namespace tessaline
