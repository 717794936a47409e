// Metafiles recorded here with the system's own recording calls, loaded
// through the loader and drawn by the preview, the viewer's paint (centred
// and tiled), the slideshow and the printer page: every drawing must equal
// the same recording played directly by the system into a bitmap of the
// same size. Then the real dialog: preview, viewer, File Info and the menu.
#include "shell_test_util.h"

#include "core/state.h"
#include "metafile/metafile.h"
#include "shell/geometry.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "unit/metafile_bytes.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// A white w x h 32-bit bitmap in a memory device context (96 dots per inch:
// 15 twips per pixel).
struct Canvas {
    Canvas(int width, int height) : w(width), h(height) {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info = TopDownInfo32(w, h);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                  nullptr, 0);
        old = SelectObject(dc, bitmap);
        for (int i = 0; i < w * h; i++) bits[i] = 0xFFFFFF;
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint32_t At(int x, int y) const {
        GdiFlush();
        return bits[y * w + x] & 0xFFFFFF;
    }
    int NonWhite() const {
        GdiFlush();
        int n = 0;
        for (int i = 0; i < w * h; i++) n += (bits[i] & 0xFFFFFF) != 0xFFFFFF;
        return n;
    }
    int w, h;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
    uint32_t* bits = nullptr;
};

// Pixels where the two differ.
int Differences(const Canvas& a, const Canvas& b) {
    GdiFlush();
    int n = 0;
    for (int i = 0; i < a.w * a.h; i++) n += (a.bits[i] & 0xFFFFFF) != (b.bits[i] & 0xFFFFFF);
    return n;
}

// A red box and a blue bar on a 200 x 100 window, recorded as a Windows
// metafile (with its window extent, so that a viewport scales it) or an
// enhanced one.
void DrawRecording(HDC dc) {
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, red);
    Rectangle(dc, 10, 10, 90, 90);
    SelectObject(dc, blue);
    Rectangle(dc, 110, 40, 190, 60);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(red);
    DeleteObject(blue);
}

// A recording's bytes, the recording deleted.
template <typename Handle, typename GetBits, typename Delete>
Bytes BitsOf(Handle metafile, GetBits get, Delete remove) {
    UINT size = get(metafile, 0, nullptr);
    Bytes bits(size);
    get(metafile, size, bits.data());
    remove(metafile);
    return bits;
}

Bytes RecordWindowsBits(bool withWindow) {
    HDC dc = CreateMetaFileA(nullptr);
    if (withWindow) {
        SetWindowOrgEx(dc, 0, 0, nullptr);
        SetWindowExtEx(dc, 200, 100, nullptr);
    }
    DrawRecording(dc);
    return BitsOf(CloseMetaFile(dc), GetMetaFileBitsEx, DeleteMetaFile);
}

// Enhanced, optionally with the header's OpenGL flag set.
Bytes RecordEnhanced(bool openGL) {
    RECT frame = {0, 0, 5292, 2646}; // 200 x 100 pixels at 96 dpi, in .01 mm
    HDC dc = CreateEnhMetaFileA(nullptr, nullptr, &frame, nullptr);
    DrawRecording(dc);
    Bytes bits = BitsOf(CloseEnhMetaFile(dc), GetEnhMetaFileBits, DeleteEnhMetaFile);
    if (openGL && bits.size() >= 100 && bits[4] >= 100) bits[96] = 1;
    return bits;
}

HMETAFILE Windows() {
    return reinterpret_cast<HMETAFILE>(g_picture);
}
HENHMETAFILE Enhanced() {
    return reinterpret_cast<HENHMETAFILE>(g_picture);
}

// The placeable file: a 200 x 100 box at 96 units per inch, 200 x 100 pixels
// on a 96-dpi device.
std::string PlaceableFile() {
    return WriteTestFile("placeable.wmf",
                         Joined(PlaceableHeader(0, 0, 199, 99, 96), RecordWindowsBits(true)));
}

void PlayPlaceableAt(HDC dc, int x, int y, int w, int h, HMETAFILE metafile) {
    SetMapMode(dc, MM_ANISOTROPIC);
    SetViewportExtEx(dc, w, h, nullptr);
    SetViewportOrgEx(dc, x, y, nullptr);
    PlayMetaFile(dc, metafile);
    SetMapMode(dc, MM_TEXT);
    SetViewportOrgEx(dc, 0, 0, nullptr);
}

void PlayEnhancedInto(HDC dc, int left, int top, int right, int bottom) {
    RECT r = {left, top, right, bottom};
    PlayEnhMetaFile(dc, Enhanced(), &r);
}

