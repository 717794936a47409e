// Memory device contexts and 32-bit device-independent bitmaps, with the
// raster operations the icon composition uses, as plain pixel work. Drawing
// is one-to-one only: a request that would stretch fails.
#define ZENDRA_PLATFORM_IMPL
#include "../win32.h"

#include <cstring>
#include <new>

struct BitmapObject {
    uint32_t magic;
    int width, height;
    uint32_t* pixels; // bottom row first, 0x00RRGGBB
};

struct HDC__ {
    uint32_t magic;
    BitmapObject* bitmap;
    HPALETTE palette;
};

namespace {
const uint32_t kBitmapMagic = 0x5A424D50;  // "ZBMP"
const uint32_t kContextMagic = 0x5A444358; // "ZDCX"
HDC__ g_screen = {kContextMagic, nullptr, nullptr};

bool IsContext(HDC dc) {
    return dc && dc->magic == kContextMagic;
}

uint64_t Stride(int64_t width, int bits) {
    return uint64_t((width * bits + 31) / 32) * 4;
}

uint32_t Rgb(BYTE r, BYTE g, BYTE b) {
    return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

// The colours of a source of up to 8 bits as 0x00RRGGBB, all 2^bits indices
// (those past the table black).
void SourceColours(const BITMAPINFO* info, uint32_t* colours) {
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const unsigned count = 1u << h.biBitCount;
    const unsigned entries = h.biClrUsed ? h.biClrUsed : count;
    for (unsigned i = 0; i < count; i++) {
        const RGBQUAD& c = info->bmiColors[i < entries ? i : 0];
        colours[i] = i < entries ? Rgb(c.rgbRed, c.rgbGreen, c.rgbBlue) : 0;
    }
}

// A source row of width pixels as 0x00RRGGBB; the depth is looked at once a
// row, not once a pixel.
void SourceRow(int bits, const uint32_t* colours, const BYTE* row, int width, uint32_t* out) {
    switch (bits) {
    case 1:
        for (int x = 0; x < width; x++) out[x] = colours[(row[x / 8] >> (7 - x % 8)) & 1];
        break;
    case 4:
        for (int x = 0; x < width; x++)
            out[x] = colours[x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4];
        break;
    case 8:
        for (int x = 0; x < width; x++) out[x] = colours[row[x]];
        break;
    case 16:
        for (int x = 0; x < width; x++, row += 2) {
            const unsigned v = row[0] | row[1] << 8;
            auto widen = [](unsigned five) { return BYTE(five << 3 | five >> 2); };
            out[x] = Rgb(widen(v >> 10 & 31), widen(v >> 5 & 31), widen(v & 31));
        }
        break;
    case 24:
    case 32: {
        const int step = bits / 8;
        for (int x = 0; x < width; x++, row += step) out[x] = Rgb(row[2], row[1], row[0]);
        break;
    }
    default:
        std::memset(out, 0, sizeof(uint32_t) * size_t(width));
        break;
    }
}
} // namespace

bool DeleteBitmapObject(HGDIOBJ object) {
    BitmapObject* bitmap = static_cast<BitmapObject*>(object);
    if (!bitmap || bitmap->magic != kBitmapMagic) return false;
    bitmap->magic = 0;
    delete[] bitmap->pixels;
    delete bitmap;
    return true;
}

HDC GetDC(HWND) {
    return &g_screen;
}
int ReleaseDC(HWND, HDC dc) {
    return dc == &g_screen ? 1 : 0;
}

HDC CreateCompatibleDC(HDC) {
    HDC__* dc = new (std::nothrow) HDC__();
    if (dc) dc->magic = kContextMagic;
    return dc;
}

BOOL DeleteDC(HDC dc) {
    if (!IsContext(dc) || dc == &g_screen) return FALSE;
    dc->magic = 0;
    delete dc;
    return TRUE;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL) {
    if (!IsContext(dc)) return nullptr;
    HPALETTE old = dc->palette;
    dc->palette = palette;
    return old;
}

UINT RealizePalette(HDC dc) {
    return IsContext(dc) && dc->palette ? GetPaletteEntries(dc->palette, 0, 0, nullptr) : 0;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
    if (bits) *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biBitCount != 32 || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight <= 0 ||
        int64_t(h.biWidth) * h.biHeight > (int64_t(1) << 28))
        return nullptr;
    BitmapObject* bitmap = new (std::nothrow) BitmapObject();
    if (!bitmap) return nullptr;
    bitmap->pixels = new (std::nothrow) uint32_t[size_t(h.biWidth) * size_t(h.biHeight)]();
    if (!bitmap->pixels) {
        delete bitmap;
        return nullptr;
    }
    bitmap->magic = kBitmapMagic;
    bitmap->width = h.biWidth;
    bitmap->height = h.biHeight;
    if (bits) *bits = bitmap->pixels;
    return bitmap;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (!IsContext(dc)) return nullptr;
    BitmapObject* bitmap = static_cast<BitmapObject*>(object);
    if (bitmap && bitmap->magic != kBitmapMagic) return nullptr;
    BitmapObject* old = dc->bitmap;
    dc->bitmap = bitmap;
    return old;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    if (!IsContext(dc) || !dc->bitmap || (rop != WHITENESS && rop != BLACKNESS)) return FALSE;
    BitmapObject* b = dc->bitmap;
    const uint32_t value = rop == WHITENESS ? 0xFFFFFFu : 0;
    // Device rows count from the top; the bitmap's from the bottom.
    for (int row = y < 0 ? 0 : y; row < y + height && row < b->height; row++)
        for (int col = x < 0 ? 0 : x; col < x + width && col < b->width; col++)
            b->pixels[size_t(b->height - 1 - row) * b->width + col] = value;
    return TRUE;
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY,
                  int sourceWidth, int sourceHeight, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop) {
    if (!IsContext(dc) || !dc->bitmap || !bits || !info || usage != DIB_RGB_COLORS) return 0;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    BitmapObject* b = dc->bitmap;
    // The whole of a bottom-up source, one to one, onto the whole surface.
    if (h.biCompression != BI_RGB || h.biHeight <= 0 || x != 0 || y != 0 || sourceX != 0 ||
        sourceY != 0 || width != h.biWidth || height != h.biHeight || sourceWidth != width ||
        sourceHeight != height || width != b->width || height != b->height)
        return 0;
    if (rop != SRCCOPY && rop != SRCAND && rop != SRCINVERT) return 0;
    const BYTE* source = static_cast<const BYTE*>(bits);
    const uint64_t stride = Stride(h.biWidth, h.biBitCount);
    uint32_t colours[256] = {0};
    if (h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8) SourceColours(info, colours);
    uint32_t* line = new (std::nothrow) uint32_t[size_t(width)];
    if (!line) return 0;
    for (int row = 0; row < height; row++) {
        uint32_t* to = b->pixels + size_t(row) * b->width;
        SourceRow(h.biBitCount, colours, source + stride * uint64_t(row), width,
                  rop == SRCCOPY ? to : line);
        if (rop == SRCAND)
            for (int col = 0; col < width; col++) to[col] &= line[col];
        else if (rop == SRCINVERT)
            for (int col = 0; col < width; col++) to[col] ^= line[col];
    }
    delete[] line;
    return height;
}

