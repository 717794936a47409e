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

// A 16 x 16 two-colour icon: directory, one entry, its bitmap header (double
// height for the mask), colour table, image rows and mask rows.
Bytes SmallIcon() {
    Bytes b;
    Put16(b, 0);
    Put16(b, 1); // icon
    Put16(b, 1); // one image
    b.insert(b.end(), {16, 16, 2, 0});
    Put16(b, 1);
    Put16(b, 1);
    Put32(b, 40 + 8 + 64 + 64);
    Put32(b, 22);
    for (uint32_t v : {40u, 16u, 32u}) Put32(b, v);
    Put16(b, 1);
    Put16(b, 1);
    for (int i = 0; i < 6; i++) Put32(b, 0);
    Put32(b, 0x000000);
    Put32(b, 0xFFFFFF);
    for (int row = 0; row < 16; row++) Put32(b, row % 2 ? 0xFFFFu : 0); // image
    for (int row = 0; row < 16; row++) Put32(b, 0);                     // mask: all shown
    return b;
}

// The smallest Windows metafile: its 18-byte header and the end record.
Bytes EmptyMetafile() {
    Bytes b;
    Put16(b, 1);     // in a file
    Put16(b, 9);     // header words
    Put16(b, 0x300); // version
    Put32(b, 9 + 3); // file size in words
    Put16(b, 0);     // objects
    Put32(b, 3);     // largest record in words
    Put16(b, 0);     // parameters
    Put32(b, 3);     // end record: 3 words,
    Put16(b, 0);     // function 0
    return b;
}

// A one-pixel red PNG written by Pillow.
const uint8_t kRedPng[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D,
                           0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                           0x08, 0x02, 0x00, 0x00, 0x00, 0x90, 0x77, 0x53, 0xDE, 0x00, 0x00, 0x00,
                           0x0C, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0x00,
                           0x00, 0x03, 0x01, 0x01, 0x00, 0xC9, 0xFE, 0x92, 0xEF, 0x00, 0x00, 0x00,
                           0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

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

TEST(HelpAndAbout, AboutBoxNamesJustTheKindsOfPictureThisBuildReads) {
    std::string dir = TestFolder("kinds");
    struct {
        const char* kind;
        const char* file;
        Bytes bytes;
        bool read;
    } kinds[] = {
        {"bitmaps", "kinds\\a.bmp", SmallBitmap(), false},
        {"icons", "kinds\\a.ico", SmallIcon(), false},
        {"metafiles", "kinds\\a.wmf", EmptyMetafile(), false},
        {"photographs", "kinds\\a.png", Bytes(kRedPng, kRedPng + sizeof kRedPng), false},
    };
    for (auto& k : kinds) {
        RecordMessages quiet;
        k.read = LoadForTest(WriteTestFile(k.file, k.bytes));
        ReleaseCurrentPicture();
        InitImageState();
    }
    // What this build reads at least (the About box must name those).
    EXPECT_TRUE(kinds[0].read);
    EXPECT_TRUE(kinds[3].read);

    std::vector<std::string> texts;
    RunDialog(dir + "\\a.bmp", [&](HWND dialog) {
        PumpMessages();
        SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        EndDialogBoxes end(IDOK);
        SendMessageA(viewer, WM_COMMAND, CM_ABOUT, 0);
        EXPECT_EQ(end.seen, 1);
        texts = end.texts;
    });
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "Zendra Graphics' File Viewer");
    EXPECT_EQ(texts[2], "and converts them from one format to another.");
    EXPECT_EQ(texts[3], "OK");
    const std::string& line = texts[1];
    EXPECT_EQ(line.substr(0, 6), "Views ") << line;
    EXPECT_EQ(line.back(), ',') << line;
    for (const auto& k : kinds)
        EXPECT_EQ(line.find(k.kind) != std::string::npos, k.read) << k.kind << " in " << line;
}
