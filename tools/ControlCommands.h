#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tessaline {

struct CliEnvironment;

// Where the control library is: the one built beside this tool, or the
// installed one.
struct ControlLibraries {
    std::filesystem::path buildTree;    // the build folder this tool came from
    std::filesystem::path builtLibrary; // the control library of that build
    std::filesystem::path installedLibrary;
    // The library `register` takes when none is named.
    std::filesystem::path Default() const;
};

// register, unregister, info, preview, upload, print, erase, describe.
bool IsControlCommand(const std::string& command);

// Runs one of them; `args` start after the command word.
int RunControlCommand(const std::string& command, const std::vector<std::string>& args,
                      const CliEnvironment& env, std::ostream& out, std::ostream& err);

} // namespace tessaline
