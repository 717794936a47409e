#include "tools/reduce.h"

#include "core/image.h"
#include "core/state.h"
#include "core/text.h"
#include "tools/colour_cells.h"
#include "tools/error_diffusion.h"
#include "tools/median_cut.h"
#include "tools/palettes.h"
#include "core/pixels.h"

#include <cstring>

namespace {
const char kNotBitmap[] = "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap";
const char kNoMemory[] = "Insufficient Memory for this Operation.";

// A locked movable block of working memory.
struct Block {
    HGLOBAL handle;
    void* data;
};

bool AllocBlock(Block* block, uint64_t bytes) {
    block->handle = nullptr;
    block->data = nullptr;
    // Larger than any picture may be: refused like a failed allocation.
    if (bytes == 0 || bytes > PictureByteLimit()) return false;
    block->handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(bytes));
    if (!block->handle) return false;
    block->data = GlobalLock(block->handle);
    if (!block->data) {
        GlobalFree(block->handle);
        block->handle = nullptr;
        return false;
    }
    return true;
}

void FreeBlock(Block* block) {
    if (block->handle) {
        GlobalUnlock(block->handle);
        GlobalFree(block->handle);
    }
    block->handle = nullptr;
    block->data = nullptr;
}

// The working state of one reduction, all of it freed at the end.
struct Working {
    Block map;       // red, green, blue arrays of the wanted length
    Block row;       // one row of (red, green, blue) triples
    Block histogram; // 32 planes of 64 x 32 16-bit cells
    Block errors;    // (width + 2) x 3 16-bit errors
    Block limit;     // the error-limit table
    Block boxes;     // the median cut's box list (best colours only)
};

bool AllocWorking(Working* w, int wanted, int64_t width, bool best) {
    *w = Working{};
    uint64_t columns = uint64_t(width);
    return AllocBlock(&w->map, 3ull * uint64_t(wanted)) && AllocBlock(&w->row, 3 * columns) &&
           AllocBlock(&w->histogram, kHistogramBytes) &&
           AllocBlock(&w->errors, (columns + 2) * 3 * sizeof(int16_t)) &&
           AllocBlock(&w->limit, kErrorLimitSize * sizeof(int)) &&
           (!best || AllocBlock(&w->boxes, uint64_t(wanted) * sizeof(ColorBox)));
}

void FreeWorking(Working* w) {
    FreeBlock(&w->map);
    FreeBlock(&w->row);
    FreeBlock(&w->histogram);
    FreeBlock(&w->errors);
    FreeBlock(&w->limit);
    FreeBlock(&w->boxes);
}

bool IsKnownTarget(int target) {
    return target == 2 || target == 16 || target == 216 || target == 256 ||
           (target < 0 && target >= -256);
}

// Bytes of one unpadded source row, or 0 for a bit count the reduction does not take.
uint64_t RowBytes(int64_t width, int bits) {
    uint64_t w = uint64_t(width);
    switch (bits) {
    case 1:
        return (w + 7) / 8;
    case 4:
        return (w + 1) / 2;
    case 8:
        return w;
    case 16:
        return 2 * w;
    case 24:
        return 3 * w;
    case 32:
        return 4 * w;
    default:
        return 0;
    }
}
} // namespace

