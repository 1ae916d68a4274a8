// The right-hand panel's layout toggle and the CTL marker it keeps across runs.
#include "app/PanelLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(PanelLayoutTest, ToggleShrinksAndGrowsInStepsOfTwo)
{
    const PanelToggle shrink = ToggleDataListLayout("1", 300);
    EXPECT_EQ(shrink.listHeight, 276);
    EXPECT_EQ(shrink.shift, -24);
    EXPECT_EQ(shrink.marker, "2");
    EXPECT_EQ(shrink.ctlPicture, "image\\Tree-tit-ic02.bmp");
    EXPECT_EQ(shrink.fileInfoPicture, "image\\Tree-tit02-3.bmp");

    EXPECT_EQ(ToggleDataListLayout("", 300).listHeight, 276);  // a missing CTL counts as "1"

    const PanelToggle grow = ToggleDataListLayout("2", 276);
    EXPECT_EQ(grow.listHeight, 482);  // the note box keeps 1 pixel: 523 - 20 - 482 - 20
    EXPECT_EQ(grow.shift, 206);
    EXPECT_EQ(grow.marker, "1");
    EXPECT_EQ(grow.ctlPicture, "image\\Tree-tit-ic01.bmp");
    EXPECT_EQ(grow.fileInfoPicture, "image\\Tree-tit02-2.bmp");
}

TEST(PanelLayoutTest, CtlRoundTripsThroughCloseAndNextStart)
{
    // Whatever layout is on screen at close, the next start's single toggle brings it back.
    for (const int onScreen : {276, 482}) {
        const QString stored = CtlAtClose(onScreen);
        const PanelToggle next = ToggleDataListLayout(stored, PanelLayout::kDesignListHeight);
        EXPECT_EQ(next.listHeight, onScreen) << onScreen;
        EXPECT_EQ(CtlAtClose(next.listHeight), stored);
    }
    EXPECT_EQ(CtlAtClose(482), "2");
    EXPECT_EQ(CtlAtClose(277), "1");  // the boundary: 523 - 224 - 20 - 2 = 277 is not tall
    EXPECT_EQ(CtlAtClose(278), "2");
}

TEST(PanelLayoutTest, ToggleLooksFollowTheListHeight)
{
    const CtlLooks shortList = CtlLooksFor(276);
    EXPECT_EQ(shortList.normal, "image\\Tree-tit-ic02.bmp");
    EXPECT_EQ(shortList.hovered, "image\\Tree-tit-ic02-1.bmp");
    EXPECT_EQ(shortList.pressed, "image\\Tree-tit-ic02-2.bmp");
    const CtlLooks tallList = CtlLooksFor(482);
    EXPECT_EQ(tallList.normal, "image\\Tree-tit-ic01.bmp");
    EXPECT_EQ(tallList.pressed, "image\\Tree-tit-ic01-2.bmp");
    const CtlLooks design = CtlLooksFor(300);  // between: short looks, tall pressed look
    EXPECT_EQ(design.normal, "image\\Tree-tit-ic02.bmp");
    EXPECT_EQ(design.pressed, "image\\Tree-tit-ic01-2.bmp");
}

}  // namespace
