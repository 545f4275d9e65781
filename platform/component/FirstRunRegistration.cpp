#include "platform/component/FirstRunRegistration.h"

#include "platform/component/ComponentRegistry.h"
#include "platform/component/LibraryRegistration.h"

#include <system_error>

namespace tessaline {

namespace {

std::filesystem::path SelfPath(const ControlLibraries& libraries) {
    if (!libraries.self.empty()) {
        return libraries.self;
    }
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

} // namespace

bool ControlLibraries::RunFromBuildTree() const {
    if (buildTree.empty() || builtLibrary.empty()) {
        return false;
    }
    const auto exe = SelfPath(*this);
    if (exe.empty()) {
        return false;
    }
    const auto rel = exe.lexically_relative(buildTree);
    return !rel.empty() && rel.native().rfind("..", 0) != 0;
}

std::filesystem::path ControlLibraries::Installed() const {
    std::error_code ec;
    if (!installedRelative.empty()) {
        const auto exe = SelfPath(*this);
        if (!exe.empty()) {
            const auto beside = (exe.parent_path() / installedRelative).lexically_normal();
            if (std::filesystem::is_regular_file(beside, ec)) {
                return beside;
            }
        }
    }
    if (!installedLibrary.empty() && std::filesystem::is_regular_file(installedLibrary, ec)) {
        return installedLibrary;
    }
    return {};
}

std::filesystem::path ControlLibraries::Default() const {
    // A host run from the build tree takes the library built beside it.
    if (RunFromBuildTree()) {
        return builtLibrary;
    }
    const auto installed = Installed();
    return installed.empty() ? installedLibrary : installed;
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
    std::string error;
    if (!RegisterLibrary(installed, false, error)) {
        return "cannot register the installed control: " + error;
    }
    std::string note = "registered the Tessaline control " + installed.string() + " for this user";
    if (entry) {
        note += " (the one registered before, " + entry->libraryPath + ", is gone)";
    }
    return note;
}

} // namespace tessaline
