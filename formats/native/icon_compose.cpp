// Icon composition through GDI: a white surface, the mask drawn with AND, the
// colour image with XOR. The surface is a 32-bit device-independent bitmap,
// so the result is the same on every display and keeps every colour of the
// icon; the platform layer does the same off Windows.
#include "formats/native/icon.h"

#include "core/image.h"

#include <cstring>

namespace {
// A logical palette of 256 entries, all black, the first ones taken from a
// colour table of 8 bits or fewer.
HPALETTE CreateIconPalette(const BITMAPINFO* color) {
    const BITMAPINFOHEADER& h = color->bmiHeader;
    if (h.biBitCount > 8) return nullptr;
    struct {
        WORD version, entries;
        PALETTEENTRY colors[256];
    } palette = {};
    palette.version = 0x300;
    palette.entries = 256;
    unsigned n = h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount;
    if (n > 256) n = 256;
    const RGBQUAD* table =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(color) + 40);
    for (unsigned i = 0; i < n; i++) {
        palette.colors[i].peRed = table[i].rgbRed;
        palette.colors[i].peGreen = table[i].rgbGreen;
        palette.colors[i].peBlue = table[i].rgbBlue;
    }
    return CreatePalette(reinterpret_cast<const LOGPALETTE*>(&palette));
}
} // namespace

bool ComposeIconImage(HWND owner, const BITMAPINFO* color, const BYTE* colorBits,
                      const BITMAPINFO* mask, const BYTE* maskBits, BITMAPINFOHEADER* out) {
    const int width = color->bmiHeader.biWidth, height = color->bmiHeader.biHeight;
    HDC screen = GetDC(owner);
    HDC memory = screen ? CreateCompatibleDC(screen) : nullptr;
    HPALETTE palette = memory ? CreateIconPalette(color) : nullptr;
    HPALETTE oldPalette = nullptr;
    if (palette) {
        oldPalette = SelectPalette(memory, palette, FALSE);
        RealizePalette(memory);
    }
    BITMAPINFO surface = {};
    surface.bmiHeader.biSize = 40;
    surface.bmiHeader.biWidth = width;
    surface.bmiHeader.biHeight = height;
    surface.bmiHeader.biPlanes = 1;
    surface.bmiHeader.biBitCount = 32;
    void* surfaceBits = nullptr;
    HBITMAP bitmap =
        memory ? CreateDIBSection(screen, &surface, DIB_RGB_COLORS, &surfaceBits, nullptr, 0)
               : nullptr;
    bool done = false;
    if (bitmap) {
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        done = PatBlt(memory, 0, 0, width, height, WHITENESS) &&
               StretchDIBits(memory, 0, 0, width, height, 0, 0, width, height, maskBits, mask,
                             DIB_RGB_COLORS, SRCAND) > 0 &&
               StretchDIBits(memory, 0, 0, width, height, 0, 0, width, height, colorBits, color,
                             DIB_RGB_COLORS, SRCINVERT) > 0;
        GdiFlush();
        SelectObject(memory, oldBitmap);
        // Read back in the record's own format.
        done = done && GetDIBits(memory, bitmap, 0, UINT(height), ImagePixels(out),
                                 reinterpret_cast<BITMAPINFO*>(out), DIB_RGB_COLORS) > 0;
        DeleteObject(bitmap);
    }
    if (palette) {
        SelectPalette(memory, oldPalette, FALSE);
        DeleteObject(palette);
    }
    if (memory) DeleteDC(memory);
    if (screen) ReleaseDC(owner, screen);
    if (done && out->biBitCount == 32) {
        // The record's fourth bytes are reserved: zero, whatever the surface left there.
        BYTE* p = ImagePixels(out);
        for (int64_t i = 0; i < int64_t(width) * height; i++) p[4 * i + 3] = 0;
    }
    out->biSizeImage = 0;
    return done;
}
