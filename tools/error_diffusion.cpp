#include "tools/error_diffusion.h"

#include "tools/inverse_map.h"

void BuildErrorLimit(int* limit) {
    for (int v = -255; v <= 255; v++) {
        int size = v < 0 ? -v : v;
        int limited = size < 16 ? size : size < 48 ? 16 + (size - 16) / 2 : 32;
        limit[v + 255] = v < 0 ? -limited : limited;
    }
}

void DiffuseRow(const Diffusion& s, const BYTE* rgb, int64_t width, int64_t y, BYTE* out) {
    const int64_t step = (y & 1) ? -1 : 1;
    int64_t x = step > 0 ? 0 : width - 1;
    // carry: 7 x the previous pixel's error; before1/before2: the errors of the
    // one and two pixels behind in scan order (0 outside the row).
    int carry[3] = {0, 0, 0}, before1[3] = {0, 0, 0}, before2[3] = {0, 0, 0};
    const BYTE* maps[3] = {s.map->red, s.map->green, s.map->blue};
    for (int64_t n = 0; n < width; n++, x += step) {
        int16_t* below = s.errors + 3 * (x + 1);
        const BYTE* pixel = rgb + 3 * x;
        int value[3];
        for (int c = 0; c < 3; c++) {
            // Arithmetic shift: the rounding is floor((incoming + 8) / 16).
            int v = (carry[c] + below[c] + 8) >> 4;
            // |incoming| <= 7 x 255 + 9 x 255, so v is within the table already.
            if (v < -255) v = -255;
            if (v > 255) v = 255;
            int next = pixel[c] + s.limit[v + 255];
            value[c] = next < 0 ? 0 : next > 255 ? 255 : next;
        }
        int index = LookupColorIndex(s.cache, *s.map, value[0], value[1], value[2]);
        out[x] = BYTE(index);
        // The entry of the column behind, already read by its own pixel, now
        // collects the 1/16, 5/16 and 3/16 shares for the next row.
        int16_t* behind = s.errors + 3 * (x - step + 1);
        for (int c = 0; c < 3; c++) {
            int e = value[c] - maps[c][index];
            carry[c] = 7 * e;
            behind[c] = int16_t(before2[c] + 5 * before1[c] + 3 * e);
            before2[c] = before1[c];
            before1[c] = e;
        }
    }
    // The last pixel's own entry: no share from beyond the row's end.
    int16_t* last = s.errors + 3 * (x - step + 1);
    for (int c = 0; c < 3; c++) last[c] = int16_t(before2[c] + 5 * before1[c]);
}
