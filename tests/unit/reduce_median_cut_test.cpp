// The median cut: counting, shrinking, the pick and axis rules on histograms
// small enough to follow by hand, and sums over boxes of many full cells.
#include "reduce_test_util.h"

#include "tools/median_cut.h"

#include <climits>
#include <gtest/gtest.h>

namespace {
struct Cell {
    int c0, c1, c2;
    WORD count;
};

std::vector<WORD> Histogram(const std::vector<Cell>& cells) {
    std::vector<WORD> h(kHistogramCells, 0);
    for (const Cell& c : cells) h[CellIndex(c.c0, c.c1, c.c2)] = c.count;
    return h;
}

std::vector<Rgb> Cut(const std::vector<WORD>& h, int wanted) {
    std::vector<ColorBox> boxes(wanted);
    std::vector<BYTE> red(wanted), green(wanted), blue(wanted);
    ColorMap map = {red.data(), green.data(), blue.data(), 0};
    int k = MedianCut(h.data(), wanted, boxes.data(), &map);
    EXPECT_EQ(k, map.count);
    std::vector<Rgb> out;
    for (int i = 0; i < k; i++) out.push_back(Rgb{red[i], green[i], blue[i]});
    return out;
}

std::string Show(const std::vector<Rgb>& colours) {
    std::string s;
    for (const Rgb& c : colours)
        s +=
            "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
    return s;
}

TEST(MedianCut, CountsPixelsPerCellAndSaturates) {
    std::vector<WORD> h(kHistogramCells, 0);
    // (7, 3, 7) is the last colour of cell (0, 0, 0), (8, 4, 8) the first of (1, 1, 1).
    std::vector<BYTE> row = {7, 3, 7, 0, 0, 0, 8, 4, 8, 255, 255, 255, 248, 252, 248};
    CountRowColors(h.data(), row.data(), 5);
    EXPECT_EQ(h[CellIndex(0, 0, 0)], 2);
    EXPECT_EQ(h[CellIndex(1, 1, 1)], 1);
    EXPECT_EQ(h[CellIndex(31, 63, 31)], 2);
    std::vector<BYTE> many(3 * 70000, 200);
    CountRowColors(h.data(), many.data(), 70000);
    EXPECT_EQ(h[CellIndex(25, 50, 25)], 65535);
    CountRowColors(h.data(), many.data(), 1);
    EXPECT_EQ(h[CellIndex(25, 50, 25)], 65535);
    int nonZero = 0;
    for (WORD v : h) nonZero += v != 0;
    EXPECT_EQ(nonZero, 4);
}

TEST(MedianCut, ShrinkFindsTheOccupiedBoundsVolumeAndCount) {
    std::vector<WORD> h = Histogram({{5, 10, 3, 1}, {7, 12, 3, 9}, {6, 11, 3, 1}});
    ColorBox box = {0, 31, 0, 63, 0, 31, 0, 0};
    ShrinkBox(h.data(), &box);
    EXPECT_EQ(box.c0min, 5);
    EXPECT_EQ(box.c0max, 7);
    EXPECT_EQ(box.c1min, 10);
    EXPECT_EQ(box.c1max, 12);
    EXPECT_EQ(box.c2min, 3);
    EXPECT_EQ(box.c2max, 3);
    EXPECT_EQ(box.volume, 32 * 32 + 24 * 24);
    EXPECT_EQ(box.colorCount, 3);
    // A box around part of the cells shrinks to its own ones only.
    ColorBox part = {6, 31, 0, 63, 0, 31, 0, 0};
    ShrinkBox(h.data(), &part);
    EXPECT_EQ(part.c0min, 6);
    EXPECT_EQ(part.c0max, 7);
    EXPECT_EQ(part.c1min, 11);
    EXPECT_EQ(part.c1max, 12);
    EXPECT_EQ(part.volume, 16 * 16 + 12 * 12);
    EXPECT_EQ(part.colorCount, 2);
}

// Cell centres: red 8 c0 + 4, green 4 c1 + 2, blue 8 c2 + 4.
TEST(MedianCut, SmallHistogramsWorkedByHand) {
    struct Case {
        const char* name;
        std::vector<Cell> cells;
        int wanted;
        std::vector<Rgb> colours;
    };
    const Case cases[] = {
        {"one cell gives its centre", {{31, 0, 0, 7}}, 16, {{252, 2, 4}}},
        {"the mean rounds: (2 x 4 + 12 + 1) / 3 = 7", {{0, 0, 0, 2}, {1, 0, 0, 1}}, 1, {{7, 2, 4}}},
        // Green is longest (756): split at 31, low half first.
        {"fewer cells than wanted",
         {{31, 63, 31, 1}, {0, 0, 0, 1}},
         16,
         {{4, 2, 4}, {252, 254, 252}}},
        // Lengths 48, 48, 48: green, m 2. Box 0 {P1 x3, P2, P5}: 3 cells, volume
        // 208; box 1 {P3, P4}: 2 cells, volume 1024. Then by cells: box 0 (green,
        // m 0): {P1, P5} and {P2}. Then by volume: box 1 (blue, m 4): {P4}, {P3}.
        {"first by cells, then by volume",
         {{0, 0, 0, 3}, {0, 1, 0, 1}, {0, 0, 1, 1}, {3, 4, 6, 2}, {3, 4, 2, 1}},
         4,
         {{4, 2, 6}, {28, 18, 20}, {4, 6, 4}, {28, 18, 52}}},
        // Boxes {P1, P2} and {P3, P4} both hold 2 cells: the first is split first.
        {"the earliest box wins a tie on cells",
         {{0, 0, 0, 1}, {0, 1, 0, 1}, {3, 4, 6, 1}, {3, 4, 2, 1}},
         4,
         {{4, 2, 4}, {28, 18, 20}, {4, 6, 4}, {28, 18, 52}}},
        // Both boxes have volume 64 when the volume rule starts (n 3, b 2).
        {"the earliest box wins a tie on volume",
         {{0, 0, 0, 1}, {0, 0, 1, 1}, {5, 10, 4, 1}, {5, 10, 5, 1}},
         3,
         {{4, 2, 4}, {44, 42, 40}, {4, 2, 12}}},
        // Red 48 = green 48: green, m 2.
        {"green before red on equal lengths",
         {{0, 0, 0, 1}, {3, 0, 0, 1}, {0, 4, 0, 1}},
         2,
         {{16, 2, 4}, {4, 18, 4}}},
        // Red 16 = blue 16 > green 0: red, m 0.
        {"red before blue on equal lengths",
         {{0, 0, 0, 1}, {1, 0, 0, 1}, {0, 0, 2, 1}},
         2,
         {{4, 2, 12}, {12, 2, 4}}},
        // Green 24 = blue 24: green, m 1.
        {"green before blue on equal lengths",
         {{0, 0, 0, 1}, {0, 2, 0, 1}, {0, 0, 3, 1}},
         2,
         {{4, 2, 16}, {4, 10, 4}}},
        // Blue 32 > green 24: blue, m 2.
        {"blue when strictly longest",
         {{0, 0, 0, 1}, {0, 2, 0, 1}, {0, 0, 4, 1}},
         2,
         {{4, 6, 4}, {4, 2, 36}}},
        // Red 32 > green 24: red, m 1.
        {"red when strictly longer than green",
         {{0, 0, 0, 1}, {2, 0, 0, 1}, {0, 2, 0, 1}},
         2,
         {{4, 6, 4}, {20, 2, 4}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Show(Cut(Histogram(c.cells), c.wanted)), Show(c.colours)) << c.name;
}

// Every cell full: a box of many cells sums 65535 x centre over thousands of
// cells, far past 32 bits (one box: 65536 cells x 65535 x up to 254).
TEST(MedianCut, SumsOverBoxesOfManyFullCellsDoNotOverflow) {
    std::vector<WORD> h(kHistogramCells, 65535);
    static_assert(32768ull * 65535 * 192 > 0xFFFFFFFFull, "the sums pass 32 bits");
    EXPECT_EQ(Show(Cut(h, 1)), Show({{128, 128, 128}}));
    // Green is longest: halves 0..31 and 32..63, centre means 64 and 192.
    EXPECT_EQ(Show(Cut(h, 2)), Show({{128, 64, 128}, {128, 192, 128}}));
}
} // namespace
