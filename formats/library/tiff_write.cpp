// The TIFF writer. The picture's depth and colour table choose the file's
// photometric interpretation, samples and bits; each source row (from the
// top) is converted into one file row, and the rows go to the library in
// strips or tiles. Every strip, tile and the directory are checked: a refused
// one makes the whole write fail.
#include "formats/library/tiff_format.h"

#include "core/image.h"
#include "core/pixels.h"

#include <tiffio.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
// How one source row becomes one file row.
enum RowForm {
    ROW_COPY,  // the source bytes unchanged
    ROW_BGR,   // 24 bits: blue, green, red to red, green, blue
    ROW_BGRA,  // 32 bits: blue, green, red, fourth to red, green, blue, fourth
    ROW_JPEG,  // any depth to red, green, blue
    ROW_WIDEN, // 1 bit, not black and white: one 4-bit palette index per pixel
    ROW_GRAY8, // 8 bits, gray table: the entry's value
    ROW_GRAY4, // 4 bits, gray ramp: the top four bits of the entry's value
};

struct Form {
    uint16_t photometric, samples, bits;
    RowForm row;
    int mapEntries; // colour map written when photometric is 3
};

struct Source {
    const BITMAPINFOHEADER* h;
    int bits, n;            // bit count, colour count (0 above 8 bits)
    const BYTE* top;        // the top row (the last stored one)
    uint64_t stride;        // of the record
    uint64_t width, height; // of the picture
    BYTE gray[256];         // each entry's red value
};

// The table tests, on the first n entries.
Form ChooseForm(const Source* s, int compression) {
    if (compression == COMPRESSION_JPEG) return {PHOTOMETRIC_YCBCR, 3, 8, ROW_JPEG, 0};
    if (s->bits == 16) return {PHOTOMETRIC_RGB, 1, 16, ROW_COPY, 0};
    if (s->bits == 24) return {PHOTOMETRIC_RGB, 3, 8, ROW_BGR, 0};
    if (s->bits == 32) return {PHOTOMETRIC_RGB, 4, 8, ROW_BGRA, 0};
    bool grayTable = s->n != 0;
    for (int i = 0; i < s->n; i++) {
        const RGBQUAD c = ImageColorAt(s->h, unsigned(i));
        if (c.rgbRed != c.rgbGreen || c.rgbRed != c.rgbBlue) grayTable = false;
    }
    const BYTE* r = s->gray;
    if (s->bits == 1) {
        if (grayTable && s->n >= 2 && r[0] == 0 && r[1] == 255)
            return {PHOTOMETRIC_MINISBLACK, 1, 1, ROW_COPY, 0};
        if (grayTable && s->n >= 2 && r[0] == 255 && r[1] == 0)
            return {PHOTOMETRIC_MINISWHITE, 1, 1, ROW_COPY, 0};
        return {PHOTOMETRIC_PALETTE, 1, 4, ROW_WIDEN, 16};
    }
    if (s->bits == 4) {
        bool ramp = grayTable && s->n >= 4 && std::abs(r[1] - r[0]) == 64 &&
                    std::abs(r[2] - r[1]) == 64 && std::abs(r[3] - r[2]) == 64;
        if (grayTable && !ramp && s->n == 16) {
            ramp = true;
            for (int i = 1; i < 16; i++)
                if (std::abs(r[i] - r[i - 1]) != 16) ramp = false;
        }
        if (ramp) return {PHOTOMETRIC_MINISBLACK, 1, 4, ROW_GRAY4, 0};
        return {PHOTOMETRIC_PALETTE, 1, 4, ROW_COPY, 16};
    }
    if (grayTable) return {PHOTOMETRIC_MINISBLACK, 1, 8, ROW_GRAY8, 0};
    return {PHOTOMETRIC_PALETTE, 1, 8, ROW_COPY, 256};
}

// Bytes of one file row.
uint64_t FileRowBytes(const Source* s, const Form& form) {
    return (s->width * form.samples * form.bits + 7) / 8;
}

