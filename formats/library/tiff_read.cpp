// The TIFF reader. libtiff decodes; the reader chooses the route, builds the
// record and its colour table, converts the samples into the record's byte
// order and turns the picture upright. Every size taken from the directory
// is checked in 64 bits before anything is allocated, every sample is read
// from inside the library's buffer and written inside the record, and data
// that ends early leaves the rest of the picture zero.
#include "formats/library/tiff_format.h"

#include "core/image.h"
#include "core/text.h"

#include <tiffio.h>

#include <cstring>

namespace {
// The directory fields the reader works from.
struct TiffFields {
    uint32_t width, height;
    uint16_t photometric, compression, bits, samples, orientation, planar;
    bool tiled;
    uint32_t tileWidth, tileLength;
};

// How the samples of one file row become record pixels.
enum SampleRule {
    RULE_FIRST_SAMPLE, // 1-, 4-, 8- and 16-bit records: the first sample of each pixel
    RULE_RGB,          // red, green, blue (and a fourth sample) become blue, green, red
    RULE_CMYK,         // C, M, Y, K become blue, green, red
};

struct Decode {
    const TiffFields* f;
    SampleRule rule;
    int recordBits;
    bool separate;      // one plane per sample
    BYTE* pixels;       // record rows, bottom row first
    uint64_t stride;    // of the record
    uint64_t planeRows; // sample planes read
};

void ReadFields(TIFF* tif, TiffFields* f) {
    *f = TiffFields{};
    f->photometric = 1;
    f->compression = 1;
    f->bits = 1;
    f->samples = 1;
    f->orientation = 1;
    f->planar = 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_IMAGEWIDTH, &f->width);
    TIFFGetFieldDefaulted(tif, TIFFTAG_IMAGELENGTH, &f->height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &f->photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &f->compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &f->bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &f->samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &f->orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &f->planar);
    f->tiled = TIFFIsTiled(tif) != 0;
    if (f->tiled) {
        TIFFGetFieldDefaulted(tif, TIFFTAG_TILEWIDTH, &f->tileWidth);
        TIFFGetFieldDefaulted(tif, TIFFTAG_TILELENGTH, &f->tileLength);
    }
}

// The File information text, complete before any pixel is read.
void WriteText(TIFF* tif, TiffFields* f, char* text) {
    InfoSet(text,
            "file type: TIFF \nwidth: %ld \nheight: %ld \nphotometric interpretation: \n     ",
            long(f->width), long(f->height));
    InfoAppend(text, "%s", TiffPhotometricName(f->photometric));
    InfoAppend(text, " \ncompression: \n     %s", TiffCompressionName(f->compression));
    InfoAppend(text, " \nbits per sample: %d", f->bits);
    InfoAppend(text, " \nsamples per pixel: %d", f->samples);
    InfoAppend(text, " \norientation: %d", f->orientation);
    if (f->compression == COMPRESSION_LZW || f->compression == COMPRESSION_DEFLATE) {
        uint16_t predictor = 1;
        TIFFGetFieldDefaulted(tif, TIFFTAG_PREDICTOR, &predictor);
        InfoAppend(text, " \ndifferencing predictor: %d", predictor);
    }
    InfoAppend(text, " \nplanar configuration: %d", f->planar);
    if (f->tiled) {
        InfoAppend(text, " \ntile width: %ld \ntile height: %ld", long(f->tileWidth),
                   long(f->tileLength));
        return;
    }
    uint32_t rows = uint32_t(-1);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows);
    // No RowsPerStrip (the library's 2^32 - 1), or 0: the whole picture is one strip.
    if (int32_t(rows) <= 0 && f->height > 0) {
        rows = f->height;
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
    }
    const uint64_t strips = rows ? (uint64_t(f->height) + rows - 1) / rows : 0;
    InfoAppend(text, " \nrows per strip: %ld \nnumber of strips: %ld", long(rows), long(strips));
}

