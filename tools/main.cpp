#include "Cli.h"
#include "platform/SystemSpooler.h"
#include "platform/UserFolders.h"

#include <iostream>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const tessaline::CliEnvironment env{
        tessaline::MakeSystemQueues(), tessaline::TessalineDataHome(),
        tessaline::ControlLibraries{TESSALINE_BUILD_TREE,
                                    TESSALINE_BUILT_CONTROL,
                                    TESSALINE_INSTALLED_CONTROL,
                                    TESSALINE_INSTALLED_CONTROL_RELATIVE,
                                    {}}};
    return tessaline::RunCli(args, env, std::cout, std::cerr);
}
