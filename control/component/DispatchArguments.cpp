// SPDX-License-Identifier: MIT
#include "DispatchArguments.h"

#include <limits>

namespace tessaline {

namespace {

constexpr uint16_t kTypeMask = static_cast<uint16_t>(~TS_VT_BYREF & 0xFFFF);

bool IsByRef(const TsVariant& v) {
    return (v.vt & TS_VT_BYREF) != 0;
}

TsResult ReadNumber(const TsVariant& v, int32_t& number) {
    const uint16_t type = v.vt & kTypeMask;
    if (type == TS_VT_I4) {
        if (!IsByRef(v)) {
            number = v.u.i4;
            return TS_S_OK;
        }
        if (v.u.pi4 == nullptr) {
            return TS_E_POINTER;
        }
        number = *v.u.pi4;
        return TS_S_OK;
    }
    if (type == TS_VT_I2) {
        if (!IsByRef(v)) {
            number = v.u.i2;
            return TS_S_OK;
        }
        if (v.u.pi2 == nullptr) {
            return TS_E_POINTER;
        }
        number = *v.u.pi2;
        return TS_S_OK;
    }
    return TS_DISP_E_TYPEMISMATCH;
}

TsResult ReadText(const TsVariant& v, std::string& text) {
    if ((v.vt & kTypeMask) != TS_VT_STR) {
        return TS_DISP_E_TYPEMISMATCH;
    }
    const char* value = v.u.str;
    if (IsByRef(v)) {
        if (v.u.pstr == nullptr) {
            return TS_E_POINTER;
        }
        value = *v.u.pstr;
    }
    // A null string is the empty string, as hosts pass an unset string variable.
    text = value != nullptr ? value : "";
    return TS_S_OK;
}

bool Fits16(int32_t number) {
    return number >= std::numeric_limits<int16_t>::min() &&
           number <= std::numeric_limits<int16_t>::max();
}

} // namespace

TsResult DispatchArguments::Bind(const TsMemberInfo& member, const TsVariant* args, uint32_t argc) {
    m_values.clear();
    if (argc != member.paramCount) {
        return TS_DISP_E_BADPARAMCOUNT;
    }
    if (argc > 0 && args == nullptr) {
        return TS_E_POINTER;
    }
    m_values.resize(argc);
    for (uint32_t i = 0; i < argc; ++i) {
        const TsVariant& arg = args[i];
        Value& value = m_values[i];
        const uint16_t declared = member.params[i].vt;
        TsResult read = TS_S_OK;
        if (declared == (TS_VT_I4 | TS_VT_BYREF)) {
            if (arg.vt != (TS_VT_I4 | TS_VT_BYREF)) {
                read = TS_DISP_E_TYPEMISMATCH;
            } else if (arg.u.pi4 == nullptr) {
                read = TS_E_POINTER;
            } else {
                value.out = arg.u.pi4;
            }
        } else if (declared == TS_VT_STR) {
            read = ReadText(arg, value.text);
        } else {
            read = ReadNumber(arg, value.number);
            if (read == TS_S_OK && declared == TS_VT_I2 && !Fits16(value.number)) {
                read = TS_DISP_E_TYPEMISMATCH;
            }
        }
        if (read != TS_S_OK) {
            m_refused = i;
            m_values.clear();
            return read;
        }
    }
    return TS_S_OK;
}

} // namespace tessaline
