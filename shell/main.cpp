// zendra.exe: the whole program runs inside the browser dialog.
#include "shell/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    return RunBrowser(instance, commandLine);
}
