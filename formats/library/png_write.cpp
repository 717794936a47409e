// The PNG writer. The colour table decides the file's form: black and white,
// four- and sixteen-level ramps and other gray tables give gray files, other
// tables palette files (of 2 bits for 3 or 4 colours); pictures without a
// table give RGB, or RGB with alpha from the fourth byte of 32-bit pixels
// (opaque when that byte is 0 throughout).
#include "formats/library/png_format.h"

#include "core/image.h"
#include "core/pixels.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// What a jump back from the library must find to release: kept outside the
// function that arms setjmp, so that no local is left indeterminate by it.
struct PngWriteJob {
    BITMAPINFOHEADER* header; // locked by the caller
    FILE* file;
    int interlace;
    int depth;     // of the file
    int type;      // PNG colour type
    int colors;    // entries of the file's palette
    BYTE red[256]; // the red byte of each index, 0 past the table
    BYTE* row;     // converted rows, when the source rows cannot go as they are
    uint64_t rowBytes;
    png_structp png;
    png_infop info;
    png_colorp palette;
    bool opaque; // 32 bits with every fourth byte 0: no alpha, only padding
};

// The colour type and depth of the file, from the picture's bit count, colour
// count and table.
void ChooseForm(PngWriteJob* job) {
    const BITMAPINFOHEADER* h = job->header;
    const int bits = h->biBitCount;
    const int n = bits <= 8 ? ImageColorCount(h) : 0;
    // A pixel may name an entry past the table (a GIF's pixels may): it shows
    // black, so the palette gets black entries up to it, and two bits are
    // only used when every index fits them.
    unsigned highest = 0;
    if (bits <= 8) {
        const uint64_t stride = ImageStride(h->biWidth, bits);
        const BYTE* pixels = ImagePixels(const_cast<BITMAPINFOHEADER*>(h));
        for (int64_t y = 0; y < h->biHeight; y++)
            for (int64_t x = 0; x < h->biWidth; x++) {
                const unsigned i = PixelIndex(pixels + stride * uint64_t(y), bits, uint64_t(x));
                if (i > highest) highest = i;
            }
    }
    job->colors = n != 0 && int(highest) >= n ? int(highest) + 1 : n;
    job->depth = bits <= 8 ? bits : 8;
    if ((n == 3 || n == 4) && highest < 4) job->depth = 2;

    bool grayTable = n != 0;
    for (int i = 0; i < 256; i++) {
        RGBQUAD c = ImageColorAt(h, unsigned(i));
        job->red[i] = c.rgbRed;
        if (i < n && (c.rgbRed != c.rgbGreen || c.rgbRed != c.rgbBlue)) grayTable = false;
    }
    const BYTE* r = job->red;
    const bool blackAndWhite =
        bits == 1 && grayTable && ((r[0] == 0 && r[1] == 255) || (r[0] == 255 && r[1] == 0));
    // Two bits hold the picture only when no pixel uses a later entry.
    const bool fourLevels = bits == 4 && grayTable && n >= 4 && highest < 4 &&
                            std::abs(r[0] - r[1]) == 64 && std::abs(r[1] - r[2]) == 64 &&
                            std::abs(r[2] - r[3]) == 64;
    if (fourLevels) job->depth = 2;
    bool sixteenLevels = bits == 4 && grayTable && n == 16 && !fourLevels;
    for (int i = 1; sixteenLevels && i < 16; i++)
        if (std::abs(r[i] - r[i - 1]) != 16) sixteenLevels = false;

    if ((job->depth == 1 && blackAndWhite) || (job->depth == 2 && fourLevels) ||
        (job->depth == 4 && sixteenLevels) || (job->depth == 8 && grayTable))
        job->type = PNG_COLOR_TYPE_GRAY;
    else if (n != 0)
        job->type = PNG_COLOR_TYPE_PALETTE;
    else
        job->type = bits == 32 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;

    // Most 32-bit bitmaps leave the fourth byte 0; taken as alpha it would
    // make the whole picture invisible. Such pictures are written opaque.
    if (job->type == PNG_COLOR_TYPE_RGB_ALPHA) {
        const uint64_t stride = ImageStride(h->biWidth, 32);
        const BYTE* pixels = ImagePixels(const_cast<BITMAPINFOHEADER*>(h));
        job->opaque = true;
        for (int64_t y = 0; job->opaque && y < h->biHeight; y++)
            for (int64_t x = 0; x < h->biWidth; x++)
                if (pixels[stride * uint64_t(y) + 4 * uint64_t(x) + 3] != 0) {
                    job->opaque = false;
                    break;
                }
    }
}

