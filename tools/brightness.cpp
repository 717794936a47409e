// AdjustBrightness: a gamma curve applied to the colour table of a palette
// picture, always computed from the table saved before the first step, so that
// steps undo each other exactly.
#include "core/transform.h"

#include "core/image.h"

#include <climits>
#include <cmath>
#include <cstring>

void AdjustBrightness(HGLOBAL picture, BYTE* savedColors, int* level, int step) {
    if (!picture || !savedColors || !level || !IsValidImageRecord(picture)) return;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(picture));
    const int bits = header->biBitCount;
    if (bits != 1 && bits != 4 && bits != 8) {
        GlobalUnlock(picture);
        return;
    }
    HGLOBAL curveBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 256 * sizeof(int32_t));
    if (!curveBlock) {
        GlobalUnlock(picture);
        return;
    }
    int32_t* curve = static_cast<int32_t*>(GlobalLock(curveBlock));
    const int colors = ImageColorCount(header);
    BYTE* table = reinterpret_cast<BYTE*>(header) + 40;
    if (step == 0) {
        std::memcpy(table, savedColors, 4 * size_t(colors));
        *level = 0;
    } else {
        if (*level == 0) std::memcpy(savedColors, table, 4 * size_t(colors));
        // The level saturates instead of overflowing; far before that the curve is flat.
        if (step > 0)
            *level = *level > INT_MAX - step ? INT_MAX : *level + step;
        else
            *level = *level < INT_MIN - step ? INT_MIN : *level + step;
        const double gamma = std::pow(2.0, -double(*level) / 2.0);
        for (int i = 0; i < 256; i++)
            curve[i] = int32_t(0.5 + 255.0 * std::pow(i * 0.00392156862745098, gamma));
        for (int j = 0; j < colors; j++)
            for (int c = 0; c < 3; c++) table[4 * j + c] = BYTE(curve[savedColors[4 * j + c]]);
    }
    GlobalUnlock(curveBlock);
    GlobalFree(curveBlock);
    GlobalUnlock(picture);
}
