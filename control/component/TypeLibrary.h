// SPDX-License-Identifier: MIT
#pragma once

#include "tessaline/tessaline_component.h"

#include <cstdint>
#include <string_view>

namespace tessaline {

// TESSALINELib 1.0: the interfaces and the class as hosts read them at run time.
const TsTypeLibInfo& TessalineTypeLib();

// A member of _DTessaline by identifier, or by name compared without regard
// to case (ASCII); null when there is none.
const TsMemberInfo* FindDispatchMember(int32_t dispid);
const TsMemberInfo* FindDispatchMember(std::string_view name);

} // namespace tessaline
