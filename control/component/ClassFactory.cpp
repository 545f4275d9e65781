// SPDX-License-Identifier: MIT
#include "ClassFactory.h"

#include "Boundary.h"
#include "ControlObject.h"
#include "ModuleState.h"
#include "TessalineIds.h"

#include <string_view>

namespace tessaline {

namespace {

bool SameIdentifier(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// References to the class object keep the library loaded like live objects,
// so a host holding one can still create controls.
uint32_t FactoryAddRef(TsClassFactory*) {
    ModuleObjectCreated();
    return 2;
}

uint32_t FactoryRelease(TsClassFactory*) {
    ModuleObjectDestroyed();
    return 1;
}

TsResult CreateInstance(TsClassFactory*, TsControl** control) {
    return CreateControlObject(control);
}

TsResult LockServer(TsClassFactory*, int32_t lock) {
    ModuleLock(lock != 0);
    return TS_S_OK;
}

constexpr TsClassFactoryVtbl kFactoryVtbl{FactoryAddRef, FactoryRelease, CreateInstance,
                                          LockServer};
constinit TsClassFactory g_factory{&kFactoryVtbl};

} // namespace

TsResult GetTessalineClassObject(const char* name, TsClassFactory** factory) {
    if (factory == nullptr) {
        return TS_E_POINTER;
    }
    *factory = nullptr;
    if (name == nullptr) {
        return TS_E_POINTER;
    }
    if (!SameIdentifier(name, kTessalineClsid) && std::string_view(name) != kTessalineProgId) {
        return TS_CLASS_E_CLASSNOTAVAILABLE;
    }
    FactoryAddRef(&g_factory);
    *factory = &g_factory;
    return TS_S_OK;
}

} // namespace tessaline
