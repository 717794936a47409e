// The PNG reader: libpng strips 16-bit samples, delivers colour as blue,
// green, red, composites alpha onto white and corrects gamma for a display of
// 2.2; the colour table of palette files is worked out here from their PLTE
// and tRNS chunks, the same way; 1- and 4-bit rows arrive packed as the record
// packs them, 2-bit rows are spread into nibbles afterwards.
#include "formats/library/png_format.h"

#include "core/image.h"
#include "core/text.h"
#include "formats/library/png_gamma.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace {
// What a jump back from the library must find to release: kept outside the
// function that arms setjmp, so that no local is left indeterminate by it.
struct PngReadJob {
    FILE* file;       // the file, or null for bytes in memory:
    const BYTE* data; // a PNG file held in memory (an icon's entry)
    size_t size, used;
    bool plain; // no gamma correction: alpha composited in the file's own values
    char* text;
    png_structp png;
    png_infop info;
    HGLOBAL image;
    BITMAPINFOHEADER* header; // the image, locked while it is filled
    HGLOBAL scratch;          // a copy of one 2-bit row
    // A palette file's PLTE and tRNS as stored, taken before libpng's
    // transformations touch its own copies.
    BYTE palette[3 * 256];
    int entries;
    BYTE alpha[256];
    int alphaCount;
};

enum PngOutcome {
    PNG_FAILED,     // nothing to show, and no message (the library refused the file)
    PNG_REFUSED,    // nothing to show; the user has been told why
    PNG_DONE,       // the picture is read
    PNG_NO_SCRATCH, // a 2-bit picture whose pixels could not be read: all 0, and told
};

const char* ColorTypeName(int type) {
    switch (type) {
    case PNG_COLOR_TYPE_GRAY:
        return "grayscale \n";
    case PNG_COLOR_TYPE_RGB:
        return "RGB truecolor \n";
    case PNG_COLOR_TYPE_PALETTE:
        return "RGB palette \n";
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return "grayscale; alpha channel \n";
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return "RGB; alpha channel \n";
    default:
        return "unknown \n";
    }
}

const char* InterlaceName(int type) {
    switch (type) {
    case PNG_INTERLACE_NONE:
        return "none \n";
    case PNG_INTERLACE_ADAM7:
        return "adam7 \n";
    default:
        return "unknown \n";
    }
}