int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage) {
    if (!IsContext(dc) || !bitmap || bitmap->magic != kBitmapMagic || !bits || !info ||
        usage != DIB_RGB_COLORS)
        return 0;
    BITMAPINFOHEADER& h = info->bmiHeader;
    const int bitCount = h.biBitCount;
    if ((bitCount != 16 && bitCount != 24 && bitCount != 32) || h.biCompression != BI_RGB ||
        h.biWidth != bitmap->width || h.biHeight <= 0 || start >= UINT(bitmap->height))
        return 0;
    if (lines > UINT(bitmap->height) - start) lines = UINT(bitmap->height) - start;
    const uint64_t stride = Stride(h.biWidth, bitCount);
    for (UINT row = 0; row < lines; row++) {
        BYTE* to = static_cast<BYTE*>(bits) + stride * row;
        std::memset(to, 0, size_t(stride));
        const uint32_t* from = bitmap->pixels + size_t(start + row) * bitmap->width;
        for (int col = 0; col < bitmap->width; col++) {
            const uint32_t p = from[col];
            const BYTE r = BYTE(p >> 16), g = BYTE(p >> 8), b = BYTE(p);
            if (bitCount == 16) {
                unsigned v = unsigned(r >> 3) << 10 | unsigned(g >> 3) << 5 | unsigned(b >> 3);
                to[2 * col] = BYTE(v);
                to[2 * col + 1] = BYTE(v >> 8);
            } else {
                BYTE* q = to + (bitCount / 8) * col;
                q[0] = b;
                q[1] = g;
                q[2] = r;
            }
        }
    }
    h.biSizeImage = DWORD(stride * bitmap->height);
    return int(lines);
}

BOOL GdiFlush() {
    return TRUE;
}
