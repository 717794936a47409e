// Animated GIF playback on the browser's timer: the preview and the viewer
// window show each composited frame in turn and start again after the last;
// the current picture stays the first frame's record; another file stops it.
#include "shell_test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "unit/gif_test_util.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

namespace {
const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// One frame: graphic control (disposal, delay), descriptor and data of one index.
Bytes Frame(int disposal, int delay, int left, int top, int width, int height, uint8_t index) {
    Bytes out = gif::GraphicControl(disposal << 2, delay, 0);
    out.push_back(0x2C);
    gif::Put16le(out, left);
    gif::Put16le(out, top);
    gif::Put16le(out, width);
    gif::Put16le(out, height);
    out.push_back(0);
    out.push_back(2);
    Bytes data = gif::ImageData(Bytes(size_t(width * height), index), 2);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// A 4 x 4 screen: red all over (kept), green on the lower right quarter
// (restored to the background), blue on the upper left quarter.
Bytes ThreeFrames() {
    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    gif::Put16le(out, 4);
    gif::Put16le(out, 4);
    out.insert(out.end(), {0x81, 0, 0});
    gif::PutTable(out, {kWhite, kRed, kGreen, kBlue});
    for (const Bytes& f :
         {Frame(1, 5, 0, 0, 4, 4, 1), Frame(2, 1, 2, 2, 2, 2, 2), Frame(1, 3, 0, 0, 2, 2, 3)})
        out.insert(out.end(), f.begin(), f.end());
    out.push_back(0x3B);
    return out;
}
} // namespace

TEST(GifPlayback, ThePreviewAndTheViewerShowTheFramesInALoop) {
    std::string dir = TestFolder("gifplay");
    WriteTestFile("gifplay\\moving.gif", ThreeFrames());
    WriteTestFile("gifplay\\still.bmp", SolidBitmap(2, 2, 0x808080));
    RunDialog(dir + "\\moving.gif", [&](HWND dialog) {
        PumpMessages();
        ASSERT_STREQ(g_fileName, "moving.gif");
        ASSERT_EQ(g_viewKind, KIND_RASTER);
        HGLOBAL first = g_picture;
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(g_animationTimer, 1u);
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        // The quarters of the preview square: upper left, lower right, upper right.
        auto quarters = [&](HWND window, int cx, int cy, int half) {
            return std::vector<uint32_t>{WindowPixel(window, cx - half, cy - half),
                                         WindowPixel(window, cx + half, cy + half),
                                         WindowPixel(window, cx + half, cy - half)};
        };
        EXPECT_EQ(quarters(preview, 160, 160, 80), (std::vector<uint32_t>{kRed, kRed, kRed}));

        // The real timer: the second frame within a second or two.
        for (int i = 0; i < 200 && WindowPixel(preview, 240, 240) != kGreen; i++) {
            Sleep(10);
            PumpMessages();
        }
        EXPECT_EQ(quarters(preview, 160, 160, 80), (std::vector<uint32_t>{kRed, kGreen, kRed}));

        // From here the steps are driven by hand, in a viewer window too.
        KillTimer(dialog, 0);
        SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        RECT client;
        GetClientRect(viewer, &client);
        const int cx = client.right / 2, cy = client.bottom / 2;
        const struct {
            std::vector<uint32_t> shown; // upper left, lower right, upper right
        } steps[] = {
            {{kBlue, kWhite, kRed}}, // the green quarter restored to the background
            {{kRed, kRed, kRed}},    // the first frame again
            {{kRed, kGreen, kRed}},
        };
        for (size_t i = 0; i < sizeof steps / sizeof steps[0]; i++) {
            SendMessageA(dialog, WM_TIMER, 0, 0);
            EXPECT_EQ(quarters(preview, 160, 160, 80), steps[i].shown) << i;
            // The viewer shows the 4 x 4 screen at its own size, centred.
            EXPECT_EQ(quarters(viewer, cx, cy, 1), steps[i].shown) << i;
            EXPECT_EQ(g_animationTimer, 1u) << i;
            EXPECT_EQ(g_picture, first) << i;
        }
        PressKey(viewer, VK_ESCAPE);
        PumpMessages();

        // Another file: the next step stops the playback and draws nothing.
        ConfirmFile(dialog, "still.bmp");
        EXPECT_EQ(WindowPixel(preview, 240, 240), 0x808080u);
        SendMessageA(dialog, WM_TIMER, 0, 0);
        EXPECT_EQ(WindowPixel(preview, 240, 240), 0x808080u);
        EXPECT_EQ(g_animationTimer, 0u);
    });
}
