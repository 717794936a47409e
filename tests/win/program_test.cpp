// zendra.exe itself, started as its own process.
#include "shell_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// zendra.exe sits two folders above this test program (build/tests/win).
std::string ProgramPath() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self, n);
    for (int i = 0; i < 3; i++) path = path.substr(0, path.rfind('\\'));
    return path + "\\zendra.exe";
}

struct Found {
    HWND window;
};

BOOL CALLBACK FindBrowser(HWND window, LPARAM data) {
    if (WindowText(window) != "Zendra Graphics' File Viewer") return TRUE;
    reinterpret_cast<Found*>(data)->window = window;
    return FALSE;
}
} // namespace

TEST(Program, ExitEndsTheProgramWithStatusOne) {
    std::string exe = ProgramPath();
    std::string commandLine = "\"" + exe + "\"";
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << exe;
    // Bounds for a broken program only; a working one is far quicker.
    EXPECT_EQ(WaitForInputIdle(process.hProcess, 60000), 0u);
    Found found = {nullptr};
    EnumThreadWindows(process.dwThreadId, FindBrowser, LPARAM(&found));
    EXPECT_NE(found.window, nullptr);
    if (found.window) PostMessageA(found.window, WM_COMMAND, 2, 0);
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    EXPECT_EQ(status, 1u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