void FillColorTable(TIFF* tif, const TiffFields* f, int colors, BYTE* table) {
    if (colors == 0) return;
    if (f->photometric == PHOTOMETRIC_PALETTE) {
        uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        // The library holds 2^bits entries; the record takes as many.
        if (f->bits <= 8 && TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) && red &&
            green && blue)
            TiffScaleColorMap(red, green, blue, colors < (1 << f->bits) ? colors : 1 << f->bits,
                              table);
        return;
    }
    const bool minIsBlack = f->photometric == PHOTOMETRIC_MINISBLACK;
    for (int i = 0; i < colors; i++, table += 4) {
        int v = 0;
        if (colors == 2)
            v = (i == 0) == minIsBlack ? 0 : 255;
        else if (colors == 16)
            v = minIsBlack ? 16 * i + 8 : 248 - 16 * i;
        else
            v = minIsBlack ? i : 255 - i;
        table[0] = table[1] = table[2] = BYTE(v);
    }
}

inline unsigned SampleAt(const BYTE* row, int bits, uint64_t index) {
    switch (bits) {
    case 1:
        return (row[index / 8] >> (7 - index % 8)) & 1;
    case 4:
        return (index & 1) ? row[index / 2] & 0x0F : row[index / 2] >> 4;
    case 8:
        return row[index];
    default: {
        uint16_t v;
        std::memcpy(&v, row + 2 * index, 2); // the library's samples are in host order
        return v;
    }
    }
}

inline void PutPixel(BYTE* row, int bits, uint64_t x, unsigned v) {
    switch (bits) {
    case 1:
        if (v)
            row[x / 8] |= BYTE(0x80 >> (x % 8));
        else
            row[x / 8] &= BYTE(~(0x80 >> (x % 8)));
        break;
    case 4:
        row[x / 2] = (x & 1) ? BYTE((row[x / 2] & 0xF0) | v) : BYTE((row[x / 2] & 0x0F) | v << 4);
        break;
    case 8:
        row[x] = BYTE(v);
        break;
    default:
        row[2 * x] = BYTE(v);
        row[2 * x + 1] = BYTE(v >> 8);
        break;
    }
}

// Bytes one file row of n pixels takes in the library's buffer.
uint64_t SourceBytes(const Decode* d, uint64_t n) {
    const uint64_t perPixel = d->separate ? 1 : d->f->samples;
    return (n * perPixel * d->f->bits + 7) / 8;
}

// Puts n pixels of file row y, plane p, starting at column x0, from src.
void PutRow(const Decode* d, uint32_t y, int p, uint64_t x0, uint64_t n, const BYTE* src) {
    BYTE* row = d->pixels + d->stride * (uint64_t(d->f->height) - 1 - y);
    const uint64_t s = d->f->samples;
    switch (d->rule) {
    case RULE_FIRST_SAMPLE: {
        const uint64_t step = d->separate ? 1 : s;
        const int bits = d->f->bits;
        if (step == 1 && bits == d->recordBits && bits <= 8 && (x0 * uint64_t(bits)) % 8 == 0) {
            // The samples are packed as the record packs them: whole bytes
            // are copied, and only the pixels of a last partial byte one by
            // one (the row's padding bits stay as they are).
            const uint64_t whole = n * uint64_t(bits) / 8;
            std::memcpy(row + x0 * uint64_t(bits) / 8, src, size_t(whole));
            for (uint64_t i = whole * 8 / uint64_t(bits); i < n; i++)
                PutPixel(row, bits, x0 + i, SampleAt(src, bits, i));
        } else if (d->recordBits == 8 && bits == 8) {
            for (uint64_t i = 0; i < n; i++) row[x0 + i] = src[i * step];
        } else {
            for (uint64_t i = 0; i < n; i++)
                PutPixel(row, d->recordBits, x0 + i, SampleAt(src, d->f->bits, i * step));
        }
        break;
    }
    case RULE_RGB: {
        const uint64_t out = d->recordBits / 8;
        BYTE* o = row + out * x0;
        if (d->separate) {
            static const int kOffset[4] = {2, 1, 0, 3};
            o += kOffset[p];
            for (const BYTE* end = src + n; src != end; src++, o += out) *o = *src;
        } else if (out == 4) {
            for (uint64_t i = 0; i < n; i++, o += 4, src += 4) {
                o[0] = src[2];
                o[1] = src[1];
                o[2] = src[0];
                o[3] = src[3];
            }
        } else {
            for (uint64_t i = 0; i < n; i++, o += 3, src += s) {
                o[0] = src[2];
                o[1] = src[1];
                o[2] = src[0];
            }
        }
        break;
    }
    case RULE_CMYK: {
        BYTE* o = row + 3 * x0;
        if (!d->separate) {
            for (uint64_t i = 0; i < n; i++, o += 3, src += s) {
                const unsigned k = 255u - src[3];
                o[0] = BYTE((255u - src[2]) * k / 255);
                o[1] = BYTE((255u - src[1]) * k / 255);
                o[2] = BYTE((255u - src[0]) * k / 255);
            }
        } else if (p < 3) {
            for (uint64_t i = 0; i < n; i++) o[i * 3 + 2 - p] = BYTE(255 - src[i]);
        } else {
            for (uint64_t i = 0; i < n; i++, o += 3) {
                const unsigned k = 255u - src[i];
                o[0] = BYTE(k * o[0] / 255);
                o[1] = BYTE(k * o[1] / 255);
                o[2] = BYTE(k * o[2] / 255);
            }
        }
        break;
    }
    }
}

