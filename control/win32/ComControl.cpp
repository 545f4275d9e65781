// SPDX-License-Identifier: MIT
// The Tessaline control as a COM object: identity, dispatch, events, class
// information, control information and property pages.
#include "ComControl.h"

#include "ComIds.h"
#include "ComModule.h"
#include "VariantArguments.h"
#include "platform/win32/AnsiText.h"
#include "tessaline/tessaline_control.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>
#include <span>
#include <string>

namespace tessaline::com {

namespace {

constexpr std::array<ParamKind, 4> kBitmapInfoParams{ParamKind::Text, ParamKind::OutInt32,
                                                     ParamKind::OutInt32, ParamKind::OutInt32};
constexpr std::array<ParamKind, 3> kPreviewParams{ParamKind::Text, ParamKind::Int16,
                                                  ParamKind::Int16};
constexpr std::array<ParamKind, 5> kPrintParams{ParamKind::Int32, ParamKind::Text, ParamKind::Int32,
                                                ParamKind::Int32, ParamKind::Int32};
constexpr std::array<ParamKind, 5> kUploadParams{ParamKind::Int32, ParamKind::Text, ParamKind::Text,
                                                 ParamKind::Int32, ParamKind::Int32};
constexpr std::array<ParamKind, 5> kStoreGraphicParams{
    ParamKind::Text, ParamKind::Text, ParamKind::Text, ParamKind::Int32, ParamKind::Int32};
constexpr std::array<ParamKind, 4> kPrintGraphicParams{ParamKind::Text, ParamKind::Text,
                                                       ParamKind::Int32, ParamKind::Int32};
constexpr std::array<ParamKind, 2> kDeleteGraphicParams{ParamKind::Text, ParamKind::Text};
constexpr std::array<ParamKind, 1> kGraphicKeysParams{ParamKind::Text};
constexpr std::array<ParamKind, 4> kSetAutoLogoParams{ParamKind::Text, ParamKind::Text,
                                                      ParamKind::Text, ParamKind::Text};
constexpr std::array<ParamKind, 1> kAutoLogoParams{ParamKind::Text};

// A method as the refusals name it: its name and its parameters' names.
struct MethodNames {
    DISPID dispid;
    const char* name;
    std::array<const char*, 5> params;
};

constexpr std::array<MethodNames, 11> kMethodNames{{
    {kDispidBitmapInfo, "BitmapInfo", {"NVImage", "BitsPixel", "Height", "Width"}},
    {kDispidPreview, "Preview", {"PreviewName", "ImageMode", "Brightness"}},
    {kDispidPrint, "Print", {"Printer", "PrinterName", "Range", "Mode", "lngEnd"}},
    {kDispidUpload, "Upload", {"Printer", "PrinterName", "NVImage", "ImageMode", "Brightness"}},
    {kDispidErrorText, "ErrorText", {}},
    {kDispidStoreGraphic,
     "StoreGraphic",
     {"PrinterName", "Key", "FileName", "ImageMode", "Brightness"}},
    {kDispidPrintGraphic, "PrintGraphic", {"PrinterName", "Key", "ScaleX", "ScaleY"}},
    {kDispidDeleteGraphic, "DeleteGraphic", {"PrinterName", "Key"}},
    {kDispidGraphicKeys, "GraphicKeys", {"PrinterName"}},
    {kDispidSetAutoLogo, "SetAutoLogo", {"PrinterName", "TopKey", "BottomKey", "Align"}},
    {kDispidAutoLogo, "AutoLogo", {"PrinterName"}},
}};

const MethodNames* NamesOf(DISPID dispid) {
    for (const MethodNames& names : kMethodNames) {
        if (names.dispid == dispid) {
            return &names;
        }
    }
    return nullptr;
}

std::string HexOf(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// Why the shell refused a call of `dispid` before the method ran, in words
// an integrator can act on.
std::string RefusalText(DISPID dispid, HRESULT hr, std::span<const ParamKind> params,
                        const VariantArguments& args, UINT given) {
    const MethodNames* names = NamesOf(dispid);
    if (names == nullptr) {
        return "the control has no method with dispatch identifier " + std::to_string(dispid);
    }
    const std::string method = names->name;
    const size_t at = args.RefusedPosition();
    const std::string argument =
        at < params.size() ? "argument " + std::to_string(at + 1) + " (" + names->params[at] + ")"
                           : "an argument";
    switch (hr) {
    case DISP_E_MEMBERNOTFOUND:
        return method + " is a method: call it; it cannot be read or set as a property";
    case DISP_E_BADPARAMCOUNT:
        return method + " takes " + std::to_string(params.size()) + " argument" +
               (params.size() == 1 ? "" : "s") + ", not " + std::to_string(given);
    case DISP_E_TYPEMISMATCH:
        if (at < params.size() && params[at] == ParamKind::OutInt32) {
            return method + ": " + argument +
                   " must be a variable passed by reference (ByRef), which receives a number";
        }
        return method + ": " + argument + " cannot be read as " +
               (at < params.size() && params[at] == ParamKind::Text ? "a string" : "a number");
    case DISP_E_OVERFLOW:
        return method + ": " + argument + " does not fit a " +
               (at < params.size() && params[at] == ParamKind::Int16 ? "16" : "32") + "-bit number";
    case DISP_E_PARAMNOTFOUND:
        return method + ": a named argument names none of its parameters, or one twice";
    case E_INVALIDARG:
    case E_POINTER:
        return method + ": the call's arguments are malformed (" + HexOf(hr) + ")";
    default:
        return method + ": the call was refused (" + HexOf(hr) + ")";
    }
}

// Why a text the ANSI code page cannot hold is refused, naming it.
std::string UnheldText(const char* what, const std::wstring& wide) {
    return std::string(what) + " \"" + win32::ToAnsi(wide) +
           "\" cannot be passed on: " + win32::WhyNotAnsi(wide) +
           ", and no other name may stand in for it";
}

// Why Upload's list cannot be passed on in the ANSI code page; empty when it can.
std::string UnheldList(const VariantArguments& args, size_t index) {
    const std::wstring& list = args.Wide(index);
    if (!args.Held(index)) {
        for (size_t start = 0; start <= list.size();) {
            const size_t end = std::min(list.find(L'|', start), list.size());
            const std::wstring path = list.substr(start, end - start);
            if (!win32::ExactAnsi(path)) {
                return UnheldText("the file name", path);
            }
            start = end + 1;
        }
        return UnheldText("the list of files", list);
    }
    // In some code pages "|" is also the second byte of a character: the
    // list would part inside one of its names.
    const auto bars = std::count(args.Text(index).begin(), args.Text(index).end(), '|');
    if (bars != std::count(list.begin(), list.end(), L'|')) {
        return "the list of files cannot be passed on in code page " +
               std::to_string(win32::AnsiCodePage()) +
               ": a character of a name there ends in the byte of \"|\", which parts the list";
    }
    return {};
}

void SetResult(VARIANT* result, int32_t value) {
    if (result != nullptr) {
        ::VariantInit(result);
        result->vt = VT_I4;
        result->lVal = value;
    }
}

HRESULT SetResult(VARIANT* result, const std::wstring& text) {
    if (result == nullptr) {
        return S_OK;
    }
    ::VariantInit(result);
    BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (value == nullptr) {
        return E_OUTOFMEMORY;
    }
    result->vt = VT_BSTR;
    result->bstrVal = value;
    return S_OK;
}

HRESULT SetResult(VARIANT* result, const std::string& ansi) {
    return SetResult(result, win32::FromAnsi(ansi));
}

} // namespace

HRESULT ComControl::Create(REFIID iid, void** object) {
    auto* created = new (std::nothrow) ComControl();
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    const auto control = win32::ComPtr<ComControl>::Adopt(created);
    const HRESULT hr = control->LoadTypeInfo();
    return FAILED(hr) ? hr : control->QueryInterface(iid, object);
}

ComControl::ComControl() : m_progressPoint(*this, kEventsIid) {
    // 100 x 50 pixels until the host or a saved state says otherwise.
    SetExtentFromPixels(100, 50);
}

ComControl::~ComControl() {
    DestroyControlWindow();
    m_progressPoint.DisconnectAll();
}

HRESULT ComControl::LoadTypeInfo() {
    // The module's own type library, registered or not: a host may create
    // the control before (or without) registering it.
    win32::ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, library.put());
    if (SUCCEEDED(hr)) {
        hr = library->GetTypeInfoOfGuid(kDispatchIid, m_dispatchInfo.put());
    }
    if (SUCCEEDED(hr)) {
        hr = library->GetTypeInfoOfGuid(kControlClsid, m_classInfo.put());
    }
    return hr;
}

void* ComControl::QueryOther(REFIID iid) {
    return IsEqualIID(iid, kDispatchIid) ? static_cast<IDispatch*>(this) : nullptr;
}

// IDispatch

HRESULT STDMETHODCALLTYPE ComControl::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    *info = nullptr;
    if (index != 0) {
        return DISP_E_BADINDEX;
    }
    m_dispatchInfo.copy_to(info);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                                    DISPID* dispids) {
    if (!IsEqualIID(iid, IID_NULL)) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    // Names of methods and of their parameters, without regard to case.
    return ::DispGetIDsOfNames(m_dispatchInfo.get(), names, count, dispids);
}

