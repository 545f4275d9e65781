// SPDX-License-Identifier: MIT
#include "base/JsonText.h"
#include "base/NameCompare.h"
#include "base/Result.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessaline {
namespace {

struct Shape {
    virtual ~Shape() = default;
};
struct Square : Shape {};

// A failure never reads as a success, whatever code it was given, and keeps
// its reason and code through a conversion.
TEST(Result, AFailureKeepsItsReasonAndNeverCarriesTheCodeOfSuccess) {
    // `atBoundary`: the code a method returns for it when its own is -3.
    const struct {
        int32_t given;
        int32_t carried;
        int32_t atBoundary;
    } codes[] = {{0, kUncodedFailure, -3},
                 {-5, -5, -5},
                 {-1, -1, -1},
                 {kUncodedFailure, kUncodedFailure, -3},
                 {7, 7, 7}};
    for (const auto& c : codes) {
        const auto plain = Result<void>::Fail("lost", c.given);
        const auto valued = Result<int>::Fail("lost", c.given);
        EXPECT_FALSE(plain.Ok());
        EXPECT_FALSE(valued);
        EXPECT_EQ(plain.Code(), c.carried) << c.given;
        EXPECT_EQ(valued.Code(), c.carried) << c.given;
        EXPECT_EQ(plain.CodeOr(-3), c.atBoundary) << c.given;
        EXPECT_EQ(valued.Reason(), "lost");
        EXPECT_EQ(valued.ValueOr(42), 42);
        // Handed on as another type, a failure keeps its reason and code.
        const auto passed = Result<std::string>::FailAs(valued);
        const auto passedOn = Result<void>::FailAs(passed);
        EXPECT_EQ(passed.Reason(), "lost");
        EXPECT_EQ(passedOn.Code(), c.carried) << c.given;
    }
    // No method's own code is the code of a failure given none.
    for (const int32_t methodCode : {0, -1, -2, -3, -4, -5, -6, -7}) {
        EXPECT_NE(methodCode, kUncodedFailure);
    }
    EXPECT_EQ(Result<void>().CodeOr(-3), 0);
    EXPECT_EQ(Result<void>().Code(), 0);
    EXPECT_EQ(Result<void>().Reason(), "");
    EXPECT_EQ(Result<int>(3).Code(), 0);
    EXPECT_EQ(Result<int>(3).ValueOr(42), 3);

    Result<std::unique_ptr<Shape>> made =
        Result<std::unique_ptr<Square>>(std::make_unique<Square>());
    ASSERT_TRUE(made);
    EXPECT_NE(dynamic_cast<Square*>(made.Value().get()), nullptr);
    Result<std::unique_ptr<Shape>> refused = Result<std::unique_ptr<Square>>::Fail("no room", -4);
    EXPECT_EQ(refused.Reason(), "no room");
    EXPECT_EQ(refused.Code(), -4);
    // The value moves out whole.
    Result<std::string> text(std::string(100, 'x'));
    const std::string moved = std::move(text).Value();
    EXPECT_EQ(moved.size(), 100u);
}

// Whatever bytes come in (a printer's answer may be in any code page), the
// text out is a JSON string a strict reader takes.
TEST(Json, EscapesWhatJsonForbidsAndKeepsWellFormedUtf8) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", "\"\""},
        {"TM-T88V", "\"TM-T88V\""},
        {"say \"hi\"\\", "\"say \\\"hi\\\"\\\\\""},
        {std::string("a\0b", 3), "\"a\\u0000b\""},
        {"line\nend\t\x1f", "\"line\\u000aend\\u0009\\u001f\""},
        {"\x7f", "\"\x7f\""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x96\xa8",
         "\"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x96\xa8\""},
        // Latin-1, a lone continuation byte, a sequence cut short, overlong
        // and surrogate forms, a code point past U+10FFFF.
        {"caf\xe9", "\"caf\\u00e9\""},
        {"\x80", "\"\\u0080\""},
        {"\xe2\x82", "\"\\u00e2\\u0082\""},
        {"\xc0\xaf", "\"\\u00c0\\u00af\""},
        {"\xe0\x80\xaf", "\"\\u00e0\\u0080\\u00af\""},
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},
        {"\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},
        {"\xf5", "\"\\u00f5\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Json(c.in), c.out) << c.in;
    }
    EXPECT_EQ(JsonList({}), "[]");
    EXPECT_EQ(JsonList({"A1", "b\""}), "[\"A1\", \"b\\\"\"]");
    EXPECT_EQ(JsonOr<std::string>(std::nullopt), "null");
    EXPECT_EQ(JsonOr<std::string>(std::string("x")), "\"x\"");
    EXPECT_EQ(JsonOr<bool>(false), "false");
    EXPECT_EQ(JsonOr<int64_t>(-12), "-12");
}

TEST(NameCompare, IgnoresTheCaseOfAsciiLettersOnly) {
    const struct {
        const char* a;
        const char* b;
        bool equal;
    } cases[] = {
        {"TESSALINE.TessalineCtrl.1", "tessaline.tessalinectrl.1", true},
        {"", "", true},
        {"A", "AB", false},
        {"[", "{", false}, // 0x5B and 0x7B differ by 32 but are no letters
        {"@", "`", false},
        {"\xc9", "\xe9", false}, // Latin-1 letters are compared as they are
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EqualsNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
    }
    EXPECT_TRUE(StartsWithNoCase("THERMAL #12", "thermal #"));
    EXPECT_FALSE(StartsWithNoCase("THERMAL #", "thermal #"));
    EXPECT_FALSE(StartsWithNoCase("THERM", "thermal #"));
}

} // namespace
} // namespace tessaline
