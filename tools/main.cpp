// SPDX-License-Identifier: MIT
#include "Cli.h"
#include "platform/HostSystem.h"
#include "platform/SystemSpooler.h"
#include "platform/UserFolders.h"

#include <iostream>

int main(int argc, char** argv) {
    tessaline::ShowNarrowTextOnConsole();
    const tessaline::Result<std::vector<std::string>> args =
        tessaline::ProgramArguments(argc, argv);
    if (!args) {
        std::cerr << "tessaline-cli: " << args.Reason() << "\n";
        return tessaline::kExitWrongUse;
    }
    const tessaline::CliEnvironment env{
        tessaline::MakeSystemQueues(), tessaline::TessalineDataHome(),
        tessaline::ControlLibraries{TESSALINE_BUILD_TREE,
                                    TESSALINE_BUILT_CONTROL,
                                    TESSALINE_INSTALLED_CONTROL,
                                    TESSALINE_INSTALLED_CONTROL_RELATIVE,
                                    {}}};
    return tessaline::RunCli(args.Value(), env, std::cout, std::cerr);
}
