// The full-screen window (scroll bars, keyboard scrolling, closing) and the
// slideshow over the browser's list.
#include "shell_test_util.h"

#include "core/state.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string ClassOf(HWND window) {
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}
} // namespace

TEST(FullScreen, WidePictureScrollsHorizontallyByKeys) {
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(cy, 600);
    std::string dir = TestFolder("full");
    WriteTestFile("full\\wide.bmp", SolidBitmap(cx + 976, 500, 0x00FF00));
    RunDialog(dir + "\\wide.bmp", [&](HWND dialog) {
        PumpMessages();
        SendMessageA(dialog, WM_COMMAND, IDC_FULL_SCREEN, 0);
        HWND full = g_fullWindow;
        ASSERT_TRUE(IsWindow(full));
        EXPECT_EQ(ClassOf(full), "Full");
        LONG style = GetWindowLongA(full, GWL_STYLE);
        EXPECT_TRUE(style & WS_HSCROLL);
        EXPECT_FALSE(style & WS_VSCROLL);
        int low = -1, high = -1;
        GetScrollRange(full, SB_HORZ, &low, &high);
        EXPECT_EQ(low, 0);
        EXPECT_EQ(high, 976);
        struct {
            WPARAM key;
            int offset;
        } const keys[] = {{VK_RIGHT, -8}, {VK_RIGHT, -16},  {VK_LEFT, -8},
                          {VK_END, -976}, {VK_RIGHT, -976}, {VK_NEXT, -976},
                          {VK_HOME, 0},   {VK_LEFT, 0},     {VK_DOWN, 0}};
        for (const auto& k : keys) {
            PressKey(full, k.key);
            EXPECT_EQ(g_fullOffsetX, k.offset) << k.key;
            EXPECT_EQ(GetScrollPos(full, SB_HORZ), -k.offset) << k.key;
            EXPECT_TRUE(IsWindow(full)) << k.key;
        }
        EXPECT_EQ(g_fullOffsetY, 0);
        // The picture is drawn at the offset: green from the left edge.
        PressKey(full, VK_END);
        UpdateWindow(full);
        RECT client;
        GetClientRect(full, &client);
        EXPECT_EQ(WindowPixel(full, 0, client.bottom / 2), 0x00FF00u);
        EXPECT_EQ(WindowPixel(full, client.right - 1, client.bottom / 2), 0x00FF00u);
        PressKey(full, VK_ESCAPE);
        EXPECT_FALSE(IsWindow(full));
        EXPECT_EQ(g_fullWindow, nullptr);
        EXPECT_FALSE(g_fullScreenRequest);
        EXPECT_EQ(g_fullOffsetX, 0);
        EXPECT_NE(g_picture, nullptr);
    });
}

TEST(FullScreen, SmallPictureIsCentredAndAClickCloses) {
    std::string dir = TestFolder("fullsmall");
    WriteTestFile("fullsmall\\red.bmp", SolidBitmap(4, 2, 0xFF0000));
    RunDialog(dir + "\\red.bmp", [&](HWND dialog) {
        PumpMessages();
        SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        SendMessageA(viewer, WM_COMMAND, CM_FULL_SCREEN, 0);
        HWND full = g_fullWindow;
        ASSERT_TRUE(IsWindow(full));
        LONG style = GetWindowLongA(full, GWL_STYLE);
        EXPECT_FALSE(style & (WS_HSCROLL | WS_VSCROLL));
        UpdateWindow(full);
        RECT client;
        GetClientRect(full, &client);
        int x = (client.right - 4) / 2, y = (client.bottom - 2) / 2;
        EXPECT_EQ(WindowPixel(full, x, y), 0xFF0000u);
        EXPECT_EQ(WindowPixel(full, x + 3, y + 1), 0xFF0000u);
        EXPECT_EQ(WindowPixel(full, x - 1, y), 0xFFFFFFu);
        EXPECT_EQ(WindowPixel(full, x + 4, y), 0xFFFFFFu);
        SendMessageA(full, WM_LBUTTONDOWN, 0, 0);
        EXPECT_FALSE(IsWindow(full));
        EXPECT_TRUE(IsWindow(viewer)); // the viewer stays
    });
}

