// The viewer window ("Meta"): opening and closing rules and its command table.
#include "shell/shell.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "shell/about_text.h"
#include "shell/resource.h"
#include "tools/commands.h"
#include "tools/reduce.h"
#include "tools/writers.h"

#include <cstdio>
#include <cstring>
#include <cstdlib>

namespace {
void ClearNameBox() {
    HWND edit = GetDlgItem(g_dialog, IDC_FILE_NAME);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SendMessageA(edit, EM_REPLACESEL, TRUE, LPARAM(""));
}

// The Tools commands repaint the viewer through this, erasing what a smaller
// picture no longer covers. Without a viewer there is nothing to repaint (an
// absent window would mean every window to the system).
void RepaintViewerWindow() {
    if (g_viewerWindow) InvalidateRect(g_viewerWindow, nullptr, TRUE);
}

void Opening(HWND window) {
    g_viewerWindow = window;
    SetViewerRepaint(RepaintViewerWindow);
    if (g_displayDepth == 8) {
        if (g_original) {
            if (g_picture) GlobalFree(g_picture);
            g_picture = g_original;
            g_original = nullptr;
        }
        if (g_viewKind == KIND_RASTER && g_bitCount > 8)
            ReduceColors(&g_picture, &g_original, REDUCE_BEST_256, g_viewKind, true);
    }
    g_monochromeTool = false;
}

void Closing(HWND window) {
    WinHelpA(window, HelpFilePath(), HELP_QUIT, 0);
    if (g_original) {
        if (g_picture) GlobalFree(g_picture);
        g_picture = g_original;
        g_original = nullptr;
        g_brightness = 0;
    } else if (g_brightness != 0) {
        ResetBrightness();
    }
    RestorePictureForPreview();
    if (g_viewerWindow == window) g_viewerWindow = nullptr;
}

void CloseViewer(HWND window) {
    ResetDisplayPalette(window, 256);
    DestroyWindow(window);
    g_viewerWindow = nullptr;
}

void StepToNeighbour(HWND window, int direction) {
    g_direction = direction;
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    LoadNeighbour(window, 0);
    SetCursor(previous);
}

void DeleteFile(HWND window) {
    char text[FILE_NAME_SIZE + 64];
    std::snprintf(text, sizeof text, "Are you sure? \n\n\nDelete File %s?", g_fileName);
    if (MessageBoxA(window, text, " CONFIRM DELETE FILE ", MB_ICONWARNING | MB_YESNOCANCEL) !=
        IDYES)
        return;
    HWND list = GetDlgItem(g_dialog, IDC_FILE_LIST);
    LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
    bool animated = g_viewKind == KIND_ICON_CYCLE || g_viewKind == KIND_ANI;
    if (animated) {
        KillTimer(g_dialog, 0);
        g_animationTimer = 0;
    }
    if (g_openFile != HFILE_ERROR) {
        _lclose(g_openFile);
        g_openFile = HFILE_ERROR;
    }
    _fcloseall();
    SetFileAttributesA(g_fileName, FILE_ATTRIBUTE_ARCHIVE);
    if (std::remove(g_fileName) != 0) {
        MessageBoxA(window, "Unable to Delete File", nullptr, MB_OK);
        if (animated) {
            if (g_viewKind == KIND_ICON_CYCLE) g_openFile = _lopen(g_fileName, OF_READ);
            SetTimer(g_dialog, 0, UINT(9 * g_frameDelay), nullptr);
            g_animationTimer = 1;
        }
        return;
    }
    ReleaseCurrentPicture();
    g_viewKind = KIND_DELETED;
    g_infoText[0] = 0;
    g_fileName[0] = 0;
    if (selected != LB_ERR) SendMessageA(list, LB_DELETESTRING, WPARAM(selected), 0);
    ClearNameBox();
    LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    if (count > 0) {
        // One before the deleted entry, so that the next step shows its follower.
        LRESULT before = selected > 0 ? selected - 1 : count - 1;
        SendMessageA(list, LB_SETCURSEL, WPARAM(before), 0);
        StepToNeighbour(window, 1);
    } else {
        DestroyWindow(window);
        g_viewerWindow = nullptr;
        RedrawPictureWindows(); // the empty frame
    }
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        char line[100];
        AboutViewsLine(FormatIsRead, line, sizeof line);
        SetDlgItemTextA(dialog, IDC_ABOUT_VIEWS, line);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE;
}

void ToggleTile(HWND window) {
    g_tile = !g_tile;
    MENUITEMINFOA item;
    std::memset(&item, 0, sizeof item);
    item.cbSize = sizeof item;
    item.fMask = MIIM_STRING;
    item.dwTypeData = const_cast<char*>(g_tile ? "&Center" : "&Tile");
    SetMenuItemInfoA(GetMenu(window), 2, TRUE, &item);
    InvalidateRect(window, nullptr, FALSE);
    DrawMenuBar(window);
}

// The Convert/Save commands are the format table's writer entries. The GIF
// commands have none: they have no action.
bool RunSaveCommand(HWND window, int id) {
    const WriterEntry* entry = WriterOfCommand(id);
    if (!entry) return false;
    ConvertAndSave(PictureToWrite(), window, g_viewKind, g_fileName, entry->format, g_dialog,
                   entry->option1, entry->option2);
    return true;
}

void Command(HWND window, int id) {
    switch (id) {
    case CM_CLOSE_FILE:
        CloseViewer(window);
        return;
    case CM_DELETE_FILE:
        DeleteFile(window);
        return;
    case CM_ABOUT:
        DialogBoxParamA(g_instance, "ABOUT", window, AboutProc, 0);
        return;
    case CM_FILE_INFO:
        MessageBoxA(window, g_infoText, g_fileName, MB_ICONINFORMATION);
        return;
    case CM_CENTER_TILE:
        ToggleTile(window);
        return;
    case CM_FULL_SCREEN:
        if (g_picture) OpenFullScreen();
        return;
    case CM_SLIDESHOW:
        OpenSlideshow();
        return;
    case CM_NEXT_FILE:
        StepToNeighbour(window, 1);
        return;
    case CM_LAST_FILE:
        StepToNeighbour(window, 0);
        return;
    case CM_PRINT_NORMAL:
    case CM_PRINT_LARGE:
    case CM_PRINT_TILED:
        PrintPicture(window, id == CM_PRINT_LARGE, id == CM_PRINT_TILED);
        return;
    case CM_HELP:
        WinHelpA(window, HelpFilePath(), HELP_FINDER, 0);
        return;
    }
    if (RunSaveCommand(window, id)) return;
    if (RunToolCommand(id)) InvalidateRect(window, nullptr, FALSE);
}
} // namespace

