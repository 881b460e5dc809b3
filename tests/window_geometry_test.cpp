// The geometry both renderers share: where labels, windows and the focus go.
#include <gtest/gtest.h>

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

TEST(WindowGeometry, WindowsCentreInTheirArea)
{
    EXPECT_EQ(centred({0, 0, 1024, 768}, 400, 300), (PixelRect{312, 234, 400, 300}));
    EXPECT_EQ(centred({100, 50, 101, 100}, 50, 51), (PixelRect{125, 74, 50, 51}));      // odd leftovers round left
    EXPECT_EQ(centred({0, 40, 300, 200}, 500, 400), (PixelRect{-100, -60, 500, 400}));  // larger than its owner
}

}  // namespace
}  // namespace quorvin::platform
