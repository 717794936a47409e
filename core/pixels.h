// The pixels of stored rows, shared by the formats and the tools: the
// colour-table index of a pixel in a 1-, 4- or 8-bit row, the colours of a
// 5-5-5 word, and whole rows as red, green, blue.
#pragma once

#include "platform/win32.h"

// The index of pixel x; 1-bit rows hold the leftmost pixel in the top bit,
// 4-bit rows in the high nibble.
inline unsigned PixelIndex(const BYTE* row, int bits, uint64_t x) {
    if (bits == 1) return (row[x / 8] >> (7 - x % 8)) & 1;
    if (bits == 4) return (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    return row[x];
}

// Ors index into pixel x of a zero-filled 1- or 4-bit row.
inline void OrPixelIndex(BYTE* row, int bits, uint64_t x, unsigned index) {
    if (bits == 1)
        row[x / 8] |= BYTE(index << (7 - x % 8));
    else
        row[x / 2] |= BYTE((x & 1) ? index : index << 4);
}

struct RgbColor {
    BYTE red, green, blue;
};

// A 5-5-5 word (red in bits 10-14): each five bits scaled to eight by a shift.
inline RgbColor Unpack555(unsigned word) {
    return RgbColor{BYTE(((word >> 10) & 0x1F) << 3), BYTE(((word >> 5) & 0x1F) << 3),
                    BYTE((word & 0x1F) << 3)};
}

// Converts width pixels of a row of bitCount 1, 4, 8, 16 (5-5-5), 24 or 32 bits
// to (red, green, blue) byte triples. Palette rows look their indices up in
// table; an index at or past tableCount (a record that lists fewer colours
// than its pixels use) reads as black.
void RowToRgb(const BYTE* row, int64_t width, int bitCount, const RGBQUAD* table, int tableCount,
              BYTE* rgb);
