// SPDX-License-Identifier: MIT
#include "LogoMath.h"

#include <gtest/gtest.h>

namespace tessaline {
namespace {

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
