// SPDX-License-Identifier: MIT
// A host of the Tessaline control that checks what scripts cannot: the
// coercion of the host's arguments, Progress through the connection point,
// the refused nested call, the drawing, the persistence round trip, in-place
// activation in a window, the verbs and the property page.
// Usage: TessalineHost.exe PRINTER LOGO BITS HEIGHT WIDTH
// PRINTER is installed; LOGO is a bitmap of that depth and size.
//        TessalineHost.exe names FOLDER PRINTER
// the names the ANSI code page cannot hold (see CheckNames).
#include "ComIds.h"
#include "HostChecks.h"
#include "app/win32/ControlSite.h"
#include "platform/win32/ComObject.h"
#include "platform/win32/ComOwners.h"
#include "platform/win32/HandleOwners.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ocidl.h>
#include <olectl.h>
#include <string>
#include <vector>
#include <windows.h>

using tessaline::com::kControlClsid;
using tessaline::com::kEventsIid;
using tessaline::com::kPropPageClsid;
using tessaline::hostcheck::Checks;
using tessaline::hostcheck::TestWindow;
using tessaline::win32::Bstr;
using tessaline::win32::ComPtr;
using tessaline::win32::ComScope;
using tessaline::win32::ControlSite;
using tessaline::win32::SelectedObject;
using tessaline::win32::UniqueBitmap;
using tessaline::win32::UniqueFile;
using tessaline::win32::UniqueLocalMemory;
using tessaline::win32::UniqueMemoryDc;
using tessaline::win32::UniqueWindowDc;
using tessaline::win32::Variant;

namespace {

constexpr COLORREF kGrey = RGB(192, 192, 192);

// What the host is given on its command line.
struct Arguments {
    std::wstring printer;
    std::wstring logo;
    LONG bits = 0;
    LONG height = 0;
    LONG width = 0;
};

VARIANT I4(LONG value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Str(const wchar_t* text) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocString(text);
    return v;
}

// A VARIANT that shows `text` without owning it.
VARIANT Borrowed(const Bstr& text) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text.get();
    return v;
}

// Calls `dispid` with `args` in declaration order; the result's number.
// The strings of `args` (Str's) are freed after the call.
HRESULT Call(IDispatch* control, DISPID dispid, std::vector<VARIANT> args, LONG& result) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    Variant out;
    UINT argError = 0;
    const HRESULT hr = control->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                       &params, out.get(), nullptr, &argError);
    result = out->vt == VT_I4 ? out->lVal : -9999;
    for (VARIANT& v : args) {
        if (v.vt == VT_BSTR) {
            ::VariantClear(&v);
        }
    }
    return hr;
}

// The sink of _DTessalineEvents: records every Progress, and can call back
// into the control from inside the handler.
class ProgressSink final : public tessaline::win32::ComObject<ProgressSink, IDispatch> {
public:
    std::vector<LONG> received;
    IDispatch* callBackInto = nullptr;
    LONG nestedResult = 0;

    void* QueryOther(REFIID iid) {
        return IsEqualIID(iid, kEventsIid) ? static_cast<IDispatch*>(this) : nullptr;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) override {
        if (dispid != 1 || params == nullptr || params->cArgs != 1 ||
            params->rgvarg[0].vt != VT_I4) {
            return DISP_E_MEMBERNOTFOUND;
        }
        received.push_back(params->rgvarg[0].lVal);
        if (callBackInto != nullptr && received.size() == 1) {
            Call(callBackInto, 4, {I4(0), Str(L"THERMAL #1"), Str(L"C:\\a.bmp|"), I4(0), I4(5)},
                 nestedResult);
        }
        return S_OK;
    }
};

// A minimal property bag: what the control writes, it can read back.
class MemoryBag final : public tessaline::win32::ComObject<MemoryBag, IPropertyBag> {
public:
    std::map<std::wstring, LONG> values;

    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        const auto it = values.find(name);
        if (it == values.end()) {
            return E_INVALIDARG;
        }
        ::VariantClear(value);
        value->vt = VT_I4;
        value->lVal = it->second;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        if (value->vt != VT_I4) {
            return E_INVALIDARG;
        }
        values[name] = value->lVal;
        return S_OK;
    }
};

// The control's ErrorText, as a host reads it.
std::wstring ErrorText(IDispatch* control) {
    Variant why;
    DISPPARAMS none{};
    control->Invoke(5, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, why.get(),
                    nullptr, nullptr);
    return why->vt == VT_BSTR && why->bstrVal != nullptr ? why->bstrVal : L"";
}

