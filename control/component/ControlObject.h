// SPDX-License-Identifier: MIT
#pragma once

#include "tessaline/tessaline_component.h"

namespace tessaline {

// A new Tessaline control behind the component ABI, holding one reference
// for the caller.
TsResult CreateControlObject(TsControl** control);

} // namespace tessaline
