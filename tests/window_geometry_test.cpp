// The geometry both renderers share: where labels, windows and the focus go.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/window_geometry.h"

namespace quorvin::platform {
namespace {

TEST(WindowGeometry, TwipsRoundToTheNearestPixelHalvesAwayFromZero)
{
    EXPECT_EQ(twipsToPixels(7, 96), 0);   // 0.47
    EXPECT_EQ(twipsToPixels(8, 96), 1);   // 0.53
    EXPECT_EQ(twipsToPixels(45, 48), 2);  // 1.5
    EXPECT_EQ(twipsToPixels(-45, 48), -2);
    EXPECT_EQ(twipsToPixels(4560, 120), 380);
    EXPECT_EQ(twipsToPixels(255, 144), 26);    // 25.5
    EXPECT_EQ(twipsToPixels(1440, 96.5), 97);  // a fractional logical dpi, as X servers report
    EXPECT_EQ(twipsToPixels(1000000, 192), 133333);
}

TEST(WindowGeometry, LabelsWideEnoughKeepTheirBox)
{
    const PixelRect box{10, 20, 100, 17};
    EXPECT_EQ(fitLabel(box, 99, Align::Right, 0, 400), box);  // the text and its last pixel just fit
    EXPECT_EQ(fitLabel(box, 0, Align::Center, 0, 400), box);
}

TEST(WindowGeometry, NarrowLabelsGrowOnTheSideTheirAlignmentLeavesFree)
{
    const PixelRect box{100, 20, 100, 17};
    EXPECT_EQ(fitLabel(box, 130, Align::Left, 0, 400), (PixelRect{100, 20, 131, 17}));
    EXPECT_EQ(fitLabel(box, 130, Align::Right, 0, 400), (PixelRect{69, 20, 131, 17}));
    EXPECT_EQ(fitLabel(box, 130, Align::Center, 0, 400), (PixelRect{85, 20, 131, 17}));
}

TEST(WindowGeometry, GrownLabelsStayInsideTheirContainer)
{
    // Against the right side, then the left side of a frame from 50 to 300.
    EXPECT_EQ(fitLabel({200, 0, 80, 10}, 119, Align::Left, 50, 300), (PixelRect{180, 0, 120, 10}));
    EXPECT_EQ(fitLabel({60, 0, 80, 10}, 119, Align::Right, 50, 300), (PixelRect{50, 0, 120, 10}));
    // A text wider than the whole container starts at its left side.
    EXPECT_EQ(fitLabel({100, 0, 80, 10}, 399, Align::Center, 50, 300), (PixelRect{50, 0, 400, 10}));
}

TEST(WindowGeometry, TabOrderFollowsTabIndexesThenDesignOrderWithUnfocusedControlsLast)
{
    std::vector<ControlDesign> controls(6);
    const int indexes[] = {-1, 2, 0, -1, 2, 1};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        controls[i].tabIndex = indexes[i];
    }
    EXPECT_EQ(tabOrder(controls), (std::vector<std::size_t>{2, 5, 1, 4, 0, 3}));
    EXPECT_TRUE(tabOrder({}).empty());
}

TEST(WindowGeometry, AControlWithoutATabIndexCanFollowAnother)
{
    std::vector<ControlDesign> controls(4);
    const char* const names[] = {"picture", "first", "second", "label"};
    const int indexes[] = {-1, 0, 1, -1};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        controls[i].name = names[i];
        controls[i].tabIndex = indexes[i];
    }
    controls[0].tabAfter = "first";
    EXPECT_TRUE(inTabOrder(controls[0]));
    EXPECT_FALSE(inTabOrder(controls[3]));
    EXPECT_EQ(tabOrder(controls), (std::vector<std::size_t>{1, 0, 2, 3}));
    controls[0].tabAfter = "second";  // the last one
    EXPECT_EQ(tabOrder(controls), (std::vector<std::size_t>{1, 2, 0, 3}));
    controls[0].tabAfter = "missing";
    EXPECT_THROW(tabOrder(controls), std::out_of_range);
}

TEST(WindowGeometry, FocusRingsGoAroundTheBoxAndThickenWithTheScale)
{
    const FocusRing one = focusRingAround({10, 20, 100, 17}, 1);
    EXPECT_EQ(one.outer, (PixelRect{7, 17, 106, 23}));
    EXPECT_EQ(one.thickness, 2);
    EXPECT_EQ(one.gap, 1);
    const FocusRing two = focusRingAround({20, 40, 200, 34}, 2);
    EXPECT_EQ(two.outer, (PixelRect{14, 34, 212, 46}));
    EXPECT_EQ(two.thickness, 4);
    EXPECT_EQ(focusRingAround({0, 0, 1, 1}, 0.5).thickness, 2);  // never thinner than at 1x
}

TEST(WindowGeometry, FocusRingsStandOutFromEveryBackground)
{
    EXPECT_NEAR(contrastRatio({0, 0, 0}, {0xFF, 0xFF, 0xFF}), 21, 1e-9);
    EXPECT_NEAR(contrastRatio({0x80, 0x80, 0x80}, {0x80, 0x80, 0x80}), 1, 1e-9);
    // Black (the About window), Fusion's and Windows' greys, white, and the colours in between.
    const Color backgrounds[] = {{0, 0, 0},          {0xEF, 0xEF, 0xEF}, {0xF0, 0xF0, 0xF0}, {0xFF, 0xFF, 0xFF},
                                 {0xC0, 0xC0, 0xC0}, {0x00, 0x00, 0xFF}, {0x30, 0x30, 0x30}};
    for (const Color& back : backgrounds) {
        EXPECT_GE(contrastRatio(focusRingColor(back), back), 3.0)
            << +back.red << "," << +back.green << "," << +back.blue;
    }
    EXPECT_NE(focusRingColor({0, 0, 0}), focusRingColor({0xF0, 0xF0, 0xF0}));
}

TEST(WindowGeometry, WindowsCentreInTheirArea)
{
    EXPECT_EQ(centred({0, 0, 1024, 768}, 400, 300), (PixelRect{312, 234, 400, 300}));
    EXPECT_EQ(centred({100, 50, 101, 100}, 50, 51), (PixelRect{125, 74, 50, 51}));      // odd leftovers round left
    EXPECT_EQ(centred({0, 40, 300, 200}, 500, 400), (PixelRect{-100, -60, 500, 400}));  // larger than its owner
}

}  // namespace
}  // namespace quorvin::platform