void ExpectSame(const Canvas& drawn, const Canvas& reference, const char* what) {
    EXPECT_GT(reference.NonWhite(), 0) << what;
    EXPECT_EQ(Differences(drawn, reference), 0) << what;
}
} // namespace

TEST(MetafileDraw, PreviewSquare) {
    RecordMessages quiet;
    g_previewLeft = g_previewTop = 0;
    g_previewWidth = g_previewHeight = 320;
    {
        ASSERT_TRUE(LoadForTest(PlaceableFile()));
        Canvas drawn(320, 320), reference(320, 320);
        DrawPreviewMetafile(drawn.dc, nullptr);
        PlayPlaceableAt(reference.dc, 0, 0, 320, 320, Windows());
        ExpectSame(drawn, reference, "placeable: anisotropic into the square");
        EXPECT_EQ(drawn.At(50, 160), 0xFF0000u); // the red box, stretched
    }
    {
        ASSERT_TRUE(LoadForTest(WriteTestFile("plain.wmf", RecordWindowsBits(false))));
        Canvas drawn(320, 320), reference(320, 320);
        DrawPreviewMetafile(drawn.dc, nullptr);
        PlayMetaFile(reference.dc, Windows());
        ExpectSame(drawn, reference, "plain: its own mapping at the origin");
        EXPECT_EQ(drawn.At(50, 50), 0xFF0000u);
        EXPECT_EQ(drawn.At(95, 50), 0xFFFFFFu);
    }
    for (bool openGL : {false, true}) {
        ASSERT_TRUE(LoadForTest(WriteTestFile("e.emf", RecordEnhanced(openGL))));
        Canvas drawn(320, 320), reference(320, 320);
        g_infoText[0] = 0;
        DrawPreviewMetafile(drawn.dc, g_infoText);
        PlayEnhancedInto(reference.dc, 0, 0, 320, 320);
        ExpectSame(drawn, reference, openGL ? "enhanced, OpenGL flag" : "enhanced");
        EXPECT_EQ(std::string(g_infoText).rfind("image type: Enhanced Metafile EMF \n", 0), 0u);
    }
    ReleaseCurrentPicture();
}

TEST(MetafileDraw, ViewerCentredAndTiled) {
    RecordMessages quiet;
    const int cw = 400, ch = 300;
    ASSERT_TRUE(LoadForTest(PlaceableFile()));
    for (bool tile : {false, true}) {
        g_tile = tile;
        Canvas drawn(cw, ch), reference(cw, ch);
        PaintMetafile(nullptr, drawn.dc, cw, ch);
        // 200 x 100 pixels fit in 401 x 301: centred at (100, 100), or a grid
        // of 2 x 3 whole copies from (0, 0).
        if (!tile) {
            PlayPlaceableAt(reference.dc, 100, 100, 200, 100, Windows());
        } else {
            for (int row = 0; row < 3; row++)
                for (int column = 0; column < 2; column++)
                    PlayPlaceableAt(reference.dc, column * 200, row * 100, 200, 100, Windows());
        }
        ExpectSame(drawn, reference, tile ? "placeable tiled" : "placeable centred");
    }
    ASSERT_TRUE(LoadForTest(WriteTestFile("e.emf", RecordEnhanced(false))));
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(Enhanced(), sizeof header, &header);
    const int w = header.rclBounds.right - header.rclBounds.left + 1;
    const int h = header.rclBounds.bottom - header.rclBounds.top + 1;
    ASSERT_GT(w, 0);
    ASSERT_LT(w, cw);
    ASSERT_LT(h, ch);
    for (bool tile : {false, true}) {
        g_tile = tile;
        Canvas drawn(cw, ch), reference(cw, ch);
        PaintMetafile(nullptr, drawn.dc, cw, ch);
        if (!tile) {
            int left = (cw - w) / 2, top = (ch - h) / 2;
            PlayEnhancedInto(reference.dc, left, top, left + w - 1, top + h - 1);
        } else {
            int columns = cw / w, rows = ch / h, x0 = (cw % w) / 2, y0 = (ch % h) / 2;
            for (int row = 0; row < rows; row++)
                for (int column = 0; column < columns; column++) {
                    int left = x0 + column * w, top = y0 + row * h;
                    PlayEnhancedInto(reference.dc, left, top, left + w - 1, top + h - 1);
                }
        }
        ExpectSame(drawn, reference, tile ? "enhanced tiled" : "enhanced centred");
        EXPECT_EQ(g_metafileFrame.right, header.rclBounds.right) << "bounds recorded";
    }
    g_tile = false;
    ReleaseCurrentPicture();
}

