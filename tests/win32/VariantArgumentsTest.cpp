// SPDX-License-Identifier: MIT
// How the control reads a host's DISPPARAMS: the forms VBScript, VBA and C++
// hosts pass, the refusals, and the write-back of BitmapInfo's outputs.
#include "VariantArguments.h"

#include <functional>
#include <gtest/gtest.h>
#include <oleauto.h>
#include <string>
#include <vector>

namespace tessaline::com {
namespace {

// Arguments in declaration order; DISPPARAMS gets them last to first.
class HostArguments {
public:
    explicit HostArguments(std::vector<VARIANT> args) : m_args(args.rbegin(), args.rend()) {}
    ~HostArguments() {
        for (VARIANT& v : m_args) {
            ::VariantClear(&v);
        }
    }
    HostArguments(const HostArguments&) = delete;
    HostArguments& operator=(const HostArguments&) = delete;
    DISPPARAMS& Params() {
        m_params = {m_args.data(), nullptr, static_cast<UINT>(m_args.size()), 0};
        return m_params;
    }

private:
    std::vector<VARIANT> m_args;
    DISPPARAMS m_params{};
};

VARIANT Variant(VARTYPE type, const std::function<void(VARIANT&)>& fill) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = type;
    fill(v);
    return v;
}

VARIANT I2(SHORT n) {
    return Variant(VT_I2, [n](VARIANT& v) { v.iVal = n; });
}
VARIANT I4(LONG n) {
    return Variant(VT_I4, [n](VARIANT& v) { v.lVal = n; });
}
VARIANT R8(double n) {
    return Variant(VT_R8, [n](VARIANT& v) { v.dblVal = n; });
}
VARIANT Text(const wchar_t* text) {
    return Variant(VT_BSTR, [text](VARIANT& v) { v.bstrVal = ::SysAllocString(text); });
}
// A reference to a variable of the host's, as VBScript passes ByRef variables.
VARIANT RefToVariant(VARIANT* variable) {
    return Variant(VT_BYREF | VT_VARIANT, [variable](VARIANT& v) { v.pvarVal = variable; });
}
VARIANT RefToLong(LONG* variable) {
    return Variant(VT_BYREF | VT_I4, [variable](VARIANT& v) { v.plVal = variable; });
}

constexpr ParamKind kPrintParams[] = {ParamKind::Int32, ParamKind::Text, ParamKind::Int32,
                                      ParamKind::Int32, ParamKind::Int32};
constexpr ParamKind kPreviewParams[] = {ParamKind::Text, ParamKind::Int16, ParamKind::Int16};

struct ReadCase {
    const char* what;
    std::function<std::vector<VARIANT>()> args;
    HRESULT expected;
    UINT argError; // rgvarg index, when refused
};

TEST(VariantArguments, ReadsTheFormsHostsPassAndRefusesWhatDoesNotFit) {
    // Preview("a.bmp", 1, 5) as hosts write it.
    const ReadCase cases[] = {
        {"values",
         [] {
             return std::vector{Text(L"a.bmp"), I4(1), I4(5)};
         },
         S_OK, 0},
        {"VBScript's 16-bit literals and doubles",
         [] {
             return std::vector{Text(L"a.bmp"), I2(1), R8(5.0)};
         },
         S_OK, 0},
        {"a number given as text",
         [] {
             return std::vector{Text(L"a.bmp"), Text(L"1"), I2(5)};
         },
         S_OK, 0},
        {"a 16-bit parameter given 70000",
         [] {
             return std::vector{Text(L"a.bmp"), I4(70000), I2(5)};
         },
         DISP_E_OVERFLOW, 1},
        {"a number that is no number",
         [] {
             return std::vector{Text(L"a.bmp"), I2(1), Text(L"bright")};
         },
         DISP_E_TYPEMISMATCH, 0},
        {"too few arguments",
         [] {
             return std::vector{Text(L"a.bmp"), I2(1)};
         },
         DISP_E_BADPARAMCOUNT, 0},
    };
    for (const ReadCase& c : cases) {
        HostArguments host(c.args());
        VariantArguments args;
        UINT argError = 99;
        EXPECT_EQ(args.Bind(kPreviewParams, host.Params(), argError), c.expected) << c.what;
        if (c.expected == S_OK) {
            EXPECT_EQ(args.Text(0), "a.bmp") << c.what;
            EXPECT_EQ(args.Int16(1), 1) << c.what;
            EXPECT_EQ(args.Int16(2), 5) << c.what;
        } else if (c.expected != DISP_E_BADPARAMCOUNT) {
            EXPECT_EQ(argError, c.argError) << c.what;
        }
    }

    // Every argument by reference, the string in a ByRef variable: read as values.
    LONG printerVariable = 3;
    VARIANT nameVariable;
    ::VariantInit(&nameVariable);
    nameVariable.vt = VT_BSTR;
    nameVariable.bstrVal = ::SysAllocString(L"THERMAL #1");
    HostArguments byRef(
        {RefToLong(&printerVariable), RefToVariant(&nameVariable), I4(0), I4(0), I4(0)});
    VariantArguments args;
    UINT argError = 0;
    ASSERT_EQ(args.Bind(kPrintParams, byRef.Params(), argError), S_OK);
    EXPECT_EQ(args.Int32(0), 3);
    EXPECT_EQ(args.Text(1), "THERMAL #1");
    ::VariantClear(&nameVariable);
}

TEST(VariantArguments, NamedArgumentsGoToTheirParameters) {
    // VBA's Print(Printer:=0, PrinterName:="THERMAL #1", Range:=2, Mode:=1, lngEnd:=0),
    // given in another order: named arguments come first in rgvarg.
    VARIANT named[5] = {I4(1), I4(2), I4(0), Text(L"THERMAL #1"), I4(0)};
    DISPID ids[5] = {3, 2, 4, 1, 0};
    DISPPARAMS params{named, ids, 5, 5};
    VariantArguments args;
    UINT argError = 0;
    ASSERT_EQ(args.Bind(kPrintParams, params, argError), S_OK);
    EXPECT_EQ(args.Int32(0), 0);
    EXPECT_EQ(args.Text(1), "THERMAL #1");
    EXPECT_EQ(args.Int32(2), 2);
    EXPECT_EQ(args.Int32(3), 1);
    ::VariantClear(&named[3]);

    DISPID twice[5] = {3, 3, 4, 1, 0};
    params.rgdispidNamedArgs = twice;
    EXPECT_EQ(args.Bind(kPrintParams, params, argError), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(argError, 1u);
}

TEST(VariantArguments, OutputsGoBackIntoEveryKindOfHostVariable) {
    constexpr ParamKind kBitmapInfoParams[] = {ParamKind::Text, ParamKind::OutInt32,
                                               ParamKind::OutInt32, ParamKind::OutInt32};
    LONG plain = 0;
    VARIANT empty; // VBScript's variable that holds nothing yet
    ::VariantInit(&empty);
    VARIANT text; // one that held a string
    ::VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = ::SysAllocString(L"old");
    LONG inner = 0; // a variant that itself refers to a Long
    VARIANT refToLong;
    ::VariantInit(&refToLong);
    refToLong.vt = VT_BYREF | VT_I4;
    refToLong.plVal = &inner;
    {
        HostArguments host(
            {Text(L"a.bmp"), RefToLong(&plain), RefToVariant(&empty), RefToVariant(&text)});
        VariantArguments args;
        UINT argError = 0;
        ASSERT_EQ(args.Bind(kBitmapInfoParams, host.Params(), argError), S_OK);
        args.Out(1) = 24;
        args.Out(2) = 160;
        args.Out(3) = 384;
        args.WriteBack();
    }
    EXPECT_EQ(plain, 24);
    EXPECT_EQ(empty.vt, VT_I4);
    EXPECT_EQ(empty.lVal, 160);
    EXPECT_EQ(text.vt, VT_I4);
    EXPECT_EQ(text.lVal, 384);
    {
        HostArguments host(
            {Text(L"a.bmp"), RefToLong(&plain), RefToVariant(&refToLong), RefToLong(&plain)});
        VariantArguments args;
        UINT argError = 0;
        ASSERT_EQ(args.Bind(kBitmapInfoParams, host.Params(), argError), S_OK);
        args.Out(2) = 50;
        args.WriteBack();
    }
    EXPECT_EQ(refToLong.vt, VT_BYREF | VT_I4);
    EXPECT_EQ(inner, 50);

    // A value where an output is declared has nowhere to go.
    HostArguments values({Text(L"a.bmp"), I4(0), I4(0), I4(0)});
    VariantArguments args;
    UINT argError = 0;
    EXPECT_EQ(args.Bind(kBitmapInfoParams, values.Params(), argError), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argError, 2u);
}

} // namespace
} // namespace tessaline::com
