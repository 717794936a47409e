// libpng's gamma arithmetic for palette files, step for step as libpng 1.6
// does it with floating-point arithmetic, so that each entry comes out as the
// library would have made it.
#include "formats/library/png_gamma.h"

#include <png.h>

#include <cmath>

namespace {
const int32_t kUnit = 100000;
const int32_t kThreshold = 5000;    // libpng's PNG_GAMMA_THRESHOLD_FIXED
const int32_t kDefaultFile = 45000; // 0.45, for files that state no gamma
const int32_t kScreen = 220000;     // 2.2
const int32_t kSrgbFile = 45455;    // what an sRGB chunk stands for

// A double rounded to libpng's fixed point; 0 when it does not fit.
int32_t Fixed(double r) {
    r = std::floor(r + .5);
    return r <= 2147483647. && r >= -2147483648. ? int32_t(r) : 0;
}

// a x times / divisor, as libpng's png_muldiv; false on overflow.
bool MulDiv(int32_t a, int32_t times, int32_t divisor, int32_t* result) {
    if (a == 0 || times == 0) {
        *result = 0;
        return true;
    }
    double r = a;
    r *= times;
    r /= divisor;
    r = std::floor(r + .5);
    if (r > 2147483647. || r < -2147483648.) return false;
    *result = int32_t(r);
    return true;
}

BYTE Corrected(unsigned value, int32_t exponent) {
    if (value == 0 || value >= 255) return BYTE(value & 0xFF);
    return BYTE(std::floor(255 * std::pow(int(value) / 255., exponent * .00001) + .5));
}
} // namespace

bool PngGammaSignificant(int32_t gamma) {
    return gamma < kUnit - kThreshold || gamma > kUnit + kThreshold;
}

int32_t PngReciprocal(int32_t a) {
    return a == 0 ? 0 : Fixed(1E10 / a);
}

int32_t PngReciprocal2(int32_t a, int32_t b) {
    if (a == 0 || b == 0) return 0;
    double r = 1E15 / a;
    r /= b;
    return Fixed(r);
}

void PngGammaTable(BYTE table[256], int32_t exponent) {
    const bool significant = PngGammaSignificant(exponent);
    for (unsigned i = 0; i < 256; i++) table[i] = significant ? Corrected(i, exponent) : BYTE(i);
}

PngGammaChoice ChoosePngGamma(bool srgb, bool haveGamma, int32_t fileGamma) {
    PngGammaChoice choice = {};
    if (srgb) {
        // No display gamma is asked for: libpng takes the file's reciprocal.
        choice.file = haveGamma ? fileGamma : kSrgbFile;
        choice.screen = PngReciprocal(choice.file);
        choice.correct = false;
        return choice;
    }
    choice.file = haveGamma ? fileGamma : kDefaultFile;
    choice.screen = kScreen;
    int32_t product = 0;
    // An overflow means a wild gamma: libpng corrects anyway.
    choice.correct =
        !MulDiv(choice.file, choice.screen, kUnit, &product) || PngGammaSignificant(product);
    return choice;
}

void PreparePngOntoWhite(PngOntoWhite* w, const PngGammaChoice& gamma, bool alpha) {
    PngGammaTable(w->toScreen, PngReciprocal2(gamma.file, gamma.screen));
    PngGammaTable(w->toLinear, PngReciprocal(gamma.file));
    PngGammaTable(w->fromLinear, gamma.screen > 0 ? PngReciprocal(gamma.screen) : gamma.file);
    w->correctOpaque = gamma.correct || alpha;
}

BYTE PngSampleOntoWhite(const PngOntoWhite* w, BYTE value, BYTE alpha) {
    if (alpha == 255) return w->correctOpaque ? w->toScreen[value] : value;
    if (alpha == 0) return 255; // white, the same in every encoding
    png_byte composite;
    png_composite(composite, w->toLinear[value], alpha, 255);
    return w->fromLinear[composite];
}

void FillPngPaletteTable(BYTE* table, int keep, const BYTE* palette, int entries, const BYTE* alpha,
                         int alphaCount, const PngGammaChoice& gamma) {
    if (alphaCount > entries) alphaCount = entries;
    // libpng composites only when some entry is not opaque; it then builds
    // its tables whatever the overall correction, and puts the opaque entries
    // through the file-to-display table too.
    bool compose = false;
    for (int i = 0; i < alphaCount; i++)
        if (alpha[i] != 255) compose = true;
    PngOntoWhite w;
    PreparePngOntoWhite(&w, gamma, compose);
    for (int i = 0; i < keep && i < entries; i++, table += 4) {
        const BYTE* rgb = palette + 3 * i;
        const BYTE a = i < alphaCount ? alpha[i] : 255;
        table[0] = PngSampleOntoWhite(&w, rgb[2], a);
        table[1] = PngSampleOntoWhite(&w, rgb[1], a);
        table[2] = PngSampleOntoWhite(&w, rgb[0], a);
        table[3] = 0;
    }
}
