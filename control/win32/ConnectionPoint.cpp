// SPDX-License-Identifier: MIT
#include "ConnectionPoint.h"

#include "ComModule.h"

#include <new>
#include <olectl.h>

namespace tessaline::com {

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& container, REFIID eventIid)
    : m_container(container), m_eventIid(eventIid) {}

ConnectionPoint::~ConnectionPoint() {
    DisconnectAll();
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ConnectionPoint::AddRef() {
    return m_container.AddRef();
}

ULONG STDMETHODCALLTYPE ConnectionPoint::Release() {
    return m_container.Release();
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
    IDispatch* dispatch = nullptr;
    // Sinks built from the type library answer the event interface; plain
    // scripting sinks only IDispatch. Both receive the events by Invoke.
    if (FAILED(sink->QueryInterface(m_eventIid, reinterpret_cast<void**>(&dispatch))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    try {
        m_sinks.emplace_back(m_nextCookie, dispatch);
    } catch (const std::bad_alloc&) {
        dispatch->Release();
        return E_OUTOFMEMORY;
    }
    *cookie = m_nextCookie++;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
        if (it->first == cookie) {
            IDispatch* sink = it->second;
            m_sinks.erase(it);
            sink->Release();
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
    std::vector<IDispatch*> sinks;
    sinks.reserve(m_sinks.size());
    for (const auto& [cookie, sink] : m_sinks) {
        sink->AddRef();
        sinks.push_back(sink);
    }
    for (IDispatch* sink : sinks) {
        sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                     nullptr, nullptr);
        sink->Release();
    }
}

void ConnectionPoint::DisconnectAll() {
    auto sinks = std::move(m_sinks);
    m_sinks.clear();
    for (const auto& [cookie, sink] : sinks) {
        sink->Release();
    }
}

namespace {

class ConnectionPointEnumerator final : public IEnumConnectionPoints {
public:
    ConnectionPointEnumerator(IConnectionPoint* point, ULONG position)
        : m_point(point), m_position(position) {
        m_point->AddRef();
        AddModuleReference();
    }
    ConnectionPointEnumerator(const ConnectionPointEnumerator&) = delete;
    ConnectionPointEnumerator& operator=(const ConnectionPointEnumerator&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumConnectionPoints)) {
            *object = static_cast<IEnumConnectionPoints*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(::InterlockedIncrement(&m_references));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&m_references);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points,
                                   ULONG* fetched) override {
        if (points == nullptr || (count > 1 && fetched == nullptr)) {
            return E_POINTER;
        }
        ULONG given = 0;
        if (count > 0 && m_position == 0) {
            points[0] = m_point;
            m_point->AddRef();
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
        *out = new (std::nothrow) ConnectionPointEnumerator(m_point, m_position);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~ConnectionPointEnumerator() {
        m_point->Release();
        ReleaseModuleReference();
    }

    LONG m_references = 1;
    IConnectionPoint* m_point;
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
