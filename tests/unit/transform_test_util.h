// Pictures for the tool tests: records filled with a pattern in which
// neighbouring pixels differ, and whole-record comparison.
#pragma once

#include "unit/test_util.h"

#include "core/image.h"

#include <cstring>

// Writes the raw value (index or packed pixel) at (x, y), y from the top row.
inline void SetRawPixel(HGLOBAL image, int x, int y, uint32_t v) {
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* row =
        ImagePixels(h) + ImageStride(h->biWidth, h->biBitCount) * uint64_t(h->biHeight - 1 - y);
    switch (h->biBitCount) {
    case 1:
        row[x / 8] = BYTE((row[x / 8] & ~(0x80 >> x % 8)) | ((v & 1) << (7 - x % 8)));
        break;
    case 4:
        row[x / 2] = (x & 1) ? BYTE((row[x / 2] & 0xF0) | (v & 15))
                             : BYTE((row[x / 2] & 0x0F) | (v & 15) << 4);
        break;
    default:
        for (int k = 0; k < h->biBitCount / 8; k++)
            row[x * (h->biBitCount / 8) + k] = BYTE(v >> 8 * k);
    }
    GlobalUnlock(image);
}

// A value for (x, y) that changes with either coordinate, all bits used.
inline uint32_t PatternValue(int x, int y) {
    uint32_t v = uint32_t(x + 1) * 2654435761u ^ uint32_t(y + 1) * 40503u * 97u;
    return v ^ (v >> 13) ^ uint32_t(x) ^ uint32_t(y) << 1;
}

// A record of the size, filled with the pattern (32-bit pixels including the
// fourth byte); palette entries distinct, reserved bytes non-zero.
// colors 0 leaves biClrUsed 0 (the full table of the bit count).
inline HGLOBAL PatternPicture(int width, int height, int bits, int colors = 0) {
    int entries = colors ? colors : bits <= 8 ? 1 << bits : 0;
    HGLOBAL image = AllocImageRecord(width, height, bits, entries);
    if (!image) return nullptr;
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    h->biClrUsed = DWORD(colors);
    h->biXPelsPerMeter = 3780;
    h->biYPelsPerMeter = 2835;
    h->biClrImportant = 2;
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    for (int i = 0; i < (bits <= 8 ? ImageColorCount(h) : 0); i++) {
        table[4 * i] = BYTE(i * 3);
        table[4 * i + 1] = BYTE(255 - i);
        table[4 * i + 2] = BYTE(i * 7 + 1);
        table[4 * i + 3] = BYTE(i | 1);
    }
    GlobalUnlock(image);
    uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) SetRawPixel(image, x, y, PatternValue(x, y) & mask);
    return image;
}

// The bytes a record holds: header, colour table and pixel rows.
inline Bytes RecordBytes(HGLOBAL image) {
    const BITMAPINFOHEADER* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(image));
    uint64_t n = ImageBlockBytes(h->biWidth, h->biHeight, h->biBitCount,
                                 h->biBitCount <= 8 ? ImageColorCount(h) : 0);
    const BYTE* p = reinterpret_cast<const BYTE*>(h);
    Bytes out(p, p + n);
    GlobalUnlock(image);
    return out;
}
