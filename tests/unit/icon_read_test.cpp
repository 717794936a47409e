// The icon and cursor reader: entries of every bit count composed over white
// as the display draws them (mask AND, colour XOR), the File information
// text, files of several images, the forms of later icon files (256-pixel
// entries, longer headers, short colour tables, PNG entries, alpha), and
// damaged files. The same expectations hold natively and on Windows, so the
// two compositions give the same bytes.
#include "icon_test_util.h"
#include "test_util.h"

#include "core/format_table.h"
#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "formats/library/png_format.h"
#include "formats/native/icon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
uint32_t Noise(uint32_t* seed) {
    *seed = *seed * 1103515245u + 12345u;
    return *seed >> 8;
}

// An entry of bits with a pseudo-random picture and mask.
IconImage RandomImage(int width, int height, int bits, uint32_t seed) {
    IconImage im;
    im.width = width;
    im.height = height;
    im.bits = bits;
    if (bits <= 8)
        for (int i = 0; i < (1 << bits); i++) im.colors.push_back(Noise(&seed) & 0xFFFFFF);
    for (int i = 0; i < width * height; i++) {
        uint32_t v = Noise(&seed);
        im.pixels.push_back(bits <= 8 ? v % (1u << bits) : bits == 16 ? v & 0x7FFF : v & 0xFFFFFF);
        im.mask.push_back(int(Noise(&seed) % 3 == 0));
    }
    return im;
}

// Every pixel of the current picture against what the display shows.
void ExpectComposed(const IconImage& im, const std::string& what) {
    ASSERT_NE(g_picture, nullptr) << what;
    BITMAPINFOHEADER h = HeaderOf(g_picture);
    ASSERT_EQ(h.biWidth, im.width) << what;
    ASSERT_EQ(h.biHeight, im.height) << what;
    int wrong = 0;
    for (int y = 0; y < im.height; y++)
        for (int x = 0; x < im.width; x++) {
            uint32_t want = ComposedOverWhite(im, x, y);
            if (PixelAt(g_picture, x, y) != want && wrong++ < 5)
                ADD_FAILURE() << what << " at " << x << "," << y << ": " << std::hex
                              << PixelAt(g_picture, x, y) << " not " << want;
        }
    EXPECT_EQ(wrong, 0) << what;
}

bool LoadBytes(const Bytes& file, const char* name = "icon.ico") {
    return LoadForTest(WriteTestFile(name, file));
}
} // namespace

TEST(IconRead, EntriesOfEveryBitCountComposeOverWhite) {
    struct Case {
        int width, height, bits, recordBits;
    } cases[] = {
        {32, 32, 1, 24}, {32, 32, 4, 24},  {16, 16, 8, 24}, {13, 7, 4, 24},   {33, 5, 1, 24},
        {7, 9, 8, 24},   {16, 16, 24, 24}, {5, 3, 24, 24},  {16, 16, 32, 32}, {48, 48, 32, 32},
    };
    uint32_t seed = 7;
    for (const Case& c : cases) {
        std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) + " at " +
                           std::to_string(c.bits);
        IconImage im = RandomImage(c.width, c.height, c.bits, seed++);
        RecordMessages messages;
        ASSERT_TRUE(LoadBytes(IconFile({im}))) << what;
        EXPECT_TRUE(messages.messages.empty()) << what;
        EXPECT_EQ(g_viewKind, KIND_RASTER) << what;
        EXPECT_EQ(HeaderOf(g_picture).biBitCount, c.recordBits) << what;
        ExpectComposed(im, what);
    }
}

TEST(IconRead, SixteenBitEntriesKeepTheirFiveBitComponents) {
    IconImage im = RandomImage(9, 4, 16, 99);
    ASSERT_TRUE(LoadBytes(IconFile({im})));
    ASSERT_EQ(HeaderOf(g_picture).biBitCount, 16);
    for (int y = 0; y < im.height; y++)
        for (int x = 0; x < im.width; x++) {
            uint32_t v = im.pixels[size_t(y * im.width + x)];
            uint32_t want = im.mask[size_t(y * im.width + x)] ? v ^ 0x7FFF : v;
            EXPECT_EQ(RawPixelAt(g_picture, x, y), want) << x << "," << y;
        }
}

