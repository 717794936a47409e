// Convert/Save from the viewer: the proposed name, the system's Save As dialog
// answered by the test, the outcome message, the browser list, and which
// picture is written.
#include "shell_test_util.h"

#include "core/state.h"
#include "formats/library/tiff_format.h"
#include "formats/library/webp_format.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "tools/writers.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <string>

namespace {
// A 24-bit 3 x 2 picture of six colours.
Bytes SixColours() {
    BmpSpec bmpFile;
    bmpFile.width = 3;
    bmpFile.height = 2;
    bmpFile.bitCount = 24;
    bmpFile.pixels = PadRows({{0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0},
                              {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0xFF, 0xFF, 0xFF}});
    return BuildBmp(bmpFile);
}

int ListCount(HWND dialog, const std::string& name) {
    HWND list = GetDlgItem(dialog, IDC_FILE_LIST);
    int count = 0;
    LRESULT n = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; i++) {
        char text[FILE_NAME_SIZE] = "";
        SendMessageA(list, LB_GETTEXT, WPARAM(i), LPARAM(text));
        if (_stricmp(text, name.c_str()) == 0) count++;
    }
    return count;
}

HWND OpenViewer(HWND dialog) {
    PumpMessages();
    SendMessageA(dialog, WM_COMMAND, IDC_CENTER, 0);
    return g_viewerWindow;
}

uint16_t BitCountOf(const Bytes& file) {
    return file.size() >= 30 ? uint16_t(file[28] | file[29] << 8) : 0;
}
} // namespace

TEST(ConvertSave, ProposesTheNameUpToTheFirstDot) {
    struct {
        const char* name;
        int format;
        const char* proposed;
    } const cases[] = {
        {"photo.jpg", FMT_BMP, "photo.bmp"}, {"scan", FMT_PNG, "scan.png"},
        {"a.b.c.tif", FMT_PCX, "a.pcx"},     {"my.photo.jpg", FMT_BMP_RLE, "my.bmp"},
        {".hidden", FMT_TGA, ".tga"},        {"x.", FMT_TIFF, "x.tif"},
        {"pic.bmp", FMT_IFF, "pic.iff"},     {"pic.bmp", FMT_JPEG, "pic.jpg"},
    };
    for (const auto& c : cases) {
        char path[512];
        ASSERT_TRUE(ProposeSaveName(path, sizeof path, c.name, c.format)) << c.name;
        EXPECT_STREQ(path, c.proposed) << c.name;
    }
    char path[512] = "unchanged";
    EXPECT_FALSE(ProposeSaveName(path, sizeof path, "a.bmp", 13)); // code 13 is not assigned
    // A name too long for the buffer keeps its extension whole.
    char small[8];
    ASSERT_TRUE(ProposeSaveName(small, sizeof small, "abcdefghij", FMT_PNG));
    EXPECT_STREQ(small, "abc.png");
}

