// The hook procedure of the browser dialog: the program's main switch.
#include "shell/shell.h"

#include "core/state.h"
#include "shell/resource.h"

#include <algorithm>
#include <cstring>

bool g_firstDialogInit = true;
int g_direction = 1;

namespace {
HBRUSH g_backgroundBrush = nullptr;
const COLORREF kBackground = RGB(192, 192, 192);
int g_previewToggle = 0;

void RegisterWindowClasses(HINSTANCE instance) {
    WNDCLASSA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));

    wc.lpfnWndProc = ViewerProc;
    wc.hIcon = LoadIconA(instance, "Icon1");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszMenuName = "Menu";
    wc.lpszClassName = "Meta";
    RegisterClassA(&wc);

    // Full screen and slideshow have no icon, cursor or menu of their own.
    wc.lpfnWndProc = FullScreenProc;
    wc.hIcon = nullptr;
    wc.hCursor = nullptr;
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = "Full";
    RegisterClassA(&wc);
    wc.lpfnWndProc = SlideshowProc;
    wc.lpszClassName = "Slide";
    RegisterClassA(&wc);
}

void RedrawPreview(HWND control) {
    HDC dc = GetDC(control);
    DrawPreviewFrame(dc, g_previewLeft, g_previewTop, g_previewWidth, g_previewHeight);
    // Animations are drawn by their timer step.
    if (g_viewKind == KIND_RASTER) DrawPreviewPicture(dc);
    if (g_viewKind == KIND_WMF || g_viewKind == KIND_EMF) DrawPreviewMetafile(dc, nullptr);
    ReleaseDC(control, dc);
}

// The preview is drawn on every second colour request of its button, which
// on Windows follows the button's own painting.
UINT_PTR ColourButton(HWND dialog, HWND control) {
    HBRUSH nullBrush = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    if (control != GetDlgItem(dialog, IDC_PREVIEW)) return UINT_PTR(nullBrush);
    g_previewToggle = (g_previewToggle - 1) & 1;
    if (g_previewToggle == 1) return UINT_PTR(g_backgroundBrush);
    RedrawPreview(control);
    return UINT_PTR(nullBrush);
}

// Wine's buttons paint their face after the colour request, over the preview;
// drawing again once the button's own paint is done keeps the picture on
// every system.
WNDPROC g_buttonProc = nullptr;
LRESULT CALLBACK PreviewProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(g_buttonProc, control, message, wParam, lParam);
    if (message == WM_PAINT) RedrawPreview(control);
    return result;
}

UINT_PTR InitDialog(HWND dialog) {
    FitPreviewSquare(dialog);
    g_previewLeft = 0;
    g_previewTop = 0;
    g_previewWidth = 320;
    g_previewHeight = 320;
    HWND readOnly = GetDlgItem(dialog, IDC_READ_ONLY);
    EnableWindow(readOnly, FALSE);
    SetWindowPos(readOnly, nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    if (!g_backgroundBrush) g_backgroundBrush = CreateSolidBrush(kBackground);
    if (!g_firstDialogInit) return 1;
    g_firstDialogInit = false;

    // The name the entry point found on the command line outlives the reset.
    char commandLineName[FILE_NAME_SIZE];
    std::memcpy(commandLineName, g_fileName, sizeof commandLineName);
    InitImageState();
    std::memcpy(g_fileName, commandLineName, sizeof commandLineName);
    g_viewKind = KIND_NONE;
    RegisterWindowClasses(g_instance);
    g_dialog = dialog;
    g_previewControl = GetDlgItem(dialog, IDC_PREVIEW);
    g_previewToggle = 0;
    HWND preview = g_previewControl;
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(preview, GWLP_WNDPROC)) != PreviewProc)
        g_buttonProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(preview, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviewProc)));
    if (!g_fileName[0]) return 1;
    HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
    SendMessageA(list, LB_SELECTSTRING, WPARAM(-1), LPARAM(g_fileName));
    SetFocus(list);
    PostMessageA(dialog, WM_COMMAND, IDC_CONFIRM, 0);
    return 0;
}