void OpenViewer(const char* caption) {
    // At most one viewer: a second CENTER or TILE replaces the open one.
    if (g_viewerWindow && IsWindow(g_viewerWindow)) DestroyWindow(g_viewerWindow);
    CreateScreenWindow("Meta", caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
}

HWND CreateScreenWindow(const char* className, const char* caption, DWORD style) {
    return CreateWindowExA(0, className, caption, style, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                           GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, g_instance, nullptr);
}

void RestorePictureForPreview() {
    if (g_viewKind == KIND_RASTER && g_picture) {
        RestoreOrientation(&g_picture, &g_orientation);
        bool pureBlackAndWhite = g_colorsUsed == 1 && g_bitCount == 1;
        if (g_displayDepth <= 8 && !pureBlackAndWhite)
            ReduceColors(&g_picture, &g_original, REDUCE_STANDARD_256, g_viewKind, false);
    }
    g_orientation = 0;
    g_userModified = false;
}

LRESULT CALLBACK ViewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        Opening(window);
        return 0;
    case WM_DESTROY:
        Closing(window);
        return 0;
    case WM_PAINT:
        PaintPictureWindow(window);
        return 0;
    case WM_CLOSE:
        ResetDisplayPalette(window, 256);
        DestroyWindow(window);
        return 0;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
        CloseViewer(window);
        return 0;
    case WM_COMMAND:
        Command(window, LOWORD(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
