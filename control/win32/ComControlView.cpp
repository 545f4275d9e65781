// SPDX-License-Identifier: MIT
// The control's picture: drawing, IViewObject2 and the property frame.
#include "ComControl.h"
#include "ComIds.h"
#include "ComModule.h"
#include "ControlFace.h"
#include "TessalineResources.h"
#include "platform/win32/HandleOwners.h"

#include <string_view>

namespace tessaline::com {

void ComControl::OnDraw(HDC dc, const RECT& bounds) const {
    const win32::UniqueBrush brush(::CreateSolidBrush(kFaceBackColour));
    const win32::SelectedObject painting(dc, brush.get());
    ::PatBlt(dc, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
             PATCOPY);
    ::SetTextColor(dc, kFaceTextColour);
    ::SetBkColor(dc, kFaceBackColour);
    // The background mode stays as the host set it; the host's clipping alone
    // decides how much of the text shows.
    const std::string_view caption = kFaceCaption;
    ::TextOutA(dc, FaceCaptionCorner(bounds.left), FaceCaptionCorner(bounds.top), caption.data(),
               static_cast<int>(caption.size()));
}

HRESULT STDMETHODCALLTYPE ComControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                           LPCRECTL bounds, LPCRECTL,
                                           BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    if (dc == nullptr) {
        return E_INVALIDARG;
    }
    RECT rect{};
    if (bounds != nullptr) {
        rect = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    } else if (m_window != nullptr) {
        ::GetClientRect(m_window, &rect);
    } else {
        return E_INVALIDARG;
    }
    OnDraw(dc, rect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                                  LOGPALETTE** colors) {
    if (colors != nullptr) {
        *colors = nullptr;
    }
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE ComControl::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze != nullptr) {
        *freeze = 0;
    }
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComControl::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    m_viewAdvise = win32::ComPtr<IAdviseSink>(sink);
    m_viewAdviseAspects = aspects;
    m_viewAdviseFlags = flags;
    if (sink != nullptr && (flags & ADVF_PRIMEFIRST) != 0) {
        NotifyViewChange();
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects != nullptr) {
        *aspects = m_viewAdviseAspects;
    }
    if (flags != nullptr) {
        *flags = m_viewAdviseFlags;
    }
    if (sink != nullptr) {
        m_viewAdvise.copy_to(sink);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

HRESULT ComControl::ShowProperties(HWND owner) {
    IUnknown* self = static_cast<IDispatch*>(this);
    CLSID page = kPropPageClsid;
    const std::wstring caption = LoadModuleString(IDS_TESSALINE);
    if (owner == nullptr) {
        owner = m_window;
    }
    return ::OleCreatePropertyFrame(owner, 0, 0, caption.c_str(), 1, &self, 1, &page,
                                    LOCALE_USER_DEFAULT, 0, nullptr);
}

} // namespace tessaline::com
