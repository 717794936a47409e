// The JPEG reader: libjpeg decodes with its default settings (Y/Cb/Cr files
// arrive as red, green, blue and gray files as gray); the rows go into the
// record bottom row first, colour pixels as blue, green, red.
#include "formats/library/jpeg_format.h"

#include "core/image.h"
#include "core/text.h"
#include "formats/library/jpeg_error.h"
#include "formats/library/tiff_format.h"

#include <algorithm>
#include <cstring>

#include <jerror.h>

namespace {
// The file as the library's input, as its stdio source reads it, except for a
// skip past the end (a marker length that runs off the file): the stdio
// source then refills two bytes of made-up end marker at a time, a call and
// a read for every two bytes of the length; this one seeks once.
struct FileSource {
    jpeg_source_mgr manager; // first, so that the library's pointer is the source's
    FILE* file;
    bool started;
    JOCTET buffer[4096];
};

boolean FillInput(j_decompress_ptr info) {
    FileSource* source = reinterpret_cast<FileSource*>(info->src);
    size_t n = std::fread(source->buffer, 1, sizeof source->buffer, source->file);
    if (n == 0) {
        if (!source->started) ERREXIT(info, JERR_INPUT_EMPTY);
        // A truncated file ends with the end-of-image marker it lacks.
        WARNMS(info, JWRN_JPEG_EOF);
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        n = 2;
    }
    source->manager.next_input_byte = source->buffer;
    source->manager.bytes_in_buffer = n;
    source->started = true;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    FileSource* source = reinterpret_cast<FileSource*>(info->src);
    if (count <= 0) return;
    if (size_t(count) <= source->manager.bytes_in_buffer) {
        source->manager.next_input_byte += count;
        source->manager.bytes_in_buffer -= size_t(count);
        return;
    }
    long beyond = count - long(source->manager.bytes_in_buffer);
    source->manager.bytes_in_buffer = 0; // the next read refills
    if (std::fseek(source->file, beyond, SEEK_CUR) == 0) return;
    // A stream that cannot seek is read through.
    while (beyond > 0) {
        const size_t piece = size_t(std::min(beyond, long(sizeof source->buffer)));
        if (std::fread(source->buffer, 1, piece, source->file) != piece) break;
        beyond -= long(piece);
    }
}

void InitSource(j_decompress_ptr info) {
    reinterpret_cast<FileSource*>(info->src)->started = false;
}

void TermSource(j_decompress_ptr) {}

void UseFileSource(j_decompress_ptr info, FileSource* source, FILE* file) {
    source->manager.init_source = InitSource;
    source->manager.fill_input_buffer = FillInput;
    source->manager.skip_input_data = SkipInput;
    source->manager.resync_to_restart = jpeg_resync_to_restart;
    source->manager.term_source = TermSource;
    source->manager.bytes_in_buffer = 0;
    source->manager.next_input_byte = nullptr;
    source->file = file;
    source->started = false;
    info->src = &source->manager;
}

// What a jump back from the library must find to release: kept outside the
// function that arms setjmp, so that no local is left indeterminate by it.
struct JpegReadJob {
    FILE* file;
    char* text;
    HGLOBAL image;
    BITMAPINFOHEADER* header; // the image, locked while it is filled
    bool reported;            // a message was shown
    int orientation;          // the Exif Orientation value, 0 when there is none
    jpeg_decompress_struct info;
    JpegErrorRecord errors;
    FileSource source;
};

const char* ColorSpaceName(J_COLOR_SPACE space) {
    switch (space) {
    case JCS_UNKNOWN:
        return "error/unspecified";
    case JCS_GRAYSCALE:
        return "monochrome";
    case JCS_RGB:
        return "red/green/blue";
    case JCS_YCbCr:
        return "Y/Cb/Cr";
    case JCS_CMYK:
        return "C/M/Y/K";
    case JCS_YCCK:
        return "Y/Cb/Cr/K";
    default:
        return "";
    }
}

void WriteInfo(JpegReadJob* job) {
    jpeg_decompress_struct* info = &job->info;
    InfoSet(job->text,
            "image type: JPEG \nwidth: %d \nheight: %d \ncolor components: %d \ncolor space: ",
            int(info->image_width), int(info->image_height), info->num_components);
    InfoAppend(job->text, "%s", ColorSpaceName(info->jpeg_color_space));
    if (jpeg_has_multiple_scans(info)) InfoAppend(job->text, " \nprogressive file structure");
    if (job->orientation) InfoAppend(job->text, " \norientation: %d", job->orientation);
}

// The Orientation value of the first Exif segment the library kept.
int FindOrientation(const jpeg_decompress_struct* info) {
    for (jpeg_saved_marker_ptr m = info->marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
            std::memcmp(m->data, "Exif\0\0", 6) == 0)
            return ExifOrientation(m->data, m->data_length);
    return 0;
}

// One decoded row into the record's byte order, in place when in is out (one
// and three components). Four-component samples are inks (stored inverted
// when an Adobe marker says so) and become red, green, blue; of two
// components the first is shown as gray.
void StoreRow(const BYTE* in, BYTE* out, JDIMENSION width, int components, bool adobe) {
    switch (components) {
    case 1:
        if (in != out) std::memcpy(out, in, width);
        break;
    case 2:
        for (JDIMENSION x = 0; x < width; x++, in += 2, out += 3) out[0] = out[1] = out[2] = in[0];
        break;
    case 3:
        for (JDIMENSION x = 0; x < width; x++, in += 3, out += 3) {
            const BYTE red = in[0];
            out[0] = in[2];
            out[1] = in[1];
            out[2] = red;
        }
        break;
    default:
        for (JDIMENSION x = 0; x < width; x++, in += 4, out += 3) {
            // The share of light each ink lets through, 255 for none of it.
            unsigned c = adobe ? in[0] : 255u - in[0];
            unsigned m = adobe ? in[1] : 255u - in[1];
            unsigned y = adobe ? in[2] : 255u - in[2];
            unsigned k = adobe ? in[3] : 255u - in[3];
            out[0] = BYTE((y * k + 127) / 255);
            out[1] = BYTE((m * k + 127) / 255);
            out[2] = BYTE((c * k + 127) / 255);
        }
        break;
    }
}

// Returns false when the library jumped back or the file is not one this
// reader shows; job->image is then whatever was taken, for the caller to free.
bool Decode(JpegReadJob* job) {
    jpeg_decompress_struct* info = &job->info;
    info->err = InitJpegErrors(&job->errors);
    if (setjmp(job->errors.jump)) return false;
    jpeg_create_decompress(info);
    // Whole-image buffers (progressive and multi-scan files) stay within the
    // limit every picture keeps to.
    info->mem->max_memory_to_use = long(PictureByteLimit());
    UseFileSource(info, &job->source, job->file);
    // APP1 segments are kept for the Exif Orientation tag (at most 64 KiB each).
    jpeg_save_markers(info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(info, TRUE);
    job->orientation = FindOrientation(info);
    if (job->text) WriteInfo(job);

    const int components = info->num_components;
    if (components < 1 || components > 4) {
        std::fprintf(stderr, "JPEG files of %d color components are not supported\n", components);
        return false;
    }
    const int bits = components == 1 ? 8 : 24;
    if (ImageBlockBytes(info->image_width, info->image_height, bits, bits == 8 ? 256 : 0) == 0) {
        ReportError(nullptr, "Picture Too Large");
        job->reported = true;
        return false;
    }
    job->image = AllocImageRecord(info->image_width, info->image_height, bits, 0);
    if (!job->image) {
        ReportError(nullptr, "Memory Allocation Error");
        job->reported = true;
        if (job->text) InfoSet(job->text, "no file selected");
        return false;
    }
    job->header = static_cast<BITMAPINFOHEADER*>(GlobalLock(job->image));
    jpeg_start_decompress(info);
    // Rows are copied only when the library delivers exactly what the record
    // was sized for.
    const J_COLOR_SPACE expected[] = {JCS_GRAYSCALE, JCS_UNKNOWN, JCS_RGB, JCS_CMYK};
    if (info->output_width != info->image_width || info->output_height != info->image_height ||
        info->output_components != components ||
        info->out_color_space != expected[components - 1]) {
        std::fprintf(stderr, "JPEG file decodes to an unexpected layout\n");
        return false;
    }
    BYTE* pixels = ImagePixels(job->header);
    if (components == 1) {
        for (int i = 0; i < 256; i++) {
            BYTE* entry = reinterpret_cast<BYTE*>(job->header) + 40 + 4 * i;
            entry[0] = entry[1] = entry[2] = BYTE(i);
        }
    }
    // The first decoded row is the top of the picture: the last stored row.
    const uint64_t stride = ImageStride(info->output_width, bits);
    BYTE* top = pixels + stride * (info->output_height - 1);
    // One and three components decode straight into the record's row (it
    // has room for them); two and four need a row of their own.
    const bool direct = components == 1 || components == 3;
    JSAMPARRAY row =
        direct ? nullptr
               : (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                            info->output_width * JDIMENSION(components), 1);
    while (info->output_scanline < info->output_height) {
        BYTE* out = top - stride * info->output_scanline;
        JSAMPROW samples = direct ? out : row[0];
        if (jpeg_read_scanlines(info, &samples, 1) != 1) break;
        StoreRow(samples, out, info->output_width, components, info->saw_Adobe_marker != 0);
    }
    if (info->output_scanline < info->output_height)
        jpeg_abort_decompress(info);
    else
        jpeg_finish_decompress(info);
    return true;
}
} // namespace

ReaderResult ReadJpeg(const char* name, HWND owner, char* text, int displayDepth) {
    FILE* file = std::fopen(name, "rb");
    if (!file) {
        std::fprintf(stderr, "can't open %s\n", name);
        return NoPictureSilent();
    }
    JpegReadJob job = {};
    job.file = file;
    job.text = text;
    bool ok = Decode(&job);
    jpeg_destroy_decompress(&job.info);
    std::fclose(file);
    HGLOBAL image = job.image;
    if (image && job.header) GlobalUnlock(image);
    if (!ok && image) {
        GlobalFree(image);
        image = nullptr;
    }
    // Photographs store the sensor's rows; the tag says how to turn them upright.
    if (image && job.orientation > 1) {
        int orientation = TiffOrientationCode(job.orientation);
        if (!RestoreOrientation(&image, &orientation)) job.reported = true;
    }
    return ReadEnded(image, job.reported);
}