void Exit(HWND dialog) {
    WinHelpA(dialog, HelpFilePath(), HELP_QUIT, 0);
    ReleaseCurrentPicture();
    g_viewKind = KIND_NONE;
    if (g_backgroundBrush) DeleteObject(g_backgroundBrush);
    g_backgroundBrush = nullptr;
    ResetDisplayPalette(dialog, 256);
    EndDialog(dialog, 1);
    PostQuitMessage(0);
}

UINT_PTR Command(HWND dialog, WPARAM id) {
    switch (id) {
    case IDC_CONFIRM:
        ReleaseCurrentPicture();
        LoadPreview(dialog, g_previewLeft, g_previewTop, g_previewWidth, g_previewHeight);
        return 1;
    case IDC_EXIT:
        Exit(dialog);
        return 1;
    case IDC_TILE: {
        WinHelpA(dialog, HelpFilePath(), HELP_QUIT, 0);
        g_tile = true;
        OpenViewer(g_fileName);
        return 1;
    }
    case IDC_FULL_SCREEN:
    case IDC_CENTER:
        if (id == IDC_FULL_SCREEN) g_fullScreenRequest = true;
        WinHelpA(dialog, HelpFilePath(), HELP_QUIT, 0);
        g_tile = false;
        if (g_fullScreenRequest) {
            OpenFullScreen();
        } else {
            char caption[FILE_NAME_SIZE + 40];
            ViewerCaption(caption, sizeof caption);
            OpenViewer(caption);
        }
        return 1;
    case IDC_HELP_BUTTON:
        WinHelpA(nullptr, HelpFilePath(), HELP_CONTEXT, HELP_CONTEXT_BROWSER);
        return 1;
    }
    return 0;
}

} // namespace

void FitPreviewSquare(HWND dialog) {
    // The square, its frame 3 pixels beyond it and a pixel to spare.
    const int side = 320 + 4;
    HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
    if (!preview) return;
    RECT button, inner, client;
    GetWindowRect(preview, &button);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&button), 2);
    GetClientRect(preview, &inner);
    GetClientRect(dialog, &client);
    int growW = std::max(0, side - int(inner.right)), growH = std::max(0, side - int(inner.bottom));
    if (growW == 0 && growH == 0) return;
    SetWindowPos(preview, nullptr, 0, 0, button.right - button.left + growW,
                 button.bottom - button.top + growH, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The dialog keeps the margin it had beside and below the button.
    LONG marginRight = std::max(0L, client.right - button.right);
    LONG marginBottom = std::max(0L, client.bottom - button.bottom);
    LONG moreW = std::max(0L, button.right + growW + marginRight - client.right);
    LONG moreH = std::max(0L, button.bottom + growH + marginBottom - client.bottom);
    if (moreW == 0 && moreH == 0) return;
    RECT frame, work;
    GetWindowRect(dialog, &frame);
    LONG width = frame.right - frame.left + moreW, height = frame.bottom - frame.top + moreH;
    // Grown past the bottom of the screen, it moves up as far as it can.
    LONG top = frame.top;
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0) && top + height > work.bottom)
        top = std::max(work.top, work.bottom - height);
    SetWindowPos(dialog, nullptr, frame.left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT_PTR CALLBACK BrowserHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return InitDialog(dialog);
    case WM_COMMAND:
        return Command(dialog, wParam);
    case WM_TIMER:
        if (wParam != 0) return 0;
        AnimationStep(dialog);
        return 1;
    case WM_CTLCOLORBTN:
        return ColourButton(dialog, reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORDLG:
        return UINT_PTR(g_backgroundBrush);
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wParam), kBackground);
        return UINT_PTR(g_backgroundBrush);
    }
    return 0;
}
