// The PCX writer: version 5, run-length coded, one plane layout per bit count.
#include "formats/native/pcx.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "core/pixels.h"
#include "formats/native/write_buffer.h"

#include <cstdio>
#include <cstring>

namespace {
// A pending value goes out alone only when it is a single byte below 192.
inline BYTE* PutRun(BYTE* out, BYTE value, size_t count) {
    if (count > 1 || value >= 192) *out++ = BYTE(0xC0 | count);
    *out++ = value;
    return out;
}
} // namespace

size_t EncodePcxLine(const BYTE* line, size_t count, BYTE* out) {
    if (count == 0) return 0;
    BYTE* start = out;
    BYTE value = line[0];
    size_t run = 1;
    for (size_t i = 1; i < count; i++) {
        if (line[i] == value && run < 63) {
            run++;
        } else {
            out = PutRun(out, value, run);
            value = line[i];
            run = 1;
        }
    }
    out = PutRun(out, value, run);
    return size_t(out - start);
}

int WritePcx(HGLOBAL image, const char* path) {
    if (!IsValidImageRecord(image)) return 0;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int recordBits = header->biBitCount;
    const int64_t width = header->biWidth;
    const int64_t height = header->biHeight;
    const int colors = recordBits <= 8 ? ImageColorCount(header) : 0;
    int bits = 8, planes = 3;
    if (recordBits == 1) {
        bits = 1;
        planes = 1;
    } else if (recordBits == 4) {
        bits = 1;
        planes = colors <= 4 ? 2 : colors <= 8 ? 3 : 4;
    } else if (recordBits == 8) {
        planes = 1;
    }
    const uint64_t bytesPerLine = (uint64_t(width) * uint64_t(bits) + 7) / 8;
    // The header's words cannot describe larger pictures.
    if (width > 65536 || height > 65536 || bytesPerLine > 65535) {
        GlobalUnlock(image);
        return 0;
    }
    const BYTE* table = reinterpret_cast<const BYTE*>(header) + 40;
    const BYTE* pixels = ImagePixels(header);
    const uint64_t stride = ImageStride(width, recordBits);

    FILE* file = std::fopen(path, "wb");
    if (!file) {
        GlobalUnlock(image);
        return 0;
    }
    WriteBuffer out;
    bool ok = OpenWriteBuffer(&out, file, 2 * bytesPerLine * uint64_t(planes) + 1024);

    BYTE h[128];
    std::memset(h, 0, sizeof h);
    h[0] = 10;
    h[1] = 5;
    h[2] = 1;
    h[3] = BYTE(bits);
    PutLe16(h + 8, unsigned(width - 1));
    PutLe16(h + 10, unsigned(height - 1));
    PutLe16(h + 12, 320);
    PutLe16(h + 14, 200);
    if (colors <= 16) {
        for (int i = 0; i < colors; i++) {
            h[16 + 3 * i] = table[4 * i + 2];
            h[16 + 3 * i + 1] = table[4 * i + 1];
            h[16 + 3 * i + 2] = table[4 * i];
        }
    }
    h[65] = BYTE(planes);
    PutLe16(h + 66, unsigned(bytesPerLine));
    PutLe16(h + 68, 1);
    PutLe16(h + 70, 640);
    PutLe16(h + 72, 480);
    ok = ok && PutBytes(&out, h, sizeof h);

    const uint64_t lineBytes = bytesPerLine * uint64_t(planes);
    HGLOBAL lineBlock = ok ? GlobalAlloc(GMEM_MOVEABLE, SIZE_T(lineBytes)) : nullptr;
    ok = ok && lineBlock;
    BYTE* line = lineBlock ? static_cast<BYTE*>(GlobalLock(lineBlock)) : nullptr;
    for (int64_t y = height - 1; ok && y >= 0; y--) {
        const BYTE* row = pixels + uint64_t(y) * stride;
        if (recordBits == 1 || recordBits == 8) {
            std::memcpy(line, row, size_t(bytesPerLine));
        } else if (recordBits == 4) {
            std::memset(line, 0, size_t(lineBytes));
            for (int64_t x = 0; x < width; x++) {
                unsigned value = PixelIndex(row, 4, uint64_t(x));
                for (int k = 0; k < planes; k++)
                    if (value & (1 << k))
                        line[uint64_t(k) * bytesPerLine + uint64_t(x / 8)] |= BYTE(0x80 >> (x % 8));
            }
        } else if (recordBits == 16) {
            BYTE* red = line;
            BYTE* green = line + bytesPerLine;
            BYTE* blue = green + bytesPerLine;
            for (int64_t x = 0; x < width; x++) {
                RgbColor c = Unpack555(row[2 * x] | (row[2 * x + 1] << 8));
                red[x] = c.red;
                green[x] = c.green;
                blue[x] = c.blue;
            }
        } else {
            const int step = recordBits / 8;
            BYTE* red = line;
            BYTE* green = line + bytesPerLine;
            BYTE* blue = green + bytesPerLine;
            const BYTE* p = row;
            for (int64_t x = 0; x < width; x++, p += step) {
                red[x] = p[2];
                green[x] = p[1];
                blue[x] = p[0];
            }
        }
        for (int k = 0; ok && k < planes; k++) {
            BYTE* room = ReserveBytes(&out, 2 * bytesPerLine);
            ok = room != nullptr;
            if (ok)
                CommitBytes(&out, EncodePcxLine(line + uint64_t(k) * bytesPerLine,
                                                size_t(bytesPerLine), room));
        }
    }
    if (ok && recordBits == 8) {
        BYTE palette[769];
        std::memset(palette, 0, sizeof palette);
        palette[0] = 12;
        for (int i = 0; i < colors; i++) {
            palette[1 + 3 * i] = table[4 * i + 2];
            palette[2 + 3 * i] = table[4 * i + 1];
            palette[3 + 3 * i] = table[4 * i];
        }
        ok = PutBytes(&out, palette, sizeof palette);
    }
    if (lineBlock) {
        GlobalUnlock(lineBlock);
        GlobalFree(lineBlock);
    }
    GlobalUnlock(image);
    // Every write and the close must succeed for the file to be whole.
    ok = CloseWriteBuffer(&out, ok);
    return ok ? 1 : 0;
}
