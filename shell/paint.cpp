// Drawing the current picture into the viewer and the full-screen window:
// the shared paint, drawing outside paints, and the palette reset.
#include "shell/shell.h"

#include "core/image.h"
#include "core/state.h"
#include "shell/geometry.h"
#include "tools/reduce.h"

void StretchPicture(HDC dc, BITMAPINFOHEADER* header, int x, int y, int w, int h) {
    StretchDIBits(dc, x, y, w, h, 0, 0, header->biWidth, header->biHeight, ImagePixels(header),
                  reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS, SRCCOPY);
}

HPALETTE SelectPicturePalette(HDC dc, BITMAPINFOHEADER* header, HPALETTE* previous) {
    *previous = nullptr;
    HPALETTE palette = CreateImagePalette(header);
    if (palette) {
        *previous = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
    }
    return palette;
}

void DeletePicturePalette(HDC dc, HPALETTE palette, HPALETTE previous) {
    if (!palette) return;
    SelectPalette(dc, previous, FALSE);
    DeleteObject(palette);
}

namespace {
// Copies of size w x h from the top left corner until the area is covered.
void DrawTiles(HDC dc, BITMAPINFOHEADER* header, int cw, int ch, int w, int h) {
    int rows = TileCopies(ch, h), columns = TileCopies(cw, w);
    for (int row = 0; row < rows; row++)
        for (int column = 0; column < columns; column++)
            StretchPicture(dc, header, column * w, row * h, w, h);
}

// The full-screen window shows the picture at its own size: centred, or at
// the scroll offsets along an axis with a bar.
void DrawFullScreen(HDC dc, BITMAPINFOHEADER* header, int cw, int ch) {
    int w = header->biWidth, h = header->biHeight, x, y;
    FullScreenScroll s =
        FullScreenScrollFor(w, h, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                            GetSystemMetrics(SM_CXVSCROLL), GetSystemMetrics(SM_CYHSCROLL));
    FullScreenOrigin(s.bars, w, h, cw, ch, g_fullOffsetX, g_fullOffsetY, &x, &y);
    StretchPicture(dc, header, x, y, w, h);
}

void PaintRaster(HDC dc, int cw, int ch, bool fullScreen) {
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(g_picture));
    if (!header) return;
    HPALETTE oldPalette;
    HPALETTE palette = SelectPicturePalette(dc, header, &oldPalette);
    int w = header->biWidth, h = header->biHeight, dw, dh;
    SetStretchBltMode(dc, COLORONCOLOR);
    if (fullScreen && (!g_tile || h > ch || w > cw)) {
        DrawFullScreen(dc, header, cw, ch);
    } else if (!g_tile) {
        FitByNinetenths(w, h, cw, ch, &dw, &dh);
        StretchPicture(dc, header, CentredOrigin(cw, dw), CentredOrigin(ch, dh), dw, dh);
    } else if (h > ch || w > cw) {
        FitByNinetenths(w, h, cw, ch, &dw, &dh);
        DrawTiles(dc, header, cw, ch, dw, dh);
    } else {
        DrawTiles(dc, header, cw, ch, w, h);
    }
    DeletePicturePalette(dc, palette, oldPalette);
    GlobalUnlock(g_picture);
}
} // namespace

void PaintPictureWindow(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    int cw = client.right, ch = client.bottom;
    if (window == g_viewerWindow) {
        RefreshMenuState();
        RECT area = {0, 0, cw + 1, ch + 1};
        FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    // Animations are drawn by their timer step.
    if (g_picture && g_viewKind == KIND_RASTER) PaintRaster(dc, cw, ch, window != g_viewerWindow);
    if (g_viewKind == KIND_WMF || g_viewKind == KIND_EMF) PaintMetafile(window, dc, cw, ch);
    EndPaint(window, &paint);
}

void DrawIntoWindow(BITMAPINFOHEADER* image, HWND window, HPALETTE palette, int placement,
                    bool showName) {
    if (!image) return;
    RECT client;
    GetClientRect(window, &client);
    int cw = client.right, ch = client.bottom;
    HDC dc = GetDC(window);
    HPALETTE oldPalette = nullptr;
    if (palette) {
        oldPalette = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
    }
    int w = image->biWidth, h = image->biHeight;
    if (placement == 0) {
        if (g_viewKind == KIND_ICON_CYCLE) {
            // The previous icon may be larger than this one.
            RECT square = {CentredOrigin(cw, 128), CentredOrigin(ch, 128), 0, 0};
            square.right = square.left + 128;
            square.bottom = square.top + 128;
            FillRect(dc, &square, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        }
        StretchPicture(dc, image, CentredOrigin(cw, w), CentredOrigin(ch, h), w, h);
        if (showName) {
            RECT box = {0, 0, 0, 0};
            DrawTextA(dc, g_fileName, -1, &box, DT_CALCRECT);
            int width = box.right - box.left;
            box.left = CentredOrigin(cw, width);
            box.right = box.left + width;
            DrawTextA(dc, g_fileName, -1, &box, DT_CENTER);
        }
    } else {
        DrawTiles(dc, image, cw, ch, w, h);
    }
    if (palette) SelectPalette(dc, oldPalette, FALSE);
    ReleaseDC(window, dc);
}

void ResetDisplayPalette(HWND window, int colors) {
    HDC dc = GetDC(window);
    RECT client;
    GetClientRect(window, &client);
    client.right++;
    client.bottom++;
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HGLOBAL block = AllocImageRecord(2, 2, 8, 256);
    BITMAPINFOHEADER* header = block ? static_cast<BITMAPINFOHEADER*>(GlobalLock(block)) : nullptr;
    if (header) {
        FillStandardPalette(colors, reinterpret_cast<RGBQUAD*>(header + 1));
        BYTE* pixels = ImagePixels(header);
        // Two rows of 4 bytes each (2 pixels padded).
        pixels[0] = pixels[1] = pixels[4] = pixels[5] = 255;
        HPALETTE palette = CreateImagePalette(header);
        if (palette) {
            HPALETTE old = SelectPalette(dc, palette, FALSE);
            RealizePalette(dc);
            SelectPalette(dc, old, FALSE);
            DeleteObject(palette);
        }
        GlobalUnlock(block);
    }
    if (block) GlobalFree(block);
    ReleaseDC(window, dc);
}

void TwipsPerPixelOf(HDC dc, int* x, int* y) {
    *x = TwipsPerPixel(GetDeviceCaps(dc, LOGPIXELSX));
    *y = TwipsPerPixel(GetDeviceCaps(dc, LOGPIXELSY));
}
