// zendra-press-exit.exe: presses EXIT in a running zendra.exe, as a user
// would, for the end-to-end test and scripts/run.sh. Exits 0 when the
// browser dialog was found, 1 otherwise.
#include "platform/win32.h"

int main() {
    HWND dialog = FindWindowA(nullptr, "Zendra Graphics' File Viewer");
    if (!dialog) return 1;
    PostMessageA(dialog, WM_COMMAND, 2, 0);
    return 0;
}
