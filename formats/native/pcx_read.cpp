// The PCX reader: the 128-byte header, three decoders (8-bit planes, 16-bit
// pixels, bit planes and packed pixels) and the colour table.
#include "formats/native/pcx.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "core/text.h"

#include <cstring>

namespace {
// Red, green, blue: the colours of the 16-colour displays PCX files were made on.
const BYTE kDefaultPalette[48] = {
    0, 0,   0,   0,   0,   128, 0,   128, 0,   0,   128, 128, 128, 0,   0,   128,
    0, 128, 128, 128, 0,   192, 192, 192, 128, 128, 128, 0,   0,   255, 0,   255,
    0, 0,   255, 255, 255, 0,   0,   255, 0,   255, 255, 255, 0,   255, 255, 255,
};

// One step of the run-length stream: a value and how often it repeats (0 to
// 63). False at the end of the data.
inline bool NextRun(ByteReader* source, BYTE* value, int* count) {
    BYTE c;
    if (!NextByte(source, &c)) return false;
    if ((c & 0xC0) == 0xC0) {
        *count = c & 0x3F;
        return NextByte(source, value);
    }
    *count = 1;
    *value = c;
    return true;
}

// n bytes of value from place x of a plane, those at or beyond kept dropped.
inline void StoreRun(BYTE* out, int step, int x, int n, int kept, BYTE value) {
    int end = x + n < kept ? x + n : kept;
    if (step == 1) {
        if (end > x) std::memset(out + x, value, size_t(end - x));
    } else {
        for (int k = x; k < end; k++) out[k * step] = value;
    }
}

// 8-bit planes: one plane for 8-bit pictures, three or four for 24 and 32
// bits, where plane k fills byte kOffsets[k] of every pixel. A run goes on
// into the next plane of its row; what passes the last plane is dropped,
// and so are the bytes at or beyond the width.
void DecodeBytePlanes(ByteReader* source, BYTE* pixels, uint64_t stride, int64_t width,
                      int64_t height, int planes, int bytesPerLine) {
    static const int kOffsets[4] = {2, 1, 0, 3};
    if (bytesPerLine == 0) return;
    const int step = planes;
    const int kept = width < bytesPerLine ? int(width) : bytesPerLine;
    for (int64_t y = 0; y < height; y++) {
        BYTE* row = pixels + uint64_t(height - 1 - y) * stride;
        BYTE value = 0;
        int pending = 0; // bytes of the current run still to place
        for (int plane = 0; plane < planes; plane++) {
            BYTE* out = planes == 1 ? row : row + kOffsets[plane];
            int x = 0;
            if (pending > 0) {
                int n = bytesPerLine < pending ? bytesPerLine : pending;
                StoreRun(out, step, 0, n, kept, value);
                x = n;
                pending -= n;
            }
            while (x < bytesPerLine) {
                // Whole steps (a literal, or a count and its value) straight
                // from the read buffer while both bytes are there.
                const BYTE* in = source->buffer;
                int at = source->position;
                const int last = source->fill - 1;
                while (x < bytesPerLine && at < last) {
                    BYTE c = in[at];
                    if (c < 0xC0) {
                        if (x < kept) out[x * step] = c;
                        x++;
                        at++;
                        continue;
                    }
                    int count = c & 0x3F;
                    int n = bytesPerLine - x < count ? bytesPerLine - x : count;
                    StoreRun(out, step, x, n, kept, in[at + 1]);
                    if (count > n) {
                        value = in[at + 1];
                        pending = count - n;
                    }
                    at += 2;
                    x += n;
                }
                source->position = at;
                if (x == bytesPerLine) break;
                // The buffer is about to run dry: one step through the byte reader.
                int count;
                if (!NextRun(source, &value, &count)) return;
                int n = bytesPerLine - x < count ? bytesPerLine - x : count;
                StoreRun(out, step, x, n, kept, value);
                x += n;
                pending = count - n;
            }
        }
    }
}

// 16-bit pixels, low byte first; a count byte repeats the pixel that follows.
// Positions count bytes up to the bytes per line; pixels past the width are dropped.
void DecodeWords(ByteReader* source, BYTE* pixels, uint64_t stride, int64_t width, int64_t height,
                 int bytesPerLine) {
    const int64_t limit = 2 * width;
    for (int64_t y = 0; y < height; y++) {
        BYTE* row = pixels + uint64_t(height - 1 - y) * stride;
        int64_t position = 0;
        while (position < bytesPerLine) {
            BYTE c, low, high;
            int count = 1;
            if (!NextByte(source, &c)) return;
            if ((c & 0xC0) == 0xC0) {
                count = c & 0x3F;
                if (!NextByte(source, &low)) return;
            } else {
                low = c;
            }
            if (!NextByte(source, &high)) return;
            for (; count > 0 && position < bytesPerLine; count--, position += 2) {
                if (position < limit) {
                    row[position] = low;
                    row[position + 1] = high;
                }
            }
        }
    }
}

// Bit planes and packed pixels of 1, 2, 4 or 8 bits into 1- or 4-bit rows.
// Each row is gathered in line (entries bytes, one per pixel: bytes per line
// x 8 / bits), value of plane k added in shifted left by k, then packed.
void DecodeBitPlanes(ByteReader* source, BYTE* pixels, uint64_t stride, int recordBits,
                     int64_t width, int64_t height, int bits, int planes, int bytesPerLine,
                     BYTE* line, uint64_t entries) {
    const int perByte = 8 / bits;
    const int mask = (1 << bits) - 1;
    const int64_t kept = width < int64_t(entries) ? width : int64_t(entries);
    bool more = true;
    for (int64_t y = 0; y < height && more; y++) {
        std::memset(line, 0, size_t(entries));
        int plane = 0;
        int position = 0;
        while (bytesPerLine > 0 && plane < planes) {
            BYTE value;
            int count;
            if (!NextRun(source, &value, &count)) {
                more = false;
                break;
            }
            while (count > 0) {
                int n = bytesPerLine - position < count ? bytesPerLine - position : count;
                // Only plane 0 of 8-bit planes counts; planes from 8 on add nothing to a byte.
                if (plane < 8 && (bits != 8 || plane == 0)) {
                    BYTE spread[8];
                    for (int j = 0; j < perByte; j++)
                        spread[j] = BYTE(((value >> (8 - bits * (j + 1))) & mask) << plane);
                    BYTE* e = line + uint64_t(position) * uint64_t(perByte);
                    if (perByte == 1)
                        for (int i = 0; i < n; i++) e[i] = BYTE(e[i] + spread[0]);
                    else
                        for (BYTE* end = e + uint64_t(n) * uint64_t(perByte); e != end;
                             e += perByte)
                            for (int j = 0; j < perByte; j++) e[j] = BYTE(e[j] + spread[j]);
                }
                position += n;
                count -= n;
                if (position == bytesPerLine) {
                    position = 0;
                    if (++plane == planes) break;
                }
            }
        }
        // A row cut short by the end of the data keeps what was decoded.
        BYTE* row = pixels + uint64_t(height - 1 - y) * stride;
        if (recordBits == 1)
            for (int64_t x = 0; x < kept; x++) row[x / 8] |= BYTE((line[x] != 0) << (7 - x % 8));
        else
            for (int64_t x = 0; x < kept; x++)
                row[x / 2] |= BYTE((line[x] & 0x0F) << ((x & 1) ? 0 : 4));
    }
}

// The 256-colour palette at the end of version 5 files of 8 bits per pixel,
// else the header's palette (or the default one when the entries the picture
// needs are all 0). At most tableEntries entries are stored.
void ReadPcxColors(HFILE file, const BYTE* header, int depth, BYTE* table, int tableEntries,
                   char* text) {
    if (header[1] == 5 && depth == 8) {
        LONG end = _llseek(file, 0, FILE_END);
        BYTE marker = 0;
        if (end < 769 || _llseek(file, end - 769, FILE_BEGIN) != end - 769 ||
            _lread(file, &marker, 1) != 1)
            return; // the marker cannot be read: the table stays empty
        if (marker == 12) {
            BYTE rgb[768] = {0};
            _lread(file, rgb, sizeof rgb);
            InfoAppend(text, "colors: 256");
            for (int i = 0; i < 256 && i < tableEntries; i++) {
                table[4 * i] = rgb[3 * i + 2];
                table[4 * i + 1] = rgb[3 * i + 1];
                table[4 * i + 2] = rgb[3 * i];
                table[4 * i + 3] = 0;
            }
            return;
        }
    }
    const int n = depth == 1 ? 2 : depth == 2 ? 4 : depth == 3 ? 8 : 16;
    InfoAppend(text, "colors: %d", n);
    const BYTE* rgb = header + 16;
    bool empty = true;
    for (int i = 0; i < 3 * n; i++)
        if (rgb[i]) empty = false;
    if (empty) rgb = kDefaultPalette;
    for (int i = 0; i < n && i < tableEntries; i++) {
        table[4 * i] = rgb[3 * i + 2];
        table[4 * i + 1] = rgb[3 * i + 1];
        table[4 * i + 2] = rgb[3 * i];
        table[4 * i + 3] = 0;
    }
}
} // namespace

