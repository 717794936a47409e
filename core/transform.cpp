// TransformPicture: inversion, the half turn and the two mirrors in place, the
// quarter turns through core/rotate.cpp, and the orientation word that records
// them so that RestoreOrientation can undo them.
#include "core/transform.h"

#include "core/image.h"
#include "core/pixels.h"
#include "core/state.h"
#include "core/text.h"
#include "core/rotate.h"
#include "core/tool_messages.h"

#include <cstring>

namespace {
// Bits 0-2 of the orientation word after a mirror, indexed by the bits before.
const int kAfterFlipLR[8] = {1, 0, 7, 6, 5, 4, 3, 2};
const int kAfterFlipTB[8] = {5, 4, 3, 2, 1, 0, 7, 6};

int NextOrientation(int word, int operation) {
    int shown = word & 7;
    switch (operation) {
    case TRANSFORM_ROTATE_90:
        shown = (shown + 2) & 7;
        break;
    case TRANSFORM_ROTATE_270:
        shown = (shown + 6) & 7;
        break;
    case TRANSFORM_ROTATE_180:
        shown = (shown + 4) & 7;
        break;
    case TRANSFORM_FLIP_LR:
        shown = kAfterFlipLR[shown];
        break;
    case TRANSFORM_FLIP_TB:
        shown = kAfterFlipTB[shown];
        break;
    case TRANSFORM_INVERT:
        return word ^ 8;
    }
    return (word & ~7) | shown;
}

// Palette pictures invert their table; the others their pixels, leaving the
// row padding and the fourth byte of 32-bit pixels alone.
void InvertColors(BITMAPINFOHEADER* header) {
    const int bits = header->biBitCount;
    BYTE* table = reinterpret_cast<BYTE*>(header) + 40;
    if (bits <= 8) {
        const int colors = ImageColorCount(header);
        for (int i = 0; i < colors; i++)
            for (int c = 0; c < 3; c++) table[4 * i + c] = BYTE(~table[4 * i + c]);
        return;
    }
    const uint64_t width = uint64_t(header->biWidth);
    const uint64_t stride = ImageStride(header->biWidth, bits);
    BYTE* row = table; // no table above 8 bits
    for (LONG y = 0; y < header->biHeight; y++, row += stride) {
        if (bits == 16) {
            // 31 - c for each 5-bit component, and bit 15 cleared.
            for (uint64_t x = 0; x < width; x++) {
                unsigned v = (~unsigned(row[2 * x] | row[2 * x + 1] << 8)) & 0x7FFFu;
                row[2 * x] = BYTE(v);
                row[2 * x + 1] = BYTE(v >> 8);
            }
        } else if (bits == 24) {
            for (uint64_t i = 0; i < 3 * width; i++) row[i] = BYTE(~row[i]);
        } else {
            for (uint64_t x = 0; x < width; x++)
                for (int c = 0; c < 3; c++) row[4 * x + c] = BYTE(~row[4 * x + c]);
        }
    }
}

// Half turn and mirrors, row by row; false when the scratch buffer is refused.
bool MirrorInPlace(BITMAPINFOHEADER* header, int operation) {
    const uint64_t width = uint64_t(header->biWidth);
    const uint64_t height = uint64_t(header->biHeight);
    const int bits = header->biBitCount;
    const uint64_t stride = ImageStride(header->biWidth, bits);
    const uint64_t scratchBytes = stride > width ? stride : width;
    HGLOBAL scratchBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(scratchBytes));
    if (!scratchBlock) return false;
    BYTE* scratch = static_cast<BYTE*>(GlobalLock(scratchBlock));
    BYTE* pixels = ImagePixels(header);
    if (operation == TRANSFORM_ROTATE_180 || operation == TRANSFORM_FLIP_TB) {
        for (uint64_t m = 0; m < height / 2; m++) {
            BYTE* low = pixels + stride * m;
            BYTE* high = pixels + stride * (height - 1 - m);
            std::memcpy(scratch, low, stride);
            std::memcpy(low, high, stride);
            std::memcpy(high, scratch, stride);
        }
    }
    if (operation == TRANSFORM_ROTATE_180 || operation == TRANSFORM_FLIP_LR) {
        for (uint64_t y = 0; y < height; y++)
            MirrorRow(pixels + stride * y, header->biWidth, bits, scratch);
    }
    GlobalUnlock(scratchBlock);
    GlobalFree(scratchBlock);
    return true;
}

