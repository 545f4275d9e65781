// SPDX-License-Identifier: MIT
#pragma once

#include "platform/win32/ComOwners.h"
#include "tessaline/tessaline_component.h"

#include <deque>
#include <oaidl.h>
#include <string>
#include <vector>

namespace tessaline::win32 {

// A COM type library described as the component ABI describes one (its
// dispatch interfaces with their members and parameters, and its classes),
// so a host prints or checks it the same way on every system. The
// description owns its strings and lives as long as this object.
class ComTypeDescription {
public:
    ComTypeDescription() = default;
    ComTypeDescription(const ComTypeDescription&) = delete;
    ComTypeDescription& operator=(const ComTypeDescription&) = delete;

    // Reads `library`; false when a part of it cannot be read.
    bool Read(ITypeLib* library);
    const TsTypeLibInfo& Info() const { return m_info; }

private:
    const char* Keep(const Bstr& text);
    const char* Keep(std::string text);
    bool ReadInterface(ITypeInfo* type, TsInterfaceInfo& itf, std::vector<TsMemberInfo>& members,
                       std::vector<TsParamInfo>& params);
    bool ReadClass(ITypeInfo* type, TsClassInfo& cls, std::vector<std::string>& sources);

    std::deque<std::string> m_strings; // stays put as it grows
    std::deque<std::vector<TsParamInfo>> m_params;
    std::deque<std::vector<TsMemberInfo>> m_members;
    std::vector<TsInterfaceInfo> m_interfaces;
    std::vector<TsClassInfo> m_classes;
    TsTypeLibInfo m_info{};
};

} // namespace tessaline::win32