// Converts source row y (counted from the top) into out (FileRowBytes long,
// zeroed by the caller where packed pixels are or-ed in).
void ConvertRow(const Source* s, const Form& form, uint64_t y, BYTE* out, uint64_t outBytes) {
    const BYTE* in = s->top - s->stride * y;
    const uint64_t w = s->width;
    switch (form.row) {
    case ROW_COPY:
        std::memcpy(out, in, size_t(outBytes));
        break;
    case ROW_BGR:
        for (uint64_t x = 0; x < w; x++, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
        break;
    case ROW_BGRA:
        for (uint64_t x = 0; x < w; x++, in += 4, out += 4) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = in[3];
        }
        break;
    case ROW_JPEG:
        for (uint64_t x = 0; x < w; x++, out += 3) {
            if (s->bits == 24 || s->bits == 32) {
                const BYTE* p = in + x * uint64_t(s->bits / 8);
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
            } else if (s->bits == 16) {
                const unsigned word = in[2 * x] | in[2 * x + 1] << 8;
                out[0] = BYTE(((word >> 10) & 31) * 8);
                out[1] = BYTE(((word >> 5) & 31) * 8);
                out[2] = BYTE((word & 31) * 8);
            } else {
                const RGBQUAD c = ImageColorAt(s->h, PixelIndex(in, s->bits, x));
                out[0] = c.rgbRed;
                out[1] = c.rgbGreen;
                out[2] = c.rgbBlue;
            }
        }
        break;
    case ROW_WIDEN:
        std::memset(out, 0, size_t(outBytes));
        for (uint64_t x = 0; x < w; x++)
            if (PixelIndex(in, 1, x)) out[x / 2] |= BYTE((x & 1) ? 1 : 0x10);
        break;
    case ROW_GRAY8:
        for (uint64_t x = 0; x < w; x++) out[x] = s->gray[in[x]];
        break;
    case ROW_GRAY4:
        std::memset(out, 0, size_t(outBytes));
        for (uint64_t x = 0; x < w; x++) {
            const unsigned v = s->gray[PixelIndex(in, 4, x)] >> 4;
            out[x / 2] |= BYTE((x & 1) ? v : v << 4);
        }
        break;
    }
}

bool SetTags(TIFF* tif, const Source* s, const Form& form, int compression,
             std::vector<uint16_t>* map) {
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(s->width)) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(s->height)) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(compression)) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, form.photometric) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, form.samples) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, form.bits);
    if (ok && compression == COMPRESSION_JPEG)
        ok = TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB) &&
             TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 85);
    if (ok && (compression == COMPRESSION_LZW || compression == COMPRESSION_DEFLATE) && s->bits > 8)
        ok = TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (ok && form.photometric == PHOTOMETRIC_PALETTE) {
        const size_t entries = size_t(form.mapEntries);
        map->assign(3 * entries, 0);
        for (int i = 0; i < s->n && size_t(i) < entries; i++) {
            const RGBQUAD c = ImageColorAt(s->h, unsigned(i));
            (*map)[size_t(i)] = uint16_t(c.rgbRed * 257);
            (*map)[entries + size_t(i)] = uint16_t(c.rgbGreen * 257);
            (*map)[2 * entries + size_t(i)] = uint16_t(c.rgbBlue * 257);
        }
        ok = TIFFSetField(tif, TIFFTAG_COLORMAP, map->data(), map->data() + entries,
                          map->data() + 2 * entries);
    }
    return ok && TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
}

bool WriteStrips(TIFF* tif, const Source* s, const Form& form) {
    uint32_t rows = TIFFDefaultStripSize(tif, uint32_t(-1));
    if (!TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows)) return false;
    if (rows > s->height) {
        rows = TIFFDefaultStripSize(tif, uint32_t(s->height));
        if (!TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows)) return false;
    }
    if (rows == 0) return false;
    const uint64_t stripBytes = uint64_t(TIFFStripSize64(tif));
    const uint64_t lineBytes = stripBytes / rows;
    const uint64_t rowBytes = FileRowBytes(s, form);
    if (lineBytes < rowBytes || stripBytes > PictureByteLimit()) return false;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(stripBytes));
    if (!block) return false;
    BYTE* strip = static_cast<BYTE*>(GlobalLock(block));
    bool ok = true;
    const uint64_t strips = (s->height + rows - 1) / rows;
    for (uint64_t k = 0; ok && k < strips; k++) {
        const uint64_t first = k * rows;
        const uint64_t count = s->height - first < rows ? s->height - first : rows;
        for (uint64_t j = 0; j < count; j++)
            ConvertRow(s, form, first + j, strip + j * lineBytes, rowBytes);
        ok = TIFFWriteEncodedStrip(tif, uint32_t(k), strip, tmsize_t(count * lineBytes)) >= 0;
    }
    GlobalUnlock(block);
    GlobalFree(block);
    return ok;
}

// JPEG codes whole 8 x 8 blocks, and colour at half resolution: black past
// the picture's edge would bleed into its last pixels. The edge pixels are
// repeated instead (the part of a tile outside the picture is never shown).
void PadJpegTile(BYTE* tile, uint64_t tileRowBytes, uint64_t take, uint64_t rows,
                 uint64_t tileLength) {
    for (uint64_t j = 0; j < rows; j++) {
        BYTE* row = tile + j * tileRowBytes;
        for (uint64_t at = take; at + 3 <= tileRowBytes; at += 3)
            std::memcpy(row + at, row + take - 3, 3);
    }
    for (uint64_t j = rows; j < tileLength; j++)
        std::memcpy(tile + j * tileRowBytes, tile + (rows - 1) * tileRowBytes,
                    size_t(tileRowBytes));
}

