// Rows of an Image record as (red, green, blue) byte triples.
#include "core/pixels.h"

namespace {
void PutEntry(const RGBQUAD* table, int tableCount, int index, BYTE* rgb) {
    if (index < tableCount) {
        rgb[0] = table[index].rgbRed;
        rgb[1] = table[index].rgbGreen;
        rgb[2] = table[index].rgbBlue;
    } else {
        rgb[0] = rgb[1] = rgb[2] = 0;
    }
}
} // namespace

void RowToRgb(const BYTE* row, int64_t width, int bitCount, const RGBQUAD* table, int tableCount,
              BYTE* rgb) {
    for (int64_t x = 0; x < width; x++, rgb += 3) {
        switch (bitCount) {
        case 1:
        case 4:
        case 8:
            PutEntry(table, tableCount, int(PixelIndex(row, bitCount, uint64_t(x))), rgb);
            break;
        case 16: {
            RgbColor c = Unpack555(row[2 * x] | (unsigned(row[2 * x + 1]) << 8));
            rgb[0] = c.red;
            rgb[1] = c.green;
            rgb[2] = c.blue;
            break;
        }
        case 24:
            rgb[0] = row[3 * x + 2];
            rgb[1] = row[3 * x + 1];
            rgb[2] = row[3 * x];
            break;
        default: // 32
            rgb[0] = row[4 * x + 2];
            rgb[1] = row[4 * x + 1];
            rgb[2] = row[4 * x];
            break;
        }
    }
}
