// The TIFF tables: which route a file takes, the record depth of each
// layout, colour counts, colour-map scaling, the text's names, the
// orientation codes and the writer's tile sizes.
#include "formats/library/tiff_format.h"

#include <gtest/gtest.h>

TEST(TiffRules, Routes) {
    struct Case {
        int compression, photometric;
        TiffRoute route;
    };
    const Case cases[] = {
        {1, 1, TIFF_ROUTE_DIRECT},     {2, 0, TIFF_ROUTE_DIRECT},     {3, 0, TIFF_ROUTE_DIRECT},
        {4, 0, TIFF_ROUTE_DIRECT},     {5, 2, TIFF_ROUTE_DIRECT},     {7, 2, TIFF_ROUTE_DIRECT},
        {7, 6, TIFF_ROUTE_DIRECT},     {32766, 1, TIFF_ROUTE_DIRECT}, {32771, 0, TIFF_ROUTE_DIRECT},
        {32773, 3, TIFF_ROUTE_DIRECT}, {32809, 1, TIFF_ROUTE_DIRECT}, {32946, 5, TIFF_ROUTE_DIRECT},
        {8, 2, TIFF_ROUTE_RGBA},       {6, 6, TIFF_ROUTE_RGBA},       {34661, 0, TIFF_ROUTE_RGBA},
        {32909, 1, TIFF_ROUTE_RGBA},   {5, 6, TIFF_ROUTE_RGBA},       {1, 6, TIFF_ROUTE_RGBA},
        {1, 8, TIFF_ROUTE_RGBA},       {7, 8, TIFF_ROUTE_RGBA},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TiffRouteFor(c.compression, c.photometric), c.route)
            << c.compression << ", " << c.photometric;
}

TEST(TiffRules, RecordDepths) {
    struct Case {
        int bits, samples, photometric, compression;
        int direct; // 0: the RGBA image reader instead
        int rgba;
    };
    const Case cases[] = {
        {1, 1, 0, 1, 1, 8},    {1, 1, 2, 1, 1, 24},  {1, 3, 1, 1, 1, 8},   {1, 3, 2, 1, 0, 24},
        {4, 1, 3, 1, 4, 24},   {4, 2, 1, 5, 4, 8},   {8, 1, 1, 1, 8, 8},   {8, 3, 1, 1, 8, 24},
        {8, 2, 3, 1, 8, 24},   {8, 3, 2, 1, 24, 24}, {8, 3, 6, 7, 24, 24}, {8, 4, 5, 1, 24, 32},
        {8, 4, 2, 1, 32, 32},  {8, 3, 5, 1, 0, 24},  {8, 5, 2, 1, 0, 24},  {8, 1, 2, 1, 0, 24},
        {16, 1, 2, 1, 16, 24}, {16, 1, 1, 1, 0, 8},  {16, 1, 0, 1, 0, 8},  {16, 3, 2, 1, 0, 24},
        {2, 1, 1, 1, 0, 8},    {12, 1, 1, 1, 0, 8},  {8, 4, 8, 1, 0, 32},  {8, 3, 4, 1, 0, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.bits << " bits, " << c.samples << " samples, photometric "
                     << c.photometric << ", compression " << c.compression);
        EXPECT_EQ(TiffDirectBits(c.bits, c.samples, c.photometric, c.compression), c.direct);
        EXPECT_EQ(TiffRgbaBits(c.bits, c.samples, c.photometric), c.rgba);
    }
}

TEST(TiffRules, ColourCounts) {
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_DIRECT, 1, 1, 1, 0), 2);
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_DIRECT, 4, 4, 1, 3), 16);
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_DIRECT, 8, 8, 1, 3), 256);
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_DIRECT, 16, 16, 1, 2), 0);
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_DIRECT, 24, 8, 3, 2), 0);
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_RGBA, 8, 1, 1, 0), 2);
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_RGBA, 8, 4, 1, 1), 16);
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_RGBA, 8, 4, 2, 1), 256);
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_RGBA, 8, 2, 1, 1), 256);
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_RGBA, 8, 16, 1, 0), 256);
    EXPECT_EQ(TiffRecordColors(TIFF_ROUTE_RGBA, 32, 8, 4, 5), 0);
}

