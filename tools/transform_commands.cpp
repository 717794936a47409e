// The geometry and tone commands of the Tools menu, over the current-image
// state: rotations, mirrors and inversion of both the shown and the original
// picture, brightness steps and grey levels.
#include "core/image.h"
#include "core/state.h"
#include "core/text.h"
#include "tools/commands.h"
#include "tools/reduce.h"
#include "core/tool_messages.h"
#include "core/transform.h"

#include <cstring>

namespace {
// A 1-bit picture of exactly black and white, as recorded at load.
bool PureBlackAndWhite() {
    return g_colorsUsed == 1 && g_bitCount == 1;
}

int InverseOf(int operation) {
    if (operation == TRANSFORM_ROTATE_90) return TRANSFORM_ROTATE_270;
    if (operation == TRANSFORM_ROTATE_270) return TRANSFORM_ROTATE_90;
    return operation; // the half turn, the mirrors and inversion undo themselves
}

// The original picture must keep the orientation of the shown one, so the two
// change together or not at all: every operation changes the word it keeps,
// which tells whether it was done.
void TransformBoth(int operation) {
    if (g_original) {
        int scratch = 0;
        TransformPicture(&g_original, operation, g_viewKind, &scratch);
        if (scratch == 0) return; // refused, and the user was told why
    }
    const int before = g_orientation;
    TransformPicture(&g_picture, operation, g_viewKind, &g_orientation);
    if (g_orientation == before && g_original) {
        int scratch = 0;
        TransformPicture(&g_original, InverseOf(operation), g_viewKind, &scratch);
    }
}

// The colour table before the first brightness step, back in the shown picture.
void PutSavedColorsBack() {
    if (!IsValidImageRecord(g_picture)) return;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(g_picture));
    if (header->biBitCount <= 8)
        std::memcpy(reinterpret_cast<BYTE*>(header) + 40, g_savedColors,
                    4 * size_t(ImageColorCount(header)));
    GlobalUnlock(g_picture);
}

// Inverting a brightened picture drops the brightness change: the result is the
// inverse of the unbrightened colours, and the saved table becomes that inverse.
void InvertCommand() {
    const int level = g_brightness;
    if (level != 0) {
        PutSavedColorsBack();
        for (int i = 0; i < 256; i++)
            for (int c = 0; c < 3; c++) g_savedColors[4 * i + c] = BYTE(~g_savedColors[4 * i + c]);
    }
    TransformBoth(TRANSFORM_INVERT);
    if (level != 0) {
        AdjustBrightness(g_picture, g_savedColors, &g_brightness, 0);
        // The table already is the inverted saved one; without memory for its
        // curve the step above does nothing, and the level must still end at 0.
        g_brightness = 0;
    }
}

// Brightness acts on a colour table, so a true-colour picture is first reduced
// to its best 256 colours; the untouched picture stays the original.
void BrightnessCommand(int step) {
    if (!g_original && g_bitCount > 8) {
        g_monochromeTool = false;
        ReduceColors(&g_picture, &g_original, REDUCE_BEST_256, KIND_RASTER, true);
        g_userModified = true;
    }
    AdjustBrightness(g_picture, g_savedColors, &g_brightness, step);
}

void GrayscaleCommand() {
    ResetBrightness();
    g_monochromeTool = false;
    if (PureBlackAndWhite()) {
        RestoreOriginalPicture();
        return;
    }
    MakeGrayscale(&g_picture, &g_original, g_viewKind);
    // A grey picture always leaves the untouched one in the original slot; an
    // empty slot means it failed, and the untouched picture, now shown, must
    // not be reduced and then freed as if it were the grey one.
    if (!g_original) return;
    if (g_displayDepth == 4) {
        HGLOBAL grey = nullptr; // the undithered grey picture, not kept
        ReduceColors(&g_picture, &grey, REDUCE_STANDARD_256, KIND_RASTER, true);
        if (grey) GlobalFree(grey);
    }
    g_userModified = true;
}
} // namespace

bool RunTransformCommand(int id) {
    switch (id) {
    case CMD_ROTATE_90:
    case CMD_ROTATE_180:
    case CMD_ROTATE_270:
    case CMD_FLIP_LR:
    case CMD_FLIP_TB:
    case CMD_INVERT:
    case CMD_GRAYSCALE:
    case CMD_BRIGHTEN:
    case CMD_DARKEN:
        break;
    default:
        return false;
    }
    // One refusal for the command, whatever it would have touched.
    if (g_viewKind != KIND_RASTER) {
        ReportError(nullptr, kNotBitmapMessage);
        return true;
    }
    switch (id) {
    case CMD_ROTATE_90:
        TransformBoth(TRANSFORM_ROTATE_90);
        break;
    case CMD_ROTATE_180:
        TransformBoth(TRANSFORM_ROTATE_180);
        break;
    case CMD_ROTATE_270:
        TransformBoth(TRANSFORM_ROTATE_270);
        break;
    case CMD_FLIP_LR:
        TransformBoth(TRANSFORM_FLIP_LR);
        break;
    case CMD_FLIP_TB:
        TransformBoth(TRANSFORM_FLIP_TB);
        break;
    case CMD_INVERT:
        InvertCommand();
        break;
    case CMD_GRAYSCALE:
        GrayscaleCommand();
        break;
    case CMD_BRIGHTEN:
        BrightnessCommand(+1);
        break;
    case CMD_DARKEN:
        BrightnessCommand(-1);
        break;
    }
    RepaintViewer();
    return true;
}