enum Outcome {
    READ_DONE,      // every row or tile the file holds is in the record
    READ_NO_BUFFER, // the row or tile buffer could not be had
    READ_REFUSED,   // the library's row or tile is smaller than the layout needs
    READ_NOTHING,   // not one row or tile could be decoded
};

Outcome ReadStrips(TIFF* tif, const Decode* d) {
    const uint64_t lineBytes = uint64_t(TIFFScanlineSize64(tif));
    const uint64_t need = SourceBytes(d, d->f->width);
    if (lineBytes < need || lineBytes > PictureByteLimit()) return READ_REFUSED;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(lineBytes));
    if (!block) return READ_NO_BUFFER;
    BYTE* line = static_cast<BYTE*>(GlobalLock(block));
    bool decoded = false;
    for (uint64_t p = 0; p < d->planeRows; p++) {
        for (uint32_t y = 0; y < d->f->height; y++) {
            // A row the library cannot decode stays zero, not the previous row.
            std::memset(line, 0, size_t(lineBytes));
            if (TIFFReadScanline(tif, line, y, uint16_t(p)) >= 0) decoded = true;
            PutRow(d, y, int(p), 0, d->f->width, line);
        }
    }
    GlobalUnlock(block);
    GlobalFree(block);
    return decoded ? READ_DONE : READ_NOTHING;
}

Outcome ReadTiles(TIFF* tif, const Decode* d) {
    const TiffFields* f = d->f;
    if (f->tileWidth == 0 || f->tileLength == 0) return READ_REFUSED;
    const uint64_t tileBytes = uint64_t(TIFFTileSize64(tif));
    const uint64_t tileRowBytes = uint64_t(TIFFTileRowSize64(tif));
    if (tileRowBytes < SourceBytes(d, f->tileWidth) || tileBytes > PictureByteLimit() ||
        tileBytes / f->tileLength < tileRowBytes)
        return READ_REFUSED;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(tileBytes));
    if (!block) return READ_NO_BUFFER;
    BYTE* tile = static_cast<BYTE*>(GlobalLock(block));
    bool decoded = false;
    for (uint64_t p = 0; p < d->planeRows; p++) {
        for (uint64_t ty = 0; ty < f->height; ty += f->tileLength) {
            for (uint64_t tx = 0; tx < f->width; tx += f->tileWidth) {
                std::memset(tile, 0, size_t(tileBytes));
                const uint32_t number =
                    TIFFComputeTile(tif, uint32_t(tx), uint32_t(ty), 0, uint16_t(p));
                if (TIFFReadEncodedTile(tif, number, tile, tmsize_t(tileBytes)) >= 0)
                    decoded = true;
                const uint64_t n = f->width - tx < f->tileWidth ? f->width - tx : f->tileWidth;
                for (uint64_t j = 0; j < f->tileLength && ty + j < f->height; j++)
                    PutRow(d, uint32_t(ty + j), int(p), tx, n, tile + j * tileRowBytes);
            }
        }
    }
    GlobalUnlock(block);
    GlobalFree(block);
    return decoded ? READ_DONE : READ_NOTHING;
}

