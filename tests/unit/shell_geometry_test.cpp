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

TEST(ShellGeometry, FullScreenScrollBarsFollowThePictureSize) {
    // Screen 1024 x 768, bars 16 wide / 17 high.
    struct {
        int w, h;
        int bars, hMax, vMax;
    } const cases[] = {
        {1024, 768, SCROLL_NONE, 0, 0},         {2000, 500, SCROLL_HORIZONTAL, 976, 0},
        {2000, 751, SCROLL_HORIZONTAL, 976, 0}, {2000, 752, SCROLL_BOTH, 992, 1},
        {500, 2000, SCROLL_VERTICAL, 0, 1232},  {1008, 2000, SCROLL_VERTICAL, 0, 1232},
        {1009, 2000, SCROLL_BOTH, 1, 1249},     {3000, 3000, SCROLL_BOTH, 1992, 2249},
    };
    for (const auto& c : cases) {
        FullScreenScroll s = FullScreenScrollFor(c.w, c.h, 1024, 768, 16, 17);
        EXPECT_EQ(s.bars, c.bars) << c.w << "x" << c.h;
        EXPECT_EQ(s.hMax, c.hMax) << c.w << "x" << c.h;
        EXPECT_EQ(s.vMax, c.vMax) << c.w << "x" << c.h;
    }
    int x, y;
    FullScreenOrigin(SCROLL_NONE, 100, 50, 1024, 768, -5, -6, &x, &y);
    EXPECT_EQ(x, 462);
    EXPECT_EQ(y, 359);
    FullScreenOrigin(SCROLL_HORIZONTAL, 2000, 500, 1024, 751, -40, -6, &x, &y);
    EXPECT_EQ(x, -40);
    EXPECT_EQ(y, 125);
    FullScreenOrigin(SCROLL_VERTICAL, 500, 2000, 1008, 768, -40, -6, &x, &y);
    EXPECT_EQ(x, 254);
    EXPECT_EQ(y, -6);
    FullScreenOrigin(SCROLL_BOTH, 3000, 3000, 1008, 751, -40, -6, &x, &y);
    EXPECT_EQ(x, -40);
    EXPECT_EQ(y, -6);
}

TEST(ShellGeometry, ScrollCodesMoveTheOffsetWithinTheRange) {
    struct {
        int code;
        bool vertical;
        int offset, position, expected;
    } const cases[] = {
        {0, false, 0, 0, 0}, // line up at the top stays
        {0, false, -20, 0, -12},
        {0, true, -4, 0, 0},
        {1, false, 0, 0, -8},
        {1, false, -972, 0, -976}, // not past the maximum
        {1, true, -976, 0, -976},
        {2, true, -300, 0, 0},
        {2, false, -300, 0, -300}, // page keys move only the vertical bar
        {3, true, -3, 0, -976},
        {3, false, -3, 0, -3},
        {4, false, -3, 500, -500},
        {5, true, -3, 500, -500}, // dragging moves the picture too
        {4, true, -3, 976, -976},
        {5, false, 0, 977, -976}, // a thumb past the range stops at its end
        {5, true, -40, -2, 0},
        {6, false, -300, 0, 0},
        {7, false, 0, 0, -976},
        {8, true, -10, 0, -10}, // SB_ENDSCROLL changes nothing
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScrolledOffset(c.code, c.vertical, c.offset, 976, c.position), c.expected)
            << c.code << " " << c.vertical << " " << c.offset;
}