// Preview's result as text.
std::wstring PreviewOf(IDispatch* control, const std::wstring& file) {
    const Bstr name(file);
    VARIANT args[3] = {I4(5), I4(0), Borrowed(name)};
    DISPPARAMS params{args, nullptr, 3, 0};
    Variant out;
    control->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &params, out.get(), nullptr, nullptr);
    return out->vt == VT_BSTR && out->bstrVal != nullptr ? out->bstrVal : L"";
}

bool Holds(const std::wstring& text, const wchar_t* part) {
    return text.find(part) != std::wstring::npos;
}

ComPtr<IDispatch> CreateControl() {
    CLSID clsid{};
    ComPtr<IDispatch> control;
    const std::wstring progId = tessaline::com::WideAscii(tessaline::kTessalineProgId);
    if (FAILED(::CLSIDFromProgID(progId.c_str(), &clsid)) ||
        FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                  control.put_void()))) {
        return nullptr;
    }
    return control;
}

// The host's arguments as the methods read them: names, by-reference
// outputs of both kinds, values passed by reference, numbers that do not fit.
void CheckDispatch(Checks& checks, IDispatch* control, const Arguments& a) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"bitmapinfo"), const_cast<LPOLESTR>(L"Height")};
    DISPID ids[2] = {};
    checks.Check(SUCCEEDED(control->GetIDsOfNames(IID_NULL, names, 2, 0, ids)) && ids[0] == 1 &&
                     ids[1] == 2,
                 "GetIDsOfNames: bitmapinfo is 1, its parameter Height is 2");
    LPOLESTR more[] = {const_cast<LPOLESTR>(L"Upload"), const_cast<LPOLESTR>(L"ErrorText")};
    checks.Check(SUCCEEDED(control->GetIDsOfNames(IID_NULL, more, 1, 0, ids)) && ids[0] == 4 &&
                     SUCCEEDED(control->GetIDsOfNames(IID_NULL, more + 1, 1, 0, ids)) &&
                     ids[0] == 5,
                 "GetIDsOfNames: Upload is 4, ErrorText is 5");

    // BitmapInfo into VT_BYREF|VT_I4 and into VT_BYREF|VT_VARIANT (VBScript's
    // ByRef variables), whatever those held before.
    LONG bits = 0;
    Variant height;
    Variant width;
    // The variable holds a string before each call.
    const auto holdOld = [&width] {
        VARIANT* old = width.put();
        old->vt = VT_BSTR;
        old->bstrVal = ::SysAllocString(L"old");
    };
    holdOld();
    VARIANT bitsRef;
    bitsRef.vt = VT_BYREF | VT_I4;
    bitsRef.plVal = &bits;
    VARIANT heightRef;
    heightRef.vt = VT_BYREF | VT_VARIANT;
    heightRef.pvarVal = height.get();
    VARIANT widthRef;
    widthRef.vt = VT_BYREF | VT_VARIANT;
    widthRef.pvarVal = width.get();
    LONG result = 0;
    HRESULT hr = Call(control, 1, {Str(a.logo.c_str()), bitsRef, heightRef, widthRef}, result);
    checks.Check(SUCCEEDED(hr) && result == 0 && bits == a.bits && height->vt == VT_I4 &&
                     height->lVal == a.height && width->vt == VT_I4 && width->lVal == a.width,
                 "BitmapInfo writes back into VT_BYREF|VT_I4 and VT_BYREF|VT_VARIANT");

    // A file that is no bitmap: -1, the host's variables as they were, and
    // ErrorText says why.
    holdOld();
    bits = 7;
    hr = Call(control, 1, {Str(L"Z:\\no\\such.bmp"), bitsRef, heightRef, widthRef}, result);
    Variant why;
    DISPPARAMS none{};
    control->Invoke(5, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, why.get(),
                    nullptr, nullptr);
    checks.Check(SUCCEEDED(hr) && result == -1 && bits == 7 && width->vt == VT_BSTR &&
                     why->vt == VT_BSTR &&
                     std::wstring(why->bstrVal).find(L"such.bmp") != std::wstring::npos,
                 "BitmapInfo of a missing file: -1, outputs untouched, ErrorText names it");

    hr = Call(control, 1, {Str(a.logo.c_str()), I4(0), I4(0), I4(0)}, result);
    checks.Check(hr == DISP_E_TYPEMISMATCH && ErrorText(control) ==
                                                  L"BitmapInfo: argument 2 (BitsPixel) must be a "
                                                  L"variable passed by reference (ByRef), which "
                                                  L"receives a number",
                 "BitmapInfo refuses values where it writes back, and ErrorText says so");
    hr = Call(control, 4, {I4(0), Str(a.printer.c_str()), I4(0)}, result);
    checks.Check(hr == DISP_E_BADPARAMCOUNT &&
                     ErrorText(control) == L"Upload takes 5 arguments, not 3",
                 "a call refused for its count replaces ErrorText");
    hr = Call(control, 3, {I4(0), Str(L""), I4(1), I4(0), I4(0)}, result);
    checks.Check(SUCCEEDED(hr) && result == -5 && !ErrorText(control).empty(),
                 "Print to an empty printer name: -5, not installed");

    // Every argument by reference, the string too: read as values.
    LONG printer = 7;
    LONG range = 1;
    LONG mode = 0;
    LONG last = 0;
    Bstr name(L"THERMAL #9");
    VARIANT refs[5];
    refs[0].vt = VT_BYREF | VT_I4;
    refs[0].plVal = &printer;
    refs[1].vt = VT_BYREF | VT_BSTR;
    refs[1].pbstrVal = name.addressof();
    refs[2].vt = VT_BYREF | VT_I4;
    refs[2].plVal = &range;
    refs[3].vt = VT_BYREF | VT_I4;
    refs[3].plVal = &mode;
    refs[4].vt = VT_BYREF | VT_I4;
    refs[4].plVal = &last;
    hr = Call(control, 3, {refs[0], refs[1], refs[2], refs[3], refs[4]}, result);
    checks.Check(SUCCEEDED(hr) && result == -5 && printer == 7,
                 "Print with five by-reference arguments reads them as values");

    // A 16-bit parameter given a 32-bit number that does not fit.
    const Bstr logo(a.logo);
    VARIANT argsOut[3] = {I4(5), I4(70000), Borrowed(logo)};
    DISPPARAMS params{argsOut, nullptr, 3, 0};
    UINT argError = 99;
    Variant out;
    hr = control->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &params, out.get(), nullptr, &argError);
    checks.Check(hr == DISP_E_OVERFLOW && argError == 1,
                 "Preview refuses an ImageMode beyond 16 bits, naming the argument");
}