TEST(ConvertSave, SavesIntoTheListedFolderAndReportsTheSize) {
    std::string dir = TestFolder("save");
    Bytes source = SixColours();
    WriteTestFile("save\\my.photo.bmp", source);
    TestFolder("save\\sub");
    RunDialog(dir + "\\my.photo.bmp", [&](HWND dialog) {
        HWND viewer = OpenViewer(dialog);
        ASSERT_TRUE(IsWindow(viewer));
        {
            SaveAsDriver saveAs("out");
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, CM_BMP, 0);
            EXPECT_EQ(saveAs.dialogs, 1);
            EXPECT_EQ(saveAs.proposed, "my.bmp");
            EXPECT_EQ(saveAs.firstFilter, "Windows Bitmap (*.bmp)");
            // The default extension completes the typed name.
            Bytes written = ReadWholeFile(dir + "\\out.bmp");
            ASSERT_EQ(written.size(), source.size());
            EXPECT_TRUE(std::equal(written.begin() + 54, written.end(), source.begin() + 54));
            ASSERT_EQ(box.messages.size(), 1u);
            EXPECT_EQ(box.messages[0].caption, "File Converted Successfully");
            EXPECT_EQ(box.messages[0].type, UINT(MB_OK));
            EXPECT_EQ(box.messages[0].owner, nullptr);
            std::string text = box.messages[0].text;
            std::string tail = "\\out.bmp\n\n" + std::to_string(written.size()) + " bytes";
            ASSERT_GE(text.size(), tail.size());
            EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
            EXPECT_EQ(ListCount(dialog, "out.bmp"), 1);
        }
        {
            // The same name again: the overwrite question, then no second entry.
            SaveAsDriver saveAs("out.bmp", IDYES);
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, CM_PCX, 0);
            EXPECT_EQ(saveAs.questions, 1);
            EXPECT_EQ(saveAs.firstFilter, "PCX (*.pcx)");
            ASSERT_EQ(box.messages.size(), 1u);
            EXPECT_EQ(box.messages[0].caption, "File Converted Successfully");
            Bytes written = ReadWholeFile(dir + "\\out.bmp");
            ASSERT_FALSE(written.empty());
            EXPECT_EQ(written[0], 0x0A); // now a PCX file under that name
            EXPECT_EQ(ListCount(dialog, "out.bmp"), 1);
        }
        {
            // A file written into another folder leaves the list alone.
            SaveAsDriver saveAs(dir + "\\sub\\other.tga");
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, CM_TGA_RLE, 0);
            EXPECT_TRUE(FileExists(dir + "\\sub\\other.tga"));
            EXPECT_EQ(box.messages.size(), 1u);
            EXPECT_EQ(ListCount(dialog, "other.tga"), 0);
        }
        // The picture and its state are left as they were.
        EXPECT_STREQ(g_fileName, "my.photo.bmp");
        EXPECT_EQ(g_bitCount, 24);
    });
}

TEST(ConvertSave, CancelAndNoToOverwriteWriteNothing) {
    std::string dir = TestFolder("cancel");
    WriteTestFile("cancel\\pic.bmp", SixColours());
    Bytes existing = {'k', 'e', 'e', 'p'};
    WriteTestFile("cancel\\taken.pcx", existing);
    RunDialog(dir + "\\pic.bmp", [&](HWND dialog) {
        HWND viewer = OpenViewer(dialog);
        ASSERT_TRUE(IsWindow(viewer));
        {
            SaveAsDriver saveAs(""); // cancelled
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, CM_PCX, 0);
            EXPECT_EQ(saveAs.dialogs, 1);
            EXPECT_EQ(saveAs.proposed, "pic.pcx");
            EXPECT_TRUE(box.messages.empty());
            EXPECT_FALSE(FileExists(dir + "\\pic.pcx"));
        }
        {
            SaveAsDriver saveAs("taken.pcx", IDNO);
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, CM_PCX, 0);
            EXPECT_EQ(saveAs.questions, 1);
            EXPECT_TRUE(box.messages.empty());
            EXPECT_EQ(ReadWholeFile(dir + "\\taken.pcx"), existing);
        }
    });
}

