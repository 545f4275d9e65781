// SPDX-License-Identifier: MIT
// Where a host finds the control library to register: built beside it or installed.
#include "platform/component/FirstRunRegistration.h"

#include <system_error>

namespace tessaline {

namespace {

std::filesystem::path SelfPath(const ControlLibraries& libraries) {
    return libraries.self.empty() ? ThisProgramPath() : libraries.self;
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
    return !rel.empty() && *rel.begin() != "..";
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

} // namespace tessaline
