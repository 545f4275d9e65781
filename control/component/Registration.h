// SPDX-License-Identifier: MIT
#pragma once

#include "platform/component/ComponentRegistry.h"
#include "tessaline/tessaline_component.h"

#include <string>

namespace tessaline {

// The entries registering the library makes, for the library at `libraryPath`.
TypeLibRegistration TessalineTypeLibEntry(const std::string& libraryPath);
ClassRegistration TessalineControlEntry(const std::string& libraryPath);
ClassRegistration TessalinePropPageEntry(const std::string& libraryPath);

// Records the type library, then both classes. TS_S_OK,
// TS_SELFREG_E_TYPELIB or TS_SELFREG_E_CLASS.
TsResult RegisterTessaline(ComponentRegistry& registry, const std::string& libraryPath);
// Removes the type library 1.0, then both classes; the same results.
TsResult UnregisterTessaline(ComponentRegistry& registry);

// The absolute path of this library as loaded; empty when it cannot be found.
std::string ThisLibraryPath();

} // namespace tessaline
