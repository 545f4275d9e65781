#include "app/core/HostSystem.h"

#include "LogoMath.h"

#include <gtest/gtest.h>
#include <map>

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

TEST(LogoMath, NvSizeRoundsUpToWholeBytes) {
    struct Case {
        int32_t height, width, size;
    };
    const Case cases[] = {{1, 1, 8},       {8, 8, 8},      {9, 9, 32},
                          {48, 512, 3072}, {50, 100, 728}, {2304, 8184, 2304 / 8 * 8184}};
    for (const Case& c : cases) {
        EXPECT_EQ(NvSize(c.height, c.width), c.size) << c.height << " x " << c.width;
    }
}

TEST(LogoMath, KilobytesRoundHalfToEven) {
    const std::pair<int32_t, int32_t> cases[] = {{0, 0},    {511, 0},  {512, 0},   {513, 1},
                                                 {1536, 2}, {2560, 2}, {3072, 3},  {3584, 4},
                                                 {1535, 1}, {-512, 0}, {-1536, -2}};
    for (const auto& [bytes, kilobytes] : cases) {
        EXPECT_EQ(KilobytesHalfEven(bytes), kilobytes) << bytes;
    }
}

TEST(LogoMath, RangeFollowsTheNvCommandsLimits) {
    EXPECT_TRUE(LogoInRange(1, 1));
    EXPECT_TRUE(LogoInRange(2304, 8184));
    EXPECT_FALSE(LogoInRange(0, 1));
    EXPECT_FALSE(LogoInRange(1, 0));
    EXPECT_FALSE(LogoInRange(2305, 8));
    EXPECT_FALSE(LogoInRange(8, 8185));
    EXPECT_FALSE(LogoInRange(-1, 8));
}

TEST(LogoMath, SliderBrightnessScalesAndRoundsHalfToEven) {
    EXPECT_EQ(SliderBrightness(5, 10), 5);
    EXPECT_EQ(SliderBrightness(10, 10), 10);
    EXPECT_EQ(SliderBrightness(0, 10), 0);
    EXPECT_EQ(SliderBrightness(1, 4), 2); // 2.5 goes to 2
    EXPECT_EQ(SliderBrightness(3, 4), 8); // 7.5 goes to 8
    EXPECT_EQ(SliderBrightness(3, 0), 0);
}

} // namespace
} // namespace tessaline
