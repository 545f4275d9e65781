// SPDX-License-Identifier: MIT
#pragma once

#include <cerrno>
#include <string>
#include <string_view>
#include <system_error>

namespace tessaline {

// "what: system error text" for the last failed system call.
inline std::string SystemError(std::string_view what) {
    return std::string(what) + ": " + std::generic_category().message(errno);
}

} // namespace tessaline
