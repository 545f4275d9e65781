#pragma once

#include <string>
#include <utility>

namespace tessaline {

// Success, or the reason an operation of the program failed.
struct AppStatus {
    bool ok = true;
    std::string reason;

    static AppStatus Fail(std::string why) { return AppStatus{false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

} // namespace tessaline
