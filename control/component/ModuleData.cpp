// SPDX-License-Identifier: MIT
#include "ModuleData.h"

#include "TessalineIds.h"
#include "ToolboxBitmap.h"

#include <array>

namespace tessaline {

namespace {

constexpr std::array<TsStringResource, 3> kStrings{{
    {kIdsTessaline, "Tessaline Control"},
    {kIdsTessalinePpg, "Tessaline Property Page"},
    {kIdsTessalinePpgCaption, "General"},
}};

constexpr TsModuleInfo kModuleInfo{TS_COMPONENT_ABI_VERSION,
                                   {1, 0, 0, 1},
                                   {1, 0, 0, 1},
                                   "Tessaline ActiveX Control Module",
                                   "Tessaline ActiveX Control Module",
                                   1,
                                   kStrings.size(),
                                   kStrings.data(),
                                   kToolboxBitmap.data(),
                                   kToolboxBitmap.size()};

} // namespace

const TsModuleInfo& TessalineModuleInfo() {
    return kModuleInfo;
}

const char* LoadResourceString(int32_t id) {
    for (const TsStringResource& entry : kStrings) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return nullptr;
}

} // namespace tessaline
