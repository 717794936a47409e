// The entry point's work: the filter, the OPENFILENAME and the one call of
// GetOpenFileNameA whose modal loop is the program's only message loop.
#include "shell/shell.h"

#include "core/state.h"
#include "shell/resource.h"

#include <cstddef>
#include <cstring>

HINSTANCE g_instance = nullptr;

size_t BuildFilter(char* out, size_t size) {
    static const char kFilter[] =
        "Images\0*.bmp;*.dib;*.gif;*.pcx;*.rle;*.jpg;*.jpe;*.tif;*.tga;*.png;*.iff;*.lbm;*.webp;"
        "*.wmf;*.emf;*.ico;*.cur;*.ani\0All Files (*.*)\0*.*\0";
    // sizeof counts the literal's own terminator: the list's second zero.
    if (size < sizeof kFilter) return 0;
    std::memcpy(out, kFilter, sizeof kFilter);
    return sizeof kFilter;
}

int RunBrowser(HINSTANCE instance, const char* commandLine) {
    g_instance = instance;
    static char filter[256];
    BuildFilter(filter, sizeof filter);

    // A quoted path (as Explorer passes one with spaces) is taken without its quotes.
    static char path[MAX_PATH];
    path[0] = 0;
    if (commandLine) {
        const char* start = commandLine;
        while (*start == ' ') start++;
        size_t n = std::strlen(start);
        if (n >= 2 && start[0] == '"' && start[n - 1] == '"') {
            start++;
            n -= 2;
        }
        while (n > 0 && start[n - 1] == ' ') n--;
        if (n < sizeof path) {
            std::memcpy(path, start, n);
            path[n] = 0;
        }
    }

    static WIN32_FIND_DATAA found;
    static char initialDir[MAX_PATH];
    char* file = nullptr;
    const char* dir = nullptr;
    g_fileName[0] = 0;
    if (path[0]) {
        HANDLE search = FindFirstFileA(path, &found);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
            file = found.cFileName;
            std::strncpy(g_fileName, found.cFileName, FILE_NAME_SIZE - 1);
            g_fileName[FILE_NAME_SIZE - 1] = 0;
        }
        const char* slash = std::strrchr(path, '\\');
        if (slash) {
            size_t n = size_t(slash - path);
            std::memcpy(initialDir, path, n);
            initialDir[n] = 0;
            // "C:\x.bmp" keeps the root of its drive.
            if (n == 2 && initialDir[1] == ':') std::strcpy(initialDir + 2, "\\");
            dir = initialDir;
        }
    }

    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    ofn.lStructSize = kOpenFileNameSize;
    ofn.hwndOwner = nullptr;
    ofn.hInstance = instance;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 256;
    ofn.lpstrInitialDir = dir;
    ofn.lpstrTitle = "Zendra Graphics' File Viewer";
    ofn.Flags =
        OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ENABLETEMPLATE | OFN_ENABLEHOOK;
    ofn.lpfnHook = BrowserHook;
    ofn.lpTemplateName = MAKEINTRESOURCEA(IDD_BROWSER);
    GetOpenFileNameA(&ofn);
    return 1;
}
