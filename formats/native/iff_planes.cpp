// Bit planes to one byte per pixel, eight pixels at a time.
#include "formats/native/iff.h"

#include <cstring>

namespace {
// Byte j of kSpread[b] (bits 8j to 8j+7) is bit 7-j of b: one plane byte
// spread over its eight pixels, leftmost pixel first.
struct SpreadTable {
    uint64_t entry[256];
    SpreadTable() {
        for (int b = 0; b < 256; b++) {
            uint64_t v = 0;
            for (int j = 0; j < 8; j++) v |= uint64_t((b >> (7 - j)) & 1) << (8 * j);
            entry[b] = v;
        }
    }
};
const SpreadTable kSpread;

inline void Store64(BYTE* out, uint64_t v) {
    for (int j = 0; j < 8; j++) out[j] = BYTE(v >> (8 * j));
}
} // namespace

void GatherPlanes(const BYTE* planes, size_t rowBytes, int count, BYTE* values) {
    for (size_t i = 0; i < rowBytes; i++) {
        uint64_t v = 0;
        // Every spread byte is 0 or 1, so shifting by the plane number stays inside it.
        for (int p = 0; p < count; p++) v |= kSpread.entry[planes[size_t(p) * rowBytes + i]] << p;
        Store64(values + 8 * i, v);
    }
}