TEST(Slideshow, ShowsTheListInOrderAndWraps) {
    std::string dir = TestFolder("slides");
    WriteTestFile("slides\\a.bmp", SolidBitmap(4, 4, 0xFF0000));
    WriteTestFile("slides\\b.bmp", SolidBitmap(4, 4, 0x00FF00));
    WriteTestFile("slides\\c.bmp", SolidBitmap(4, 4, 0x0000FF));
    RunDialog(dir + "\\a.bmp", [&](HWND dialog) {
        PumpMessages();
        SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        SendMessageA(viewer, WM_COMMAND, CM_SLIDESHOW, 0);
        HWND slide = g_slideWindow;
        ASSERT_TRUE(IsWindow(slide));
        EXPECT_EQ(ClassOf(slide), "Slide");
        RECT client;
        GetClientRect(slide, &client);
        int x = client.right / 2, y = client.bottom / 2;
        UpdateWindow(slide);
        EXPECT_TRUE(g_slideTimer); // the first paint starts the timer
        EXPECT_EQ(WindowPixel(slide, x, y), 0xFF0000u);
        struct {
            const char* name;
            uint32_t rgb;
        } const steps[] = {{"b.bmp", 0x00FF00}, {"c.bmp", 0x0000FF}, {"a.bmp", 0xFF0000}};
        for (const auto& s : steps) {
            SendMessageA(slide, WM_TIMER, 0, 0);
            EXPECT_STREQ(g_fileName, s.name);
            UpdateWindow(slide);
            // Never enlarged: a 4 x 4 picture stays 4 x 4 in the middle.
            EXPECT_EQ(WindowPixel(slide, x, y), s.rgb) << s.name;
            EXPECT_EQ(WindowPixel(slide, x + 8, y), 0xFFFFFFu) << s.name;
            // The name is written at the top, in the middle.
            bool dark = false;
            for (int dy = 0; dy < 16 && !dark; dy++)
                for (int dx = -20; dx <= 20 && !dark; dx++)
                    dark = WindowPixel(slide, x + dx, dy) != 0xFFFFFFu;
            EXPECT_TRUE(dark) << s.name;
        }
        PressKey(slide, VK_SPACE);
        EXPECT_FALSE(IsWindow(slide));
        EXPECT_EQ(g_slideWindow, nullptr);
        EXPECT_FALSE(g_slideTimer);
        EXPECT_STREQ(g_fileName, "a.bmp"); // the last picture stays current
        EXPECT_NE(g_picture, nullptr);
    });
}

namespace {
// A picture larger than the screen both ways: its top 240 rows blue, below
// them green left of x = 300 and red from there on.
Bytes LargeQuarters(int w, int h) {
    BmpSpec bmpFile;
    bmpFile.width = w;
    bmpFile.height = h;
    Bytes blue, lower;
    for (int x = 0; x < w; x++) {
        blue.insert(blue.end(), {0xFF, 0, 0});
        if (x < 300)
            lower.insert(lower.end(), {0, 0xFF, 0});
        else
            lower.insert(lower.end(), {0, 0, 0xFF});
    }
    std::vector<Bytes> rows; // bottom row first
    for (int y = h - 1; y >= 0; y--) rows.push_back(y < 240 ? blue : lower);
    bmpFile.pixels = PadRows(rows);
    return BuildBmp(bmpFile);
}
} // namespace

