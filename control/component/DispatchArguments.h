// SPDX-License-Identifier: MIT
#pragma once

#include "tessaline/tessaline_component.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaline {

// The host's arguments read as a member declares its parameters. 16- and
// 32-bit integers stand in for each other where the value fits; a reference
// where a value is declared is read as that value; a declared out parameter
// must be a reference to a 32-bit integer.
class DispatchArguments {
public:
    // TS_S_OK, or TS_DISP_E_BADPARAMCOUNT / TS_DISP_E_TYPEMISMATCH / TS_E_POINTER.
    TsResult Bind(const TsMemberInfo& member, const TsVariant* args, uint32_t argc);

    int32_t I4(size_t index) const { return m_values.at(index).number; }
    int16_t I2(size_t index) const { return static_cast<int16_t>(m_values.at(index).number); }
    const std::string& Str(size_t index) const { return m_values.at(index).text; }
    // Where an out parameter's value goes back to the host.
    int32_t* OutI4(size_t index) const { return m_values.at(index).out; }
    // The position (0-based) of the argument Bind refused.
    uint32_t RefusedPosition() const { return m_refused; }

private:
    struct Value {
        int32_t number = 0;
        std::string text;
        int32_t* out = nullptr;
    };
    std::vector<Value> m_values;
    uint32_t m_refused = 0;
};

} // namespace tessaline
