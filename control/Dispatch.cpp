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

} // namespace

TsResult InvokeDispatch(CTessalineCtrl& control, int32_t dispid, const TsVariant* args,
                        uint32_t argc, TsVariant* result) {
    if (result != nullptr) {
        *result = TsVariant{};
    }
    const TsMemberInfo* member = FindDispatchMember(dispid);
    if (member == nullptr) {
        return TS_DISP_E_MEMBERNOTFOUND;
    }
    DispatchArguments a;
    if (const TsResult bound = a.Bind(*member, args, argc); bound != TS_S_OK) {
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
    default:
        return TS_DISP_E_MEMBERNOTFOUND;
    }
}

void FreeDispatchString(char* text) {
    std::free(text);
}

} // namespace tessaline
