// Hold-and-modify rows: values to colours, six and eight planes.
#include "formats/native/iff.h"

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
