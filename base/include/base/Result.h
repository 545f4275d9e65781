// SPDX-License-Identifier: MIT
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace tessaline {

template <typename T> class Result;

// The code of a failure that was given none. A caller that reports result
// codes (the control's methods do) gives each failure its own, and a failure
// handed on keeps the one it has (Result::FailAs). No method returns this
// code: one that reaches a method's boundary without a code is given the
// method's own there (CodeOr), so it is never mistaken for a failure that
// has a meaning of its own, such as -1, no memory for the driver record. 0
// is no failure's code, and a failure given 0 carries this one, so that no
// caller handing the code on reports it as a success.
inline constexpr int32_t kUncodedFailure = -1000;

// `code`, or kUncodedFailure in place of 0.
constexpr int32_t FailureCode(int32_t code) {
    return code != 0 ? code : kUncodedFailure;
}

template <typename T> inline constexpr bool kIsResult = false;
template <typename T> inline constexpr bool kIsResult<Result<T>> = true;

// A value, or the reason it could not be produced. The reason is words for
// the user ("cannot read /a.bmp: No such file or directory"); each layer
// passes it up, adding in front what it knows. A failure also carries a
// result code, for the callers that hand one on (see Code()).
template <typename T> class [[nodiscard]] Result {
public:
    template <typename U = T>
    requires(std::convertible_to<U&&, T> && !kIsResult<std::remove_cvref_t<U>>) Result(U&& value)
        : m_state(std::in_place_index<0>, std::forward<U>(value)) {}
    // The same success or failure with a value of another type that converts,
    // such as a pointer to a derived class.
    template <typename U>
    requires(!std::same_as<U, T> && std::convertible_to<U&&, T>) Result(Result<U>&& other)
        : m_state(other.Ok()
                      ? State(std::in_place_index<0>, std::move(other).Value())
                      : State(std::in_place_index<1>, Failure{other.Reason(), other.Code()})) {}
    static Result Fail(std::string reason, int32_t code = kUncodedFailure) {
        return Result(Failure{std::move(reason), FailureCode(code)});
    }
    // The failure `failed` is, with its reason and code, as a result of this type.
    template <typename U> static Result FailAs(const Result<U>& failed) {
        return Fail(failed.Reason(), failed.Code());
    }

    bool Ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return Ok(); }
    const T& Value() const& { return std::get<0>(m_state); }
    T& Value() & { return std::get<0>(m_state); }
    T&& Value() && { return std::get<0>(std::move(m_state)); }
    // The value, or `fallback` for a failure.
    template <typename U> T ValueOr(U&& fallback) const& {
        return Ok() ? Value() : static_cast<T>(std::forward<U>(fallback));
    }
    template <typename U> T ValueOr(U&& fallback) && {
        return Ok() ? std::get<0>(std::move(m_state)) : static_cast<T>(std::forward<U>(fallback));
    }
    // Why it failed; empty for a success.
    const std::string& Reason() const {
        static const std::string kNone;
        return Ok() ? kNone : std::get<1>(m_state).reason;
    }
    // 0 for a success; for a failure the code it was given, kUncodedFailure when none.
    int32_t Code() const { return Ok() ? 0 : std::get<1>(m_state).code; }
    // Code(), with `fallback` for a failure that was given no code.
    int32_t CodeOr(int32_t fallback) const { return Code() == kUncodedFailure ? fallback : Code(); }

private:
    struct Failure {
        std::string reason;
        int32_t code = kUncodedFailure;
    };
    using State = std::variant<T, Failure>;
    explicit Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    State m_state;
};

// Success, or the reason of a failure: Result for what yields no value.
template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    static Result Fail(std::string reason, int32_t code = kUncodedFailure) {
        Result failed;
        failed.m_failed = true;
        failed.m_reason = std::move(reason);
        failed.m_code = FailureCode(code);
        return failed;
    }
    template <typename U> static Result FailAs(const Result<U>& failed) {
        return Fail(failed.Reason(), failed.Code());
    }

    bool Ok() const { return !m_failed; }
    explicit operator bool() const { return Ok(); }
    // Why it failed; empty for a success.
    const std::string& Reason() const { return m_reason; }
    // 0 for a success; for a failure the code it was given, kUncodedFailure when none.
    int32_t Code() const { return m_failed ? m_code : 0; }
    int32_t CodeOr(int32_t fallback) const { return Code() == kUncodedFailure ? fallback : Code(); }

private:
    bool m_failed = false;
    int32_t m_code = 0;
    std::string m_reason;
};

} // namespace tessaline
