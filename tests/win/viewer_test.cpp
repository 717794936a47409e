// The viewer window: opening from CENTER and TILE, captions, painting, the
// menu states and labels, the commands and the ways it closes.
#include "shell_test_util.h"

#include "core/state.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <string>

namespace {
// A 4 x 2 picture of the bit count; palette pictures get full grey or
// black-and-white tables, so packing keeps their depth.
Bytes PictureOfBits(int bits) {
    BmpSpec bmpFile;
    bmpFile.width = 4;
    bmpFile.height = 2;
    bmpFile.bitCount = uint16_t(bits);
    if (bits == 1) bmpFile.colors = {0x000000, 0xFFFFFF};
    if (bits == 4)
        for (uint32_t i = 0; i < 16; i++) bmpFile.colors.push_back(i * 0x111111);
    if (bits == 8)
        for (uint32_t i = 0; i < 256; i++) bmpFile.colors.push_back(i * 0x010101);
    int rowBytes = (4 * bits + 7) / 8;
    Bytes row;
    for (int i = 0; i < rowBytes; i++) row.push_back(uint8_t(0x35 * (i + 1)));
    bmpFile.pixels = PadRows({row, row});
    return BuildBmp(bmpFile);
}

// Four colours in a 2 x 2 picture: red, green on top; blue, white below.
Bytes QuadrantBitmap() {
    BmpSpec bmpFile;
    bmpFile.width = 2;
    bmpFile.height = 2;
    bmpFile.bitCount = 24;
    bmpFile.pixels = PadRows({{0xFF, 0, 0, 0xFF, 0xFF, 0xFF}, {0, 0, 0xFF, 0, 0xFF, 0}});
    return BuildBmp(bmpFile);
}

HWND OpenWith(HWND dialog, int button) {
    SendMessageA(dialog, WM_COMMAND, WPARAM(button), 0);
    HWND viewer = g_viewerWindow;
    if (viewer) UpdateWindow(viewer);
    return viewer;
}

bool Grey(HMENU menu, int position) {
    return (GetMenuState(menu, UINT(position), MF_BYPOSITION) & MF_GRAYED) != 0;
}

std::string Label(HMENU menu, int position) {
    char text[128] = "";
    GetMenuStringA(menu, UINT(position), text, sizeof text, MF_BYPOSITION);
    return text;
}

std::string ListSelection(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
    LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    char text[FILE_NAME_SIZE] = "";
    if (index != LB_ERR) SendMessageA(list, LB_GETTEXT, WPARAM(index), LPARAM(text));
    return text;
}

std::string Caption(const std::string& name, size_t bytes) {
    return name + "     " + std::to_string(bytes) + " bytes";
}
} // namespace

TEST(Viewer, CenterAndTileOpenTheViewerWithTheirCaptions) {
    std::string dir = TestFolder("open");
    Bytes quad = QuadrantBitmap();
    WriteTestFile("open\\quad.bmp", quad);
    RunDialog(dir + "\\quad.bmp", [&](HWND dialog) {
        PumpMessages();
        HWND viewer = OpenWith(dialog, IDC_CENTER);
        ASSERT_TRUE(IsWindow(viewer));
        char className[16];
        GetClassNameA(viewer, className, sizeof className);
        EXPECT_STREQ(className, "Meta");
        EXPECT_EQ(WindowText(viewer), Caption("quad.bmp", quad.size()));
        EXPECT_FALSE(g_tile);
        EXPECT_STREQ(g_fileName, "quad.bmp"); // the suffix is not kept in the name
        EXPECT_EQ(Label(GetMenu(viewer), 2), "&Tile");
        // A second opening replaces the first viewer.
        HWND tiled = OpenWith(dialog, IDC_TILE);
        EXPECT_FALSE(IsWindow(viewer));
        ASSERT_TRUE(IsWindow(tiled));
        EXPECT_EQ(WindowText(tiled), "quad.bmp");
        EXPECT_TRUE(g_tile);
        EXPECT_EQ(Label(GetMenu(tiled), 2), "&Center");
        SendMessageA(tiled, WM_COMMAND, CM_CLOSE_FILE, 0);
        EXPECT_FALSE(IsWindow(tiled));
        EXPECT_EQ(g_viewerWindow, nullptr);
    });
}