// Alpha goes onto white. A file's own background colour is not used; when it
// has one the white is given at the file's depth, as libpng then takes it.
void SetBackground(png_structp png, png_infop info, int type, int depth) {
    const bool gray = (type & PNG_COLOR_MASK_COLOR) == 0;
    const bool alpha = (type & PNG_COLOR_MASK_ALPHA) != 0;
    png_color_16 white = {};
    if (gray)
        white.gray = 255;
    else
        white.red = white.green = white.blue = 255;
    png_color_16p fileBackground = nullptr;
    if (png_get_bKGD(png, info, &fileBackground)) {
        white.index = fileBackground->index;
        if (!alpha) return;
        if (depth == 16) {
            white.gray = gray ? 65535 : 0;
            white.red = white.green = white.blue = gray ? 0 : 65535;
        }
        png_set_background(png, &white, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    } else if (alpha) {
        png_set_background(png, &white, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
    }
}

// A file with an sRGB chunk is shown as it is; otherwise its gamma (0.45 when
// it states none, and for gray files of 4 bits or fewer) is corrected for 2.2.
// The sRGB chunk's rendering intent is not handed back to the library: libpng
// 1.6 has it already and answers a second png_set_sRGB with a warning only.
// The gamma is handed over in libpng's fixed point, as the file stores it.
// Returns what libpng will do with the colours of a palette file.
PngGammaChoice SetGamma(PngReadJob* job, int type, int depth) {
    int intent = 0;
    png_fixed_point fileGamma = 0;
    const bool haveGamma = png_get_gAMA_fixed(job->png, job->info, &fileGamma) != 0;
    if (png_get_sRGB(job->png, job->info, &intent))
        return ChoosePngGamma(true, haveGamma, fileGamma);
    const PngGammaChoice choice = ChoosePngGamma(false, haveGamma, fileGamma);
    if (haveGamma) {
        const bool lowGray = (type & PNG_COLOR_MASK_COLOR) == 0 && depth <= 4;
        png_set_gamma_fixed(job->png, choice.screen, lowGray ? 45000 : choice.file);
        double stated = 0;
        png_get_gAMA(job->png, job->info, &stated);
        InfoAppend(job->text, "image gamma: %.2f ", stated);
    } else {
        png_set_gamma_fixed(job->png, choice.screen, choice.file);
    }
    return choice;
}

// A palette file's chunks as the file stores them. libpng keeps at most 256
// palette entries and no more alpha values than entries.
void TakePalette(PngReadJob* job) {
    png_colorp palette = nullptr;
    int entries = 0;
    if (!png_get_PLTE(job->png, job->info, &palette, &entries) || !palette) entries = 0;
    job->entries = entries < 0 ? 0 : entries > 256 ? 256 : entries;
    for (int i = 0; i < job->entries; i++) {
        job->palette[3 * i] = palette[i].red;
        job->palette[3 * i + 1] = palette[i].green;
        job->palette[3 * i + 2] = palette[i].blue;
    }
    png_bytep alpha = nullptr;
    int count = 0;
    if (!png_get_tRNS(job->png, job->info, &alpha, &count, nullptr) || !alpha) count = 0;
    job->alphaCount = count < 0 ? 0 : count > job->entries ? job->entries : count;
    if (job->alphaCount) std::memcpy(job->alpha, alpha, size_t(job->alphaCount));
}

// Gray files get their levels; palette files are filled from their chunks.
void FillGrayTable(BYTE* table, int depth) {
    const int levels = depth == 1 ? 2 : depth == 2 ? 4 : depth == 4 ? 16 : 256;
    for (int i = 0; i < levels; i++, table += 4) {
        int v = depth == 1 ? 255 * i : depth == 2 ? 64 * i + 8 : depth == 4 ? 16 * i + 8 : i;
        table[0] = table[1] = table[2] = BYTE(v);
    }
}

// Two-bit pixels, four to a byte, become one pixel per nibble, high first.
void SpreadTwoBitRows(BYTE* top, uint64_t stride, png_uint_32 width, png_uint_32 height,
                      BYTE* scratch) {
    const uint64_t packed = (uint64_t(width) + 3) / 4;
    for (png_uint_32 y = 0; y < height; y++) {
        BYTE* row = top - stride * y;
        std::memcpy(scratch, row, size_t(packed));
        for (uint64_t x = 0; x < width; x++) {
            BYTE v = BYTE((scratch[x / 4] >> (6 - 2 * (x % 4))) & 3);
            if (x & 1)
                row[x / 2] |= v;
            else
                row[x / 2] = BYTE(v << 4);
        }
    }
}

// libpng's reads from a PNG file held in memory; running out of bytes is an error.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    PngReadJob* job = static_cast<PngReadJob*>(png_get_io_ptr(png));
    if (count > job->size - job->used) png_error(png, "read past the end of the data");
    std::memcpy(out, job->data + job->used, count);
    job->used += count;
}

PngOutcome Decode(PngReadJob* job) {
    png_structp png = job->png;
    png_infop info = job->info;
    if (setjmp(png_jmpbuf(png))) return PNG_FAILED;
    if (job->file)
        png_init_io(png, job->file);
    else
        png_set_read_fn(png, job, ReadFromMemory);
    png_set_sig_bytes(png, 0);
    // Chunks the reader has no use for are skipped unread: over its chunk
    // limit libpng only warns, and would allocate whatever length a hostile
    // chunk states (two gigabytes for a 150-byte file).
    static const png_byte kSkipped[] = "sPLT\0iCCP\0tEXt\0zTXt\0iTXt\0pCAL\0sCAL\0hIST\0eXIf";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkipped, int(sizeof kSkipped / 5));
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, type = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &type, &interlace, nullptr, nullptr);
    InfoSet(job->text, "image type: PNG \nwidth: %ld \nheight: %ld \nbit depth: %d \ncolor type: ",
            long(width), long(height), depth);
    InfoAppend(job->text, "%s", ColorTypeName(type));
    InfoAppend(job->text, "interlace type: %s", InterlaceName(interlace));

    if (type == PNG_COLOR_TYPE_PALETTE) TakePalette(job);
    SetBackground(png, info, type, depth);
    PngGammaChoice gamma;
    if (job->plain) {
        // Icons are drawn as their values say, whatever gamma a file states.
        gamma = ChoosePngGamma(true, false, 0);
        png_set_gamma_fixed(png, PNG_FP_1, PNG_FP_1);
    } else {
        gamma = SetGamma(job, type, depth);
    }
    if (depth == 16) png_set_strip_16(png);
    if (type == PNG_COLOR_TYPE_RGB || type == PNG_COLOR_TYPE_RGB_ALPHA) png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const bool rgb = (type & PNG_COLOR_MASK_COLOR) && type != PNG_COLOR_TYPE_PALETTE;
    int bits = 8, colors = 256;
    if (depth == 1) {
        bits = 1;
        colors = 2;
    } else if (depth == 2 || depth == 4) {
        bits = 4;
        colors = depth == 2 ? 4 : 16;
    } else if (rgb) {
        bits = 24;
        colors = 0;
    }
    // The library writes exactly this many bytes into each row.
    const uint64_t delivered =
        depth == 2 ? (uint64_t(width) + 3) / 4 : (uint64_t(width) * uint64_t(bits) + 7) / 8;
    if (png_get_rowbytes(png, info) != delivered) png_error(png, "unexpected row layout");

    int entries = 0;
    if (type == PNG_COLOR_TYPE_PALETTE) {
        entries = job->entries > colors ? colors : job->entries;
        // A single colour still gets a second entry: black.
        colors = entries < 2 ? 2 : entries;
    }
    if (ImageBlockBytes(width, height, bits, colors) == 0) {
        ReportError(nullptr, "Picture Too Large");
        return PNG_REFUSED;
    }
    job->image = AllocImageRecord(width, height, bits, colors);
    if (!job->image) {
        ReportError(nullptr, "Memory Allocation Error");
        return PNG_REFUSED;
    }
    job->header = static_cast<BITMAPINFOHEADER*>(GlobalLock(job->image));
    BYTE* table = reinterpret_cast<BYTE*>(job->header) + 40;
    if (type == PNG_COLOR_TYPE_PALETTE)
        FillPngPaletteTable(table, entries, job->palette, job->entries, job->alpha, job->alphaCount,
                            gamma);
    else if (!rgb)
        FillGrayTable(table, depth);

    if (depth == 2) {
        const uint64_t quarter = uint64_t(width) / 4 + 1;
        job->scratch = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(quarter < 8 ? 8 : quarter));
        if (!job->scratch) {
            ReportError(nullptr, "Memory Allocation Error");
            return PNG_NO_SCRATCH;
        }
    }
    // Every pass reads into the same rows, so the interlaced passes combine in place.
    const uint64_t stride = ImageStride(width, bits);
    BYTE* top = ImagePixels(job->header) + stride * (height - 1);
    for (int pass = 0; pass < passes; pass++) {
        for (png_uint_32 y = 0; y < height; y++) {
            BYTE* row = top - stride * y;
            png_read_rows(png, &row, nullptr, 1);
        }
    }
    if (depth == 2) {
        SpreadTwoBitRows(top, stride, width, height, static_cast<BYTE*>(GlobalLock(job->scratch)));
        GlobalUnlock(job->scratch);
    }
    png_read_end(png, nullptr);
    return PNG_DONE;
}

