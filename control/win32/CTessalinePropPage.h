// SPDX-License-Identifier: MIT
// CTessalinePropPage: the control's property page "General" on dialog 200.
#pragma once

#include "ComModule.h"
#include "platform/win32/ComObject.h"
#include "platform/win32/ComOwners.h"

#include <ocidl.h>

namespace tessaline::com {

// The control's property page "General" (dialog 200). It shows the dialog
// and exchanges no values.
class CTessalinePropPage final : public win32::ComObject<CTessalinePropPage, IPropertyPage> {
public:
    // The class factory's creation function.
    static HRESULT Create(REFIID iid, void** object);

    // IPropertyPage
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT command) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;

private:
    CTessalinePropPage() = default;
    ~CTessalinePropPage() override;

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    ModuleReference m_moduleReference;
    win32::ComPtr<IPropertyPageSite> m_site;
    HWND m_dialog = nullptr;
};

} // namespace tessaline::com
