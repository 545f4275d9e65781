// SPDX-License-Identifier: MIT
// The control's embedding: IOleObject, in-place activation and its window.
#include "ComControl.h"
#include "ComIds.h"
#include "ComModule.h"
#include "TessalineResources.h"
#include "VerbEnumerator.h"
#include "platform/win32/HandleOwners.h"

namespace tessaline::com {

namespace {

constexpr const wchar_t* kWindowClass = L"TessalineCtrlWindow";
constexpr LONG kHimetricPerInch = 2540;

int ScreenPixelsPerInch(int axis) {
    const win32::UniqueWindowDc screen(nullptr);
    const int perInch = screen ? ::GetDeviceCaps(screen.get(), axis) : 96;
    return perInch > 0 ? perInch : 96;
}

bool RegisterWindowClass(WNDPROC proc) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(ModuleHandle(), kWindowClass, &existing)) {
        return true;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = ModuleHandle();
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassExW(&windowClass) != 0;
}

} // namespace

void ComControl::SetExtentFromPixels(LONG width, LONG height) {
    m_extent.cx = ::MulDiv(width, kHimetricPerInch, ScreenPixelsPerInch(LOGPIXELSX));
    m_extent.cy = ::MulDiv(height, kHimetricPerInch, ScreenPixelsPerInch(LOGPIXELSY));
}

void ComControl::NotifyViewChange() {
    if (m_viewAdvise) {
        m_viewAdvise->OnViewChange(DVASPECT_CONTENT, -1);
    }
}

