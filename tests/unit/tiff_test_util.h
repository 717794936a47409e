// TIFF files for the reader's and writer's tests: uncompressed files built
// byte by byte (so that any directory, true or lying, can be made), files
// encoded by libtiff's own writing calls for the compressions, and the tags
// of a written file read back.
#pragma once

#include "test_util.h"

#include <tiffio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tifffile {

const uint16_t kShort = 3, kLong = 4;

struct Entry {
    uint16_t tag;
    uint16_t type; // kShort or kLong
    std::vector<uint32_t> values;
};

// A little-endian classic TIFF of one directory. Strip (or tile) offsets and
// byte counts are added from `chunks` unless the entries already give them.
struct Layout {
    uint32_t width = 1, height = 1;
    uint16_t bits = 8, samples = 1, photometric = 1, compression = 1, planar = 1;
    int orientation = 0;      // 0: no tag
    int64_t rowsPerStrip = 0; // 0: no tag
    uint32_t tileWidth = 0, tileLength = 0;
    std::vector<uint16_t> colormap; // red, then green, then blue
    std::vector<Bytes> chunks;
    std::vector<Entry> extra;
};

inline void Put(Bytes& b, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; i++) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

inline Bytes Build(const Layout& s) {
    std::vector<Entry> e = {
        {256, kLong, {s.width}},
        {257, kLong, {s.height}},
        {258, kShort, std::vector<uint32_t>(s.samples, s.bits)},
        {259, kShort, {s.compression}},
        {262, kShort, {s.photometric}},
        {277, kShort, {s.samples}},
        {284, kShort, {s.planar}},
    };
    if (s.orientation) e.push_back({274, kShort, {uint32_t(s.orientation)}});
    if (s.rowsPerStrip) e.push_back({278, kLong, {uint32_t(s.rowsPerStrip)}});
    if (s.tileWidth) {
        e.push_back({322, kLong, {s.tileWidth}});
        e.push_back({323, kLong, {s.tileLength}});
    }
    if (!s.colormap.empty())
        e.push_back({320, kShort, std::vector<uint32_t>(s.colormap.begin(), s.colormap.end())});
    for (const Entry& x : s.extra) {
        auto same = [&](const Entry& y) { return y.tag == x.tag; };
        e.erase(std::remove_if(e.begin(), e.end(), same), e.end());
        e.push_back(x);
    }
    const uint16_t offsetsTag = s.tileWidth ? 324 : 273, countsTag = s.tileWidth ? 325 : 279;
    const bool given =
        std::any_of(e.begin(), e.end(), [&](const Entry& x) { return x.tag == offsetsTag; });
    if (!given) {
        e.push_back({offsetsTag, kLong, std::vector<uint32_t>(s.chunks.size(), 0)});
        std::vector<uint32_t> counts;
        for (const Bytes& c : s.chunks) counts.push_back(uint32_t(c.size()));
        e.push_back({countsTag, kLong, counts});
    }
    std::sort(e.begin(), e.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });

    // Header, directory, out-of-line values, then the chunks.
    const size_t ifd = 8, ifdBytes = 2 + 12 * e.size() + 4;
    size_t extraAt = ifd + ifdBytes;
    size_t extraBytes = 0;
    for (const Entry& x : e) {
        size_t n = x.values.size() * (x.type == kShort ? 2 : 4);
        if (n > 4) extraBytes += (n + 1) & ~size_t(1);
    }
    size_t dataAt = extraAt + extraBytes;
    std::vector<uint32_t> chunkOffsets;
    for (const Bytes& c : s.chunks) {
        chunkOffsets.push_back(uint32_t(dataAt));
        dataAt += c.size();
    }
    Bytes out(dataAt, 0);
    out[0] = 'I';
    out[1] = 'I';
    Put(out, 2, 42, 2);
    Put(out, 4, uint32_t(ifd), 4);
    Put(out, ifd, uint32_t(e.size()), 2);
    size_t at = ifd + 2;
    for (Entry x : e) {
        if (x.tag == offsetsTag && !given) x.values = chunkOffsets;
        const int size = x.type == kShort ? 2 : 4;
        const size_t n = x.values.size() * size_t(size);
        Put(out, at, x.tag, 2);
        Put(out, at + 2, x.type, 2);
        Put(out, at + 4, uint32_t(x.values.size()), 4);
        size_t valueAt = at + 8;
        if (n > 4) {
            Put(out, at + 8, uint32_t(extraAt), 4);
            valueAt = extraAt;
            extraAt += (n + 1) & ~size_t(1);
        }
        for (size_t i = 0; i < x.values.size(); i++)
            Put(out, valueAt + i * size_t(size), x.values[i], size);
        at += 12;
    }
    size_t chunkAt = ifd + ifdBytes + extraBytes;
    for (const Bytes& c : s.chunks) {
        std::copy(c.begin(), c.end(), out.begin() + long(chunkAt));
        chunkAt += c.size();
    }
    return out;
}

// Rows joined into one strip.
inline Bytes Join(const std::vector<Bytes>& rows) {
    Bytes out;
    for (const Bytes& r : rows) out.insert(out.end(), r.begin(), r.end());
    return out;
}

// A file encoded by libtiff: contiguous rows (each a whole file row) given
// to TIFFWriteScanline, or tiles cut from them, with any compression.
struct Encoded {
    uint32_t width = 1, height = 1;
    uint16_t bits = 8, samples = 1, photometric = 1, compression = 1;
    uint16_t predictor = 0;    // 0: no tag
    uint32_t tileSide = 0;     // 0: strips
    uint32_t rowsPerStrip = 0; // 0: the library's default
    bool jpegRgb = false;      // photometric 6 with JPEG: rows given as RGB
    std::vector<uint16_t> colormap;
};

