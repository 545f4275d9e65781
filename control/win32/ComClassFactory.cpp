// SPDX-License-Identifier: MIT
#include "ComClassFactory.h"

#include "ComModule.h"

namespace tessaline::com {

ComClassFactory::ComClassFactory(CreateInstanceFunction create) : m_create(create) {
    // A host holding the class object can still create controls: it keeps
    // the library loaded like a live object.
    AddModuleReference();
}

ComClassFactory::~ComClassFactory() {
    ReleaseModuleReference();
}

HRESULT STDMETHODCALLTYPE ComClassFactory::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ComClassFactory::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_references));
}

ULONG STDMETHODCALLTYPE ComClassFactory::Release() {
    const LONG left = ::InterlockedDecrement(&m_references);
    if (left == 0) {
        delete this;
    }
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE ComClassFactory::CreateInstance(IUnknown* outer, REFIID iid,
                                                          void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return m_create(iid, object);
}

HRESULT STDMETHODCALLTYPE ComClassFactory::LockServer(BOOL lock) {
    if (lock) {
        AddModuleReference();
    } else {
        ReleaseModuleReference();
    }
    return S_OK;
}

} // namespace tessaline::com
