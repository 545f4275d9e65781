// SPDX-License-Identifier: MIT
#include "VariantArguments.h"

#include "platform/win32/AnsiText.h"
#include "platform/win32/ComOwners.h"

#include <oleauto.h>
#include <optional>

namespace tessaline::com {

namespace {

// The argument's value, through any reference, as `type`.
HRESULT ReadAs(const VARIANT& arg, VARTYPE type, win32::Variant& out) {
    // VariantCopyInd only reads its source, whatever its signature says.
    HRESULT hr = ::VariantCopyInd(out.get(), const_cast<VARIANT*>(&arg));
    if (FAILED(hr)) {
        return hr;
    }
    if (out.get()->vt == type) {
        return S_OK;
    }
    return ::VariantChangeType(out.get(), out.get(), 0, type);
}

HRESULT BindOut(VARIANT& arg, int32_t& number) {
    if (arg.vt == (VT_BYREF | VT_I4) && arg.plVal != nullptr) {
        number = *arg.plVal;
        return S_OK;
    }
    if (arg.vt == (VT_BYREF | VT_VARIANT) && arg.pvarVal != nullptr) {
        win32::Variant current;
        // A variable holding no number yet (VBScript's Empty, a string) starts at 0.
        if (SUCCEEDED(ReadAs(*arg.pvarVal, VT_I4, current))) {
            number = current.get()->lVal;
        }
        return S_OK;
    }
    return (arg.vt & VT_BYREF) != 0 && arg.byref == nullptr ? E_INVALIDARG : DISP_E_TYPEMISMATCH;
}

} // namespace

HRESULT VariantArguments::Bind(std::span<const ParamKind> params, const DISPPARAMS& dispParams,
                               UINT& argError) {
    m_values.clear();
    if (dispParams.cArgs != params.size()) {
        return DISP_E_BADPARAMCOUNT;
    }
    if (dispParams.cArgs > 0 && dispParams.rgvarg == nullptr) {
        return E_INVALIDARG;
    }
    if (dispParams.cNamedArgs > dispParams.cArgs ||
        (dispParams.cNamedArgs > 0 && dispParams.rgdispidNamedArgs == nullptr)) {
        return E_INVALIDARG;
    }

    // rgvarg holds the named arguments first, then the positional ones last
    // to first; a named argument's identifier is its parameter's position.
    const UINT count = dispParams.cArgs;
    std::vector<UINT> slotOf(count, count);
    for (UINT named = 0; named < dispParams.cNamedArgs; ++named) {
        const DISPID id = dispParams.rgdispidNamedArgs[named];
        const auto position = static_cast<UINT>(id);
        if (id < 0 || position >= count || slotOf[position] != count) {
            argError = named;
            return DISP_E_PARAMNOTFOUND;
        }
        slotOf[position] = named;
    }
    UINT nextPositional = count;
    for (UINT position = 0; position < count; ++position) {
        if (slotOf[position] == count) {
            slotOf[position] = --nextPositional;
        }
    }

    m_values.resize(count);
    for (UINT position = 0; position < count; ++position) {
        const UINT slot = slotOf[position];
        VARIANT& arg = dispParams.rgvarg[slot];
        Value& value = m_values[position];
        HRESULT hr = S_OK;
        win32::Variant read;
        switch (params[position]) {
        case ParamKind::Text:
            hr = ReadAs(arg, VT_BSTR, read);
            if (SUCCEEDED(hr) && read.get()->bstrVal != nullptr) {
                value.wide.assign(read.get()->bstrVal, ::SysStringLen(read.get()->bstrVal));
                std::optional<std::string> exact = win32::ExactAnsi(value.wide);
                value.held = exact.has_value();
                value.text = exact ? std::move(*exact) : win32::ToAnsi(value.wide);
            }
            break;
        case ParamKind::Int16:
            hr = ReadAs(arg, VT_I2, read);
            if (SUCCEEDED(hr)) {
                value.number = read.get()->iVal;
            }
            break;
        case ParamKind::Int32:
            hr = ReadAs(arg, VT_I4, read);
            if (SUCCEEDED(hr)) {
                value.number = read.get()->lVal;
            }
            break;
        case ParamKind::OutInt32:
            hr = BindOut(arg, value.number);
            value.target = &arg;
            break;
        }
        if (FAILED(hr)) {
            argError = slot;
            m_refused = position;
            m_values.clear();
            return hr;
        }
    }
    return S_OK;
}

void VariantArguments::WriteBack() {
    for (Value& value : m_values) {
        if (value.target == nullptr) {
            continue;
        }
        VARIANT& arg = *value.target;
        if (arg.vt == (VT_BYREF | VT_I4)) {
            *arg.plVal = value.number;
            continue;
        }
        VARIANT& variable = *arg.pvarVal;
        if (variable.vt == (VT_BYREF | VT_I4) && variable.plVal != nullptr) {
            *variable.plVal = value.number;
            continue;
        }
        ::VariantClear(&variable);
        variable.vt = VT_I4;
        variable.lVal = value.number;
    }
}

} // namespace tessaline::com
