// zendra.exe with the system's real help viewer: HELP in the browser and Help
// in the viewer open ZendraHelp.hlp (the file the build writes beside the
// program) at the browser topic and at the contents; opening the viewer,
// closing it and EXIT close the help viewer again.
#include "shell_test_util.h"

#include "shell/resource.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string ProgramPath() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self, n);
    for (int i = 0; i < 3; i++) path = path.substr(0, path.rfind('\\'));
    return path + "\\zendra.exe";
}

struct Search {
    DWORD process;
    const char* className; // or null
    const char* title;     // or null
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM data) {
    Search* s = reinterpret_cast<Search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (s->process && pid != s->process) return TRUE;
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (s->className && std::string(name) != s->className) return TRUE;
    if (s->title && WindowText(window) != s->title) return TRUE;
    s->found = window;
    return FALSE;
}

HWND FindTopWindow(DWORD process, const char* className, const char* title) {
    Search s = {process, className, title, nullptr};
    EnumWindows(FindWindowOf, LPARAM(&s));
    return s.found;
}

// The help viewer's visible main window: Wine's winhlp32 names its class as
// WinHelp does.
HWND HelpWindow() {
    HWND found = nullptr;
    for (HWND w = FindWindowExA(nullptr, nullptr, "MS_WINHELP", nullptr); w;
         w = FindWindowExA(nullptr, w, "MS_WINHELP", nullptr))
        if (IsWindowVisible(w)) found = w;
    return found;
}

// The text the help viewer shows (its text pane is the child with id 0x701).
std::string HelpText(HWND help) {
    HWND pane = GetDlgItem(help, 0x701);
    if (!pane) return "";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(pane, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return "";
    std::vector<char> text(length + 1);
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(pane, WM_GETTEXT, WPARAM(text.size()), LPARAM(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &got))
        return "";
    return std::string(text.data(), got);
}

// Waits (at most 60 seconds) until the help viewer shows text holding what.
HWND WaitForHelpShowing(const std::string& what, std::string* shown) {
    for (int i = 0; i < 600; i++) {
        HWND help = HelpWindow();
        if (help) {
            *shown = HelpText(help);
            if (shown->find(what) != std::string::npos) return help;
        }
        Sleep(100);
    }
    return nullptr;
}

bool WaitForHelpGone() {
    for (int i = 0; i < 300; i++) {
        if (!FindWindowA("MS_WINHELP", nullptr)) return true;
        Sleep(100);
    }
    return false;
}

// A screenshot of the help viewer's text pane: the number of dark and of
// light pixels in it.
void CountPanePixels(HWND help, int* dark, int* light) {
    *dark = *light = 0;
    HWND pane = GetDlgItem(help, 0x701);
    RECT r;
    if (!pane || !GetWindowRect(pane, &r)) return;
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = TopDownInfo32(w, h);
    void* bits = nullptr;
    HBITMAP shot = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, shot);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    for (int i = 0; i < w * h; i++) {
        uint32_t c = p[i];
        int sum = int(c & 0xFF) + int((c >> 8) & 0xFF) + int((c >> 16) & 0xFF);
        if (sum < 3 * 96) ++*dark;
        if (sum > 3 * 224) ++*light;
    }
    SelectObject(memory, old);
    DeleteObject(shot);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

void ExpectDrawnText(HWND help, const char* topic) {
    // Give the pane a moment to paint after its text arrived.
    int dark = 0, light = 0;
    for (int i = 0; i < 50; i++) {
        CountPanePixels(help, &dark, &light);
        if (dark > 500 && light > 5000) break;
        Sleep(100);
    }
    EXPECT_GT(dark, 500) << topic << ": the help pane shows no text";
    EXPECT_GT(light, 5000) << topic << ": the help pane is not a page of text";
}

} // namespace

