// SPDX-License-Identifier: MIT
#include "RangeText.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace tessaline {
namespace {

struct NumberCase {
    const char* text;
    bool number;
    double value;
};

TEST(RangeText, PlainDecimalNumbersOnly) {
    const NumberCase cases[] = {
        {"7", true, 7},         {" 7 ", true, 7},    {"\t12\t", true, 12}, {"-3", true, -3},
        {"+4", true, 4},        {"2.5", true, 2.5},  {".5", true, 0.5},    {"5.", true, 5},
        {"-0.25", true, -0.25}, {"007", true, 7},    {"", false, 0},       {"   ", false, 0},
        {"-", false, 0},        {"+", false, 0},     {".", false, 0},      {"abc", false, 0},
        {"1-2", false, 0},      {"1e3", false, 0},   {"0x10", false, 0},   {"1 2", false, 0},
        {"--3", false, 0},      {"1.2.3", false, 0}, {"12abc", false, 0},  {"- 3", false, 0},
        {"1,5", false, 0},
    };
    for (const NumberCase& c : cases) {
        const std::optional<double> value = NumericValue(c.text);
        EXPECT_EQ(value.has_value(), c.number) << "'" << c.text << "'";
        if (value && c.number) {
            EXPECT_DOUBLE_EQ(*value, c.value) << c.text;
        }
    }
}

TEST(RangeText, HugeAndTinyDigitRunsStayNumbers) {
    const std::string huge(400, '9');
    EXPECT_EQ(NumericValue(huge), std::numeric_limits<double>::infinity());
    EXPECT_EQ(NumericValue("-" + huge), -std::numeric_limits<double>::infinity());
    const std::string tiny = "0." + std::string(400, '0') + "1";
    EXPECT_EQ(NumericValue(tiny), 0.0);
}

TEST(RangeText, LeadingValueReadsTheNumberItStartsWith) {
    const NumberCase cases[] = {
        {"12", true, 12},    {"  12abc", true, 12}, {"3-5", true, 3}, {"-3-5", true, -3},
        {"abc", true, 0},    {"", true, 0},         {"-", true, 0},   {"2.5x", true, 2.5},
        {".5.5", true, 0.5}, {"+7 8", true, 7},
    };
    for (const NumberCase& c : cases) {
        EXPECT_DOUBLE_EQ(LeadingValue(c.text), c.value) << "'" << c.text << "'";
    }
}

TEST(RangeText, RoundsHalvesToEvenWithinThirtyTwoBits) {
    const struct {
        double value;
        std::optional<int32_t> rounded;
    } cases[] = {
        {2.5, 2},
        {3.5, 4},
        {-2.5, -2},
        {-3.5, -4},
        {2.4999, 2},
        {0.5, 0},
        {2147483647.0, 2147483647},
        {2147483647.4, 2147483647},
        {2147483647.5, std::nullopt},
        {-2147483648.0, std::numeric_limits<int32_t>::min()},
        {-2147483648.5, std::numeric_limits<int32_t>::min()},
        {-2147483649.0, std::nullopt},
        {1e300, std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
        {-std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RoundToLong(c.value), c.rounded) << c.value;
    }
}

TEST(RangeText, SelectionTextBecomesARequest) {
    using Kind = RangeRequest::Kind;
    const struct {
        const char* text;
        Kind kind;
        int32_t first;
        int32_t last;
    } cases[] = {
        {"7", Kind::Single, 7, 0},
        {"  7  ", Kind::Single, 7, 0},
        {"0", Kind::Single, 0, 0},
        {"-3", Kind::Single, -3, 0},
        {"2.5", Kind::Single, 2, 0},
        {"3.5", Kind::Single, 4, 0},
        {"3-5", Kind::Range, 3, 5},
        {"5-3", Kind::Range, 5, 3},
        {" 3 - 5 ", Kind::Range, 3, 5},
        {"2.5-3.5", Kind::Range, 2, 4},
        {"3--5", Kind::Range, 3, -5},
        {"", Kind::Empty, 0, 0},
        {"   ", Kind::Empty, 0, 0},
        {"-", Kind::NotRange, 0, 0},
        {"abc", Kind::NotRange, 0, 0},
        {"5-", Kind::NotRange, 0, 0},
        {"-3-5", Kind::NotRange, 0, 0},
        {"1-2-3", Kind::BadNumber, 0, 0},
        {"a-b", Kind::BadNumber, 0, 0},
        {"99999999999", Kind::BadNumber, 0, 0},
        {"2147483647.5", Kind::BadNumber, 0, 0},
        {"1-99999999999", Kind::BadNumber, 0, 0},
    };
    for (const auto& c : cases) {
        const RangeRequest request = ParseRangeText(c.text);
        EXPECT_EQ(request.kind, c.kind) << "'" << c.text << "'";
        if (request.kind == c.kind && (c.kind == Kind::Single || c.kind == Kind::Range)) {
            EXPECT_EQ(request.first, c.first) << c.text;
            EXPECT_EQ(request.last, c.last) << c.text;
        }
    }
}

} // namespace
} // namespace tessaline
