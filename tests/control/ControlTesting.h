// SPDX-License-Identifier: MIT
#pragma once

// Test support for the control library: it is loaded as a host loads it, at
// run time, and everything it writes goes to temporary folders.

#include "platform/component/Variants.h"
#include "tessaline/tessaline_component.h"
#include "tests/support/TempHome.h"

#include <cstdint>
#include <dlfcn.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tessaline::test {

// The library's five entry points, from one load that lasts the whole run.
struct ControlLibrary {
    void* handle = nullptr;
    TsDllGetClassObjectFn GetClassObject = nullptr;
    TsDllCanUnloadNowFn CanUnloadNow = nullptr;
    TsDllRegisterServerFn RegisterServer = nullptr;
    TsDllUnregisterServerFn UnregisterServer = nullptr;
    TsDllGetModuleInfoFn GetModuleInfo = nullptr;

    static const ControlLibrary& Get() {
        static const ControlLibrary library = Load();
        return library;
    }

private:
    template <typename Fn> static Fn Symbol(void* handle, const char* name) {
        return reinterpret_cast<Fn>(::dlsym(handle, name));
    }
    static ControlLibrary Load() {
        ControlLibrary lib;
        lib.handle = ::dlopen(TESSALINE_CONTROL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (lib.handle == nullptr) {
            ADD_FAILURE() << ::dlerror();
            return lib;
        }
        lib.GetClassObject = Symbol<TsDllGetClassObjectFn>(lib.handle, "DllGetClassObject");
        lib.CanUnloadNow = Symbol<TsDllCanUnloadNowFn>(lib.handle, "DllCanUnloadNow");
        lib.RegisterServer = Symbol<TsDllRegisterServerFn>(lib.handle, "DllRegisterServer");
        lib.UnregisterServer = Symbol<TsDllUnregisterServerFn>(lib.handle, "DllUnregisterServer");
        lib.GetModuleInfo = Symbol<TsDllGetModuleInfoFn>(lib.handle, "DllGetModuleInfo");
        return lib;
    }
};

inline constexpr const char* kControlClsid = "{D20B7BA2-F718-4DA7-8DE3-7A07C0B383A5}";
inline constexpr const char* kPropPageClsid = "{A3E45346-70C8-4900-8193-B86FFF51784A}";
inline constexpr const char* kTypeLibId = "{C55950F9-B8E7-4BEA-B316-2A86074C54F8}";

// Fresh XDG config and data homes and a fresh current folder for one test,
// and a CUPS server that is not there, so only virtual printers are installed.
struct TempHomes : TempHome {
    TempHomes() : TempHome({.workFolder = true, .withoutCups = true}) {}
};

// One control instance, released at the end of its scope.
class Control {
public:
    Control() {
        const ControlLibrary& lib = ControlLibrary::Get();
        TsClassFactory* factory = nullptr;
        if (lib.GetClassObject == nullptr ||
            lib.GetClassObject(kControlClsid, &factory) != TS_S_OK) {
            ADD_FAILURE() << "no class object";
            return;
        }
        if (factory->vtbl->CreateInstance(factory, &m_control) != TS_S_OK) {
            ADD_FAILURE() << "CreateInstance failed";
        }
        factory->vtbl->Release(factory);
    }
    ~Control() {
        if (m_control != nullptr) {
            m_control->vtbl->Release(m_control);
        }
    }
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    TsControl* get() const { return m_control; }
    const TsControlVtbl& operator*() const { return *m_control->vtbl; }
    const TsControlVtbl* operator->() const { return m_control->vtbl; }

    TsResult Invoke(int32_t dispid, std::vector<TsVariant> args, TsVariant* result) const {
        return m_control->vtbl->Invoke(m_control, dispid, args.data(),
                                       static_cast<uint32_t>(args.size()), result);
    }
    // A method with a 32-bit result; INT32_MIN when the call itself failed.
    int32_t InvokeI4(int32_t dispid, std::vector<TsVariant> args) const {
        TsVariant result{};
        if (Invoke(dispid, std::move(args), &result) != TS_S_OK || result.vt != TS_VT_I4) {
            return INT32_MIN;
        }
        return result.u.i4;
    }
    // ErrorText (dispatch identifier 5); "<call failed>" when the call itself failed.
    std::string ErrorText() const {
        TsVariant result{};
        if (Invoke(5, {}, &result) != TS_S_OK || result.vt != TS_VT_STR) {
            return "<call failed>";
        }
        std::string text = result.u.str;
        m_control->vtbl->FreeString(m_control, const_cast<char*>(result.u.str));
        return text;
    }

private:
    TsControl* m_control = nullptr;
};

inline TsVariant I4(int32_t v) {
    return MakeI4(v);
}
inline TsVariant I2(int16_t v) {
    return MakeI2(v);
}
inline TsVariant Str(const char* v) {
    return MakeStr(v);
}
inline TsVariant RefI4(int32_t* v) {
    return MakeI4Ref(v);
}
inline TsVariant RefI2(int16_t* v) {
    TsVariant var{};
    var.vt = TS_VT_I2 | TS_VT_BYREF;
    var.u.pi2 = v;
    return var;
}
inline TsVariant RefStr(const char** v) {
    TsVariant var{};
    var.vt = TS_VT_STR | TS_VT_BYREF;
    var.u.pstr = v;
    return var;
}

// An event sink that hands every event to a function.
struct Sink {
    std::function<void(int32_t dispid, const TsVariant* args, uint32_t argc)> onEvent;

    TsEventSink Abi() {
        return TsEventSink{this,
                           [](void* context, int32_t dispid, const TsVariant* args, uint32_t argc) {
                               static_cast<Sink*>(context)->onEvent(dispid, args, argc);
                           }};
    }
};

} // namespace tessaline::test
