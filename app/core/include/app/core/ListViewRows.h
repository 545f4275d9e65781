// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

namespace tessaline {

// The rows of a list view in report view, as the file list fills them.
class ListViewRows {
public:
    virtual ~ListViewRows() = default;
    virtual void ClearRows() = 0;
    // Adds a row at the 1-based `index` with its text and the texts of sub-items 1 and 2.
    virtual void AddRow(int32_t index, const std::string& text, const std::string& subItem1,
                        const std::string& subItem2) = 0;
};

} // namespace tessaline
