// SPDX-License-Identifier: MIT
#pragma once

#include "Options.h"
#include "platform/component/FirstRunRegistration.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tessaline {

struct CliEnvironment;

// Their options and help.
const std::vector<CliCommand>& ControlCommandSpecs();

// register, unregister, info, preview, upload, print, erase, describe.
bool IsControlCommand(const std::string& command);

// Runs one of them; `args` start after the command word.
int RunControlCommand(const std::string& command, const std::vector<std::string>& args,
                      const CliEnvironment& env, std::ostream& out, std::ostream& err);

} // namespace tessaline
