// The two loads of the shell: the preview load of the browser dialog and the
// window load of Next File, Last File, Delete File and the slideshow.
#include "shell/shell.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "shell/resource.h"
#include "tools/display.h"

#include <cstdio>
#include <cstring>

int g_displayDepthOverride = 0;

int DisplayDepth(HDC dc) {
    if (g_displayDepthOverride) return g_displayDepthOverride;
    return GetDeviceCaps(dc, PLANES) * GetDeviceCaps(dc, BITSPIXEL);
}

void DrawPreviewFrame(HDC dc, int left, int top, int width, int height) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, left - 1, top - 1, width + 1, height + 1);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, left - 3, top - 3, width + 3, height + 3);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void DrawPreviewPicture(HDC dc) {
    if (!g_picture) return;
    SetStretchBltMode(dc, COLORONCOLOR);
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(g_picture));
    if (!header) return;
    HPALETTE oldPalette;
    HPALETTE palette = SelectPicturePalette(dc, header, &oldPalette);
    // Stretched to fill the square: the aspect ratio is not kept.
    StretchPicture(dc, header, g_previewLeft, g_previewTop, g_previewWidth, g_previewHeight);
    DeletePicturePalette(dc, palette, oldPalette);
    GlobalUnlock(g_picture);
}

namespace {
// The selected entry's text, or false when there is none or it does not fit.
bool SelectedName(HWND list, int index, char* out) {
    LRESULT length = SendMessageA(list, LB_GETTEXTLEN, WPARAM(index), 0);
    if (length == LB_ERR || length >= FILE_NAME_SIZE) return false;
    return SendMessageA(list, LB_GETTEXT, WPARAM(index), LPARAM(out)) != LB_ERR;
}

void StartAnimationTimer() {
    StartGifPlayback();
    if (g_viewKind != KIND_ICON_CYCLE && g_viewKind != KIND_ANI) return;
    SetTimer(g_dialog, 0, UINT(9 * g_frameDelay), nullptr);
    g_animationTimer = 1;
}

// The File Name box shows name; the previous text stays undoable.
void ShowInNameBox(const char* name) {
    HWND edit = GetDlgItem(g_dialog, IDC_FILE_NAME);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, EM_REPLACESEL, TRUE, LPARAM(name));
}
} // namespace

void ViewerCaption(char* out, size_t size) {
    if (!g_fileName[0]) {
        std::snprintf(out, size, "%s", "");
        return;
    }
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, SIZE_SUFFIX_FORMAT, (unsigned long long)g_fileSize);
    std::snprintf(out, size, "%s%s", g_fileName, suffix);
}

void LoadPreview(HWND dialog, int left, int top, int width, int height) {
    HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
    g_previewControl = preview;
    HDC dc = GetDC(preview);
    int depth = DisplayDepth(dc);
    g_displayDepth = depth;
    g_infoText[0] = 0;
    g_fullScreenRequest = false;
    DrawPreviewFrame(dc, left, top, width, height);

    HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
    LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
    char name[FILE_NAME_SIZE];
    if (selected == LB_ERR || !SelectedName(list, int(selected), name)) {
        // Nothing selected: the empty frame, no picture.
        g_fileName[0] = 0;
        g_viewKind = KIND_NONE;
        ReleaseDC(preview, dc);
        return;
    }
    std::memcpy(g_fileName, name, sizeof name);
    LoadPictureFile(g_fileName, preview, depth);
    AdaptToDisplay(LOAD_PREVIEW);
    if (g_viewKind == KIND_RASTER) DrawPreviewPicture(dc);
    // A metafile is drawn at once; an enhanced one writes its description.
    if (g_viewKind == KIND_WMF || g_viewKind == KIND_EMF) DrawPreviewMetafile(dc, g_infoText);
    ReleaseDC(preview, dc);
    StartAnimationTimer();
}

void LoadNeighbour(HWND target, int) {
    bool slideshow = target && target == g_slideWindow;
    if (slideshow) KillTimer(target, 0);
    ReleaseCurrentPicture();
    g_viewKind = KIND_NONE;
    g_infoText[0] = 0;
    g_orientation = 0;
    g_userModified = false;
    g_brightness = 0;

    HWND list = GetDlgItem(g_dialog, IDC_FILE_LIST);
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    LRESULT current = count > 0 ? SendMessageA(list, LB_GETCURSEL, 0, 0) : LB_ERR;
    char name[FILE_NAME_SIZE];
    bool have = false;
    if (count > 0 && current != LB_ERR) {
        LRESULT next = g_direction == 1 ? (current + 1) % count : (current + count - 1) % count;
        SendMessageA(list, LB_SETCURSEL, WPARAM(next), 0);
        have = SelectedName(list, int(next), name);
    }
    if (have) {
        std::memcpy(g_fileName, name, sizeof name);
        ShowInNameBox(g_fileName);
        g_fileSize = QueryFileSize(g_fileName);
        char caption[FILE_NAME_SIZE + 40];
        ViewerCaption(caption, sizeof caption);
        if (g_viewerWindow) SetWindowTextA(g_viewerWindow, caption);
        HDC dc = GetDC(target);
        int depth = DisplayDepth(dc);
        ReleaseDC(target, dc);
        LoadPictureFile(g_fileName, target, depth);
        AdaptToDisplay(LOAD_WINDOW);
        InvalidateRect(target, nullptr, TRUE);
        StartGifPlayback();
        if (g_viewKind == KIND_ICON_CYCLE || g_viewKind == KIND_ANI) {
            StartAnimationTimer();
            RefreshMenuState();
        }
    } else {
        g_viewKind = KIND_NONE;
        g_fileName[0] = 0;
        g_infoText[0] = 0;
        if (g_viewerWindow) SetWindowTextA(g_viewerWindow, g_fileName);
        ShowInNameBox("");
        InvalidateRect(target, nullptr, TRUE);
    }
    // The viewer behind a slideshow and the preview behind the viewer follow too.
    RedrawPictureWindows();
    if (slideshow) {
        g_direction = 1;
        SetTimer(target, 0, 3000, nullptr);
    }
}

void RedrawPictureWindows() {
    if (g_viewerWindow && IsWindow(g_viewerWindow)) InvalidateRect(g_viewerWindow, nullptr, TRUE);
    if (g_previewControl && IsWindow(g_previewControl))
        InvalidateRect(g_previewControl, nullptr, FALSE);
}
