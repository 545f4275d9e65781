// SPDX-License-Identifier: MIT
#include "HostSite.h"

namespace tessaline::hostcheck {

namespace {

constexpr wchar_t kWindowClass[] = L"TessalineHostSite";

void RegisterSiteClass() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    ::RegisterClassW(&windowClass); // fails harmlessly when already registered
}

} // namespace

HostSite::HostSite(const wchar_t* title, int width, int height) {
    RegisterSiteClass();
    m_window = ::CreateWindowExW(0, kWindowClass, title,
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, width,
                                 height, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    PumpMessages();
}

HostSite::~HostSite() {
    if (m_window != nullptr) {
        ::DestroyWindow(m_window);
    }
}

void HostSite::PumpMessages() {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

HRESULT STDMETHODCALLTYPE HostSite::QueryInterface(REFIID iid, void** object) {
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

HRESULT STDMETHODCALLTYPE HostSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr) {
        *moniker = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HostSite::GetContainer(IOleContainer** container) {
    if (container != nullptr) {
        *container = nullptr;
    }
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE HostSite::GetWindow(HWND* window) {
    if (window == nullptr) {
        return E_POINTER;
    }
    *window = m_window;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE HostSite::OnInPlaceActivate() {
    m_activated = true;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE HostSite::OnInPlaceDeactivate() {
    m_activated = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE HostSite::GetWindowContext(IOleInPlaceFrame** frame,
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
    *position = m_position;
    ::GetClientRect(m_window, clip);
    info->fMDIApp = FALSE;
    info->hwndFrame = m_window;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

} // namespace tessaline::hostcheck
