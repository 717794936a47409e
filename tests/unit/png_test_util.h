// PNG files built chunk by chunk for the reader's tests, and a small decoder
// of our own (zlib, the five filters, Adam7) that takes written files apart
// without libpng.
#pragma once

#include "test_util.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace png {

inline void PutBe32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

inline uint32_t Be32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

struct Chunk {
    std::string type;
    Bytes data;
};

inline Bytes ChunkBytes(const Chunk& c) {
    Bytes out;
    PutBe32(out, uint32_t(c.data.size()));
    Bytes body(c.type.begin(), c.type.end());
    body.insert(body.end(), c.data.begin(), c.data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBe32(out, uint32_t(crc32(0, body.data(), uInt(body.size()))));
    return out;
}

inline Bytes Signature() {
    return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
}

inline Bytes FileOf(const std::vector<Chunk>& chunks) {
    Bytes out = Signature();
    for (const Chunk& c : chunks) {
        Bytes b = ChunkBytes(c);
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

inline Chunk Ihdr(uint32_t width, uint32_t height, int depth, int type, int interlace = 0) {
    Chunk c{"IHDR", {}};
    PutBe32(c.data, width);
    PutBe32(c.data, height);
    c.data.push_back(uint8_t(depth));
    c.data.push_back(uint8_t(type));
    c.data.push_back(0);
    c.data.push_back(0);
    c.data.push_back(uint8_t(interlace));
    return c;
}

inline Chunk Gama(uint32_t hundredThousandths) {
    Chunk c{"gAMA", {}};
    PutBe32(c.data, hundredThousandths);
    return c;
}

// Rows of samples packed as the file packs them, each given filter type 0.
inline Chunk Idat(const std::vector<Bytes>& rows) {
    Bytes raw;
    for (const Bytes& r : rows) {
        raw.push_back(0);
        raw.insert(raw.end(), r.begin(), r.end());
    }
    uLongf size = compressBound(uLong(raw.size()));
    Bytes packed(size);
    compress(packed.data(), &size, raw.data(), uLong(raw.size()));
    packed.resize(size);
    return Chunk{"IDAT", packed};
}

// A non-interlaced file: IHDR, the early chunks (gAMA, sRGB), PLTE when
// palette is given (0xRRGGBB entries), the late chunks (bKGD, tRNS), IDAT, IEND.
struct Parts {
    uint32_t width = 1, height = 1;
    int depth = 8, type = 0;
    std::vector<Chunk> early;
    std::vector<uint32_t> palette;
    std::vector<Chunk> late;
    std::vector<Bytes> rows;
};

inline Bytes Build(const Parts& s) {
    std::vector<Chunk> chunks = {Ihdr(s.width, s.height, s.depth, s.type)};
    chunks.insert(chunks.end(), s.early.begin(), s.early.end());
    if (!s.palette.empty()) {
        Chunk plte{"PLTE", {}};
        for (uint32_t c : s.palette) {
            plte.data.push_back(uint8_t(c >> 16));
            plte.data.push_back(uint8_t(c >> 8));
            plte.data.push_back(uint8_t(c));
        }
        chunks.push_back(plte);
    }
    chunks.insert(chunks.end(), s.late.begin(), s.late.end());
    chunks.push_back(Idat(s.rows));
    chunks.push_back(Chunk{"IEND", {}});
    return FileOf(chunks);
}

// A file taken apart: the header fields, the chunks in order, and the samples
// of every row (top first, packed as in the file, interlacing undone).
struct Decoded {
    bool ok = false;
    std::string error;
    uint32_t width = 0, height = 0;
    int depth = 0, type = 0, interlace = 0;
    std::vector<Chunk> chunks;
    std::vector<Bytes> rows;
    const Chunk* find(const std::string& t) const {
        for (const Chunk& c : chunks)
            if (c.type == t) return &c;
        return nullptr;
    }
};

inline int Channels(int type) {
    return type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
}

inline BYTE Paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return BYTE(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes the filters of `rows` rows of rowBytes bytes each (bpp: bytes per
// complete pixel, at least 1), reading from data at *at.
inline bool Unfilter(const Bytes& data, size_t* at, size_t rows, size_t rowBytes, size_t bpp,
                     std::vector<Bytes>* out) {
    Bytes prior(rowBytes, 0);
    for (size_t y = 0; y < rows; y++) {
        if (*at + 1 + rowBytes > data.size()) return false;
        int filter = data[(*at)++];
        Bytes row(data.begin() + long(*at), data.begin() + long(*at + rowBytes));
        *at += rowBytes;
        for (size_t i = 0; i < rowBytes; i++) {
            int a = i >= bpp ? row[i - bpp] : 0, b = prior[i], c = i >= bpp ? prior[i - bpp] : 0;
            switch (filter) {
            case 0:
                break;
            case 1:
                row[i] = BYTE(row[i] + a);
                break;
            case 2:
                row[i] = BYTE(row[i] + b);
                break;
            case 3:
                row[i] = BYTE(row[i] + (a + b) / 2);
                break;
            case 4:
                row[i] = BYTE(row[i] + Paeth(a, b, c));
                break;
            default:
                return false;
            }
        }
        out->push_back(row);
        prior = row;
    }
    return true;
}

inline uint32_t SampleAt(const Bytes& row, int depth, size_t index) {
    if (depth == 16) return uint32_t(row[2 * index]) << 8 | row[2 * index + 1];
    if (depth == 8) return row[index];
    size_t bit = index * size_t(depth);
    return (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

inline void PutSample(Bytes& row, int depth, size_t index, uint32_t v) {
    if (depth == 16) {
        row[2 * index] = BYTE(v >> 8);
        row[2 * index + 1] = BYTE(v);
    } else if (depth == 8) {
        row[index] = BYTE(v);
    } else {
        size_t bit = index * size_t(depth);
        row[bit / 8] |= BYTE(v << (8 - depth - bit % 8));
    }
}

inline Decoded Decode(const Bytes& file) {
    Decoded d;
    if (file.size() < 8 || !std::equal(file.begin(), file.begin() + 8, Signature().begin()))
        return d.error = "no signature", d;
    Bytes idat;
    for (size_t at = 8; at + 12 <= file.size();) {
        uint32_t length = Be32(file, at);
        if (at + 12 + length > file.size()) return d.error = "chunk cut short", d;
        Chunk c{std::string(file.begin() + long(at + 4), file.begin() + long(at + 8)),
                Bytes(file.begin() + long(at + 8), file.begin() + long(at + 8 + length))};
        uint32_t crc = uint32_t(crc32(0, file.data() + at + 4, uInt(length + 4)));
        if (crc != Be32(file, at + 8 + length)) return d.error = "bad CRC in " + c.type, d;
        if (c.type == "IDAT") idat.insert(idat.end(), c.data.begin(), c.data.end());
        d.chunks.push_back(c);
        at += 12 + length;
    }
    const Chunk* ihdr = d.find("IHDR");
    if (!ihdr || ihdr->data.size() != 13) return d.error = "no IHDR", d;
    d.width = Be32(ihdr->data, 0);
    d.height = Be32(ihdr->data, 4);
    d.depth = ihdr->data[8];
    d.type = ihdr->data[9];
    d.interlace = ihdr->data[12];
    const size_t bitsPerPixel = size_t(d.depth) * size_t(Channels(d.type));
    const size_t bpp = bitsPerPixel < 8 ? 1 : bitsPerPixel / 8;

    Bytes raw;
    z_stream z = {};
    inflateInit(&z);
    z.next_in = idat.data();
    z.avail_in = uInt(idat.size());
    Bytes buffer(65536);
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = buffer.data();
        z.avail_out = uInt(buffer.size());
        status = inflate(&z, Z_NO_FLUSH);
        raw.insert(raw.end(), buffer.begin(), buffer.end() - long(z.avail_out));
        if (status == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) return d.error = "bad zlib stream", d;

    const size_t fullBytes = (size_t(d.width) * bitsPerPixel + 7) / 8;
    size_t at = 0;
    if (d.interlace == 0) {
        if (!Unfilter(raw, &at, d.height, fullBytes, bpp, &d.rows)) return d.error = "rows", d;
    } else {
        d.rows.assign(d.height, Bytes(fullBytes, 0));
        const int x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 4, 0, 2, 0, 1};
        const int dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
        const int channels = Channels(d.type);
        for (int p = 0; p < 7; p++) {
            size_t w = d.width > uint32_t(x0[p]) ? (d.width - x0[p] + dx[p] - 1) / dx[p] : 0;
            size_t h = d.height > uint32_t(y0[p]) ? (d.height - y0[p] + dy[p] - 1) / dy[p] : 0;
            if (w == 0 || h == 0) continue;
            std::vector<Bytes> pass;
            if (!Unfilter(raw, &at, h, (w * bitsPerPixel + 7) / 8, bpp, &pass))
                return d.error = "pass rows", d;
            for (size_t y = 0; y < h; y++)
                for (size_t x = 0; x < w; x++)
                    for (int c = 0; c < channels; c++)
                        PutSample(d.rows[y0[p] + y * dy[p]], d.depth,
                                  (x0[p] + x * dx[p]) * channels + c,
                                  SampleAt(pass[y], d.depth, x * channels + c));
        }
    }
    d.ok = true;
    return d;
}

// The gammas the reader asks libpng for, in libpng's fixed point (1e5 = 1.0):
// the file's (or 0.45) and the display's 2.2; an sRGB file keeps its own
// 0.45455 and the display takes the inverse of it.
struct Gammas {
    double file, screen;
};
const Gammas kNoChunk = {45000, 220000}, kSrgb = {45455, 219998}, kLinear = {100000, 220000};

// libpng corrects only when the two together differ from 1 by more than 5 %.
inline bool Significant(const Gammas& g) {
    double product = std::floor(g.file * g.screen * 1e-5 + 0.5);
    return product < 95000 || product > 105000;
}

inline uint32_t Table8(uint32_t v, double exponent) {
    if (v == 0 || v == 255) return v;
    return uint32_t(std::floor(255 * std::pow(v / 255.0, exponent) + 0.5));
}

// Alpha is composited in linear light: samples go to linear with 1/file, are
// put onto white and come back with 1/screen; opaque samples take the whole
// correction at once. Eight-bit tables round at every step.
inline uint32_t OnWhite8(uint32_t v, uint32_t a, const Gammas& g) {
    const double whole = std::floor(1e15 / g.file / g.screen + 0.5) * 1e-5;
    const double toLinear = std::floor(1e10 / g.file + 0.5) * 1e-5;
    const double fromLinear = std::floor(1e10 / g.screen + 0.5) * 1e-5;
    if (a == 255) return Table8(v, whole);
    if (a == 0) return 255;
    uint32_t linear = Table8(v, toLinear);
    return Table8((linear * a + 255 * (255 - a) + 127) / 255, fromLinear);
}

// Sixteen-bit samples index libpng's tables by their top 11 bits, so the
// 8-bit result lies within what the ends of each step give.
inline void OnWhite16(uint32_t v, uint32_t a, const Gammas& g, int* low, int* high) {
    auto ideal = [&](double sample, double shift) {
        double an = a / 65535.0;
        if (a == 65535) return std::pow(sample, 1e10 / g.file / g.screen);
        double c = std::pow(sample, 1e5 / g.file) * an + (1 - an) + shift;
        return std::pow(std::min(1.0, std::max(0.0, c)), 1e5 / g.screen);
    };
    const double step = 32 / 65535.0;
    double lo = ideal((v & ~31u) / 65535.0, -step), hi = ideal((v | 31u) / 65535.0, step);
    if (a == 0) lo = hi = 1;
    *low = int(std::floor(255 * lo)) - 1;
    *high = int(std::ceil(255 * hi)) + 1;
}

// A sample of a file without alpha (8 or 16 bits) as the reader shows it.
inline void Shown(uint32_t v, int depth, const Gammas& g, int* low, int* high) {
    if (!Significant(g)) {
        *low = *high = int(depth == 16 ? v >> 8 : v);
    } else if (depth == 8) {
        *low = *high = int(Table8(v, std::floor(1e15 / g.file / g.screen + 0.5) * 1e-5));
    } else {
        OnWhite16(v, 65535, g, low, high);
    }
}

} // namespace png
