// Where the help file is: beside zendra.exe, not in the current folder (the
// help viewer would otherwise search the current folder and its own).
#include "shell/shell.h"

#include <cstdio>
#include <cstring>

const char* HelpFilePath() {
    static char path[MAX_PATH + 32];
    if (path[0]) return path;
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    char* slash = n > 0 && n < sizeof self ? std::strrchr(self, '\\') : nullptr;
    if (!slash) {
        // Without the program's folder the plain name is the best guess.
        std::snprintf(path, sizeof path, "%s", HELP_FILE_NAME);
        return path;
    }
    *slash = 0;
    std::snprintf(path, sizeof path, "%s\\%s", self, HELP_FILE_NAME);
    return path;
}
