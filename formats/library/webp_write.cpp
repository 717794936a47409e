// The WebP writer: the record's rows as red, green, blue, top row first,
// through libwebp's one-call encoders; the file is written in one piece.
#include "formats/library/webp_format.h"

#include "core/image.h"
#include "core/pixels.h"
#include "core/text.h"

#include <webp/encode.h>

#include <cstdio>
#include <cstdlib>

WriteResult WriteWebp(const char* path, HGLOBAL image, int quality, int lossless) {
    // Only whole records are written: every size follows from the header.
    if (!IsValidImageRecord(image)) return WRITE_FAILED;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int64_t width = header->biWidth;
    const int64_t height = header->biHeight;
    if (width > WEBP_MAX_DIMENSION || height > WEBP_MAX_DIMENSION) {
        std::fprintf(stderr, "WebP pictures are at most %d pixels wide and high\n",
                     WEBP_MAX_DIMENSION);
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    const size_t rowBytes = 3 * size_t(width);
    BYTE* rgb = static_cast<BYTE*>(std::malloc(rowBytes * size_t(height)));
    if (!rgb) {
        ReportError(nullptr, "Memory Allocation Error");
        GlobalUnlock(image);
        return WRITE_FAILED;
    }
    const int bits = header->biBitCount;
    const RGBQUAD* table =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + 40);
    const uint64_t stride = ImageStride(width, bits);
    const BYTE* pixels = ImagePixels(header);
    for (int64_t y = 0; y < height; y++)
        RowToRgb(pixels + stride * uint64_t(height - 1 - y), width, bits, table,
                 bits <= 8 ? ImageColorCount(header) : 0, rgb + rowBytes * size_t(y));
    GlobalUnlock(image);

    uint8_t* encoded = nullptr;
    const size_t size =
        lossless
            ? WebPEncodeLosslessRGB(rgb, int(width), int(height), int(rowBytes), &encoded)
            : WebPEncodeRGB(rgb, int(width), int(height), int(rowBytes), float(quality), &encoded);
    std::free(rgb);
    if (size == 0) {
        WebPFree(encoded);
        std::fprintf(stderr, "libwebp could not encode the picture\n");
        return WRITE_FAILED;
    }
    bool ok = false;
    if (FILE* file = std::fopen(path, "wb")) {
        ok = std::fwrite(encoded, 1, size, file) == size;
        if (std::fclose(file) != 0) ok = false;
    } else {
        std::fprintf(stderr, "can't open %s\n", path);
    }
    WebPFree(encoded);
    return ok ? WRITE_OK : WRITE_FAILED;
}
