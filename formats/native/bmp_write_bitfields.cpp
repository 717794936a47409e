// The bit-field bitmap writer (BI_BITFIELDS): 5-5-5 and 5-6-5 from 16-bit
// records, 8-8-8 and 10-10-10 from 32-bit ones.
#include "formats/native/bmp.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "formats/native/write_buffer.h"

#include <cstring>

namespace {
// Red, green and blue masks by bit count and layout.
const uint32_t kMasks16[2][3] = {{0x7C00, 0x03E0, 0x001F}, {0xF800, 0x07E0, 0x001F}};
const uint32_t kMasks32[2][3] = {{0x00FF0000, 0x0000FF00, 0x000000FF},
                                 {0xFFC00000, 0x003FF000, 0x00000FFC}};

// One 5-5-5 row as 5-6-5 (the lowest green bit 0); the padding becomes 0.
void Row565(const BYTE* in, BYTE* out, int64_t width, uint64_t stride) {
    for (int64_t x = 0; x < width; x++, in += 2, out += 2) {
        const unsigned v = in[0] | unsigned(in[1]) << 8;
        const unsigned w = (v & 0x1F) | ((v >> 5) & 0x1F) << 6 | ((v >> 10) & 0x1F) << 11;
        out[0] = BYTE(w);
        out[1] = BYTE(w >> 8);
    }
    std::memset(out, 0, size_t(stride - 2 * uint64_t(width)));
}

// One blue, green, red, reserved row as 10-10-10, each component unscaled in
// the low 8 bits of its field, as the bitmap reader takes them back.
void Row101010(const BYTE* in, BYTE* out, int64_t width) {
    for (int64_t x = 0; x < width; x++, in += 4, out += 4)
        PutLe32(out, uint32_t(in[0]) << 2 | uint32_t(in[1]) << 12 | uint32_t(in[2]) << 22);
}
} // namespace

WriteResult WriteBitmapBitfields(HGLOBAL image, const char* path, int layout) {
    if (!IsValidImageRecord(image) || (layout != 0 && layout != 1)) return WRITE_FAILED;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int bits = header->biBitCount;
    const int64_t width = header->biWidth;
    const uint64_t stride = ImageStride(width, bits);
    const uint64_t imageSize = stride * uint64_t(header->biHeight);
    if ((bits != 16 && bits != 32) || imageSize + 66 > UINT32_MAX) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    WriteBuffer out;
    bool ok = OpenWriteBuffer(&out, file, stride, imageSize + 66);

    BYTE head[66];
    PutBitmapHeaders(head, header, uint32_t(imageSize + 66), 66, BI_BITFIELDS, uint32_t(imageSize));
    const uint32_t* masks = bits == 16 ? kMasks16[layout] : kMasks32[layout];
    for (int i = 0; i < 3; i++) PutLe32(head + 54 + 4 * i, masks[i]);
    ok = ok && PutBytes(&out, head, sizeof head);

    const BYTE* pixels = ImagePixels(header);
    if (layout == 0) {
        // The record's own layouts: the rows as stored.
        ok = ok && PutBytes(&out, pixels, imageSize);
    } else {
        for (int64_t y = 0; ok && y < header->biHeight; y++) {
            BYTE* room = ReserveBytes(&out, stride);
            if (!room) {
                ok = false;
                break;
            }
            const BYTE* row = pixels + uint64_t(y) * stride;
            if (bits == 16)
                Row565(row, room, width, stride);
            else
                Row101010(row, room, width);
            CommitBytes(&out, stride);
        }
    }
    ok = CloseWriteBuffer(&out, ok);
    GlobalUnlock(image);
    return ok ? WRITE_OK : WRITE_FAILED;
}
