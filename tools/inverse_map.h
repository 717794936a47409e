// The inverse colour map: the colour-table index for any colour, computed one
// update box of 4 x 8 x 4 cells at a time and cached in the histogram memory
// (a cell value v != 0 means index v - 1; 0 means not computed yet).
#pragma once

#include "tools/colour_cells.h"

// Stores (index + 1) in every cell of the update box holding cell (c0, c1, c2):
// for each cell centre, the nearest map entry by (2 dR)^2 + (3 dG)^2 + dB^2,
// the lowest index on a tie, searched among the entries that can win anywhere
// in the box.
void FillUpdateBox(WORD* cache, const ColorMap& map, int c0, int c1, int c2);

// The colour-table index for (red, green, blue), filling its update box first
// when the cell is not cached yet.
inline int LookupColorIndex(WORD* cache, const ColorMap& map, int red, int green, int blue) {
    int c0 = red >> 3, c1 = green >> 2, c2 = blue >> 3;
    WORD* cell = cache + CellIndex(c0, c1, c2);
    if (*cell == 0) FillUpdateBox(cache, map, c0, c1, c2);
    return *cell - 1;
}
