// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace tessaline {

// Loads a component library and runs its DllRegisterServer (or, with
// `unregister`, DllUnregisterServer), as regsvr32 does. Returns false with a
// reason in `error` when the library cannot be loaded, lacks the entry point
// or reports failure.
bool RegisterLibrary(const std::filesystem::path& library, bool unregister, std::string& error);

} // namespace tessaline
