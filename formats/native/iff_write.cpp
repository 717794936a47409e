// The ILBM writer: standard pictures of 1 to 8 or 24 planes, or six-plane
// hold-and-modify, each stored or packed with ByteRun1.
#include "formats/native/iff.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "core/pixels.h"

#include <cstdio>
#include <cstring>

namespace {
// Every write is checked; after the first failure nothing more is written.
struct Output {
    FILE* file;
    bool ok;
};

void Put(Output* out, const void* data, size_t bytes) {
    if (out->ok && bytes && std::fwrite(data, 1, bytes, out->file) != bytes) out->ok = false;
}
void Put16(Output* out, unsigned v) {
    BYTE b[2];
    PutBe16(b, v);
    Put(out, b, 2);
}
void Put32(Output* out, uint32_t v) {
    BYTE b[4];
    PutBe32(b, v);
    Put(out, b, 4);
}
void PutByte(Output* out, BYTE v) {
    Put(out, &v, 1);
}

// Planes for a number of colours; 0 colours is true colour.
int PlanesFor(int colors) {
    if (colors == 0) return 24;
    int planes = 1;
    while ((1 << planes) < colors) planes++;
    return planes;
}

// The pixels of one record row as red, green, blue triplets.
void RowColors(const BITMAPINFOHEADER* header, const BYTE* row, int64_t width, BYTE* rgb) {
    const int bits = header->biBitCount;
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(header + 1);
    RowToRgb(row, width, bits, table, bits <= 8 ? ImageColorCount(header) : 0, rgb);
}

struct Body {
    const BITMAPINFOHEADER* header;
    const BYTE* pixels;
    uint64_t stride;
    int64_t width, height;
    int planes;
    size_t rowBytes; // of one plane row
    bool ham;
    BYTE* planeRows; // planes x rowBytes
    BYTE* packed;    // 2 x rowBytes + 1
    BYTE* values;    // width
    BYTE* rgb;       // 3 x width
};

// The plane rows of picture row y (top row 0).
void BuildPlanes(const Body* b, int64_t y) {
    const BYTE* row = b->pixels + uint64_t(b->height - 1 - y) * b->stride;
    const int bits = b->header->biBitCount;
    if (b->ham) {
        RowColors(b->header, row, b->width, b->rgb);
        HamEncodeRow(b->rgb, b->width, b->values);
        ScatterPlanes(b->values, b->width, 6, b->planeRows, b->rowBytes);
    } else if (bits == 1) {
        // The plane row length never exceeds the record's 4-byte stride.
        std::memcpy(b->planeRows, row, b->rowBytes);
    } else if (bits <= 8) {
        for (int64_t x = 0; x < b->width; x++)
            b->values[x] = bits == 8 ? row[x] : BYTE((row[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F);
        ScatterPlanes(b->values, b->width, b->planes, b->planeRows, b->rowBytes);
    } else {
        RowColors(b->header, row, b->width, b->rgb);
        for (int c = 0; c < 3; c++) {
            for (int64_t x = 0; x < b->width; x++) b->values[x] = b->rgb[3 * x + c];
            ScatterPlanes(b->values, b->width, 8, b->planeRows + 8 * size_t(c) * b->rowBytes,
                          b->rowBytes);
        }
    }
}

enum Pass { STORED, COUNTING, PACKING };

// Writes the rows (STORED, PACKING) or only counts the packed bytes (COUNTING).
uint64_t BodyPass(const Body* b, Pass pass, Output* out) {
    uint64_t total = 0;
    for (int64_t y = 0; y < b->height && out->ok; y++) {
        BuildPlanes(b, y);
        for (int p = 0; p < b->planes; p++) {
            const BYTE* plane = b->planeRows + size_t(p) * b->rowBytes;
            if (pass == STORED) {
                Put(out, plane, b->rowBytes);
                total += b->rowBytes;
                continue;
            }
            size_t n = PackByteRun1(plane, b->rowBytes, b->packed);
            if (pass == PACKING) Put(out, b->packed, n);
            total += n;
        }
    }
    return total;
}
} // namespace

WriteResult WriteIffPicture(HGLOBAL image, const char* path, int packer, int ham) {
    if (!IsValidImageRecord(image)) return WRITE_FAILED;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int bits = header->biBitCount;
    const int64_t width = header->biWidth, height = header->biHeight;
    // The header keeps width and height in 16 bits.
    if (width > 0xFFFF || height > 0xFFFF) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    const int colors = bits <= 8 ? ImageColorCount(header) : 0;
    const size_t rowBytes = size_t((width + 7) / 8 + 1) & ~size_t(1);
    const int planes = ham ? 6 : PlanesFor(colors);
    const int mapEntries = ham ? 16 : planes == 24 ? 0 : 1 << planes;

    const size_t w = size_t(width);
    const size_t workBytes = size_t(planes) * rowBytes + 2 * rowBytes + 1 + w + 3 * w;
    HGLOBAL workBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, workBytes);
    if (!workBlock) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    BYTE* work = static_cast<BYTE*>(GlobalLock(workBlock));
    Body body = {header,
                 ImagePixels(header),
                 ImageStride(width, bits),
                 width,
                 height,
                 planes,
                 rowBytes,
                 ham != 0,
                 work,
                 work + size_t(planes) * rowBytes,
                 work + size_t(planes) * rowBytes + 2 * rowBytes + 1,
                 work + size_t(planes) * rowBytes + 2 * rowBytes + 1 + w};

    Output out = {std::fopen(path, "wb"), true};
    if (!out.file) {
        GlobalUnlock(workBlock);
        GlobalFree(workBlock);
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    uint64_t bodyBytes = uint64_t(rowBytes) * uint64_t(planes) * uint64_t(height);
    uint64_t packedBytes = 0;
    if (packer) {
        packedBytes = BodyPass(&body, COUNTING, &out);
        bodyBytes = packedBytes + (packedBytes & 1);
    }
    const uint64_t mapChunk = mapEntries ? 8 + 3 * uint64_t(mapEntries) : 0;
    const uint64_t formBytes = 4 + 28 + mapChunk + 12 + 8 + bodyBytes;
    // A FORM longer than its 32-bit size field can say cannot be written.
    if (formBytes > 0xFFFFFFFFull) out.ok = false;

    Put(&out, "FORM", 4);
    Put32(&out, uint32_t(formBytes));
    Put(&out, "ILBMBMHD", 8);
    Put32(&out, 20);
    Put16(&out, unsigned(width));
    Put16(&out, unsigned(height));
    Put32(&out, 0); // x, y
    const BYTE fields[4] = {BYTE(planes), 0, BYTE(packer ? 1 : 0), 0};
    Put(&out, fields, 4);
    Put16(&out, 0);      // transparent colour
    Put16(&out, 0x0A0A); // aspect 10:10
    Put16(&out, unsigned(width));
    Put16(&out, unsigned(height));
    if (mapEntries) {
        Put(&out, "CMAP", 4);
        Put32(&out, uint32_t(3 * mapEntries));
        for (int i = 0; i < mapEntries; i++) {
            RGBQUAD c = {0, 0, 0, 0};
            if (ham)
                c.rgbRed = c.rgbGreen = c.rgbBlue = BYTE(16 * i);
            else if (i < colors)
                c = ImageColorAt(header, unsigned(i));
            const BYTE entry[3] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
            Put(&out, entry, 3);
        }
    }
    Put(&out, "CAMG", 4);
    Put32(&out, 4);
    Put32(&out, ham ? 0x800 : 0);
    Put(&out, "BODY", 4);
    Put32(&out, uint32_t(bodyBytes));
    BodyPass(&body, packer ? PACKING : STORED, &out);
    if (packedBytes & 1) PutByte(&out, 0);

    bool ok = out.ok;
    if (std::fclose(out.file) != 0) ok = false;
    GlobalUnlock(workBlock);
    GlobalFree(workBlock);
    GlobalUnlock(image);
    return ok ? WRITE_OK : WRITE_FAILED;
}
