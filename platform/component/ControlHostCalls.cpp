// SPDX-License-Identifier: MIT
// The typed calls of ControlHost, the same over every implementation of Invoke.
#include "platform/component/ControlHost.h"

namespace tessaline {

TsResult ControlHost::InvokeI4(int32_t dispid, std::span<TsVariant> args, int32_t& result) {
    TsVariant value{};
    TsResult r = Invoke(dispid, args, &value);
    if (TS_FAILED(r)) {
        return r;
    }
    switch (value.vt) {
    case TS_VT_I4:
        result = value.u.i4;
        return r;
    case TS_VT_I2:
        result = value.u.i2;
        return r;
    default:
        FreeResult(value);
        return TS_DISP_E_TYPEMISMATCH;
    }
}

TsResult ControlHost::InvokeStr(int32_t dispid, std::span<TsVariant> args, std::string& result) {
    TsVariant value{};
    TsResult r = Invoke(dispid, args, &value);
    if (TS_FAILED(r)) {
        return r;
    }
    if (value.vt != TS_VT_STR) {
        FreeResult(value);
        return TS_DISP_E_TYPEMISMATCH;
    }
    result = value.u.str ? value.u.str : "";
    FreeResult(value);
    return r;
}

} // namespace tessaline
