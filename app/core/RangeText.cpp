// SPDX-License-Identifier: MIT
#include "RangeText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tessaline {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Length of the longest "digits[.digits]" / ".digits" at the start of `text`;
// 0 when it holds no digit.
size_t UnsignedNumberLength(std::string_view text) {
    size_t at = 0;
    size_t digits = 0;
    while (at < text.size() && IsDigit(text[at])) {
        ++at;
        ++digits;
    }
    if (at < text.size() && text[at] == '.') {
        size_t fraction = at + 1;
        while (fraction < text.size() && IsDigit(text[fraction])) {
            ++fraction;
            ++digits;
        }
        if (digits > 0) {
            at = fraction;
        }
    }
    return digits > 0 ? at : 0;
}

double UnsignedValue(std::string_view digits) {
    // from_chars does not follow the locale, so "2.5" reads the same everywhere.
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                              std::chars_format::fixed);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Beyond a double's reach: huge when a digit other than 0 stands
        // before the point, otherwise too small to tell from 0.
        const std::string_view whole = digits.substr(0, digits.find('.'));
        return whole.find_first_not_of('0') == std::string_view::npos
                   ? 0.0
                   : std::numeric_limits<double>::infinity();
    }
    return value;
}

} // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<double> NumericValue(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const size_t length = UnsignedNumberLength(text);
    if (length == 0 || length != text.size()) {
        return std::nullopt;
    }
    const double value = UnsignedValue(text);
    return negative ? -value : value;
}

double LeadingValue(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const size_t length = UnsignedNumberLength(text);
    if (length == 0) {
        return 0.0;
    }
    const double value = UnsignedValue(text.substr(0, length));
    return negative ? -value : value;
}

std::optional<int32_t> RoundToLong(double value) {
    const double rounded = std::nearbyint(value); // the default rounding takes halves to even
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
        return std::nullopt;
    }
    return static_cast<int32_t>(rounded);
}

RangeRequest ParseRangeText(std::string_view text) {
    RangeRequest request;
    text = TrimBlanks(text);
    if (text.empty()) {
        request.kind = RangeRequest::Kind::Empty;
        return request;
    }
    request.kind = RangeRequest::Kind::BadNumber;
    if (const std::optional<double> number = NumericValue(text)) {
        if (const std::optional<int32_t> single = RoundToLong(*number)) {
            request.kind = RangeRequest::Kind::Single;
            request.first = *single;
        }
        return request;
    }
    const size_t dash = text.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == text.size()) {
        request.kind = RangeRequest::Kind::NotRange;
        return request;
    }
    const std::optional<double> first = NumericValue(text.substr(0, dash));
    const std::optional<double> last = NumericValue(text.substr(dash + 1));
    if (!first || !last) {
        return request;
    }
    const std::optional<int32_t> firstLong = RoundToLong(*first);
    const std::optional<int32_t> lastLong = RoundToLong(*last);
    if (!firstLong || !lastLong) {
        return request;
    }
    request.kind = RangeRequest::Kind::Range;
    request.first = *firstLong;
    request.last = *lastLong;
    return request;
}

} // namespace tessaline