void CheckEvents(Checks& checks, IDispatch* control, const Arguments& a) {
    const ComPtr<IDispatch> held(control);
    const auto classInfo = held.query<IProvideClassInfo2>();
    GUID source{};
    checks.Check(classInfo &&
                     SUCCEEDED(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source)) &&
                     IsEqualIID(source, kEventsIid),
                 "IProvideClassInfo2 names _DTessalineEvents as the default source");

    const auto container = held.query<IConnectionPointContainer>();
    ComPtr<IConnectionPoint> point;
    if (!checks.Check(container &&
                          SUCCEEDED(container->FindConnectionPoint(kEventsIid, point.put())),
                      "FindConnectionPoint(_DTessalineEvents)")) {
        return;
    }
    const auto owned = ComPtr<ProgressSink>::Adopt(new ProgressSink());
    ProgressSink& sink = *owned.get();
    DWORD cookie = 0;
    checks.Check(SUCCEEDED(point->Advise(&sink, &cookie)) && cookie != 0, "Advise");

    LONG result = 0;
    const std::wstring three = a.logo + L"|" + a.logo + L"|" + a.logo + L"|";
    const auto upload = [&] {
        return std::vector<VARIANT>{I4(0), Str(a.printer.c_str()), Str(three.c_str()), I4(0),
                                    I4(5)};
    };
    Call(control, 4, upload(), result);
    checks.Check(result == 0 && sink.received == std::vector<LONG>{1, 2, 3},
                 "Upload of three files raises Progress 1, 2, 3");

    sink.received.clear();
    Call(control, 3, {I4(0), Str(a.printer.c_str()), I4(0), I4(0), I4(0)}, result);
    bool all = sink.received.size() == 255;
    for (size_t i = 0; all && i < sink.received.size(); ++i) {
        all = sink.received[i] == static_cast<LONG>(i + 1);
    }
    checks.Check(result == 0 && all, "Print of all images raises Progress 1 .. 255");

    sink.received.clear();
    sink.callBackInto = control;
    Call(control, 4, upload(), result);
    checks.Check(result == 0 && sink.nestedResult == -2 && sink.received.size() == 3,
                 "Upload called from a Progress handler is refused with -2");
    sink.callBackInto = nullptr;

    checks.Check(SUCCEEDED(point->Unadvise(cookie)), "Unadvise");
    sink.received.clear();
    Call(control, 4, upload(), result);
    checks.Check(sink.received.empty(), "no Progress after Unadvise");
    checks.Check(point->Unadvise(cookie) == CONNECT_E_NOCONNECTION, "a second Unadvise is refused");
}