HRESULT STDMETHODCALLTYPE ComControl::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags,
                                             DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                             UINT* argError) {
    // Every call replaces ErrorText, also one refused here.
    if (!IsEqualIID(iid, IID_NULL)) {
        m_control.RefuseCall("the call named an interface other than IID_NULL");
        return DISP_E_UNKNOWNINTERFACE;
    }
    // Scripts call methods with DISPATCH_METHOD | DISPATCH_PROPERTYGET.
    if ((flags & DISPATCH_METHOD) == 0) {
        m_control.RefuseCall(RefusalText(dispid, DISP_E_MEMBERNOTFOUND, {}, VariantArguments(),
                                         params != nullptr ? params->cArgs : 0));
        return DISP_E_MEMBERNOTFOUND;
    }
    DISPPARAMS none{};
    UINT errorIndex = 0;
    HRESULT hr = E_UNEXPECTED;
    // A host may release its last reference from a Progress handler while
    // the method still runs.
    {
        const win32::ComPtr<IDispatch> alive(this);
        // No exception may cross into the host.
        try {
            hr = InvokeMethod(dispid, params != nullptr ? *params : none, result, errorIndex);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        } catch (...) {
            hr = E_UNEXPECTED;
        }
    }
    if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND || hr == DISP_E_OVERFLOW) &&
        argError != nullptr) {
        *argError = errorIndex;
    }
    return hr;
}

