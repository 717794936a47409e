#include "tools/display.h"

#include "core/state.h"
#include "tools/reduce.h"

// Palette displays show a reduced copy; the untouched picture waits in the
// original slot. The preview takes the 256 standard colours on any palette
// display; the window load takes them at 4 bits and the best 256 at 8 bits.
void AdaptToDisplay(LoadKind kind) {
    if (g_viewKind != KIND_RASTER || !g_picture) return;
    bool pureBlackAndWhite = g_colorsUsed == 1 && g_bitCount == 1;
    int depth = g_displayDepth;
    if (kind == LOAD_PREVIEW) {
        if (depth <= 8 && !pureBlackAndWhite)
            ReduceColors(&g_picture, &g_original, REDUCE_STANDARD_256, 0, false);
    } else if (depth == 4 && !pureBlackAndWhite) {
        ReduceColors(&g_picture, &g_original, REDUCE_STANDARD_256, 0, false);
    } else if (depth == 8 && g_bitCount > 8) {
        ReduceColors(&g_picture, &g_original, REDUCE_BEST_256, 0, false);
    }
}
