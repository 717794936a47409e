// The inverse colour map against a plain reference: for every cell, the
// nearest palette entry at the cell centre by brute force over all entries,
// lowest index on a tie. Pruning and lazy filling must never change it.
#include "reduce_test_util.h"

#include "tools/inverse_map.h"
#include "tools/palettes.h"

#include <gtest/gtest.h>
#include <random>

namespace {
struct Palette {
    std::vector<BYTE> red, green, blue;
    ColorMap map;
    std::vector<Rgb> colours;
    explicit Palette(const std::vector<Rgb>& c) : colours(c) {
        for (const Rgb& e : c) {
            red.push_back(BYTE(e.r));
            green.push_back(BYTE(e.g));
            blue.push_back(BYTE(e.b));
        }
        map = ColorMap{red.data(), green.data(), blue.data(), int(c.size())};
    }
};

std::vector<Rgb> Fixed(int target) {
    std::vector<RGBQUAD> table(256);
    int k = FillFixedPalette(target, table.data());
    std::vector<Rgb> out;
    for (int i = 0; i < k; i++)
        out.push_back(Rgb{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue});
    return out;
}

// Random palettes; with a coarse step many entries tie at cell centres and
// repeat outright.
std::vector<Rgb> Random(std::mt19937& rng, int count, int step) {
    std::vector<Rgb> out;
    for (int i = 0; i < count; i++)
        out.push_back(Rgb{int(rng() % 256) / step * step, int(rng() % 256) / step * step,
                          int(rng() % 256) / step * step});
    return out;
}

TEST(InverseMap, EqualsBruteForceNearestForEveryCell) {
    std::mt19937 rng(12345);
    std::vector<std::pair<std::string, std::vector<Rgb>>> palettes = {
        {"black and white", Fixed(2)},
        {"16 standard", Fixed(16)},
        {"web cube", Fixed(216)},
        {"256 standard", Fixed(256)},
        {"one colour", {{17, 200, 3}}},
        // Equal distances from every centre of the first cells; the lower index wins.
        {"mirror pair", {{8, 2, 4}, {0, 2, 4}}},
        {"mirror pair reversed", {{0, 2, 4}, {8, 2, 4}}},
        // At the corner cell (4, 8, 4), centre (36, 34, 36), entry 0 is as near
        // as it can be to the box and entry 1 as far as it can be, and both are
        // 10694 away: entry 0's nearest distance equals the pruning bound and it
        // must stay a candidate to win the tie.
        {"tie at the pruning bound", {{11, 5, 11}, {61, 63, 61}}},
        {"repeated", {{100, 100, 100}, {100, 100, 100}, {40, 40, 40}, {40, 40, 40}}},
    };
    for (int count : {2, 5, 17, 100, 256}) {
        palettes.push_back({"random " + std::to_string(count), Random(rng, count, 1)});
        palettes.push_back({"coarse " + std::to_string(count), Random(rng, count, 64)});
    }
    palettes.push_back({"coarse 256 step 32", Random(rng, 256, 32)});
    for (const auto& named : palettes) {
        Palette p(named.second);
        std::vector<WORD> cache(kHistogramCells, 0);
        int mismatches = 0;
        for (int c0 = 0; c0 < 32; c0++)
            for (int c1 = 0; c1 < 64; c1++)
                for (int c2 = 0; c2 < 32; c2++) {
                    // Any colour of the cell gives the cell's answer.
                    int r = c0 * 8 + int(rng() % 8), g = c1 * 4 + int(rng() % 4),
                        b = c2 * 8 + int(rng() % 8);
                    int got = LookupColorIndex(cache.data(), p.map, r, g, b);
                    int want = NearestAtCellCentre(p.colours, Rgb{r, g, b});
                    if (got != want && mismatches++ < 5)
                        ADD_FAILURE() << named.first << ": cell " << c0 << "," << c1 << "," << c2
                                      << " gives " << got << ", nearest is " << want;
                    EXPECT_EQ(cache[CellIndex(c0, c1, c2)], want + 1);
                }
        EXPECT_EQ(mismatches, 0) << named.first;
    }
}

TEST(InverseMap, FillsOneUpdateBoxAtATime) {
    Palette p(Fixed(16));
    std::vector<WORD> cache(kHistogramCells, 0);
    // Cell (13, 42, 30) lies in the box of cells 12..15, 40..47, 28..31.
    int index = LookupColorIndex(cache.data(), p.map, 13 * 8, 42 * 4, 30 * 8);
    EXPECT_EQ(index, NearestAtCellCentre(p.colours, Rgb{13 * 8, 42 * 4, 30 * 8}));
    int filled = 0;
    for (int c0 = 0; c0 < 32; c0++)
        for (int c1 = 0; c1 < 64; c1++)
            for (int c2 = 0; c2 < 32; c2++) {
                bool inside = c0 >= 12 && c0 <= 15 && c1 >= 40 && c1 <= 47 && c2 >= 28;
                WORD v = cache[CellIndex(c0, c1, c2)];
                EXPECT_EQ(v != 0, inside) << c0 << "," << c1 << "," << c2;
                filled += v != 0;
            }
    EXPECT_EQ(filled, 128);
    // A cached cell is read, not recomputed: a planted value is what comes back.
    cache[CellIndex(13, 42, 30)] = 7;
    EXPECT_EQ(LookupColorIndex(cache.data(), p.map, 13 * 8, 42 * 4, 30 * 8), 6);
}
} // namespace
