#include "tools/writers.h"

#include "formats/library/jpeg_format.h"
#include "formats/library/png_format.h"
#include "formats/library/tiff_format.h"
#include "formats/native/bmp.h"
#include "formats/native/iff.h"
#include "formats/native/pcx.h"
#include "formats/native/tga.h"

const char* FormatExtension(int format) {
    switch (format) {
    case FMT_BMP:
    case FMT_BMP_RLE:
    case FMT_BMP_BITFIELDS:
        return "bmp";
    case FMT_JPEG:
        return "jpg";
    case FMT_IFF:
        return "iff";
    case FMT_PCX:
        return "pcx";
    case FMT_PNG:
        return "png";
    case FMT_TGA:
        return "tga";
    case FMT_TIFF:
        return "tif";
    default:
        return nullptr;
    }
}

bool WriterAvailable(int format) {
    return format == FMT_BMP || format == FMT_BMP_RLE || format == FMT_BMP_BITFIELDS ||
           format == FMT_IFF || format == FMT_JPEG || format == FMT_PCX || format == FMT_PNG ||
           format == FMT_TGA || format == FMT_TIFF;
}

WriteResult WritePicture(HGLOBAL image, const char* path, int format, int option1, int option2) {
    if (!WriterAvailable(format)) return WRITE_UNAVAILABLE;
    switch (format) {
    case FMT_BMP: {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return WRITE_CREATE_FAILED;
        int ok = WriteBitmapUncompressed(image, file);
        // A file that does not close cleanly may not hold what was written.
        if (!CloseHandle(file)) ok = 0;
        return ok ? WRITE_OK : WRITE_FAILED;
    }
    case FMT_BMP_RLE:
        return WriteBitmapRunLength(image, path) ? WRITE_OK : WRITE_FAILED;
    case FMT_BMP_BITFIELDS:
        return WriteBitmapBitfields(image, path, option1) ? WRITE_OK : WRITE_FAILED;
    case FMT_IFF:
        return WriteIffPicture(image, path, option1, option2) ? WRITE_OK : WRITE_FAILED;
    case FMT_JPEG:
        return WriteJpeg(path, 85, image, option1) ? WRITE_OK : WRITE_FAILED;
    case FMT_PNG:
        return WritePng(path, image, option1) ? WRITE_OK : WRITE_FAILED;
    case FMT_PCX:
        return WritePcx(image, path) ? WRITE_OK : WRITE_FAILED;
    case FMT_TGA:
        return WriteTarga(image, path, option1) ? WRITE_OK : WRITE_FAILED;
    case FMT_TIFF:
        return WriteTiff(path, option1, option2, image) ? WRITE_OK : WRITE_FAILED;
    default:
        return WRITE_UNAVAILABLE;
    }
}
