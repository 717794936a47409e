// One stored row of an Image record as (red, green, blue) byte triples, the
// form in which the colour reduction counts and maps pixels.
#pragma once

#include "platform/win32.h"

// Converts width pixels of a row of bitCount 1, 4, 8, 16 (5-5-5), 24 or 32 bits.
// Palette rows look their indices up in table; an index at or past tableCount
// (a record that lists fewer colours than its pixels use) reads as black.
void RowToRgb(const BYTE* row, int64_t width, int bitCount, const RGBQUAD* table, int tableCount,
              BYTE* rgb);
