// The geometry and tone commands of the Tools menu over the current-image state.
#include "unit/transform_test_util.h"

#include "core/state.h"
#include "tools/commands.h"
#include "tools/reduce.h"
#include "core/transform.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
const char kNotBitmap[] = "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap";
const char kNoMemory[] = "Insufficient Memory for this Operation.";

// A raster picture shown as if just loaded, optionally with an original.
struct CommandState : ::testing::Test {
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
    void Show(HGLOBAL picture) {
        g_picture = picture;
        BITMAPINFOHEADER h = HeaderOf(picture);
        g_bitCount = h.biBitCount;
        g_colorsUsed = int(h.biClrUsed);
    }
};

void SetColor(HGLOBAL image, int index, BYTE red, BYTE green, BYTE blue) {
    BYTE* c = static_cast<BYTE*>(GlobalLock(image)) + 40 + 4 * index;
    c[0] = blue;
    c[1] = green;
    c[2] = red;
    GlobalUnlock(image);
}

uint32_t Rgb(uint32_t red, uint32_t green, uint32_t blue) {
    return red << 16 | green << 8 | blue;
}

// The same operations on a copy made alone, for comparison.
Bytes TransformedAlone(int width, int height, int bits, const std::vector<int>& operations) {
    HGLOBAL picture = PatternPicture(width, height, bits);
    int word = 0;
    for (int op : operations) TransformPicture(&picture, op, KIND_RASTER, &word);
    Bytes bytes = RecordBytes(picture);
    GlobalFree(picture);
    return bytes;
}
} // namespace

TEST_F(CommandState, GeometryReachesTheOriginalToo) {
    // Each command in turn, with the orientation word after it.
    struct Case {
        int id, operation, word;
    } cases[] = {
        {CMD_ROTATE_90, TRANSFORM_ROTATE_90, 2},   {CMD_ROTATE_180, TRANSFORM_ROTATE_180, 6},
        {CMD_ROTATE_270, TRANSFORM_ROTATE_270, 4}, {CMD_FLIP_LR, TRANSFORM_FLIP_LR, 5},
        {CMD_FLIP_TB, TRANSFORM_FLIP_TB, 0},       {CMD_INVERT, TRANSFORM_INVERT, 8},
    };
    std::vector<int> done;
    Show(PatternPicture(5, 3, 8));
    g_original = PatternPicture(5, 3, 24);
    for (const Case& c : cases) {
        ASSERT_TRUE(RunTransformCommand(c.id));
        done.push_back(c.operation);
        EXPECT_EQ(g_orientation, c.word) << "after " << c.id;
        EXPECT_EQ(RecordBytes(g_picture), TransformedAlone(5, 3, 8, done)) << "after " << c.id;
        EXPECT_EQ(RecordBytes(g_original), TransformedAlone(5, 3, 24, done)) << "after " << c.id;
    }
    EXPECT_FALSE(g_userModified);
}

TEST_F(CommandState, FailedTurnLeavesBothPicturesAsTheyWere) {
    // Allocation 1 is the original's new block (or scratch row), 2 the shown
    // picture's: when the second fails the original is turned back.
    for (int id : {CMD_ROTATE_90, CMD_ROTATE_270, CMD_ROTATE_180, CMD_FLIP_LR, CMD_FLIP_TB}) {
        for (int failAt : {1, 2}) {
            SetUp();
            Show(PatternPicture(6, 4, 4));
            g_original = PatternPicture(6, 4, 32);
            g_orientation = 3;
            const Bytes shown = RecordBytes(g_picture), original = RecordBytes(g_original);
            RecordMessages record;
            FailGlobalAllocAt(failAt);
            RunTransformCommand(id);
            FailGlobalAllocAt(0);
            ASSERT_EQ(record.messages.size(), 1u) << id << " failing at " << failAt;
            EXPECT_EQ(record.messages[0].text, kNoMemory);
            EXPECT_EQ(RecordBytes(g_picture), shown) << id << " failing at " << failAt;
            EXPECT_EQ(RecordBytes(g_original), original) << id << " failing at " << failAt;
            EXPECT_EQ(g_orientation, 3);
        }
    }
}