// Draws through IViewObject2::Draw into a memory DC and reads the pixels back.
void CheckDrawing(Checks& checks, IDispatch* control) {
    const auto view = ComPtr<IDispatch>(control).query<IViewObject2>();
    if (!checks.Check(static_cast<bool>(view), "IViewObject2")) {
        return;
    }
    constexpr int kWidth = 200;
    constexpr int kHeight = 40;
    const UniqueWindowDc screen(nullptr);
    const UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    HDC dc = memory.get();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const UniqueBitmap bitmap(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const SelectedObject drawingOn(dc, bitmap.get());
    RECT all{0, 0, kWidth, kHeight};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));

    // The control's rectangle inside the surface, with a white margin around it.
    RECTL bounds{10, 5, 190, 35};
    const HRESULT hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds,
                                  nullptr, nullptr, 0);
    ::GdiFlush();
    int grey = 0;
    int black = 0;
    int outside = 0;
    int white = 0;
    int firstBlackX = kWidth;
    int firstBlackY = kHeight;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF c = ::GetPixel(dc, x, y);
            const bool inside = x >= 10 && x < 190 && y >= 5 && y < 35;
            if (!inside) {
                outside += c != RGB(255, 255, 255) ? 1 : 0;
            } else if (c == kGrey) {
                ++grey;
            } else if (c == RGB(255, 255, 255)) {
                ++white;
            } else if (c == RGB(0, 0, 0)) {
                ++black;
                firstBlackX = std::min(firstBlackX, x);
                firstBlackY = std::min(firstBlackY, y);
            }
        }
    }
    checks.Check(SUCCEEDED(hr), "IViewObject2::Draw succeeds");
    checks.Check(::GetPixel(dc, 10, 5) == kGrey && ::GetPixel(dc, 189, 34) == kGrey,
                 "the rectangle is filled with RGB(192, 192, 192)");
    // Wine smooths the font's edges, so some pixels lie between the two colours.
    checks.Check(black > 50 && grey > 180 * 30 / 2 && white == 0,
                 "black text on grey: " + std::to_string(black) + " black, " +
                     std::to_string(grey) + " grey, " + std::to_string(180 * 30 - black - grey) +
                     " in between");
    checks.Check(firstBlackX >= 12 && firstBlackY >= 7,
                 "the text starts 2 pixels in (first black pixel at " +
                     std::to_string(firstBlackX - 10) + ", " + std::to_string(firstBlackY - 5) +
                     ")");
    checks.Check(outside == 0, "nothing drawn outside the rectangle");
    SIZEL extent{};
    checks.Check(SUCCEEDED(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent)) &&
                     extent.cx > 0 && extent.cy > 0,
                 "IViewObject2::GetExtent");
}

