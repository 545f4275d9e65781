// SPDX-License-Identifier: MIT
#include "app/win32/ControlSite.h"

#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <new>
#include <ocidl.h>

namespace tessaline::win32 {

namespace {

std::string HresultText(HRESULT hr) {
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(hr));
    return SystemErrorMessage(static_cast<DWORD>(hr)) + " (" + code + ")";
}

} // namespace

ComPtr<ControlSite> ControlSite::Create() {
    return ComPtr<ControlSite>::Adopt(new ControlSite());
}

ControlSite::~ControlSite() {
    Close();
}

Result<void> ControlSite::CreateControl(const wchar_t* progId) {
    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr)) {
        return Result<void>::Fail("The Tessaline control " + Narrow(progId) +
                                  " is not registered. Register it with: regsvr32 Tessaline.ocx");
    }
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                            m_object.put_void());
    if (FAILED(hr)) {
        m_object.detach();
        return Result<void>::Fail("The Tessaline control cannot be created: " + HresultText(hr));
    }
    // The control asks for its site before it is given its state.
    m_object->SetClientSite(this);
    if (const auto persist = m_object.query<IPersistStreamInit>()) {
        persist->InitNew();
    }
    m_dispatch = m_object.query<IDispatch>();
    if (!m_dispatch) {
        Close();
        return Result<void>::Fail("The Tessaline control has no dispatch interface: " +
                                  HresultText(E_NOINTERFACE));
    }
    RECT position{};
    ::GetClientRect(m_window, &position);
    hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_window, &position);
    if (FAILED(hr)) {
        // The methods still answer; the control only does not show.
        ::OutputDebugStringA(("Tessaline: in-place activation failed: " + HresultText(hr)).c_str());
    }
    return {};
}

void ControlSite::Close() {
    if (m_object) {
        if (const auto inPlace = m_inPlace ? m_object.query<IOleInPlaceObject>() : nullptr) {
            inPlace->InPlaceDeactivate();
        }
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
    }
    m_dispatch.reset();
    m_object.reset();
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