TEST(IconRead, SixteenColourIconWithATransparentBorder) {
    // Inside the border the icon's colours; the border (mask 1, colour 0) white.
    IconImage im;
    im.width = im.height = 32;
    im.bits = 4;
    for (uint32_t c :
         {0x000000u, 0x800000u, 0x008000u, 0x808000u, 0x000080u, 0x800080u, 0x008080u, 0xC0C0C0u,
          0x808080u, 0xFF0000u, 0x00FF00u, 0xFFFF00u, 0x0000FFu, 0xFF00FFu, 0x00FFFFu, 0xFFFFFFu})
        im.colors.push_back(c);
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            bool border = x < 2 || y < 2 || x >= 30 || y >= 30;
            im.pixels.push_back(border ? 0 : uint32_t(1 + (x + y) % 15));
            im.mask.push_back(border ? 1 : 0);
        }
    ASSERT_TRUE(LoadBytes(IconFile({im})));
    EXPECT_EQ(PixelAt(g_picture, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(g_picture, 31, 31), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(g_picture, 2, 2), im.colors[1 + 4 % 15]);
    ExpectComposed(im, "border");
    EXPECT_STREQ(g_infoText,
                 "image type: ICON \n# icons in file: 1 \nwidth: 32 \nheight: 32 \ncolors: 16 \n");
}

TEST(IconRead, FilesOfSeveralImagesCycle) {
    std::vector<IconImage> images = {RandomImage(16, 16, 4, 1), RandomImage(32, 32, 8, 2),
                                     RandomImage(24, 24, 24, 3)};
    ASSERT_TRUE(LoadBytes(IconFile(images)));
    EXPECT_STREQ(g_infoText,
                 "image type: ICON \n# icons in file: 3 \nwidth: 16 \nheight: 16 \ncolors: 16 \n");
    EXPECT_EQ(g_viewKind, KIND_ICON_CYCLE);
    EXPECT_EQ(g_iconCount, 3);
    EXPECT_EQ(g_iconIndex, 1);
    EXPECT_EQ(g_frameDelay, 100);
    ASSERT_NE(g_openFile, HFILE_ERROR);
    ExpectComposed(images[0], "entry 1");
    // The animation reads the next entries from the file the load left open.
    for (int index : {2, 3}) {
        int count = 0;
        HGLOBAL next = g_iconReader(nullptr, g_infoText, g_openFile, &count, index, 0, 0).image;
        ASSERT_NE(next, nullptr);
        EXPECT_EQ(count, 3);
        GlobalFree(g_picture);
        g_picture = next;
        ExpectComposed(images[size_t(index - 1)], "entry " + std::to_string(index));
    }
    ReleaseCurrentPicture();
    EXPECT_EQ(g_openFile, HFILE_ERROR);
}

