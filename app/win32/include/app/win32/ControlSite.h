// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"
#include "platform/win32/ComObject.h"
#include "platform/win32/ComOwners.h"

#include <ole2.h>
#include <windows.h>

namespace tessaline::win32 {

// The place of a Tessaline control on a window: a child window where the
// control is activated in place and draws itself, and the OLE client site
// and in-place site it asks its container for. The program's main window
// holds one; the Wine checks host the control on it as well.
class ControlSite final
    : public ComObject<ControlSite, IOleClientSite, AlsoAs<IOleInPlaceSite, IOleWindow>> {
public:
    // A site without a window yet (Attach gives it one).
    static ComPtr<ControlSite> Create();

    // `window` is the child window at the control's place; the control
    // fills its client area.
    void Attach(HWND window) { m_window = window; }
    HWND Window() const { return m_window; }
    // Creates the control by its ProgID, as a control container does
    // (client site first, fresh state), and activates it in place. A control
    // that cannot be activated still answers its methods.
    Result<void> CreateControl(const wchar_t* progId);
    // The control's dispatch interface (not AddRef'd); null without a control.
    IDispatch* Dispatch() const { return m_dispatch.get(); }
    // True while a control is active in place here.
    bool InPlace() const { return m_inPlace; }
    // Deactivates the control and lets it go.
    void Close();

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
    ControlSite() = default;
    ~ControlSite() override;

    HWND m_window = nullptr;
    ComPtr<IOleObject> m_object;
    ComPtr<IDispatch> m_dispatch;
    bool m_inPlace = false;
};

} // namespace tessaline::win32