HRESULT STDMETHODCALLTYPE ComControl::SetClientSite(IOleClientSite* site) {
    m_clientSite = win32::ComPtr<IOleClientSite>(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetClientSite(IOleClientSite** site) {
    if (site == nullptr) {
        return E_POINTER;
    }
    m_clientSite.copy_to(site);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::Close(DWORD) {
    InPlaceDeactivate();
    if (m_oleAdvise) {
        m_oleAdvise->SendOnClose();
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr) {
        *moniker = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComControl::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data != nullptr) {
        *data = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG,
                                             HWND parent, LPCRECT position) {
    if (site != nullptr && !m_clientSite) {
        SetClientSite(site);
    }
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(verb, parent, position);
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (m_window != nullptr) {
            ::ShowWindow(m_window, SW_HIDE);
        }
        return S_OK;
    case OLEIVERB_PROPERTIES:
        return ShowProperties(parent);
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT STDMETHODCALLTYPE ComControl::EnumVerbs(IEnumOLEVERB** verbs) {
    return CreateVerbEnumerator(verbs);
}

HRESULT STDMETHODCALLTYPE ComControl::Update() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::IsUpToDate() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetUserClassID(CLSID* clsid) {
    if (clsid == nullptr) {
        return E_POINTER;
    }
    *clsid = kControlClsid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetUserType(DWORD, LPOLESTR* name) {
    if (name == nullptr) {
        return E_POINTER;
    }
    *name = TaskString(LoadModuleString(IDS_TESSALINE));
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE ComControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (size == nullptr) {
        return E_POINTER;
    }
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    m_extent = *size;
    m_dirty = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (size == nullptr) {
        return E_POINTER;
    }
    if (aspect != DVASPECT_CONTENT) {
        return DV_E_DVASPECT;
    }
    *size = m_extent;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!m_oleAdvise) {
        const HRESULT hr = ::CreateOleAdviseHolder(m_oleAdvise.put());
        if (FAILED(hr)) {
            return hr;
        }
    }
    return m_oleAdvise->Advise(sink, connection);
}

HRESULT STDMETHODCALLTYPE ComControl::Unadvise(DWORD connection) {
    return m_oleAdvise ? m_oleAdvise->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT STDMETHODCALLTYPE ComControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (advise == nullptr) {
        return E_POINTER;
    }
    *advise = nullptr;
    return m_oleAdvise ? m_oleAdvise->EnumAdvise(advise) : E_FAIL;
}

HRESULT STDMETHODCALLTYPE ComControl::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (status == nullptr) {
        return E_POINTER;
    }
    *status = aspect == DVASPECT_CONTENT ? kTessalineMiscStatus : 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// In-place activation

HRESULT ComControl::InPlaceActivate(LONG verb, HWND, LPCRECT) {
    if (!m_clientSite) {
        return E_UNEXPECTED;
    }
    // A site told here that the control is active is told otherwise again
    // when the control cannot take its place after all.
    bool toldActive = false;
    if (!m_inPlaceSite) {
        const auto site = m_clientSite.query<IOleInPlaceSite>();
        if (!site) {
            return E_NOINTERFACE;
        }
        if (site->CanInPlaceActivate() != S_OK) {
            return E_FAIL;
        }
        m_inPlaceSite = site;
        m_inPlaceSite->OnInPlaceActivate();
        toldActive = true;
    }
    const auto rollBack = [this, toldActive] {
        if (toldActive) {
            const auto site = std::move(m_inPlaceSite);
            site->OnInPlaceDeactivate();
        }
        return E_FAIL;
    };

    HWND parent = nullptr;
    win32::ComPtr<IOleInPlaceFrame> frame;
    win32::ComPtr<IOleInPlaceUIWindow> document;
    RECT position{};
    RECT clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof(frameInfo);
    if (FAILED(m_inPlaceSite->GetWindow(&parent)) || parent == nullptr ||
        FAILED(m_inPlaceSite->GetWindowContext(frame.put(), document.put(), &position, &clip,
                                               &frameInfo))) {
        return rollBack();
    }
    if (m_window == nullptr) {
        if (!CreateControlWindow(parent, position)) {
            return rollBack();
        }
    } else {
        SetObjectRects(&position, &clip);
    }
    ::ShowWindow(m_window, SW_SHOW);
    if (!m_uiActive && (verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_PRIMARY)) {
        m_uiActive = true;
        m_inPlaceSite->OnUIActivate();
        if (frame) {
            frame->SetActiveObject(this, nullptr);
        }
        if (document) {
            document->SetActiveObject(this, nullptr);
        }
    }
    return S_OK;
}

bool ComControl::CreateControlWindow(HWND parent, const RECT& position) {
    if (!RegisterWindowClass(&ComControl::WindowProc)) {
        return false;
    }
    m_window =
        ::CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS, position.left,
                          position.top, position.right - position.left,
                          position.bottom - position.top, parent, nullptr, ModuleHandle(), this);
    return m_window != nullptr;
}

void ComControl::DestroyControlWindow() {
    if (m_window != nullptr) {
        HWND window = m_window;
        m_window = nullptr;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        ::DestroyWindow(window);
    }
}

LRESULT CALLBACK ComControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<ComControl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // WM_PAINT fills the whole rectangle
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = ::BeginPaint(window, &paint);
        if (control != nullptr && dc != nullptr) {
            RECT client{};
            ::GetClientRect(window, &client);
            control->OnDraw(dc, client);
        }
        ::EndPaint(window, &paint);
        return 0;
    }
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

HRESULT STDMETHODCALLTYPE ComControl::GetWindow(HWND* window) {
    if (window == nullptr) {
        return E_POINTER;
    }
    *window = m_window;
    return m_window != nullptr ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE ComControl::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComControl::InPlaceDeactivate() {
    if (!m_inPlaceSite) {
        return S_OK;
    }
    UIDeactivate();
    DestroyControlWindow();
    const auto site = std::move(m_inPlaceSite);
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::UIDeactivate() {
    if (m_uiActive && m_inPlaceSite) {
        m_uiActive = false;
        m_inPlaceSite->OnUIDeactivate(FALSE);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (position == nullptr) {
        return E_POINTER;
    }
    if (m_window != nullptr) {
        ::MoveWindow(m_window, position->left, position->top, position->right - position->left,
                     position->bottom - position->top, TRUE);
    }
    // Recompose on resize: the extent follows the rectangle the host gives.
    SetExtentFromPixels(position->right - position->left, position->bottom - position->top);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::ReactivateAndUndo() {
    return INPLACE_E_NOTUNDOABLE;
}

HRESULT STDMETHODCALLTYPE ComControl::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE ComControl::OnFrameWindowActivate(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::OnDocWindowActivate(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::EnableModeless(BOOL) {
    return S_OK;
}

} // namespace tessaline::com
