// SPDX-License-Identifier: MIT
#pragma once

#include "WindowsApi.h"

#include <ole2.h>
#include <string>

namespace tessaline::win32 {

// The place of the Tessaline control on the main window: a child window
// where the control is activated in place and draws itself, and the OLE
// client site and in-place site it asks its container for. The site lives
// as long as the window that holds it; its reference count is kept for
// the control's sake only.
class ControlSite final : public IOleClientSite, public IOleInPlaceSite {
public:
    ControlSite() = default;
    ~ControlSite();
    ControlSite(const ControlSite&) = delete;
    ControlSite& operator=(const ControlSite&) = delete;

    // `window` is the child window at the control's place.
    void Attach(HWND window) { m_window = window; }
    // Creates the control by its ProgID, as a control container does
    // (client site first, fresh state), and activates it in place. False
    // when it cannot be, with the reason in `error`.
    bool CreateControl(const wchar_t* progId, std::string& error);
    // The control's dispatch interface (not AddRef'd); null without a control.
    IDispatch* Dispatch() const { return m_dispatch; }
    // Deactivates the control and lets it go.
    void Close();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }
    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                               IOleInPlaceUIWindow** document, LPRECT position,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

private:
    ULONG m_references = 1;
    HWND m_window = nullptr;
    IOleObject* m_object = nullptr;
    IDispatch* m_dispatch = nullptr;
    bool m_inPlace = false;
};

} // namespace tessaline::win32
