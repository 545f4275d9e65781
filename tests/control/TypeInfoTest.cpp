// SPDX-License-Identifier: MIT
// What a host reads of the control without calling it: type library, module
// data, property page, verbs, status, and the exported symbols.

#include "ControlTesting.h"
#include "tessaline/tessaline_control.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

namespace tessaline {
namespace {

using test::Control;
using test::ControlLibrary;

const TsTypeLibInfo& TypeLib(const Control& control) {
    const TsTypeLibInfo* info = nullptr;
    EXPECT_EQ(control->GetTypeLib(control.get(), &info), TS_S_OK);
    return *info;
}

const TsInterfaceInfo* FindInterface(const TsTypeLibInfo& lib, std::string_view name) {
    for (uint32_t i = 0; i < lib.interfaceCount; ++i) {
        if (lib.interfaces[i].name == name) {
            return &lib.interfaces[i];
        }
    }
    return nullptr;
}

bool IsUuid(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') {
        return false;
    }
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        const char c = text[i];
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

TEST(TypeLibrary, DescribesTheLibraryTheClassAndBothInterfaces) {
    const Control control;
    const TsTypeLibInfo& lib = TypeLib(control);
    EXPECT_STREQ(lib.name, "TESSALINELib");
    EXPECT_STREQ(lib.uuid, test::kTypeLibId);
    EXPECT_EQ(lib.majorVersion, 1);
    EXPECT_EQ(lib.minorVersion, 0);
    EXPECT_STREQ(lib.helpString, "Tessaline ActiveX Control module");
    EXPECT_STREQ(lib.helpFile, "Tessaline.hlp");

    ASSERT_EQ(lib.interfaceCount, 2u);
    const TsInterfaceInfo* dispatch = FindInterface(lib, "_DTessaline");
    const TsInterfaceInfo* events = FindInterface(lib, "_DTessalineEvents");
    ASSERT_NE(dispatch, nullptr);
    ASSERT_NE(events, nullptr);
    EXPECT_STREQ(dispatch->helpString, "Dispatch interface for Tessaline Control");
    EXPECT_STREQ(events->helpString, "Event interface for Tessaline Control");
    EXPECT_EQ(dispatch->flags, TS_TYPE_DISPATCH);
    EXPECT_EQ(events->flags & TS_TYPE_SOURCE, TS_TYPE_SOURCE);

    ASSERT_EQ(lib.classCount, 1u);
    const TsClassInfo& cls = lib.classes[0];
    EXPECT_STREQ(cls.name, "Tessaline");
    EXPECT_STREQ(cls.uuid, test::kControlClsid);
    EXPECT_STREQ(cls.helpString, "Tessaline Control");
    EXPECT_EQ(cls.flags, TS_CLASS_CONTROL | TS_CLASS_CREATABLE);
    EXPECT_STREQ(cls.defaultInterface, "_DTessaline");
    EXPECT_STREQ(cls.defaultSource, "_DTessalineEvents");

    // Every identifier well formed, and no two alike.
    const std::vector<std::string> ids{lib.uuid, dispatch->uuid, events->uuid, cls.uuid,
                                       test::kPropPageClsid};
    for (size_t i = 0; i < ids.size(); ++i) {
        EXPECT_TRUE(IsUuid(ids[i])) << ids[i];
        for (size_t j = i + 1; j < ids.size(); ++j) {
            EXPECT_NE(ids[i], ids[j]);
        }
    }
}

struct ExpectedMember {
    int32_t dispid;
    const char* name;
    uint16_t resultVt;
    std::vector<std::pair<std::string, uint16_t>> params;
};

constexpr uint16_t kRefI4 = TS_VT_I4 | TS_VT_BYREF;

void ExpectMembers(const TsInterfaceInfo& iface, const std::vector<ExpectedMember>& expected) {
    ASSERT_EQ(iface.memberCount, expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TsMemberInfo& m = iface.members[i];
        const ExpectedMember& e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(m.dispid, e.dispid);
        EXPECT_STREQ(m.name, e.name);
        EXPECT_EQ(m.resultVt, e.resultVt);
        ASSERT_EQ(m.paramCount, e.params.size());
        for (size_t p = 0; p < e.params.size(); ++p) {
            EXPECT_EQ(m.params[p].name, e.params[p].first);
            EXPECT_EQ(m.params[p].vt, e.params[p].second) << e.params[p].first;
        }
    }
}

TEST(TypeLibrary, ListsTheMethodsAndTheEventWithTheirParameters) {
    const Control control;
    const TsTypeLibInfo& lib = TypeLib(control);
    ExpectMembers(
        *FindInterface(lib, "_DTessaline"),
        {{1,
          "BitmapInfo",
          TS_VT_I4,
          {{"NVImage", TS_VT_STR}, {"BitsPixel", kRefI4}, {"Height", kRefI4}, {"Width", kRefI4}}},
         {2,
          "Preview",
          TS_VT_STR,
          {{"PreviewName", TS_VT_STR}, {"ImageMode", TS_VT_I2}, {"Brightness", TS_VT_I2}}},
         {3,
          "Print",
          TS_VT_I4,
          {{"Printer", TS_VT_I4},
           {"PrinterName", TS_VT_STR},
           {"Range", TS_VT_I4},
           {"Mode", TS_VT_I4},
           {"lngEnd", TS_VT_I4}}},
         {4,
          "Upload",
          TS_VT_I4,
          {{"Printer", TS_VT_I4},
           {"PrinterName", TS_VT_STR},
           {"NVImage", TS_VT_STR},
           {"ImageMode", TS_VT_I4},
           {"Brightness", TS_VT_I4}}},
         {5, "ErrorText", TS_VT_STR, {}},
         {6,
          "StoreGraphic",
          TS_VT_I4,
          {{"PrinterName", TS_VT_STR},
           {"Key", TS_VT_STR},
           {"FileName", TS_VT_STR},
           {"ImageMode", TS_VT_I4},
           {"Brightness", TS_VT_I4}}},
         {7,
          "PrintGraphic",
          TS_VT_I4,
          {{"PrinterName", TS_VT_STR},
           {"Key", TS_VT_STR},
           {"ScaleX", TS_VT_I4},
           {"ScaleY", TS_VT_I4}}},
         {8, "DeleteGraphic", TS_VT_I4, {{"PrinterName", TS_VT_STR}, {"Key", TS_VT_STR}}},
         {9, "GraphicKeys", TS_VT_STR, {{"PrinterName", TS_VT_STR}}},
         {10,
          "SetAutoLogo",
          TS_VT_I4,
          {{"PrinterName", TS_VT_STR},
           {"TopKey", TS_VT_STR},
           {"BottomKey", TS_VT_STR},
           {"Align", TS_VT_STR}}},
         {11, "AutoLogo", TS_VT_STR, {{"PrinterName", TS_VT_STR}}}});
    ExpectMembers(*FindInterface(lib, "_DTessalineEvents"),
                  {{1, "Progress", TS_VT_EMPTY, {{"Data", TS_VT_I4}}}});
}

TEST(TypeLibrary, NamesLeadToIdentifiersWhateverTheirCase) {
    const Control control;
    const std::vector<std::pair<const char*, int32_t>> known{{"BitmapInfo", 1}, {"bitmapinfo", 1},
                                                             {"PREVIEW", 2},    {"Print", 3},
                                                             {"uPlOaD", 4},     {"errortext", 5}};
    for (const auto& [name, id] : known) {
        int32_t dispid = -99;
        EXPECT_EQ(control->GetIDOfName(control.get(), name, &dispid), TS_S_OK) << name;
        EXPECT_EQ(dispid, id) << name;
    }
    for (const char* name : {"Progress", "Uploa", "Upload ", "", "NVImage"}) {
        int32_t dispid = -99;
        EXPECT_EQ(control->GetIDOfName(control.get(), name, &dispid), TS_DISP_E_UNKNOWNNAME)
            << name;
        EXPECT_EQ(dispid, -99);
    }
    EXPECT_EQ(control->GetIDOfName(control.get(), nullptr, nullptr), TS_E_POINTER);
}

// A GUID as Windows lays it out, for the header's brace initialisers.
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

std::string GuidText(const Guid& g) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1,
                  g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                  g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

// The header hosts are built against names what the built control answers
// to: its identifiers, its members by name, its ProgID.
TEST(TypeLibrary, AnswersToTheIdentifiersOfTheHostsHeader) {
    const Control control;
    const TsTypeLibInfo& lib = TypeLib(control);
    const TsInterfaceInfo* dispatch = FindInterface(lib, "_DTessaline");
    const TsInterfaceInfo* events = FindInterface(lib, "_DTessalineEvents");
    ASSERT_TRUE(dispatch != nullptr && events != nullptr && lib.classCount == 1);
    EXPECT_EQ(lib.majorVersion, TESSALINE_LIB_VERSION_MAJOR);
    EXPECT_EQ(lib.minorVersion, TESSALINE_LIB_VERSION_MINOR);
    EXPECT_EQ(std::to_string(lib.majorVersion) + "." + std::to_string(lib.minorVersion),
              TESSALINE_LIB_VERSION);

    struct Identifier {
        const char* built;
        const char* text;
        Guid guid;
    };
    const Identifier identifiers[] = {
        {lib.uuid, TESSALINE_LIBID, TESSALINE_LIBID_GUID},
        {dispatch->uuid, TESSALINE_DIID_DTESSALINE, TESSALINE_DIID_DTESSALINE_GUID},
        {events->uuid, TESSALINE_DIID_DTESSALINEEVENTS, TESSALINE_DIID_DTESSALINEEVENTS_GUID},
        {lib.classes[0].uuid, TESSALINE_CLSID, TESSALINE_CLSID_GUID},
        {test::kPropPageClsid, TESSALINE_PROPPAGE_CLSID, TESSALINE_PROPPAGE_CLSID_GUID},
    };
    for (const Identifier& id : identifiers) {
        EXPECT_STREQ(id.text, id.built);
        EXPECT_EQ(GuidText(id.guid), id.built);
    }

    struct Member {
        const TsInterfaceInfo* iface;
        const char* name;
        int32_t dispid;
    };
    const Member members[] = {
        {dispatch, "BitmapInfo", TESSALINE_DISPID_BITMAPINFO},
        {dispatch, "Preview", TESSALINE_DISPID_PREVIEW},
        {dispatch, "Print", TESSALINE_DISPID_PRINT},
        {dispatch, "Upload", TESSALINE_DISPID_UPLOAD},
        {dispatch, "ErrorText", TESSALINE_DISPID_ERRORTEXT},
        {dispatch, "StoreGraphic", TESSALINE_DISPID_STOREGRAPHIC},
        {dispatch, "PrintGraphic", TESSALINE_DISPID_PRINTGRAPHIC},
        {dispatch, "DeleteGraphic", TESSALINE_DISPID_DELETEGRAPHIC},
        {dispatch, "GraphicKeys", TESSALINE_DISPID_GRAPHICKEYS},
        {dispatch, "SetAutoLogo", TESSALINE_DISPID_SETAUTOLOGO},
        {dispatch, "AutoLogo", TESSALINE_DISPID_AUTOLOGO},
        {events, "Progress", TESSALINE_EVENTID_PROGRESS},
    };
    for (const Member& m : members) {
        const TsMemberInfo* described = nullptr;
        for (uint32_t i = 0; i < m.iface->memberCount; ++i) {
            if (std::string_view(m.iface->members[i].name) == m.name) {
                described = &m.iface->members[i];
            }
        }
        ASSERT_NE(described, nullptr) << m.name;
        EXPECT_EQ(described->dispid, m.dispid) << m.name;
        if (m.iface == dispatch) {
            int32_t dispid = -99;
            EXPECT_EQ(control->GetIDOfName(control.get(), m.name, &dispid), TS_S_OK) << m.name;
            EXPECT_EQ(dispid, m.dispid) << m.name;
        }
    }

    TsClassFactory* factory = nullptr;
    ASSERT_EQ(ControlLibrary::Get().GetClassObject(TESSALINE_PROGID, &factory), TS_S_OK);
    factory->vtbl->Release(factory);
}

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

TEST(ModuleData, CarriesVersionStringsAndA16ColourToolboxBitmap) {
    const TsModuleInfo* info = ControlLibrary::Get().GetModuleInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->abiVersion, static_cast<uint32_t>(TS_COMPONENT_ABI_VERSION));
    for (const uint16_t* version : {info->fileVersion, info->productVersion}) {
        EXPECT_EQ(std::vector<uint16_t>(version, version + 4), (std::vector<uint16_t>{1, 0, 0, 1}));
    }
    EXPECT_STREQ(info->fileDescription, "Tessaline ActiveX Control Module");
    EXPECT_STREQ(info->productName, "Tessaline ActiveX Control Module");
    EXPECT_EQ(info->selfRegistering, 1);