TEST(FullScreen, WheelScrollsByNotchesAndThumbsMoveThePictureWhileDragged) {
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    std::string dir = TestFolder("wheel");
    WriteTestFile("wheel\\large.bmp", LargeQuarters(cx + 500, cy + 500));
    UINT lines = 3;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0));
    ASSERT_GT(lines, 0u);
    ASSERT_LT(lines, 40u); // a few lines a notch, not a page
    const int notch = int(lines) * 8;
    RunDialog(dir + "\\large.bmp", [&](HWND dialog) {
        PumpMessages();
        SendMessageA(dialog, WM_COMMAND, IDC_FULL_SCREEN, 0);
        HWND full = g_fullWindow;
        ASSERT_TRUE(IsWindow(full));
        ASSERT_EQ(GetWindowLongA(full, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL),
                  LONG(WS_HSCROLL | WS_VSCROLL));
        ASSERT_TRUE(GiveFocus(full));
        const int vMax = g_fullMaxY, hMax = g_fullMaxX;
        ASSERT_GT(vMax, 4 * notch);
        struct {
            UINT message;
            WORD keys;
            int delta;
            int x, y; // offsets afterwards
        } const turns[] = {
            {WM_MOUSEWHEEL, 0, -120, 0, -notch},        // towards the user: down
            {WM_MOUSEWHEEL, 0, -60, 0, -notch},         // half a notch waits
            {WM_MOUSEWHEEL, 0, -60, 0, -2 * notch},     // for the other half
            {WM_MOUSEWHEEL, 0, 360, 0, 0},              // up, stopping at the top
            {WM_MOUSEWHEEL, MK_SHIFT, -120, -notch, 0}, // with Shift: sideways
            {WM_MOUSEHWHEEL, 0, 240, -3 * notch, 0},    // tilted right
            {WM_MOUSEHWHEEL, 0, -480, 0, 0},            // and left, back to the edge
            {WM_MOUSEWHEEL, 0, -30000, 0, -vMax},       // far down stops at the end
            {WM_MOUSEWHEEL, MK_SHIFT, 120, 0, -vMax},   // Shift and up at the left edge
        };
        for (const auto& t : turns) {
            SendMessageA(full, t.message, MAKEWPARAM(t.keys, WORD(short(t.delta))),
                         MAKELPARAM(cx / 2, cy / 2));
            SCOPED_TRACE(testing::Message() << t.message << " " << t.keys << " " << t.delta);
            EXPECT_EQ(g_fullOffsetX, t.x);
            EXPECT_EQ(g_fullOffsetY, t.y);
            EXPECT_EQ(GetScrollPos(full, SB_HORZ), -t.x);
            EXPECT_EQ(GetScrollPos(full, SB_VERT), -t.y);
        }
        // Dragging a thumb moves the picture at once.
        SendMessageA(full, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 200), 0);
        SendMessageA(full, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 300), 0);
        EXPECT_EQ(g_fullOffsetX, -300);
        EXPECT_EQ(g_fullOffsetY, -200);
        EXPECT_EQ(GetScrollPos(full, SB_HORZ), 300);
        EXPECT_EQ(GetScrollPos(full, SB_VERT), 200);
        UpdateWindow(full);
        EXPECT_EQ(WindowPixel(full, 0, 0), 0x0000FFu);  // picture (300, 200): blue rows
        EXPECT_EQ(WindowPixel(full, 0, 39), 0x0000FFu); // (300, 239)
        EXPECT_EQ(WindowPixel(full, 0, 40), 0xFF0000u); // (300, 240): red from x = 300
        EXPECT_EQ(WindowPixel(full, 10, 100), 0xFF0000u);
        SendMessageA(full, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 290), 0);
        UpdateWindow(full);
        EXPECT_EQ(WindowPixel(full, 9, 100), 0x00FF00u); // (299, 300): green
        EXPECT_EQ(WindowPixel(full, 10, 100), 0xFF0000u);
        // Let go where it was dragged to.
        SendMessageA(full, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 290), 0);
        EXPECT_EQ(g_fullOffsetX, -290);
        EXPECT_LE(hMax, 65535); // positions travel in 16 bits here
        PressKey(full, VK_ESCAPE);
        EXPECT_FALSE(IsWindow(full));
    });
}

