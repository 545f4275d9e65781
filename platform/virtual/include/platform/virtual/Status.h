#pragma once

#include <string>
#include <utility>

namespace tessaline {

// Success, or the reason an operation on a virtual printer failed.
struct Status {
    bool ok = true;
    std::string reason;

    static Status Fail(std::string why) { return Status{false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

} // namespace tessaline
