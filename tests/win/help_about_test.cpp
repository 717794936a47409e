// Help requests, the About box and a deletion that the system refuses.
#include "shell_test_util.h"

#include "core/state.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct HelpCall {
    HWND owner;
    std::string file;
    UINT command;
    ULONG_PTR data;
};
std::vector<HelpCall> g_helpCalls;

BOOL RecordHelp(HWND owner, const char* file, UINT command, ULONG_PTR data) {
    g_helpCalls.push_back({owner, file ? file : "", command, data});
    return TRUE;
}

struct RecordHelpCalls {
    RecordHelpCalls() : previous(SetHelpSink(RecordHelp)) { g_helpCalls.clear(); }
    ~RecordHelpCalls() { SetHelpSink(previous); }
    HelpSink previous;
};

// Where the help file must be: beside the running program, whatever the
// current folder.
std::string HelpBesideProgram() {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self, n);
    return path.substr(0, path.rfind('\\')) + "\\ZendraHelp.hlp";
}

Bytes SmallBitmap() {
    BmpSpec bmpFile;
    bmpFile.width = 2;
    bmpFile.height = 1;
    bmpFile.pixels = PadRows({{1, 2, 3, 4, 5, 6}});
    return BuildBmp(bmpFile);
}
} // namespace

TEST(HelpAndAbout, HelpCallsNameTheHelpFile) {
    std::string dir = TestFolder("help");
    WriteTestFile("help\\a.bmp", SmallBitmap());
    RecordHelpCalls help;
    RunDialog(dir + "\\a.bmp", [&](HWND dialog) {
        PumpMessages();
        g_helpCalls.clear();
        SendMessageA(dialog, WM_COMMAND, IDC_HELP_BUTTON, 0);
        ASSERT_EQ(g_helpCalls.size(), 1u);
        EXPECT_EQ(g_helpCalls[0].owner, nullptr);
        EXPECT_EQ(g_helpCalls[0].file, HelpBesideProgram());
        EXPECT_EQ(g_helpCalls[0].command, UINT(HELP_CONTEXT));
        EXPECT_EQ(g_helpCalls[0].data, 102u);

        SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        g_helpCalls.clear();
        SendMessageA(viewer, WM_COMMAND, CM_HELP, 0);
        ASSERT_EQ(g_helpCalls.size(), 1u);
        EXPECT_EQ(g_helpCalls[0].owner, viewer);
        EXPECT_EQ(g_helpCalls[0].file, HelpBesideProgram());
        EXPECT_EQ(g_helpCalls[0].command, UINT(HELP_FINDER));
        EXPECT_EQ(g_helpCalls[0].data, 0u);
        // Closing the viewer closes its help.
        SendMessageA(viewer, WM_COMMAND, CM_CLOSE_FILE, 0);
        ASSERT_FALSE(g_helpCalls.empty());
        EXPECT_EQ(g_helpCalls.back().owner, viewer);
        EXPECT_EQ(g_helpCalls.back().command, UINT(HELP_QUIT));
        EXPECT_EQ(g_helpCalls.back().file, HelpBesideProgram());
        g_helpCalls.clear();
    });
    // EXIT closes the help of the dialog too.
    ASSERT_FALSE(g_helpCalls.empty());
    EXPECT_EQ(g_helpCalls[0].command, UINT(HELP_QUIT));
    EXPECT_EQ(g_helpCalls[0].file, HelpBesideProgram());
}

TEST(HelpAndAbout, AboutBoxEndsWithOkOrEscape) {
    std::string dir = TestFolder("about");
    WriteTestFile("about\\a.bmp", SmallBitmap());
    RunDialog(dir + "\\a.bmp", [&](HWND dialog) {
        PumpMessages();
        SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        for (int id : {IDOK, IDCANCEL}) {
            EndDialogBoxes end(id);
            SendMessageA(viewer, WM_COMMAND, CM_ABOUT, 0); // returns once the box has ended
            EXPECT_EQ(end.seen, 1) << id;
            EXPECT_EQ(end.owner, viewer) << id;
        }
        EXPECT_TRUE(IsWindow(viewer));
    });
}

TEST(HelpAndAbout, RefusedDeletionKeepsThePicture) {
    std::string dir = TestFolder("locked");
    WriteTestFile("locked\\a.bmp", SmallBitmap());
    RunDialog(dir + "\\a.bmp", [&](HWND dialog) {
        PumpMessages();
        SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        // Another program holds the file open without sharing it.
        HANDLE held = CreateFileA((dir + "\\a.bmp").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        {
            RecordMessages answers(IDYES);
            SendMessageA(viewer, WM_COMMAND, CM_DELETE_FILE, 0);
            ASSERT_EQ(answers.messages.size(), 2u);
            EXPECT_EQ(answers.messages[1].text, "Unable to Delete File");
            EXPECT_EQ(answers.messages[1].caption, "(null)");
            EXPECT_EQ(answers.messages[1].type, UINT(MB_OK));
            EXPECT_EQ(answers.messages[1].owner, viewer);
        }
        CloseHandle(held);
        EXPECT_TRUE(FileExists(dir + "\\a.bmp"));
        EXPECT_TRUE(IsWindow(viewer));
        EXPECT_NE(g_picture, nullptr);
        EXPECT_EQ(g_viewKind, KIND_RASTER);
        EXPECT_STREQ(g_fileName, "a.bmp");
    });
}
