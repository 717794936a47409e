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

namespace {
// How a record is laid out in the file: bits per plane and planes per line.
struct PcxLayout {
    int recordBits, colors;
    int bits, planes;
    uint64_t bytesPerLine;
};

PcxLayout LayoutOf(const BITMAPINFOHEADER* header) {
    PcxLayout l;
    l.recordBits = header->biBitCount;
    l.colors = l.recordBits <= 8 ? ImageColorCount(header) : 0;
    l.bits = 8;
    l.planes = 3;
    if (l.recordBits == 1) {
        l.bits = 1;
        l.planes = 1;
    } else if (l.recordBits == 4) {
        l.bits = 1;
        l.planes = l.colors <= 4 ? 2 : l.colors <= 8 ? 3 : 4;
    } else if (l.recordBits == 8) {
        l.planes = 1;
    }
    l.bytesPerLine = (uint64_t(header->biWidth) * uint64_t(l.bits) + 7) / 8;
    return l;
}

// The 128-byte version 5 header, with the colour table of pictures of up to 16 colours.
void PutPcxHeader(BYTE* h, const PcxLayout& l, int64_t width, int64_t height, const BYTE* table) {
    std::memset(h, 0, 128);
    h[0] = 10;
    h[1] = 5;
    h[2] = 1;
    h[3] = BYTE(l.bits);
    PutLe16(h + 8, unsigned(width - 1));
    PutLe16(h + 10, unsigned(height - 1));
    PutLe16(h + 12, 320);
    PutLe16(h + 14, 200);
    if (l.colors <= 16) {
        for (int i = 0; i < l.colors; i++) {
            h[16 + 3 * i] = table[4 * i + 2];
            h[16 + 3 * i + 1] = table[4 * i + 1];
            h[16 + 3 * i + 2] = table[4 * i];
        }
    }
    h[65] = BYTE(l.planes);
    PutLe16(h + 66, unsigned(l.bytesPerLine));
    PutLe16(h + 68, 1);
    PutLe16(h + 70, 640);
    PutLe16(h + 72, 480);
}

// One record row as the file's planes of one scan line, each bytesPerLine long.
void SplitRow(const BYTE* row, int64_t width, const PcxLayout& l, BYTE* line) {
    const uint64_t bytesPerLine = l.bytesPerLine;
    if (l.recordBits == 1 || l.recordBits == 8) {
        std::memcpy(line, row, size_t(bytesPerLine));
    } else if (l.recordBits == 4) {
        std::memset(line, 0, size_t(bytesPerLine * uint64_t(l.planes)));
        for (int64_t x = 0; x < width; x++) {
            unsigned value = PixelIndex(row, 4, uint64_t(x));
            for (int k = 0; k < l.planes; k++)
                if (value & (1 << k))
                    line[uint64_t(k) * bytesPerLine + uint64_t(x / 8)] |= BYTE(0x80 >> (x % 8));
        }
    } else if (l.recordBits == 16) {
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
        const int step = l.recordBits / 8;
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
}

// The rows, top first, each plane run-length coded.
bool PutPcxRows(WriteBuffer* out, const BYTE* pixels, uint64_t stride, int64_t width,
                int64_t height, const PcxLayout& l) {
    const uint64_t lineBytes = l.bytesPerLine * uint64_t(l.planes);
    HGLOBAL lineBlock = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(lineBytes));
    if (!lineBlock) return false;
    BYTE* line = static_cast<BYTE*>(GlobalLock(lineBlock));
    bool ok = true;
    for (int64_t y = height - 1; ok && y >= 0; y--) {
        SplitRow(pixels + uint64_t(y) * stride, width, l, line);
        for (int k = 0; ok && k < l.planes; k++) {
            BYTE* room = ReserveBytes(out, 2 * l.bytesPerLine);
            ok = room != nullptr;
            if (ok)
                CommitBytes(out, EncodePcxLine(line + uint64_t(k) * l.bytesPerLine,
                                               size_t(l.bytesPerLine), room));
        }
    }
    GlobalUnlock(lineBlock);
    GlobalFree(lineBlock);
    return ok;
}

// 8-bit pictures end with the marker 12 and a 256-entry table.
bool PutPcxPalette(WriteBuffer* out, const BYTE* table, int colors) {
    BYTE palette[769];
    std::memset(palette, 0, sizeof palette);
    palette[0] = 12;
    for (int i = 0; i < colors; i++) {
        palette[1 + 3 * i] = table[4 * i + 2];
        palette[2 + 3 * i] = table[4 * i + 1];
        palette[3 + 3 * i] = table[4 * i];
    }
    return PutBytes(out, palette, sizeof palette);
}
} // namespace

WriteResult WritePcx(HGLOBAL image, const char* path) {
    if (!IsValidImageRecord(image)) return WRITE_FAILED;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int64_t width = header->biWidth;
    const int64_t height = header->biHeight;
    const PcxLayout layout = LayoutOf(header);
    // The header's words cannot describe larger pictures.
    if (width > 65536 || height > 65536 || layout.bytesPerLine > 65535) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    const BYTE* table = reinterpret_cast<const BYTE*>(header) + 40;
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    WriteBuffer out;
    const uint64_t lineBound = 2 * layout.bytesPerLine * uint64_t(layout.planes);
    bool ok =
        OpenWriteBuffer(&out, file, lineBound + 1024, 128 + uint64_t(height) * lineBound + 769);
    BYTE h[128];
    PutPcxHeader(h, layout, width, height, table);
    ok = ok && PutBytes(&out, h, sizeof h);
    ok = ok && PutPcxRows(&out, ImagePixels(header), ImageStride(width, layout.recordBits), width,
                          height, layout);
    if (ok && layout.recordBits == 8) ok = PutPcxPalette(&out, table, layout.colors);
    GlobalUnlock(image);
    // Every write and the close must succeed for the file to be whole.
    ok = CloseWriteBuffer(&out, ok);
    return ok ? WRITE_OK : WRITE_FAILED;
}