HRESULT ComControl::InvokeMethod(DISPID dispid, DISPPARAMS& params, VARIANT* result,
                                 UINT& argError) {
    VariantArguments args;
    std::span<const ParamKind> declared;
    switch (dispid) {
    case kDispidBitmapInfo:
        declared = kBitmapInfoParams;
        break;
    case kDispidPreview:
        declared = kPreviewParams;
        break;
    case kDispidPrint:
        declared = kPrintParams;
        break;
    case kDispidUpload:
        declared = kUploadParams;
        break;
    case kDispidErrorText:
        break;
    case kDispidStoreGraphic:
        declared = kStoreGraphicParams;
        break;
    case kDispidPrintGraphic:
        declared = kPrintGraphicParams;
        break;
    case kDispidDeleteGraphic:
        declared = kDeleteGraphicParams;
        break;
    case kDispidGraphicKeys:
        declared = kGraphicKeysParams;
        break;
    case kDispidSetAutoLogo:
        declared = kSetAutoLogoParams;
        break;
    case kDispidAutoLogo:
        declared = kAutoLogoParams;
        break;
    default:
        m_control.RefuseCall(RefusalText(dispid, DISP_E_MEMBERNOTFOUND, {}, args, params.cArgs));
        return DISP_E_MEMBERNOTFOUND;
    }
    if (const HRESULT hr = args.Bind(declared, params, argError); FAILED(hr)) {
        m_control.RefuseCall(RefusalText(dispid, hr, declared, args, params.cArgs));
        return hr;
    }
    switch (dispid) {
    case kDispidBitmapInfo: {
        if (!args.Held(0)) {
            m_control.RefuseCall(UnheldText("the file name", args.Wide(0)));
            SetResult(result, -1);
            return S_OK;
        }
        const int32_t value =
            m_control.BitmapInfo(args.Text(0), args.Out(1), args.Out(2), args.Out(3));
        // The outputs change only when the file loaded.
        if (value == 0) {
            args.WriteBack();
        }
        SetResult(result, value);
        return S_OK;
    }
    case kDispidPreview:
        if (!args.Held(0)) {
            // The name comes back as given, as for any file that makes no picture.
            m_control.RefuseCall(UnheldText("the file name", args.Wide(0)));
            return SetResult(result, args.Wide(0));
        }
        return SetResult(result, m_control.Preview(args.Text(0), args.Int16(1), args.Int16(2)));
    case kDispidPrint:
        if (!args.Held(1)) {
            m_control.RefuseCall(UnheldText("the printer name", args.Wide(1)));
            SetResult(result, TESSALINE_PRINTER_REFUSED);
            return S_OK;
        }
        SetResult(result, m_control.Print(args.Int32(0), args.Text(1), args.Int32(2), args.Int32(3),
                                          args.Int32(4)));
        return S_OK;
    case kDispidUpload: {
        std::string unheld =
            args.Held(1) ? UnheldList(args, 2) : UnheldText("the printer name", args.Wide(1));
        if (!unheld.empty()) {
            m_control.RefuseCall(std::move(unheld));
            SetResult(result, TESSALINE_PRINTER_REFUSED);
            return S_OK;
        }
        SetResult(result, m_control.Upload(args.Int32(0), args.Text(1), args.Text(2), args.Int32(3),
                                           args.Int32(4)));
        return S_OK;
    }
    case kDispidStoreGraphic:
    case kDispidPrintGraphic:
    case kDispidDeleteGraphic: {
        // The printer's name, the key and the file's name, as the code page holds them.
        const char* const what[] = {"the printer name", "the key", "the file name"};
        for (size_t i = 0; i < declared.size() && i < 3; ++i) {
            if (declared[i] == ParamKind::Text && !args.Held(i)) {
                m_control.RefuseCall(UnheldText(what[i], args.Wide(i)));
                SetResult(result, TESSALINE_PRINTER_REFUSED);
                return S_OK;
            }
        }
        SetResult(result, dispid == kDispidStoreGraphic
                              ? m_control.StoreGraphic(args.Text(0), args.Text(1), args.Text(2),
                                                       args.Int32(3), args.Int32(4))
                          : dispid == kDispidPrintGraphic
                              ? m_control.PrintGraphic(args.Text(0), args.Text(1), args.Int32(2),
                                                       args.Int32(3))
                              : m_control.DeleteGraphic(args.Text(0), args.Text(1)));
        return S_OK;
    }
    case kDispidGraphicKeys:
        if (!args.Held(0)) {
            m_control.RefuseCall(UnheldText("the printer name", args.Wide(0)));
            return SetResult(result, std::string());
        }
        return SetResult(result, m_control.GraphicKeys(args.Text(0)));
    case kDispidSetAutoLogo: {
        const char* const what[] = {"the printer name", "the top key", "the bottom key",
                                    "the alignment"};
        for (size_t i = 0; i < 4; ++i) {
            if (!args.Held(i)) {
                m_control.RefuseCall(UnheldText(what[i], args.Wide(i)));
                SetResult(result, TESSALINE_PRINTER_REFUSED);
                return S_OK;
            }
        }
        SetResult(result,
                  m_control.SetAutoLogo(args.Text(0), args.Text(1), args.Text(2), args.Text(3)));
        return S_OK;
    }
    case kDispidAutoLogo:
        if (!args.Held(0)) {
            m_control.RefuseCall(UnheldText("the printer name", args.Wide(0)));
            return SetResult(result, std::string());
        }
        return SetResult(result, m_control.AutoLogo(args.Text(0)));
    default:
        return SetResult(result, m_control.ErrorText());
    }
}

