// SPDX-License-Identifier: MIT
#include "platform/component/FirstRunRegistration.h"

#include "platform/component/ComponentRegistry.h"
#include "platform/component/LibraryRegistration.h"

#include <system_error>

namespace tessaline {

std::filesystem::path ThisProgramPath() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

std::string RegisterOnFirstRun(const std::string& progId, const ControlLibraries& libraries) {
    if (libraries.RunFromBuildTree()) {
        return {};
    }
    ComponentRegistry registry;
    const auto entry = registry.FindClassByProgId(progId);
    if (!registry.Error().empty()) {
        return {}; // the host reports the unreadable registry when it looks the class up
    }
    std::error_code ec;
    if (entry && !entry->libraryPath.empty() &&
        std::filesystem::is_regular_file(entry->libraryPath, ec)) {
        return {};
    }
    const auto installed = libraries.Installed();
    if (installed.empty()) {
        return {}; // nothing to register; the host says what is missing
    }
    if (const Result<void> registered = RegisterLibrary(installed, false); !registered) {
        return "cannot register the installed control: " + registered.Reason();
    }
    std::string note = "registered the Tessaline control " + installed.string() + " for this user";
    if (entry) {
        note += " (the one registered before, " + entry->libraryPath + ", is gone)";
    }
    return note;
}

} // namespace tessaline
