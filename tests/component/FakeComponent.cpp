// SPDX-License-Identifier: MIT
// A tiny component library for the host tests: one control class with two
// methods and one event, written against the C ABI alone.
//
//   1 Add(a I4, b I4, sum I4 by reference) -> I4: writes and returns a + b.
//   2 Echo(text STR, count I2) -> STR: raises Tick(1) .. Tick(count), then
//     returns the text `count` times. The text "box" asks the host site for a
//     message box instead and returns the button number as text.
//   event 1 Tick(n I4)
//
// Counters of live objects, connected sinks and unfreed strings are exported
// so the tests can see the host clean up after itself.
#include "platform/component/ComponentRegistry.h"
#include "tessaline/tessaline_component.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>

namespace {

constexpr const char* kClsid = "{5EA1F00D-0000-4000-8000-00000000FA4E}";
constexpr const char* kProgId = "TESSALINE.FakeCtrl.1";
constexpr const char* kLibid = "{5EA1F00D-0000-4000-8000-00000000FA4F}";

int g_liveObjects = 0;
int g_outstandingStrings = 0;
int g_sinks = 0;

struct FakeControl {
    TsControl base;
    uint32_t refs = 1;
    TsEventSink sinks[4] = {};
    bool used[4] = {};
    TsHostSite site{};
};

FakeControl* Self(TsControl* c) {
    return reinterpret_cast<FakeControl*>(c);
}

uint32_t AddRef(TsControl* c) {
    return ++Self(c)->refs;
}

uint32_t Release(TsControl* c) {
    FakeControl* self = Self(c);
    uint32_t left = --self->refs;
    if (left == 0) {
        delete self;
        --g_liveObjects;
    }
    return left;
}

TsResult GetIDOfName(TsControl*, const char* name, int32_t* dispid) {
    if (!name || !dispid) {
        return TS_E_POINTER;
    }
    if (strcasecmp(name, "Add") == 0) {
        *dispid = 1;
    } else if (strcasecmp(name, "Echo") == 0) {
        *dispid = 2;
    } else {
        return TS_DISP_E_UNKNOWNNAME;
    }
    return TS_S_OK;
}

bool ReadI4(const TsVariant& v, int32_t& out) {
    if (v.vt == TS_VT_I4) {
        out = v.u.i4;
    } else if (v.vt == (TS_VT_I4 | TS_VT_BYREF) && v.u.pi4) {
        out = *v.u.pi4;
    } else {
        return false;
    }
    return true;
}

bool ReadI2(const TsVariant& v, int16_t& out) {
    if (v.vt == TS_VT_I2) {
        out = v.u.i2;
    } else if (v.vt == (TS_VT_I2 | TS_VT_BYREF) && v.u.pi2) {
        out = *v.u.pi2;
    } else {
        return false;
    }
    return true;
}

bool ReadStr(const TsVariant& v, const char*& out) {
    if (v.vt == TS_VT_STR) {
        out = v.u.str;
    } else if (v.vt == (TS_VT_STR | TS_VT_BYREF) && v.u.pstr) {
        out = *v.u.pstr;
    } else {
        return false;
    }
    return out != nullptr;
}

char* NewString(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    ++g_outstandingStrings;
    return copy;
}

void Raise(FakeControl* self, int32_t dispid, int32_t value) {
    TsVariant arg{};
    arg.vt = TS_VT_I4;
    arg.u.i4 = value;
    for (int i = 0; i < 4; ++i) {
        if (self->used[i]) {
            TsEventSink sink = self->sinks[i]; // a handler may unadvise itself
            sink.Invoke(sink.context, dispid, &arg, 1);
        }
    }
}

TsResult Invoke(TsControl* c, int32_t dispid, TsVariant* args, uint32_t argc, TsVariant* result) {
    FakeControl* self = Self(c);
    if (argc > 0 && !args) {
        return TS_E_POINTER;
    }
    if (dispid == 1) {
        if (argc != 3) {
            return TS_DISP_E_BADPARAMCOUNT;
        }
        int32_t a = 0;
        int32_t b = 0;
        if (!ReadI4(args[0], a) || !ReadI4(args[1], b) || args[2].vt != (TS_VT_I4 | TS_VT_BYREF) ||
            !args[2].u.pi4) {
            return TS_DISP_E_TYPEMISMATCH;
        }
        *args[2].u.pi4 = a + b;
        if (result) {
            result->vt = TS_VT_I4;
            result->u.i4 = a + b;
        }
        return TS_S_OK;
    }
    if (dispid == 2) {
        if (argc != 2) {
            return TS_DISP_E_BADPARAMCOUNT;
        }
        const char* text = nullptr;
        int16_t count = 0;
        if (!ReadStr(args[0], text) || !ReadI2(args[1], count)) {
            return TS_DISP_E_TYPEMISMATCH;
        }
        std::string out;
        if (std::strcmp(text, "box") == 0) {
            int32_t button = -1;
            if (self->site.MessageBox) {
                button = self->site.MessageBox(self->site.context, "Fake message", "Fake",
                                               TS_MB_OK | TS_MB_ICONEXCLAMATION);
            }
            out = std::to_string(button);
        } else {
            for (int16_t i = 1; i <= count; ++i) {
                Raise(self, 1, i);
                out += text;
            }
        }
        if (result) {
            result->vt = TS_VT_STR;
            result->u.str = NewString(out);
        }
        return TS_S_OK;
    }
    return TS_DISP_E_MEMBERNOTFOUND;
}

void FreeString(TsControl*, char* text) {
    if (text) {
        --g_outstandingStrings;
        std::free(text);
    }
}

TsResult Advise(TsControl* c, const TsEventSink* sink, uint32_t* cookie) {
    FakeControl* self = Self(c);
    if (!sink || !cookie || !sink->Invoke) {
        return TS_E_POINTER;
    }
    for (uint32_t i = 0; i < 4; ++i) {
        if (!self->used[i]) {
            self->used[i] = true;
            self->sinks[i] = *sink;
            *cookie = i + 1;
            ++g_sinks;
            return TS_S_OK;
        }
    }
    return TS_E_OUTOFMEMORY;
}

TsResult Unadvise(TsControl* c, uint32_t cookie) {
    FakeControl* self = Self(c);
    if (cookie == 0 || cookie > 4 || !self->used[cookie - 1]) {
        return TS_CONNECT_E_NOCONNECTION;
    }
    self->used[cookie - 1] = false;
    --g_sinks;
    return TS_S_OK;
}

TsResult SetHostSite(TsControl* c, const TsHostSite* site) {
    Self(c)->site = site ? *site : TsHostSite{};
    return TS_S_OK;
}

const TsParamInfo kAddParams[] = {
    {"a", TS_VT_I4}, {"b", TS_VT_I4}, {"sum", TS_VT_I4 | TS_VT_BYREF}};
const TsParamInfo kEchoParams[] = {{"text", TS_VT_STR}, {"count", TS_VT_I2}};
const TsParamInfo kTickParams[] = {{"n", TS_VT_I4}};
const TsMemberInfo kMethods[] = {{1, "Add", TS_VT_I4, 3, kAddParams},
                                 {2, "Echo", TS_VT_STR, 2, kEchoParams}};
const TsMemberInfo kEvents[] = {{1, "Tick", TS_VT_EMPTY, 1, kTickParams}};
const TsInterfaceInfo kInterfaces[] = {{"_DFake", "{5EA1F00D-0000-4000-8000-00000000FA50}",
                                        "Fake methods", TS_TYPE_DISPATCH, 2, kMethods},
                                       {"_DFakeEvents", "{5EA1F00D-0000-4000-8000-00000000FA51}",
                                        "Fake events", TS_TYPE_DISPATCH | TS_TYPE_SOURCE, 1,
                                        kEvents}};
const TsClassInfo kClasses[] = {{"Fake", kClsid, "Fake Control",
                                 TS_CLASS_CONTROL | TS_CLASS_CREATABLE, "_DFake", "_DFakeEvents"}};
const TsTypeLibInfo kTypeLib = {"FAKELib",  kLibid, 1,           0, "Fake module",
                                "Fake.hlp", 2,      kInterfaces, 1, kClasses};

TsResult GetTypeLib(TsControl*, const TsTypeLibInfo** info) {
    if (!info) {
        return TS_E_POINTER;
    }
    *info = &kTypeLib;
    return TS_S_OK;
}

TsResult Draw(TsControl*, const TsSurface* surface, TsRect bounds) {
    if (!surface || !surface->FillRect || !surface->DrawText) {
        return TS_E_POINTER;
    }
    surface->FillRect(surface->context, bounds, TS_RGB(192, 192, 192));
    surface->DrawText(surface->context, bounds.left + 2, bounds.top + 2, "Fake", TS_RGB(0, 0, 0),
                      TS_RGB(192, 192, 192));
    return TS_S_OK;
}

const TsVerbInfo kVerbs[] = {{TS_VERB_PROPERTIES, "&Properties..."}};

TsResult GetVerbs(TsControl*, const TsVerbInfo** verbs, uint32_t* count) {
    *verbs = kVerbs;
    *count = 1;
    return TS_S_OK;
}

const TsDialogText kTexts[] = {{7, 25, 229, 16, "Nothing to set."}};
const TsPropertyPageInfo kPages[] = {{"General", 200, 250, 62, "Sans", 8, 1, kTexts}};

TsResult GetPropertyPages(TsControl*, const TsPropertyPageInfo** pages, uint32_t* count) {
    *pages = kPages;
    *count = 1;
    return TS_S_OK;
}

TsResult GetMiscStatus(TsControl*, uint32_t* status) {
    *status = 131473;
    return TS_S_OK;
}

const TsControlVtbl kControlVtbl = {
    AddRef,      Release,    GetIDOfName, Invoke,   FreeString,       Advise,       Unadvise,
    SetHostSite, GetTypeLib, Draw,        GetVerbs, GetPropertyPages, GetMiscStatus};

uint32_t FactoryAddRef(TsClassFactory*) {
    return 2;
}
uint32_t FactoryRelease(TsClassFactory*) {
    return 1;
}

TsResult CreateInstance(TsClassFactory*, TsControl** control) {
    if (!control) {
        return TS_E_POINTER;
    }
    auto* self = new FakeControl{};
    self->base.vtbl = &kControlVtbl;
    ++g_liveObjects;
    *control = &self->base;
    return TS_S_OK;
}

TsResult LockServer(TsClassFactory*, int32_t) {
    return TS_S_OK;
}

const TsClassFactoryVtbl kFactoryVtbl = {FactoryAddRef, FactoryRelease, CreateInstance, LockServer};
TsClassFactory g_factory = {&kFactoryVtbl};

#ifndef FAKE_ABI_VERSION
#define FAKE_ABI_VERSION TS_COMPONENT_ABI_VERSION
#endif

const TsModuleInfo kModule = {
    FAKE_ABI_VERSION, {1, 0, 0, 1}, {1, 0, 0, 1}, "Fake Module", "Fake", 1, 0, nullptr, nullptr, 0};

std::string OwnPath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&CreateInstance), &info) == 0 || !info.dli_fname) {
        return {};
    }
    return info.dli_fname;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) TsResult DllGetClassObject(const char* clsid,
                                                                  TsClassFactory** factory) {
    if (!clsid || !factory) {
        return TS_E_POINTER;
    }
    if (strcasecmp(clsid, kClsid) != 0 && std::strcmp(clsid, kProgId) != 0) {
        return TS_CLASS_E_CLASSNOTAVAILABLE;
    }
    *factory = &g_factory;
    return TS_S_OK;
}

