// SPDX-License-Identifier: MIT
// CTessalinePropPage: the control's one property page and its dialog description.

#include "CTessalinePropPage.h"

#include "ModuleData.h"
#include "TessalineIds.h"

#include <array>

namespace tessaline {

namespace {

constexpr std::array<TsDialogText, 1> kTexts{{
    {7, 25, 229, 16,
     "TODO: Place controls to manipulate properties of Tessaline Control on this dialog."},
}};

} // namespace

const TsPropertyPageInfo& CTessalinePropPage::Description() {
    static const TsPropertyPageInfo page{LoadResourceString(kIdsTessalinePpgCaption),
                                         kIddPropPageTessaline,
                                         250,
                                         62,
                                         "MS Sans Serif",
                                         8,
                                         kTexts.size(),
                                         kTexts.data()};
    return page;
}

} // namespace tessaline