TEST(ShellGeometry, RasterPrintLayoutScalesByWholeMultiples) {
    struct {
        int pageW, pageH, w, h;
        bool large, tiled;
        PrintLayout expected;
    } const cases[] = {
        // A 320 x 200 picture on a 4800 x 6600 page: Normal 7, Large 15, Tiled 7 in a 2 x 4 grid.
        {4800, 6600, 320, 200, false, false, {2240, 1400, 1, 1, 1280, 2600}},
        {4800, 6600, 320, 200, true, false, {4800, 3000, 1, 1, 0, 1800}},
        {4800, 6600, 320, 200, false, true, {2240, 1400, 2, 4, 160, 500}},
        // 640 x 480 or more prints the same in every mode.
        {4800, 6600, 1024, 768, false, false, {4096, 3072, 1, 1, 352, 1764}},
        {4800, 6600, 1024, 768, true, false, {4096, 3072, 1, 1, 352, 1764}},
        {4800, 6600, 1024, 768, false, true, {4096, 3072, 1, 2, 352, 228}},
        // Larger than the page: shrunk to fit rather than scaled by 0.
        {1000, 1000, 2000, 1000, false, false, {955, 477, 1, 1, 22, 261}},
        {1000, 1000, 2000, 1000, false, true, {955, 477, 1, 2, 22, 23}},
        // A page smaller than the reference screen: Normal falls back to fitting.
        {600, 400, 10, 10, false, false, {10, 10, 1, 1, 295, 195}},
        {0, 400, 10, 10, false, false, {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        PrintLayout p = RasterPrintLayout(c.pageW, c.pageH, c.w, c.h, c.large, c.tiled);
        EXPECT_EQ(p.tileW, c.expected.tileW) << c.w << "x" << c.h << " " << c.large << c.tiled;
        EXPECT_EQ(p.tileH, c.expected.tileH) << c.w << "x" << c.h << " " << c.large << c.tiled;
        EXPECT_EQ(p.columns, c.expected.columns) << c.w << "x" << c.h << " " << c.large << c.tiled;
        EXPECT_EQ(p.rows, c.expected.rows) << c.w << "x" << c.h << " " << c.large << c.tiled;
        EXPECT_EQ(p.x0, c.expected.x0) << c.w << "x" << c.h << " " << c.large << c.tiled;
        EXPECT_EQ(p.y0, c.expected.y0) << c.w << "x" << c.h << " " << c.large << c.tiled;
    }
}

TEST(ShellGeometry, WheelNotchesScrollLinesOfEightPixels) {
    // Each row turns the wheel by delta starting from offset with remainder
    // carried in; 976 is the maximum.
    struct {
        int offset, delta, lines, remainderIn;
        int expected, remainderOut;
    } const cases[] = {
        {0, -120, 3, 0, -24, 0},       // one notch towards the user: three lines down
        {-24, 120, 3, 0, 0, 0},        // and back up
        {-100, -240, 3, 0, -148, 0},   // two notches at once
        {0, -60, 3, 0, 0, -60},        // half a notch waits for the other half
        {0, -60, 3, -60, -24, 0},      // which completes it
        {0, -200, 3, 0, -24, -80},     // a notch and two thirds
        {-24, 60, 3, -60, -24, 60},    // turning back drops what was left the other way
        {-8, 120, 3, 0, 0, 0},         // not above 0
        {-970, -120, 3, 0, -976, 0},   // not below the maximum
        {-200, -120, 0, 0, -200, 0},   // no lines a notch: no scrolling
        {0, -120, 100, 0, -800, 0},    // many lines a notch
        {-500, 120, 1000000, 0, 0, 0}, // huge line counts do not overflow
    };
    for (const auto& c : cases) {
        int remainder = c.remainderIn;
        EXPECT_EQ(WheelScrolledOffset(c.offset, 976, c.delta, c.lines, &remainder), c.expected)
            << c.offset << " " << c.delta << " " << c.lines << " " << c.remainderIn;
        EXPECT_EQ(remainder, c.remainderOut)
            << c.offset << " " << c.delta << " " << c.lines << " " << c.remainderIn;
    }
}

TEST(ShellGeometry, MetafileSizesFitsAndGrids) {
    // Natural size: (hi - lo + 1) x 1440 / (twips x units per inch).
    EXPECT_EQ(MetafileNaturalSize(0, 1999, 15, 1000), 192u); // 2000 units at 1000/inch, 96 dpi
    EXPECT_EQ(MetafileNaturalSize(-100, 99, 15, 96), 200u);  // a box across the origin
    EXPECT_EQ(MetafileNaturalSize(0, 2499, 2, 1200), 1500u); // 720 dpi printer
    EXPECT_EQ(MetafileNaturalSize(0, 99, 15, 0), 0u);        // no units per inch: no size
    EXPECT_EQ(MetafileNaturalSize(0, 99, 0, 96), 0u);        // a device without dpi

    struct {
        uint32_t x, y, availW, availH, fitW, fitH;
    } const fits[] = {
        {200, 100, 401, 301, 200, 100}, // fits: kept
        {401, 100, 401, 301, 360, 90},  // reaching the edge is too big: one step
        {1000, 10, 401, 301, 386, 1},   // 9 steps, each one truncated
        {5, 5, 0, 0, 0, 0},             // an empty area ends at 0 x 0
    };
    for (const auto& f : fits) {
        uint32_t x = f.x, y = f.y;
        FitMetafileByNinetenths(&x, &y, f.availW, f.availH);
        EXPECT_EQ(x, f.fitW) << f.x << "x" << f.y;
        EXPECT_EQ(y, f.fitH) << f.x << "x" << f.y;
    }

    struct {
        uint32_t w, h, pageW, pageH, grownW, grownH;
    } const grows[] = {
        {200, 100, 640, 480, 700, 345}, // until one side reaches the page
        {640, 100, 640, 480, 640, 100}, // already at the page: unchanged
        {0, 0, 640, 480, 0, 0},         // nothing to grow stops at once
        {5, 3, 640, 480, 5, 3},         // steps that grow nothing stop too
    };
    for (const auto& g : grows) {
        uint32_t w = g.w, h = g.h;
        GrowMetafileByTenninths(&w, &h, g.pageW, g.pageH);
        EXPECT_EQ(w, g.grownW) << g.w << "x" << g.h;
        EXPECT_EQ(h, g.grownH) << g.w << "x" << g.h;
    }

    EXPECT_EQ(MetafileExtent(10, 109), 100);
    EXPECT_EQ(MetafileExtent(5, 4), 0);
    EXPECT_EQ(MetafileExtent(INT32_MIN, INT32_MAX), INT32_MAX);

    MetafileGrid g = MetafileTileGrid(641, 481, 200, 100);
    EXPECT_EQ(g.columns, 3u);
    EXPECT_EQ(g.rows, 4u);
    EXPECT_EQ(g.x0, 20);
    EXPECT_EQ(g.y0, 40);
    g = MetafileTileGrid(641, 481, 0, 100);
    EXPECT_EQ(g.columns * g.rows, 0u) << "an empty copy gives no grid";
}
