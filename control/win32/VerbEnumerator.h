// SPDX-License-Identifier: MIT
#pragma once

#include <oleidl.h>

namespace tessaline::com {

// IEnumOLEVERB over the control's verbs, for IOleObject::EnumVerbs: the one
// verb of its own, "&Properties...", which hosts put on the control's menu.
HRESULT CreateVerbEnumerator(IEnumOLEVERB** verbs);

} // namespace tessaline::com
