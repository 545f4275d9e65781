// SPDX-License-Identifier: MIT
#include "Dispatch.h"

#include "DispatchArguments.h"
#include "TessalineIds.h"
#include "TypeLibrary.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace tessaline {

namespace {

void SetI4(TsVariant* result, int32_t value) {
    if (result != nullptr) {
        result->vt = TS_VT_I4;
        result->u.i4 = value;
    }
}

TsResult SetStr(TsVariant* result, const std::string& value) {
    if (result == nullptr) {
        return TS_S_OK;
    }
    // malloc, not new: the host hands it back through a C call, and
    // FreeDispatchString pairs it with free.
    char* copy = static_cast<char*>(std::malloc(value.size() + 1));
    if (copy == nullptr) {
        return TS_E_OUTOFMEMORY;
    }
    std::memcpy(copy, value.c_str(), value.size() + 1);
    result->vt = TS_VT_STR;
    result->u.str = copy;
    return TS_S_OK;
}

TsResult CallBitmapInfo(CTessalineCtrl& control, const DispatchArguments& a, TsVariant* result) {
    // The outputs change only when the file loaded.
    int32_t bitsPixel = *a.OutI4(1);
    int32_t height = *a.OutI4(2);
    int32_t width = *a.OutI4(3);
    const int32_t code = control.BitmapInfo(a.Str(0), bitsPixel, height, width);
    if (code == 0) {
        *a.OutI4(1) = bitsPixel;
        *a.OutI4(2) = height;
        *a.OutI4(3) = width;
    }
    SetI4(result, code);
    return TS_S_OK;
}

// Why a call was refused before the method ran, in words an integrator can act on.
std::string RefusalText(const TsMemberInfo& member, TsResult refused, const DispatchArguments& a,
                        uint32_t argc) {
    const std::string method = member.name;
    if (refused == TS_DISP_E_BADPARAMCOUNT) {
        return method + " takes " + std::to_string(member.paramCount) + " argument" +
               (member.paramCount == 1 ? "" : "s") + ", not " + std::to_string(argc);
    }
    const uint32_t at = a.RefusedPosition();
    if (at >= member.paramCount) {
        return method + ": the call's arguments are malformed";
    }
    const TsParamInfo& param = member.params[at];
    const std::string argument =
        "argument " + std::to_string(at + 1) + " (" + std::string(param.name) + ")";
    if (refused == TS_E_POINTER) {
        return method + ": " + argument + " is a null reference";
    }
    if ((param.vt & TS_VT_BYREF) != 0) {
        return method + ": " + argument + " must be a reference to a 32-bit integer";
    }
    if (param.vt == TS_VT_STR) {
        return method + ": " + argument + " is not a string";
    }
    return method + ": " + argument + " is not a " + (param.vt == TS_VT_I2 ? "16" : "32") +
           "-bit integer, or does not fit one";
}

} // namespace

TsResult InvokeDispatch(CTessalineCtrl& control, int32_t dispid, const TsVariant* args,
                        uint32_t argc, TsVariant* result) {
    if (result != nullptr) {
        *result = TsVariant{};
    }
    const TsMemberInfo* member = FindDispatchMember(dispid);
    // Every call replaces ErrorText, also one refused here.
    if (member == nullptr) {
        control.RefuseCall("the control has no method with dispatch identifier " +
                           std::to_string(dispid));
        return TS_DISP_E_MEMBERNOTFOUND;
    }
    DispatchArguments a;
    if (const TsResult bound = a.Bind(*member, args, argc); bound != TS_S_OK) {
        control.RefuseCall(RefusalText(*member, bound, a, argc));
        return bound;
    }
    switch (dispid) {
    case kDispidBitmapInfo:
        return CallBitmapInfo(control, a, result);
    case kDispidPreview:
        return SetStr(result, control.Preview(a.Str(0), a.I2(1), a.I2(2)));
    case kDispidPrint:
        SetI4(result, control.Print(a.I4(0), a.Str(1), a.I4(2), a.I4(3), a.I4(4)));
        return TS_S_OK;
    case kDispidUpload:
        SetI4(result, control.Upload(a.I4(0), a.Str(1), a.Str(2), a.I4(3), a.I4(4)));
        return TS_S_OK;
    case kDispidErrorText:
        return SetStr(result, control.ErrorText());
    case kDispidStoreGraphic:
        SetI4(result, control.StoreGraphic(a.Str(0), a.Str(1), a.Str(2), a.I4(3), a.I4(4)));
        return TS_S_OK;
    case kDispidPrintGraphic:
        SetI4(result, control.PrintGraphic(a.Str(0), a.Str(1), a.I4(2), a.I4(3)));
        return TS_S_OK;
    case kDispidDeleteGraphic:
        SetI4(result, control.DeleteGraphic(a.Str(0), a.Str(1)));
        return TS_S_OK;
    case kDispidGraphicKeys:
        return SetStr(result, control.GraphicKeys(a.Str(0)));
    case kDispidSetAutoLogo:
        SetI4(result, control.SetAutoLogo(a.Str(0), a.Str(1), a.Str(2), a.Str(3)));
        return TS_S_OK;
    case kDispidAutoLogo:
        return SetStr(result, control.AutoLogo(a.Str(0)));
    default:
        return TS_DISP_E_MEMBERNOTFOUND;
    }
}

void FreeDispatchString(char* text) {
    std::free(text);
}

} // namespace tessaline
