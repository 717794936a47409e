// Printing: the page drawing on a page-sized bitmap, and the Print commands
// with the print dialog cancelled.
#include "shell_test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <string>

namespace {
// A 32 x 24 true-colour record: left half red, right half blue.
HGLOBAL HalvesRecord() {
    HGLOBAL image = AllocImageRecord(32, 24, 24, 0);
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* pixels = ImagePixels(header);
    for (int y = 0; y < 24; y++)
        for (int x = 0; x < 32; x++) {
            BYTE* p = pixels + y * ImageStride(32, 24) + 3 * x;
            p[x < 16 ? 2 : 0] = 0xFF;
        }
    GlobalUnlock(image);
    return image;
}

// A white 640 x 480 page in a memory device context.
struct Page {
    Page() {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = 640;
        info.bmiHeader.biHeight = -480;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                  nullptr, 0);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < 640 * 480; i++) bits[i] = 0xFFFFFF;
    }
    ~Page() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint32_t At(int x, int y) {
        GdiFlush();
        return bits[y * 640 + x] & 0xFFFFFF;
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    uint32_t* bits = nullptr;
};

} // namespace

TEST(Print, PagesAreDrawnByWholeMultiples) {
    HGLOBAL record = HalvesRecord();
    {
        // Normal: the scale of a 640 x 480 screen on the page, 1 here, centred.
        Page page;
        PrintRasterPage(page.dc, 640, 480, record, false, false);
        EXPECT_EQ(page.At(304, 228), 0xFF0000u);
        EXPECT_EQ(page.At(335, 251), 0x0000FFu);
        EXPECT_EQ(page.At(303, 228), 0xFFFFFFu);
        EXPECT_EQ(page.At(336, 251), 0xFFFFFFu);
    }
    {
        // Large: 20 times, the whole page.
        Page page;
        PrintRasterPage(page.dc, 640, 480, record, true, false);
        EXPECT_EQ(page.At(0, 0), 0xFF0000u);
        EXPECT_EQ(page.At(319, 479), 0xFF0000u);
        EXPECT_EQ(page.At(320, 0), 0x0000FFu);
        EXPECT_EQ(page.At(639, 479), 0x0000FFu);
    }
    {
        // Tiled: 20 x 20 copies at the Normal scale.
        Page page;
        PrintRasterPage(page.dc, 640, 480, record, false, true);
        EXPECT_EQ(page.At(0, 0), 0xFF0000u);
        EXPECT_EQ(page.At(16, 0), 0x0000FFu);
        EXPECT_EQ(page.At(32, 24), 0xFF0000u);
        EXPECT_EQ(page.At(639, 479), 0x0000FFu);
        EXPECT_EQ(page.At(608, 470), 0xFF0000u);
        EXPECT_EQ(page.At(624, 470), 0x0000FFu);
    }
    GlobalFree(record);
}

TEST(Print, CancelledPrintDialogLeavesEverythingAsItWas) {
    std::string dir = TestFolder("print");
    BmpSpec bmpFile;
    bmpFile.pixels = PadRows({{1, 2, 3}});
    WriteTestFile("print\\a.bmp", BuildBmp(bmpFile));
    RunDialog(dir + "\\a.bmp", [&](HWND dialog) {
        PumpMessages();
        SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        HGLOBAL picture = g_picture;
        for (int id : {CM_PRINT_NORMAL, CM_PRINT_LARGE, CM_PRINT_TILED}) {
            EndDialogBoxes cancel(IDCANCEL);
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, WPARAM(id), 0);
            EXPECT_TRUE(box.messages.empty()) << id;
            EXPECT_EQ(g_picture, picture) << id;
            EXPECT_TRUE(IsWindow(viewer)) << id;
        }
    });
}