// Swaps the pixels of unit bytes end for end, the size known to the compiler.
template <size_t unit> void ReverseUnits(BYTE* row, size_t width) {
    BYTE* a = row;
    BYTE* b = row + unit * (width - 1);
    for (; a < b; a += unit, b -= unit) {
        BYTE t[unit];
        std::memcpy(t, a, unit);
        std::memcpy(a, b, unit);
        std::memcpy(b, t, unit);
    }
}

// A byte with its pixels (bits 1 or 4) in the opposite order.
BYTE ReversedByte(BYTE v, int bits) {
    if (bits == 4) return BYTE(v << 4 | v >> 4);
    v = BYTE((v & 0xF0) >> 4 | (v & 0x0F) << 4);
    v = BYTE((v & 0xCC) >> 2 | (v & 0x33) << 2);
    return BYTE((v & 0xAA) >> 1 | (v & 0x55) << 1);
}
} // namespace

bool TransformPicture(HGLOBAL* picture, int operation, int viewKind, int* orientation) {
    if (viewKind != KIND_RASTER) {
        ReportError(nullptr, kNotBitmapMessage);
        return false;
    }
    if (!picture || !*picture) return true;
    const bool known = operation == TRANSFORM_ROTATE_90 || operation == TRANSFORM_ROTATE_180 ||
                       operation == TRANSFORM_ROTATE_270 || operation == TRANSFORM_FLIP_LR ||
                       operation == TRANSFORM_FLIP_TB || operation == TRANSFORM_INVERT;
    // A record the tools cannot rely on (odd bit count, short block) is left
    // alone, as the unsupported bit counts are.
    if (!known || !IsValidImageRecord(*picture)) return true;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    bool done = true;
    if (operation == TRANSFORM_ROTATE_90 || operation == TRANSFORM_ROTATE_270) {
        done = RotateQuarterTurn(picture, operation);
    } else {
        BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(*picture));
        if (operation == TRANSFORM_INVERT)
            InvertColors(header);
        else
            done = MirrorInPlace(header, operation);
        GlobalUnlock(*picture);
    }
    if (done && orientation) *orientation = NextOrientation(*orientation, operation);
    SetCursor(previous);
    if (!done) ReportError(nullptr, kNoMemoryMessage);
    return done;
}

void MirrorRow(BYTE* row, int width, int bitCount, BYTE* scratch) {
    if (!row || width <= 0) return;
    const size_t w = size_t(width);
    switch (bitCount) {
    case 1:
    case 4: {
        // Whole bytes are taken in the opposite order with their pixels
        // reversed, which puts the unused bits of the last byte first; the
        // row is then shifted left over them, so they end as 0. The scratch
        // row has a byte a pixel, at least one a stored byte.
        const size_t bytes = (w * size_t(bitCount) + 7) / 8;
        const unsigned unused = unsigned(bytes * 8 - w * size_t(bitCount));
        for (size_t i = 0; i < bytes; i++) scratch[i] = ReversedByte(row[bytes - 1 - i], bitCount);
        for (size_t i = 0; i + 1 < bytes; i++)
            row[i] = BYTE(scratch[i] << unused | (unused ? scratch[i + 1] >> (8 - unused) : 0));
        row[bytes - 1] = BYTE(scratch[bytes - 1] << unused);
        break;
    }
    case 8:
        ReverseUnits<1>(row, w);
        break;
    case 16:
        ReverseUnits<2>(row, w);
        break;
    case 24:
        ReverseUnits<3>(row, w);
        break;
    case 32:
        ReverseUnits<4>(row, w);
        break;
    }
}
