// The Targa writer: colour-mapped, monochrome or true-colour files, bottom row
// first, uncompressed or in run-length packets.
#include "formats/native/tga.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "core/pixels.h"
#include "formats/native/write_buffer.h"

#include <cstdio>
#include <cstring>

namespace {
inline bool SamePixel(const BYTE* a, const BYTE* b, int bytes) {
    switch (bytes) {
    case 1:
        return a[0] == b[0];
    case 2:
        return a[0] == b[0] && a[1] == b[1];
    case 3:
        return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
    default:
        return std::memcmp(a, b, size_t(bytes)) == 0;
    }
}

// Palette records whose every colour is a grey level, with more colours than
// a 16-colour picture has, are written as grey levels.
bool IsGreyPicture(const BYTE* table, int colors) {
    if (colors <= 16) return false;
    for (int i = 0; i < colors; i++) {
        const BYTE* c = table + 4 * i;
        if (c[0] != c[1] || c[1] != c[2]) return false;
    }
    return true;
}
} // namespace

size_t EncodeTargaPackets(const BYTE* row, BYTE* out, size_t count, int bytesPerPixel) {
    const size_t b = size_t(bytesPerPixel);
    BYTE* start = out;
    size_t i = 0;
    while (i < count) {
        // Pixels before the next pair of equal neighbours go out as they are.
        size_t r = 0;
        while (i + r < count && r < 128) {
            if (i + r + 1 < count &&
                SamePixel(row + (i + r) * b, row + (i + r + 1) * b, bytesPerPixel))
                break;
            r++;
        }
        if (r > 0) {
            *out++ = BYTE(r - 1);
            std::memcpy(out, row + i * b, r * b);
            out += r * b;
            i += r;
            continue;
        }
        size_t m = 1;
        while (i + m < count && m < 128 && SamePixel(row + (i + m) * b, row + i * b, bytesPerPixel))
            m++;
        *out++ = BYTE((m - 1) | 0x80);
        std::memcpy(out, row + i * b, b);
        out += b;
        i += m;
    }
    return size_t(out - start);
}

WriteResult WriteTarga(HGLOBAL image, const char* path, int runLength) {
    if (!IsValidImageRecord(image)) return WRITE_FAILED;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int recordBits = header->biBitCount;
    const int64_t width = header->biWidth;
    const int64_t height = header->biHeight;
    // The header's words cannot describe larger pictures.
    if (width > 65535 || height > 65535) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    const int colors = recordBits <= 8 ? ImageColorCount(header) : 0;
    const BYTE* table = reinterpret_cast<const BYTE*>(header) + 40;
    const bool grey = recordBits <= 8 && IsGreyPicture(table, colors);
    const bool mapped = !grey && colors > 0;
    const int bytes = recordBits <= 8 ? 1 : recordBits / 8;
    const int type = (grey ? 3 : mapped ? 1 : 2) + (runLength ? 8 : 0);

    FILE* file = std::fopen(path, "wb");
    if (!file) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    const uint64_t rowBytes = uint64_t(width) * uint64_t(bytes);
    WriteBuffer out;
    // Header, colour map and rows, each row at most two bytes a value and one more.
    bool ok = OpenWriteBuffer(&out, file, 2 * rowBytes + 1,
                              18 + 768 + uint64_t(height) * (2 * rowBytes + 1));

    BYTE h[18];
    std::memset(h, 0, sizeof h);
    h[1] = mapped ? 1 : 0;
    h[2] = BYTE(type);
    if (mapped) {
        PutLe16(h + 5, unsigned(colors));
        h[7] = 24;
    }
    PutLe16(h + 12, unsigned(width));
    PutLe16(h + 14, unsigned(height));
    h[16] = BYTE(recordBits <= 8 ? 8 : recordBits);
    ok = ok && PutBytes(&out, h, sizeof h);
    for (int i = 0; ok && mapped && i < colors; i++) ok = PutBytes(&out, table + 4 * i, 3);

    const BYTE* pixels = ImagePixels(header);
    const uint64_t stride = ImageStride(width, recordBits);
    // Rows that are not stored as they are gathered here first.
    HGLOBAL rowBlock = nullptr;
    BYTE* values = nullptr;
    if (ok && (recordBits < 8 || grey)) {
        rowBlock = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(rowBytes));
        values = rowBlock ? static_cast<BYTE*>(GlobalLock(rowBlock)) : nullptr;
        ok = values != nullptr;
    }
    for (int64_t y = 0; ok && y < height; y++) {
        const BYTE* row = pixels + uint64_t(y) * stride;
        if (values) {
            for (int64_t x = 0; x < width; x++) {
                unsigned v = PixelIndex(row, recordBits, uint64_t(x));
                values[x] = grey ? ImageColorAt(header, v).rgbRed : BYTE(v);
            }
            row = values;
        }
        if (!runLength) {
            ok = PutBytes(&out, row, rowBytes);
            continue;
        }
        BYTE* room = ReserveBytes(&out, 2 * rowBytes + 1);
        ok = room != nullptr;
        if (ok) CommitBytes(&out, EncodeTargaPackets(row, room, size_t(width), bytes));
    }
    if (rowBlock) {
        GlobalUnlock(rowBlock);
        GlobalFree(rowBlock);
    }
    GlobalUnlock(image);
    ok = CloseWriteBuffer(&out, ok);
    return ok ? WRITE_OK : WRITE_FAILED;
}