TEST(Viewer, PaintsCentredAndTiledAndTogglesTheLabel) {
    std::string dir = TestFolder("paint");
    WriteTestFile("paint\\quad.bmp", QuadrantBitmap());
    RunDialog(dir + "\\quad.bmp", [&](HWND dialog) {
        PumpMessages();
        HWND viewer = OpenWith(dialog, IDC_CENTER);
        ASSERT_TRUE(IsWindow(viewer));
        RECT client;
        GetClientRect(viewer, &client);
        int x = (client.right - 2) / 2, y = (client.bottom - 2) / 2;
        // Own size, centred: the four pixels and white around them.
        EXPECT_EQ(WindowPixel(viewer, x, y), 0xFF0000u);
        EXPECT_EQ(WindowPixel(viewer, x + 1, y), 0x00FF00u);
        EXPECT_EQ(WindowPixel(viewer, x, y + 1), 0x0000FFu);
        EXPECT_EQ(WindowPixel(viewer, x + 1, y + 1), 0xFFFFFFu);
        EXPECT_EQ(WindowPixel(viewer, x - 1, y), 0xFFFFFFu);
        EXPECT_EQ(WindowPixel(viewer, 0, 0), 0xFFFFFFu);

        SendMessageA(viewer, WM_COMMAND, CM_CENTER_TILE, 0);
        EXPECT_TRUE(g_tile);
        EXPECT_EQ(Label(GetMenu(viewer), 2), "&Center");
        UpdateWindow(viewer);
        struct {
            int x, y;
            uint32_t rgb;
        } const tiles[] = {{0, 0, 0xFF0000}, {1, 0, 0x00FF00}, {2, 0, 0xFF0000},
                           {0, 1, 0x0000FF}, {3, 3, 0xFFFFFF}, {10, 11, 0x0000FF}};
        for (const auto& t : tiles)
            EXPECT_EQ(WindowPixel(viewer, t.x, t.y), t.rgb) << t.x << "," << t.y;
        SendMessageA(viewer, WM_COMMAND, CM_CENTER_TILE, 0);
        EXPECT_FALSE(g_tile);
        EXPECT_EQ(Label(GetMenu(viewer), 2), "&Tile");
    });
}

