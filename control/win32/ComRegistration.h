// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>
#include <windows.h>

namespace tessaline::com {

// One string value under HKEY_CLASSES_ROOT; an empty name is the key's default value.
struct RegistryValue {
    std::wstring key;
    std::wstring name;
    std::wstring text;
};

// What class registration records for the control and its property page,
// for a library at `modulePath`, in the order it is written.
std::vector<RegistryValue> TessalineClassValues(const std::wstring& modulePath,
                                                const std::wstring& controlName,
                                                const std::wstring& propPageName);

// The keys, with everything below them, that class registration adds.
std::vector<std::wstring> TessalineClassKeys();

// DllRegisterServer: the type library from the module's resource, then both
// classes. S_OK, SELFREG_E_TYPELIB or SELFREG_E_CLASS.
HRESULT RegisterTessaline();

// DllUnregisterServer: type library 1.0, then both classes, each removed
// whatever else is missing. S_OK once nothing of ours is left (also when
// nothing was registered); SELFREG_E_TYPELIB or SELFREG_E_CLASS for what
// stays.
HRESULT UnregisterTessaline();

} // namespace tessaline::com