TEST(ConvertSave, FailuresAreReportedAndKeepTheOldFile) {
    std::string dir = TestFolder("fail");
    WriteTestFile("fail\\pic.bmp", SixColours());
    Bytes existing = {'o', 'l', 'd'};
    WriteTestFile("fail\\old.bmp", existing);
    RunDialog(dir + "\\pic.bmp", [&](HWND dialog) {
        HWND viewer = OpenViewer(dialog);
        ASSERT_TRUE(IsWindow(viewer));
        {
            // A 24-bit picture cannot be run-length coded.
            SaveAsDriver saveAs("old.bmp", IDYES);
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, CM_BMP_RLE, 0);
            ASSERT_EQ(box.messages.size(), 1u);
            EXPECT_EQ(box.messages[0].text, "Error Converting File");
            EXPECT_EQ(box.messages[0].caption, "(null)"); // the system's default caption
            EXPECT_EQ(box.messages[0].type, UINT(MB_ICONERROR));
            EXPECT_EQ(ReadWholeFile(dir + "\\old.bmp"), existing);
        }
        {
            // The fax codecs refuse a colour picture, in strips and in tiles.
            for (int command : {CM_TIFF_G3, CM_TIFF_G4_TILES}) {
                SaveAsDriver saveAs("old.bmp", IDYES);
                RecordMessages box;
                SendMessageA(viewer, WM_COMMAND, WPARAM(command), 0);
                ASSERT_EQ(box.messages.size(), 1u) << command;
                EXPECT_EQ(box.messages[0].text, "Error Converting File") << command;
                EXPECT_EQ(ReadWholeFile(dir + "\\old.bmp"), existing) << command;
            }
        }
        {
            // Nothing is asked or written for a picture that is not a bitmap.
            int kind = g_viewKind;
            g_viewKind = KIND_EMF;
            SaveAsDriver saveAs("never.bmp");
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, CM_BMP, 0);
            g_viewKind = kind;
            EXPECT_EQ(saveAs.dialogs, 0);
            ASSERT_EQ(box.messages.size(), 1u);
            EXPECT_EQ(box.messages[0].text,
                      "Unable to Convert File: \n\nCurrent File is Not a Bitmap");
            EXPECT_EQ(box.messages[0].owner, viewer);
            EXPECT_EQ(box.messages[0].type, UINT(MB_ICONERROR));
        }
        {
            // The GIF commands have no action.
            SaveAsDriver saveAs("never.gif");
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, CM_GIF, 0);
            SendMessageA(viewer, WM_COMMAND, CM_GIF_INTERLACED, 0);
            EXPECT_EQ(saveAs.dialogs, 0);
            EXPECT_TRUE(box.messages.empty());
        }
        // No temporary file is left behind.
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((dir + "\\*.tmp").c_str(), &found);
        EXPECT_EQ(search, INVALID_HANDLE_VALUE);
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
    });
}

TEST(ConvertSave, WritesTheOriginalUnlessTheUserReducedIt) {
    std::string dir = TestFolder("original");
    WriteTestFile("original\\true.bmp", SixColours());
    RunDialog(dir + "\\true.bmp", [&](HWND dialog) {
        PumpMessages();
        g_displayDepthOverride = 8;
        ConfirmFile(dialog, "true.bmp");
        HWND viewer = OpenViewer(dialog);
        ASSERT_TRUE(IsWindow(viewer));
        ASSERT_NE(g_original, nullptr); // shown reduced for the 8-bit display
        {
            SaveAsDriver saveAs("display.bmp");
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, CM_BMP, 0);
            EXPECT_EQ(BitCountOf(ReadWholeFile(dir + "\\display.bmp")), 24);
        }
        SendMessageA(viewer, WM_COMMAND, 132, 0); // 256 Best Colors
        {
            SaveAsDriver saveAs("chosen.bmp");
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, CM_BMP, 0);
            EXPECT_LE(BitCountOf(ReadWholeFile(dir + "\\chosen.bmp")), 8);
            EXPECT_GT(BitCountOf(ReadWholeFile(dir + "\\chosen.bmp")), 0);
        }
        g_displayDepthOverride = 0;
    });
    g_displayDepthOverride = 0;
}

