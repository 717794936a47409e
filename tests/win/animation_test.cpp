// The animation step of the browser's timer: an animated cursor's tables as its
// reader leaves them in the current-image state, and real icon and animated files.
#include "shell_test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "unit/icon_test_util.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
// A one-colour 2 x 2 true-colour Image record.
HGLOBAL SolidFrame(uint8_t blue, uint8_t green, uint8_t red) {
    HGLOBAL image = AllocImageRecord(2, 2, 24, 0);
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* pixels = ImagePixels(header);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 2; x++) {
            BYTE* p = pixels + y * ImageStride(2, 24) + 3 * x;
            p[0] = blue;
            p[1] = green;
            p[2] = red;
        }
    GlobalUnlock(image);
    return image;
}

template <typename T> HGLOBAL TableOf(const T* entries, size_t count) {
    HGLOBAL table = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(T) * count);
    std::memcpy(GlobalLock(table), entries, sizeof(T) * count);
    GlobalUnlock(table);
    return table;
}

struct Step {
    int32_t frame;
    uint32_t rate;
};
} // namespace

TEST(Animation, StepsThroughTheSequenceWithItsRates) {
    std::string dir = TestFolder("animation");
    BmpSpec white;
    white.pixels = PadRows({{0xFF, 0xFF, 0xFF}});
    WriteTestFile("animation\\white.bmp", BuildBmp(white));
    RunDialog(dir + "\\white.bmp", [&](HWND dialog) {
        PumpMessages();
        SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        ReleaseCurrentPicture();
        HGLOBAL frames[2] = {SolidFrame(0, 0, 0xFF), SolidFrame(0xFF, 0, 0)}; // red, blue
        // Frame 7 does not exist; the last rate would overflow the timer interval.
        const Step steps[] = {{1, 6}, {0, 60}, {7, 3}, {0, 0xFFFFFFFFu}};
        g_frameTable = TableOf(frames, 2);
        g_sequenceTable = TableOf(steps, 4);
        g_frameCount = 2;
        g_sequenceLength = 4;
        g_sequencePosition = 0;
        g_viewKind = KIND_ANI;
        g_picture = frames[0];

        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        RECT client;
        GetClientRect(viewer, &client);
        int cx = (client.right - 2) / 2, cy = (client.bottom - 2) / 2;
        struct {
            HGLOBAL picture;
            int delay;
            uint32_t rgb;
        } const expected[] = {{frames[1], 10, 0x0000FF},
                              {frames[0], 100, 0xFF0000},
                              {nullptr, 5, 0},
                              {frames[0], INT_MAX / 9, 0xFF0000},
                              {frames[1], 10, 0x0000FF}}; // wrapped to the first step
        for (size_t i = 0; i < sizeof expected / sizeof expected[0]; i++) {
            SendMessageA(dialog, WM_TIMER, 0, 0);
            EXPECT_EQ(g_picture, expected[i].picture) << i;
            EXPECT_EQ(g_frameDelay, expected[i].delay) << i;
            EXPECT_EQ(g_animationTimer, 1u) << i;
            if (!expected[i].picture) continue;
            EXPECT_EQ(WindowPixel(preview, 160, 160), expected[i].rgb) << i;
            EXPECT_EQ(WindowPixel(viewer, cx, cy), expected[i].rgb) << i;
        }
        // The frames belong to the frame table: releasing frees them once.
        ReleaseCurrentPicture();
        EXPECT_EQ(g_frameTable, nullptr);
        EXPECT_EQ(g_animationTimer, 0u);
        g_viewKind = KIND_NONE;
    });
}

namespace {
// A one-colour 4 x 4 true-colour icon entry.
IconImage SolidEntry(uint32_t rgb) {
    IconImage im;
    im.width = im.height = 4;
    im.bits = 24;
    im.pixels.assign(16, rgb);
    return im;
}
} // namespace

TEST(Animation, IconFileOfThreeImagesCycles) {
    std::string dir = TestFolder("icon-cycle");
    WriteTestFile("icon-cycle\\three.ico",
                  IconFile({SolidEntry(0xFF0000), SolidEntry(0x00FF00), SolidEntry(0x0000FF)}));
    RunDialog(dir + "\\three.ico", [&](HWND dialog) {
        PumpMessages();
        ASSERT_EQ(g_viewKind, KIND_ICON_CYCLE);
        EXPECT_EQ(g_iconCount, 3);
        EXPECT_EQ(g_frameDelay, 100);
        EXPECT_EQ(g_animationTimer, 1u);
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        // Entry 1 first; the preview's repaint leaves animations to the timer.
        ASSERT_NE(g_picture, nullptr);
        EXPECT_EQ(PixelAt(g_picture, 0, 0), 0xFF0000u) << "entry 1 first";
        SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        RECT client;
        GetClientRect(viewer, &client);
        const int cx = client.right / 2, cy = client.bottom / 2;
        const struct {
            int index;
            uint32_t rgb;
        } expected[] = {{2, 0x00FF00}, {3, 0x0000FF}, {1, 0xFF0000}, {2, 0x00FF00}};
        for (const auto& e : expected) {
            SendMessageA(dialog, WM_TIMER, 0, 0);
            EXPECT_EQ(g_iconIndex, e.index);
            EXPECT_EQ(g_animationTimer, 1u);
            EXPECT_EQ(WindowPixel(preview, 160, 160), e.rgb) << e.index;
            EXPECT_EQ(WindowPixel(viewer, cx, cy), e.rgb) << e.index;
        }
        SendMessageA(viewer, WM_CLOSE, 0, 0);
        PumpMessages();
    });
}

TEST(Animation, AnimatedCursorPlaysItsSequenceWithItsRates) {
    std::string dir = TestFolder("animated");
    Bytes red = IconFile({SolidEntry(0xFF0000)}, 2), blue = IconFile({SolidEntry(0x0000FF)}, 2);
    Bytes frames = Chunk("icon", red);
    Bytes second = Chunk("icon", blue);
    frames.insert(frames.end(), second.begin(), second.end());
    WriteTestFile("animated\\walk.ani",
                  RiffFile({Chunk("anih", AnihData(2, 3)), Chunk("rate", Words32({6, 60, 3})),
                            Chunk("seq ", Words32({1, 0, 1})), ListChunk("fram", frames)}));
    RunDialog(dir + "\\walk.ani", [&](HWND dialog) {
        PumpMessages();
        ASSERT_EQ(g_viewKind, KIND_ANI);
        EXPECT_EQ(g_frameCount, 2);
        EXPECT_EQ(g_sequenceLength, 3);
        EXPECT_EQ(g_frameDelay, 10) << "step 0: rate 6";
        EXPECT_EQ(g_sequencePosition, 1);
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        ASSERT_NE(g_picture, nullptr);
        EXPECT_EQ(PixelAt(g_picture, 0, 0), 0x0000FFu) << "step 0 shows icon 1";
        const struct {
            int delay;
            uint32_t rgb;
        } expected[] = {{100, 0xFF0000}, {5, 0x0000FF}, {10, 0x0000FF}, {100, 0xFF0000}};
        for (const auto& e : expected) {
            SendMessageA(dialog, WM_TIMER, 0, 0);
            EXPECT_EQ(g_frameDelay, e.delay);
            EXPECT_EQ(g_animationTimer, 1u);
            EXPECT_EQ(WindowPixel(preview, 160, 160), e.rgb) << e.delay;
        }
        EXPECT_NE(std::string(g_infoText).find("image type: animated cursor"), std::string::npos);
    });
}
