// Which viewer menu items are greyed and how the variable ones read.
#include "shell/menu_rules.h"

#include "core/state.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string Text(const char* s) {
    return s ? s : "(unchanged)";
}
} // namespace

TEST(ShellMenuRules, ToolsOnTrueColourAndPaletteDisplays) {
    struct {
        int kind, depth, bits, colors;
        bool trueColor, best256, best32, best16, standard16, brighten;
        const char* gray;
    } const cases[] = {
        // A 24-bit picture on true colour, on 256 and on 16 colours.
        {KIND_RASTER, 32, 24, 0, true, true, true, true, true, true, "&Grayscale (256 colors)"},
        {KIND_RASTER, 8, 24, 0, false, true, true, true, true, true, "&Grayscale (256 colors)"},
        {KIND_RASTER, 4, 24, 0, false, false, false, false, true, false, "&Grayscale (4 colors)"},
        // 8-bit with 20 colours: 256 best greyed, 32 best on.
        {KIND_RASTER, 32, 8, 20, false, false, true, true, true, true, "&Grayscale (256 colors)"},
        // 8-bit with 200 colours: both on.
        {KIND_RASTER, 32, 8, 200, false, true, true, true, true, true, "&Grayscale (256 colors)"},
        // 4-bit: the best-colour reductions are greyed.
        {KIND_RASTER, 32, 4, 16, false, false, false, true, true, true, "&Grayscale (256 colors)"},
        // Pure black and white: nothing to reduce, nothing to brighten.
        {KIND_RASTER, 32, 1, 1, false, false, false, false, false, false,
         "&Grayscale (256 colors)"},
        // 1-bit with two colours that are not black and white can be brightened.
        {KIND_RASTER, 32, 1, 2, false, false, false, true, true, true, "&Grayscale (256 colors)"},
        // No picture.
        {KIND_NONE, 32, 0, 0, false, false, false, false, false, false, "&Grayscale (256 colors)"},
    };
    for (const auto& c : cases) {
        MenuInputs in = {c.kind, c.depth, c.bits, c.colors, false, false, c.bits};
        MenuStates s = ComputeMenuStates(in);
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " depth " << c.depth << " bits "
                                        << c.bits << " colours " << c.colors);
        EXPECT_EQ(s.trueColor, c.trueColor);
        EXPECT_EQ(s.best256, c.best256);
        EXPECT_EQ(s.best32, c.best32);
        EXPECT_EQ(s.best16, c.best16);
        EXPECT_EQ(s.standard256, c.best16 && c.depth >= 8);
        EXPECT_EQ(s.web216, c.best16 && c.depth >= 8);
        EXPECT_EQ(s.standard16, c.standard16);
        EXPECT_EQ(s.brighten, c.brighten);
        EXPECT_EQ(s.darken, c.brighten);
        EXPECT_EQ(Text(s.grayscaleLabel), c.gray);
        EXPECT_EQ(s.tools, c.kind == KIND_RASTER);
        EXPECT_EQ(s.convertSave, c.kind == KIND_RASTER);
    }
}

TEST(ShellMenuRules, BmpSubmenuFollowsThePictureToSave) {
    struct {
        int kind, saveBits;
        bool rle, bitfields;
        const char *rleLabel, *label555, *label565;
    } const cases[] = {
        {KIND_NONE, 0, true, true, "&RLE Compression", "RGB &8 8 8", "RGB &10 10 10"},
        {KIND_RASTER, 0, true, true, "&RLE Compression", "RGB &8 8 8", "RGB &10 10 10"},
        {KIND_RASTER, 1, false, false, "&RLE Compression", "(unchanged)", "(unchanged)"},
        {KIND_RASTER, 4, true, false, "&RLE4 Compression", "(unchanged)", "(unchanged)"},
        {KIND_RASTER, 8, true, false, "&RLE8 Compression", "(unchanged)", "(unchanged)"},
        {KIND_RASTER, 16, false, true, "&RLE Compression", "RGB 5 &5 5", "RGB 5 &6 5"},
        {KIND_RASTER, 24, false, false, "&RLE Compression", "(unchanged)", "(unchanged)"},
        {KIND_RASTER, 32, false, true, "(unchanged)", "RGB &8 8 8", "RGB &10 10 10"},
    };
    for (const auto& c : cases) {
        MenuInputs in = {c.kind, 32, c.saveBits, 0, false, false, c.saveBits};
        MenuStates s = ComputeMenuStates(in);
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " bits " << c.saveBits);
        EXPECT_EQ(s.bmpRle, c.rle);
        EXPECT_EQ(s.bmpBitfields, c.bitfields);
        EXPECT_EQ(Text(s.bmpRleLabel), c.rleLabel);
        EXPECT_EQ(Text(s.bitfields555Label), c.label555);
        EXPECT_EQ(Text(s.bitfields565Label), c.label565);
    }
}

TEST(ShellMenuRules, TileLabelAndMonochromeTiffItems) {
    MenuInputs in = {KIND_RASTER, 32, 8, 200, false, false, 8};
    EXPECT_EQ(Text(ComputeMenuStates(in).centerTileLabel), "&Tile");
    EXPECT_FALSE(ComputeMenuStates(in).tiffMonochrome);
    in.tile = true;
    EXPECT_EQ(Text(ComputeMenuStates(in).centerTileLabel), "&Center");
    in.monochromeTool = true;
    EXPECT_TRUE(ComputeMenuStates(in).tiffMonochrome);
    in.monochromeTool = false;
    in.colorsUsed = 1;
    in.bitCount = 1;
    EXPECT_TRUE(ComputeMenuStates(in).tiffMonochrome);
}
