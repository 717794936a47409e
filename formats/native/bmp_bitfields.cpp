// Bit-field pixels of any contiguous masks: each channel is taken from where
// its mask says, cut to its top 8 bits when wider, widened to 8 bits as the
// program widens 5-bit values (the bits moved up, zeros below), and stored in
// the record's 5-5-5 word (16-bit files) or blue, green, red, 0 (32-bit files).
#include "formats/native/bmp.h"

namespace {
int LowestBit(uint32_t v) {
    int n = 0;
    while (!(v & 1)) {
        v >>= 1;
        n++;
    }
    return n;
}

int CountBits(uint32_t v) {
    int n = 0;
    for (; v; v >>= 1) n += int(v & 1);
    return n;
}

BYTE Channel8(uint32_t pixel, const BitFieldChannel& c) {
    if (c.width == 0) return 0;
    uint32_t v = (pixel >> c.shift) & (c.width >= 32 ? 0xFFFFFFFFu : (1u << c.width) - 1);
    if (c.width > 8) return BYTE(v >> (c.width - 8));
    return BYTE(v << (8 - c.width));
}
} // namespace

bool DescribeBitFields(int bits, const uint32_t masks[3], BitFieldChannel channels[3]) {
    if ((masks[0] | masks[1] | masks[2]) == 0) return false;
    if ((masks[0] & masks[1]) | (masks[0] & masks[2]) | (masks[1] & masks[2])) return false;
    for (int i = 0; i < 3; i++) {
        const uint32_t m = masks[i];
        channels[i].shift = channels[i].width = 0;
        if (m == 0) continue; // a channel the pixels do not hold: 0
        if (bits == 16 && m > 0xFFFF) return false;
        const int shift = LowestBit(m);
        const uint32_t run = m >> shift;
        if (run & (run + 1)) return false; // a gap between its bits
        channels[i].shift = shift;
        channels[i].width = CountBits(run);
    }
    return true;
}

void ConvertBitFields(BYTE* pixels, uint64_t stride, int64_t width, int64_t rows, int bits,
                      const BitFieldChannel channels[3]) {
    for (int64_t y = 0; y < rows; y++) {
        BYTE* p = pixels + uint64_t(y) * stride;
        for (int64_t x = 0; x < width; x++) {
            if (bits == 16) {
                const uint32_t v = uint32_t(p[0] | p[1] << 8);
                const unsigned word = unsigned(Channel8(v, channels[0]) >> 3) << 10 |
                                      unsigned(Channel8(v, channels[1]) >> 3) << 5 |
                                      unsigned(Channel8(v, channels[2]) >> 3);
                p[0] = BYTE(word);
                p[1] = BYTE(word >> 8);
                p += 2;
            } else {
                const uint32_t v = p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
                p[0] = Channel8(v, channels[2]);
                p[1] = Channel8(v, channels[1]);
                p[2] = Channel8(v, channels[0]);
                p[3] = 0;
                p += 4;
            }
        }
    }
}
