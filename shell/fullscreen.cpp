// The full-screen window ("Full"): the picture at its own size, scrolled by
// its bars and the keyboard when it is larger than the screen.
#include "shell/shell.h"

#include "core/image.h"
#include "core/state.h"
#include "shell/geometry.h"
#include "tools/reduce.h"

#include <climits>

namespace {
FullScreenScroll ScrollForPicture() {
    FullScreenScroll none = {SCROLL_NONE, 0, 0};
    if (g_viewKind != KIND_RASTER || !g_picture) return none;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(g_picture));
    if (!header) return none;
    FullScreenScroll s =
        FullScreenScrollFor(header->biWidth, header->biHeight, GetSystemMetrics(SM_CXSCREEN),
                            GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CXVSCROLL),
                            GetSystemMetrics(SM_CYHSCROLL));
    GlobalUnlock(g_picture);
    return s;
}

void Opening() {
    if (g_viewerWindow && IsWindow(g_viewerWindow)) return; // the viewer's picture as it is
    if (g_displayDepth != 8 || !g_original) return;
    if (g_picture) GlobalFree(g_picture);
    g_picture = g_original;
    g_original = nullptr;
    if (g_viewKind == KIND_RASTER && g_bitCount > 8)
        ReduceColors(&g_picture, &g_original, REDUCE_BEST_256, g_viewKind, true);
}

void Closing(HWND window) {
    if (g_fullWindow == window) g_fullWindow = nullptr;
    if (g_viewerWindow && IsWindow(g_viewerWindow)) return;
    if (g_original) {
        if (g_picture) GlobalFree(g_picture);
        g_picture = g_original;
        g_original = nullptr;
    }
    RestorePictureForPreview();
}

void Close(HWND window) {
    g_fullScreenRequest = false;
    g_fullOffsetX = g_fullOffsetY = 0;
    ResetDisplayPalette(window, 256);
    DestroyWindow(window);
    g_fullWindow = nullptr;
}

void ShowOffset(HWND window, bool vertical) {
    InvalidateRect(window, nullptr, FALSE);
    SetScrollPos(window, vertical ? SB_VERT : SB_HORZ, -(vertical ? g_fullOffsetY : g_fullOffsetX),
                 TRUE);
}

void Scroll(HWND window, bool vertical, WPARAM wParam) {
    int code = LOWORD(wParam), position = HIWORD(wParam);
    int maximum = vertical ? g_fullMaxY : g_fullMaxX;
    if ((code == SB_THUMBTRACK || code == SB_THUMBPOSITION) && maximum > 0xFFFF) {
        // The message carries 16 bits of the thumb's position; the bar has all of them.
        SCROLLINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        if (GetScrollInfo(window, vertical ? SB_VERT : SB_HORZ, &info)) position = info.nTrackPos;
    }
    int& offset = vertical ? g_fullOffsetY : g_fullOffsetX;
    offset = ScrolledOffset(code, vertical, offset, maximum, position);
    ShowOffset(window, vertical);
}

// What is left of a wheel notch on each axis (fine-grained wheels send less).
int g_wheelRemainder[2] = {0, 0};

// The wheel scrolls like the arrow keys, by the system's lines a notch (a
// screenful when it is set to pages); delta > 0 scrolls towards the start.
void Wheel(HWND window, bool vertical, int delta) {
    UINT lines = 3;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == WHEEL_PAGESCROLL || lines > 10000) {
        RECT client;
        GetClientRect(window, &client);
        lines = UINT((vertical ? client.bottom : client.right) / 8);
    }
    int& offset = vertical ? g_fullOffsetY : g_fullOffsetX;
    offset = WheelScrolledOffset(offset, vertical ? g_fullMaxY : g_fullMaxX, delta, int(lines),
                                 &g_wheelRemainder[vertical ? 1 : 0]);
    ShowOffset(window, vertical);
}

void Key(HWND window, WPARAM key) {
    struct {
        WPARAM key;
        int vertical, horizontal; // scroll codes, -1 for none
    } const keys[] = {
        {VK_PRIOR, SB_PAGEUP, -1},   {VK_NEXT, SB_PAGEDOWN, -1}, {VK_END, SB_BOTTOM, SB_BOTTOM},
        {VK_HOME, SB_TOP, SB_TOP},   {VK_LEFT, -1, SB_LINEUP},   {VK_UP, SB_LINEUP, -1},
        {VK_RIGHT, -1, SB_LINEDOWN}, {VK_DOWN, SB_LINEDOWN, -1},
    };
    for (const auto& k : keys) {
        if (k.key != key) continue;
        if (k.vertical >= 0) SendMessageA(window, WM_VSCROLL, WPARAM(k.vertical), 0);
        if (k.horizontal >= 0) SendMessageA(window, WM_HSCROLL, WPARAM(k.horizontal), 0);
        return;
    }
    Close(window);
}
} // namespace

void OpenFullScreen() {
    FullScreenScroll s = ScrollForPicture();
    DWORD style = WS_POPUP | WS_VISIBLE;
    if (s.bars & SCROLL_VERTICAL) style |= WS_VSCROLL;
    if (s.bars & SCROLL_HORIZONTAL) style |= WS_HSCROLL;
    g_fullOffsetX = g_fullOffsetY = 0;
    g_wheelRemainder[0] = g_wheelRemainder[1] = 0;
    g_fullMaxX = s.hMax;
    g_fullMaxY = s.vMax;
    HWND window = CreateScreenWindow("Full", "A", style);
    g_fullWindow = window;
    if (!window) return;
    if (s.bars & SCROLL_VERTICAL) {
        SetScrollRange(window, SB_VERT, 0, s.vMax, FALSE);
        SetScrollPos(window, SB_VERT, 0, TRUE);
    }
    if (s.bars & SCROLL_HORIZONTAL) {
        SetScrollRange(window, SB_HORZ, 0, s.hMax, FALSE);
        SetScrollPos(window, SB_HORZ, 0, TRUE);
    }
}

LRESULT CALLBACK FullScreenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        Opening();
        return 0;
    case WM_DESTROY:
        Closing(window);
        return 0;
    case WM_PAINT:
        PaintPictureWindow(window);
        return 0;
    case WM_KEYDOWN:
        Key(window, wParam);
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
        Scroll(window, message == WM_VSCROLL, wParam);
        return 0;
    case WM_MOUSEWHEEL:
        // Shift turns the wheel sideways.
        Wheel(window, !(GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT), GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_MOUSEHWHEEL:
        // Tilted right (positive) moves towards the right edge.
        Wheel(window, false, -GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_LBUTTONDOWN:
        Close(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
