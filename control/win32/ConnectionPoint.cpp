// SPDX-License-Identifier: MIT
#include "ConnectionPoint.h"

#include "ComModule.h"

#include <new>
#include <olectl.h>

namespace tessaline::com {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& container, REFIID eventIid)
    : ComPart(container), m_container(container), m_eventIid(eventIid) {}

ConnectionPoint::~ConnectionPoint() {
    DisconnectAll();
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (iid == nullptr) {
        return E_POINTER;
    }
    *iid = m_eventIid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE
ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (container == nullptr) {
        return E_POINTER;
    }
    *container = &m_container;
    m_container.AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (cookie == nullptr) {
        return E_POINTER;
    }
    *cookie = 0;
    if (sink == nullptr) {
        return E_POINTER;
    }
    // Sinks built from the type library answer the event interface; plain
    // scripting sinks only IDispatch. Both receive the events by Invoke.
    const win32::ComPtr<IUnknown> given(sink);
    auto dispatch = given.query<IDispatch>(m_eventIid);
    if (!dispatch) {
        dispatch = given.query<IDispatch>();
    }
    if (!dispatch) {
        return CONNECT_E_CANNOTCONNECT;
    }
    try {
        m_sinks.emplace_back(m_nextCookie, std::move(dispatch));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    *cookie = m_nextCookie++;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->first == cookie) {
            // The sink goes after the list no longer holds it.
            const auto sink = std::move(it->second);
            m_sinks.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::EnumConnections(IEnumConnections** connections) {
    if (connections == nullptr) {
        return E_POINTER;
    }
    *connections = nullptr;
    return E_NOTIMPL;
}

void ConnectionPoint::Fire(DISPID dispid, DISPPARAMS& params) {
    // A handler may connect or disconnect sinks: call a snapshot.
    std::vector<win32::ComPtr<IDispatch>> sinks;
    sinks.reserve(m_sinks.size());
    for (const auto& [cookie, sink] : m_sinks) {
        sinks.push_back(sink);
    }
    for (const auto& sink : sinks) {
        sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                     nullptr, nullptr);
    }
}

void ConnectionPoint::DisconnectAll() {
    // The sinks go after the list no longer holds them.
    const auto sinks = std::move(m_sinks);
    m_sinks.clear();
}

namespace {

class ConnectionPointEnumerator final
    : public win32::ComObject<ConnectionPointEnumerator, IEnumConnectionPoints> {
public:
    ConnectionPointEnumerator(IConnectionPoint* point, ULONG position)
        : m_point(point), m_position(position) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points,
                                   ULONG* fetched) override {
        if (points == nullptr || (count > 1 && fetched == nullptr)) {
            return E_POINTER;
        }
        ULONG given = 0;
        if (count > 0 && m_position == 0) {
            m_point.copy_to(&points[0]);
            m_position = 1;
            given = 1;
        }
        if (fetched != nullptr) {
            *fetched = given;
        }
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        if (count == 0) {
            return S_OK;
        }
        const bool hadOne = m_position == 0;
        m_position = 1;
        return hadOne && count == 1 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        m_position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = new (std::nothrow) ConnectionPointEnumerator(m_point.get(), m_position);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    ModuleReference m_moduleReference;
    win32::ComPtr<IConnectionPoint> m_point;
    ULONG m_position;
};

} // namespace

HRESULT CreateConnectionPointEnumerator(IConnectionPoint* point, IEnumConnectionPoints** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = new (std::nothrow) ConnectionPointEnumerator(point, 0);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

} // namespace tessaline::com
