#include "shell/menu_rules.h"

#include "core/state.h"

MenuStates ComputeMenuStates(const MenuInputs& in) {
    MenuStates s = {};
    const bool raster = in.kind == KIND_RASTER;
    const int B = in.bitCount, U = in.colorsUsed;
    const bool mono = U == 1 && B == 1;
    const bool noColourTool = !raster || mono;
    if (in.displayDepth >= 8) {
        s.trueColor = in.displayDepth != 8 && B > 8 && raster;
        s.best256 = !((raster && U >= 1 && U <= 32 && B <= 8) || B <= 4 || !raster);
        s.best32 = !((raster && U >= 1 && U <= 16 && B <= 8) || B <= 4 || !raster);
        s.best16 = s.standard256 = s.web216 = !noColourTool;
        s.grayscaleLabel = "&Grayscale (256 colors)";
        s.brighten = s.darken = raster && !(U <= 1 && B <= 1);
    } else {
        s.grayscaleLabel = "&Grayscale (4 colors)";
    }
    s.standard16 = !noColourTool;
    s.tiffMonochrome = U == 1 || in.monochromeTool;
    s.centerTileLabel = in.tile ? "&Center" : "&Tile";

    if (in.saveBitCount == 0 || !raster) {
        s.bmpRle = s.bmpBitfields = true;
        s.bmpRleLabel = "&RLE Compression";
        s.bitfields555Label = "RGB &8 8 8";
        s.bitfields565Label = "RGB &10 10 10";
    } else if (in.saveBitCount == 4 || in.saveBitCount == 8) {
        s.bmpRle = true;
        s.bmpRleLabel = in.saveBitCount == 4 ? "&RLE4 Compression" : "&RLE8 Compression";
    } else if (in.saveBitCount == 16) {
        s.bmpBitfields = true;
        s.bmpRleLabel = "&RLE Compression";
        s.bitfields555Label = "RGB 5 &5 5";
        s.bitfields565Label = "RGB 5 &6 5";
    } else if (in.saveBitCount == 32) {
        s.bmpBitfields = true;
        s.bitfields555Label = "RGB &8 8 8";
        s.bitfields565Label = "RGB &10 10 10";
    } else {
        s.bmpRleLabel = "&RLE Compression";
    }
    s.convertSave = s.tools = raster;
    return s;
}
