// Readers of the "BM" family: Windows bitmaps (40-byte header, and the later
// 108- and 124-byte headers), OS/2 1.x bitmaps (12-byte core header) and
// OS/2 2.0 bitmaps (64-byte header).
#include "formats/native/bmp.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "core/text.h"

#include <cstring>

namespace {
// Reads up to bytes into out in large pieces; returns how many were read.
uint64_t ReadInto(HFILE file, BYTE* out, uint64_t bytes) {
    uint64_t done = 0;
    while (done < bytes) {
        long piece = long(bytes - done > (1u << 30) ? (1u << 30) : bytes - done);
        long n = _hread(file, out + done, piece);
        if (n <= 0) break;
        done += uint64_t(n);
    }
    return done;
}

bool ReadExact(HFILE file, BYTE* out, UINT bytes) {
    return ReadInto(file, out, bytes) == bytes;
}

// The file's length, 0 when it cannot be told.
uint64_t LengthOf(HFILE file) {
    int64_t length = FileLength(file);
    return length < 0 ? 0 : uint64_t(length);
}

// Moves to a pixel-data offset from the file header when it lies between
// where we are and the end of the file; otherwise reading goes on in place.
void SeekToPixels(HFILE file, uint32_t offset, uint64_t fileLength) {
    LONG here = _llseek(file, 0, FILE_CURRENT);
    if (offset != 0 && here >= 0 && offset >= uint32_t(here) && offset < fileLength)
        _llseek(file, LONG(offset), FILE_BEGIN);
}

bool SupportedBitCount(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

int DefaultColors(int bits) {
    return bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
}

// Colour-table entries to keep for a palette picture: the file's count when
// given, never more than the bit count can address. Returns -1 for counts
// no palette picture can have.
int PaletteColors(int bits, uint32_t used) {
    int defaults = DefaultColors(bits);
    if (defaults == 0) return 0;
    if (used == 0) return defaults;
    if (used > 256) return -1;
    return int(used) > defaults ? defaults : int(used);
}

// Reads a colour table of fileEntries entries of entryBytes each; the first
// keep entries go to the record, reserved bytes 0.
bool ReadColorTable(HFILE file, BYTE* table, int keep, uint32_t fileEntries, int entryBytes) {
    BYTE entry[4];
    for (uint32_t i = 0; i < fileEntries; i++) {
        if (!ReadExact(file, entry, UINT(entryBytes))) return false;
        if (int(i) < keep) {
            table[4 * i] = entry[0];
            table[4 * i + 1] = entry[1];
            table[4 * i + 2] = entry[2];
            table[4 * i + 3] = 0;
        }
    }
    return true;
}

// Entries the file's colour table holds. True-colour files may carry one
// too; it is read past (at most 256 entries) and not kept.
uint32_t FileColorEntries(int colors, uint32_t used) {
    if (colors) return used ? used : uint32_t(colors);
    return used > 256 ? 256 : used;
}

// Rows of a top-down bitmap are turned so that the bottom row comes first.
void FlipRows(BYTE* pixels, uint64_t stride, int64_t rows) {
    BYTE buffer[4096];
    for (int64_t top = 0, bottom = rows - 1; top < bottom; top++, bottom--) {
        BYTE* a = pixels + uint64_t(top) * stride;
        BYTE* b = pixels + uint64_t(bottom) * stride;
        for (uint64_t done = 0; done < stride; done += sizeof buffer) {
            size_t n = size_t(stride - done < sizeof buffer ? stride - done : sizeof buffer);
            std::memcpy(buffer, a + done, n);
            std::memcpy(a + done, b + done, n);
            std::memcpy(b + done, buffer, n);
        }
    }
}

enum MaskLayout { MASKS_555, MASKS_565, MASKS_888, MASKS_101010, MASKS_UNSUPPORTED };

MaskLayout RecogniseMasks(int bits, uint32_t red, uint32_t green, uint32_t blue) {
    if (bits == 16 && red == 0x7C00 && green == 0x03E0 && blue == 0x001F) return MASKS_555;
    if (bits == 16 && red == 0xF800 && green == 0x07E0 && blue == 0x001F) return MASKS_565;
    if (bits == 32 && red == 0x00FF0000 && green == 0x0000FF00 && blue == 0x000000FF)
        return MASKS_888;
    if (bits == 32 && red == 0xFFC00000 && green == 0x003FF000 && blue == 0x00000FFC)
        return MASKS_101010;
    return MASKS_UNSUPPORTED;
}

const char* const kMaskNames[] = {"5 5 5", "5 6 5", "8 8 8", "10 10 10", "not supported"};

// Allocation failures are told apart from pictures no block may hold.
HGLOBAL AllocOrReport(int64_t width, int64_t height, int bits, int colors, HWND owner,
                      const char* memoryMessage) {
    if (ImageBlockBytes(width, height, bits, colors) == 0) {
        ReportError(owner, "Picture Too Large");
        return nullptr;
    }
    HGLOBAL image = AllocImageRecord(width, height, bits, colors);
    if (!image) ReportError(owner, memoryMessage);
    return image;
}

unsigned long Magnitude(int32_t v) {
    return v < 0 ? 0ul - (unsigned long)(int64_t(v)) : (unsigned long)v;
}
} // namespace

ReaderResult ReadWindowsBitmap(HFILE file, HWND owner, char* text) {
    BYTE fileHeader[14] = {0}, info[124] = {0};
    _llseek(file, 0, FILE_BEGIN);
    if (!ReadExact(file, fileHeader, 14) || !ReadExact(file, info, 40)) {
        ReportError(owner, "Invalid Bitmap Header");
        return NoPictureReported();
    }
    const uint64_t fileLength = LengthOf(file);
    const uint32_t headerSize = Le32(info);
    const int32_t width = int32_t(Le32(info + 4));
    const int32_t height = int32_t(Le32(info + 8));
    const int planes = Le16(info + 12);
    const int bits = Le16(info + 14);
    const uint32_t compression = Le32(info + 16);
    const uint32_t sizeImage = Le32(info + 20);
    const uint32_t used = Le32(info + 32);

    InfoSet(text,
            "image type: Windows DIB \nwidth: %lu \nheight: %lu \nplanes: %d \nbit count: %d \n",
            Magnitude(width), Magnitude(height), planes, bits);
    static const char* const kCompression[] = {"BI_RGB", "BI_RLE8", "BI_RLE4", "BI_BITFIELDS"};
    if (compression <= 3) InfoAppend(text, "compression: %s \n", kCompression[compression]);

    // The later headers carry the bit-field masks in their own bytes 40 to 51.
    bool longHeader = headerSize == 108 || headerSize == 124;
    if (longHeader && !ReadExact(file, info + 40, headerSize - 40)) {
        ReportError(owner, "Invalid Bitmap Header");
        return NoPictureReported();
    }
    if (compression == BI_RLE8 || compression == BI_RLE4) {
        if (bits != 4 && bits != 8) return NoPictureSilent();
    } else if (compression > BI_BITFIELDS) {
        ReportError(owner, "Unsupported Bitmap Compression");
        return NoPictureReported();
    } else if (!SupportedBitCount(bits)) {
        ReportError(owner, "Unsupported Bitmap Format");
        return NoPictureReported();
    }
    if (width <= 0 || height == 0 || height == INT32_MIN) {
        ReportError(owner, "Invalid Bitmap Header");
        return NoPictureReported();
    }
    const int colors = PaletteColors(bits, used);
    if (colors < 0) {
        ReportError(owner, "Unsupported Bitmap Format");
        return NoPictureReported();
    }
    const int64_t rows = height < 0 ? -int64_t(height) : height;
    const uint64_t stride = ImageStride(width, bits);
    const bool runLength = compression == BI_RLE8 || compression == BI_RLE4;

    uint32_t masks[3] = {0, 0, 0};
    if (compression == BI_BITFIELDS) {
        BYTE raw[12] = {0};
        if (longHeader)
            std::memcpy(raw, info + 40, 12);
        else
            ReadExact(file, raw, 12);
        masks[0] = Le32(raw);
        masks[1] = Le32(raw + 4);
        masks[2] = Le32(raw + 8);
    }

    // Masks of no named layout are decoded when they make sense, and refused
    // when they do not, rather than shown as a black picture.
    const bool fields = compression == BI_BITFIELDS && (bits == 16 || bits == 32);
    MaskLayout layout = MASKS_UNSUPPORTED;
    BitFieldChannel channels[3] = {};
    if (fields) {
        layout = RecogniseMasks(bits, masks[0], masks[1], masks[2]);
        InfoAppend(text, "bitfields: %s \n", kMaskNames[layout]);
        if (layout == MASKS_UNSUPPORTED && !DescribeBitFields(bits, masks, channels)) {
            ReportError(owner, "Invalid Bitmap Bit Fields");
            return NoPictureReported();
        }
    }

    HGLOBAL image =
        AllocOrReport(width, rows, bits, colors, owner,
                      runLength ? "Memory Allocation Error" : "Memory allocation error");
    if (!image) return NoPictureReported();
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    // The file's colours-used field is kept (0 stays 0), capped at the entries kept.
    header->biClrUsed = used ? DWORD(colors) : 0;
    header->biXPelsPerMeter = LONG(Le32(info + 24));
    header->biYPelsPerMeter = LONG(Le32(info + 28));
    header->biClrImportant = Le32(info + 36);
    if (runLength) {
        header->biSizeImage = 0;
    } else if (sizeImage == 0) {
        int64_t guess = int64_t(fileLength) - 4 * int64_t(colors) - 54;
        header->biSizeImage = guess < 0                     ? 0
                              : guess > int64_t(UINT32_MAX) ? UINT32_MAX
                                                            : DWORD(guess);
    } else {
        header->biSizeImage = sizeImage;
    }
    BYTE* table = reinterpret_cast<BYTE*>(header) + 40;
    BYTE* pixels = table + 4 * colors;
    ReadColorTable(file, table, colors, FileColorEntries(colors, used), 4);
    SeekToPixels(file, Le32(fileHeader + 10), fileLength);

    bool reported = false;
    if (runLength) {
        reported = !ExpandRunLength(compression == BI_RLE4 ? RLE_4 : RLE_8, pixels, stride, rows,
                                    file, owner);
    } else if (fields) {
        const uint64_t got = ReadInto(file, pixels, stride * uint64_t(rows));
        // Rows the file did not hold are zero and stay zero when converted:
        // only the rows read are converted, so a short file costs no more.
        int64_t filled = int64_t((got + stride - 1) / stride);
        if (layout == MASKS_565)
            for (int64_t y = 0; y < filled; y++)
                Convert565To555(pixels + uint64_t(y) * stride, width);
        if (layout == MASKS_101010) Convert101010To888(pixels, stride, width, filled);
        if (layout == MASKS_UNSUPPORTED)
            ConvertBitFields(pixels, stride, width, filled, bits, channels);
    } else {
        ReadInto(file, pixels, stride * uint64_t(rows));
    }
    if (height < 0) FlipRows(pixels, stride, rows);
    GlobalUnlock(image);
    return reported ? GotPictureReported(image) : GotPicture(image);
}

ReaderResult ReadOs2Bitmap(HFILE file, HWND owner, char* text) {
    BYTE fileHeader[14] = {0}, core[12] = {0};
    _llseek(file, 0, FILE_BEGIN);
    if (!ReadExact(file, fileHeader, 14) || !ReadExact(file, core, 12)) {
        ReportError(owner, "Invalid Bitmap Header");
        return NoPictureReported();
    }
    const uint64_t fileLength = LengthOf(file);
    const int width = Le16(core + 4);
    const int height = Le16(core + 6);
    const int planes = Le16(core + 8);
    const int bits = Le16(core + 10);
    InfoSet(text,
            "image type: OS/2 DIB \nwidth: %lu \nheight: %lu \nplanes: %d \nbit count: %d \n"
            "compression: none \n",
            (unsigned long)width, (unsigned long)height, planes, bits);
    const int colors = DefaultColors(bits);
    InfoAppend(text, "%s",
               bits == 1   ? "colors: 2"
               : bits == 4 ? "colors: 16"
               : bits == 8 ? "colors: 256"
                           : "colors: 16.7 million");
    if (!SupportedBitCount(bits)) {
        ReportError(owner, "Unsupported Bitmap Format");
        return NoPictureReported();
    }
    if (width == 0 || height == 0) {
        ReportError(owner, "Invalid Bitmap Header");
        return NoPictureReported();
    }
    HGLOBAL image = AllocOrReport(width, height, bits, colors, owner, "Memory allocation error");
    if (!image) return NoPictureReported();
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    header->biClrUsed = 0;
    BYTE* table = reinterpret_cast<BYTE*>(header) + 40;
    // Writers may store fewer entries than the bit count allows: a pixel
    // offset that is plausible (inside the file, not inside the headers)
    // says where the table ends; the entries it leaves out stay black.
    const uint32_t offset = Le32(fileHeader + 10);
    const uint32_t tableStart = 14 + 12;
    uint32_t fileEntries = uint32_t(colors);
    if (offset >= tableStart && offset < fileLength && offset < tableStart + 3 * fileEntries)
        fileEntries = (offset - tableStart) / 3;
    ReadColorTable(file, table, colors, fileEntries, 3);
    SeekToPixels(file, offset, fileLength);
    ReadInto(file, table + 4 * colors, ImageStride(width, bits) * uint64_t(height));
    GlobalUnlock(image);
    return GotPicture(image);
}

ReaderResult ReadOs2v2Bitmap(HFILE file, HWND owner, char* text) {
    BYTE fileHeader[14] = {0}, info[64] = {0};
    _llseek(file, 0, FILE_BEGIN);
    if (!ReadExact(file, fileHeader, 14) || !ReadExact(file, info, 64)) {
        ReportError(owner, "Invalid Bitmap Header");
        return NoPictureReported();
    }
    const uint64_t fileLength = LengthOf(file);
    const uint32_t width = Le32(info + 4);
    const uint32_t height = Le32(info + 8);
    const int planes = Le16(info + 12);
    const int bits = Le16(info + 14);
    const uint32_t compression = Le32(info + 16);
    const uint32_t used = Le32(info + 32);
    InfoSet(text,
            "image type: OS/2 2.0 DIB \nwidth: %lu \nheight: %lu \nplanes: %d \nbit count: %d \n"
            "compression: ",
            (unsigned long)width, (unsigned long)height, planes, bits);
    static const char* const kCompression[] = {"none", "RLE 8", "RLE 4", "Huffman 1D", "RLE 24"};
    InfoAppend(text, "%s \n", compression <= 4 ? kCompression[compression] : "unknown");

    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return NoPictureSilent();
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) {
        ReportError(owner, "Invalid Bitmap Header");
        return NoPictureReported();
    }
    int colors = PaletteColors(bits, used);
    if (colors < 0) {
        ReportError(owner, "Unsupported Bitmap Format");
        return NoPictureReported();
    }
    // Huffman pictures are drawn with a white and a black entry, whatever the
    // file's table holds, so the record always has both.
    const bool huffman = compression == 3 && bits == 1;
    if (huffman) colors = 2;
    HGLOBAL image = AllocOrReport(width, height, bits, colors, owner, "Memory Allocation Error");
    if (!image) return NoPictureReported();
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    header->biClrUsed = bits <= 8 && used ? DWORD(colors) : 0;
    header->biClrImportant = Le32(info + 36);
    BYTE* table = reinterpret_cast<BYTE*>(header) + 40;
    BYTE* pixels = table + 4 * colors;
    const uint64_t stride = ImageStride(width, bits);
    ReadColorTable(file, table, colors, FileColorEntries(colors, used), 4);
    SeekToPixels(file, Le32(fileHeader + 10), fileLength);

