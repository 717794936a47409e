// The RLE 8, RLE 4 and RLE 24 expanders.
#include "formats/native/bmp.h"

#include "core/text.h"

#include <cstring>

namespace {
// The write position: a row and a pixel within it. Pixels past the row's
// capacity or past the last row are dropped, so nothing lands outside the area.
struct RunTarget {
    BYTE* pixels;
    uint64_t stride;
    int64_t rows;
    int64_t capacity; // pixels a row can hold
    int64_t row;
    int64_t x;
};

inline void PutPixels(RunTarget* t, RunLengthKind kind, const BYTE* value, int64_t count) {
    if (t->row >= t->rows || t->x >= t->capacity) {
        t->x += count;
        return;
    }
    int64_t n = count;
    if (n > t->capacity - t->x) n = t->capacity - t->x;
    BYTE* line = t->pixels + uint64_t(t->row) * t->stride;
    if (kind == RLE_8) {
        std::memset(line + t->x, value[0], size_t(n));
    } else if (kind == RLE_24) {
        BYTE* p = line + 3 * t->x;
        for (int64_t i = 0; i < n; i++, p += 3) {
            p[0] = value[0];
            p[1] = value[1];
            p[2] = value[2];
        }
    } else {
        // The value byte carries two pixels, taken high nibble first,
        // whatever nibble of the destination the run starts on.
        for (int64_t i = 0; i < n; i++) {
            BYTE v = (i & 1) ? (value[0] & 0x0F) : (value[0] >> 4);
            int64_t at = t->x + i;
            BYTE* p = line + at / 2;
            *p = (at & 1) ? BYTE((*p & 0xF0) | v) : BYTE((*p & 0x0F) | (v << 4));
        }
    }
    t->x += count;
}
} // namespace

bool ExpandRunLength(RunLengthKind kind, BYTE* pixels, uint64_t stride, int64_t rows, HFILE file,
                     HWND owner) {
    ByteReader source;
    HGLOBAL buffer = AllocByteReader(&source, file, BITMAP_READ_BUFFER, owner);
    if (!buffer) return false;
    RunTarget t = {pixels, stride, rows, 0, 0, 0};
    t.capacity = kind == RLE_8   ? int64_t(stride)
                 : kind == RLE_4 ? 2 * int64_t(stride)
                                 : int64_t(stride / 3);
    const int valueBytes = kind == RLE_24 ? 3 : 1;
    BYTE n, value[3];
    for (;;) {
        if (!NextByte(&source, &n)) break;
        if (n > 0) {
            bool ok = true;
            for (int i = 0; i < valueBytes && ok; i++) ok = NextByte(&source, &value[i]);
            if (!ok) break;
            PutPixels(&t, kind, value, n);
            continue;
        }
        BYTE escape;
        if (!NextByte(&source, &escape)) break;
        if (escape == 0) {
            if (++t.row >= t.rows) break;
            t.x = 0;
        } else if (escape == 1) {
            break;
        } else if (escape == 2) {
            BYTE dx, dy;
            if (!NextByte(&source, &dx) || !NextByte(&source, &dy)) break;
            t.row += dy;
            if (t.row >= t.rows) break;
            t.x += dx;
        } else {
            // Absolute run: escape pixels follow literally, padded to a 16-bit boundary.
            bool ok = true;
            int dataBytes = kind == RLE_8 ? escape : kind == RLE_24 ? 3 * escape : (escape + 1) / 2;
            int pixel = 0;
            for (int i = 0; i < dataBytes && ok; i++) {
                BYTE b;
                ok = NextByte(&source, &b);
                if (!ok) break;
                if (kind == RLE_8) {
                    PutPixels(&t, kind, &b, 1);
                } else if (kind == RLE_24) {
                    value[i % 3] = b;
                    if (i % 3 == 2) PutPixels(&t, kind, value, 1);
                } else {
                    // Each nibble is one pixel; the last byte of an odd run holds one.
                    BYTE high = BYTE(b & 0xF0), low = BYTE(b << 4);
                    PutPixels(&t, kind, &high, 1);
                    if (++pixel < escape) {
                        PutPixels(&t, kind, &low, 1);
                        ++pixel;
                    }
                }
            }
            if (!ok) break;
            bool pad = kind == RLE_4 ? (escape % 4 == 1 || escape % 4 == 2) : (escape & 1);
            BYTE skip;
            if (pad && !NextByte(&source, &skip)) break;
        }
    }
    GlobalUnlock(buffer);
    GlobalFree(buffer);
    return true;
}
