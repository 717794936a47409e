#include "core/image.h"

#include <cstring>

uint64_t ImageStride(int64_t width, int bitCount) {
    if (width <= 0 || bitCount <= 0) return 0;
    return ((static_cast<uint64_t>(width) * static_cast<uint64_t>(bitCount) + 31) / 32) * 4;
}

int ImageColorCount(const BITMAPINFOHEADER* header) {
    if (header->biClrUsed != 0) return header->biClrUsed > 256 ? 256 : int(header->biClrUsed);
    if (header->biBitCount <= 8) return 1 << header->biBitCount;
    return 0;
}

namespace {
uint64_t g_byteLimit = kMaxImageBytes;
uint64_t g_pixelLimit = ~uint64_t(0);
int64_t g_refusedWidth = 0, g_refusedHeight = 0;
} // namespace

uint64_t PictureByteLimit() {
    return g_byteLimit;
}

void LowerPictureByteLimit(uint64_t bytes) {
    if (bytes < g_byteLimit) g_byteLimit = bytes;
}

uint64_t PicturePixelLimit() {
    return g_pixelLimit;
}

void LowerPicturePixelLimit(uint64_t pixels) {
    if (pixels < g_pixelLimit) g_pixelLimit = pixels;
}

bool TakePixelLimitRefusal(int64_t* width, int64_t* height) {
    *width = g_refusedWidth;
    *height = g_refusedHeight;
    g_refusedWidth = g_refusedHeight = 0;
    return *width != 0;
}

uint64_t ImageBlockBytes(int64_t width, int64_t height, int bitCount, int colors) {
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return 0;
    if (colors < 0 || colors > 256) return 0;
    // Both below 2^31: the product fits.
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > g_pixelLimit) {
        g_refusedWidth = width;
        g_refusedHeight = height;
        return 0;
    }
    const uint64_t limit = g_byteLimit;
    uint64_t stride = ImageStride(width, bitCount);
    if (stride == 0 || stride > limit) return 0;
    if (static_cast<uint64_t>(height) > limit / stride) return 0;
    uint64_t total =
        40 + 4 * static_cast<uint64_t>(colors) + stride * static_cast<uint64_t>(height);
    return total > limit ? 0 : total;
}

RGBQUAD ImageColorAt(const BITMAPINFOHEADER* header, unsigned index) {
    RGBQUAD color = {0, 0, 0, 0};
    if (header->biBitCount > 8 || index >= unsigned(ImageColorCount(header))) return color;
    std::memcpy(&color, reinterpret_cast<const BYTE*>(header) + 40 + 4 * index, 4);
    return color;
}

BYTE* ImagePixels(BITMAPINFOHEADER* header) {
    int colors = header->biBitCount <= 8 ? ImageColorCount(header) : int(header->biClrUsed);
    return reinterpret_cast<BYTE*>(header) + 40 + 4 * colors;
}

HGLOBAL AllocImageRecord(int64_t width, int64_t height, int bitCount, int colors) {
    // Colours-used 0 means the full table of the bit count: make room for it.
    int tableEntries = colors == 0 && bitCount <= 8 && bitCount > 0 ? 1 << bitCount : colors;
    uint64_t bytes = ImageBlockBytes(width, height, bitCount, tableEntries);
    if (bytes == 0) return nullptr;
    HGLOBAL image = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(bytes));
    if (!image) return nullptr;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    header->biSize = 40;
    header->biWidth = static_cast<LONG>(width);
    header->biHeight = static_cast<LONG>(height);
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bitCount);
    header->biCompression = BI_RGB;
    header->biClrUsed = static_cast<DWORD>(colors);
    GlobalUnlock(image);
    return image;
}

bool IsValidImageRecord(HGLOBAL image) {
    if (!image) return false;
    SIZE_T size = GlobalSize(image);
    if (size < 40) return false;
    const BITMAPINFOHEADER* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(image));
    if (!header) return false;
    bool ok = header->biSize == 40 && header->biWidth > 0 && header->biHeight > 0 &&
              header->biPlanes == 1 && header->biCompression == BI_RGB;
    int bits = header->biBitCount;
    ok = ok && (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
    if (ok) {
        if (bits <= 8)
            ok = header->biClrUsed <= (1u << bits);
        else
            ok = header->biClrUsed == 0;
    }
    if (ok) {
        uint64_t need = ImageBlockBytes(header->biWidth, header->biHeight, bits,
                                        bits <= 8 ? ImageColorCount(header) : 0);
        ok = need != 0 && need <= size;
    }
    GlobalUnlock(image);
    return ok;
}

