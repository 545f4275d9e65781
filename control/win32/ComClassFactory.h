// SPDX-License-Identifier: MIT
#pragma once

#include <objbase.h>

namespace tessaline::com {

// Creates a new object and hands out the interface asked for.
using CreateInstanceFunction = HRESULT (*)(REFIID iid, void** object);

// The class object of one class of the library. Aggregation is refused.
class ComClassFactory final : public IClassFactory {
public:
    explicit ComClassFactory(CreateInstanceFunction create);
    ComClassFactory(const ComClassFactory&) = delete;
    ComClassFactory& operator=(const ComClassFactory&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IClassFactory
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    ~ComClassFactory();

    LONG m_references = 1;
    CreateInstanceFunction m_create;
};

} // namespace tessaline::com
