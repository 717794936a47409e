// The browser dialog: start, EXIT, the preview load and the command line.
#include "shell_test_util.h"

#include "core/state.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
// A 2 x 2 true-colour bitmap: red, green on top; blue, white below.
Bytes QuadrantBitmap() {
    BmpSpec bmpFile;
    bmpFile.width = 2;
    bmpFile.height = 2;
    bmpFile.bitCount = 24;
    // Bottom row first, blue green red per pixel, rows padded to 4 bytes.
    bmpFile.pixels = PadRows({{0xFF, 0, 0, 0xFF, 0xFF, 0xFF}, {0, 0, 0xFF, 0, 0xFF, 0}});
    return BuildBmp(bmpFile);
}

} // namespace

TEST(Browser, ExitEndsTheDialogAndTheEntryPointReturnsOne) {
    HWND seen = nullptr;
    int result = RunDialog("", [&](HWND dialog) {
        seen = dialog;
        char title[128];
        GetWindowTextA(dialog, title, sizeof title);
        EXPECT_STREQ(title, "Zendra Graphics' File Viewer");
        // The Read Only box is disabled and hidden; the preview square exists.
        HWND readOnly = GetDlgItem(dialog, IDC_READ_ONLY);
        EXPECT_FALSE(IsWindowEnabled(readOnly));
        EXPECT_FALSE(IsWindowVisible(readOnly));
        EXPECT_NE(GetDlgItem(dialog, IDC_PREVIEW), nullptr);
        EXPECT_EQ(g_viewKind, KIND_NONE);
        SendMessageA(dialog, WM_COMMAND, IDC_EXIT, 0);
    });
    EXPECT_EQ(result, 1);
    ASSERT_NE(seen, nullptr);
    // EndDialog leaves the window to the modal loop, which destroys it on its way out.
    EXPECT_FALSE(IsWindow(seen));
}

TEST(Browser, FilterListsImagesThenAllFiles) {
    char filter[300];
    size_t n = BuildFilter(filter, sizeof filter);
    ASSERT_GT(n, 0u);
    EXPECT_STREQ(filter, "Images");
    const char* second = filter + std::strlen(filter) + 1;
    EXPECT_STREQ(second,
                 "*.bmp;*.dib;*.gif;*.pcx;*.rle;*.jpg;*.jpe;*.tif;*.tga;*.png;*.iff;*.lbm;*.webp;"
                 "*.wmf;*.emf;*.ico;*.cur;*.ani");
    const char* third = second + std::strlen(second) + 1;
    EXPECT_STREQ(third, "All Files (*.*)");
    const char* fourth = third + std::strlen(third) + 1;
    EXPECT_STREQ(fourth, "*.*");
    EXPECT_EQ(fourth + std::strlen(fourth) + 2, filter + n);
    EXPECT_EQ(filter[n - 1], 0);
    EXPECT_EQ(filter[n - 2], 0);
    EXPECT_EQ(BuildFilter(filter, 10), 0u);
}

TEST(Browser, ConfirmingAFileLoadsItAndStretchesItIntoThePreview) {
    std::string dir = TestFolder("confirm");
    WriteTestFile("confirm\\quad.bmp", QuadrantBitmap());
    BmpSpec grey;
    grey.bitCount = 24;
    grey.pixels = PadRows({{0x80, 0x80, 0x80}});
    WriteTestFile("confirm\\grey.bmp", BuildBmp(grey));
    RunDialog(dir + "\\grey.bmp", [&](HWND dialog) {
        PumpMessages(); // the command-line file's posted OK command
        EXPECT_STREQ(g_fileName, "grey.bmp");
        ConfirmFile(dialog, "quad.bmp");
        EXPECT_STREQ(g_fileName, "quad.bmp");
        EXPECT_EQ(g_viewKind, KIND_RASTER);
        ASSERT_NE(g_picture, nullptr);
        EXPECT_EQ(g_bitCount, 24);
        EXPECT_EQ(g_fileSize, QuadrantBitmap().size());
        BITMAPINFOHEADER header = HeaderOf(g_picture);
        EXPECT_EQ(header.biWidth, 2);
        EXPECT_EQ(header.biHeight, 2);
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        struct {
            int x, y;
            uint32_t rgb;
        } const cases[] = {{80, 80, 0xFF0000},   {240, 80, 0x00FF00}, {80, 240, 0x0000FF},
                           {240, 240, 0xFFFFFF}, {2, 2, 0xFF0000},    {317, 317, 0xFFFFFF}};
        for (const auto& c : cases)
            EXPECT_EQ(WindowPixel(preview, c.x, c.y), c.rgb) << c.x << "," << c.y;
    });
}

TEST(Browser, CommandLinePathSelectsAndPreviewsItsFile) {
    std::string dir = TestFolder("cmdline");
    WriteTestFile("cmdline\\a.bmp", QuadrantBitmap());
    WriteTestFile("cmdline\\b.bmp", QuadrantBitmap());
    RunDialog(dir + "\\b.bmp", [&](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
        char selected[64] = "";
        LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
        ASSERT_NE(index, LB_ERR);
        SendMessageA(list, LB_GETTEXT, WPARAM(index), LPARAM(selected));
        EXPECT_STREQ(selected, "b.bmp");
        PumpMessages();
        EXPECT_EQ(g_viewKind, KIND_RASTER);
        EXPECT_NE(g_picture, nullptr);
        EXPECT_EQ(WindowPixel(GetDlgItem(dialog, IDC_PREVIEW), 240, 80), 0x00FF00u);
    });
}