void CheckPersistence(Checks& checks, IDispatch* control) {
    const ComPtr<IDispatch> held(control);
    const auto ole = held.query<IOleObject>();
    const auto persist = held.query<IPersistStreamInit>();
    if (!checks.Check(ole && persist, "IOleObject and IPersistStreamInit")) {
        return;
    }
    SIZEL size{5000, 1234};
    ole->SetExtent(DVASPECT_CONTENT, &size);
    ComPtr<IStream> stream;
    ::CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    checks.Check(persist->IsDirty() == S_OK && SUCCEEDED(persist->Save(stream.get(), TRUE)) &&
                     persist->IsDirty() == S_FALSE,
                 "IPersistStreamInit::Save clears the dirty flag");
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    checks.Check(stat.cbSize.QuadPart == 12, "the saved state is 12 bytes (version, extent)");

    const ComPtr<IDispatch> second = CreateControl();
    const auto secondPersist = second.query<IPersistStreamInit>();
    const auto secondOle = second.query<IOleObject>();
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    SIZEL loaded{};
    checks.Check(SUCCEEDED(secondPersist->Load(stream.get())) &&
                     SUCCEEDED(secondOle->GetExtent(DVASPECT_CONTENT, &loaded)) &&
                     loaded.cx == 5000 && loaded.cy == 1234,
                 "a second control loads the extent back");

    // A stream that ends early leaves the control as it was.
    ComPtr<IStream> shortStream;
    ::CreateStreamOnHGlobal(nullptr, TRUE, shortStream.put());
    const DWORD version = 0x00010000;
    shortStream->Write(&version, sizeof(version), nullptr);
    shortStream->Seek(zero, STREAM_SEEK_SET, nullptr);
    checks.Check(FAILED(secondPersist->Load(shortStream.get())), "a truncated state is refused");

    const auto bagPersist = held.query<IPersistPropertyBag>();
    const auto ownedBag = ComPtr<MemoryBag>::Adopt(new MemoryBag());
    MemoryBag& bag = *ownedBag.get();
    checks.Check(bagPersist && SUCCEEDED(bagPersist->Save(&bag, TRUE, TRUE)) &&
                     bag.values[L"_Version"] == 0x10000 && bag.values[L"_ExtentX"] == 5000 &&
                     bag.values[L"_ExtentY"] == 1234,
                 "IPersistPropertyBag writes _Version 65536, _ExtentX, _ExtentY");
}

void CheckInPlace(Checks& checks, IDispatch* control) {
    TestWindow form(L"Tessaline host check", 320, 120);
    // The control's place on the form: a child window, as on the program's.
    RECT position{20, 30, 220, 80};
    const TestWindow place(form.Window(), position);
    const auto site = ControlSite::Create();
    site->Attach(place.Window());
    const ComPtr<IDispatch> held(control);
    const auto ole = held.query<IOleObject>();
    DWORD misc = 0;
    ole->GetMiscStatus(DVASPECT_CONTENT, &misc);
    checks.Check(misc == 131473, "MiscStatus 131473");
    ComPtr<IEnumOLEVERB> verbs;
    OLEVERB verb{};
    ULONG fetched = 0;
    const bool listed =
        ole->EnumVerbs(verbs.put()) == S_OK && verbs->Next(1, &verb, &fetched) == S_OK;
    checks.Check(listed && verb.lVerb == OLEIVERB_PROPERTIES &&
                     std::wstring(verb.lpszVerbName) == L"&Properties..." &&
                     verbs->Next(1, &verb, &fetched) == S_FALSE && fetched == 0,
                 "EnumVerbs lists the one verb \"&Properties...\"");
    ::CoTaskMemFree(listed ? verb.lpszVerbName : nullptr);
    verbs.reset();
    ole->SetClientSite(site.get());
    const HRESULT hr =
        ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.get(), 0, place.Window(), &position);
    const auto inPlace = held.query<IOleInPlaceObject>();
    HWND window = nullptr;
    inPlace->GetWindow(&window);
    checks.Check(SUCCEEDED(hr) && site->InPlace() && window != nullptr &&
                     ::GetParent(window) == place.Window() && ::IsWindowVisible(window),
                 "DoVerb(OLEIVERB_INPLACEACTIVATE) gives a visible child window");
    RECT placed{};
    ::GetWindowRect(window, &placed);
    ::MapWindowPoints(nullptr, form.Window(), reinterpret_cast<POINT*>(&placed), 2);
    checks.Check(placed.left == 20 && placed.top == 30 && placed.right == 220 &&
                     placed.bottom == 80,
                 "the window sits where the site says");

    // What the window paints, read back through the window's own DC.
    ::UpdateWindow(form.Window());
    TestWindow::PumpMessages();
    const COLORREF corner = ::GetPixel(UniqueWindowDc(window).get(), 0, 0);
    checks.Check(corner == kGrey,
                 "the activated window paints grey (pixel " + std::to_string(corner) + ")");

    checks.Check(SUCCEEDED(inPlace->InPlaceDeactivate()) && !::IsWindow(window) && !site->InPlace(),
                 "InPlaceDeactivate destroys the window and tells the site");

    // A site with no window to give: the control takes no place there, and
    // the site it told of its activation is told of its end.
    const auto windowless = ControlSite::Create();
    ole->SetClientSite(windowless.get());
    const HRESULT refused =
        ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, windowless.get(), 0, nullptr, &position);
    checks.Check(FAILED(refused) && !windowless->InPlace(),
                 "in-place activation on a site without a window fails and is undone");
    ole->Close(OLECLOSE_NOSAVE);
    ole->SetClientSite(nullptr);
}