TEST(Viewer, MenuStatesAndLabelsFollowThePicture) {
    std::string dir = TestFolder("menus");
    for (int bits : {1, 4, 8, 16, 24, 32})
        WriteTestFile("menus\\b" + std::to_string(bits) + ".bmp", PictureOfBits(bits));
    struct {
        int bits;
        bool trueColor, best256, best32, best16, standard16, brighten, rle, bitfields, tiffMono;
        const char *rleLabel, *label555;
    } const cases[] = {
        {1, false, false, false, false, false, false, false, false, true, "&RLE Compression",
         "RGB 5 &5 5"},
        {4, false, false, false, true, true, true, true, false, false, "&RLE4 Compression",
         "RGB 5 &5 5"},
        {8, false, true, true, true, true, true, true, false, false, "&RLE8 Compression",
         "RGB 5 &5 5"},
        {16, true, true, true, true, true, true, false, true, false, "&RLE Compression",
         "RGB 5 &5 5"},
        {24, true, true, true, true, true, true, false, false, false, "&RLE Compression",
         "RGB 5 &5 5"},
        {32, true, true, true, true, true, true, false, true, false, "&RLE Compression",
         "RGB &8 8 8"},
    };
    RunDialog(dir + "\\b1.bmp", [&](HWND dialog) {
        PumpMessages();
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.bits << "-bit picture");
            ConfirmFile(dialog, "b" + std::to_string(c.bits) + ".bmp");
            ASSERT_EQ(g_bitCount, c.bits);
            HWND viewer = OpenWith(dialog, IDC_CENTER);
            ASSERT_TRUE(IsWindow(viewer));
            HMENU bar = GetMenu(viewer);
            HMENU tools = GetSubMenu(bar, 6), convert = GetSubMenu(bar, 5);
            HMENU bmp = GetSubMenu(convert, 0), tiff = GetSubMenu(convert, 7);
            EXPECT_FALSE(Grey(bar, 5));
            EXPECT_FALSE(Grey(bar, 6));
            EXPECT_EQ(!Grey(tools, 10), c.trueColor);
            EXPECT_EQ(!Grey(tools, 11), c.best256);
            EXPECT_EQ(!Grey(tools, 12), c.best32);
            EXPECT_EQ(!Grey(tools, 13), c.best16);
            EXPECT_EQ(!Grey(tools, 15), c.best16);
            EXPECT_EQ(!Grey(tools, 16), c.best16);
            EXPECT_EQ(!Grey(tools, 17), c.standard16);
            EXPECT_EQ(!Grey(tools, 0), c.brighten);
            EXPECT_EQ(!Grey(tools, 1), c.brighten);
            EXPECT_EQ(Label(tools, 18), "&Grayscale (256 colors)");
            EXPECT_EQ(!Grey(bmp, 1), c.rle);
            EXPECT_EQ(Label(bmp, 1), c.rleLabel);
            EXPECT_EQ(!Grey(bmp, 2), c.bitfields);
            EXPECT_EQ(Label(GetSubMenu(bmp, 2), 0), c.label555);
            for (int position : {3, 4, 5}) EXPECT_EQ(!Grey(tiff, position), c.tiffMono);
            EXPECT_TRUE(Grey(tiff, 0)); // the caption item
            EXPECT_FALSE(Grey(tiff, 2));
            EXPECT_FALSE(Grey(convert, 3)); // JPG
            SendMessageA(viewer, WM_COMMAND, CM_CLOSE_FILE, 0);
            ASSERT_FALSE(IsWindow(viewer));
        }
        // No picture: Tools and Convert/Save greyed, the BMP items open.
        HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
        SendMessageA(list, LB_SETCURSEL, WPARAM(-1), 0);
        SendMessageA(dialog, WM_COMMAND, IDC_CONFIRM, 0);
        ASSERT_EQ(g_picture, nullptr);
        HWND viewer = OpenWith(dialog, IDC_CENTER);
        ASSERT_TRUE(IsWindow(viewer));
        EXPECT_EQ(WindowText(viewer), "");
        HMENU bar = GetMenu(viewer);
        EXPECT_TRUE(Grey(bar, 5));
        EXPECT_TRUE(Grey(bar, 6));
        for (int position : {0, 1, 10, 11, 12, 13, 15, 16, 17})
            EXPECT_TRUE(Grey(GetSubMenu(bar, 6), position)) << position;
        HMENU bmp = GetSubMenu(GetSubMenu(bar, 5), 0);
        EXPECT_FALSE(Grey(bmp, 1));
        EXPECT_FALSE(Grey(bmp, 2));
        EXPECT_EQ(Label(GetSubMenu(bmp, 2), 0), "RGB &8 8 8");
        EXPECT_EQ(Label(GetSubMenu(bmp, 2), 1), "RGB &10 10 10");
    });
}

TEST(Viewer, NextAndLastFileWrapAroundTheList) {
    std::string dir = TestFolder("step");
    Bytes a = QuadrantBitmap(), b = PictureOfBits(8), c = PictureOfBits(4);
    WriteTestFile("step\\a.bmp", a);
    WriteTestFile("step\\b.bmp", b);
    WriteTestFile("step\\c.bmp", c);
    RunDialog(dir + "\\c.bmp", [&](HWND dialog) {
        PumpMessages();
        HWND viewer = OpenWith(dialog, IDC_CENTER);
        ASSERT_TRUE(IsWindow(viewer));
        struct {
            int command;
            const char* name;
            size_t size;
            int bits;
        } const steps[] = {{CM_NEXT_FILE, "a.bmp", a.size(), 24},
                           {CM_NEXT_FILE, "b.bmp", b.size(), 8},
                           {CM_LAST_FILE, "a.bmp", a.size(), 24},
                           {CM_LAST_FILE, "c.bmp", c.size(), 4}};
        for (const auto& s : steps) {
            SendMessageA(viewer, WM_COMMAND, WPARAM(s.command), 0);
            EXPECT_STREQ(g_fileName, s.name);
            EXPECT_EQ(ListSelection(dialog), s.name);
            EXPECT_EQ(WindowText(viewer), Caption(s.name, s.size));
            EXPECT_EQ(g_bitCount, s.bits);
            EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_FILE_NAME)), s.name);
        }
    });
}

