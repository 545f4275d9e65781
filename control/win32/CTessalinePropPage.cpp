// SPDX-License-Identifier: MIT
// CTessalinePropPage: the control's property page "General" on dialog 200.
#include "CTessalinePropPage.h"

#include "ComModule.h"
#include "TessalineResources.h"

#include <new>

namespace tessaline::com {

HRESULT CTessalinePropPage::Create(REFIID iid, void** object) {
    auto* created = new (std::nothrow) CTessalinePropPage();
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    return win32::ComPtr<CTessalinePropPage>::Adopt(created)->QueryInterface(iid, object);
}

CTessalinePropPage::~CTessalinePropPage() {
    Deactivate();
}

INT_PTR CALLBACK CTessalinePropPage::DialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::SetPageSite(IPropertyPageSite* site) {
    m_site = win32::ComPtr<IPropertyPageSite>(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (rect == nullptr) {
        return E_POINTER;
    }
    if (m_dialog != nullptr) {
        return E_UNEXPECTED;
    }
    m_dialog = ::CreateDialogParamW(ModuleHandle(), MAKEINTRESOURCEW(IDD_PROPPAGE_TESSALINE),
                                    parent, &CTessalinePropPage::DialogProc, 0);
    if (m_dialog == nullptr) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    return Move(rect);
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::Deactivate() {
    if (m_dialog != nullptr) {
        ::DestroyWindow(m_dialog);
        m_dialog = nullptr;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::GetPageInfo(PROPPAGEINFO* info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    // The page's size in pixels is the dialog's, measured on a hidden copy.
    HWND measure = ::CreateDialogParamW(ModuleHandle(), MAKEINTRESOURCEW(IDD_PROPPAGE_TESSALINE),
                                        ::GetDesktopWindow(), &CTessalinePropPage::DialogProc, 0);
    if (measure == nullptr) {
        return E_FAIL;
    }
    RECT rect{};
    ::GetWindowRect(measure, &rect);
    ::DestroyWindow(measure);

    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = TaskString(LoadModuleString(IDS_TESSALINE_PPG_CAPTION));
    info->size = {rect.right - rect.left, rect.bottom - rect.top};
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return info->pszTitle != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::SetObjects(ULONG count, IUnknown** objects) {
    // The control has no properties: nothing to read from or write to the objects.
    return count > 0 && objects == nullptr ? E_POINTER : S_OK;
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::Show(UINT command) {
    if (m_dialog == nullptr) {
        return E_UNEXPECTED;
    }
    ::ShowWindow(m_dialog, static_cast<int>(command));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::Move(LPCRECT rect) {
    if (rect == nullptr) {
        return E_POINTER;
    }
    if (m_dialog == nullptr) {
        return E_UNEXPECTED;
    }
    ::MoveWindow(m_dialog, rect->left, rect->top, rect->right - rect->left,
                 rect->bottom - rect->top, TRUE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::IsPageDirty() {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::Apply() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::Help(LPCOLESTR) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CTessalinePropPage::TranslateAccelerator(MSG* msg) {
    if (msg == nullptr) {
        return E_POINTER;
    }
    return m_dialog != nullptr && ::IsDialogMessageW(m_dialog, msg) ? S_OK : S_FALSE;
}

} // namespace tessaline::com