TEST(MetafileDraw, PrinterPage) {
    RecordMessages quiet;
    const int W = 640, H = 480;
    ASSERT_TRUE(LoadForTest(PlaceableFile()));
    {
        // Normal: natural size 200 x 100 centred on the page.
        Canvas drawn(W, H), reference(W, H);
        PrintMetafilePage(nullptr, drawn.dc, W, H, false, false);
        PlayPlaceableAt(reference.dc, (W + 1 - 200) / 2, (H + 1 - 100) / 2, 200, 100, Windows());
        ExpectSame(drawn, reference, "placeable normal");
    }
    {
        // Tiled: 3 x 4 whole copies, the grid centred.
        Canvas drawn(W, H), reference(W, H);
        PrintMetafilePage(nullptr, drawn.dc, W, H, false, true);
        for (int row = 0; row < 4; row++)
            for (int column = 0; column < 3; column++)
                PlayPlaceableAt(reference.dc, 20 + column * 200, 40 + row * 100, 200, 100,
                                Windows());
        ExpectSame(drawn, reference, "placeable tiled");
    }
    {
        // Large: 10/9 steps while both sides are below the page: 200 x 100
        // grows to 700 x 345, then one 9/10 step gives 630 x 310.
        Canvas drawn(W, H), reference(W, H);
        PrintMetafilePage(nullptr, drawn.dc, W, H, true, false);
        PlayPlaceableAt(reference.dc, (W + 1 - 630) / 2, (H + 1 - 310) / 2, 630, 310, Windows());
        ExpectSame(drawn, reference, "placeable large");
    }
    ASSERT_TRUE(LoadForTest(WriteTestFile("e.emf", RecordEnhanced(false))));
    ENHMETAHEADER header = {};
    GetEnhMetaFileHeader(Enhanced(), sizeof header, &header);
    int w = 2 * (header.rclBounds.right - header.rclBounds.left + 1);
    int h = 2 * (header.rclBounds.bottom - header.rclBounds.top + 1);
    ASSERT_LT(w, W);
    {
        // Normal: twice the bounds, centred.
        Canvas drawn(W, H), reference(W, H);
        PrintMetafilePage(nullptr, drawn.dc, W, H, false, false);
        int left = (W - w) / 2, top = (H - h) / 2;
        PlayEnhancedInto(reference.dc, left, top, left + w - 1, top + h - 1);
        ExpectSame(drawn, reference, "enhanced normal");
    }
    ReleaseCurrentPicture();
}

TEST(MetafileDraw, SlideshowDrawsFittedUnderTheName) {
    RecordMessages quiet;
    const int cw = 400, ch = 300;
    ASSERT_TRUE(LoadForTest(PlaceableFile()));
    g_fileName[0] = 0; // no name: only the picture
    Canvas drawn(cw, ch), reference(cw, ch);
    RECT name = {0, 0, 0, 0};
    DrawSlideshowMetafile(nullptr, drawn.dc, cw, ch, &name);
    PlayPlaceableAt(reference.dc, 100, 100, 200, 100, Windows());
    ExpectSame(drawn, reference, "placeable in the slideshow");
    ReleaseCurrentPicture();
}

