// SPDX-License-Identifier: MIT
#pragma once

#include "tessaline/tessaline_component.h"

#include <new>

namespace tessaline {

// Runs `body` at the ABI boundary, where no exception may pass: one that
// escapes becomes a failure result.
template <typename Body> TsResult AtBoundary(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return TS_E_OUTOFMEMORY;
    } catch (...) {
        return TS_E_FAIL;
    }
}

} // namespace tessaline
