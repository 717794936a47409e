// The Targa reader: the 18-byte header, the colour map, uncompressed rows and
// run-length packets in either direction, and interleaved row orders.
#include "formats/native/tga.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "core/pixels.h"
#include "core/text.h"
#include "formats/library/png_gamma.h"

#include <cstring>

namespace {
const char* TypeName(int type) {
    switch (type) {
    case 0:
        return "none";
    case 1:
        return "colormapped \nuncompressed data";
    case 2:
        return "truecolor \nuncompressed data";
    case 3:
        return "monochrome \nuncompressed data";
    case 9:
        return "colormapped \ncompressed data";
    case 10:
        return "truecolor \ncompressed data";
    case 11:
        return "monochrome \ncompressed data";
    default:
        return "not valid";
    }
}

// Where the pixels of the file land: rows in file order, each filled left to
// right or right to left.
struct RowPlacer {
    BYTE* pixels;
    uint64_t stride;
    int64_t width, height;
    int bytes; // per pixel, 1 to 4
    bool topFirst, rightToLeft;
};

BYTE* RowStart(const RowPlacer* p, int64_t fileRow) {
    int64_t recordRow = p->topFirst ? p->height - 1 - fileRow : fileRow;
    return p->pixels + uint64_t(recordRow) * p->stride;
}

// Address of the pixel at place x (in file order) of a row.
inline BYTE* PixelIn(const RowPlacer* p, BYTE* row, int64_t x) {
    int64_t column = p->rightToLeft ? p->width - 1 - x : x;
    return row + uint64_t(column) * uint64_t(p->bytes);
}

inline void CopyPixel(BYTE* to, const BYTE* from, int bytes) {
    to[0] = from[0];
    if (bytes > 1) to[1] = from[1];
    if (bytes > 2) to[2] = from[2];
    if (bytes > 3) to[3] = from[3];
}

// Reads count whole pixels into out; a pixel the data ends inside stays zero.
bool ReadPixels(ByteReader* source, BYTE* out, uint64_t count, int bytes) {
    const uint64_t want = count * uint64_t(bytes);
    const uint64_t got = NextBytes(source, out, want);
    if (got == want) return true;
    const uint64_t whole = got - got % uint64_t(bytes);
    std::memset(out + whole, 0, size_t(got - whole));
    return false;
}

void ReadRows(ByteReader* source, const RowPlacer* p) {
    BYTE value[4];
    for (int64_t y = 0; y < p->height; y++) {
        BYTE* row = RowStart(p, y);
        if (!p->rightToLeft) {
            if (!ReadPixels(source, row, uint64_t(p->width), p->bytes)) return;
            continue;
        }
        for (int64_t x = 0; x < p->width; x++) {
            if (NextBytes(source, value, uint64_t(p->bytes)) != uint64_t(p->bytes)) return;
            CopyPixel(PixelIn(p, row, x), value, p->bytes);
        }
    }
}

// Packets fill the rows in file order and go on into the next row; decoding
// stops after the last row, so nothing lands outside the record.
void ReadPackets(ByteReader* source, const RowPlacer* p) {
    int64_t y = 0, x = 0;
    BYTE* row = RowStart(p, 0);
    BYTE value[4];
    const uint64_t bytes = uint64_t(p->bytes);
    while (y < p->height) {
        BYTE head;
        if (!NextByte(source, &head)) return;
        int64_t count = (head & 0x7F) + 1;
        const bool repeat = (head & 0x80) != 0;
        if (repeat && NextBytes(source, value, bytes) != bytes) return;
        while (count > 0) {
            int64_t n = p->width - x < count ? p->width - x : count;
            if (repeat) {
                for (int64_t i = 0; i < n; i++) CopyPixel(PixelIn(p, row, x + i), value, p->bytes);
            } else if (!p->rightToLeft) {
                if (!ReadPixels(source, row + uint64_t(x) * bytes, uint64_t(n), p->bytes)) return;
            } else {
                for (int64_t i = 0; i < n; i++) {
                    if (NextBytes(source, value, bytes) != bytes) return;
                    CopyPixel(PixelIn(p, row, x + i), value, p->bytes);
                }
            }
            x += n;
            count -= n;
            if (x == p->width) {
                x = 0;
                if (++y == p->height) return;
                row = RowStart(p, y);
            }
        }
    }
}

// The colour map: entry i is the colour of index first + i. Entries of 15 or
// 16 bits are 5-5-5 words, 24 and 32 bits blue, green, red (and a fourth
// byte), 8 bits grey levels. Entries of other sizes are passed over unread.
// Only indices below 256 are kept, and only for 8-bit records.
bool ReadColorMap(ByteReader* source, BYTE* table, bool keep, int first, int length,
                  int entryBits) {
    const int entryBytes = (entryBits + 7) / 8;
    const bool known =
        entryBits == 8 || entryBits == 15 || entryBits == 16 || entryBits == 24 || entryBits == 32;
    if (!known || !keep) return SkipBytes(source, uint64_t(length) * uint64_t(entryBytes));
    BYTE e[4];
    for (int i = 0; i < length; i++) {
        if (NextBytes(source, e, uint64_t(entryBytes)) != uint64_t(entryBytes)) return false;
        int index = first + i;
        if (index >= 256) continue;
        BYTE* c = table + 4 * index;
        if (entryBytes == 1) {
            c[0] = c[1] = c[2] = e[0];
        } else if (entryBytes == 2) {
            RgbColor rgb = Unpack555(e[0] | (e[1] << 8));
            c[2] = rgb.red;
            c[1] = rgb.green;
            c[0] = rgb.blue;
        } else {
            c[0] = e[0];
            c[1] = e[1];
            c[2] = e[2];
        }
        c[3] = 0;
    }
    return true;
}

// Puts the rows of an interleaved file in picture order: decoded rows, from
// the top down, go to rows 0, f, 2f, ..., then 1, 1 + f, ... (from the top).
// The second record takes the header and the whole colour table, so the
// rows start where they did in the first.
HGLOBAL Deinterleave(HGLOBAL image, int factor, HWND owner, bool* reported) {
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int64_t width = header->biWidth, height = header->biHeight;
    const int bits = header->biBitCount;
    const int tableEntries = bits <= 8 ? ImageColorCount(header) : 0;
    HGLOBAL result = AllocImageRecord(width, height, bits, tableEntries);
    if (!result) {
        GlobalUnlock(image);
        ReportError(owner, "Memory Allocation Error");
        *reported = true;
        return image;
    }
    BITMAPINFOHEADER* target = static_cast<BITMAPINFOHEADER*>(GlobalLock(result));
    std::memcpy(target, header, 40 + 4 * size_t(tableEntries));
    const uint64_t stride = ImageStride(width, bits);
    const BYTE* from = ImagePixels(header);
    BYTE* to = ImagePixels(target);
    int64_t decoded = 0;
    for (int pass = 0; pass < factor; pass++) {
        for (int64_t row = pass; row < height; row += factor, decoded++) {
            std::memcpy(to + uint64_t(height - 1 - row) * stride,
                        from + uint64_t(height - 1 - decoded) * stride, size_t(stride));
        }
    }
    GlobalUnlock(result);
    GlobalUnlock(image);
    GlobalFree(image);
    return result;
}
// Grey files of 16 bits per pixel hold a grey byte and an alpha byte: they
// become 8-bit grey records with the alpha put onto white exactly as the PNG
// reader puts the alpha of a grey file that states no gamma, so the same
// drawing looks the same in either format. Pixels that the descriptor says
// carry no attribute bits have no alpha: the second byte is passed over.
HGLOBAL GreyFromGreyAlpha(HGLOBAL image, bool alpha, HWND owner) {
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int64_t width = header->biWidth, height = header->biHeight;
    HGLOBAL result = AllocImageRecord(width, height, 8, 256);
    if (!result) {
        GlobalUnlock(image);
        GlobalFree(image);
        ReportError(owner, "Memory Allocation Error");
        return nullptr;
    }
    BITMAPINFOHEADER* target = static_cast<BITMAPINFOHEADER*>(GlobalLock(result));
    target->biClrUsed = 0;
    BYTE* table = reinterpret_cast<BYTE*>(target) + 40;
    for (int k = 0; k < 256; k++) table[4 * k] = table[4 * k + 1] = table[4 * k + 2] = BYTE(k);
    PngOntoWhite white;
    PreparePngOntoWhite(&white, ChoosePngGamma(false, false, 0), true);
    const uint64_t from = ImageStride(width, 16), to = ImageStride(width, 8);
    for (int64_t y = 0; y < height; y++) {
        const BYTE* in = ImagePixels(header) + uint64_t(y) * from;
        BYTE* out = ImagePixels(target) + uint64_t(y) * to;
        if (alpha)
            for (int64_t x = 0; x < width; x++, in += 2)
                out[x] = PngSampleOntoWhite(&white, in[0], in[1]);
        else
            for (int64_t x = 0; x < width; x++, in += 2) out[x] = in[0];
    }
    GlobalUnlock(result);
    GlobalUnlock(image);
    GlobalFree(image);
    return result;
}
} // namespace

