// The viewer's drawing arithmetic: 9/10 shrink steps, centring and tiling.
#include "shell/geometry.h"

#include <gtest/gtest.h>

TEST(ShellGeometry, FitShrinksInNinetenthStepsUntilBothSidesFit) {
    struct {
        int w, h, cw, ch, dw, dh;
    } const cases[] = {
        {1600, 1200, 1000, 700, 849, 636}, // through 1440x1080 ... 944x707
        {100, 100, 250, 120, 100, 100},    // fits: never enlarged
        {1000, 700, 1000, 700, 1000, 700}, // exactly the client size fits
        {1001, 700, 1000, 700, 900, 630},  // one pixel too wide: one step
        {10, 5000, 800, 600, 0, 543},      // the narrow side shrinks with the tall one
        {50, 50, 0, 0, 0, 0},              // an empty client area ends at nothing
        {50, 50, -5, -5, 0, 0},            // negative sizes count as empty
    };
    for (const auto& c : cases) {
        int dw = -1, dh = -1;
        FitByNinetenths(c.w, c.h, c.cw, c.ch, &dw, &dh);
        EXPECT_EQ(dw, c.dw) << c.w << "x" << c.h << " in " << c.cw << "x" << c.ch;
        EXPECT_EQ(dh, c.dh) << c.w << "x" << c.h << " in " << c.cw << "x" << c.ch;
    }
}

TEST(ShellGeometry, CentringAndTiling) {
    EXPECT_EQ(CentredOrigin(1000, 849), 75);
    EXPECT_EQ(CentredOrigin(700, 636), 32);
    EXPECT_EQ(CentredOrigin(100, 300), -100);
    // 100 x 100 tiles in 250 x 120: columns at 0, 100, 200 and rows at 0, 100.
    EXPECT_EQ(TileCopies(250, 100), 3);
    EXPECT_EQ(TileCopies(120, 100), 2);
    EXPECT_EQ(TileCopies(200, 100), 2);
    EXPECT_EQ(TileCopies(1, 100), 1);
    EXPECT_EQ(TileCopies(100, 0), 0);
    EXPECT_EQ(TileCopies(0, 10), 0);
    EXPECT_EQ(TwipsPerPixel(96), 15);
    EXPECT_EQ(TwipsPerPixel(120), 12);
    EXPECT_EQ(TwipsPerPixel(0), 0);
}
