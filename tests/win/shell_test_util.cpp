#include "shell_test_util.h"

#include "core/state.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

namespace {
const UINT kRunBody = WM_APP + 1;
const std::function<void(HWND)>* g_body = nullptr;
int g_waits = 0;

LRESULT CALLBACK DriverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kRunBody) return DefWindowProcA(window, message, wParam, lParam);
    if (!g_dialog || !IsWindow(g_dialog)) {
        // The dialog's loop is not running yet: ask again from the queue.
        EXPECT_LT(++g_waits, 1000) << "the browser dialog never started";
        if (g_waits < 1000) PostMessageA(window, kRunBody, 0, 0);
        return 0;
    }
    HWND dialog = g_dialog;
    (*g_body)(dialog);
    if (IsWindow(dialog)) SendMessageA(dialog, WM_COMMAND, IDC_EXIT, 0);
    return 0;
}
} // namespace

int RunDialog(const std::string& commandLine, const std::function<void(HWND)>& body) {
    static bool registered = false;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!registered) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DriverProc;
        wc.hInstance = instance;
        wc.lpszClassName = "ZendraTestDriver";
        registered = RegisterClassA(&wc) != 0;
    }
    HWND driver = CreateWindowExA(0, "ZendraTestDriver", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  instance, nullptr);
    g_body = &body;
    g_waits = 0;
    g_dialog = nullptr;
    g_firstDialogInit = true;
    PostMessageA(driver, kRunBody, 0, 0);
    int result = RunBrowser(instance, commandLine.c_str());
    // EXIT posts the quit message; it must not end the next test's dialog.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    DestroyWindow(driver);
    g_body = nullptr;
    return result;
}