void ReduceColors(HGLOBAL* current, HGLOBAL* original, int target, int viewKind, bool waitCursor) {
    if (viewKind != KIND_RASTER) {
        ReportError(nullptr, kNotBitmap);
        return;
    }
    if (!current || !original || !*current) return;
    // Only the palettes and best-colour counts a colour table can hold.
    if (!IsKnownTarget(target)) return;
    // Always from the untouched picture, never from an earlier reduction.
    if (*original) {
        GlobalFree(*current);
        *current = *original;
        *original = nullptr;
    }

    BITMAPINFOHEADER* source = static_cast<BITMAPINFOHEADER*>(GlobalLock(*current));
    if (!source) return;
    const int bits = source->biBitCount;
    const int64_t width = source->biWidth, height = source->biHeight;
    const uint64_t rowBytes = width > 0 && height > 0 ? RowBytes(width, bits) : 0;
    const uint64_t sourceStride = (rowBytes + 3) / 4 * 4;
    uint64_t tableEntries = source->biClrUsed;
    if (bits <= 8 && tableEntries == 0) tableEntries = 1ull << bits;
    const uint64_t pixelOffset = 40 + 4 * tableEntries;
    // A record that does not hold all its rows is left alone rather than read past.
    if (rowBytes == 0 || pixelOffset + sourceStride * uint64_t(height) > GlobalSize(*current)) {
        GlobalUnlock(*current);
        return;
    }
    const BYTE* sourceBase = reinterpret_cast<const BYTE*>(source);
    const RGBQUAD* sourceTable = reinterpret_cast<const RGBQUAD*>(sourceBase + 40);
    const int sourceColors = bits <= 8 ? int(tableEntries < 256 ? tableEntries : 256) : 0;
    const BYTE* sourcePixels = sourceBase + pixelOffset;

    HCURSOR previousCursor = nullptr;
    if (waitCursor) previousCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));

    // 40 bytes of header, room for 256 colours, 8-bit rows.
    const uint64_t resultBytes = ImageBlockBytes(width, height, 8, 256);
    const uint64_t resultStride = ImageStride(width, 8);
    const bool best = target < 0;
    const int wanted = best ? -target : target;
    Block result = {nullptr, nullptr};
    Working work;
    bool ready = AllocBlock(&result, resultBytes);
    if (ready && !AllocWorking(&work, wanted, width, best)) {
        FreeWorking(&work);
        FreeBlock(&result);
        ready = false;
    }
    if (!ready) {
        GlobalUnlock(*current);
        if (waitCursor) SetCursor(previousCursor);
        ReportError(nullptr, kNoMemory);
        return;
    }

    BYTE* resultBase = static_cast<BYTE*>(result.data);
    BITMAPINFOHEADER* header = reinterpret_cast<BITMAPINFOHEADER*>(resultBase);
    std::memcpy(header, source, sizeof *header);
    header->biBitCount = 8;
    RGBQUAD* table = reinterpret_cast<RGBQUAD*>(resultBase + 40);
    BYTE* mapBytes = static_cast<BYTE*>(work.map.data);
    ColorMap map = {mapBytes, mapBytes + wanted, mapBytes + 2 * wanted, 0};
    BYTE* rgb = static_cast<BYTE*>(work.row.data);
    WORD* histogram = static_cast<WORD*>(work.histogram.data);

    if (!best) {
        map.count = FillFixedPalette(target, table);
        for (int i = 0; i < map.count; i++) {
            map.red[i] = table[i].rgbRed;
            map.green[i] = table[i].rgbGreen;
            map.blue[i] = table[i].rgbBlue;
        }
    } else {
        for (int64_t y = 0; y < height; y++) {
            RowToRgb(sourcePixels + sourceStride * uint64_t(y), width, bits, sourceTable,
                     sourceColors, rgb);
            CountRowColors(histogram, rgb, width);
        }
        MedianCut(histogram, wanted, static_cast<ColorBox*>(work.boxes.data), &map);
        for (int i = 0; i < map.count; i++) {
            table[i].rgbBlue = map.blue[i];
            table[i].rgbGreen = map.green[i];
            table[i].rgbRed = map.red[i];
            table[i].rgbReserved = 0;
        }
        // From here on the cells are the inverse-map cache, all uncomputed.
        std::memset(histogram, 0, kHistogramBytes);
    }
    header->biClrUsed = DWORD(map.count);

    int* limit = static_cast<int*>(work.limit.data);
    BuildErrorLimit(limit);
    Diffusion diffusion = {static_cast<int16_t*>(work.errors.data), limit, histogram, &map};
    BYTE* resultPixels = resultBase + 40 + 4 * map.count;
    for (int64_t y = 0; y < height; y++) {
        RowToRgb(sourcePixels + sourceStride * uint64_t(y), width, bits, sourceTable, sourceColors,
                 rgb);
        DiffuseRow(diffusion, rgb, width, y, resultPixels + resultStride * uint64_t(y));
    }

    FreeWorking(&work);
    GlobalUnlock(result.handle);
    GlobalUnlock(*current);
    *original = *current;
    *current = result.handle;
    if (viewKind == 0) PackImageDepth(current);
    if (waitCursor) SetCursor(previousCursor);
}
