// Icon, cursor and animated-cursor files built by the tests: entries of any
// bit count with their masks (or PNG files), and RIFF files of chunks.
#pragma once

#include "test_util.h"

#include <cstring>
#include <string>
#include <vector>

struct IconImage {
    int width = 2, height = 2;
    int bits = 24;
    std::vector<uint32_t> colors; // the table (0x00RRGGBB), as many entries as written
    std::vector<uint32_t> pixels; // top row first: indices, 0xAARRGGBB or 5-5-5 values
    std::vector<int> mask;        // top row first, 0 or 1; empty: all 0
    uint32_t headerSize = 40;
    uint32_t clrUsed = 0;
    Bytes png; // when set, the entry is this PNG file
};

// The entry's image data: header, table, colour rows, mask rows.
inline Bytes IconImageData(const IconImage& im) {
    if (!im.png.empty()) return im.png;
    Bytes b;
    Put32(b, im.headerSize);
    Put32(b, uint32_t(im.width));
    Put32(b, uint32_t(2 * im.height));
    Put16(b, 1);
    Put16(b, uint32_t(im.bits));
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, im.clrUsed);
    Put32(b, 0);
    b.resize(im.headerSize, 0);
    for (uint32_t c : im.colors) Put32(b, c);
    const size_t stride = size_t((im.width * im.bits + 31) / 32) * 4;
    const size_t maskStride = size_t((im.width + 31) / 32) * 4;
    for (int y = im.height - 1; y >= 0; y--) {
        Bytes row(stride, 0);
        for (int x = 0; x < im.width; x++) {
            uint32_t v = im.pixels[size_t(y * im.width + x)];
            switch (im.bits) {
            case 1:
                row[size_t(x / 8)] |= uint8_t((v & 1) << (7 - x % 8));
                break;
            case 4:
                row[size_t(x / 2)] |= uint8_t((v & 15) << (x % 2 ? 0 : 4));
                break;
            case 8:
                row[size_t(x)] = uint8_t(v);
                break;
            case 16:
                row[size_t(2 * x)] = uint8_t(v);
                row[size_t(2 * x + 1)] = uint8_t(v >> 8);
                break;
            default:
                for (int k = 0; k < im.bits / 8; k++)
                    row[size_t(x * im.bits / 8 + k)] = uint8_t(v >> (8 * k));
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    for (int y = im.height - 1; y >= 0; y--) {
        Bytes row(maskStride, 0);
        for (int x = 0; x < im.width; x++)
            if (!im.mask.empty() && im.mask[size_t(y * im.width + x)])
                row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

// An icon (type 1) or cursor (type 2) file of the images, in order.
inline Bytes IconFile(const std::vector<IconImage>& images, int type = 1) {
    Bytes b;
    Put16(b, 0);
    Put16(b, uint32_t(type));
    Put16(b, uint32_t(images.size()));
    uint32_t offset = uint32_t(6 + 16 * images.size());
    std::vector<Bytes> data;
    for (const IconImage& im : images) {
        data.push_back(IconImageData(im));
        b.push_back(uint8_t(im.width == 256 ? 0 : im.width));
        b.push_back(uint8_t(im.height == 256 ? 0 : im.height));
        b.push_back(0);
        b.push_back(0);
        Put16(b, 1);
        Put16(b, uint32_t(im.bits));
        Put32(b, uint32_t(data.back().size()));
        Put32(b, offset);
        offset += uint32_t(data.back().size());
    }
    for (const Bytes& d : data) b.insert(b.end(), d.begin(), d.end());
    return b;
}

// The colour of pixel (x, y) of an entry as its table or value gives it.
inline uint32_t IconColor(const IconImage& im, int x, int y) {
    uint32_t v = im.pixels[size_t(y * im.width + x)];
    if (im.bits <= 8) return v < im.colors.size() ? im.colors[v] & 0xFFFFFF : 0;
    if (im.bits == 16) {
        auto widen = [](uint32_t five) { return (five << 3 | five >> 2) & 0xFF; };
        return widen(v >> 10 & 31) << 16 | widen(v >> 5 & 31) << 8 | widen(v & 31);
    }
    return v & 0xFFFFFF;
}

// What the display shows: the colour where the mask is 0, its inverse over
// white where the mask is 1.
inline uint32_t ComposedOverWhite(const IconImage& im, int x, int y) {
    uint32_t c = IconColor(im, x, y);
    bool masked = !im.mask.empty() && im.mask[size_t(y * im.width + x)];
    return masked ? (0xFFFFFF ^ c) : c;
}

// A RIFF chunk: identifier, size, data, and a pad byte after odd data.
inline Bytes Chunk(const char* id, const Bytes& data, bool pad = true) {
    Bytes b(id, id + 4);
    Put32(b, uint32_t(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (pad && data.size() % 2) b.push_back(0);
    return b;
}

inline Bytes ListChunk(const char* type, const Bytes& content) {
    Bytes data(type, type + 4);
    data.insert(data.end(), content.begin(), content.end());
    return Chunk("LIST", data);
}

inline Bytes AnihData(uint32_t icons, uint32_t steps, uint32_t rate = 10) {
    Bytes b;
    for (uint32_t v : {36u, icons, steps, 0u, 0u, 0u, 0u, rate, 1u}) Put32(b, v);
    return b;
}

inline Bytes Words32(const std::vector<uint32_t>& values) {
    Bytes b;
    for (uint32_t v : values) Put32(b, v);
    return b;
}

// "RIFF", the size of the rest, "ACON", then the chunks.
inline Bytes RiffFile(const std::vector<Bytes>& chunks) {
    Bytes body = {'A', 'C', 'O', 'N'};
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b = {'R', 'I', 'F', 'F'};
    Put32(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}