TEST(Browser, MissingCommandLineFileLeavesNothingSelected) {
    std::string dir = TestFolder("missing");
    WriteTestFile("missing\\here.bmp", QuadrantBitmap());
    RunDialog(dir + "\\absent.bmp", [&](HWND dialog) {
        PumpMessages();
        EXPECT_STREQ(g_fileName, "");
        EXPECT_EQ(g_picture, nullptr);
        EXPECT_EQ(g_viewKind, KIND_NONE);
    });
}

namespace {
// A 64 x 32 bitmap: the left half red, the right half blue.
Bytes RedBlueHalves() {
    BmpSpec bmpFile;
    bmpFile.width = 64;
    bmpFile.height = 32;
    Bytes row;
    for (int x = 0; x < 64; x++)
        if (x < 32)
            row.insert(row.end(), {0, 0, 0xFF});
        else
            row.insert(row.end(), {0xFF, 0, 0});
    bmpFile.pixels = PadRows(std::vector<Bytes>(32, row));
    return BuildBmp(bmpFile);
}

RECT ScreenRect(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return r;
}
} // namespace

TEST(Browser, TheWholePreviewSquareShowsOnTheScreen) {
    std::string dir = TestFolder("square");
    WriteTestFile("square\\halves.bmp", RedBlueHalves());
    RunDialog(dir + "\\halves.bmp", [&](HWND dialog) {
        PumpMessages();
        ASSERT_TRUE(GiveFocus(GetDlgItem(dialog, IDC_FILE_LIST)));
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        RECT client;
        GetClientRect(preview, &client);
        EXPECT_GE(client.right, 324);
        EXPECT_GE(client.bottom, 324);
        PumpMessages();
        // A screenshot of the dialog: each half covers 160 x 320 pixels of the
        // square, all of them inside the preview button.
        RECT shown = ScreenRect(dialog);
        RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        EXPECT_TRUE(shown.left >= 0 && shown.top >= 0 && shown.right <= screen.right &&
                    shown.bottom <= screen.bottom);
        EXPECT_EQ(CountScreenPixels(shown, 0xFF0000), 160 * 320);
        EXPECT_EQ(CountScreenPixels(shown, 0x0000FF), 160 * 320);
        EXPECT_EQ(CountScreenPixels(ScreenRect(preview), 0xFF0000), 160 * 320);
        EXPECT_EQ(CountScreenPixels(ScreenRect(preview), 0x0000FF), 160 * 320);
    });
}

TEST(Browser, ThePreviewButtonAndTheDialogGrowToHoldTheSquare) {
    RunDialog("", [&](HWND dialog) {
        PumpMessages();
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        RECT work;
        ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
        // Button sizes a dialog font might give, and how much each must grow;
        // some with the dialog moved to the bottom of the screen first.
        struct {
            int w, h, growW, growH;
            bool atBottom;
        } const cases[] = {{216, 200, 108, 124, false}, {330, 300, 0, 24, false},
                           {300, 330, 24, 0, false},    {324, 324, 0, 0, false},
                           {400, 360, 0, 0, false},     {216, 200, 108, 124, true},
                           {324, 324, 0, 0, true}};
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.w << " x " << c.h << (c.atBottom ? " low" : ""));
            SetWindowPos(preview, nullptr, 0, 0, c.w, c.h, SWP_NOMOVE | SWP_NOZORDER);
            if (c.atBottom) {
                RECT r = ScreenRect(dialog);
                SetWindowPos(dialog, nullptr, r.left, work.bottom - (r.bottom - r.top), 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER);
            }
            RECT dialogBefore = ScreenRect(dialog), buttonBefore = ScreenRect(preview);
            RECT clientBefore;
            GetClientRect(dialog, &clientBefore);
            FitPreviewSquare(dialog);
            RECT dialogAfter = ScreenRect(dialog), buttonAfter = ScreenRect(preview);
            EXPECT_EQ(buttonAfter.right - buttonAfter.left, c.w + c.growW);
            EXPECT_EQ(buttonAfter.bottom - buttonAfter.top, c.h + c.growH);
            // The button keeps its place in the dialog, which holds it whole.
            EXPECT_EQ(buttonAfter.left - dialogAfter.left, buttonBefore.left - dialogBefore.left);
            EXPECT_EQ(buttonAfter.top - dialogAfter.top, buttonBefore.top - dialogBefore.top);
            RECT clientAfter;
            GetClientRect(dialog, &clientAfter);
            POINT corner = {buttonAfter.right, buttonAfter.bottom};
            ScreenToClient(dialog, &corner);
            EXPECT_LE(corner.x, clientAfter.right);
            EXPECT_LE(corner.y, clientAfter.bottom);
            EXPECT_GE(clientAfter.right, clientBefore.right);
            EXPECT_GE(clientAfter.bottom, clientBefore.bottom);
            // It stays where it was unless it would reach below the screen.
            EXPECT_EQ(dialogAfter.left, dialogBefore.left);
            if (c.growH == 0 || !c.atBottom)
                EXPECT_EQ(dialogAfter.top, dialogBefore.top);
            else
                EXPECT_EQ(dialogAfter.top, dialogBefore.top - c.growH);
            EXPECT_LE(dialogAfter.bottom, work.bottom);
        }
    });
}