bool WriteTiles(TIFF* tif, const Source* s, const Form& form) {
    uint32_t tileWidth = uint32_t(-1), tileLength = uint32_t(-1);
    TIFFDefaultTileSize(tif, &tileWidth, &tileLength);
    tileWidth = uint32_t(TiffAdjustTileSize(int(tileWidth), int(s->width)));
    tileLength = uint32_t(TiffAdjustTileSize(int(tileLength), int(s->height)));
    if (!TIFFSetField(tif, TIFFTAG_TILEWIDTH, tileWidth) ||
        !TIFFSetField(tif, TIFFTAG_TILELENGTH, tileLength) ||
        !TIFFSetField(tif, TIFFTAG_TILEDEPTH, 1))
        return false;
    const uint64_t tileBytes = uint64_t(TIFFTileSize64(tif));
    const uint64_t tileRowBytes = uint64_t(TIFFTileRowSize64(tif));
    const uint64_t rowBytes = FileRowBytes(s, form);
    if (tileRowBytes == 0 || tileBytes / tileLength < tileRowBytes ||
        tileBytes > PictureByteLimit())
        return false;
    // One band of converted rows, as tall as a tile, serves every tile across.
    const uint64_t bandBytes = rowBytes * tileLength;
    if (bandBytes > PictureByteLimit()) return false;
    HGLOBAL tileBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(tileBytes));
    HGLOBAL bandBlock =
        tileBlock ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(bandBytes)) : nullptr;
    bool ok = bandBlock != nullptr;
    if (ok) {
        BYTE* tile = static_cast<BYTE*>(GlobalLock(tileBlock));
        BYTE* band = static_cast<BYTE*>(GlobalLock(bandBlock));
        uint32_t number = 0;
        for (uint64_t ty = 0; ok && ty < s->height; ty += tileLength) {
            const uint64_t rows = s->height - ty < tileLength ? s->height - ty : tileLength;
            for (uint64_t j = 0; j < rows; j++)
                ConvertRow(s, form, ty + j, band + j * rowBytes, rowBytes);
            for (uint64_t offset = 0; ok && offset < rowBytes; offset += tileRowBytes) {
                // Pixels past the width and rows past the height stay zero.
                const uint64_t take =
                    rowBytes - offset < tileRowBytes ? rowBytes - offset : tileRowBytes;
                for (uint64_t j = 0; j < rows; j++)
                    std::memcpy(tile + j * tileRowBytes, band + j * rowBytes + offset,
                                size_t(take));
                if (form.row == ROW_JPEG) PadJpegTile(tile, tileRowBytes, take, rows, tileLength);
                ok = TIFFWriteEncodedTile(tif, number++, tile, tmsize_t(tileBytes)) >= 0;
                std::memset(tile, 0, size_t(tileBytes));
            }
        }
        GlobalUnlock(bandBlock);
        GlobalUnlock(tileBlock);
    }
    if (bandBlock) GlobalFree(bandBlock);
    if (tileBlock) GlobalFree(tileBlock);
    return ok;
}
} // namespace

WriteResult WriteTiff(const char* path, int compression, int tiles, HGLOBAL image) {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    // Only whole records of the supported bit counts are written: every size
    // below follows from that.
    if (!IsValidImageRecord(image)) return WRITE_FAILED;
    Source s = {};
    s.h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(image));
    s.bits = s.h->biBitCount;
    // True-colour pictures are written as true colour, whatever colours-used says.
    s.n = s.bits <= 8 ? ImageColorCount(s.h) : 0;
    s.width = uint64_t(s.h->biWidth);
    s.height = uint64_t(s.h->biHeight);
    s.stride = ImageStride(s.h->biWidth, s.bits);
    s.top = ImagePixels(const_cast<BITMAPINFOHEADER*>(s.h)) + s.stride * (s.height - 1);
    for (int i = 0; i < 256; i++) s.gray[i] = ImageColorAt(s.h, unsigned(i)).rgbRed;
    const Form form = ChooseForm(&s, compression);
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));

    bool ok = false;
    TIFF* tif = TIFFOpen(path, "w");
    if (!tif) {
        TIFFError(path, "Can not open output image");
    } else {
        std::vector<uint16_t> map;
        ok = SetTags(tif, &s, form, compression, &map) &&
             (tiles ? WriteTiles(tif, &s, form) : WriteStrips(tif, &s, form));
        // The directory is written here; a full disk shows up now or never.
        if (!TIFFFlush(tif)) ok = false;
        TIFFClose(tif);
    }
    GlobalUnlock(image);
    SetCursor(previous);
    return ok ? WRITE_OK : WRITE_FAILED;
}