// The row handed to the library for one source row: the source itself, or
// the conversion into job->row.
png_bytep RowFor(const PngWriteJob* job, const BYTE* source) {
    const int bits = job->header->biBitCount;
    const uint64_t width = uint64_t(job->header->biWidth);
    BYTE* out = job->row;
    if (job->depth == 2 || job->type == PNG_COLOR_TYPE_GRAY) {
        std::memset(out, 0, size_t(job->rowBytes));
        const bool gray = job->type == PNG_COLOR_TYPE_GRAY;
        for (uint64_t x = 0; x < width; x++) {
            const unsigned i = PixelIndex(source, bits, x);
            if (job->depth == 2) {
                unsigned v = gray ? job->red[i & 3] >> 6 : i & 3;
                out[x / 4] |= BYTE(v << (6 - 2 * (x % 4)));
            } else if (job->depth == 1) {
                if (job->red[i]) out[x / 8] |= BYTE(0x80 >> (x % 8));
            } else if (job->depth == 4) {
                unsigned v = job->red[i] >> 4;
                out[x / 2] |= BYTE((x & 1) ? v : v << 4);
            } else {
                out[x] = job->red[i];
            }
        }
        return out;
    }
    if (bits == 16) {
        // Blue, green, red: the library's swap makes them red, green, blue.
        for (uint64_t x = 0; x < width; x++, out += 3, source += 2) {
            RgbColor c = Unpack555(source[0] | (source[1] << 8));
            out[0] = c.blue;
            out[1] = c.green;
            out[2] = c.red;
        }
        return job->row;
    }
    // The library copies the row before it transforms it.
    return const_cast<png_bytep>(source);
}

bool Encode(PngWriteJob* job) {
    png_structp png = job->png;
    png_infop info = job->info;
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, job->file);
    const BITMAPINFOHEADER* h = job->header;
    png_set_IHDR(png, info, png_uint_32(h->biWidth), png_uint_32(h->biHeight), job->depth,
                 job->type, job->interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job->type == PNG_COLOR_TYPE_PALETTE) {
        job->palette = static_cast<png_colorp>(
            png_malloc(png, png_alloc_size_t(job->colors) * sizeof(png_color)));
        for (int i = 0; i < job->colors; i++) {
            RGBQUAD c = ImageColorAt(h, unsigned(i));
            job->palette[i].red = c.rgbRed;
            job->palette[i].green = c.rgbGreen;
            job->palette[i].blue = c.rgbBlue;
        }
        png_set_PLTE(png, info, job->palette, job->colors);
    }
    png_set_gAMA(png, info, 0.45);
    png_write_info(png, info);
    png_set_bgr(png);
    // All alpha bytes are 0 here: inverted they are 255, fully opaque.
    if (job->opaque) png_set_invert_alpha(png);
    const int passes = job->interlace ? png_set_interlace_handling(png) : 1;

    const uint64_t stride = ImageStride(h->biWidth, h->biBitCount);
    const BYTE* top = ImagePixels(job->header) + stride * uint64_t(h->biHeight - 1);
    for (int pass = 0; pass < passes; pass++) {
        for (int64_t y = 0; y < h->biHeight; y++) {
            png_bytep row = RowFor(job, top - stride * uint64_t(y));
            png_write_rows(png, &row, 1);
        }
    }
    png_write_end(png, info);
    return true;
}
} // namespace

WriteResult WritePng(const char* path, HGLOBAL image, int interlace) {
    // Only whole records of the supported bit counts are written, and only
    // those whose colour count fits their depth: every size follows from that.
    if (!IsValidImageRecord(image)) return WRITE_FAILED;
    PngWriteJob job = {};
    job.header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    job.interlace = interlace;
    ChooseForm(&job);
    const uint64_t width = uint64_t(job.header->biWidth);
    const uint64_t sourceBytes = (width * uint64_t(job.header->biBitCount) + 7) / 8;
    HGLOBAL rowBlock = nullptr;
    if (job.depth == 2 || job.type == PNG_COLOR_TYPE_GRAY)
        job.rowBytes = sourceBytes < 8 ? 8 : sourceBytes;
    else if (job.header->biBitCount == 16)
        job.rowBytes = 3 * width;
    if (job.rowBytes) {
        rowBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(job.rowBytes));
        if (!rowBlock) {
            GlobalUnlock(image);
            return WRITE_FAILED;
        }
        job.row = static_cast<BYTE*>(GlobalLock(rowBlock));
    }
    bool ok = false;
    job.file = std::fopen(path, "wb");
    if (job.file) {
        job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (job.png) job.info = png_create_info_struct(job.png);
        ok = job.info && Encode(&job);
        if (job.palette) png_free(job.png, job.palette);
        png_destroy_write_struct(&job.png, &job.info);
        // The file is whole only when every write and the close succeeded.
        if (std::ferror(job.file)) ok = false;
        if (std::fclose(job.file) != 0) ok = false;
    }
    if (rowBlock) {
        GlobalUnlock(rowBlock);
        GlobalFree(rowBlock);
    }
    GlobalUnlock(image);
    return ok ? WRITE_OK : WRITE_FAILED;
}