TEST_F(CommandState, NonRasterPicturesAreRefusedOnce) {
    const int ids[] = {CMD_ROTATE_90, CMD_ROTATE_180, CMD_ROTATE_270, CMD_FLIP_LR, CMD_FLIP_TB,
                       CMD_INVERT,    CMD_GRAYSCALE,  CMD_BRIGHTEN,   CMD_DARKEN};
    for (int kind : {KIND_WMF, KIND_EMF, KIND_ANI, KIND_ICON_CYCLE, KIND_NONE}) {
        for (int id : ids) {
            SetUp();
            // The picture slot holds something the tools must not touch.
            HGLOBAL picture = PatternPicture(3, 3, 24);
            const Bytes before = RecordBytes(picture);
            g_picture = picture;
            g_bitCount = 24;
            g_viewKind = kind;
            RecordMessages record;
            EXPECT_TRUE(RunTransformCommand(id));
            ASSERT_EQ(record.messages.size(), 1u) << "kind " << kind << " id " << id;
            EXPECT_EQ(record.messages[0].text, kNotBitmap);
            EXPECT_EQ(record.messages[0].type, UINT(MB_ICONERROR));
            EXPECT_EQ(g_picture, picture);
            EXPECT_EQ(RecordBytes(g_picture), before);
            EXPECT_EQ(g_original, nullptr);
            EXPECT_EQ(g_orientation, 0);
            EXPECT_EQ(g_brightness, 0);
            EXPECT_FALSE(g_userModified);
            g_viewKind = KIND_RASTER;
        }
    }
}

TEST_F(CommandState, OnlyItsOwnCommands) {
    for (int id : {0, 118, 125, 126, 128, 129, 130, 131, 132, 133, 134, 169, 172, 183})
        EXPECT_FALSE(RunTransformCommand(id)) << id;
}

TEST_F(CommandState, InvertDropsTheBrightnessChange) {
    Show(PatternPicture(4, 2, 8));
    SetColor(g_picture, 0, 128, 64, 0);
    RunTransformCommand(CMD_BRIGHTEN);
    ASSERT_EQ(RecordColors(g_picture)[0], Rgb(157, 96, 0));
    ASSERT_EQ(g_brightness, 1);
    const std::vector<uint32_t> unbrightened = [] {
        HGLOBAL p = PatternPicture(4, 2, 8);
        SetColor(p, 0, 128, 64, 0);
        std::vector<uint32_t> colors = RecordColors(p);
        GlobalFree(p);
        return colors;
    }();
    RunTransformCommand(CMD_INVERT);
    EXPECT_EQ(g_brightness, 0);
    EXPECT_EQ(g_orientation, 8);
    std::vector<uint32_t> colors = RecordColors(g_picture);
    ASSERT_EQ(colors.size(), 256u);
    for (size_t i = 0; i < colors.size(); i++)
        EXPECT_EQ(colors[i], unbrightened[i] ^ 0xFFFFFFu) << "entry " << i;
    // Later steps start from the inverted table: (127, 191, 255) brightened.
    RunTransformCommand(CMD_BRIGHTEN);
    EXPECT_EQ(RecordColors(g_picture)[0], Rgb(156, 208, 255));
    RunTransformCommand(CMD_DARKEN);
    EXPECT_EQ(RecordColors(g_picture)[0], Rgb(127, 191, 255));
    EXPECT_EQ(g_brightness, 0);
}

