// The colour commands of the Tools menu, the restore procedure, the brightness
// reset, and the loader's adaptation of new pictures to palette displays.
#include "reduce_test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "tools/commands.h"
#include "tools/reduce.h"
#include "core/transform.h"

#include <gtest/gtest.h>

namespace {
struct ColourCommands : ::testing::Test {
    void SetUp() override {
        ReleaseCurrentPicture();
        InitImageState();
        g_displayDepth = 32;
        g_viewKind = KIND_RASTER;
    }
    void TearDown() override {
        ReleaseCurrentPicture();
        InitImageState();
        g_displayDepth = 32;
    }
};

// A picture of the bit count with varied pixels: 24-bit colours, 16-bit
// words, or indices into a palette of `colours` entries.
HGLOBAL Varied(int bits, int colours = 0, bool blackAndWhite = false) {
    const int width = 11, height = 7;
    std::vector<uint32_t> palette, pixels;
    if (bits <= 8) {
        for (int i = 0; i < colours; i++) palette.push_back(uint32_t(i) * 0x2F1B07 & 0xFFFFFF);
        if (blackAndWhite) palette = {0x000000, 0xFFFFFF};
    }
    for (int i = 0; i < width * height; i++)
        pixels.push_back(bits <= 8 ? (uint32_t(i) * 2654435761u >> 13) % colours
                                   : uint32_t(i) * 0x0A1B3C5D);
    return MakeRecord(width, height, bits, palette, pixels);
}

const int RESTORE = 0; // instead of a target: the command restores

TEST_F(ColourCommands, RestoreOrReduce) {
    struct Case {
        const char* name;
        int id;
        int bits, colours;
        bool blackAndWhite;
        int colorsUsed; // as recorded at load
        int action;     // RESTORE or the target
    };
    const Case cases[] = {
        {"256 standard on true colour", CMD_STANDARD_256, 24, 0, false, 0, 256},
        {"256 standard on black and white", CMD_STANDARD_256, 1, 2, true, 1, RESTORE},
        {"web cube on 16-bit", CMD_WEB_216, 16, 0, false, 0, 216},
        {"web cube on black and white", CMD_WEB_216, 1, 2, true, 1, RESTORE},
        {"16 standard on 8-bit", CMD_STANDARD_16, 8, 200, false, 200, 16},
        {"16 standard on black and white", CMD_STANDARD_16, 1, 2, true, 1, RESTORE},
        {"monochrome on true colour", CMD_MONOCHROME, 32, 0, false, 0, 2},
        {"monochrome on black and white", CMD_MONOCHROME, 1, 2, true, 1, RESTORE},
        {"monochrome on two other colours", CMD_MONOCHROME, 1, 2, false, 2, 2},
        {"256 best on 8-bit", CMD_BEST_256, 8, 256, false, 0, RESTORE},
        {"256 best on 4-bit", CMD_BEST_256, 4, 16, false, 0, RESTORE},
        {"256 best on 16-bit", CMD_BEST_256, 16, 0, false, 0, -256},
        {"256 best on true colour", CMD_BEST_256, 24, 0, false, 0, -256},
        {"32 best on 4-bit", CMD_BEST_32, 4, 16, false, 0, RESTORE},
        {"32 best on 8-bit of 1 colour", CMD_BEST_32, 8, 1, false, 1, RESTORE},
        {"32 best on 8-bit of 32 colours", CMD_BEST_32, 8, 32, false, 32, RESTORE},
        {"32 best on 8-bit of 33 colours", CMD_BEST_32, 8, 33, false, 33, -32},
        {"32 best on 8-bit of 256 colours (0)", CMD_BEST_32, 8, 256, false, 0, -32},
        {"32 best on true colour", CMD_BEST_32, 24, 0, false, 0, -32},
        {"16 best on 1-bit", CMD_BEST_16, 1, 2, false, 2, RESTORE},
        {"16 best on 4-bit", CMD_BEST_16, 4, 16, false, 0, RESTORE},
        {"16 best on 8-bit", CMD_BEST_16, 8, 40, false, 40, -16},
        {"16 best on true colour", CMD_BEST_16, 32, 0, false, 0, -16},
    };
    for (const Case& c : cases) {
        SetUp();
        g_picture = Varied(c.bits, c.colours, c.blackAndWhite);
        g_bitCount = c.bits;
        g_colorsUsed = c.colorsUsed;
        Bytes untouched = RecordContent(g_picture);
        // An earlier reduction is shown; the monochrome flag has the wrong value.
        ReduceColors(&g_picture, &g_original, 216, KIND_RASTER, false);
        g_userModified = c.action == RESTORE;
        g_monochromeTool = c.id != CMD_MONOCHROME;
        EXPECT_TRUE(RunColourCommand(c.id)) << c.name;
        EXPECT_EQ(g_monochromeTool, c.id == CMD_MONOCHROME) << c.name;
        if (c.action == RESTORE) {
            EXPECT_EQ(g_original, nullptr) << c.name;
            EXPECT_EQ(RecordContent(g_picture), untouched) << c.name;
            EXPECT_FALSE(g_userModified) << c.name;
        } else {
            ASSERT_NE(g_original, nullptr) << c.name;
            EXPECT_EQ(RecordContent(g_original), untouched) << c.name;
            EXPECT_EQ(RecordContent(g_picture), ReducedCopy(g_original, c.action)) << c.name;
            EXPECT_TRUE(g_userModified) << c.name;
        }
        EXPECT_EQ(g_bitCount, c.bits) << c.name;
        EXPECT_EQ(g_colorsUsed, c.colorsUsed) << c.name;
    }
}

TEST_F(ColourCommands, OtherIdsAreNotColourCommands) {
    g_picture = Varied(24);
    HGLOBAL picture = g_picture;
    for (int id : {0, 119, 124, 125, 127, 135, 170, 171, 182, 184})
        EXPECT_FALSE(RunColourCommand(id)) << id;
    EXPECT_EQ(g_picture, picture);
    EXPECT_EQ(g_original, nullptr);
}

TEST_F(ColourCommands, RefusedOnAPictureThatIsNotRaster) {
    RecordMessages messages;
    g_viewKind = KIND_EMF;
    g_bitCount = 24;
    EXPECT_TRUE(RunColourCommand(CMD_BEST_16));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap");
}

TEST_F(ColourCommands, TrueColor) {
    struct Case {
        const char* name;
        int bits, colours, depth;
        int action; // RESTORE: the untouched picture shown; else reduced for the display
    };
    const Case cases[] = {
        {"true colour on a true-colour display", 24, 0, 32, RESTORE},
        {"true colour on a 256-colour display", 24, 0, 8, -256},
        {"8-bit on a 256-colour display", 8, 100, 8, RESTORE},
        {"true colour on a 16-colour display", 24, 0, 4, RESTORE},
    };
    for (const Case& c : cases) {
        SetUp();
        g_displayDepth = c.depth;
        g_picture = Varied(c.bits, c.colours);
        g_bitCount = c.bits;
        g_colorsUsed = c.colours;
        Bytes untouched = RecordContent(g_picture);
        ReduceColors(&g_picture, &g_original, 16, KIND_RASTER, false);
        g_userModified = g_monochromeTool = true;
        EXPECT_TRUE(RunColourCommand(CMD_TRUE_COLOR));
        EXPECT_FALSE(g_userModified) << c.name;
        EXPECT_FALSE(g_monochromeTool) << c.name;
        if (c.action == RESTORE) {
            EXPECT_EQ(g_original, nullptr) << c.name;
            EXPECT_EQ(RecordContent(g_picture), untouched) << c.name;
        } else {
            ASSERT_NE(g_original, nullptr) << c.name;
            EXPECT_EQ(RecordContent(g_original), untouched) << c.name;
            EXPECT_EQ(RecordContent(g_picture), ReducedCopy(g_original, c.action)) << c.name;
        }
    }
}

// Mirrored after a reduction (both pictures, as the geometry tools keep them),
// then restored: the loaded picture, adapted to the display again.
TEST_F(ColourCommands, RestoreOriginalImageUndoesOrientationAndAdapts) {
    struct Case {
        const char* name;
        int bits, colours, depth;
        bool blackAndWhite;
        int action;
    };
    const Case cases[] = {
        {"true colour, true-colour display", 24, 0, 32, false, RESTORE},
        {"true colour, 256-colour display", 24, 0, 8, false, -256},
        {"true colour, 16-colour display", 24, 0, 4, false, 256},
        {"8-bit, 256-colour display", 8, 60, 8, false, RESTORE},
        {"8-bit, 16-colour display", 8, 60, 4, false, 256},
        {"black and white, 16-colour display", 1, 2, 4, true, RESTORE},
    };
    for (const Case& c : cases) {
        SetUp();
        g_displayDepth = c.depth;
        g_picture = Varied(c.bits, c.colours, c.blackAndWhite);
        g_bitCount = c.bits;
        g_colorsUsed = c.blackAndWhite ? 1 : c.colours;
        Bytes untouched = RecordContent(g_picture);
        ReduceColors(&g_picture, &g_original, 16, KIND_RASTER, false);
        int scratch = 0;
        TransformPicture(&g_original, TRANSFORM_FLIP_LR, KIND_RASTER, &scratch);
        TransformPicture(&g_picture, TRANSFORM_FLIP_LR, KIND_RASTER, &g_orientation);
        ASSERT_EQ(g_orientation, 1) << c.name;
        ASSERT_NE(RecordContent(g_original), untouched) << c.name;
        g_userModified = g_monochromeTool = true;
        EXPECT_TRUE(RunColourCommand(CMD_RESTORE_ORIGINAL));
        EXPECT_EQ(g_orientation, 0) << c.name;
        EXPECT_FALSE(g_userModified) << c.name;
        EXPECT_FALSE(g_monochromeTool) << c.name;
        if (c.action == RESTORE) {
            EXPECT_EQ(g_original, nullptr) << c.name;
            EXPECT_EQ(RecordContent(g_picture), untouched) << c.name;
        } else {
            ASSERT_NE(g_original, nullptr) << c.name;
            EXPECT_EQ(RecordContent(g_original), untouched) << c.name;
            EXPECT_EQ(RecordContent(g_picture), ReducedCopy(g_original, c.action)) << c.name;
        }
    }
}

// "256 Best Colors" on a loaded 8-bit file gives back the file's picture,
// upright again, instead of quantizing it.
TEST_F(ColourCommands, Best256OnAnEightBitFileRestores) {
    BmpSpec file;
    file.width = 5;
    file.height = 3;
    file.bitCount = 8;
    for (int i = 0; i < 20; i++) file.colors.push_back(uint32_t(i) * 0x0C0B0A);
    file.pixels = PadRows({{0, 1, 2, 3, 4}, {5, 6, 7, 8, 9}, {19, 18, 17, 16, 15}});
    ASSERT_TRUE(LoadForTest(WriteTestFile("best256.bmp", BuildBmp(file))));
    ASSERT_EQ(g_bitCount, 8);
    Bytes loaded = RecordContent(g_picture);
    EXPECT_TRUE(RunColourCommand(CMD_STANDARD_16));
    ASSERT_NE(g_original, nullptr);
    TransformPicture(&g_picture, TRANSFORM_ROTATE_90, KIND_RASTER, &g_orientation);
    int scratch = 0;
    TransformPicture(&g_original, TRANSFORM_ROTATE_90, KIND_RASTER, &scratch);
    EXPECT_TRUE(RunColourCommand(CMD_BEST_256));
    EXPECT_EQ(g_original, nullptr);
    EXPECT_EQ(g_orientation, 0);
    EXPECT_EQ(RecordContent(g_picture), loaded);
}

TEST_F(ColourCommands, ResetBrightness) {
    // Four colours listed: only those four entries come back; the pixels
    // right behind them stay.
    auto palettePicture = [] {
        return MakeRecord(8, 2, 8, {0x101010, 0x202020, 0x303030, 0x404040},
                          {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 1, 1, 2, 2, 2, 2});
    };
    for (int i = 0; i < 256 * 4; i++) g_savedColors[i] = BYTE(200 - i % 97);
    {
        g_picture = palettePicture();
        Bytes before = RecordContent(g_picture);
        g_brightness = 2;
        ResetBrightness();
        EXPECT_EQ(g_brightness, 0);
        Bytes after = RecordContent(g_picture);
        Bytes want = before;
        std::copy(g_savedColors, g_savedColors + 16, want.begin() + 40);
        EXPECT_EQ(after, want);
    }
    SetUp();
    for (int i = 0; i < 256 * 4; i++) g_savedColors[i] = BYTE(200 - i % 97);
    {
        // Level 0: nothing to put back.
        g_picture = palettePicture();
        Bytes before = RecordContent(g_picture);
        ResetBrightness();
        EXPECT_EQ(RecordContent(g_picture), before);
        // With an original, the shown picture is a reduction: only the level goes.
        g_original = palettePicture();
        g_brightness = -3;
        ResetBrightness();
        EXPECT_EQ(g_brightness, 0);
        EXPECT_EQ(RecordContent(g_picture), before);
    }
    SetUp();
    // A colour command puts the colours back before it acts.
    for (int i = 0; i < 256 * 4; i++) g_savedColors[i] = i % 4 == 3 ? 0 : BYTE(i);
    g_picture = palettePicture();
    g_bitCount = 8;
    g_colorsUsed = 4;
    g_brightness = 1;
    HGLOBAL saved = MakeRecord(8, 2, 8, {0x020100, 0x060504, 0x0A0908, 0x0E0D0C},
                               {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 1, 1, 2, 2, 2, 2});
    EXPECT_TRUE(RunColourCommand(CMD_BEST_256)); // an 8-bit picture: restores
    EXPECT_EQ(g_brightness, 0);
    EXPECT_EQ(RecordContent(g_picture), RecordContent(saved));
    GlobalFree(saved);
}

} // namespace
