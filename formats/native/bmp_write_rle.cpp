// The run-length bitmap writer (BI_RLE8 and BI_RLE4) and its row encoder.
#include "formats/native/bmp.h"

#include "core/image.h"
#include "formats/native/write_buffer.h"

#include <cstring>

namespace {
// Where an encoded row goes; with at null the bytes are only counted.
struct RowOut {
    BYTE* at;
    uint64_t count;
};

inline void Put2(RowOut* out, BYTE a, BYTE b) {
    if (out->at) {
        out->at[0] = a;
        out->at[1] = b;
        out->at += 2;
    }
    out->count += 2;
}

// A literal of bytes (pixels = perByte x bytes, at least 3) as an absolute run.
void PutLiteral(RowOut* out, int perByte, const BYTE* start, uint64_t bytes) {
    Put2(out, 0, BYTE(uint64_t(perByte) * bytes));
    if (out->at) {
        std::memcpy(out->at, start, size_t(bytes));
        out->at += bytes;
    }
    out->count += bytes;
}

// A run of bytes equal bytes (pixels = perByte x bytes).
inline void PutRun(RowOut* out, int perByte, uint64_t bytes, BYTE value) {
    Put2(out, BYTE(uint64_t(perByte) * bytes), value);
}
} // namespace

uint64_t BitmapRowBound(int64_t width, int compression) {
    // A literal of two bytes between runs costs four, the run after it two:
    // at most 3 bytes for every 2 of the row, plus the tail and the escape.
    const uint64_t bytes = compression == BI_RLE4 ? (uint64_t(width) + 1) / 2 : uint64_t(width);
    return bytes / 2 * 3 + 16;
}

uint64_t EncodeBitmapRow(const BYTE* row, int64_t width, int compression, BYTE* out) {
    const int perByte = compression == BI_RLE4 ? 2 : 1;
    const uint64_t whole = uint64_t(width) / uint64_t(perByte);
    const uint64_t paired = whole & ~uint64_t(1);
    RowOut o = {out, 0};
    uint64_t run = 0, literal = 0, start = 0; // lengths in bytes
    BYTE value = 0;
    for (uint64_t i = 0; i < paired; i += 2) {
        const BYTE x = row[i], y = row[i + 1];
        // A pending literal of 2 pixels cannot stand alone (absolute runs need
        // 3), so it takes this pair too.
        if (x == y && perByte * literal != 2) {
            if (i == 0) {
                run = 2;
                value = x;
                continue;
            }
            if (literal > 0) {
                PutLiteral(&o, perByte, row + start, literal);
                literal = 0;
            }
            if (x == value) {
                run += 2;
                if (perByte * run == 256) {
                    PutRun(&o, perByte, run - 2, value);
                    run = 2;
                }
            } else {
                if (run > 0) PutRun(&o, perByte, run, value);
                run = 2;
                value = x;
            }
        } else {
            if (run > 0) {
                PutRun(&o, perByte, run, value);
                run = 0;
            }
            if (literal == 0) start = i;
            literal += 2;
            if (perByte * literal == 256) {
                PutLiteral(&o, perByte, row + start, literal - 2);
                start += literal - 2;
                literal = 2;
            }
        }
    }
    if (run > 0) PutRun(&o, perByte, run, value);
    if (literal > 0) {
        if (perByte == 1 && literal == 2) {
            Put2(&o, 1, row[start]);
            Put2(&o, 1, row[start + 1]);
        } else {
            PutLiteral(&o, perByte, row + start, literal);
        }
    }
    // The pixels after the pairs. The nibbles beyond the width go out as 0;
    // the record itself is left as it is.
    if (perByte == 1) {
        if (width % 2) Put2(&o, 1, row[paired]);
    } else if (width % 4 == 1) {
        Put2(&o, 1, row[paired] & 0xF0);
    } else if (width % 4 == 2) {
        Put2(&o, 2, row[paired]);
    } else if (width % 4 == 3) {
        Put2(&o, 0, 3);
        Put2(&o, row[paired], row[paired + 1] & 0xF0);
    }
    Put2(&o, 0, 0);
    return o.count;
}

WriteResult WriteBitmapRunLength(HGLOBAL image, const char* path) {
    if (!IsValidImageRecord(image)) return WRITE_FAILED;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int bits = header->biBitCount;
    if (bits != 4 && bits != 8) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    const int compression = bits == 8 ? BI_RLE8 : BI_RLE4;
    const int64_t width = header->biWidth;
    const int64_t height = header->biHeight;
    const int colors = ImageColorCount(header);
    const uint64_t stride = ImageStride(width, bits);
    const BYTE* pixels = ImagePixels(header);

    // First pass: the size, so that the header goes first without seeking back.
    uint64_t total = 0;
    for (int64_t y = 0; y < height; y++)
        total += EncodeBitmapRow(pixels + uint64_t(y) * stride, width, compression, nullptr);
    const uint64_t offset = 54 + 4 * uint64_t(colors);
    const uint64_t dataBytes = total + 2; // and the end-of-picture escape
    if (offset + dataBytes > UINT32_MAX) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    const uint64_t bound = BitmapRowBound(width, compression);
    WriteBuffer out;
    bool ok = OpenWriteBuffer(&out, file, bound + offset, offset + dataBytes);

    // The image-size field holds the size of the coded data, as decoders of
    // compressed bitmaps expect, whatever the record held.
    BYTE head[54 + 1024];
    PutBitmapHeaders(head, header, uint32_t(offset + dataBytes), uint32_t(offset),
                     uint32_t(compression), uint32_t(dataBytes));
    std::memcpy(head + 54, reinterpret_cast<const BYTE*>(header) + 40, 4 * size_t(colors));
    ok = ok && PutBytes(&out, head, offset);
    for (int64_t y = 0; ok && y < height; y++) {
        BYTE* room = ReserveBytes(&out, bound);
        if (!room) {
            ok = false;
            break;
        }
        CommitBytes(&out, EncodeBitmapRow(pixels + uint64_t(y) * stride, width, compression, room));
    }
    static const BYTE kEndOfPicture[2] = {0, 1};
    ok = ok && PutBytes(&out, kEndOfPicture, 2);
    ok = CloseWriteBuffer(&out, ok);
    GlobalUnlock(image);
    return ok ? WRITE_OK : WRITE_FAILED;
}
