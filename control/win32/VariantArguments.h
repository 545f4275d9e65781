// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <oaidl.h>
#include <span>
#include <string>
#include <vector>

namespace tessaline::com {

// How a method declares one parameter.
enum class ParamKind {
    Text,     // BSTR, read as text in the system's ANSI code page when it fits exactly
    Int16,    // short
    Int32,    // long
    OutInt32, // long*, written back
};

// A host's DISPPARAMS read as a method declares its parameters. Values come
// by value or by reference (VT_BYREF of any type, and VT_BYREF|VT_VARIANT as
// VBScript passes its ByRef variables) and are coerced as VariantChangeType
// does; a number that does not fit is refused, never cut. An out parameter
// must be VT_BYREF|VT_I4 or VT_BYREF|VT_VARIANT.
class VariantArguments {
public:
    // S_OK, or DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTFOUND, DISP_E_TYPEMISMATCH,
    // DISP_E_OVERFLOW or E_INVALIDARG with `argError` the offending rgvarg index.
    HRESULT Bind(std::span<const ParamKind> params, const DISPPARAMS& dispParams, UINT& argError);

    // A text argument in the ANSI code page, exactly as the host gave it when
    // Held; otherwise with "?" for the characters the code page lacks.
    const std::string& Text(size_t index) const { return m_values.at(index).text; }
    // The host's own UTF-16 text.
    const std::wstring& Wide(size_t index) const { return m_values.at(index).wide; }
    // False when the ANSI code page cannot hold the text: no method may take
    // it, as any stand-in would name another file or printer.
    bool Held(size_t index) const { return m_values.at(index).held; }
    int16_t Int16(size_t index) const { return static_cast<int16_t>(m_values.at(index).number); }
    int32_t Int32(size_t index) const { return m_values.at(index).number; }
    // The method writes an out parameter here; WriteBack hands it to the host.
    int32_t& Out(size_t index) { return m_values.at(index).number; }
    // Stores every out value into the host's variables, as 32-bit numbers.
    // A method that failed calls none of it: the host's variables then stay
    // as they were, type included.
    void WriteBack();
    // The declared position (0-based) of the argument Bind refused.
    size_t RefusedPosition() const { return m_refused; }

private:
    struct Value {
        std::string text;
        std::wstring wide;
        bool held = true;
        int32_t number = 0;
        VARIANT* target = nullptr; // the host's variable behind an out parameter
    };
    std::vector<Value> m_values;
    size_t m_refused = 0;
};

} // namespace tessaline::com