// The real dialog: a placeable metafile previewed, opened in the viewer,
// described by File Info, its Tools and Convert/Save greyed.
TEST(MetafileDraw, DialogPreviewViewerAndFileInfo) {
    std::string dir = TestFolder("meta");
    WriteTestFile("meta\\box.wmf",
                  Joined(PlaceableHeader(0, 0, 199, 99, 96), RecordWindowsBits(true)));
    RunDialog(dir + "\\box.wmf", [&](HWND dialog) {
        PumpMessages();
        EXPECT_EQ(g_viewKind, KIND_WMF);
        ASSERT_NE(g_picture, nullptr);
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        EXPECT_EQ(WindowPixel(preview, 50, 160), 0xFF0000u) << "red box in the preview";
        EXPECT_EQ(WindowPixel(preview, 300, 20), 0xFFFFFFu);
        SendMessageA(dialog, WM_COMMAND, WPARAM(IDC_CENTER), 0);
        HWND viewer = g_viewerWindow;
        ASSERT_TRUE(IsWindow(viewer));
        UpdateWindow(viewer);
        RECT client;
        GetClientRect(viewer, &client);
        int x0 = (client.right + 1 - 200) / 2, y0 = (client.bottom + 1 - 100) / 2;
        EXPECT_EQ(WindowPixel(viewer, x0 + 50, y0 + 50), 0xFF0000u) << "red box, centred";
        EXPECT_EQ(WindowPixel(viewer, x0 + 150, y0 + 50), 0x0000FFu) << "blue bar, centred";
        EXPECT_EQ(WindowPixel(viewer, 2, 2), 0xFFFFFFu);
        {
            RecordMessages info;
            SendMessageA(viewer, WM_COMMAND, CM_FILE_INFO, 0);
            ASSERT_EQ(info.messages.size(), 1u);
            EXPECT_EQ(info.messages[0].caption, "box.wmf");
            EXPECT_EQ(info.messages[0].text.rfind("image type: placeable WMF \n", 0), 0u);
            EXPECT_NE(info.messages[0].text.find("\nwidth: 200 \nheight: 100 \nunits per inch: 96"),
                      std::string::npos);
        }
        {
            RecordMessages tools;
            SendMessageA(viewer, WM_COMMAND, 119, 0); // Rotate Clockwise 90
            ASSERT_EQ(tools.messages.size(), 1u);
            EXPECT_EQ(tools.messages[0].text,
                      "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap");
        }
        HMENU menu = GetMenu(viewer);
        int greyed = 0;
        for (int i = 0; i < GetMenuItemCount(menu); i++)
            greyed += (GetMenuState(menu, UINT(i), MF_BYPOSITION) & MF_GRAYED) != 0;
        EXPECT_GE(greyed, 2) << "Tools and Convert/Save are greyed for metafiles";
        SendMessageA(viewer, WM_COMMAND, CM_CLOSE_FILE, 0);

        // FULL SCREEN: the plain window, the metafile fitted and centred.
        SendMessageA(dialog, WM_COMMAND, IDC_FULL_SCREEN, 0);
        HWND full = g_fullWindow;
        ASSERT_TRUE(IsWindow(full));
        EXPECT_FALSE(GetWindowLongA(full, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL));
        UpdateWindow(full);
        GetClientRect(full, &client);
        x0 = (client.right + 1 - 200) / 2;
        y0 = (client.bottom + 1 - 100) / 2;
        EXPECT_EQ(WindowPixel(full, x0 + 50, y0 + 50), 0xFF0000u) << "red box, full screen";
        EXPECT_EQ(WindowPixel(full, x0 + 150, y0 + 50), 0x0000FFu) << "blue bar, full screen";
        SendMessageA(full, WM_KEYDOWN, VK_ESCAPE, 0);
    });
}

// Inkscape's files (tests/data/metafile): drawn centred in the viewer, with
// coloured pixels inside the target rectangle and none outside it.
TEST(MetafileDraw, FilesFromAnotherWriterDrawInsideTheirTarget) {
    RecordMessages quiet;
    const int cw = 400, ch = 300;
    g_tile = false;
    for (const char* name : {"boxes.wmf", "circle.wmf", "boxes.emf", "circle.emf"}) {
        ASSERT_TRUE(LoadForTest(std::string(ZENDRA_TEST_DATA) + "/metafile/" + name)) << name;
        Canvas drawn(cw, ch);
        PaintMetafile(nullptr, drawn.dc, cw, ch);
        RECT target;
        if (g_viewKind == KIND_WMF) {
            uint32_t w = MetafileNaturalSize(g_metafileFrame.left, g_metafileFrame.right, 15,
                                             g_unitsPerInch);
            uint32_t h = MetafileNaturalSize(g_metafileFrame.top, g_metafileFrame.bottom, 15,
                                             g_unitsPerInch);
            FitMetafileByNinetenths(&w, &h, cw + 1, ch + 1);
            target.left = LONG((cw + 1 - w) / 2);
            target.top = LONG((ch + 1 - h) / 2);
            target.right = target.left + LONG(w);
            target.bottom = target.top + LONG(h);
        } else {
            int w = MetafileExtent(g_metafileFrame.left, g_metafileFrame.right);
            int h = MetafileExtent(g_metafileFrame.top, g_metafileFrame.bottom);
            FitByNinetenths(w, h, cw, ch, &w, &h);
            target = {(cw - w) / 2, (ch - h) / 2, (cw - w) / 2 + w, (ch - h) / 2 + h};
        }
        int inside = 0, outside = 0;
        for (int y = 0; y < ch; y++)
            for (int x = 0; x < cw; x++) {
                if (drawn.At(x, y) == 0xFFFFFF) continue;
                bool in =
                    x >= target.left && x < target.right && y >= target.top && y < target.bottom;
                (in ? inside : outside)++;
            }
        EXPECT_GT(inside, 1000) << name;
        EXPECT_EQ(outside, 0) << name;
        EXPECT_TRUE(quiet.messages.empty()) << name;
    }
    ReleaseCurrentPicture();
}