ReaderResult ReadTarga(ByteReader* bytes, HWND owner, char* text) {
    HFILE file = bytes->file;
    BYTE h[18];
    std::memset(h, 0, sizeof h);
    _llseek(file, 0, FILE_BEGIN);
    UINT got = _lread(file, h, sizeof h);
    const int type = h[2];
    if (got != sizeof h ||
        (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11)) {
        ReportError(owner, "Targa File Read Error");
        return NoPictureReported();
    }
    const int idLength = h[0];
    const int mapType = h[1];
    const int first = Le16(h + 3);
    const int mapLength = Le16(h + 5);
    const int entryBits = h[7];
    const int width = Le16(h + 12);
    const int height = Le16(h + 14);
    const int pixelBits = h[16] == 15 ? 16 : h[16];
    const int descriptor = h[17];
    const bool hasMap = mapType != 0;

    InfoSet(text,
            "file type: Targa \nwidth: %d \nheight: %d \nimage type: %s \ncolor map type: %d \n"
            "bits per pixel: %d \npalette size: %d \npalette depth (bits): %d",
            width, height, TypeName(type), mapType, pixelBits, mapLength, entryBits);
    // Pixels are whole bytes: 8 bits (indices and grey levels), 16, 24 or 32.
    if (width == 0 || height == 0 ||
        (pixelBits != 8 && pixelBits != 16 && pixelBits != 24 && pixelBits != 32)) {
        ReportError(owner, "Targa File Read Error");
        return NoPictureReported();
    }
    const int bits = pixelBits;
    // The colour map covers indices first to first + length - 1.
    int colors = 0;
    if (hasMap && bits == 8) colors = first + mapLength > 256 ? 256 : first + mapLength;
    const int tableEntries = bits == 8 ? (colors ? colors : 256) : 0;
    if (ImageBlockBytes(width, height, bits, tableEntries) == 0) {
        ReportError(owner, "Picture Too Large");
        return NoPictureReported();
    }
    HGLOBAL image = AllocImageRecord(width, height, bits, tableEntries);
    if (!image) {
        ReportError(owner, "Memory Allocation Error");
        return NoPictureReported();
    }
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    // True-colour records carry no colour table, whatever map the file has.
    header->biClrUsed = DWORD(colors);
    BYTE* table = reinterpret_cast<BYTE*>(header) + 40;
    BYTE* pixels = table + 4 * tableEntries;

    ByteReader& source = *bytes;
    bool more = SkipBytes(&source, uint64_t(idLength));
    if (more && hasMap) more = ReadColorMap(&source, table, bits == 8, first, mapLength, entryBits);
    if (!hasMap && bits == 8) {
        for (int k = 0; k < 256; k++) table[4 * k] = table[4 * k + 1] = table[4 * k + 2] = BYTE(k);
    }

    RowPlacer placer = {pixels,
                        ImageStride(width, bits),
                        width,
                        height,
                        bits / 8,
                        (descriptor & 0x20) != 0,
                        (descriptor & 0x10) != 0};
    InfoAppend(text, "\nfirst pixel: %s%s", placer.topFirst ? "top " : "bottom ",
               placer.rightToLeft ? "right" : "left");
    if (more && type < 9) ReadRows(&source, &placer);
    if (more && type >= 9) ReadPackets(&source, &placer);
    GlobalUnlock(image);

    bool reported = false;
    if (descriptor & 0xC0) {
        const bool two = (descriptor & 0x40) != 0;
        InfoAppend(text, "%s", two ? "\ntwo way interleave" : "\nfour way interleave");
        image = Deinterleave(image, two ? 2 : 4, owner, &reported);
    }
    if ((type == 3 || type == 11) && bits == 16) {
        image = GreyFromGreyAlpha(image, (descriptor & 0x0F) != 0, owner);
        if (!image) return NoPictureReported();
    }
    return reported ? GotPictureReported(image) : GotPicture(image);
}
