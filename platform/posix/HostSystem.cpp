// SPDX-License-Identifier: MIT
// The host system's code page, program folder and file tests on POSIX systems.
#include "platform/HostSystem.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tessaline {

int32_t EnvironmentCodePage() {
    return CodePageForLocale(CharacterLocale([](const char* name) { return std::getenv(name); }));
}

std::string ExecutableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return std::filesystem::current_path(ec).string();
    }
    return exe.parent_path().string();
}

std::string PathAsText(const std::filesystem::path& path) {
    return path.string();
}

std::string ProgramTextFromSystem(std::string_view text) {
    return std::string(text);
}

bool CanCreateFileIn(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool PathIsFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

Result<void> RemoveFileIfPresent(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return Result<void>::Fail("cannot delete " + path + ": " +
                                  std::generic_category().message(errno));
    }
    return {};
}

Result<std::vector<std::string>> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void ShowNarrowTextOnConsole() {}

void UseBinaryStandardOutput() {}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace tessaline
