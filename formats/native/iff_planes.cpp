// Bit planes to one byte per pixel and back, eight pixels at a time.
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

inline uint64_t Load64(const BYTE* in) {
    uint64_t v = 0;
    for (int j = 0; j < 8; j++) v |= uint64_t(in[j]) << (8 * j);
    return v;
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

void ScatterPlanes(const BYTE* values, int64_t width, int count, BYTE* planes, size_t rowBytes) {
    std::memset(planes, 0, size_t(count) * rowBytes);
    const uint64_t full = uint64_t(width) / 8;
    BYTE last[8] = {0};
    for (uint64_t i = 0; i < full + 1 && i < rowBytes; i++) {
        const BYTE* group = values + 8 * i;
        if (i == full) {
            // The last, partial group: pixels past the width are 0.
            size_t rest = size_t(uint64_t(width) - 8 * full);
            if (rest == 0) break;
            std::memcpy(last, group, rest);
            group = last;
        }
        const uint64_t v = Load64(group);
        for (int p = 0; p < count; p++) {
            // Bit 0 of each byte, moved so that byte j lands on bit 7 - j of the top byte.
            uint64_t bits = (v >> p) & 0x0101010101010101ull;
            planes[size_t(p) * rowBytes + i] = BYTE((bits * 0x8040201008040201ull) >> 56);
        }
    }
}
