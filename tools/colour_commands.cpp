// The colour commands of the Tools menu, over the current-image state.
#include "core/image.h"
#include "core/state.h"
#include "tools/commands.h"
#include "tools/reduce.h"

#include <cstring>

namespace {
// A 1-bit picture of exactly black and white, as recorded at load.
bool PureBlackAndWhite() {
    return g_colorsUsed == 1 && g_bitCount == 1;
}

// A reduction chosen by the user: with the wait cursor, marked as a change.
void Reduce(int target) {
    ReduceColors(&g_picture, &g_original, target, g_viewKind, true);
    RepaintViewer();
    g_userModified = true;
}

void TakeOriginalBack() {
    if (!g_original) return;
    GlobalFree(g_picture);
    g_picture = g_original;
    g_original = nullptr;
}

// Restore when the picture already is what the command would make, else reduce.
void RestoreOrReduce(bool restore, int target) {
    if (restore)
        RestoreOriginalPicture();
    else
        Reduce(target);
}

void TrueColor() {
    TakeOriginalBack();
    g_userModified = false;
    if (g_viewKind != KIND_RASTER) return;
    if (g_displayDepth == 8 && g_bitCount > 8)
        ReduceColors(&g_picture, &g_original, REDUCE_BEST_256, 0, false);
    RepaintViewer();
}
} // namespace

void ResetBrightness() {
    if (g_original || g_brightness == 0) {
        g_brightness = 0;
        return;
    }
    // The colour table as it was before the first brightness step.
    BITMAPINFOHEADER* header =
        g_picture ? static_cast<BITMAPINFOHEADER*>(GlobalLock(g_picture)) : nullptr;
    if (header) {
        if (header->biBitCount <= 8) {
            uint64_t entries = uint64_t(ImageColorCount(header));
            if (40 + 4 * entries <= GlobalSize(g_picture))
                std::memcpy(reinterpret_cast<BYTE*>(header) + 40, g_savedColors, 4 * entries);
        }
        GlobalUnlock(g_picture);
    }
    g_brightness = 0;
}

void RestoreOriginalPicture() {
    TakeOriginalBack();
    if (g_viewKind == KIND_RASTER) {
        RestoreOrientation(&g_picture, &g_orientation);
        if (g_displayDepth == 8 && g_bitCount > 8)
            ReduceColors(&g_picture, &g_original, REDUCE_BEST_256, g_viewKind, false);
        if (g_displayDepth == 4 && !PureBlackAndWhite())
            ReduceColors(&g_picture, &g_original, REDUCE_STANDARD_256, g_viewKind, false);
        RepaintViewer();
    }
    g_orientation = 0;
    g_userModified = false;
}

bool RunColourCommand(int id) {
    switch (id) {
    case CMD_STANDARD_256:
    case CMD_WEB_216:
    case CMD_STANDARD_16:
    case CMD_MONOCHROME:
    case CMD_BEST_256:
    case CMD_BEST_32:
    case CMD_BEST_16:
    case CMD_TRUE_COLOR:
    case CMD_RESTORE_ORIGINAL:
        break;
    default:
        return false;
    }
    // Restore Original Image resets the brightness the same way itself.
    ResetBrightness();
    g_monochromeTool = id == CMD_MONOCHROME;
    switch (id) {
    case CMD_STANDARD_256:
        RestoreOrReduce(PureBlackAndWhite(), REDUCE_STANDARD_256);
        break;
    case CMD_WEB_216:
        RestoreOrReduce(PureBlackAndWhite(), REDUCE_WEB_216);
        break;
    case CMD_STANDARD_16:
        RestoreOrReduce(PureBlackAndWhite(), REDUCE_STANDARD_16);
        break;
    case CMD_MONOCHROME:
        RestoreOrReduce(PureBlackAndWhite(), REDUCE_MONOCHROME);
        break;
    case CMD_BEST_256:
        RestoreOrReduce(g_bitCount <= 8, REDUCE_BEST_256);
        break;
    case CMD_BEST_32:
        RestoreOrReduce(g_bitCount <= 4 ||
                            (g_bitCount == 8 && g_colorsUsed >= 1 && g_colorsUsed <= 32),
                        REDUCE_BEST_32);
        break;
    case CMD_BEST_16:
        RestoreOrReduce(g_bitCount <= 4, REDUCE_BEST_16);
        break;
    case CMD_TRUE_COLOR:
        TrueColor();
        break;
    case CMD_RESTORE_ORIGINAL:
        RestoreOriginalPicture();
        break;
    }
    return true;
}
