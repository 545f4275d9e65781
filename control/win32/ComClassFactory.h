// SPDX-License-Identifier: MIT
#pragma once

#include "ComModule.h"
#include "platform/win32/ComObject.h"

#include <objbase.h>

namespace tessaline::com {

// Creates a new object and hands out the interface asked for.
using CreateInstanceFunction = HRESULT (*)(REFIID iid, void** object);

// The class object of one class of the library. Aggregation is refused.
class ComClassFactory final : public win32::ComObject<ComClassFactory, IClassFactory> {
public:
    explicit ComClassFactory(CreateInstanceFunction create) : m_create(create) {}

    // IClassFactory
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    // A host holding the class object can still create controls: it keeps
    // the library loaded like a live object.
    ModuleReference m_moduleReference;
    CreateInstanceFunction m_create;
};

} // namespace tessaline::com
