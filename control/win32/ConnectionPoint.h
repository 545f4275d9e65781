// SPDX-License-Identifier: MIT
#pragma once

#include <ocidl.h>
#include <utility>
#include <vector>

namespace tessaline::com {

// The control's connection point for one outgoing dispatch interface. It
// lives inside its container and shares the container's reference count.
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer& container, REFIID eventIid);
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
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
    std::vector<std::pair<DWORD, IDispatch*>> m_sinks;
    DWORD m_nextCookie = 1;
};

// IEnumConnectionPoints over one connection point, for EnumConnectionPoints.
HRESULT CreateConnectionPointEnumerator(IConnectionPoint* point, IEnumConnectionPoints** out);

} // namespace tessaline::com
