// SPDX-License-Identifier: MIT
#pragma once

#include "platform/component/ControlHost.h"
#include "platform/win32/ComObject.h"

#include <oaidl.h>

namespace tessaline::win32 {

// A host's sink for a control's events: answers the control's event
// interface (and IDispatch) and hands every event to the host's handler with
// its arguments as the component ABI gives them, in declaration order.
class ComEventSink final : public ComObject<ComEventSink, IDispatch> {
public:
    ComEventSink(const IID& events, ControlHost::EventHandler handler);

    // Events arriving after this reach nobody.
    void Detach() { m_handler = nullptr; }

    // The control's event interface, beside IDispatch.
    void* QueryOther(REFIID iid);
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* dispids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

private:
    ~ComEventSink() override = default;

    IID m_events;
    ControlHost::EventHandler m_handler;
};

} // namespace tessaline::win32
