// The colour-table index of one pixel in a stored row of 1, 4 or 8 bits.
#pragma once

#include "platform/win32.h"

inline unsigned PixelIndex(const BYTE* row, int bits, uint64_t x) {
    if (bits == 1) return (row[x / 8] >> (7 - x % 8)) & 1;
    if (bits == 4) return (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    return row[x];
}