// True when the library's RGBA image reader can decode the file.
bool RgbaReadable(TIFF* tif) {
    char message[1024];
    if (!TIFFRGBAImageOK(tif, message)) return false;
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, tif, 0, message)) return false;
    TIFFRGBAImageEnd(&img);
    return true;
}

// The RGBA image reader fills the pixel area with width x height pixels of
// red, green, blue, alpha, bottom row first. The rows are taken as stored,
// whatever the file's orientation: the reader turns the picture upright
// itself, by the same rule for both routes. Each row is then packed in place
// into the record's row (never longer than the library's).
Outcome ReadRgba(TIFF* tif, const TiffFields* f, BYTE* pixels, int recordBits, int colors) {
    char message[1024];
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, tif, 0, message)) return READ_NOTHING;
    img.req_orientation = ORIENTATION_BOTLEFT;
    img.orientation = ORIENTATION_TOPLEFT;
    const int whole =
        TIFFRGBAImageGet(&img, reinterpret_cast<uint32_t*>(pixels), f->width, f->height);
    TIFFRGBAImageEnd(&img);

    const uint64_t width = f->width;
    if (!whole) {
        // The library gives every pixel it decodes an alpha value; none at
        // all means nothing was decoded.
        bool any = false;
        const uint64_t count = width * f->height;
        for (uint64_t i = 0; i < count && !any; i++) any = pixels[4 * i + 3] != 0;
        if (!any) return READ_NOTHING;
    }
    const uint64_t stride = ImageStride(width, recordBits);
    const uint64_t rowBytes = width * uint64_t(recordBits) / 8;
    const bool minIsWhite = f->photometric == PHOTOMETRIC_MINISWHITE;
    for (uint64_t r = 0; r < f->height; r++) {
        const BYTE* in = pixels + 4 * width * r;
        BYTE* out = pixels + stride * r;
        for (uint64_t x = 0; x < width; x++, in += 4) {
            const BYTE red = in[0], green = in[1], blue = in[2], alpha = in[3];
            if (recordBits == 8) {
                const unsigned v = minIsWhite ? 255u - red : red;
                out[x] = BYTE(colors == 2 ? v / 255 : colors == 16 ? v / 16 : v);
            } else {
                BYTE* o = out + x * uint64_t(recordBits / 8);
                o[0] = blue;
                o[1] = green;
                o[2] = red;
                if (recordBits == 32) o[3] = alpha;
            }
        }
        std::memset(out + rowBytes, 0, size_t(stride - rowBytes));
    }
    return READ_DONE;
}

// The direct route's rule for the record's bit count and the file's photometric.
SampleRule RuleFor(const TiffFields* f, int recordBits) {
    if (recordBits == 24 || recordBits == 32)
        return f->photometric == PHOTOMETRIC_SEPARATED ? RULE_CMYK : RULE_RGB;
    return RULE_FIRST_SAMPLE;
}

ReaderResult Fail(TIFF* tif, HWND owner, const char* message) {
    ReportError(owner, message);
    TIFFClose(tif);
    return NoPictureReported();
}
} // namespace

