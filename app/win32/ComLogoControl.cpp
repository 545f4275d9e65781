// SPDX-License-Identifier: MIT
#include "ComLogoControl.h"

#include "platform/win32/ComEventSink.h"
#include "platform/win32/WideText.h"
#include "tessaline/tessaline_control.h"

#include <array>
#include <ocidl.h>
#include <olectl.h>
#include <span>

namespace tessaline::win32 {

namespace {

VARIANT Long(int32_t value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Short(int16_t value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I2;
    v.iVal = value;
    return v;
}

VARIANT LongOut(LONG* value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4 | VT_BYREF;
    v.plVal = value;
    return v;
}

// A BSTR the caller clears.
VARIANT String(const std::string& utf8) {
    const std::wstring wide = Widen(utf8);
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return v;
}

template <size_t N> void ClearAll(std::array<VARIANT, N>& args) {
    for (VARIANT& arg : args) {
        ::VariantClear(&arg);
    }
}

} // namespace

ComLogoControl::ComLogoControl(IDispatch* control) : m_control(control) {
    m_control->AddRef();
    // The events' interface is the control's default source, as it says itself.
    IID events{};
    IProvideClassInfo2* info = nullptr;
    if (FAILED(
            m_control->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info)))) {
        return;
    }
    const HRESULT known = info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events);
    info->Release();
    if (FAILED(known)) {
        return;
    }
    IConnectionPointContainer* container = nullptr;
    if (FAILED(m_control->QueryInterface(IID_IConnectionPointContainer,
                                         reinterpret_cast<void**>(&container)))) {
        return;
    }
    const HRESULT found = container->FindConnectionPoint(events, &m_point);
    container->Release();
    if (FAILED(found)) {
        m_point = nullptr;
        return;
    }
    m_sink = new ComEventSink(events, [this](int32_t dispid, std::span<const TsVariant> args) {
        if (dispid == TESSALINE_EVENTID_PROGRESS && !args.empty() && args[0].vt == TS_VT_I4 &&
            m_progress) {
            m_progress(args[0].u.i4);
        }
    });
    if (FAILED(m_point->Advise(m_sink, &m_cookie))) {
        m_cookie = 0;
    }
}

ComLogoControl::~ComLogoControl() {
    Disconnect();
}

void ComLogoControl::Disconnect() {
    if (m_point != nullptr) {
        if (m_cookie != 0) {
            m_point->Unadvise(m_cookie);
            m_cookie = 0;
        }
        m_point->Release();
        m_point = nullptr;
    }
    if (m_sink != nullptr) {
        m_sink->Detach();
        m_sink->Release();
        m_sink = nullptr;
    }
    if (m_control != nullptr) {
        m_control->Release();
        m_control = nullptr;
    }
}

std::optional<VARIANT> ComLogoControl::Invoke(DISPID dispid, VARIANT* args, UINT count) {
    if (m_control == nullptr) {
        return std::nullopt;
    }
    // DISPPARAMS holds the arguments last one first.
    std::array<VARIANT, 5> reversed{};
    for (UINT i = 0; i < count; ++i) {
        reversed[count - 1 - i] = args[i];
    }
    DISPPARAMS params{reversed.data(), nullptr, count, 0};
    VARIANT result;
    ::VariantInit(&result);
    EXCEPINFO exception{};
    UINT argError = 0;
    const HRESULT hr = m_control->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                         &params, &result, &exception, &argError);
    if (FAILED(hr)) {
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
        ::VariantClear(&result);
        return std::nullopt;
    }
    return result;
}

std::optional<int32_t> ComLogoControl::InvokeLong(DISPID dispid, VARIANT* args, UINT count) {
    std::optional<VARIANT> result = Invoke(dispid, args, count);
    if (!result) {
        return std::nullopt;
    }
    const HRESULT converted = ::VariantChangeType(&*result, &*result, 0, VT_I4);
    const int32_t value = static_cast<int32_t>(result->lVal);
    ::VariantClear(&*result);
    if (FAILED(converted)) {
        return std::nullopt;
    }
    return value;
}

std::optional<BitmapInfoReply> ComLogoControl::BitmapInfo(const std::string& NVImage) {
    LONG bitsPixel = 0;
    LONG height = 0;
    LONG width = 0;
    std::array args{String(NVImage), LongOut(&bitsPixel), LongOut(&height), LongOut(&width)};
    const std::optional<int32_t> result =
        InvokeLong(TESSALINE_DISPID_BITMAPINFO, args.data(), args.size());
    ::VariantClear(&args[0]);
    if (!result) {
        return std::nullopt;
    }
    return BitmapInfoReply{*result, static_cast<int32_t>(bitsPixel), static_cast<int32_t>(height),
                           static_cast<int32_t>(width)};
}

std::optional<std::string> ComLogoControl::Preview(const std::string& PreviewName,
                                                   int16_t ImageMode, int16_t Brightness) {
    std::array args{String(PreviewName), Short(ImageMode), Short(Brightness)};
    std::optional<VARIANT> result = Invoke(TESSALINE_DISPID_PREVIEW, args.data(), args.size());
    ClearAll(args);
    if (!result) {
        return std::nullopt;
    }
    std::optional<std::string> path;
    if (SUCCEEDED(::VariantChangeType(&*result, &*result, 0, VT_BSTR))) {
        path = Narrow(std::wstring_view(result->bstrVal, ::SysStringLen(result->bstrVal)));
    }
    ::VariantClear(&*result);
    return path;
}

std::optional<int32_t> ComLogoControl::Print(int32_t Printer, const std::string& PrinterName,
                                             int32_t Range, int32_t Mode, int32_t lngEnd) {
    std::array args{Long(Printer), String(PrinterName), Long(Range), Long(Mode), Long(lngEnd)};
    const std::optional<int32_t> result =
        InvokeLong(TESSALINE_DISPID_PRINT, args.data(), args.size());
    ClearAll(args);
    return result;
}

std::optional<int32_t> ComLogoControl::Upload(int32_t Printer, const std::string& PrinterName,
                                              const std::string& NVImage, int32_t ImageMode,
                                              int32_t Brightness) {
    std::array args{Long(Printer), String(PrinterName), String(NVImage), Long(ImageMode),
                    Long(Brightness)};
    const std::optional<int32_t> result =
        InvokeLong(TESSALINE_DISPID_UPLOAD, args.data(), args.size());
    ClearAll(args);
    return result;
}

std::optional<std::string> ComLogoControl::ErrorText() {
    std::optional<VARIANT> result = Invoke(TESSALINE_DISPID_ERRORTEXT, nullptr, 0);
    if (!result) {
        return std::nullopt;
    }
    std::optional<std::string> text;
    if (SUCCEEDED(::VariantChangeType(&*result, &*result, 0, VT_BSTR))) {
        text = Narrow(std::wstring_view(result->bstrVal, ::SysStringLen(result->bstrVal)));
    }
    ::VariantClear(&*result);
    return text;
}

void ComLogoControl::OnProgress(std::function<void(int32_t Data)> handler) {
    m_progress = std::move(handler);
}

} // namespace tessaline::win32