TEST(HelpViewer, HelpAndHelpMenuShowTheHelpFile) {
    std::string dir = TestFolder("helpviewer");
    BmpSpec bmp;
    bmp.width = 2;
    bmp.height = 1;
    bmp.pixels = PadRows({{1, 2, 3, 4, 5, 6}});
    WriteTestFile("helpviewer\\a.bmp", BuildBmp(bmp));
    ASSERT_EQ(FindWindowA("MS_WINHELP", nullptr), nullptr) << "a help viewer is already open";

    std::string exe = ProgramPath();
    std::string commandLine = "\"" + exe + "\" \"" + dir + "\\a.bmp\"";
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << exe;
    WaitForInputIdle(process.hProcess, 60000);
    HWND dialog = nullptr;
    for (int i = 0; i < 600 && !dialog; i++, Sleep(100))
        dialog = FindTopWindow(process.dwProcessId, nullptr, "Zendra Graphics' File Viewer");
    ASSERT_NE(dialog, nullptr);

    std::string shown;
    // HELP: the browser dialog's topic, in a help window titled by our file.
    PostMessageA(dialog, WM_COMMAND, IDC_HELP_BUTTON, 0);
    HWND help = WaitForHelpShowing("The browser dialog", &shown);
    ASSERT_NE(help, nullptr) << "help viewer text: " << shown;
    std::string title = WindowText(help);
    EXPECT_NE(title.find("Zendra Help"), std::string::npos) << title;
    EXPECT_NE(shown.find("preview square"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Zendra Help Contents"), std::string::npos) << shown;
    ExpectDrawnText(help, "browser topic");

    // CENTER closes the help viewer and opens the viewer window.
    PostMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
    EXPECT_TRUE(WaitForHelpGone()) << "CENTER left the help viewer open";
    HWND viewer = nullptr;
    for (int i = 0; i < 300 && !viewer; i++, Sleep(100))
        viewer = FindTopWindow(process.dwProcessId, "Meta", nullptr);
    ASSERT_NE(viewer, nullptr);

    // The viewer's Help: the contents.
    PostMessageA(viewer, WM_COMMAND, CM_HELP, 0);
    help = WaitForHelpShowing("Zendra Help Contents", &shown);
    ASSERT_NE(help, nullptr) << "help viewer text: " << shown;
    EXPECT_NE(shown.find("The browser dialog"), std::string::npos) << shown; // its link
    ExpectDrawnText(help, "contents");

    // Closing the viewer closes its help.
    PostMessageA(viewer, WM_COMMAND, CM_CLOSE_FILE, 0);
    EXPECT_TRUE(WaitForHelpGone()) << "closing the viewer left the help viewer open";

    // EXIT closes the help the HELP button opened, and ends the program.
    PostMessageA(dialog, WM_COMMAND, IDC_HELP_BUTTON, 0);
    EXPECT_NE(WaitForHelpShowing("The browser dialog", &shown), nullptr) << shown;
    PostMessageA(dialog, WM_COMMAND, IDC_EXIT, 0);
    EXPECT_TRUE(WaitForHelpGone()) << "EXIT left the help viewer open";

    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    EXPECT_EQ(status, 1u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Whatever failed above, no help viewer outlives the test.
    if (FindWindowA("MS_WINHELP", nullptr)) {
        WinHelpA(nullptr, "", HELP_QUIT, 0);
        WaitForHelpGone();
    }
}

TEST(HelpViewer, ContextNamesOpenTheirTopics) {
    // The help viewer looks these up in the file's context tree, as it does
    // for every cross-reference between topics.
    std::string program = ProgramPath();
    std::string file = program.substr(0, program.rfind('\\')) + "\\ZendraHelp.hlp";
    const struct {
        const char* context;
        const char* title;
    } cases[] = {
        {"contents", "Zendra Help Contents"}, {"browser", "The browser dialog"},
        {"convert_save", "Convert/Save"},     {"restore_original", "Restore Original Image"},
        {"keys", "Keys and mouse"},
    };
    ASSERT_EQ(FindWindowA("MS_WINHELP", nullptr), nullptr) << "a help viewer is already open";
    for (const auto& k : cases) {
        std::string commandLine = std::string("winhlp32.exe -i ") + k.context + " \"" + file + "\"";
        std::vector<char> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back(0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        ASSERT_TRUE(CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process))
            << commandLine;
        std::string shown;
        HWND help = WaitForHelpShowing(k.title, &shown);
        EXPECT_NE(help, nullptr) << k.context << ": " << shown;
        // The topic's own title comes first.
        EXPECT_EQ(shown.compare(0, std::strlen(k.title), k.title), 0) << k.context << ": " << shown;
        WinHelpA(nullptr, file.c_str(), HELP_QUIT, 0);
        if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        EXPECT_TRUE(WaitForHelpGone()) << k.context;
    }
}
