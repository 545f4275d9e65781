// SPDX-License-Identifier: MIT
#include "TypeLibrary.h"

#include "TessalineIds.h"
#include "base/NameCompare.h"

#include <array>
#include <cstddef>

namespace tessaline {

namespace {

constexpr uint16_t kI2 = TS_VT_I2;
constexpr uint16_t kI4 = TS_VT_I4;
constexpr uint16_t kStr = TS_VT_STR;
constexpr uint16_t kI4Ref = TS_VT_I4 | TS_VT_BYREF;

constexpr std::array<TsParamInfo, 4> kBitmapInfoParams{{
    {"NVImage", kStr},
    {"BitsPixel", kI4Ref},
    {"Height", kI4Ref},
    {"Width", kI4Ref},
}};

constexpr std::array<TsParamInfo, 3> kPreviewParams{{
    {"PreviewName", kStr},
    {"ImageMode", kI2},
    {"Brightness", kI2},
}};

constexpr std::array<TsParamInfo, 5> kPrintParams{{
    {"Printer", kI4},
    {"PrinterName", kStr},
    {"Range", kI4},
    {"Mode", kI4},
    {"lngEnd", kI4},
}};

constexpr std::array<TsParamInfo, 5> kUploadParams{{
    {"Printer", kI4},
    {"PrinterName", kStr},
    {"NVImage", kStr},
    {"ImageMode", kI4},
    {"Brightness", kI4},
}};

constexpr std::array<TsParamInfo, 5> kStoreGraphicParams{{
    {"PrinterName", kStr},
    {"Key", kStr},
    {"FileName", kStr},
    {"ImageMode", kI4},
    {"Brightness", kI4},
}};

constexpr std::array<TsParamInfo, 4> kPrintGraphicParams{{
    {"PrinterName", kStr},
    {"Key", kStr},
    {"ScaleX", kI4},
    {"ScaleY", kI4},
}};

constexpr std::array<TsParamInfo, 2> kDeleteGraphicParams{{
    {"PrinterName", kStr},
    {"Key", kStr},
}};

constexpr std::array<TsParamInfo, 1> kGraphicKeysParams{{
    {"PrinterName", kStr},
}};

constexpr std::array<TsParamInfo, 4> kSetAutoLogoParams{{
    {"PrinterName", kStr},
    {"TopKey", kStr},
    {"BottomKey", kStr},
    {"Align", kStr},
}};

constexpr std::array<TsParamInfo, 1> kAutoLogoParams{{
    {"PrinterName", kStr},
}};

constexpr std::array<TsMemberInfo, 11> kDispatchMembers{{
    {kDispidBitmapInfo, "BitmapInfo", kI4, kBitmapInfoParams.size(), kBitmapInfoParams.data()},
    {kDispidPreview, "Preview", kStr, kPreviewParams.size(), kPreviewParams.data()},
    {kDispidPrint, "Print", kI4, kPrintParams.size(), kPrintParams.data()},
    {kDispidUpload, "Upload", kI4, kUploadParams.size(), kUploadParams.data()},
    {kDispidErrorText, "ErrorText", kStr, 0, nullptr},
    {kDispidStoreGraphic, "StoreGraphic", kI4, kStoreGraphicParams.size(),
     kStoreGraphicParams.data()},
    {kDispidPrintGraphic, "PrintGraphic", kI4, kPrintGraphicParams.size(),
     kPrintGraphicParams.data()},
    {kDispidDeleteGraphic, "DeleteGraphic", kI4, kDeleteGraphicParams.size(),
     kDeleteGraphicParams.data()},
    {kDispidGraphicKeys, "GraphicKeys", kStr, kGraphicKeysParams.size(), kGraphicKeysParams.data()},
    {kDispidSetAutoLogo, "SetAutoLogo", kI4, kSetAutoLogoParams.size(), kSetAutoLogoParams.data()},
    {kDispidAutoLogo, "AutoLogo", kStr, kAutoLogoParams.size(), kAutoLogoParams.data()},
}};

constexpr std::array<TsParamInfo, 1> kProgressParams{{{"Data", kI4}}};

constexpr std::array<TsMemberInfo, 1> kEventMembers{{
    {kEventidProgress, "Progress", TS_VT_EMPTY, kProgressParams.size(), kProgressParams.data()},
}};

constexpr std::array<TsInterfaceInfo, 2> kInterfaces{{
    {"_DTessaline", kDTessalineIid, "Dispatch interface for Tessaline Control", TS_TYPE_DISPATCH,
     kDispatchMembers.size(), kDispatchMembers.data()},
    {"_DTessalineEvents", kDTessalineEventsIid, "Event interface for Tessaline Control",
     TS_TYPE_DISPATCH | TS_TYPE_SOURCE, kEventMembers.size(), kEventMembers.data()},
}};

constexpr std::array<TsClassInfo, 1> kClasses{{
    {"Tessaline", kTessalineClsid, "Tessaline Control", TS_CLASS_CONTROL | TS_CLASS_CREATABLE,
     "_DTessaline", "_DTessalineEvents"},
}};

constexpr TsTypeLibInfo kTypeLib{"TESSALINELib",
                                 kTessalineLibId,
                                 kTypeLibMajor,
                                 kTypeLibMinor,
                                 "Tessaline ActiveX Control module",
                                 "Tessaline.hlp",
                                 kInterfaces.size(),
                                 kInterfaces.data(),
                                 kClasses.size(),
                                 kClasses.data()};

} // namespace

const TsTypeLibInfo& TessalineTypeLib() {
    return kTypeLib;
}

const TsMemberInfo* FindDispatchMember(int32_t dispid) {
    for (const TsMemberInfo& member : kDispatchMembers) {
        if (member.dispid == dispid) {
            return &member;
        }
    }
    return nullptr;
}

const TsMemberInfo* FindDispatchMember(std::string_view name) {
    for (const TsMemberInfo& member : kDispatchMembers) {
        if (EqualsNoCase(member.name, name)) {
            return &member;
        }
    }
    return nullptr;
}

} // namespace tessaline