void ComControl::FireProgress(int32_t Data) {
    if (m_eventsFrozen > 0) {
        return;
    }
    VARIANT arg;
    ::VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = Data;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    // A handler may drop the host's last reference to us.
    const win32::ComPtr<IDispatch> alive(this);
    m_progressPoint.Fire(kEventidProgress, params);
}

void ComControl::ShowMessage(const std::string& text, const std::string& caption) {
    ::MessageBoxA(m_window, text.c_str(), caption.c_str(), MB_OK);
}

// IProvideClassInfo2

HRESULT STDMETHODCALLTYPE ComControl::GetClassInfo(ITypeInfo** info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    m_classInfo.copy_to(info);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::GetGUID(DWORD kind, GUID* guid) {
    if (guid == nullptr) {
        return E_POINTER;
    }
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *guid = GUID_NULL;
        return E_INVALIDARG;
    }
    *guid = kEventsIid;
    return S_OK;
}

// IConnectionPointContainer

HRESULT STDMETHODCALLTYPE ComControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    return CreateConnectionPointEnumerator(&m_progressPoint, points);
}

HRESULT STDMETHODCALLTYPE ComControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (point == nullptr) {
        return E_POINTER;
    }
    if (!IsEqualIID(iid, kEventsIid)) {
        *point = nullptr;
        return CONNECT_E_NOCONNECTION;
    }
    *point = &m_progressPoint;
    m_progressPoint.AddRef();
    return S_OK;
}

// IOleControl

HRESULT STDMETHODCALLTYPE ComControl::GetControlInfo(CONTROLINFO* info) {
    if (info == nullptr) {
        return E_POINTER;
    }
    // No mnemonics, and Enter and Escape stay the host's.
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::OnMnemonic(MSG*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComControl::FreezeEvents(BOOL freeze) {
    m_eventsFrozen += freeze ? 1 : (m_eventsFrozen > 0 ? -1 : 0);
    return S_OK;
}

// ISpecifyPropertyPages

HRESULT STDMETHODCALLTYPE ComControl::GetPages(CAUUID* pages) {
    if (pages == nullptr) {
        return E_POINTER;
    }
    pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID)));
    if (pages->pElems == nullptr) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->cElems = 1;
    pages->pElems[0] = kPropPageClsid;
    return S_OK;
}

} // namespace tessaline::com