TEST(IconRead, CursorsAndTypes) {
    IconImage im = RandomImage(8, 8, 1, 5);
    ASSERT_TRUE(LoadBytes(IconFile({im}, 2), "pointer.cur"));
    EXPECT_STREQ(g_infoText,
                 "image type: Cursor \n# cursors in file: 1 \nwidth: 8 \nheight: 8 \ncolors: 2 \n");
    ExpectComposed(im, "cursor");
    // Type 3 is neither: detection passes it by, and the reader refuses it.
    const std::string three = WriteTestFile("three.ico", IconFile({im}, 3));
    RecordMessages messages;
    EXPECT_FALSE(LoadForTest(three));
    EXPECT_TRUE(messages.messages.empty());
    HFILE file = _lopen(three.c_str(), OF_READ);
    int count = -1;
    EXPECT_EQ(ReadIcon(nullptr, g_infoText, file, &count, 1, 0, 0).image, nullptr);
    _lclose(file);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Error Reading Icon File");
    EXPECT_EQ(messages.messages[0].type, UINT(MB_ICONERROR));
    // The same bytes under another name are not an icon.
    EXPECT_FALSE(LoadBytes(IconFile({im}), "icon.bin"));
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST(IconRead, LaterIconFiles) {
    // A directory size of 0 means 256.
    IconImage big = RandomImage(256, 256, 24, 11);
    ASSERT_TRUE(LoadBytes(IconFile({big})));
    ExpectComposed(big, "256 x 256");
    EXPECT_NE(std::string(g_infoText).find("width: 256 \nheight: 256"), std::string::npos);
    IconImage wide = RandomImage(256, 16, 8, 12);
    ASSERT_TRUE(LoadBytes(IconFile({wide})));
    ExpectComposed(wide, "256 x 16");

    // A 108-byte header: the table follows it.
    IconImage longer = RandomImage(16, 16, 4, 13);
    longer.headerSize = 108;
    ASSERT_TRUE(LoadBytes(IconFile({longer})));
    ExpectComposed(longer, "108-byte header");

    // A table of 3 entries in an 8-bit entry: the pixels follow those 3;
    // indices past them are black.
    IconImage shortTable = RandomImage(16, 8, 8, 14);
    shortTable.colors.resize(3);
    shortTable.clrUsed = 3;
    for (uint32_t& p : shortTable.pixels) p %= 5;
    ASSERT_TRUE(LoadBytes(IconFile({shortTable})));
    ExpectComposed(shortTable, "3 of 256 colours");
}

TEST(IconRead, AlphaEntriesGoOntoWhiteByTheirAlpha) {
    IconImage im;
    im.width = 4;
    im.height = 2;
    im.bits = 32;
    // Alpha 0, 255, 128 and 1 over assorted colours; the mask (as writers
    // set it where alpha is 0) does not change the result.
    im.pixels = {0x00123456, 0xFF102030, 0x80FF0000, 0x01000000,
                 0x40808080, 0xC0FFFFFF, 0x7F00FF00, 0xFE0000FF};
    im.mask = {1, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(LoadBytes(IconFile({im})));
    ASSERT_EQ(HeaderOf(g_picture).biBitCount, 32);
    for (int y = 0; y < 2; y++)
        for (int x = 0; x < 4; x++) {
            uint32_t p = im.pixels[size_t(y * 4 + x)], a = p >> 24, want = 0;
            for (int s = 0; s < 24; s += 8)
                want |= (((p >> s & 0xFF) * a + 255 * (255 - a) + 127) / 255) << s;
            EXPECT_EQ(PixelAt(g_picture, x, y), want) << x << "," << y;
            EXPECT_EQ(RawPixelAt(g_picture, x, y) >> 24, 0u) << "the reserved byte";
        }
}

TEST(IconRead, PngEntries) {
    // A PNG file written from a true-colour record, stored as the second
    // entry (256 x 256, as icon writers store them) beside a bitmap entry.
    HGLOBAL picture = AllocImageRecord(256, 256, 24, 0);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(picture));
    uint32_t seed = 3;
    for (uint64_t i = 0; i < ImageStride(256, 24) * 256; i++)
        ImagePixels(h)[i] = BYTE(Noise(&seed));
    GlobalUnlock(picture);
    const std::string pngPath = TestDir() + "/entry.png";
    ASSERT_EQ(WritePng(pngPath.c_str(), picture, 0), 1);
    IconImage png;
    png.width = png.height = 256;
    png.bits = 32;
    png.png = ReadWholeFile(pngPath);
    IconImage small = RandomImage(16, 16, 4, 21);
    const std::string path = WriteTestFile("both.ico", IconFile({small, png}));
    ASSERT_TRUE(LoadForTest(path));
    EXPECT_EQ(g_iconCount, 2);
    int count = 0;
    HGLOBAL entry = g_iconReader(nullptr, g_infoText, g_openFile, &count, 2, 0, 0).image;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(HeaderOf(entry).biWidth, 256);
    for (int y = 0; y < 256; y += 17)
        for (int x = 0; x < 256; x += 13)
            EXPECT_EQ(PixelAt(entry, x, y), PixelAt(picture, x, y)) << x << "," << y;
    // The text names the icon file, not the PNG file.
    EXPECT_EQ(std::string(g_infoText).find("image type: ICON"), 0u);
    GlobalFree(entry);
    GlobalFree(picture);

    // A damaged PNG entry is this file's error.
    IconImage broken = png;
    broken.png.resize(100);
    RecordMessages messages;
    EXPECT_FALSE(LoadBytes(IconFile({broken})));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Error Reading Icon File");
}

TEST(IconRead, DamagedFilesAreRefused) {
    IconImage im = RandomImage(16, 16, 8, 31);
    const Bytes good = IconFile({im});
    auto with = [&](size_t at, std::vector<uint8_t> bytes) {
        Bytes b = good;
        for (size_t i = 0; i < bytes.size(); i++) b[at + i] = bytes[i];
        return b;
    };
    const size_t image = 6 + 16;
    struct Case {
        const char* what;
        Bytes file;
    } cases[] = {
        {"header cut short", Bytes(good.begin(), good.begin() + 4)},
        {"reserved word set", with(0, {1})},
        {"no entries", with(4, {0, 0})},
        {"more entries than the directory holds", with(4, {0xFF, 0xFF})},
        {"image offset past the end", with(6 + 12, {0xFF, 0xFF, 0xFF, 0x7F})},
        {"image offset far past the end", with(6 + 12, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"pixels cut short", Bytes(good.begin(), good.end() - 64 - 40)},
        {"mask cut short", Bytes(good.begin(), good.end() - 1)},
        {"bit count 2", with(image + 14, {2, 0})},
        {"bit count 0", with(image + 14, {0, 0})},
        {"run-length compressed", with(image + 16, {1})},
        {"header size 12", with(image, {12, 0, 0, 0})},
        {"header size 2^31", with(image, {0, 0, 0, 0x80})},
        {"colours used 2^31", with(image + 32, {0, 0, 0, 0x80})},
    };
    for (const Case& c : cases) {
        // Straight to the reader: the loader's detection passes some of them by.
        const std::string path = WriteTestFile("damaged.ico", c.file);
        HFILE file = _lopen(path.c_str(), OF_READ);
        RecordMessages messages;
        int count = 0;
        HGLOBAL image = ReadIcon(nullptr, g_infoText, file, &count, 1, 0, 0).image;
        _lclose(file);
        EXPECT_EQ(image, nullptr) << c.what;
        if (image) GlobalFree(image);
        ASSERT_EQ(messages.messages.size(), 1u) << c.what;
        EXPECT_EQ(messages.messages[0].text, "Error Reading Icon File") << c.what;
    }
}

TEST(IconRead, AllocationFailures) {
    const std::string path = WriteTestFile("alloc.ico", IconFile({RandomImage(16, 16, 4, 41)}));
    // The record, the colour image and the mask: each failure is reported
    // and leaves nothing behind.
    for (int failAt = 1; failAt <= 3; failAt++) {
        ReleaseCurrentPicture();
        InitImageState();
        RecordMessages messages;
        FailGlobalAllocAt(failAt);
        bool loaded = LoadPictureFile(path.c_str(), nullptr, 32);
        FailGlobalAllocAt(0);
        EXPECT_FALSE(loaded) << failAt;
        ASSERT_EQ(messages.messages.size(), 1u) << failAt;
        EXPECT_EQ(messages.messages[0].text, "Memory Allocation Error") << failAt;
    }
}

TEST(IconRead, TextModes) {
    IconImage im = RandomImage(16, 16, 4, 51);
    const std::string path = WriteTestFile("modes.ico", IconFile({im, im}, 2));
    HFILE file = _lopen(path.c_str(), OF_READ);
    ASSERT_NE(file, HFILE_ERROR);
    char text[INFO_TEXT_SIZE];
    int count = 0;
    std::strcpy(text, "kept");
    HGLOBAL a = ReadIcon(nullptr, text, file, &count, 2, 0, ICON_TEXT_NONE).image;
    EXPECT_STREQ(text, "kept");
    EXPECT_EQ(count, 2);
    HGLOBAL b = ReadIcon(nullptr, text, file, &count, 1, 0, ICON_TEXT_FIRST_ANIMATED).image;
    EXPECT_STREQ(text, "image type: animated cursor \nwidth: 16 \nheight: 16 \ncolors: 16 \n");
    HGLOBAL c = ReadIcon(nullptr, text, file, &count, 1, 0, ICON_TEXT_OWN_FILE).image;
    EXPECT_STREQ(
        text, "image type: Cursor \n# cursors in file: 2 \nwidth: 16 \nheight: 16 \ncolors: 16 \n");
    for (HGLOBAL h : {a, b, c}) {
        EXPECT_NE(h, nullptr);
        if (h) GlobalFree(h);
    }
    _lclose(file);
}
