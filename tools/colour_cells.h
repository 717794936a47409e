// The colour cells shared by the histogram, the median cut, the inverse colour
// map and the mapping pass: 32 x 64 x 32 cells of 16-bit values indexed by
// (red >> 3, green >> 2, blue >> 3), held as 32 planes (one per red index) of
// 64 x 32 cells, and the colour map the reduction builds.
#pragma once

#include "platform/win32.h"

const int kRedCells = 32;
const int kGreenCells = 64;
const int kBlueCells = 32;
const int kHistogramCells = kRedCells * kGreenCells * kBlueCells;
const int kHistogramBytes = kHistogramCells * 2; // 32 planes of 4096 bytes

inline int CellIndex(int c0, int c1, int c2) {
    return (c0 * kGreenCells + c1) * kBlueCells + c2;
}

// The colour of each colour-table entry; count is k, the entries in use.
struct ColorMap {
    BYTE* red;
    BYTE* green;
    BYTE* blue;
    int count;
};
