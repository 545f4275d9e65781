// SPDX-License-Identifier: MIT
#include "ControlSite.h"

#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <ocidl.h>

namespace tessaline::win32 {

namespace {

std::string HresultText(HRESULT hr) {
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
    return SystemErrorMessage(static_cast<DWORD>(hr)) + " (" + code + ")";
}

} // namespace

ControlSite::~ControlSite() {
    Close();
}

bool ControlSite::CreateControl(const wchar_t* progId, std::string& error) {
    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) {
        error = "The Tessaline control " + Narrow(progId) +
                " is not registered. Register it with: regsvr32 Tessaline.ocx";
        return false;
    }
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                            reinterpret_cast<void**>(&m_object));
    if (FAILED(hr)) {
        error = "The Tessaline control cannot be created: " + HresultText(hr);
        return false;
    }
    // The control asks for its site before it is given its state.
    m_object->SetClientSite(this);
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(
            m_object->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
        persist->InitNew();
        persist->Release();
    }
    hr = m_object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&m_dispatch));
    if (FAILED(hr)) {
        error = "The Tessaline control has no dispatch interface: " + HresultText(hr);
        Close();
        return false;
    }
    RECT position{};
    ::GetClientRect(m_window, &position);
    hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_window, &position);
    if (FAILED(hr)) {
        // The methods still answer; the control only does not show.
        ::OutputDebugStringA(("Tessaline: in-place activation failed: " + HresultText(hr)).c_str());
    }
    return true;
}

void ControlSite::Close() {
    if (m_object != nullptr) {
        IOleInPlaceObject* inPlace = nullptr;
        if (m_inPlace && SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject,
                                                            reinterpret_cast<void**>(&inPlace)))) {
            inPlace->InPlaceDeactivate();
            inPlace->Release();
        }
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
    }
    if (m_dispatch != nullptr) {
        m_dispatch->Release();
        m_dispatch = nullptr;
    }
    if (m_object != nullptr) {
        m_object->Release();
        m_object = nullptr;
    }
}

HRESULT STDMETHODCALLTYPE ControlSite::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
        *object = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
        *object = static_cast<IOleInPlaceSite*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr) {
        *moniker = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ControlSite::GetContainer(IOleContainer** container) {
    if (container != nullptr) {
        *container = nullptr;
    }
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE ControlSite::GetWindow(HWND* window) {
    if (window == nullptr) {
        return E_POINTER;
    }
    *window = m_window;
    return m_window != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE ControlSite::OnInPlaceActivate() {
    m_inPlace = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::OnInPlaceDeactivate() {
    m_inPlace = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ControlSite::GetWindowContext(IOleInPlaceFrame** frame,
                                                        IOleInPlaceUIWindow** document,
                                                        LPRECT position, LPRECT clip,
                                                        LPOLEINPLACEFRAMEINFO info) {
    if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr ||
        info == nullptr) {
        return E_POINTER;
    }
    // No menus or toolbars to share: the control gets no frame.
    *frame = nullptr;
    *document = nullptr;
    ::GetClientRect(m_window, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = ::GetAncestor(m_window, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

} // namespace tessaline::win32