void CheckPropertyPage(Checks& checks, IDispatch* control) {
    CLSID pageClass{};
    const std::wstring pageProgId = tessaline::com::WideAscii(tessaline::kTessalinePropPageProgId);
    checks.Check(SUCCEEDED(::CLSIDFromProgID(pageProgId.c_str(), &pageClass)) &&
                     IsEqualCLSID(pageClass, kPropPageClsid),
                 "TESSALINE.TessalinePropPage.1 names the property page");
    const auto specify = ComPtr<IDispatch>(control).query<ISpecifyPropertyPages>();
    CAUUID pages{};
    checks.Check(specify && SUCCEEDED(specify->GetPages(&pages)) && pages.cElems == 1 &&
                     IsEqualCLSID(pages.pElems[0], kPropPageClsid),
                 "ISpecifyPropertyPages names the one page");
    ::CoTaskMemFree(pages.pElems);

    ComPtr<IPropertyPage> page;
    if (!checks.Check(SUCCEEDED(::CoCreateInstance(kPropPageClsid, nullptr, CLSCTX_INPROC_SERVER,
                                                   IID_IPropertyPage, page.put_void())),
                      "the property page class is creatable")) {
        return;
    }
    PROPPAGEINFO info{};
    info.cb = sizeof(info);
    const HRESULT hr = page->GetPageInfo(&info);
    checks.Check(SUCCEEDED(hr) && info.pszTitle != nullptr &&
                     std::wstring(info.pszTitle) == L"General" && info.size.cx > 0,
                 "the page is called General (" + std::to_string(info.size.cx) + " x " +
                     std::to_string(info.size.cy) + " pixels)");
    ::CoTaskMemFree(info.pszTitle);

    const TestWindow frame(L"Property frame stand-in", 500, 200);
    RECT rect{0, 0, info.size.cx, info.size.cy};
    IUnknown* object = control;
    page->SetObjects(1, &object);
    const bool activated = SUCCEEDED(page->Activate(frame.Window(), &rect, TRUE));
    HWND dialog = ::GetWindow(frame.Window(), GW_CHILD);
    wchar_t text[128] = {};
    ::GetDlgItemTextW(dialog, 201, text, 128);
    checks.Check(activated && std::wstring(text) ==
                                  L"TODO: Place controls to manipulate properties of Tessaline "
                                  L"Control on this dialog.",
                 "the page shows dialog 200 with its text");
    page->Deactivate();
    page->SetObjects(0, nullptr);
}

