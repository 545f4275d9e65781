// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"

#include <filesystem>

namespace tessaline {

// Loads a component library and runs its DllRegisterServer (or, with
// `unregister`, DllUnregisterServer), as regsvr32 does. Fails with the reason
// when the library cannot be loaded, lacks the entry point or reports failure.
Result<void> RegisterLibrary(const std::filesystem::path& library, bool unregister);

} // namespace tessaline