TEST(Slideshow, EndingShowsItsLastPictureInTheViewerAndThePreview) {
    std::string dir = TestFolder("slideend");
    WriteTestFile("slideend\\a.bmp", SolidBitmap(4, 4, 0xFF0000));
    WriteTestFile("slideend\\b.bmp", SolidBitmap(4, 4, 0x00FF00));
    RunDialog(dir + "\\a.bmp", [&](HWND dialog) {
        PumpMessages();
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        for (bool byKey : {true, false}) {
            SCOPED_TRACE(byKey ? "ended by a key" : "ended by a click");
            ConfirmFile(dialog, "a.bmp");
            SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
            HWND viewer = g_viewerWindow;
            ASSERT_TRUE(IsWindow(viewer));
            UpdateWindow(viewer);
            RECT client;
            GetClientRect(viewer, &client);
            int x = (client.right - 4) / 2 + 1, y = (client.bottom - 4) / 2 + 1;
            ASSERT_EQ(WindowPixel(viewer, x, y), 0xFF0000u);
            SendMessageA(viewer, WM_COMMAND, CM_SLIDESHOW, 0);
            HWND slide = g_slideWindow;
            ASSERT_TRUE(IsWindow(slide));
            UpdateWindow(slide);
            SendMessageA(slide, WM_TIMER, 0, 0);
            UpdateWindow(slide);
            ASSERT_STREQ(g_fileName, "b.bmp");
            if (byKey)
                PressKey(slide, VK_ESCAPE);
            else
                SendMessageA(slide, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
            PumpMessages();
            ASSERT_FALSE(IsWindow(slide));
            ASSERT_TRUE(IsWindow(viewer));
            UpdateWindow(viewer);
            // The viewer and the preview show the picture the commands act on.
            EXPECT_EQ(WindowText(viewer),
                      "b.bmp     " + std::to_string(SolidBitmap(4, 4, 0).size()) + " bytes");
            EXPECT_EQ(WindowPixel(viewer, x, y), 0x00FF00u);
            EXPECT_EQ(WindowPixel(preview, 160, 160), 0x00FF00u);
            SendMessageA(viewer, WM_COMMAND, CM_CLOSE_FILE, 0);
            ASSERT_FALSE(IsWindow(viewer));
        }
    });
}

TEST(FullScreen, ThumbPositionsPastSixteenBitsAreTakenFromTheBar) {
    // A scroll range of 70000: the message's 16 bits cannot carry the thumb.
    const int w = GetSystemMetrics(SM_CXSCREEN) + 70000;
    BmpSpec bmpFile;
    bmpFile.width = w;
    bmpFile.height = 8;
    Bytes row;
    for (int x = 0; x < w; x++)
        if (x < 68000)
            row.insert(row.end(), {0, 0xFF, 0}); // green
        else
            row.insert(row.end(), {0, 0, 0xFF}); // red from x = 68000
    bmpFile.pixels = PadRows(std::vector<Bytes>(8, row));
    std::string dir = TestFolder("longbar");
    WriteTestFile("longbar\\long.bmp", BuildBmp(bmpFile));
    RunDialog(dir + "\\long.bmp", [&](HWND dialog) {
        PumpMessages();
        SendMessageA(dialog, WM_COMMAND, IDC_FULL_SCREEN, 0);
        HWND full = g_fullWindow;
        ASSERT_TRUE(IsWindow(full));
        int low = -1, high = -1;
        GetScrollRange(full, SB_HORZ, &low, &high);
        ASSERT_EQ(high, 70000);
        RECT client;
        GetClientRect(full, &client);
        int y = (client.bottom - 8) / 2 + 4;
        for (WORD code : {WORD(SB_THUMBTRACK), WORD(SB_THUMBPOSITION)}) {
            for (int position : {68000, 67999, 70000}) {
                SCOPED_TRACE(testing::Message() << code << " to " << position);
                SetScrollPos(full, SB_HORZ, position, FALSE); // where the bar's thumb is
                SendMessageA(full, WM_HSCROLL, MAKEWPARAM(code, WORD(position & 0xFFFF)), 0);
                EXPECT_EQ(g_fullOffsetX, -position);
                EXPECT_EQ(GetScrollPos(full, SB_HORZ), position);
                UpdateWindow(full);
                EXPECT_EQ(WindowPixel(full, 0, y), position < 68000 ? 0x00FF00u : 0xFF0000u);
                EXPECT_EQ(WindowPixel(full, 1, y), 0xFF0000u);
            }
        }
        PressKey(full, VK_ESCAPE);
        EXPECT_FALSE(IsWindow(full));
    });
}
