#include "Cli.h"
#include "platform/UserFolders.h"
#include "platform/cups/CupsBackend.h"

#include <iostream>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const tessaline::CliEnvironment env{
        std::make_shared<tessaline::CupsBackend>(), tessaline::TessalineDataHome(),
        tessaline::ControlLibraries{TESSALINE_BUILD_TREE,
                                    TESSALINE_BUILT_CONTROL,
                                    TESSALINE_INSTALLED_CONTROL,
                                    TESSALINE_INSTALLED_CONTROL_RELATIVE,
                                    {}}};
    return tessaline::RunCli(args, env, std::cout, std::cerr);
}