Bytes SolidBitmap(int w, int h, uint32_t rgb) {
    BmpSpec bmpFile;
    bmpFile.width = w;
    bmpFile.height = h;
    Bytes row;
    for (int x = 0; x < w; x++)
        row.insert(row.end(), {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16)});
    bmpFile.pixels = PadRows(std::vector<Bytes>(size_t(h), row));
    return BuildBmp(bmpFile);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(int(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

BITMAPINFO TopDownInfo32(int w, int h) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

uint32_t WindowPixel(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

int CountScreenPixels(const RECT& area, uint32_t rgb) {
    int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return 0;
    BITMAPINFO info = TopDownInfo32(w, h);
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC copy = CreateCompatibleDC(screen);
    HBITMAP shot = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    int count = 0;
    if (shot && bits) {
        HGDIOBJ old = SelectObject(copy, shot);
        BitBlt(copy, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const uint32_t* pixels = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < size_t(w) * size_t(h); i++)
            if ((pixels[i] & 0xFFFFFFu) == rgb) count++;
        SelectObject(copy, old);
    }
    if (shot) DeleteObject(shot);
    DeleteDC(copy);
    ReleaseDC(nullptr, screen);
    return count;
}

bool GiveFocus(HWND window) {
    if (!IsWindow(window)) return false;
    SetForegroundWindow(window);
    SetFocus(window);
    PumpMessages();
    return GetFocus() == window;
}

namespace {
INPUT KeyInput(WORD key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = WORD(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}
} // namespace

void PressKey(HWND window, WORD key, bool shift) {
    bool focused = GiveFocus(window);
    EXPECT_TRUE(focused) << "the window for key " << key << " does not have the focus";
    if (!focused) return;
    INPUT inputs[4];
    UINT n = 0;
    if (shift) inputs[n++] = KeyInput(VK_SHIFT, false);
    inputs[n++] = KeyInput(key, false);
    inputs[n++] = KeyInput(key, true);
    if (shift) inputs[n++] = KeyInput(VK_SHIFT, true);
    EXPECT_EQ(SendInput(n, inputs, sizeof(INPUT)), n);
    // The input reaches this thread's queue through the system; let it run.
    for (int i = 0; i < 5; i++) {
        PumpMessages();
        Sleep(10);
    }
    PumpMessages();
}

void ConfirmFile(HWND dialog, const std::string& name) {
    HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
    SendMessageA(list, LB_SELECTSTRING, WPARAM(-1), LPARAM(name.c_str()));
    SendMessageA(dialog, WM_COMMAND, IDC_CONFIRM, 0);
}

std::string WindowText(HWND window) {
    char text[512];
    int n = GetWindowTextA(window, text, sizeof text);
    return std::string(text, n > 0 ? size_t(n) : 0);
}

namespace {
SaveAsDriver* g_saveAs = nullptr;
// Controls of the system's file dialogs: the file name box of the Explorer
// style (a combo box) or of the old style (an edit box), and the type list.
const int kNameCombo = 0x47c, kNameEdit = 0x480, kTypeList = 0x470;

struct FoundWindows {
    HWND fileDialog = nullptr, question = nullptr;
};

HWND NameControl(HWND dialog) {
    HWND name = GetDlgItem(dialog, kNameCombo);
    return name ? name : GetDlgItem(dialog, kNameEdit);
}

BOOL CALLBACK FindDialogs(HWND window, LPARAM param) {
    FoundWindows* found = reinterpret_cast<FoundWindows*>(param);
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    // The browser is a file dialog too; the Save As dialog is the other one.
    if (window == g_dialog || std::string(className) != "#32770" || !IsWindowVisible(window))
        return TRUE;
    if (NameControl(window))
        found->fileDialog = window;
    else
        found->question = window; // a message box the file dialog opened
    return TRUE;
}

void CALLBACK DriveSaveAs(HWND, UINT, UINT_PTR, DWORD) {
    SaveAsDriver* d = g_saveAs;
    if (!d) return;
    FoundWindows found;
    EnumThreadWindows(GetCurrentThreadId(), FindDialogs, LPARAM(&found));
    if (found.question && found.fileDialog &&
        GetWindow(found.question, GW_OWNER) == found.fileDialog) {
        d->questions++;
        PostMessageA(found.question, WM_COMMAND, WPARAM(d->overwriteAnswer), 0);
        return;
    }
    if (!found.fileDialog) return;
    if (d->dialogs > 0) {
        // Seen before and still open (the overwrite question was answered No).
        PostMessageA(found.fileDialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    d->dialogs++;
    d->proposed = WindowText(NameControl(found.fileDialog));
    d->title = WindowText(found.fileDialog);
    char type[128] = "";
    HWND types = GetDlgItem(found.fileDialog, kTypeList);
    if (types && SendMessageA(types, CB_GETLBTEXTLEN, 0, 0) < LRESULT(sizeof type))
        SendMessageA(types, CB_GETLBTEXT, 0, LPARAM(type));
    d->firstFilter = type;
    if (d->name.empty()) {
        PostMessageA(found.fileDialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    SetWindowTextA(NameControl(found.fileDialog), d->name.c_str());
    PostMessageA(found.fileDialog, WM_COMMAND, IDOK, 0);
}
} // namespace

SaveAsDriver::SaveAsDriver(const std::string& name_, int overwriteAnswer_)
    : name(name_), overwriteAnswer(overwriteAnswer_) {
    g_saveAs = this;
    timer = SetTimer(nullptr, 0, 100, DriveSaveAs);
}

SaveAsDriver::~SaveAsDriver() {
    KillTimer(nullptr, timer);
    g_saveAs = nullptr;
}

std::string TestFolder(const std::string& name) {
    std::string dir = TestDir() + "\\" + name;
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

namespace {
EndDialogBoxes* g_endBoxes = nullptr;

BOOL CALLBACK FindDialogBox(HWND window, LPARAM param) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (window != g_dialog && std::string(className) == "#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK KeepText(HWND control, LPARAM param) {
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(WindowText(control));
    return TRUE;
}

void CALLBACK EndDialogBoxTick(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialogBox, LPARAM(&box));
    if (!box || !g_endBoxes) return;
    g_endBoxes->seen++;
    g_endBoxes->owner = GetWindow(box, GW_OWNER);
    g_endBoxes->texts.clear();
    EnumChildWindows(box, KeepText, LPARAM(&g_endBoxes->texts));
    PostMessageA(box, WM_COMMAND, WPARAM(g_endBoxes->id), 0);
}
} // namespace

EndDialogBoxes::EndDialogBoxes(int id_) : id(id_) {
    g_endBoxes = this;
    timer = SetTimer(nullptr, 0, 100, EndDialogBoxTick);
}

EndDialogBoxes::~EndDialogBoxes() {
    KillTimer(nullptr, timer);
    g_endBoxes = nullptr;
}