ReaderResult ReadTiff(const char* name, HWND owner, char* text, int displayDepth) {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    // Without strip chopping ("c"), so that the text gives the file's own
    // strips; a single large strip is read through the file's mapping.
    TIFF* tif = TIFFOpen(name, "rc");
    if (!tif) return NoPictureSilent();
    TiffFields f;
    ReadFields(tif, &f);
    WriteText(tif, &f, text);
    if (f.compression == COMPRESSION_JPEG)
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE,
                     f.photometric == PHOTOMETRIC_YCBCR ? JPEGCOLORMODE_RGB : JPEGCOLORMODE_RAW);

    if (f.width == 0 || f.height == 0) return Fail(tif, owner, "Invalid Picture Data");
    // A codec this build lacks would only give a black picture.
    if (!TIFFIsCODECConfigured(f.compression))
        return Fail(tif, owner, "Unsupported TIFF Compression");

    TiffRoute route = TiffRouteFor(f.compression, f.photometric);
    int recordBits = route == TIFF_ROUTE_DIRECT
                         ? TiffDirectBits(f.bits, f.samples, f.photometric, f.compression)
                         : 0;
    // Layouts the direct route cannot show go to the RGBA image reader when
    // it can decode them; anything neither can read is refused.
    if (recordBits == 0) {
        route = TIFF_ROUTE_RGBA;
        if (!RgbaReadable(tif)) return Fail(tif, owner, "Unsupported TIFF Format");
        recordBits = TiffRgbaBits(f.bits, f.samples, f.photometric);
    }
    const int colors = TiffRecordColors(route, recordBits, f.bits, f.samples, f.photometric);

    // The RGBA reader needs 4 bytes a pixel before the rows are packed.
    const int allocBits = route == TIFF_ROUTE_RGBA ? 32 : recordBits;
    if (ImageBlockBytes(f.width, f.height, allocBits, colors) == 0)
        return Fail(tif, owner, "Picture Too Large");
    HGLOBAL image = AllocImageRecord(f.width, f.height, allocBits, colors);
    if (!image) return Fail(tif, owner, "Memory Allocation Error");
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    h->biBitCount = WORD(recordBits);
    FillColorTable(tif, &f, colors, reinterpret_cast<BYTE*>(h) + 40);
    BYTE* pixels = ImagePixels(h);

    Outcome outcome = READ_DONE;
    if (route == TIFF_ROUTE_RGBA) {
        outcome = ReadRgba(tif, &f, pixels, recordBits, colors);
        GlobalUnlock(image);
        TIFFClose(tif);
        const uint64_t bytes = ImageBlockBytes(f.width, f.height, recordBits, colors);
        if (HGLOBAL smaller = GlobalReAlloc(image, SIZE_T(bytes), GMEM_MOVEABLE)) image = smaller;
    } else {
        Decode d = {};
        d.f = &f;
        d.recordBits = recordBits;
        d.rule = RuleFor(&f, recordBits);
        d.separate = f.planar == PLANARCONFIG_SEPARATE && f.samples > 1;
        d.pixels = pixels;
        d.stride = ImageStride(f.width, recordBits);
        // Colour files read a plane per sample (3 or 4); gray and palette
        // files with more samples than one show the first.
        d.planeRows = d.separate && d.rule != RULE_FIRST_SAMPLE ? f.samples : 1;
        outcome = f.tiled ? ReadTiles(tif, &d) : ReadStrips(tif, &d);
        GlobalUnlock(image);
        TIFFClose(tif);
    }
    if (outcome != READ_DONE) {
        // A picture whose pixels could not be read is not shown as black.
        GlobalFree(image);
        ReportError(owner, outcome == READ_NO_BUFFER ? "Memory Allocation Error"
                           : outcome == READ_REFUSED ? "Unsupported TIFF Format"
                                                     : "Invalid Picture Data");
        return NoPictureReported();
    }

    int orientation = TiffOrientationCode(f.orientation);
    // Turning the picture upright tells the user when it runs out of memory.
    if (!RestoreOrientation(&image, &orientation)) return GotPictureReported(image);
    return GotPicture(image);
}
