// The colour table of palette PNG files, worked out by the reader itself from
// the file's PLTE and tRNS chunks with libpng's own gamma arithmetic (fixed
// point, 100000 for 1.0). libpng corrects its own copy of the palette, but
// whether png_get_PLTE then hands back the corrected or the stored copy has
// changed between builds of the same release; the table must not.
#pragma once

#include "platform/win32.h"

#include <cstdint>

// The gamma values the reader gives libpng for a file, and whether libpng
// then corrects colours for the display.
struct PngGammaChoice {
    int32_t file;   // the file's gamma
    int32_t screen; // the display's
    bool correct;   // the overall correction is not within libpng's threshold of 1
};

// A file with an sRGB chunk is shown as it is (libpng then takes the display
// to match the file); otherwise its gamma, or 0.45 when it states none, is
// corrected for a display of 2.2. fileGamma is libpng's value for the file,
// used when haveGamma.
PngGammaChoice ChoosePngGamma(bool srgb, bool haveGamma, int32_t fileGamma);

// libpng's rules: a gamma is worth correcting when it is not within 0.05 of
// 1; the exponents of its tables are reciprocals rounded to its fixed point.
bool PngGammaSignificant(int32_t gamma);
int32_t PngReciprocal(int32_t a);
int32_t PngReciprocal2(int32_t a, int32_t b);
// Entry v of the 8-bit table for exponent e: 255 x (v / 255)^e, rounded;
// the identity when e is not significant.
void PngGammaTable(BYTE table[256], int32_t exponent);

// libpng's three 8-bit tables for a file, and whether opaque samples go
// through the first: file to display, file to linear light, linear light to
// display.
struct PngOntoWhite {
    BYTE toScreen[256], toLinear[256], fromLinear[256];
    bool correctOpaque;
};
// For samples with alpha (anywhere in the file when alpha is true: libpng then
// builds its tables whatever the overall correction) or without.
void PreparePngOntoWhite(PngOntoWhite* w, const PngGammaChoice& gamma, bool alpha);
// One sample with its alpha put onto white: opaque samples corrected, fully
// transparent ones white, the rest composited in linear light and encoded for
// the display.
BYTE PngSampleOntoWhite(const PngOntoWhite* w, BYTE value, BYTE alpha);

// Fills keep colour-table entries (blue, green, red, 0) from the file's
// palette (entries red, green, blue triples) and its tRNS alpha values
// (alphaCount of them, the first entries' alpha; the rest are opaque).
// Opaque entries are corrected for the display as libpng corrects them;
// entries with alpha below 255 are composited onto white in linear light and
// encoded for the display, as libpng composites the alpha of RGB and gray
// files (and would composite a palette's).
void FillPngPaletteTable(BYTE* table, int keep, const BYTE* palette, int entries, const BYTE* alpha,
                         int alphaCount, const PngGammaChoice& gamma);
