#include "platform/UserFolders.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace tessaline {
namespace {

TEST(UserFolders, OneRuleForEveryFolder) {
    struct Case {
        const char* xdg;
        const char* home;
        const char* account; // the password database's home folder
        const char* underHome;
        const char* folder;
    };
    const Case cases[] = {
        {"/x/config", "/home/someone", "/home/account", ".config", "/x/config"},
        {"", "/home/someone", "/home/account", ".config", "/home/someone/.config"},
        {"relative/config", "/home/someone", "", ".config", "/home/someone/.config"},
        {"", "", "/home/account", ".local/share", "/home/account/.local/share"},
        {"", "", "", ".config", "/.config"},
        {"relative/data", "", "", ".local/share", "/.local/share"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(XdgFolder(c.xdg, c.home, c.account, c.underHome), c.folder)
            << "XDG \"" << c.xdg << "\", HOME \"" << c.home << "\", account \"" << c.account
            << "\"";
    }
}

TEST(UserFolders, TessalinesFoldersFollowXdgElseHome) {
    struct Case {
        const char* xdg; // both variables; nullptr: unset
        const char* home;
        const char* config;
        const char* data;
    };
    const Case cases[] = {
        {"/x", "/home/u", "/x/tessaline", "/x/tessaline"},
        {nullptr, "/home/u", "/home/u/.config/tessaline", "/home/u/.local/share/tessaline"},
        {"", "/home/u", "/home/u/.config/tessaline", "/home/u/.local/share/tessaline"},
        {"relative/dir", "/home/u", "/home/u/.config/tessaline", "/home/u/.local/share/tessaline"},
    };
    const char* const variables[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"};
    std::optional<std::string> saved[3];
    for (size_t v = 0; v < 3; ++v) {
        if (const char* old = std::getenv(variables[v])) {
            saved[v] = old;
        }
    }
    for (const Case& c : cases) {
        for (const char* xdg : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            c.xdg ? ::setenv(xdg, c.xdg, 1) : ::unsetenv(xdg);
        }
        ::setenv("HOME", c.home, 1);
        EXPECT_EQ(TessalineConfigHome(), c.config) << (c.xdg ? c.xdg : "(unset)");
        EXPECT_EQ(TessalineDataHome(), c.data) << (c.xdg ? c.xdg : "(unset)");
    }
    for (size_t v = 0; v < 3; ++v) {
        saved[v] ? ::setenv(variables[v], saved[v]->c_str(), 1) : ::unsetenv(variables[v]);
    }
}

} // namespace
} // namespace tessaline
