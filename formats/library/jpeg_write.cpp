// The JPEG writer: pictures of 1, 4 and 8 bits with an all-gray colour table
// become one-component grayscale files, everything else red, green, blue;
// libjpeg's defaults apart from the quality and, when asked, the simple
// progressive scan script.
#include "formats/library/jpeg_format.h"

#include "core/image.h"
#include "core/text.h"
#include "formats/library/jpeg_error.h"
#include "core/pixels.h"
#include "core/pixels.h"

namespace {
// What a jump back from the library must find to release (see the reader).
struct JpegWriteJob {
    const char* path;
    int quality;
    bool progressive;
    BITMAPINFOHEADER* header; // locked by the caller
    BYTE* row;                // 3 x width bytes
    FILE* file;
    bool gray;
    BYTE levels[256]; // gray pictures: the red byte of each index, 0 past the table
    jpeg_compress_struct info;
    JpegErrorRecord errors;
};

void FillRow(const JpegWriteJob* job, const BYTE* source) {
    const BITMAPINFOHEADER* header = job->header;
    const int bits = header->biBitCount;
    if (job->gray) {
        for (uint64_t x = 0; x < uint64_t(header->biWidth); x++)
            job->row[x] = job->levels[PixelIndex(source, bits, x)];
        return;
    }
    const RGBQUAD* table =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + 40);
    RowToRgb(source, header->biWidth, bits, table, bits <= 8 ? ImageColorCount(header) : 0,
             job->row);
}

// False when the file cannot be created or the library jumped back.
bool Encode(JpegWriteJob* job) {
    jpeg_compress_struct* info = &job->info;
    info->err = InitJpegErrors(&job->errors);
    if (setjmp(job->errors.jump)) return false;
    jpeg_create_compress(info);
    job->file = std::fopen(job->path, "wb");
    if (!job->file) {
        std::fprintf(stderr, "can't open %s\n", job->path);
        return false;
    }
    jpeg_stdio_dest(info, job->file);
    info->image_width = JDIMENSION(job->header->biWidth);
    info->image_height = JDIMENSION(job->header->biHeight);
    info->input_components = job->gray ? 1 : 3;
    info->in_color_space = job->gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, job->quality, TRUE);
    if (job->progressive) jpeg_simple_progression(info);
    jpeg_start_compress(info, TRUE);

    const int bits = job->header->biBitCount;
    const uint64_t stride = ImageStride(job->header->biWidth, bits);
    const BYTE* top = ImagePixels(job->header) + stride * uint64_t(job->header->biHeight - 1);
    JSAMPROW rows[1] = {job->row};
    while (info->next_scanline < info->image_height) {
        FillRow(job, top - stride * info->next_scanline);
        jpeg_write_scanlines(info, rows, 1);
    }
    // Flushes the stream and fails through the error record when a write did.
    jpeg_finish_compress(info);
    return true;
}
} // namespace

WriteResult WriteJpeg(const char* path, int quality, HGLOBAL image, int progressive) {
    // Only whole records of the bit counts below are written: every size
    // follows from the header.
    if (!IsValidImageRecord(image)) return WRITE_FAILED;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int bits = header->biBitCount;
    HGLOBAL rowBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(3 * header->biWidth));
    if (!rowBlock) {
        ReportError(nullptr, "Memory Allocation Error");
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    JpegWriteJob job = {};
    job.path = path;
    job.quality = quality;
    job.progressive = progressive != 0;
    job.header = header;
    job.row = static_cast<BYTE*>(GlobalLock(rowBlock));
    if (bits <= 8) {
        const int count = ImageColorCount(header);
        job.gray = count != 0;
        for (int i = 0; i < 256; i++) {
            RGBQUAD c = ImageColorAt(header, unsigned(i));
            job.levels[i] = c.rgbRed;
            if (i < count && (c.rgbRed != c.rgbGreen || c.rgbRed != c.rgbBlue)) job.gray = false;
        }
    }
    bool ok = Encode(&job);
    if (job.file) {
        if (std::ferror(job.file)) ok = false;
        if (std::fclose(job.file) != 0) ok = false;
    }
    jpeg_destroy_compress(&job.info);
    GlobalUnlock(rowBlock);
    GlobalFree(rowBlock);
    GlobalUnlock(image);
    return ok ? WRITE_OK : WRITE_FAILED;
}