void PackImageDepth(HGLOBAL* image) {
    if (!image || !*image) return;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(*image));
    if (!header) return;
    int source = header->biBitCount;
    int n = int(header->biClrUsed);
    if (n == 0 && source == 4) n = 16;
    if (n == 0 && source == 8) n = 256;
    bool pack = header->biHeight > 0 && header->biWidth > 0 &&
                ((source == 4 && n <= 2) || (source == 8 && n <= 16));
    if (!pack) {
        GlobalUnlock(*image);
        return;
    }
    int target = (source == 4 || header->biClrUsed == 2) ? 1 : 4;
    const uint64_t width = static_cast<uint64_t>(header->biWidth);
    const uint64_t sourceStride = ImageStride(header->biWidth, source);
    const uint64_t targetStride = ImageStride(header->biWidth, target);
    const uint64_t rows = static_cast<uint64_t>(header->biHeight);
    HGLOBAL rowBlock =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(targetStride));
    if (!rowBlock) {
        GlobalUnlock(*image);
        return;
    }
    BYTE* row = static_cast<BYTE*>(GlobalLock(rowBlock));
    BYTE* pixels = ImagePixels(header);
    // A record that does not hold all its rows is left alone rather than read past.
    uint64_t available = GlobalSize(*image) - static_cast<uint64_t>(pixels - (BYTE*)header);
    if (sourceStride * rows > available) {
        GlobalUnlock(rowBlock);
        GlobalFree(rowBlock);
        GlobalUnlock(*image);
        return;
    }
    header->biBitCount = static_cast<WORD>(target);
    const BYTE* in = pixels;
    BYTE* out = pixels;
    for (uint64_t y = 0; y < rows; y++) {
        std::memset(row, 0, targetStride);
        for (uint64_t x = 0; x < width; x++) {
            if (source == 8) {
                BYTE index = in[x];
                if (target == 4)
                    row[x / 2] |= (x & 1) ? (index & 0x0F) : BYTE((index & 0x0F) << 4);
                else if (index)
                    row[x / 8] |= BYTE(0x80 >> (x % 8));
            } else {
                BYTE pair = in[x / 2];
                BYTE nibble = (x & 1) ? (pair & 0x0F) : (pair >> 4);
                if (nibble) row[x / 8] |= BYTE(0x80 >> (x % 8));
            }
        }
        std::memcpy(out, row, targetStride);
        in += sourceStride;
        out += targetStride;
    }
    GlobalUnlock(rowBlock);
    GlobalFree(rowBlock);
    GlobalUnlock(*image);
}

HPALETTE CreateImagePalette(const BITMAPINFOHEADER* header) {
    if (header->biBitCount > 8) return nullptr;
    int n = ImageColorCount(header);
    if (n <= 0) return nullptr;
    BYTE storage[sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY)];
    LOGPALETTE* palette = reinterpret_cast<LOGPALETTE*>(storage);
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(n);
    const RGBQUAD* colors =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + 40);
    for (int i = 0; i < n; i++) {
        palette->palPalEntry[i].peRed = colors[i].rgbRed;
        palette->palPalEntry[i].peGreen = colors[i].rgbGreen;
        palette->palPalEntry[i].peBlue = colors[i].rgbBlue;
        palette->palPalEntry[i].peFlags = 0;
    }
    return CreatePalette(palette);
}

bool IsMonochromeImage(const BITMAPINFOHEADER* header) {
    if (header->biBitCount != 1) return false;
    // A 1-bit record with a single colour has no second entry to compare.
    if (header->biClrUsed == 1) return false;
    const BYTE* c = reinterpret_cast<const BYTE*>(header) + 40;
    auto is = [](const BYTE* q, BYTE v) { return q[0] == v && q[1] == v && q[2] == v; };
    return (is(c, 0) && is(c + 4, 255)) || (is(c, 255) && is(c + 4, 0));
}