// The library stays while an object, an enumerator or a server lock lives,
// and may go when none does: what DllCanUnloadNow answers CoFreeUnusedLibraries.
void CheckUnloading(Checks& checks) {
    using CanUnloadFunction = HRESULT(STDAPICALLTYPE*)();
    const HMODULE library = ::GetModuleHandleW(L"Tessaline.ocx");
    const auto canUnload = reinterpret_cast<CanUnloadFunction>(
        reinterpret_cast<void*>(::GetProcAddress(library, "DllCanUnloadNow")));
    if (!checks.Check(canUnload != nullptr,
                      "Tessaline.ocx is loaded and exports DllCanUnloadNow")) {
        return;
    }
    const auto factory = [] {
        ComPtr<IClassFactory> classObject;
        ::CoGetClassObject(kControlClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                           classObject.put_void());
        return classObject;
    };
    checks.Check(canUnload() == S_OK, "DllCanUnloadNow: S_OK with nothing alive");
    bool locked = false;
    if (const auto classObject = factory()) {
        locked = SUCCEEDED(classObject->LockServer(TRUE));
    }
    const HRESULT whileLocked = canUnload();
    if (const auto classObject = factory()) {
        classObject->LockServer(FALSE);
    }
    checks.Check(
        locked && whileLocked == S_FALSE && canUnload() == S_OK,
        "DllCanUnloadNow: S_FALSE while LockServer(TRUE) holds, S_OK after LockServer(FALSE)");

    ComPtr<IOleObject> ole;
    if (const auto classObject = factory()) {
        classObject->CreateInstance(nullptr, IID_IOleObject, ole.put_void());
    }
    ComPtr<IEnumOLEVERB> verbs;
    if (!checks.Check(ole && SUCCEEDED(ole->EnumVerbs(verbs.put())), "a control and its verbs")) {
        return;
    }
    const HRESULT whileAlive = canUnload();
    ole.reset();
    const HRESULT whileEnumerating = canUnload();
    verbs.reset();
    checks.Check(
        whileAlive == S_FALSE && whileEnumerating == S_FALSE && canUnload() == S_OK,
        "DllCanUnloadNow: S_FALSE while a control or an enumerator of it lives, S_OK after");

    // The enumerators of a control's connection points, the host's references
    // to the control itself given up: they still list what they enumerate.
    const auto container = [&factory] {
        ComPtr<IConnectionPointContainer> made;
        if (const auto classObject = factory()) {
            classObject->CreateInstance(nullptr, IID_IConnectionPointContainer, made.put_void());
        }
        return made;
    };
    ComPtr<IEnumConnectionPoints> points;
    if (const auto control = container()) {
        control->EnumConnectionPoints(points.put());
    }
    if (!checks.Check(static_cast<bool>(points), "a control's EnumConnectionPoints")) {
        return;
    }
    const HRESULT whilePoints = canUnload();
    ComPtr<IConnectionPoint> listed;
    ULONG fetched = 0;
    const bool lists = points->Next(1, listed.put(), &fetched) == S_OK && fetched == 1 && listed;
    listed.reset();
    points.reset();
    checks.Check(whilePoints == S_FALSE && lists && canUnload() == S_OK,
                 "DllCanUnloadNow: S_FALSE while only a connection-point enumerator lives, "
                 "S_OK after");
    // EnumConnections is the control's to give or refuse; what it gives holds the library too.
    ComPtr<IEnumConnections> connections;
    if (const auto control = container()) {
        ComPtr<IConnectionPoint> point;
        if (SUCCEEDED(control->FindConnectionPoint(kEventsIid, point.put())) &&
            FAILED(point->EnumConnections(connections.put()))) {
            connections.detach(); // null, or garbage from a careless callee
        }
    }
    if (connections) {
        const HRESULT whileConnections = canUnload();
        connections.reset();
        checks.Check(whileConnections == S_FALSE && canUnload() == S_OK,
                     "DllCanUnloadNow: S_FALSE while only an EnumConnections enumerator lives, "
                     "S_OK after");
    }
}

// The system's own words for what `failed` did, trimmed: what ErrorText
// must hold, whatever the language.
std::wstring SystemWords(DWORD error) {
    wchar_t* text = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    const UniqueLocalMemory held(text);
    std::wstring words = text != nullptr ? text : L"";
    while (!words.empty() &&
           (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' ')) {
        words.pop_back();
    }
    return words;
}