TEST_F(CommandState, InvertOfABrightenedPictureWithoutMemory) {
    // The final restore step cannot get its table: the colours and the level
    // still end as the inverse of the unbrightened picture.
    Show(PatternPicture(4, 2, 4));
    SetColor(g_picture, 0, 128, 64, 0);
    RunTransformCommand(CMD_BRIGHTEN);
    ASSERT_EQ(RecordColors(g_picture)[0], Rgb(157, 96, 0));
    RecordMessages record;
    FailGlobalAllocAt(1);
    RunTransformCommand(CMD_INVERT);
    FailGlobalAllocAt(0);
    EXPECT_TRUE(record.messages.empty());
    EXPECT_EQ(RecordColors(g_picture)[0], Rgb(127, 191, 255));
    EXPECT_EQ(g_brightness, 0);
    EXPECT_EQ(g_orientation, 8);
}

TEST_F(CommandState, BrightenReducesATrueColourPictureOnce) {
    HGLOBAL colour = PatternPicture(8, 8, 24);
    const Bytes colourBytes = RecordBytes(colour);
    Show(colour);
    RunTransformCommand(CMD_BRIGHTEN);
    EXPECT_EQ(g_original, colour) << "the untouched picture is kept";
    EXPECT_EQ(RecordBytes(g_original), colourBytes);
    EXPECT_EQ(HeaderOf(g_picture).biBitCount, 8);
    EXPECT_TRUE(g_userModified);
    EXPECT_EQ(g_brightness, 1);
    // The table before the step is the reduced one; darkening gives it back.
    HGLOBAL reduced = g_picture;
    std::vector<uint32_t> brightened = RecordColors(g_picture);
    RunTransformCommand(CMD_DARKEN);
    EXPECT_EQ(g_picture, reduced) << "no second reduction";
    EXPECT_EQ(g_original, colour);
    EXPECT_EQ(g_brightness, 0);
    std::vector<uint32_t> restored = RecordColors(g_picture);
    ASSERT_EQ(restored.size(), brightened.size());
    for (size_t i = 0; i < restored.size(); i++) {
        const BYTE* saved = g_savedColors + 4 * i;
        EXPECT_EQ(restored[i], Rgb(saved[2], saved[1], saved[0])) << i;
        // Brightening never darkens a component.
        EXPECT_GE(brightened[i] >> 16, restored[i] >> 16);
        EXPECT_GE((brightened[i] >> 8) & 255, (restored[i] >> 8) & 255);
        EXPECT_GE(brightened[i] & 255, restored[i] & 255);
    }
    // True Color shows the untouched picture again.
    RunTransformCommand(CMD_BRIGHTEN);
    EXPECT_TRUE(RunToolCommand(CMD_TRUE_COLOR));
    EXPECT_EQ(g_picture, colour);
    EXPECT_EQ(RecordBytes(g_picture), colourBytes);
    EXPECT_EQ(g_original, nullptr);
    EXPECT_EQ(g_brightness, 0);
}

TEST_F(CommandState, BrightenWithAnOriginalLeavesTheFlagAlone) {
    // A true-colour picture reduced for a 256-colour screen: only the shown
    // copy is brightened and Convert/Save would still write the original.
    Show(PatternPicture(4, 4, 8));
    g_bitCount = 24;
    g_original = PatternPicture(4, 4, 24);
    const HGLOBAL original = g_original, shown = g_picture;
    g_monochromeTool = true;
    RunTransformCommand(CMD_BRIGHTEN);
    EXPECT_EQ(g_original, original);
    EXPECT_EQ(g_picture, shown);
    EXPECT_FALSE(g_userModified);
    EXPECT_TRUE(g_monochromeTool);
    EXPECT_EQ(g_brightness, 1);
}

TEST_F(CommandState, GrayscaleOfATrueColourPicture) {
    HGLOBAL colour = AllocImageRecord(2, 1, 24, 0);
    BYTE* p = ImagePixels(static_cast<BITMAPINFOHEADER*>(GlobalLock(colour)));
    const BYTE pixels[6] = {10, 200, 100, 255, 255, 255};
    std::memcpy(p, pixels, 6);
    GlobalUnlock(colour);
    Show(colour);
    g_monochromeTool = true;
    RunTransformCommand(CMD_GRAYSCALE);
    EXPECT_EQ(g_original, colour);
    EXPECT_EQ(HeaderOf(g_picture).biBitCount, 8);
    EXPECT_EQ(RawPixelAt(g_picture, 0, 0), 149u);
    EXPECT_EQ(RawPixelAt(g_picture, 1, 0), 255u);
    EXPECT_TRUE(g_userModified);
    EXPECT_FALSE(g_monochromeTool);
}

