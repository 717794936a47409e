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
