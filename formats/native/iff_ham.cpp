// Hold-and-modify rows: values to colours (six and eight planes) and colours
// to six-plane codes.
#include "formats/native/iff.h"

#include <cstdlib>

void HamDecodeRow(const BYTE* values, int64_t width, int planes, const RGBQUAD* table, BYTE* bgr) {
    // Six planes: two control bits over four value bits; eight: two over six.
    const int valueBits = planes == 8 ? 6 : 4;
    const BYTE valueMask = BYTE((1 << valueBits) - 1);
    const BYTE keepMask = BYTE(0xFF >> valueBits);
    BYTE red = table[0].rgbRed, green = table[0].rgbGreen, blue = table[0].rgbBlue;
    for (int64_t x = 0; x < width; x++) {
        const BYTE v = values[x];
        const BYTE value = v & valueMask;
        const BYTE modified = BYTE(value << (8 - valueBits));
        switch (v >> valueBits) {
        case 0:
            red = table[value].rgbRed;
            green = table[value].rgbGreen;
            blue = table[value].rgbBlue;
            break;
        case 1:
            blue = BYTE(modified | (blue & keepMask));
            break;
        case 2:
            red = BYTE(modified | (red & keepMask));
            break;
        default:
            green = BYTE(modified | (green & keepMask));
            break;
        }
        bgr[3 * x] = blue;
        bgr[3 * x + 1] = green;
        bgr[3 * x + 2] = red;
    }
}

void HamEncodeRow(const BYTE* rgb, int64_t width, BYTE* codes) {
    int hr = 0, hg = 0, hb = 0;
    for (int64_t x = 0; x < width; x++) {
        const int red = rgb[3 * x], green = rgb[3 * x + 1], blue = rgb[3 * x + 2];
        const int r = red / 16, g = green / 16, b = blue / 16;
        // 0.299, 0.587 and 0.114 in thousandths, so that the truncation is exact.
        const int n = (299 * red + 587 * green + 114 * blue) / 1000 / 16;
        if (x == 0) {
            codes[x] = BYTE(n);
            hr = hg = hb = n;
            continue;
        }
        const int grey = std::abs(r - n) + std::abs(g - n) + std::abs(b - n);
        const int modifyBlue = std::abs(g - hg) + std::abs(r - hr);
        const int modifyRed = std::abs(b - hb) + std::abs(g - hg);
        const int modifyGreen = std::abs(r - hr) + std::abs(b - hb);
        if (grey < modifyBlue && grey < modifyRed && grey < modifyGreen) {
            codes[x] = BYTE(n);
            hr = hg = hb = n;
        } else if (modifyBlue < modifyRed && modifyBlue < modifyGreen) {
            codes[x] = BYTE(0x10 + b);
            hb = b;
        } else if (modifyRed < modifyGreen) {
            codes[x] = BYTE(0x20 + r);
            hr = r;
        } else {
            codes[x] = BYTE(0x30 + g);
            hg = g;
        }
    }
}
