// The loader's adaptation of new pictures to palette displays: which load
// reduces to which colours at which display depth.
#include "reduce_test_util.h"

#include "core/state.h"

#include <gtest/gtest.h>

namespace {
struct DisplayAdaptation : ::testing::Test {
    void TearDown() override {
        ReleaseCurrentPicture();
        InitImageState();
        g_displayDepth = 32;
    }
};

const int RESTORE = 0; // instead of a target: shown as loaded

// After packing and the monochrome test: the preview reduces to the 256
// standard colours on any palette display; the window load does so at 4 bits
// and takes the best 256 at 8 bits for pictures above 8 bits.
TEST_F(DisplayAdaptation, LoaderAdaptsToPaletteDisplays) {
    BmpSpec colour;
    colour.width = 6;
    colour.height = 4;
    colour.bitCount = 24;
    std::vector<Bytes> rows;
    for (int y = 0; y < 4; y++) {
        Bytes row;
        for (int x = 0; x < 6; x++)
            row.insert(row.end(), {BYTE(40 * x), BYTE(60 * y), BYTE(200 - 30 * x)});
        rows.push_back(row);
    }
    colour.pixels = PadRows(rows);
    BmpSpec palette = colour;
    palette.bitCount = 8;
    for (int i = 0; i < 24; i++) palette.colors.push_back(uint32_t(i) * 0x0A0B0C);
    palette.pixels = PadRows({{0, 1, 2, 3, 4, 5},
                              {6, 7, 8, 9, 10, 11},
                              {12, 13, 14, 15, 16, 17},
                              {18, 19, 20, 21, 22, 23}});
    BmpSpec mono = palette;
    mono.bitCount = 1;
    mono.colors = {0xFFFFFF, 0x000000};
    mono.pixels = PadRows({{0xA4}, {0x5C}, {0xFC}, {0x00}});
    BmpSpec greys = mono;
    greys.colors = {0x000000, 0x808080};
    const std::string colourFile = WriteTestFile("adapt24.bmp", BuildBmp(colour));
    const std::string paletteFile = WriteTestFile("adapt8.bmp", BuildBmp(palette));
    const std::string monoFile = WriteTestFile("adaptbw.bmp", BuildBmp(mono));
    const std::string greyFile = WriteTestFile("adaptgrey.bmp", BuildBmp(greys));
    struct Case {
        const std::string& file;
        int depth;
        bool window;
        int action; // RESTORE: shown as loaded
    };
    const Case cases[] = {
        {colourFile, 32, false, RESTORE}, {colourFile, 16, false, RESTORE},
        {colourFile, 8, false, 256},      {colourFile, 4, false, 256},
        {colourFile, 1, false, 256},      {colourFile, 32, true, RESTORE},
        {colourFile, 16, true, RESTORE},  {colourFile, 8, true, -256},
        {colourFile, 4, true, 256},       {colourFile, 1, true, RESTORE},
        {paletteFile, 8, false, 256},     {paletteFile, 8, true, RESTORE},
        {paletteFile, 4, true, 256},      {monoFile, 8, false, RESTORE},
        {monoFile, 4, true, RESTORE},     {greyFile, 8, false, 256},
        {greyFile, 4, true, 256},         {greyFile, 8, true, RESTORE},
    };
    for (const Case& c : cases) {
        std::string name = c.file + " at depth " + std::to_string(c.depth) +
                           (c.window ? " (window)" : " (preview)");
        ASSERT_TRUE(LoadForTestAt(c.file, 32, false)) << name;
        Bytes loaded = RecordContent(g_picture);
        int bits = g_bitCount, used = g_colorsUsed;
        HGLOBAL copy = CopyBlock(g_picture);
        ASSERT_TRUE(LoadForTestAt(c.file, c.depth, c.window)) << name;
        EXPECT_EQ(g_displayDepth, c.depth) << name;
        EXPECT_EQ(g_bitCount, bits) << name;
        EXPECT_EQ(g_colorsUsed, used) << name;
        if (c.action == RESTORE) {
            EXPECT_EQ(g_original, nullptr) << name;
            EXPECT_EQ(RecordContent(g_picture), loaded) << name;
        } else {
            ASSERT_NE(g_original, nullptr) << name;
            EXPECT_EQ(RecordContent(g_original), loaded) << name;
            EXPECT_EQ(RecordContent(g_picture), ReducedCopy(copy, c.action)) << name;
        }
        GlobalFree(copy);
    }
}
} // namespace
