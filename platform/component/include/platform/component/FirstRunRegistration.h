// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>

namespace tessaline {

// Where the control library is: the one built beside the host, or the
// installed one.
struct ControlLibraries {
    std::filesystem::path buildTree;        // the build folder the host came from
    std::filesystem::path builtLibrary;     // the control library of that build
    std::filesystem::path installedLibrary; // where installing puts it, as configured
    // The installed library relative to the installed host's folder
    // ("../lib/libtessaline-control.so"), which still holds when the whole
    // prefix has moved: a package unpacked elsewhere, or installed under
    // another prefix than the build was configured with.
    std::filesystem::path installedRelative;
    std::filesystem::path self; // the host's own path; empty: ThisProgramPath()

    // True when the host runs from inside the build folder it was built in.
    bool RunFromBuildTree() const;
    // The installed library that exists: beside the host's prefix first, then
    // the configured path. Empty when neither exists.
    std::filesystem::path Installed() const;
    // The library `register` takes when none is named.
    std::filesystem::path Default() const;
};

// The running program's own file; empty when the system cannot say.
std::filesystem::path ThisProgramPath();

// Registers the installed control library for this user when `progId` is not
// registered yet, or names a library that no longer exists: the registry is
// per user, so a package cannot register for everyone when it installs. A
// host run from its build tree leaves the registry to the build. Returns what
// it did or why it could not, for the user to read; empty when nothing was
// needed or nothing could be done.
// On Windows the control is registered for the whole system (regsvr32, the
// installer), so there is no first run and this returns empty.
std::string RegisterOnFirstRun(const std::string& progId, const ControlLibraries& libraries);

} // namespace tessaline
