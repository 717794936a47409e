// Drawing the current metafile: into the preview square, the viewer and the
// full-screen window (centred or tiled), the slideshow, and a printer page.
// Placeable Windows metafiles are scaled through an anisotropic viewport,
// plain ones play in their own mapping at the origin, enhanced ones play
// into a rectangle with their palette.
#include "shell/shell.h"

#include "core/state.h"
#include "metafile/metafile.h"
#include "shell/geometry.h"

namespace {
HMETAFILE WindowsMetafile() {
    return reinterpret_cast<HMETAFILE>(g_picture);
}
HENHMETAFILE EnhancedMetafile() {
    return reinterpret_cast<HENHMETAFILE>(g_picture);
}

// The enhanced metafile's bounds, recorded in the metafile frame, and its
// description written again, by playing it without a device context.
void RefreshEnhancedBounds(int* w, int* h) {
    MetafileRect bounds = {};
    PlayEnhancedMetafile(nullptr, EnhancedMetafile(), MetafileRect{}, g_infoText, &bounds);
    g_metafileFrame = PictureFrame{bounds.left, bounds.top, bounds.right, bounds.bottom};
    *w = MetafileExtent(bounds.left, bounds.right);
    *h = MetafileExtent(bounds.top, bounds.bottom);
}

void PlayEnhancedAt(HDC dc, int left, int top, int w, int h) {
    PlayEnhancedMetafile(dc, EnhancedMetafile(), MetafileRect{left, top, left + w - 1, top + h - 1},
                         nullptr, nullptr);
}

// The palette selected (foreground), realised when asked; null when none.
HPALETTE SelectMetafilePalette(HDC dc, bool realise, HPALETTE* previous) {
    *previous = nullptr;
    HPALETTE palette = CreateMetafilePalette(EnhancedMetafile());
    if (palette) {
        *previous = SelectPalette(dc, palette, FALSE);
        if (realise) RealizePalette(dc);
    }
    return palette;
}

// The placeable metafile's size in pixels of dc, from its frame.
void NaturalSize(HDC dc, uint32_t* w, uint32_t* h) {
    int tx, ty;
    TwipsPerPixelOf(dc, &tx, &ty);
    *w = MetafileNaturalSize(g_metafileFrame.left, g_metafileFrame.right, tx, g_unitsPerInch);
    *h = MetafileNaturalSize(g_metafileFrame.top, g_metafileFrame.bottom, ty, g_unitsPerInch);
}

// A grid of whole enhanced copies of w x h centred in availW x availH.
void PlayEnhancedTiles(HDC dc, int availW, int availH, int w, int h) {
    MetafileGrid g = MetafileTileGrid(uint32_t(availW), uint32_t(availH), uint32_t(w), uint32_t(h));
    for (uint32_t row = 0; row < g.rows; row++)
        for (uint32_t column = 0; column < g.columns; column++)
            PlayEnhancedAt(dc, g.x0 + int(column) * w, g.y0 + int(row) * h, w, h);
}
} // namespace

void DrawMetafileFitted(HWND window, HDC dc, uint32_t availW, uint32_t availH, uint32_t x,
                        uint32_t y, bool tile) {
    int oldMode = GetMapMode(dc);
    FitMetafileByNinetenths(&x, &y, availW, availH);
    SetMapMode(dc, MM_ANISOTROPIC);
    SIZE oldExtent;
    POINT oldOrigin;
    SetViewportExtEx(dc, int(x), int(y), &oldExtent);
    GetViewportOrgEx(dc, &oldOrigin);
    if (!tile) {
        SetViewportOrgEx(dc, int((availW - x) / 2), int((availH - y) / 2), nullptr);
        PlayWindowsMetafile(window, dc, WindowsMetafile());
    } else {
        MetafileGrid g = MetafileTileGrid(availW, availH, x, y);
        for (uint32_t row = 0; row < g.rows; row++)
            for (uint32_t column = 0; column < g.columns; column++) {
                SetViewportOrgEx(dc, g.x0 + int(column * x), g.y0 + int(row * y), nullptr);
                PlayWindowsMetafile(window, dc, WindowsMetafile());
            }
    }
    SetViewportOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    SetViewportExtEx(dc, oldExtent.cx, oldExtent.cy, nullptr);
    SetMapMode(dc, oldMode);
}

