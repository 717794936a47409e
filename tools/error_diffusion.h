// Floyd-Steinberg error diffusion of the colour reduction: serpentine rows
// (even rows left to right, odd rows right to left), errors kept in sixteenths
// in one 16-bit error row and limited before they are added.
#pragma once

#include "tools/colour_cells.h"

const int kErrorLimitSize = 511; // errors -255..255, entry v + 255

// limit[v + 255]: v below 16 in size as it is, 16..47 halved above 16, 48 and
// more held at 32 (sign kept).
void BuildErrorLimit(int* limit);

// The mapping state of one reduction: errors has (width + 2) x 3 entries, zero
// before the first row (entry x + 1 belongs to column x; entries 0 and
// width + 1 are written, never read).
struct Diffusion {
    int16_t* errors;
    const int* limit;
    WORD* cache; // the inverse colour map
    const ColorMap* map;
};

// Maps row y (0 = first stored row) of (red, green, blue) triples to
// colour-table indices in out, carrying the errors on to the next row.
void DiffuseRow(const Diffusion& state, const BYTE* rgb, int64_t width, int64_t y, BYTE* out);
