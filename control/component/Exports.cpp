// SPDX-License-Identifier: MIT
// The library's entry points: the only symbols it exports.

#include "Boundary.h"
#include "ClassFactory.h"
#include "ModuleData.h"
#include "ModuleState.h"
#include "Registration.h"
#include "tessaline/tessaline_component.h"

#define TESSALINE_EXPORT extern "C" __attribute__((visibility("default")))

TESSALINE_EXPORT TsResult DllGetClassObject(const char* clsid, TsClassFactory** factory) {
    return tessaline::AtBoundary(
        [&] { return tessaline::GetTessalineClassObject(clsid, factory); });
}

TESSALINE_EXPORT TsResult DllCanUnloadNow(void) {
    return tessaline::ModuleInUse() ? TS_S_FALSE : TS_S_OK;
}

TESSALINE_EXPORT TsResult DllRegisterServer(void) {
    const TsResult result = tessaline::AtBoundary([] {
        tessaline::ComponentRegistry registry;
        return tessaline::RegisterTessaline(registry, tessaline::ThisLibraryPath());
    });
    // Whatever failed before the type library was recorded counts as its failure.
    return result == TS_E_FAIL || result == TS_E_OUTOFMEMORY ? TS_SELFREG_E_TYPELIB : result;
}

TESSALINE_EXPORT TsResult DllUnregisterServer(void) {
    const TsResult result = tessaline::AtBoundary([] {
        tessaline::ComponentRegistry registry;
        return tessaline::UnregisterTessaline(registry);
    });
    return result == TS_E_FAIL || result == TS_E_OUTOFMEMORY ? TS_SELFREG_E_TYPELIB : result;
}

TESSALINE_EXPORT const TsModuleInfo* DllGetModuleInfo(void) {
    return &tessaline::TessalineModuleInfo();
}
