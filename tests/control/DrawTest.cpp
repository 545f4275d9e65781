// SPDX-License-Identifier: MIT
// What the control paints into the surface its host lends it.

#include "ControlTesting.h"

#include <string>
#include <vector>

namespace tessaline {
namespace {

using test::Control;

// Records every drawing call in order.
struct RecordingSurface {
    struct Call {
        std::string what;
        TsRect rect{};
        int32_t x = 0;
        int32_t y = 0;
        uint32_t colour = 0;
        uint32_t back = 0;
    };
    std::vector<Call> calls;

    TsSurface Abi() {
        return TsSurface{this,
                         [](void* context, TsRect rect, uint32_t colour) {
                             static_cast<RecordingSurface*>(context)->calls.push_back(
                                 {"fill", rect, 0, 0, colour, 0});
                         },
                         [](void* context, int32_t x, int32_t y, const char* text,
                            uint32_t textColour, uint32_t backColour) {
                             static_cast<RecordingSurface*>(context)->calls.push_back(
                                 {text, {}, x, y, textColour, backColour});
                         }};
    }
};

constexpr uint32_t kGrey = 0xC0C0C0;

TEST(Drawing, FillsTheRectangleGreyAndWritesTheCaptionTwoPixelsIn) {
    const Control control;
    // A rectangle anywhere, and one smaller than the text: the control never
    // clips, that is the host's business.
    for (const TsRect bounds :
         {TsRect{0, 0, 120, 30}, TsRect{10, 20, 110, 60}, TsRect{-5, -5, 3, 3}}) {
        RecordingSurface surface;
        const TsSurface abi = surface.Abi();
        ASSERT_EQ(control->Draw(control.get(), &abi, bounds), TS_S_OK);
        ASSERT_EQ(surface.calls.size(), 2u);
        const auto& fill = surface.calls[0];
        EXPECT_EQ(fill.what, "fill");
        EXPECT_EQ(std::vector<int32_t>(
                      {fill.rect.left, fill.rect.top, fill.rect.right, fill.rect.bottom}),
                  std::vector<int32_t>({bounds.left, bounds.top, bounds.right, bounds.bottom}));
        EXPECT_EQ(fill.colour, kGrey);
        const auto& text = surface.calls[1];
        EXPECT_EQ(text.what, "Tessaline Download");
        EXPECT_EQ(text.x, bounds.left + 2);
        EXPECT_EQ(text.y, bounds.top + 2);
        EXPECT_EQ(text.colour, 0u);
        EXPECT_EQ(text.back, kGrey);
    }
}

TEST(Drawing, RefusesASurfaceItCannotDrawOn) {
    const Control control;
    RecordingSurface surface;
    TsSurface noText = surface.Abi();
    noText.DrawText = nullptr;
    EXPECT_EQ(control->Draw(control.get(), nullptr, TsRect{0, 0, 10, 10}), TS_E_POINTER);
    EXPECT_EQ(control->Draw(control.get(), &noText, TsRect{0, 0, 10, 10}), TS_E_POINTER);
    EXPECT_TRUE(surface.calls.empty());
}

} // namespace
} // namespace tessaline