inline bool Encode(const std::string& path, const Encoded& s, const std::vector<Bytes>& rows) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, s.compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    if (s.predictor) TIFFSetField(tif, TIFFTAG_PREDICTOR, s.predictor);
    if (s.jpegRgb) TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    if (s.photometric == PHOTOMETRIC_YCBCR && s.compression != COMPRESSION_JPEG)
        TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 1, 1);
    if (!s.colormap.empty()) {
        const size_t n = s.colormap.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, s.colormap.data(), s.colormap.data() + n,
                     s.colormap.data() + 2 * n);
    }
    bool ok = true;
    if (s.tileSide) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, s.tileSide);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, s.tileSide);
        const size_t rowBytes = size_t(TIFFTileRowSize(tif));
        Bytes tile(size_t(TIFFTileSize(tif)), 0);
        const size_t pixelBits = size_t(s.bits) * s.samples;
        for (uint32_t ty = 0; ty < s.height; ty += s.tileSide)
            for (uint32_t tx = 0; tx < s.width; tx += s.tileSide) {
                std::fill(tile.begin(), tile.end(), 0);
                for (uint32_t j = 0; j < s.tileSide && ty + j < s.height; j++) {
                    const Bytes& r = rows[ty + j];
                    const size_t from = tx * pixelBits / 8;
                    const size_t n = std::min(rowBytes, r.size() - from);
                    std::copy(r.begin() + long(from), r.begin() + long(from + n),
                              tile.begin() + long(j * rowBytes));
                }
                ok = ok && TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0) >= 0;
            }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                     s.rowsPerStrip ? s.rowsPerStrip : TIFFDefaultStripSize(tif, 0));
        for (uint32_t y = 0; y < s.height; y++) {
            Bytes r = rows[y];
            ok = ok && TIFFWriteScanline(tif, r.data(), y, 0) >= 0;
        }
    }
    TIFFClose(tif);
    return ok;
}

// The tags of a written file, as libtiff reads them.
struct Tags {
    bool opened = false;
    uint32_t width = 0, height = 0, rowsPerStrip = 0, tileWidth = 0, tileLength = 0;
    uint16_t photometric = 0, samples = 0, bits = 0, compression = 0, planar = 0;
    uint16_t orientation = 0, predictor = 0; // 0: not in the file
    bool tiled = false, hasColormap = false, hasExtraSamples = false;
    uint32_t chunks = 0; // strips or tiles
    std::vector<uint16_t> red, green, blue;
};

inline Tags ReadTags(const std::string& path) {
    Tags t;
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return t;
    t.opened = true;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &t.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &t.height);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &t.photometric);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &t.samples);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &t.bits);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &t.compression);
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &t.planar);
    TIFFGetField(tif, TIFFTAG_ORIENTATION, &t.orientation);
    TIFFGetField(tif, TIFFTAG_PREDICTOR, &t.predictor);
    uint16_t count = 0;
    uint16_t* kinds = nullptr;
    t.hasExtraSamples = TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &kinds) && count > 0;
    t.tiled = TIFFIsTiled(tif) != 0;
    if (t.tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &t.tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &t.tileLength);
        t.chunks = TIFFNumberOfTiles(tif);
    } else {
        TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &t.rowsPerStrip);
        t.chunks = TIFFNumberOfStrips(tif);
    }
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b) && t.bits <= 8) {
        t.hasColormap = true;
        const size_t n = size_t(1) << t.bits;
        t.red.assign(r, r + n);
        t.green.assign(g, g + n);
        t.blue.assign(b, b + n);
    }
    TIFFClose(tif);
    return t;
}

// Decoded rows of a file as libtiff gives them (contiguous, scanline by
// scanline, or tile by tile joined into rows), without any conversion.
inline std::vector<Bytes> RawRows(const std::string& path) {
    std::vector<Bytes> rows;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) return rows;
    uint32_t width = 0, height = 0;
    uint16_t bits = 1, samples = 1;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const size_t rowBytes = (size_t(width) * bits * samples + 7) / 8;
    rows.assign(height, Bytes(rowBytes, 0));
    if (TIFFIsTiled(tif)) {
        uint32_t tw = 0, tl = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tl);
        const size_t tileRow = size_t(TIFFTileRowSize(tif));
        Bytes tile(size_t(TIFFTileSize(tif)), 0);
        for (uint32_t ty = 0; ty < height; ty += tl)
            for (uint32_t tx = 0; tx < width; tx += tw) {
                TIFFReadTile(tif, tile.data(), tx, ty, 0, 0);
                const size_t from = size_t(tx) * bits * samples / 8;
                for (uint32_t j = 0; j < tl && ty + j < height; j++) {
                    const size_t n = std::min(tileRow, rowBytes - from);
                    std::copy(tile.begin() + long(j * tileRow),
                              tile.begin() + long(j * tileRow + n),
                              rows[ty + j].begin() + long(from));
                }
            }
    } else {
        Bytes line(size_t(TIFFScanlineSize(tif)), 0);
        for (uint32_t y = 0; y < height; y++) {
            TIFFReadScanline(tif, line.data(), y, 0);
            std::copy(line.begin(), line.begin() + long(rowBytes), rows[y].begin());
        }
    }
    TIFFClose(tif);
    return rows;
}

} // namespace tifffile