TEST_F(CommandState, GrayscaleStartsFromTheUnbrightenedColours) {
    Show(PatternPicture(2, 2, 8));
    SetColor(g_picture, 0, 128, 64, 0);
    RunTransformCommand(CMD_BRIGHTEN);
    RunTransformCommand(CMD_GRAYSCALE);
    EXPECT_EQ(g_brightness, 0);
    // (30 x 128 + 59 x 64) / 100 = 76, not the grey of (157, 96, 0).
    EXPECT_EQ(RecordColors(g_picture)[0], Rgb(76, 76, 76));
}

TEST_F(CommandState, GrayscaleOfPureBlackAndWhiteRestores) {
    HGLOBAL mono = PatternPicture(9, 2, 1);
    SetColor(mono, 0, 0, 0, 0);
    SetColor(mono, 1, 255, 255, 255);
    const Bytes monoBytes = RecordBytes(mono);
    Show(mono);
    g_colorsUsed = 1;
    // A reduction made earlier and the picture turned since.
    g_original = mono;
    g_picture = PatternPicture(2, 9, 8);
    TransformPicture(&g_original, TRANSFORM_ROTATE_90, KIND_RASTER, &g_orientation);
    g_userModified = true;
    RunTransformCommand(CMD_GRAYSCALE);
    EXPECT_EQ(g_original, nullptr);
    EXPECT_EQ(RecordBytes(g_picture), monoBytes);
    EXPECT_EQ(g_orientation, 0);
    EXPECT_FALSE(g_userModified);
}

TEST_F(CommandState, GrayscaleOnASixteenColourDisplay) {
    // The grey picture is mapped to the 256 standard colours; the undithered
    // grey picture is not kept, the colour one stays the original.
    g_displayDepth = 4;
    HGLOBAL colour = PatternPicture(6, 5, 24);
    Show(colour);
    RunTransformCommand(CMD_GRAYSCALE);
    EXPECT_EQ(g_original, colour);
    BITMAPINFOHEADER h = HeaderOf(g_picture);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biClrUsed, 256u);
    RGBQUAD standard[256];
    FillStandardPalette(256, standard);
    std::vector<uint32_t> colors = RecordColors(g_picture);
    ASSERT_EQ(colors.size(), 256u);
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(colors[i], Rgb(standard[i].rgbRed, standard[i].rgbGreen, standard[i].rgbBlue));
    EXPECT_TRUE(g_userModified);
}

TEST_F(CommandState, GrayscaleWithoutMemoryKeepsTheUntouchedPicture) {
    // Also on a 16-colour display: the untouched picture is neither reduced
    // nor freed when the grey picture could not be made.
    for (int depth : {32, 4}) {
        SetUp();
        g_displayDepth = depth;
        HGLOBAL colour = PatternPicture(3, 3, 24);
        const Bytes colourBytes = RecordBytes(colour);
        g_original = colour;
        Show(PatternPicture(3, 3, 8));
        g_bitCount = 24;
        RecordMessages record;
        FailGlobalAllocAt(1);
        RunTransformCommand(CMD_GRAYSCALE);
        FailGlobalAllocAt(0);
        ASSERT_EQ(record.messages.size(), 1u);
        EXPECT_EQ(record.messages[0].text, kNoMemory);
        EXPECT_EQ(g_picture, colour);
        EXPECT_EQ(RecordBytes(g_picture), colourBytes);
        EXPECT_EQ(g_original, nullptr);
        EXPECT_FALSE(g_userModified);
    }
}
