// Pictures for the colour-reduction tests, and a plain reference of the
// mapping: nearest colour by brute force at each cell centre and serpentine
// Floyd-Steinberg over a whole-picture error array.
#pragma once

#include "unit/test_util.h"

#include <vector>

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// A record of width x height at bits. For bit counts up to 8, palette holds
// 0xRRGGBB colours (its size is biClrUsed unless clrUsed >= 0 says otherwise)
// and pixels the indices; above 8 bits pixels are 0xRRGGBB (24, 32) or the raw
// 5-5-5 word (16). Pixels are in stored order: bottom row first, left to right.
HGLOBAL MakeRecord(int width, int height, int bits, const std::vector<uint32_t>& palette,
                   const std::vector<uint32_t>& pixels, int clrUsed = -1);

// The whole block, byte for byte.
Bytes BlockBytes(HGLOBAL block);
// The record a block holds: header, colour table and pixel rows (a block may
// be longer, as after quarter turns).
Bytes RecordContent(HGLOBAL image);
// A new block with the same bytes.
HGLOBAL CopyBlock(HGLOBAL block);

// The record ReduceColors makes of a copy of the picture (RecordContent).
Bytes ReducedCopy(HGLOBAL picture, int target);

// The raw values of a record in stored order (bottom row first).
std::vector<uint32_t> StoredValues(HGLOBAL image);
// A record's colour table (ImageColorCount entries) as triples.
std::vector<Rgb> TableOf(HGLOBAL image);
// A record's pixels as the reduction reads them, in stored order: palette
// entries (black past the table), 5-5-5 words by plain shifts.
std::vector<Rgb> SourceColours(HGLOBAL image);

// The lowest-index palette entry nearest to the centre of the cell of c, by
// (2 dR)^2 + (3 dG)^2 + dB^2.
int NearestAtCellCentre(const std::vector<Rgb>& palette, Rgb c);

// The colour-table index of every pixel (stored order) after serpentine error
// diffusion onto palette.
std::vector<uint32_t> ReferenceMapping(const std::vector<Rgb>& source, int width, int height,
                                       const std::vector<Rgb>& palette);
