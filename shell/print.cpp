// Printing the current picture on one page: the system's print dialog, one
// document, the picture drawn by whole-multiple scales.
#include "shell/shell.h"

#include "core/image.h"
#include "core/state.h"
#include "shell/geometry.h"
#include "tools/commands.h"

#include <cstring>

// The structure sizes as the 32-bit system defines them; the 64-bit build
// passes its own sizes of the same structures.
#ifndef _WIN64
static_assert(sizeof(PRINTDLGA) == 66, "PRINTDLGA layout");
#endif

namespace {
const char* DocumentName(int kind) {
    switch (kind) {
    case KIND_RASTER:
        return "Bitmap";
    case KIND_WMF:
    case KIND_EMF:
        return "MetaFile";
    case KIND_ICON_CYCLE:
        return "Icon";
    default:
        return "Animated cursor";
    }
}

bool Animated() {
    return g_viewKind == KIND_ICON_CYCLE || g_viewKind == KIND_ANI;
}

// A private copy of the shown frame, which the animation owns.
HGLOBAL CopyOfRecord(HGLOBAL source) {
    SIZE_T size = GlobalSize(source);
    void* from = size ? GlobalLock(source) : nullptr;
    if (!from) return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    void* to = copy ? GlobalLock(copy) : nullptr;
    if (to) {
        std::memcpy(to, from, size);
        GlobalUnlock(copy);
    } else if (copy) {
        GlobalFree(copy);
        copy = nullptr;
    }
    GlobalUnlock(source);
    return copy;
}
} // namespace

void PrintRasterPage(HDC dc, int pageW, int pageH, HGLOBAL record, bool large, bool tiled) {
    BITMAPINFOHEADER* header =
        record ? static_cast<BITMAPINFOHEADER*>(GlobalLock(record)) : nullptr;
    if (!header) return;
    HPALETTE oldPalette;
    HPALETTE palette = SelectPicturePalette(dc, header, &oldPalette);
    int w = header->biWidth, h = header->biHeight;
    PrintLayout p = RasterPrintLayout(pageW, pageH, w, h, large, tiled);
    for (int row = 0; row < p.rows; row++)
        for (int column = 0; column < p.columns; column++)
            StretchPicture(dc, header, p.x0 + column * p.tileW, p.y0 + row * p.tileH, p.tileW,
                           p.tileH);
    DeletePicturePalette(dc, palette, oldPalette);
    GlobalUnlock(record);
}

void PrintPicture(HWND owner, bool large, bool tiled) {
    bool metafile = g_viewKind == KIND_WMF || g_viewKind == KIND_EMF;
    if (!g_picture || !(g_viewKind == KIND_RASTER || metafile || Animated())) return;
    bool animated = Animated();
    if (animated && g_animationTimer) {
        KillTimer(g_dialog, 0);
        g_animationTimer = 0;
    }
    PRINTDLGA dialog;
    std::memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.Flags = PD_RETURNDC;
    PrintDlgA(&dialog);
    if (dialog.hDevMode) GlobalFree(dialog.hDevMode);
    if (dialog.hDevNames) GlobalFree(dialog.hDevNames);

    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    DOCINFOA document;
    std::memset(&document, 0, sizeof document);
    document.cbSize = sizeof document;
    document.lpszDocName = DocumentName(g_viewKind);
    if (dialog.hDC && StartDocA(dialog.hDC, &document) > 0) {
        StartPage(dialog.hDC);
        int pageW = GetDeviceCaps(dialog.hDC, HORZRES), pageH = GetDeviceCaps(dialog.hDC, VERTRES);
        if (metafile) {
            PrintMetafilePage(owner, dialog.hDC, pageW, pageH, large, tiled);
        } else {
            // The shown frame of an animation is copied: the timer may replace it.
            HGLOBAL record = animated ? CopyOfRecord(g_picture) : PictureToWrite();
            PrintRasterPage(dialog.hDC, pageW, pageH, record, large, tiled);
            if (animated && record) GlobalFree(record);
        }
        EndPage(dialog.hDC);
        EndDoc(dialog.hDC);
    }
    SetCursor(previous);
    if (dialog.hDC) DeleteDC(dialog.hDC);
    if (animated) {
        SetTimer(g_dialog, 0, UINT(9 * g_frameDelay), nullptr);
        g_animationTimer = 1;
    }
}