    bool reported = false;
    switch (compression) {
    case 0:
        ReadInto(file, pixels, stride * height);
        break;
    case 1:
        reported = !ExpandRunLength(RLE_8, pixels, stride, height, file, owner);
        break;
    case 2:
        reported = !ExpandRunLength(RLE_4, pixels, stride, height, file, owner);
        break;
    case 4:
        reported = !ExpandRunLength(RLE_24, pixels, stride, height, file, owner);
        break;
    case 3:
        // Modified Huffman codes one-bit rows only.
        if (huffman) {
            BitSource source;
            HGLOBAL buffer = AllocByteReader(&source.bytes, file, BITMAP_READ_BUFFER, owner);
            if (!buffer) {
                reported = true;
                break;
            }
            source.bitPosition = 8;
            source.current = 0;
            source.bitOrder = 1;
            std::memset(table, 0xFF, 4);  // white
            std::memset(table + 4, 0, 4); // black: the runs set bits
            DecodeHuffmanRows(&source, pixels, stride, width, height);
            GlobalUnlock(buffer);
            GlobalFree(buffer);
        }
        break;
    default:
        break;
    }
    GlobalUnlock(image);
    return reported ? GotPictureReported(image) : GotPicture(image);
}

void Convert565To555(BYTE* row, int64_t width) {
    for (int64_t x = 0; x < width; x++) {
        uint16_t v = Le16(row + 2 * x);
        uint16_t out = uint16_t(((v >> 11) & 0x1F) << 10 | ((v >> 6) & 0x1F) << 5 | (v & 0x1F));
        row[2 * x] = BYTE(out);
        row[2 * x + 1] = BYTE(out >> 8);
    }
}

void Convert101010To888(BYTE* pixels, uint64_t stride, int64_t width, int64_t rows) {
    bool wide = false;
    for (int64_t y = 0; y < rows && !wide; y++) {
        const BYTE* p = pixels + uint64_t(y) * stride;
        for (int64_t x = 0; x < width; x++) {
            uint32_t v = Le32(p + 4 * x);
            if (((v >> 22) & 0x3FF) > 255 || ((v >> 12) & 0x3FF) > 255 ||
                ((v >> 2) & 0x3FF) > 255) {
                wide = true;
                break;
            }
        }
    }
    const int shift = wide ? 2 : 0;
    for (int64_t y = 0; y < rows; y++) {
        BYTE* p = pixels + uint64_t(y) * stride;
        for (int64_t x = 0; x < width; x++, p += 4) {
            uint32_t v = Le32(p);
            p[0] = BYTE(((v >> 2) & 0x3FF) >> shift);
            p[1] = BYTE(((v >> 12) & 0x3FF) >> shift);
            p[2] = BYTE(((v >> 22) & 0x3FF) >> shift);
            p[3] = 0;
        }
    }
}
