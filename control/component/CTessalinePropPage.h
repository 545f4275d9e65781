// SPDX-License-Identifier: MIT
// CTessalinePropPage: the control's one property page and its dialog description.
#pragma once

#include "tessaline/tessaline_component.h"

namespace tessaline {

// The control's one property page, "General". It has no values to exchange;
// the host builds it from this description inside its own property frame.
class CTessalinePropPage {
public:
    // Dialog 200 with its caption, size, font and static text.
    static const TsPropertyPageInfo& Description();
};

} // namespace tessaline
