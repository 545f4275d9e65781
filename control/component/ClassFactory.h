// SPDX-License-Identifier: MIT
#pragma once

#include "tessaline/tessaline_component.h"

namespace tessaline {

// The class object of the Tessaline control, found by its class identifier
// (any case of the hexadecimal digits) or by its ProgID. One reference for
// the caller. TS_CLASS_E_CLASSNOTAVAILABLE for any other name: the property
// page is described by the control itself, not created by class.
TsResult GetTessalineClassObject(const char* name, TsClassFactory** factory);

} // namespace tessaline