TEST(Viewer, DeleteFileAsksAndDeletesOnlyOnYes) {
    std::string dir = TestFolder("delete");
    WriteTestFile("delete\\a.bmp", QuadrantBitmap());
    WriteTestFile("delete\\b.bmp", PictureOfBits(8));
    RunDialog(dir + "\\a.bmp", [&](HWND dialog) {
        PumpMessages();
        HWND viewer = OpenWith(dialog, IDC_CENTER);
        ASSERT_TRUE(IsWindow(viewer));
        HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
        {
            RecordMessages no(IDNO);
            SendMessageA(viewer, WM_COMMAND, CM_DELETE_FILE, 0);
            ASSERT_EQ(no.messages.size(), 1u);
            EXPECT_EQ(no.messages[0].text, "Are you sure? \n\n\nDelete File a.bmp?");
            EXPECT_EQ(no.messages[0].caption, " CONFIRM DELETE FILE ");
            EXPECT_EQ(no.messages[0].type, UINT(MB_ICONWARNING | MB_YESNOCANCEL));
            EXPECT_EQ(no.messages[0].owner, viewer);
        }
        EXPECT_TRUE(FileExists(dir + "\\a.bmp"));
        EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2);
        {
            RecordMessages yes(IDYES);
            SendMessageA(viewer, WM_COMMAND, CM_DELETE_FILE, 0);
            EXPECT_EQ(yes.messages.size(), 1u);
        }
        EXPECT_FALSE(FileExists(dir + "\\a.bmp"));
        EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 1);
        // The entry that followed the deleted file is shown.
        EXPECT_STREQ(g_fileName, "b.bmp");
        EXPECT_EQ(g_bitCount, 8);
        EXPECT_TRUE(IsWindow(viewer));
        {
            RecordMessages yes(IDYES);
            SendMessageA(viewer, WM_COMMAND, CM_DELETE_FILE, 0);
        }
        // Deleting the last listed file closes the viewer.
        EXPECT_FALSE(FileExists(dir + "\\b.bmp"));
        EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
        EXPECT_FALSE(IsWindow(viewer));
        EXPECT_EQ(g_viewerWindow, nullptr);
        EXPECT_EQ(g_viewKind, KIND_DELETED);
    });
}

TEST(Viewer, KeysClicksAndTheCloseBoxCloseIt) {
    std::string dir = TestFolder("close");
    WriteTestFile("close\\a.bmp", QuadrantBitmap());
    RunDialog(dir + "\\a.bmp", [&](HWND dialog) {
        PumpMessages();
        const UINT messages[] = {WM_KEYDOWN, WM_LBUTTONDOWN, WM_CLOSE};
        for (UINT message : messages) {
            HWND viewer = OpenWith(dialog, IDC_CENTER);
            ASSERT_TRUE(IsWindow(viewer));
            if (message == WM_KEYDOWN)
                PressKey(viewer, 'A');
            else
                SendMessageA(viewer, message, 0, 0);
            EXPECT_FALSE(IsWindow(viewer)) << message;
            EXPECT_EQ(g_viewerWindow, nullptr) << message;
            EXPECT_NE(g_picture, nullptr) << message; // the picture stays for the preview
        }
    });
}

TEST(Viewer, FileInfoAndToolsWorkOnTheCurrentPicture) {
    std::string dir = TestFolder("tools");
    WriteTestFile("tools\\wide.bmp", PictureOfBits(24));
    RunDialog(dir + "\\wide.bmp", [&](HWND dialog) {
        PumpMessages();
        HWND viewer = OpenWith(dialog, IDC_CENTER);
        ASSERT_TRUE(IsWindow(viewer));
        {
            RecordMessages info;
            SendMessageA(viewer, WM_COMMAND, CM_FILE_INFO, 0);
            ASSERT_EQ(info.messages.size(), 1u);
            EXPECT_EQ(info.messages[0].caption, "wide.bmp");
            EXPECT_EQ(info.messages[0].text, std::string(g_infoText));
            EXPECT_EQ(info.messages[0].type, UINT(MB_ICONINFORMATION));
            EXPECT_EQ(info.messages[0].owner, viewer);
        }
        SendMessageA(viewer, WM_COMMAND, 119, 0); // Rotate Clockwise 90
        EXPECT_EQ(HeaderOf(g_picture).biWidth, 2);
        EXPECT_EQ(HeaderOf(g_picture).biHeight, 4);
        // Closing undoes the rotation for the preview.
        SendMessageA(viewer, WM_COMMAND, CM_CLOSE_FILE, 0);
        EXPECT_EQ(HeaderOf(g_picture).biWidth, 4);
        EXPECT_EQ(g_orientation, 0);
    });
}