// Names in the ANSI code page, run under one (949) that lacks "é": FOLDER
// holds logo.bmp, café.bmp and its best-fit look-alike cafe.bmp, the folders
// cwdé (empty) and denied (holding a folder named Temp.bmp). Nothing may
// read, write or name the look-alike, and ErrorText carries the system's
// words in the code page's own characters.
int CheckNames(const std::wstring& folder, const std::wstring& printer) {
    Checks checks;
    const ComScope ole(ComScope::Kind::Ole);
    if (FAILED(ole.Started())) {
        checks.Check(false, "OleInitialize");
        return checks.Finish();
    }
    ComPtr<IDispatch> owned = CreateControl();
    IDispatch* control = owned.get();
    if (!checks.Check(control != nullptr, "CoCreateInstance by ProgID")) {
        return checks.Finish();
    }
    const std::wstring logo = folder + L"\\logo.bmp";
    const std::wstring cafe = folder + L"\\caf\u00E9.bmp";
    LONG bits = 7;
    LONG height = 7;
    LONG width = 7;
    VARIANT refs[3];
    for (int i = 0; i < 3; ++i) {
        refs[i].vt = VT_BYREF | VT_I4;
    }
    refs[0].plVal = &bits;
    refs[1].plVal = &height;
    refs[2].plVal = &width;
    LONG result = 0;
    HRESULT hr = Call(control, 1, {Str(cafe.c_str()), refs[0], refs[1], refs[2]}, result);
    const std::wstring why = ErrorText(control);
    checks.Check(SUCCEEDED(hr) && result == -1 && bits == 7 && height == 7 && width == 7 &&
                     Holds(why, L"U+00E9") && Holds(why, L"949") && Holds(why, L"caf"),
                 "BitmapInfo of café.bmp under 949: -1, the look-alike not read, ErrorText why");

    ::SetCurrentDirectoryW(folder.c_str());
    const std::wstring previewed = PreviewOf(control, cafe);
    checks.Check(previewed == cafe && Holds(ErrorText(control), L"U+00E9") &&
                     ::GetFileAttributesW((folder + L"\\Temp.bmp").c_str()) ==
                         INVALID_FILE_ATTRIBUTES,
                 "Preview of café.bmp: its own name back, no picture, ErrorText why");

    const std::wstring list = logo + L"|" + cafe + L"|";
    hr = Call(control, 4, {I4(0), Str(printer.c_str()), Str(list.c_str()), I4(0), I4(5)}, result);
    checks.Check(SUCCEEDED(hr) && result == -4 && Holds(ErrorText(control), L"caf") &&
                     Holds(ErrorText(control), L"U+00E9"),
                 "Upload of a list naming café.bmp: -4, nothing sent, ErrorText names it");
    hr = Call(control, 3, {I4(0), Str(L"THERMAL #1\u00E9"), I4(1), I4(0), I4(0)}, result);
    checks.Check(SUCCEEDED(hr) && result == -4 && Holds(ErrorText(control), L"U+00E9"),
                 "Print to a printer name the code page lacks: -4");

    // A current folder with no name in the code page: no picture in its
    // look-alike, and the reason.
    ::SetCurrentDirectoryW((folder + L"\\cwd\u00E9").c_str());
    PreviewOf(control, logo);
    checks.Check(Holds(ErrorText(control), L"current folder") &&
                     Holds(ErrorText(control), L"U+00E9") &&
                     ::GetFileAttributesW((folder + L"\\cwde").c_str()) == INVALID_FILE_ATTRIBUTES,
                 "Preview in the folder cwdé: a failure with its reason, no folder cwde");

    // A picture that cannot be written: the system's words, in the code
    // page's characters. The same move the control makes, done here first,
    // gives the words to expect.
    const std::wstring denied = folder + L"\\denied";
    ::SetCurrentDirectoryW(denied.c_str());
    const std::wstring probe = denied + L"\\probe.bin";
    // Made and closed at once: the control's move finds its file closed too.
    UniqueFile(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr))
        .reset();
    ::MoveFileExW(probe.c_str(), (denied + L"\\Temp.bmp").c_str(), MOVEFILE_REPLACE_EXISTING);
    const std::wstring words = SystemWords(::GetLastError());
    ::DeleteFileW(probe.c_str());
    PreviewOf(control, logo);
    const std::wstring failure = ErrorText(control);
    const bool translated = std::any_of(words.begin(), words.end(),
                                        [](wchar_t c) { return c >= 0xAC00 && c <= 0xD7A3; });
    checks.Check(!words.empty() && translated && Holds(failure, words.c_str()) &&
                     Holds(failure, L"Temp.bmp"),
                 "ErrorText of a picture that cannot be written holds the system's Korean words");
    // For the checks of tessaline-cli.exe: the words as UTF-8.
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, words.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, words.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
    std::printf("system words: %s\n", utf8.c_str());

    ::SetCurrentDirectoryW(folder.c_str());
    owned.reset();
    ::CoFreeUnusedLibraries();
    return checks.Finish();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && std::wstring(argv[1]) == L"names") {
        return CheckNames(argv[2], argv[3]);
    }
    Checks checks;
    if (argc != 6) {
        std::fprintf(stderr, "usage: TessalineHost PRINTER LOGO BITS HEIGHT WIDTH\n"
                             "       TessalineHost names FOLDER PRINTER\n");
        return 2;
    }
    const Arguments arguments{argv[1], argv[2], std::wcstol(argv[3], nullptr, 10),
                              std::wcstol(argv[4], nullptr, 10), std::wcstol(argv[5], nullptr, 10)};
    const ComScope ole(ComScope::Kind::Ole);
    if (FAILED(ole.Started())) {
        checks.Check(false, "OleInitialize");
        return checks.Finish();
    }
    if (ComPtr<IDispatch> owned = CreateControl();
        checks.Check(static_cast<bool>(owned), "CoCreateInstance by ProgID")) {
        IDispatch* control = owned.get();
        CheckDispatch(checks, control, arguments);
        CheckEvents(checks, control, arguments);
        CheckDrawing(checks, control);
        CheckPersistence(checks, control);
        CheckInPlace(checks, control);
        CheckPropertyPage(checks, control);
    }
    CheckUnloading(checks);
    ::CoFreeUnusedLibraries();
    return checks.Finish();
}
