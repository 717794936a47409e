#include "shell/geometry.h"

#include <cstdint>

void FitByNinetenths(int w, int h, int cw, int ch, int* dw, int* dh) {
    // A negative client size is an empty one; the loop then ends at 0 x 0.
    int64_t limitW = cw < 0 ? 0 : cw, limitH = ch < 0 ? 0 : ch;
    int64_t x = w < 0 ? 0 : w, y = h < 0 ? 0 : h;
    while (x >= limitW + 1 || y >= limitH + 1) {
        x = x * 9 / 10;
        y = y * 9 / 10;
    }
    *dw = int(x);
    *dh = int(y);
}

int CentredOrigin(int extent, int size) {
    return int((int64_t(extent) - size) / 2);
}

int TileCopies(int extent, int step) {
    if (step <= 0 || extent <= 0) return 0;
    return int((int64_t(extent) + step - 1) / step);
}

int TwipsPerPixel(int pixelsPerInch) {
    return pixelsPerInch > 0 ? 1440 / pixelsPerInch : 0;
}
