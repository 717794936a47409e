// The fixed palettes of the colour reduction, against the colours as listed.
#include "tools/palettes.h"
#include "tools/reduce.h"

#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace {
uint32_t Colour(const RGBQUAD& q) {
    return uint32_t(q.rgbRed) << 16 | q.rgbGreen << 8 | q.rgbBlue;
}

const uint32_t kSixteen[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                               0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                               0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

std::vector<RGBQUAD> Filled(int count, int slots) {
    std::vector<RGBQUAD> table(slots, RGBQUAD{0xAB, 0xAB, 0xAB, 0xAB});
    FillStandardPalette(count, table.data());
    return table;
}

TEST(FixedPalettes, SixteenStandardColours) {
    for (int count : {16, 17, 31}) {
        std::vector<RGBQUAD> table = Filled(count, 256);
        for (int i = 0; i < 16; i++) {
            EXPECT_EQ(Colour(table[i]), kSixteen[i]) << count << " entry " << i;
            EXPECT_EQ(table[i].rgbReserved, 0);
        }
        EXPECT_EQ(table[16].rgbReserved, 0xAB) << "only 16 entries written";
    }
}

TEST(FixedPalettes, TwoHundredFiftySixStandardColours) {
    for (int count : {256, 0, 15, 32}) {
        std::vector<RGBQUAD> table = Filled(count, 256);
        std::set<uint32_t> distinct;
        for (const RGBQUAD& q : table) {
            distinct.insert(Colour(q));
            EXPECT_EQ(q.rgbReserved, 0);
        }
        EXPECT_EQ(distinct.size(), 256u) << count;
        for (int i = 0; i < 8; i++) {
            EXPECT_EQ(Colour(table[i]), kSixteen[i]) << i;
            EXPECT_EQ(Colour(table[248 + i]), kSixteen[8 + i]) << 248 + i;
        }
        // Entries as listed, where neither cube, grey nor the 16 colours would place them.
        const std::pair<int, uint32_t> listed[] = {
            {8, 0xA28D68},   {9, 0xD5CCBB},   {10, 0x040404},  {22, 0xFF7C80},  {24, 0xD60093},
            {25, 0xCCECFF},  {28, 0xADA990},  {29, 0x330000},  {57, 0x66FF00},  {127, 0xFF00CC},
            {128, 0xCC00FF}, {151, 0x66CC66}, {157, 0x66CC99}, {174, 0x666699}, {192, 0x66FF99},
            {207, 0x6666CC}, {233, 0xA50021}, {239, 0xB2B2B2}, {246, 0xEAE6DD}, {247, 0xA0A0A4},
        };
        for (const auto& e : listed) EXPECT_EQ(Colour(table[e.first]), e.second) << e.first;
    }
}

TEST(FixedPalettes, EachTarget) {
    std::vector<RGBQUAD> table(256);
    EXPECT_EQ(FillFixedPalette(2, table.data()), 2);
    EXPECT_EQ(Colour(table[0]), 0xFFFFFFu);
    EXPECT_EQ(Colour(table[1]), 0x000000u);
    EXPECT_EQ(FillFixedPalette(16, table.data()), 16);
    EXPECT_EQ(Colour(table[9]), 0xFF0000u);
    EXPECT_EQ(FillFixedPalette(256, table.data()), 256);
    EXPECT_EQ(Colour(table[249]), 0xFF0000u);
    EXPECT_EQ(FillFixedPalette(216, table.data()), 216);
    const int levels[6] = {0, 51, 102, 153, 204, 255};
    for (int i = 0; i < 6; i++)
        for (int j = 0; j < 6; j++)
            for (int k = 0; k < 6; k++) {
                const RGBQUAD& q = table[36 * i + 6 * j + k];
                EXPECT_EQ(q.rgbRed, levels[i]);
                EXPECT_EQ(q.rgbGreen, levels[j]);
                EXPECT_EQ(q.rgbBlue, levels[k]);
                EXPECT_EQ(q.rgbReserved, 0);
            }
    EXPECT_EQ(Colour(table[1]), 0x000033u); // blue varies fastest
    EXPECT_EQ(Colour(table[36]), 0x330000u);
    for (int target : {0, 1, 3, 32, 255, -16}) {
        std::vector<RGBQUAD> untouched(256, RGBQUAD{1, 2, 3, 4});
        EXPECT_EQ(FillFixedPalette(target, untouched.data()), 0) << target;
        EXPECT_EQ(untouched[0].rgbReserved, 4) << target;
    }
}
} // namespace
