// SPDX-License-Identifier: MIT
// Places the Tessaline control in a container we did not write: the ATL that
// ships with the system (atl.dll and its versions), through AtlAxWinInit and
// the "AtlAxWin" window class, and through AtlAxCreateControl. Checks that it
// is created by ProgID, in-place active with a window of its own, draws grey,
// and answers by dispatch identifier.
// Usage: AtlHost.exe LOGO WIDTH ATL_DLL... (LOGO a bitmap WIDTH pixels wide;
// ATL_DLL atl.dll, atl80.dll ... atl110.dll)
#include "ComIds.h"
#include "HostChecks.h"
#include "platform/win32/ComOwners.h"
#include "platform/win32/HandleOwners.h"

#include <cstdio>
#include <cstdlib>
#include <ocidl.h>
#include <string>
#include <windows.h>

using tessaline::hostcheck::Checks;
using tessaline::hostcheck::TestWindow;
using tessaline::win32::Bstr;
using tessaline::win32::ComPtr;
using tessaline::win32::ComScope;
using tessaline::win32::Variant;

namespace {

using AtlAxWinInitFunction = BOOL(WINAPI*)();
using AtlAxGetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);
using AtlAxCreateControlFunction = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**);

constexpr COLORREF kGrey = RGB(192, 192, 192);

// The bitmap BitmapInfo is asked about, and its width.
struct Logo {
    std::wstring path;
    LONG width = 0;
};

// Each ATL version registers its own window class name.
std::wstring WindowClassFor(const std::wstring& dll) {
    if (dll == L"atl.dll") {
        return L"AtlAxWin";
    }
    const size_t digits = dll.find_first_of(L"0123456789");
    return L"AtlAxWin" + dll.substr(digits, dll.find(L'.') - digits);
}

template <typename Function> Function Find(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The control's own window inside the ATL host window, once painted.
void CheckPlacedControl(Checks& checks, HWND host, const ComPtr<IUnknown>& control,
                        const std::string& how, const Logo& logo) {
    TestWindow::PumpMessages();
    HWND window = ::GetWindow(host, GW_CHILD);
    HWND reported = nullptr;
    if (const auto inPlace = control.query<IOleInPlaceObject>()) {
        inPlace->GetWindow(&reported);
    }
    checks.Check(window != nullptr && window == reported && ::IsWindowVisible(window),
                 how + ": the control is in-place active with its own window");
    ::RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    TestWindow::PumpMessages();
    const COLORREF corner = ::GetPixel(tessaline::win32::UniqueWindowDc(host).get(), 1, 1);
    checks.Check(corner == kGrey,
                 how + ": the control draws grey (pixel " + std::to_string(corner) + ")");

    LONG result = -1;
    if (const auto dispatch = control.query<IDispatch>()) {
        LONG bits = 0;
        LONG height = 0;
        LONG width = 0;
        const Bstr path(logo.path);
        VARIANT args[4];
        args[3].vt = VT_BSTR;
        args[3].bstrVal = path.get();
        args[2].vt = VT_BYREF | VT_I4;
        args[2].plVal = &bits;
        args[1].vt = VT_BYREF | VT_I4;
        args[1].plVal = &height;
        args[0].vt = VT_BYREF | VT_I4;
        args[0].plVal = &width;
        DISPPARAMS params{args, nullptr, 4, 0};
        Variant out;
        if (SUCCEEDED(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &params, out.get(), nullptr,
                                       nullptr))) {
            result = out->lVal;
        }
        result = result == 0 && width == logo.width ? 0 : -1;
    }
    checks.Check(result == 0, how + ": BitmapInfo by dispatch identifier");
}

void CheckAtl(Checks& checks, const std::wstring& dll, const Logo& logo) {
    const std::wstring progId = tessaline::com::WideAscii(tessaline::kTessalineProgId);
    const std::string name(dll.begin(), dll.end());
    const tessaline::win32::UniqueModule atl(::LoadLibraryW(dll.c_str()));
    if (!checks.Check(static_cast<bool>(atl), name + " loads")) {
        return;
    }
    auto init = Find<AtlAxWinInitFunction>(atl.get(), "AtlAxWinInit");
    auto getControl = Find<AtlAxGetControlFunction>(atl.get(), "AtlAxGetControl");
    auto createControl = Find<AtlAxCreateControlFunction>(atl.get(), "AtlAxCreateControl");
    if (!checks.Check(init != nullptr && getControl != nullptr && createControl != nullptr &&
                          init(),
                      name + ": AtlAxWinInit")) {
        return;
    }

    {
        const TestWindow form(L"ATL window class", 320, 120);
        const std::wstring windowClass = WindowClassFor(dll);
        HWND host = ::CreateWindowExW(0, windowClass.c_str(), progId.c_str(), WS_CHILD | WS_VISIBLE,
                                      10, 10, 200, 50, form.Window(), nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
        ComPtr<IUnknown> control;
        if (checks.Check(host != nullptr, name + ": a \"" +
                                              std::string(windowClass.begin(), windowClass.end()) +
                                              "\" window named by the ProgID") &&
            checks.Check(SUCCEEDED(getControl(host, control.put())) && control,
                         name + ": AtlAxGetControl")) {
            CheckPlacedControl(checks, host, control, name + " window class", logo);
        }
        control.reset();
        if (host != nullptr) {
            ::DestroyWindow(host);
        }
    }
    {
        const TestWindow form(L"AtlAxCreateControl", 320, 120);
        HWND host = ::CreateWindowExW(0, WindowClassFor(dll).c_str(), L"", WS_CHILD | WS_VISIBLE,
                                      10, 10, 200, 50, form.Window(), nullptr,
                                      ::GetModuleHandleW(nullptr), nullptr);
        ComPtr<IUnknown> container;
        ComPtr<IUnknown> control;
        const HRESULT hr = createControl(progId.c_str(), host, nullptr, container.put());
        if (checks.Check(SUCCEEDED(hr), name + ": AtlAxCreateControl (hr " +
                                            std::to_string(static_cast<unsigned long>(hr)) + ")") &&
            SUCCEEDED(getControl(host, control.put()))) {
            CheckPlacedControl(checks, host, control, name + " AtlAxCreateControl", logo);
        }
        control.reset();
        container.reset();
        ::DestroyWindow(host);
    }
    TestWindow::PumpMessages();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    Checks checks;
    if (argc < 4) {
        std::fprintf(stderr, "usage: AtlHost LOGO WIDTH ATL_DLL...\n");
        return 2;
    }
    const Logo logo{argv[1], std::wcstol(argv[2], nullptr, 10)};
    {
        const ComScope ole(ComScope::Kind::Ole);
        for (int i = 3; i < argc; ++i) {
            CheckAtl(checks, argv[i], logo);
        }
    }
    return checks.Finish();
}
