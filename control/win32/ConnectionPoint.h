// SPDX-License-Identifier: MIT
#pragma once

#include "platform/win32/ComObject.h"
#include "platform/win32/ComOwners.h"

#include <ocidl.h>
#include <utility>
#include <vector>

namespace tessaline::com {

// The control's connection point for one outgoing dispatch interface. It
// lives inside its container and shares the container's reference count.
class ConnectionPoint final : public win32::ComPart<IConnectionPoint> {
public:
    ConnectionPoint(IConnectionPointContainer& container, REFIID eventIid);
    ~ConnectionPoint();
    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

    // Calls `dispid` with `params` on every connected sink, in the order they
    // connected. A sink that disconnects from inside its handler is still
    // safe: each call holds its own reference.
    void Fire(DISPID dispid, DISPPARAMS& params);

    // Drops every sink (the control is going away).
    void DisconnectAll();

private:
    IConnectionPointContainer& m_container;
    IID m_eventIid;
    std::vector<std::pair<DWORD, win32::ComPtr<IDispatch>>> m_sinks;
    DWORD m_nextCookie = 1;
};

// IEnumConnectionPoints over one connection point, for EnumConnectionPoints.
HRESULT CreateConnectionPointEnumerator(IConnectionPoint* point, IEnumConnectionPoints** out);

} // namespace tessaline::com
