#include "tools/row_colours.h"

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
            PutEntry(table, tableCount, (row[x / 8] & (0x80 >> (x % 8))) ? 1 : 0, rgb);
            break;
        case 4:
            PutEntry(table, tableCount, (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4), rgb);
            break;
        case 8:
            PutEntry(table, tableCount, row[x], rgb);
            break;
        case 16: {
            unsigned w = row[2 * x] | (unsigned(row[2 * x + 1]) << 8);
            rgb[0] = BYTE(((w >> 10) & 31) << 3);
            rgb[1] = BYTE(((w >> 5) & 31) << 3);
            rgb[2] = BYTE((w & 31) << 3);
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