    std::map<int32_t, std::string> strings;
    for (uint32_t i = 0; i < info->stringCount; ++i) {
        strings[info->strings[i].id] = info->strings[i].text;
    }
    EXPECT_EQ(strings,
              (std::map<int32_t, std::string>{
                  {1, "Tessaline Control"}, {2, "Tessaline Property Page"}, {200, "General"}}));

    const uint8_t* bmp = info->toolboxBitmap;
    ASSERT_NE(bmp, nullptr);
    ASSERT_GE(info->toolboxBitmapSize, 54u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(Le32(bmp + 2), info->toolboxBitmapSize);
    EXPECT_EQ(Le32(bmp + 14), 40u);
    EXPECT_EQ(Le32(bmp + 18), 16u);
    EXPECT_EQ(Le32(bmp + 22), 15u);
    EXPECT_EQ(bmp[28], 4);          // bits per pixel
    EXPECT_EQ(Le32(bmp + 30), 0u);  // no compression
    EXPECT_EQ(Le32(bmp + 46), 16u); // colours used
    const uint32_t pixels = Le32(bmp + 10);
    EXPECT_EQ(pixels, 54u + 16 * 4);
    EXPECT_EQ(info->toolboxBitmapSize, pixels + 8 * 15); // 8-byte rows, 15 of them
    // The bottom-left pixel, which toolboxes treat as transparent, is silver.
    const uint8_t index = bmp[pixels] >> 4;
    const uint8_t* colour = bmp + 54 + 4 * index;
    EXPECT_EQ(std::vector<uint8_t>(colour, colour + 3), (std::vector<uint8_t>{192, 192, 192}));
}

TEST(ControlDescription, OffersThePropertiesVerbOnePageAndItsMiscStatus) {
    const Control control;
    const TsVerbInfo* verbs = nullptr;
    uint32_t verbCount = 0;
    ASSERT_EQ(control->GetVerbs(control.get(), &verbs, &verbCount), TS_S_OK);
    ASSERT_EQ(verbCount, 1u);
    EXPECT_EQ(verbs[0].verb, TS_VERB_PROPERTIES);
    EXPECT_STREQ(verbs[0].name, "&Properties...");

    const TsPropertyPageInfo* pages = nullptr;
    uint32_t pageCount = 0;
    ASSERT_EQ(control->GetPropertyPages(control.get(), &pages, &pageCount), TS_S_OK);
    ASSERT_EQ(pageCount, 1u);
    EXPECT_STREQ(pages[0].caption, "General");
    EXPECT_EQ(pages[0].dialogId, 200);
    EXPECT_EQ(pages[0].width, 250);
    EXPECT_EQ(pages[0].height, 62);
    EXPECT_STREQ(pages[0].fontName, "MS Sans Serif");
    EXPECT_EQ(pages[0].fontPointSize, 8);
    ASSERT_EQ(pages[0].textCount, 1u);
    const TsDialogText& text = pages[0].texts[0];
    EXPECT_EQ(std::vector<int32_t>({text.x, text.y, text.width, text.height}),
              (std::vector<int32_t>{7, 25, 229, 16}));
    EXPECT_STREQ(
        text.text,
        "TODO: Place controls to manipulate properties of Tessaline Control on this dialog.");

    uint32_t status = 0;
    ASSERT_EQ(control->GetMiscStatus(control.get(), &status), TS_S_OK);
    EXPECT_EQ(status, 131473u);
}

TEST(ControlLibraryExports, OnlyTheEntryPoints) {
    const ControlLibrary& lib = ControlLibrary::Get();
    EXPECT_NE(lib.GetClassObject, nullptr);
    EXPECT_NE(lib.CanUnloadNow, nullptr);
    EXPECT_NE(lib.RegisterServer, nullptr);
    EXPECT_NE(lib.UnregisterServer, nullptr);
    EXPECT_NE(lib.GetModuleInfo, nullptr);
    // Code linked in from the static libraries stays inside.
    for (const char* hidden :
         {"_ZN9tessaline18MakeControlSpoolerEv", "_ZN9tessaline17ComponentRegistry11DefaultFileEv",
          "_ZN9tessaline10CLogoImageC1Ev"}) {
        EXPECT_EQ(::dlsym(lib.handle, hidden), nullptr) << hidden;
    }
}

} // namespace
} // namespace tessaline
