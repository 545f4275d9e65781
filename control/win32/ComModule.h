// SPDX-License-Identifier: MIT
#pragma once

#include <objbase.h>
#include <string>
#include <windows.h>

namespace tessaline::com {

// The library's module handle, set when the loader attaches it.
HINSTANCE ModuleHandle();
void SetModuleHandle(HINSTANCE module);

// Objects and server locks that keep the library loaded (DllCanUnloadNow).
void AddModuleReference();
void ReleaseModuleReference();
bool ModuleInUse();

// One of those references, for an object's life.
class ModuleReference {
public:
    ModuleReference() { AddModuleReference(); }
    ~ModuleReference() { ReleaseModuleReference(); }
    ModuleReference(const ModuleReference&) = delete;
    ModuleReference& operator=(const ModuleReference&) = delete;
};

// The library's own full path, as the registry records it; empty on failure.
std::wstring ModulePath();

// String resource `id` of the library; empty when it has none.
std::wstring LoadModuleString(UINT id);

// A CoTaskMem copy of `text`, as COM hands strings to its callers; null
// when there is no memory for it.
LPOLESTR TaskString(const std::wstring& text);

} // namespace tessaline::com
