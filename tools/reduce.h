// Colour reduction: fixed palettes and median-cut best colours, mapped with
// Floyd-Steinberg error diffusion through a lazily filled inverse colour map.
#pragma once

#include "platform/win32.h"

// Reduces *current to an 8-bit palette picture. target 2, 16, 216 or 256 names
// a fixed palette; -256, -32, -16 ask for the best colours. The picture that
// was reduced ends in *original (a reduction always starts from *original when
// it is set). viewKind other than KIND_RASTER only shows the refusal message.
void ReduceColors(HGLOBAL* current, HGLOBAL* original, int target, int viewKind, bool waitCursor);

// Writes the 16 standard colours (count / 16 == 1) or the 256 standard colours.
void FillStandardPalette(int count, RGBQUAD* table);