void DrawPreviewMetafile(HDC dc, char* text) {
    if (!g_picture) return;
    int left = g_previewLeft, top = g_previewTop, width = g_previewWidth, height = g_previewHeight;
    if (g_viewKind == KIND_WMF && g_placeable) {
        // Scaled into the square, aspect ratio not kept.
        int oldMode = GetMapMode(dc);
        SetMapMode(dc, MM_ANISOTROPIC);
        SetViewportExtEx(dc, width, height, nullptr);
        SetViewportOrgEx(dc, left, top, nullptr);
        PlayWindowsMetafile(g_previewControl, dc, WindowsMetafile());
        SetMapMode(dc, oldMode);
        SetViewportOrgEx(dc, 0, 0, nullptr);
    } else if (g_viewKind == KIND_WMF) {
        // Its own records decide the mapping; only the origin moves.
        SetViewportOrgEx(dc, left, top, nullptr);
        PlayWindowsMetafile(g_previewControl, dc, WindowsMetafile());
        SetViewportOrgEx(dc, 0, 0, nullptr);
    } else if (g_viewKind == KIND_EMF) {
        HPALETTE previous;
        HPALETTE palette = SelectMetafilePalette(dc, true, &previous);
        PlayEnhancedMetafile(dc, EnhancedMetafile(), MetafileRect{left, top, width, height}, text,
                             nullptr);
        if (palette) {
            SelectPalette(dc, previous, FALSE);
            DeleteObject(palette);
        }
    }
}

void PaintMetafile(HWND window, HDC dc, int cw, int ch) {
    if (!g_picture) return;
    if (g_viewKind == KIND_WMF && g_placeable) {
        uint32_t w, h;
        NaturalSize(dc, &w, &h);
        DrawMetafileFitted(window, dc, uint32_t(cw) + 1, uint32_t(ch) + 1, w, h, g_tile);
    } else if (g_viewKind == KIND_WMF) {
        PlayWindowsMetafile(window, dc, WindowsMetafile());
    } else if (g_viewKind == KIND_EMF) {
        int w, h;
        RefreshEnhancedBounds(&w, &h);
        FitByNinetenths(w, h, cw, ch, &w, &h);
        HPALETTE previous;
        HPALETTE palette = SelectMetafilePalette(dc, false, &previous);
        if (!g_tile)
            PlayEnhancedAt(dc, CentredOrigin(cw, w), CentredOrigin(ch, h), w, h);
        else
            PlayEnhancedTiles(dc, cw, ch, w, h);
        if (palette) {
            SelectPalette(dc, previous, FALSE);
            DeleteObject(palette);
        }
    }
}

void DrawSlideshowMetafile(HWND window, HDC dc, int cw, int ch, RECT* name) {
    if (g_viewKind == KIND_WMF && g_placeable) {
        DrawTextA(dc, g_fileName, -1, name, DT_CENTER);
        if (!g_picture) return;
        uint32_t w, h;
        NaturalSize(dc, &w, &h);
        DrawMetafileFitted(window, dc, uint32_t(cw) + 1, uint32_t(ch) + 1, w, h, false);
    } else if (g_viewKind == KIND_WMF) {
        if (g_picture) PlayWindowsMetafile(window, dc, WindowsMetafile());
        DrawTextA(dc, g_fileName, -1, name, DT_CENTER);
    } else if (g_viewKind == KIND_EMF && g_picture) {
        int w, h;
        RefreshEnhancedBounds(&w, &h);
        FitByNinetenths(w, h, cw, ch, &w, &h);
        HPALETTE previous;
        HPALETTE palette = SelectMetafilePalette(dc, true, &previous);
        PlayEnhancedAt(dc, CentredOrigin(cw, w), CentredOrigin(ch, h), w, h);
        if (palette) {
            SelectPalette(dc, previous, FALSE);
            DeleteObject(palette);
        }
    }
}

void PrintMetafilePage(HWND owner, HDC dc, int pageW, int pageH, bool large, bool tiled) {
    if (!g_picture) return;
    uint32_t W = uint32_t(pageW), H = uint32_t(pageH);
    if (g_viewKind == KIND_WMF && g_placeable) {
        uint32_t w, h;
        NaturalSize(dc, &w, &h);
        if (large) GrowMetafileByTenninths(&w, &h, W, H);
        FitMetafileByNinetenths(&w, &h, W + 1, H + 1);
        DrawMetafileFitted(owner, dc, W + 1, H + 1, w, h, tiled);
    } else if (g_viewKind == KIND_WMF) {
        PlayWindowsMetafile(owner, dc, WindowsMetafile());
    } else if (g_viewKind == KIND_EMF) {
        int bw, bh;
        RefreshEnhancedBounds(&bw, &bh);
        // Twice the size in screen units.
        uint32_t w = 2u * uint32_t(bw), h = 2u * uint32_t(bh);
        if (large) GrowMetafileByTenninths(&w, &h, W, H);
        FitMetafileByNinetenths(&w, &h, W + 1, H + 1);
        HPALETTE previous;
        HPALETTE palette = SelectMetafilePalette(dc, false, &previous);
        if (!tiled)
            PlayEnhancedAt(dc, int((W - w) / 2), int((H - h) / 2), int(w), int(h));
        else
            PlayEnhancedTiles(dc, pageW, pageH, int(w), int(h));
        if (palette) SelectPalette(dc, previous, FALSE);
        if (palette) DeleteObject(palette);
    }
}
