// MakeGrayscale: grey levels of the untouched picture. Palette pictures keep
// their pixels and get a grey table; the others become 8-bit grey indices.
#include "core/transform.h"

#include "core/image.h"
#include "core/pixels.h"
#include "core/state.h"
#include "core/text.h"
#include "core/tool_messages.h"

#include <cstring>

namespace {
BYTE Grey(unsigned red, unsigned green, unsigned blue) {
    return BYTE((30 * red + 59 * green + 11 * blue) / 100);
}

HGLOBAL GreyTable(const BITMAPINFOHEADER* header) {
    const int colors = ImageColorCount(header);
    const uint64_t bytes =
        ImageBlockBytes(header->biWidth, header->biHeight, header->biBitCount, colors);
    HGLOBAL grey = bytes ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(bytes)) : nullptr;
    if (!grey) return nullptr;
    BYTE* out = static_cast<BYTE*>(GlobalLock(grey));
    const BYTE* in = reinterpret_cast<const BYTE*>(header);
    std::memcpy(out, in, bytes); // header, table and rows; the table is replaced below
    for (int i = 0; i < colors; i++) {
        const BYTE* c = in + 40 + 4 * i;
        BYTE g = Grey(c[2], c[1], c[0]);
        out[40 + 4 * i] = out[41 + 4 * i] = out[42 + 4 * i] = g;
        out[43 + 4 * i] = 0;
    }
    GlobalUnlock(grey);
    return grey;
}

HGLOBAL GreyPixels(const BITMAPINFOHEADER* header) {
    const uint64_t width = uint64_t(header->biWidth);
    const uint64_t height = uint64_t(header->biHeight);
    const int bits = header->biBitCount;
    const uint64_t stride8 = ImageStride(int64_t(width), 8);
    // Room for a full 256-entry table whatever the source carried.
    if (ImageBlockBytes(int64_t(width), int64_t(height), 8, 256) == 0) return nullptr;
    HGLOBAL grey = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(stride8 * height + 1064));
    if (!grey) return nullptr;
    BYTE* out = static_cast<BYTE*>(GlobalLock(grey));
    std::memcpy(out, header, 40);
    BITMAPINFOHEADER* greyHeader = reinterpret_cast<BITMAPINFOHEADER*>(out);
    greyHeader->biBitCount = 8;
    greyHeader->biClrUsed = 0;
    for (int i = 0; i < 256; i++) out[40 + 4 * i] = out[41 + 4 * i] = out[42 + 4 * i] = BYTE(i);
    const BYTE* row = reinterpret_cast<const BYTE*>(header) + 40;
    const uint64_t stride = ImageStride(int64_t(width), bits);
    BYTE* outRow = out + 1064;
    for (uint64_t y = 0; y < height; y++, row += stride, outRow += stride8) {
        for (uint64_t x = 0; x < width; x++) {
            if (bits == 16) {
                RgbColor c = Unpack555(row[2 * x] | row[2 * x + 1] << 8);
                outRow[x] = Grey(c.red, c.green, c.blue);
            } else {
                const BYTE* p = row + x * (bits / 8);
                outRow[x] = Grey(p[2], p[1], p[0]);
            }
        }
    }
    GlobalUnlock(grey);
    return grey;
}
} // namespace

void MakeGrayscale(HGLOBAL* current, HGLOBAL* original, int viewKind) {
    if (viewKind != KIND_RASTER) {
        ReportError(nullptr, kNotBitmapMessage);
        return;
    }
    if (!current || !*current) return;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    // The grey picture is always made from the untouched picture.
    if (original && *original) {
        GlobalFree(*current);
        *current = *original;
        *original = nullptr;
    }
    if (!IsValidImageRecord(*current)) {
        SetCursor(previous);
        return;
    }
    const BITMAPINFOHEADER* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(*current));
    HGLOBAL grey = header->biBitCount <= 8 ? GreyTable(header) : GreyPixels(header);
    GlobalUnlock(*current);
    if (!grey) {
        SetCursor(previous);
        ReportError(nullptr, kNoMemoryMessage);
        return;
    }
    if (original)
        *original = *current;
    else
        GlobalFree(*current);
    *current = grey;
    PackImageDepth(current);
    SetCursor(previous);
}