TEST(TiffRules, ColorMapScaling) {
    struct Case {
        uint16_t red[3], green[3], blue[3];
        uint8_t want[3][3]; // red, green, blue of each entry
    };
    const Case cases[] = {
        // All below 256: the low bytes as they are.
        {{0, 255, 17}, {1, 128, 255}, {2, 3, 4}, {{0, 1, 2}, {255, 128, 3}, {17, 255, 4}}},
        // One value of 256: all scaled by 255 / 65535, rounded down.
        {{0, 256, 65535},
         {255, 32768, 65534},
         {1, 2, 257},
         {{0, 0, 0}, {0, 127, 0}, {255, 254, 1}}},
    };
    for (const Case& c : cases) {
        BYTE table[12];
        std::fill(table, table + 12, BYTE(0xCC));
        TiffScaleColorMap(c.red, c.green, c.blue, 3, table);
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(table[4 * i + 2], c.want[i][0]) << "entry " << i;
            EXPECT_EQ(table[4 * i + 1], c.want[i][1]) << "entry " << i;
            EXPECT_EQ(table[4 * i], c.want[i][2]) << "entry " << i;
            EXPECT_EQ(table[4 * i + 3], 0);
        }
    }
    // Only the entries taken decide: a large value past them does not scale.
    const uint16_t red[2] = {200, 4000}, green[2] = {100, 0}, blue[2] = {50, 0};
    BYTE table[4];
    TiffScaleColorMap(red, green, blue, 1, table);
    EXPECT_EQ(table[2], 200);
}

TEST(TiffRules, Names) {
    const char* photometric[] = {"min value is white",
                                 "min value is black",
                                 "RGB color model",
                                 "color map indexed",
                                 "holdout mask",
                                 "CMYK",
                                 "Y Cb Cr",
                                 "?",
                                 "1976 CIE L*a*b*",
                                 "?"};
    for (int i = 0; i < 10; i++) EXPECT_STREQ(TiffPhotometricName(i), photometric[i]) << i;
    EXPECT_STREQ(TiffPhotometricName(32844), "?");
    const std::pair<int, const char*> compressions[] = {
        {1, "none"},
        {2, "CCITT modified Huffman RLE"},
        {3, "CCITT Group 3 fax encoding"},
        {4, "CCITT Group 4 fax encoding"},
        {5, "Lempel-Ziv  & Welch"},
        {6, "6.0 JPEG"},
        {7, "JPEG DCT compression"},
        {8, "?"},
        {32766, "NeXT 2-bit RLE"},
        {32771, "CCITT Group 1 w/ word alignment"},
        {32773, "Macintosh RLE (Packbits)"},
        {32809, "ThunderScan RLE"},
        {32908, "Pixar companded 10bit LZW"},
        {32909, "Pixar companded 11bit ZIP"},
        {32946, "Deflate compression"},
        {32947, "Kodak DCS encoding"},
        {34661, "ISO JBIG"},
        {0, "?"},
    };
    for (const auto& c : compressions) EXPECT_STREQ(TiffCompressionName(c.first), c.second);
}

TEST(TiffRules, OrientationCodes) {
    const int want[10] = {0, 0, 1, 4, 5, 7, 6, 3, 2, 0};
    for (int o = 0; o < 10; o++) EXPECT_EQ(TiffOrientationCode(o), want[o]) << o;
}

TEST(TiffRules, TileSizes) {
    const std::pair<int, int> cases[] = {{100, 112}, {96, 96},   {17, 32},   {8, 32},
                                         {300, 256}, {256, 256}, {257, 256}, {16, 16},
                                         {1, 32},    {240, 240}, {241, 256}, {65535, 256}};
    for (const auto& c : cases) EXPECT_EQ(TiffAdjustTileSize(256, c.first), c.second) << c.first;
}
