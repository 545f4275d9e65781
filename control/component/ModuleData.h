// SPDX-License-Identifier: MIT
#pragma once

#include "tessaline/tessaline_component.h"

#include <cstdint>

namespace tessaline {

// The library's strings, version data and toolbox bitmap.
const TsModuleInfo& TessalineModuleInfo();

// String resource `id`; null when the library has no such string.
const char* LoadResourceString(int32_t id);

} // namespace tessaline
