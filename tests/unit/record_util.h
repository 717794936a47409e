// Records for the writer tests: a colour table of 0xRRGGBB values, pixels
// from a function of (x, y) (indices, or the packed pixel's bytes), and
// headers edited into forms the writers must refuse.
#pragma once

#include "unit/transform_test_util.h"

#include "core/image.h"

#include <vector>

template <typename Pixel>
HGLOBAL RecordOf(int width, int height, int bits, const std::vector<uint32_t>& table, Pixel pixel) {
    HGLOBAL image = AllocImageRecord(width, height, bits, bits <= 8 ? int(table.size()) : 0);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* entries = reinterpret_cast<BYTE*>(h) + 40;
    for (size_t i = 0; bits <= 8 && i < table.size(); i++) {
        entries[4 * i] = BYTE(table[i]);
        entries[4 * i + 1] = BYTE(table[i] >> 8);
        entries[4 * i + 2] = BYTE(table[i] >> 16);
    }
    GlobalUnlock(image);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) SetRawPixel(image, x, y, pixel(x, y));
    return image;
}

template <typename Edit> HGLOBAL EditedRecord(HGLOBAL image, Edit edit) {
    edit(static_cast<BITMAPINFOHEADER*>(GlobalLock(image)));
    GlobalUnlock(image);
    return image;
}
