// SPDX-License-Identifier: MIT
#include "ComClassFactory.h"

#include "ComModule.h"

namespace tessaline::com {

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
