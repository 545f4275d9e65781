#pragma once

#include <string>
#include <utility>
#include <variant>

namespace tessaline {

// A value, or the reason it could not be produced.
template <typename T> class Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    static Result Fail(std::string reason) { return Result(Error{std::move(reason)}); }

    bool Ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return Ok(); }
    const T& Value() const& { return std::get<T>(m_state); }
    T& Value() & { return std::get<T>(m_state); }
    T&& Value() && { return std::get<T>(std::move(m_state)); }
    const std::string& Reason() const { return std::get<Error>(m_state).reason; }

private:
    struct Error {
        std::string reason;
    };
    explicit Result(Error e) : m_state(std::move(e)) {}
    std::variant<T, Error> m_state;
};

} // namespace tessaline