TEST(ConvertSave, EveryWriterOfTheMenuWritesItsFormat) {
    std::string dir = TestFolder("every");
    WriteTestFile("every\\pic.bmp", SixColours());
    struct {
        int command;
        const char* name;
        Bytes magic;
    } const cases[] = {
        {CM_BMP, "u.bmp", {'B', 'M'}},
        {CM_JPG, "s.jpg", {0xFF, 0xD8, 0xFF}},
        {CM_JPG_PROGRESSIVE, "p.jpg", {0xFF, 0xD8, 0xFF}},
        {CM_PNG, "n.png", {0x89, 'P', 'N', 'G'}},
        {CM_PNG_ADAM7, "a.png", {0x89, 'P', 'N', 'G'}},
        {CM_PCX, "x.pcx", {0x0A}},
        {CM_TGA, "t.tga", {0, 0, 2}},
        {CM_TGA_RLE, "r.tga", {0, 0, 10}},
        {CM_IFF, "i.iff", {'F', 'O', 'R', 'M'}},
        {CM_IFF_PACKED, "k.iff", {'F', 'O', 'R', 'M'}},
        {CM_TIFF_LZW, "s.tif", {'I', 'I', 42, 0}},
        {CM_TIFF_DEFLATE_TILES, "t.tif", {'I', 'I', 42, 0}},
        {CM_WEBP, "y.webp", {'R', 'I', 'F', 'F'}},
        {CM_WEBP_LOSSLESS, "l.webp", {'R', 'I', 'F', 'F'}},
    };
    RunDialog(dir + "\\pic.bmp", [&](HWND dialog) {
        HWND viewer = OpenViewer(dialog);
        ASSERT_TRUE(IsWindow(viewer));
        for (const auto& c : cases) {
            SaveAsDriver saveAs(c.name);
            RecordMessages box;
            SendMessageA(viewer, WM_COMMAND, WPARAM(c.command), 0);
            ASSERT_EQ(box.messages.size(), 1u) << c.name;
            EXPECT_EQ(box.messages[0].caption, "File Converted Successfully") << c.name;
            Bytes written = ReadWholeFile(dir + "\\" + c.name);
            ASSERT_GE(written.size(), c.magic.size()) << c.name;
            EXPECT_TRUE(std::equal(c.magic.begin(), c.magic.end(), written.begin())) << c.name;
            EXPECT_EQ(ListCount(dialog, c.name), 1) << c.name;
        }
        // The progressive file carries a progressive frame header (SOF2).
        Bytes progressive = ReadWholeFile(dir + "\\p.jpg");
        bool sof2 = false;
        for (size_t i = 0; i + 1 < progressive.size(); i++)
            sof2 = sof2 || (progressive[i] == 0xFF && progressive[i + 1] == 0xC2);
        EXPECT_TRUE(sof2);
        // The two TIFF files, one in strips and one in tiles, hold the picture.
        for (const char* name : {"s.tif", "t.tif"}) {
            TIFF* tif = TIFFOpen((dir + "\\" + name).c_str(), "r");
            ASSERT_TRUE(tif) << name;
            EXPECT_EQ(TIFFIsTiled(tif) != 0, name[0] == 't') << name;
            TIFFClose(tif);
            char text[INFO_TEXT_SIZE];
            HGLOBAL back = ReadTiff((dir + "\\" + name).c_str(), nullptr, text, 32).image;
            ASSERT_TRUE(back) << name;
            const uint32_t want[6] = {0x302010, 0x605040, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};
            for (int i = 0; i < 6; i++) EXPECT_EQ(PixelAt(back, i % 3, i / 3), want[i]) << name;
            GlobalFree(back);
        }
        // The lossless WebP file holds the picture exactly, the lossy one its size.
        for (const char* name : {"l.webp", "y.webp"}) {
            char text[INFO_TEXT_SIZE];
            HGLOBAL back = ReadWebp((dir + "\\" + name).c_str(), nullptr, text, 32).image;
            ASSERT_TRUE(back) << name;
            EXPECT_EQ(HeaderOf(back).biWidth, 3) << name;
            EXPECT_EQ(HeaderOf(back).biHeight, 2) << name;
            const uint32_t want[6] = {0x302010, 0x605040, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};
            for (int i = 0; name[0] == 'l' && i < 6; i++)
                EXPECT_EQ(PixelAt(back, i % 3, i / 3), want[i]) << name;
            GlobalFree(back);
        }
    });
}
