// SPDX-License-Identifier: MIT
#pragma once

#include "CTessalineCtrl.h"
#include "tessaline/tessaline_component.h"

#include <cstdint>

namespace tessaline {

// The dispatch table of _DTessaline: binds the host's arguments to member
// `dispid` and calls it. A string result is allocated for the host, which
// frees it with FreeDispatchString. Errors come back as dispatch results;
// the method's own outcome is always its result value.
TsResult InvokeDispatch(CTessalineCtrl& control, int32_t dispid, const TsVariant* args,
                        uint32_t argc, TsVariant* result);

// Frees a string InvokeDispatch handed out.
void FreeDispatchString(char* text);

} // namespace tessaline
