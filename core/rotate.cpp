// Quarter turns: every pixel is written to its place in a new block of the
// turned size, because a turn changes the stride and so cannot work in place.
#include "core/rotate.h"

#include "core/image.h"
#include "core/pixels.h"
#include "core/transform.h"

#include <cstring>

namespace {
// Source rows are taken in bands so that one destination row receives a run of
// neighbouring pixels while the band's source rows stay in the cache.
const uint64_t kBand = 16;

void CopyUnit(BYTE* to, const BYTE* from, int bytes) {
    switch (bytes) {
    case 4:
        to[3] = from[3];
        [[fallthrough]];
    case 3:
        to[2] = from[2];
        [[fallthrough]];
    case 2:
        to[1] = from[1];
        [[fallthrough]];
    default:
        to[0] = from[0];
    }
}
} // namespace

bool RotateQuarterTurn(HGLOBAL* picture, int operation) {
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(*picture));
    if (!header) return false;
    const uint64_t width = uint64_t(header->biWidth);
    const uint64_t height = uint64_t(header->biHeight);
    const int bits = header->biBitCount;
    const int colors = bits <= 8 ? ImageColorCount(header) : 0;
    // The turned record can be far larger than the source (a 1-bit picture one
    // pixel high needs 4 bytes per row once turned), so its size is checked
    // against the limit before the block is asked for.
    const uint64_t turnedBytes = ImageBlockBytes(int64_t(height), int64_t(width), bits, colors);
    const uint64_t blockBytes = turnedBytes + 14 + (bits < 8 ? width : 0);
    if (turnedBytes == 0 || blockBytes > uint64_t(SIZE_T(-1))) {
        GlobalUnlock(*picture);
        return false;
    }
    HGLOBAL turned = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(blockBytes));
    if (!turned) {
        GlobalUnlock(*picture);
        return false;
    }
    BYTE* out = static_cast<BYTE*>(GlobalLock(turned));
    const size_t tableEnd = 40 + 4 * size_t(colors);
    std::memcpy(out, header, tableEnd);

    const BYTE* source = reinterpret_cast<const BYTE*>(header) + tableEnd;
    BYTE* target = out + tableEnd;
    const uint64_t sourceStride = ImageStride(int64_t(width), bits);
    const uint64_t targetStride = ImageStride(int64_t(height), bits);
    const bool clockwise = operation == TRANSFORM_ROTATE_90;
    // In stored rows (bottom first): a quarter turn clockwise puts source row r,
    // column x at row width-1-x, column r; three quarters put it at row x,
    // column height-1-r.
    for (uint64_t band = 0; band < height; band += kBand) {
        const uint64_t bandEnd = height - band < kBand ? height : band + kBand;
        for (uint64_t x = 0; x < width; x++) {
            BYTE* to = target + targetStride * (clockwise ? width - 1 - x : x);
            for (uint64_t r = band; r < bandEnd; r++) {
                const BYTE* from = source + sourceStride * r;
                const uint64_t column = clockwise ? r : height - 1 - r;
                // The destination starts zero-filled, so pixels are only ever or-ed in.
                if (bits < 8)
                    OrPixelIndex(to, bits, column, PixelIndex(from, bits, x));
                else
                    CopyUnit(to + column * (bits / 8), from + x * (bits / 8), bits / 8);
            }
        }
    }

    BITMAPINFOHEADER* turnedHeader = reinterpret_cast<BITMAPINFOHEADER*>(out);
    turnedHeader->biWidth = LONG(height);
    turnedHeader->biHeight = LONG(width);
    GlobalUnlock(turned);
    GlobalUnlock(*picture);
    GlobalFree(*picture);
    *picture = turned;
    return true;
}
