// SPDX-License-Identifier: MIT
#include "platform/HostSystem.h"

#include <array>

namespace tessaline {

namespace {

struct LanguagePage {
    std::string_view language;
    int32_t codePage;
};

// Languages whose Windows ANSI page is not 1252.
constexpr std::array kLanguagePages{
    LanguagePage{"ko", 949},  LanguagePage{"ja", 932},  LanguagePage{"th", 874},
    LanguagePage{"cs", 1250}, LanguagePage{"hu", 1250}, LanguagePage{"pl", 1250},
    LanguagePage{"ro", 1250}, LanguagePage{"hr", 1250}, LanguagePage{"sk", 1250},
    LanguagePage{"sl", 1250}, LanguagePage{"sq", 1250}, LanguagePage{"bs", 1250},
    LanguagePage{"ru", 1251}, LanguagePage{"uk", 1251}, LanguagePage{"be", 1251},
    LanguagePage{"bg", 1251}, LanguagePage{"mk", 1251}, LanguagePage{"sr", 1251},
    LanguagePage{"kk", 1251}, LanguagePage{"ky", 1251}, LanguagePage{"mn", 1251},
    LanguagePage{"tt", 1251}, LanguagePage{"el", 1253}, LanguagePage{"tr", 1254},
    LanguagePage{"az", 1254}, LanguagePage{"uz", 1254}, LanguagePage{"he", 1255},
    LanguagePage{"yi", 1255}, LanguagePage{"ar", 1256}, LanguagePage{"fa", 1256},
    LanguagePage{"ur", 1256}, LanguagePage{"et", 1257}, LanguagePage{"lv", 1257},
    LanguagePage{"lt", 1257}, LanguagePage{"vi", 1258},
};

} // namespace

int32_t CodePageForLocale(std::string_view locale) {
    // language[_territory][.charset][@modifier]
    const size_t end = locale.find_first_of("_.@");
    const std::string_view language = locale.substr(0, end);
    std::string_view territory;
    if (end != std::string_view::npos && locale[end] == '_') {
        const std::string_view rest = locale.substr(end + 1);
        territory = rest.substr(0, rest.find_first_of(".@"));
    }
    if (language == "zh") {
        // Traditional characters in Taiwan, Hong Kong and Macao, simplified elsewhere.
        return territory == "TW" || territory == "HK" || territory == "MO" ? 950 : 936;
    }
    if (language == "sr" && locale.find("@latin") != std::string_view::npos) {
        return 1250;
    }
    for (const LanguagePage& entry : kLanguagePages) {
        if (entry.language == language) {
            return entry.codePage;
        }
    }
    return 1252;
}

std::string CharacterLocale(const EnvironmentLookup& getenv) {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    return "C";
}

} // namespace tessaline