TEST(Viewer, PaletteDisplaysReduceForPreviewAndViewer) {
    std::string dir = TestFolder("palette");
    WriteTestFile("palette\\true.bmp", PictureOfBits(24));
    RunDialog(dir + "\\true.bmp", [&](HWND dialog) {
        PumpMessages();
        g_displayDepthOverride = 8;
        ConfirmFile(dialog, "true.bmp");
        // The preview shows the standard colours; the loaded depth is kept.
        EXPECT_EQ(g_displayDepth, 8);
        EXPECT_EQ(g_bitCount, 24);
        EXPECT_EQ(HeaderOf(g_picture).biBitCount, 8);
        ASSERT_NE(g_original, nullptr);
        EXPECT_EQ(HeaderOf(g_original).biBitCount, 24);
        HWND viewer = OpenWith(dialog, IDC_CENTER);
        ASSERT_TRUE(IsWindow(viewer));
        // The viewer starts again from the original with the best colours: this
        // picture's four colours pack to 4 bits, where the standard ones took 8.
        EXPECT_EQ(HeaderOf(g_picture).biBitCount, 4);
        ASSERT_NE(g_original, nullptr);
        EXPECT_TRUE(Grey(GetSubMenu(GetMenu(viewer), 6), 10)); // True Color on an 8-bit display
        SendMessageA(viewer, WM_COMMAND, CM_CLOSE_FILE, 0);
        g_displayDepthOverride = 4;
        ConfirmFile(dialog, "true.bmp");
        // Standard colours again (packed to fewer bits when few are used).
        EXPECT_LE(HeaderOf(g_picture).biBitCount, 8);
        ASSERT_NE(g_original, nullptr);
        EXPECT_EQ(HeaderOf(g_original).biBitCount, 24);
        viewer = OpenWith(dialog, IDC_CENTER);
        ASSERT_TRUE(IsWindow(viewer));
        HMENU tools = GetSubMenu(GetMenu(viewer), 6);
        EXPECT_EQ(Label(tools, 18), "&Grayscale (4 colors)");
        EXPECT_TRUE(Grey(tools, 13));
        EXPECT_FALSE(Grey(tools, 17));
        g_displayDepthOverride = 0;
    });
    g_displayDepthOverride = 0;
}

TEST(Viewer, NextLastAndDeleteKeepThePreviewInStep) {
    std::string dir = TestFolder("instep");
    WriteTestFile("instep\\a.bmp", SolidBitmap(4, 4, 0xFF0000));
    WriteTestFile("instep\\b.bmp", SolidBitmap(4, 4, 0x00FF00));
    WriteTestFile("instep\\c.bmp", SolidBitmap(4, 4, 0x0000FF));
    RunDialog(dir + "\\a.bmp", [&](HWND dialog) {
        PumpMessages();
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        ASSERT_EQ(WindowPixel(preview, 160, 160), 0xFF0000u);
        HWND viewer = OpenWith(dialog, IDC_CENTER);
        ASSERT_TRUE(IsWindow(viewer));
        struct {
            int command;
            const char* name;
            uint32_t rgb;
        } const steps[] = {{CM_NEXT_FILE, "b.bmp", 0x00FF00},
                           {CM_NEXT_FILE, "c.bmp", 0x0000FF},
                           {CM_LAST_FILE, "b.bmp", 0x00FF00},
                           {CM_DELETE_FILE, "c.bmp", 0x0000FF}, // b.bmp deleted: its follower
                           {CM_LAST_FILE, "a.bmp", 0xFF0000}};
        for (const auto& s : steps) {
            {
                RecordMessages yes(IDYES);
                SendMessageA(viewer, WM_COMMAND, WPARAM(s.command), 0);
            }
            PumpMessages();
            SCOPED_TRACE(s.name);
            ASSERT_STREQ(g_fileName, s.name);
            for (POINT p : {POINT{2, 2}, POINT{160, 160}, POINT{317, 317}})
                EXPECT_EQ(WindowPixel(preview, p.x, p.y), s.rgb) << p.x << "," << p.y;
        }
        EXPECT_FALSE(FileExists(dir + "\\b.bmp"));
        // Deleting the last two files leaves the empty frame in the preview.
        for (int i = 0; i < 2; i++) {
            RecordMessages yes(IDYES);
            SendMessageA(viewer, WM_COMMAND, CM_DELETE_FILE, 0);
        }
        PumpMessages();
        EXPECT_FALSE(IsWindow(viewer));
        EXPECT_EQ(WindowPixel(preview, 160, 160), 0xFFFFFFu);
    });
}
