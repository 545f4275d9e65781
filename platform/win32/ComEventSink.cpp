// SPDX-License-Identifier: MIT
#include "platform/win32/ComEventSink.h"

#include "platform/win32/ComOwners.h"

#include <cstdio>
#include <exception>
#include <vector>

namespace tessaline::win32 {

namespace {

// An event argument as the component ABI carries it; types it has no word
// for arrive empty.
TsVariant FromVariant(const VARIANT& v) {
    TsVariant out{};
    switch (v.vt) {
    case VT_I4:
        out.vt = TS_VT_I4;
        out.u.i4 = static_cast<int32_t>(v.lVal);
        break;
    case VT_I2:
        out.vt = TS_VT_I2;
        out.u.i2 = v.iVal;
        break;
    case VT_BYREF | VT_I4:
        if (v.plVal != nullptr) {
            out.vt = TS_VT_I4;
            out.u.i4 = static_cast<int32_t>(*v.plVal);
        }
        break;
    default:
        break;
    }
    return out;
}

} // namespace

ComEventSink::ComEventSink(const IID& events, ControlHost::EventHandler handler)
    : m_events(events), m_handler(std::move(handler)) {}

void* ComEventSink::QueryOther(REFIID iid) {
    return IsEqualIID(iid, m_events) ? static_cast<IDispatch*>(this) : nullptr;
}

HRESULT STDMETHODCALLTYPE ComEventSink::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComEventSink::Invoke(DISPID dispid, REFIID, LCID, WORD,
                                               DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    if (!m_handler) {
        return S_OK; // events nobody handles are simply not handled
    }
    std::vector<TsVariant> args;
    if (params != nullptr && params->rgvarg != nullptr) {
        // rgvarg holds the arguments last to first.
        for (UINT i = params->cArgs; i > 0; --i) {
            args.push_back(FromVariant(params->rgvarg[i - 1]));
        }
    }
    // A handler of the host holds the sink alive while it runs.
    const ComPtr<IDispatch> alive(this);
    try {
        m_handler(dispid, args);
    } catch (const std::exception& e) {
        // The control is COM; an exception must end here.
        std::fprintf(stderr, "tessaline: event handler failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "tessaline: event handler failed\n");
    }
    return S_OK;
}

} // namespace tessaline::win32
