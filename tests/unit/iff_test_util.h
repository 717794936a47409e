// Building IFF files for the tests, byte by byte and independently of the
// reader and writer: big-endian numbers, chunks with their pad byte, plane rows
// made bit by bit, and a ByteRun1 coder of its own; and records to write.
#pragma once

#include "test_util.h"

#include "core/image.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

inline void PutBe16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
inline void PutBe32(Bytes& b, uint32_t v) {
    PutBe16(b, v >> 16);
    PutBe16(b, v & 0xFFFF);
}
inline uint32_t GetBe32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// A chunk: identifier, size, data and a pad byte when the size is odd.
inline Bytes IffChunk(const std::string& id, const Bytes& data) {
    Bytes b(id.begin(), id.end());
    PutBe32(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1) b.push_back(0);
    return b;
}

// The same with a size field that says something else than the data holds.
inline Bytes IffChunkClaiming(const std::string& id, uint32_t size, const Bytes& data) {
    Bytes b(id.begin(), id.end());
    PutBe32(b, size);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

inline Bytes IffForm(const std::string& type, const std::vector<Bytes>& chunks) {
    Bytes inside(type.begin(), type.end());
    for (const Bytes& c : chunks) inside.insert(inside.end(), c.begin(), c.end());
    Bytes b = {'F', 'O', 'R', 'M'};
    PutBe32(b, uint32_t(inside.size()));
    b.insert(b.end(), inside.begin(), inside.end());
    return b;
}

inline Bytes IffBmhd(int width, int height, int planes, int masking = 0, int compression = 0,
                     int transparent = 0) {
    Bytes d;
    PutBe16(d, uint32_t(width));
    PutBe16(d, uint32_t(height));
    PutBe32(d, 0);
    d.push_back(uint8_t(planes));
    d.push_back(uint8_t(masking));
    d.push_back(uint8_t(compression));
    d.push_back(0);
    PutBe16(d, uint32_t(transparent));
    d.push_back(10);
    d.push_back(10);
    PutBe16(d, uint32_t(width));
    PutBe16(d, uint32_t(height));
    return IffChunk("BMHD", d);
}

// Colours as 0xRRGGBB.
inline Bytes IffCmap(const std::vector<uint32_t>& colors) {
    Bytes d;
    for (uint32_t c : colors) {
        d.push_back(uint8_t(c >> 16));
        d.push_back(uint8_t(c >> 8));
        d.push_back(uint8_t(c));
    }
    return IffChunk("CMAP", d);
}

inline Bytes IffCamg(uint32_t mode) {
    Bytes d;
    PutBe32(d, mode);
    return IffChunk("CAMG", d);
}

// The plane rows of one picture row: plane k (k from firstBit) holds bit k of
// each value, leftmost pixel in the most significant bit, each plane row
// padded to an even number of bytes.
inline Bytes PlaneRows(const std::vector<uint32_t>& values, int firstBit, int planes) {
    const size_t rowBytes = (values.size() + 15) / 16 * 2;
    Bytes out;
    for (int p = firstBit; p < firstBit + planes; p++) {
        Bytes plane(rowBytes, 0);
        for (size_t x = 0; x < values.size(); x++)
            if ((values[x] >> p) & 1) plane[x / 8] |= uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), plane.begin(), plane.end());
    }
    return out;
}

// ByteRun1 the simple way: runs of three or more equal bytes as repeats,
// everything else as literals of at most 128 bytes.
inline Bytes SimpleByteRun1(const Bytes& data) {
    Bytes out;
    size_t at = 0;
    while (at < data.size()) {
        size_t run = 1;
        while (at + run < data.size() && run < 128 && data[at + run] == data[at]) run++;
        if (run >= 3) {
            out.push_back(uint8_t(257 - run));
            out.push_back(data[at]);
            at += run;
            continue;
        }
        size_t start = at, n = 0;
        while (at < data.size() && n < 128) {
            if (at + 2 < data.size() && data[at] == data[at + 1] && data[at] == data[at + 2]) break;
            at++;
            n++;
        }
        out.push_back(uint8_t(n - 1));
        out.insert(out.end(), data.begin() + long(start), data.begin() + long(at));
    }
    return out;
}

// The same, row by row: no packet runs on from one row of rowBytes into the next.
inline Bytes SimpleByteRun1Rows(const Bytes& data, size_t rowBytes) {
    Bytes out;
    for (size_t at = 0; at < data.size(); at += rowBytes) {
        Bytes row(data.begin() + long(at),
                  data.begin() + long(std::min(at + rowBytes, data.size())));
        Bytes packed = SimpleByteRun1(row);
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

// A record whose pixel (x, y from the top) is value(x, y): a colour index up
// to 8 bits, the 5-5-5 word at 16 bits, 0xRRGGBB at 24 and 32 bits.
inline HGLOBAL MakeRecord(int width, int height, int bits, const std::vector<uint32_t>& colors,
                          const std::function<uint32_t(int, int)>& value) {
    HGLOBAL image = AllocImageRecord(width, height, bits, bits <= 8 ? int(colors.size()) : 0);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    for (size_t i = 0; i < colors.size() && bits <= 8; i++) {
        table[4 * i] = BYTE(colors[i]);
        table[4 * i + 1] = BYTE(colors[i] >> 8);
        table[4 * i + 2] = BYTE(colors[i] >> 16);
    }
    const uint64_t stride = ImageStride(width, bits);
    for (int y = 0; y < height; y++) {
        BYTE* row = ImagePixels(h) + stride * uint64_t(height - 1 - y);
        for (int x = 0; x < width; x++) {
            uint32_t v = value(x, y);
            switch (bits) {
            case 1:
                if (v) row[x / 8] |= BYTE(0x80 >> (x % 8));
                break;
            case 4:
                row[x / 2] |= BYTE((x & 1) ? v : v << 4);
                break;
            case 8:
                row[x] = BYTE(v);
                break;
            case 16:
                row[2 * x] = BYTE(v);
                row[2 * x + 1] = BYTE(v >> 8);
                break;
            default: {
                BYTE* p = row + (bits / 8) * x;
                p[0] = BYTE(v);
                p[1] = BYTE(v >> 8);
                p[2] = BYTE(v >> 16);
                if (bits == 32) p[3] = 0x77; // the fourth byte is not a colour
            }
            }
        }
    }
    GlobalUnlock(image);
    return image;
}
