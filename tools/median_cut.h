// The median cut of the best-colours reduction: a counted histogram is split
// into boxes, and each box's count-weighted centre becomes one colour.
#pragma once

#include "tools/colour_cells.h"

// A box of histogram cells: inclusive bounds on the red (0..31), green (0..63)
// and blue (0..31) cell indices, its weighted volume and the number of
// non-zero cells inside.
struct ColorBox {
    int c0min, c0max;
    int c1min, c1max;
    int c2min, c2max;
    int volume;
    int colorCount;
};

// Adds one pixel per (red, green, blue) triple of the row to its cell; a cell
// at 65535 stays there.
void CountRowColors(WORD* histogram, const BYTE* rgb, int64_t width);

// Tightens the box to the non-zero cells it holds (red, then green, then
// blue), then sets its volume and colour count.
void ShrinkBox(const WORD* histogram, ColorBox* box);

// The count-weighted mean of the cell centres in the box.
void BoxColor(const WORD* histogram, const ColorBox& box, BYTE* red, BYTE* green, BYTE* blue);

// Splits the counted histogram into at most wanted boxes (the box list has
// room for wanted), writes their colours to map entries 0..k-1 in list order
// and returns k (also stored in map->count).
int MedianCut(const WORD* histogram, int wanted, ColorBox* boxes, ColorMap* map);