__attribute__((visibility("default"))) TsResult DllCanUnloadNow(void) {
    return g_liveObjects == 0 ? TS_S_OK : TS_S_FALSE;
}

__attribute__((visibility("default"))) TsResult DllRegisterServer(void) {
    tessaline::ComponentRegistry registry;
    tessaline::TypeLibRegistration lib{kLibid,        "FAKELib",  "1.0",
                                       "Fake module", "Fake.hlp", OwnPath()};
    if (!registry.RegisterTypeLib(lib)) {
        return TS_SELFREG_E_TYPELIB;
    }
    tessaline::ClassRegistration cls;
    cls.clsid = kClsid;
    cls.progId = kProgId;
    cls.userTypeName = "Fake Control";
    cls.libraryPath = OwnPath();
    cls.control = true;
    cls.toolboxBitmap = 1;
    cls.miscStatus = 131473;
    cls.typeLibId = kLibid;
    cls.typeLibVersion = "1.0";
    return registry.RegisterClass(cls) ? TS_S_OK : TS_SELFREG_E_CLASS;
}

__attribute__((visibility("default"))) TsResult DllUnregisterServer(void) {
    tessaline::ComponentRegistry registry;
    if (!registry.UnregisterTypeLib(kLibid, "1.0")) {
        return TS_SELFREG_E_TYPELIB;
    }
    return registry.UnregisterClass(kClsid) ? TS_S_OK : TS_SELFREG_E_CLASS;
}

__attribute__((visibility("default"))) const TsModuleInfo* DllGetModuleInfo(void) {
    return &kModule;
}

__attribute__((visibility("default"))) int FakeLiveObjects(void) {
    return g_liveObjects;
}
__attribute__((visibility("default"))) int FakeOutstandingStrings(void) {
    return g_outstandingStrings;
}
__attribute__((visibility("default"))) int FakeSinks(void) {
    return g_sinks;
}

} // extern "C"
