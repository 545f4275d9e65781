// SPDX-License-Identifier: MIT
// clsFile: one chosen logo file (path, title, NV size in bytes, height, width).
#pragma once

#include <cstdint>
#include <string>

namespace tessaline {

// One chosen logo file.
struct clsFile {
    std::string mstrFileName;  // full path
    std::string mstrFileTitle; // the name without its folder
    int32_t mlngSize = 0;      // bytes the image takes in the printer's NV memory
    int32_t mlngHeight = 0;    // dots
    int32_t mlngWidth = 0;     // dots
};

} // namespace tessaline