ReaderResult ReadPcx(ByteReader* bytes, HWND owner, char* text) {
    HFILE file = bytes->file;
    BYTE h[128];
    std::memset(h, 0, sizeof h);
    _llseek(file, 0, FILE_BEGIN);
    UINT got = _lread(file, h, sizeof h);
    if (got == 0 || got == UINT(HFILE_ERROR)) return NoPictureSilent();
    if (h[0] != 10) {
        ReportError(owner, "Unrecognized File Structure");
        return NoPictureReported();
    }
    const int version = h[1];
    const int bits = h[3];
    const int planes = h[65];
    const int bytesPerLine = Le16(h + 66);
    const int64_t width = int64_t(Le16(h + 8)) - Le16(h + 4) + 1;
    const int64_t height = int64_t(Le16(h + 10)) - Le16(h + 6) + 1;

    int recordBits = 4;
    int colors = bits == 2 && planes == 1 ? 4 : bits == 3 && planes == 1 ? 8 : 16;
    if (bits * planes == 1) {
        recordBits = 1;
        colors = 2;
    } else if (bits == 8 && planes == 1) {
        recordBits = 8;
        colors = 256;
    } else if (bits == 8 && (planes == 3 || planes == 4)) {
        recordBits = 8 * planes;
        colors = 0;
    } else if (bits == 16 && planes == 1) {
        recordBits = 16;
        colors = 0;
    }
    InfoSet(text,
            "image type: PCX \nwidth: %ld \nheight: %ld \nversion: %d \nplanes: %d \n"
            "bits per pixel: %d \nbytes per line: %d \n",
            long(width), long(height), version, planes, bits, bytesPerLine);
    // A maximum below its minimum describes no picture.
    if (width <= 0 || height <= 0) {
        ReportError(owner, "Unrecognized File Structure");
        return NoPictureReported();
    }
    if (ImageBlockBytes(width, height, recordBits, colors) == 0) {
        ReportError(owner, "Picture Too Large");
        return NoPictureReported();
    }
    HGLOBAL image = AllocImageRecord(width, height, recordBits, colors);
    if (!image) {
        ReportError(owner, "Memory Allocation Error");
        return NoPictureReported();
    }
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const uint64_t stride = ImageStride(width, recordBits);
    header->biSizeImage = DWORD(stride * uint64_t(height));
    BYTE* table = reinterpret_cast<BYTE*>(header) + 40;
    BYTE* pixels = table + 4 * colors;

    ByteReader& source = *bytes;
    bool reported = false;
    if (recordBits >= 24) {
        InfoAppend(text, "colors: 16.7 million");
        DecodeBytePlanes(&source, pixels, stride, width, height, planes, bytesPerLine);
    } else if (recordBits == 16) {
        InfoAppend(text, "colors: 65,536");
        DecodeWords(&source, pixels, stride, width, height, bytesPerLine);
    } else if (recordBits == 8) {
        DecodeBytePlanes(&source, pixels, stride, width, height, 1, bytesPerLine);
    } else if ((bits != 1 && bits != 2 && bits != 4 && bits != 8) || planes == 0) {
        // No planes would have every row take no data: a 128-byte file
        // would clear a line of up to half a megabyte 65535 times.
        ReportError(owner, "Unrecognized File Structure");
        reported = true;
    } else {
        const uint64_t entries = uint64_t(bytesPerLine) * uint64_t(8 / bits);
        HGLOBAL lineBlock = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(entries ? entries : 1));
        if (!lineBlock) {
            ReportError(owner, "Memory Allocation Error");
            reported = true;
        } else {
            BYTE* line = static_cast<BYTE*>(GlobalLock(lineBlock));
            DecodeBitPlanes(&source, pixels, stride, recordBits, width, height, bits, planes,
                            bytesPerLine, line, entries);
            GlobalUnlock(lineBlock);
            GlobalFree(lineBlock);
        }
    }
    // Only palette records have a colour table to fill.
    if (recordBits <= 8) ReadPcxColors(file, h, bits * planes, table, colors, text);
    GlobalUnlock(image);
    return reported ? GotPictureReported(image) : GotPicture(image);
}
