// Colour reduction: fixed palettes and median-cut best colours, mapped with
// Floyd-Steinberg error diffusion through a lazily filled inverse colour map.
#pragma once

#include "platform/win32.h"

// What ReduceColors reduces to: a fixed palette (the value is its size), or
// the best colours of the picture (minus their number).
enum ReduceTarget {
    REDUCE_MONOCHROME = 2,
    REDUCE_STANDARD_16 = 16,
    REDUCE_WEB_216 = 216,
    REDUCE_STANDARD_256 = 256,
    REDUCE_BEST_16 = -16,
    REDUCE_BEST_32 = -32,
    REDUCE_BEST_256 = -256,
};

// Reduces *current to an 8-bit palette picture of a ReduceTarget. The picture that
// was reduced ends in *original (a reduction always starts from *original when
// it is set). viewKind other than KIND_RASTER only shows the refusal message.
void ReduceColors(HGLOBAL* current, HGLOBAL* original, int target, int viewKind, bool waitCursor);

// Writes the 16 standard colours (count / 16 == 1) or the 256 standard colours.
void FillStandardPalette(int count, RGBQUAD* table);