// Decodes the job's source; the record, or null when nothing can be shown.
ReaderResult RunPngJob(PngReadJob* job) {
    job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (job->png) job->info = png_create_info_struct(job->png);
    PngOutcome outcome = job->info ? Decode(job) : PNG_FAILED;
    png_destroy_read_struct(&job->png, &job->info, nullptr);
    if (job->scratch) GlobalFree(job->scratch);
    HGLOBAL image = job->image;
    if (image && job->header) GlobalUnlock(image);
    if ((outcome == PNG_FAILED || outcome == PNG_REFUSED) && image) {
        GlobalFree(image);
        image = nullptr;
    }
    return ReadEnded(image, outcome == PNG_REFUSED || outcome == PNG_NO_SCRATCH);
}
} // namespace

ReaderResult ReadPng(const char* name, HWND owner, char* text, int displayDepth) {
    FILE* file = std::fopen(name, "rb");
    if (!file) return NoPictureSilent();
    PngReadJob job = {};
    job.file = file;
    job.text = text;
    ReaderResult read = RunPngJob(&job);
    std::fclose(file);
    return read;
}

ReaderResult ReadPngBytes(const BYTE* data, size_t size, char* text) {
    PngReadJob job = {};
    job.data = data;
    job.size = size;
    job.text = text;
    job.plain = true;
    return RunPngJob(&job);
}
