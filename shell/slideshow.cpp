// The slideshow window ("Slide"): the files of the browser's list one after
// another, each fitted to the screen under its name, every 3 seconds.
#include "shell/shell.h"

#include "core/image.h"
#include "core/state.h"
#include "shell/geometry.h"

namespace {
void DrawRaster(HDC dc, int cw, int ch) {
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(g_picture));
    if (!header) return;
    HPALETTE oldPalette;
    HPALETTE palette = SelectPicturePalette(dc, header, &oldPalette);
    int dw, dh;
    FitByNinetenths(header->biWidth, header->biHeight, cw, ch, &dw, &dh);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchPicture(dc, header, CentredOrigin(cw, dw), CentredOrigin(ch, dh), dw, dh);
    DeletePicturePalette(dc, palette, oldPalette);
    GlobalUnlock(g_picture);
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    int cw = client.right, ch = client.bottom;
    RECT area = {0, 0, cw + 1, ch + 1};
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RECT name = {0, 0, 0, 0};
    DrawTextA(dc, g_fileName, -1, &name, DT_CALCRECT);
    int width = name.right - name.left;
    name.left = CentredOrigin(cw, width);
    name.right = name.left + width;
    // Animations are drawn by their timer step.
    if (g_picture && g_viewKind == KIND_RASTER) DrawRaster(dc, cw, ch);
    if (g_viewKind == KIND_WMF || g_viewKind == KIND_EMF)
        DrawSlideshowMetafile(window, dc, cw, ch, &name);
    // A Windows metafile's name was drawn with it.
    if (g_viewKind != KIND_WMF) DrawTextA(dc, g_fileName, -1, &name, DT_CENTER);
    g_direction = 1;
    g_monochromeTool = false;
    SetTimer(window, 0, 3000, nullptr);
    g_slideTimer = true;
    EndPaint(window, &paint);
}

void End(HWND window) {
    if (g_slideTimer) KillTimer(window, 0);
    g_slideTimer = false;
    DestroyWindow(window);
    g_slideWindow = nullptr;
    // The picture last shown stays current: the viewer and the preview show it.
    RedrawPictureWindows();
}
} // namespace

void OpenSlideshow() {
    g_slideWindow = CreateScreenWindow("Slide", "A", WS_POPUP | WS_VISIBLE);
}

LRESULT CALLBACK SlideshowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_TIMER:
        if (wParam != 0) break;
        LoadNeighbour(window, 0);
        return 0;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
        End(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
