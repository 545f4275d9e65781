// SPDX-License-Identifier: MIT
#include "platform/HostSystem.h"

#include "platform/UserFolders.h"
#include "tests/support/Environment.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace tessaline {
namespace {

TEST(CodePage, KoreanLocalesAre949WhateverTheCharacterSet) {
    for (const char* locale : {"ko_KR.UTF-8", "ko_KR.eucKR", "ko_KR", "ko_KR.utf8@euro", "ko"}) {
        EXPECT_EQ(CodePageForLocale(locale), 949) << locale;
    }
}

TEST(CodePage, OtherLocalesTakeTheirLanguagesPage) {
    struct Case {
        const char* locale;
        int32_t codePage;
    };
    const Case cases[] = {
        {"en_US.UTF-8", 1252},
        {"de_DE.UTF-8", 1252},
        {"fr_FR@euro", 1252},
        {"C", 1252},
        {"POSIX", 1252},
        {"C.UTF-8", 1252},
        {"ja_JP.UTF-8", 932},
        {"zh_CN.UTF-8", 936},
        {"zh_TW.Big5", 950},
        {"ru_RU.KOI8-R", 1251},
        {"pl_PL", 1250},
        {"el_GR", 1253},
        {"tr_TR", 1254},
        {"he_IL", 1255},
        {"ar_EG", 1256},
        {"lt_LT", 1257},
        {"vi_VN", 1258},
        {"th_TH", 874},
        {"sr_RS@latin", 1250},
        {"kok_IN", 1252},
        {"", 1252},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CodePageForLocale(c.locale), c.codePage) << c.locale;
    }
}

TEST(CodePage, FirstSetVariableDecidesAsPosixOrdersThem) {
    struct Case {
        std::map<std::string, std::string> env;
        std::string locale;
    };
    const Case cases[] = {
        {{{"LC_ALL", "ko_KR.UTF-8"}, {"LC_CTYPE", "en_US"}, {"LANG", "de_DE"}}, "ko_KR.UTF-8"},
        {{{"LC_ALL", ""}, {"LC_CTYPE", "ko_KR"}, {"LANG", "en_US"}}, "ko_KR"},
        {{{"LANG", "ja_JP.UTF-8"}}, "ja_JP.UTF-8"},
        {{{"LC_MESSAGES", "ko_KR"}}, "C"},
        {{}, "C"},
    };
    for (const Case& c : cases) {
        const auto lookup = [&c](const char* name) -> const char* {
            auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        };
        EXPECT_EQ(CharacterLocale(lookup), c.locale);
    }
}

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
    test::ScopedEnvironment environment;
    for (const Case& c : cases) {
        for (const char* xdg : {"XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            c.xdg ? environment.Set(xdg, c.xdg) : environment.Unset(xdg);
        }
        environment.Set("HOME", c.home);
        EXPECT_EQ(TessalineConfigHome(), c.config) << (c.xdg ? c.xdg : "(unset)");
        EXPECT_EQ(TessalineDataHome(), c.data) << (c.xdg ? c.xdg : "(unset)");
    }
}

} // namespace
} // namespace tessaline
