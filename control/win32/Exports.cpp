// SPDX-License-Identifier: MIT
// The library's entry points: the loader's, and the four COM exports
// (Tessaline.def exports those and nothing else).
#include "CTessalinePropPage.h"
#include "ComClassFactory.h"
#include "ComControl.h"
#include "ComIds.h"
#include "ComModule.h"
#include "ComRegistration.h"
#include "imaging/PathEncoding.h"
#include "platform/win32/AnsiText.h"
#include "platform/win32/ComOwners.h"

#include <new>

using namespace tessaline::com;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetModuleHandle(module);
        ::DisableThreadLibraryCalls(module);
        // The methods receive file names in the ANSI code page, and their
        // reasons go back to the host in it.
        tessaline::UsePathEncoding({&tessaline::win32::PathFromAnsi,
                                    &tessaline::win32::AnsiFromPath,
                                    &tessaline::win32::AnsiFromUtf8});
    }
    return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    CreateInstanceFunction create = nullptr;
    if (IsEqualCLSID(clsid, kControlClsid)) {
        create = &ComControl::Create;
    } else if (IsEqualCLSID(clsid, kPropPageClsid)) {
        create = &CTessalinePropPage::Create;
    } else {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    auto* factory = new (std::nothrow) ComClassFactory(create);
    if (factory == nullptr) {
        return E_OUTOFMEMORY;
    }
    return tessaline::win32::ComPtr<ComClassFactory>::Adopt(factory)->QueryInterface(iid, object);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return ModuleInUse() ? S_FALSE : S_OK;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    try {
        return RegisterTessaline();
    } catch (...) {
        // Out of memory: reported as the first step's failure, as the
        // control's other build does.
        return SELFREG_E_TYPELIB;
    }
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    try {
        return UnregisterTessaline();
    } catch (...) {
        return SELFREG_E_TYPELIB;
    }
}

} // extern "C"
