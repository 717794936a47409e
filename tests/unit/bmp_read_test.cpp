// The Windows, OS/2 1.x and OS/2 2.0 bitmap readers, through the loader:
// File information texts, pixel placement, bit fields, run-length and
// Huffman data, refusals and memory failures.
#include "test_util.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "formats/native/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {
uint32_t g_seed = 12345;
BYTE NextRandom() {
    g_seed = g_seed * 1103515245u + 12345u;
    return BYTE(g_seed >> 16);
}
Bytes RandomBytes(size_t n) {
    Bytes b(n);
    for (BYTE& v : b) v = NextRandom();
    return b;
}
// n distinct colours.
std::vector<uint32_t> RandomColors(int n) {
    std::vector<uint32_t> c;
    for (int i = 0; i < n; i++)
        c.push_back((uint32_t(i) << 16) | (uint32_t(NextRandom()) << 8) | NextRandom());
    return c;
}

bool Load(const std::string& name, const Bytes& file) {
    return LoadForTest(WriteTestFile(name, file));
}

std::string Joined(const RecordMessages& r) {
    std::string s;
    for (const MessageRecord& m : r.messages) s += (s.empty() ? "" : " | ") + m.text;
    return s;
}

void SetLe32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + size_t(i)] = BYTE(v >> (8 * i));
}

BmpSpec BmpLayout(uint32_t headerSize, int32_t width, int32_t height, uint16_t bits,
                  uint32_t compression = 0) {
    BmpSpec s;
    s.headerSize = headerSize;
    s.width = width;
    s.height = height;
    s.bitCount = bits;
    s.compression = compression;
    return s;
}

uint64_t Stride(int64_t width, int bits) {
    return ((uint64_t(width) * uint64_t(bits) + 31) / 32) * 4;
}

// Rows given bottom row first, as stored, reversed.
Bytes FlipStoredRows(const Bytes& rows, uint64_t stride) {
    Bytes out;
    for (size_t at = rows.size(); at >= stride; at -= size_t(stride))
        out.insert(out.end(), rows.begin() + long(at - stride), rows.begin() + long(at));
    return out;
}
} // namespace

TEST(BitmapReaderText, DescriptionOfEachHeader) {
    const std::string win = "image type: Windows DIB \nwidth: 3 \nheight: 2 \nplanes: 1 \n";
    const std::string os2 = "image type: OS/2 DIB \nwidth: 5 \nheight: 3 \nplanes: 1 \n";
    const std::string os22 = "image type: OS/2 2.0 DIB \nwidth: 7 \nheight: 1 \nplanes: 1 \n";
    auto bitfields = [](uint32_t headerSize, uint16_t bits, std::vector<uint32_t> masks) {
        BmpSpec s = BmpLayout(headerSize, 3, 2, bits, 3);
        s.masks = masks;
        return s;
    };
    BmpSpec topDown = BmpLayout(40, 3, -2, 24);
    BmpSpec fourPlanes = BmpLayout(40, 3, 2, 24);
    fourPlanes.planes = 4;
    struct Case {
        const char* name;
        BmpSpec bmpFile;
        std::string text;
    } cases[] = {
        {"Windows BI_RGB", BmpLayout(40, 3, 2, 24), win + "bit count: 24 \ncompression: BI_RGB \n"},
        {"Windows BI_RLE8", BmpLayout(40, 3, 2, 8, 1),
         win + "bit count: 8 \ncompression: BI_RLE8 \n"},
        {"Windows BI_RLE4", BmpLayout(40, 3, 2, 4, 2),
         win + "bit count: 4 \ncompression: BI_RLE4 \n"},
        {"Windows 5 5 5", bitfields(40, 16, {0x7C00, 0x03E0, 0x001F}),
         win + "bit count: 16 \ncompression: BI_BITFIELDS \nbitfields: 5 5 5 \n"},
        {"Windows 5 6 5", bitfields(40, 16, {0xF800, 0x07E0, 0x001F}),
         win + "bit count: 16 \ncompression: BI_BITFIELDS \nbitfields: 5 6 5 \n"},
        {"Windows 8 8 8", bitfields(40, 32, {0xFF0000, 0xFF00, 0xFF}),
         win + "bit count: 32 \ncompression: BI_BITFIELDS \nbitfields: 8 8 8 \n"},
        {"Windows 10 10 10", bitfields(40, 32, {0xFFC00000, 0x003FF000, 0x00000FFC}),
         win + "bit count: 32 \ncompression: BI_BITFIELDS \nbitfields: 10 10 10 \n"},
        {"Windows 5 6 5 masks on 32 bits", bitfields(40, 32, {0xF800, 0x07E0, 0x001F}),
         win + "bit count: 32 \ncompression: BI_BITFIELDS \nbitfields: not supported \n"},
        {"Windows 8 8 8 masks on 16 bits", bitfields(40, 16, {0xFF0000, 0xFF00, 0xFF}),
         win + "bit count: 16 \ncompression: BI_BITFIELDS \nbitfields: not supported \n"},
        {"Windows bit fields on 8 bits: no bitfields line", bitfields(40, 8, {1, 2, 3}),
         win + "bit count: 8 \ncompression: BI_BITFIELDS \n"},
        {"Windows 108-byte header", bitfields(108, 16, {0xF800, 0x07E0, 0x001F}),
         win + "bit count: 16 \ncompression: BI_BITFIELDS \nbitfields: 5 6 5 \n"},
        {"Windows 124-byte header", bitfields(124, 32, {0xFF0000, 0xFF00, 0xFF}),
         win + "bit count: 32 \ncompression: BI_BITFIELDS \nbitfields: 8 8 8 \n"},
        {"Windows 124-byte header without bit fields", BmpLayout(124, 3, 2, 24),
         win + "bit count: 24 \ncompression: BI_RGB \n"},
        {"Windows top-down shows the height's magnitude", topDown,
         win + "bit count: 24 \ncompression: BI_RGB \n"},
        {"Windows planes as the file gives them", fourPlanes,
         "image type: Windows DIB \nwidth: 3 \nheight: 2 \nplanes: 4 \nbit count: 24 \n"
         "compression: BI_RGB \n"},
        {"Windows unknown compression: no compression line", BmpLayout(40, 3, 2, 24, 4),
         win + "bit count: 24 \n"},
        {"OS/2 1.x 1 bit", BmpLayout(12, 5, 3, 1),
         os2 + "bit count: 1 \ncompression: none \ncolors: 2"},
        {"OS/2 1.x 4 bits", BmpLayout(12, 5, 3, 4),
         os2 + "bit count: 4 \ncompression: none \ncolors: 16"},
        {"OS/2 1.x 8 bits", BmpLayout(12, 5, 3, 8),
         os2 + "bit count: 8 \ncompression: none \ncolors: 256"},
        {"OS/2 1.x 24 bits", BmpLayout(12, 5, 3, 24),
         os2 + "bit count: 24 \ncompression: none \ncolors: 16.7 million"},
        {"OS/2 1.x 16 bits", BmpLayout(12, 5, 3, 16),
         os2 + "bit count: 16 \ncompression: none \ncolors: 16.7 million"},
        {"OS/2 2.0 none", BmpLayout(64, 7, 1, 24, 0),
         os22 + "bit count: 24 \ncompression: none \n"},
        {"OS/2 2.0 RLE 8", BmpLayout(64, 7, 1, 8, 1),
         os22 + "bit count: 8 \ncompression: RLE 8 \n"},
        {"OS/2 2.0 RLE 4", BmpLayout(64, 7, 1, 4, 2),
         os22 + "bit count: 4 \ncompression: RLE 4 \n"},
        {"OS/2 2.0 Huffman 1D", BmpLayout(64, 7, 1, 1, 3),
         os22 + "bit count: 1 \ncompression: Huffman 1D \n"},
        {"OS/2 2.0 RLE 24", BmpLayout(64, 7, 1, 24, 4),
         os22 + "bit count: 24 \ncompression: RLE 24 \n"},
        {"OS/2 2.0 unknown", BmpLayout(64, 7, 1, 24, 9),
         os22 + "bit count: 24 \ncompression: unknown \n"},
        {"OS/2 2.0 16 bits is refused after its text", BmpLayout(64, 7, 1, 16, 0),
         os22 + "bit count: 16 \ncompression: none \n"},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        Load("text.bmp", BuildBmp(c.bmpFile));
        EXPECT_EQ(std::string(g_infoText), c.text) << c.name;
    }
}

TEST(WindowsBitmap, UncompressedRowsOfEveryBitCount) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (int width : {1, 3, 5, 7, 33}) {
            BmpSpec s = BmpLayout(40, width, 3, uint16_t(bits));
            if (bits <= 8) s.colors = RandomColors(1 << bits);
            s.pixels = RandomBytes(Stride(width, bits) * 3);
            RecordMessages messages;
            ASSERT_TRUE(Load("rows.bmp", BuildBmp(s))) << bits << " bits, width " << width;
            BITMAPINFOHEADER h = HeaderOf(g_picture);
            EXPECT_EQ(h.biWidth, width);
            EXPECT_EQ(h.biHeight, 3);
            EXPECT_EQ(h.biBitCount, bits);
            EXPECT_EQ(h.biCompression, 0u);
            EXPECT_EQ(h.biClrUsed, 0u) << "the file's colours-used field is kept";
            EXPECT_EQ(RecordPixelBytes(g_picture), s.pixels) << bits << " bits, width " << width;
            EXPECT_EQ(RecordColors(g_picture), s.colors) << bits << " bits, width " << width;
            EXPECT_EQ(g_bitCount, bits);
            EXPECT_TRUE(messages.messages.empty()) << Joined(messages);
        }
    }
}

TEST(BitmapReaders, PixelPlacement) {
    struct Case {
        const char* name;
        Bytes file;
        Bytes pixels;                 // the record's rows, bottom row first
        std::vector<uint32_t> colors; // the record's colour table
        uint32_t clrUsed;
    };
    std::vector<Case> cases;

    // 8 bits, 4 colours, 3 x 2.
    BmpSpec base = BmpLayout(40, 3, 2, 8);
    base.clrUsed = 20;
    base.colors = RandomColors(20);
    base.pixels = RandomBytes(8);
    const size_t tableEnd = 54 + 80;
    cases.push_back(
        {"colours used below the default", BuildBmp(base), base.pixels, base.colors, 20});
    {
        BmpSpec s = base;
        s.dataOffset = int32_t(tableEnd + 10);
        cases.push_back({"pixel offset after a gap", BuildBmp(s), s.pixels, s.colors, 20});
        s.dataOffset = int32_t(tableEnd - 8);
        cases.push_back({"pixel offset inside the colour table is not used", BuildBmp(s), s.pixels,
                         s.colors, 20});
        Bytes file = BuildBmp(base);
        SetLe32(file, 10, uint32_t(file.size() + 4));
        cases.push_back(
            {"pixel offset beyond the file is not used", file, base.pixels, base.colors, 20});
        SetLe32(file, 10, 0);
        cases.push_back({"pixel offset 0 is not used", file, base.pixels, base.colors, 20});
        SetLe32(file, 10, uint32_t(file.size()));
        cases.push_back({"pixel offset at the end of the file is not used", file, base.pixels,
                         base.colors, 20});
    }
    {
        BmpSpec s = base;
        s.height = -2;
        cases.push_back({"top-down rows are turned bottom-up", BuildBmp(s),
                         FlipStoredRows(s.pixels, 4), s.colors, 20});
        s.height = 2;
        s.pixels.resize(6);
        Bytes want = s.pixels;
        want.resize(8, 0);
        cases.push_back(
            {"a truncated file leaves the missing bytes zero", BuildBmp(s), want, s.colors, 20});
        s.pixels.clear();
        cases.push_back(
            {"a file without pixels loads zero", BuildBmp(s), Bytes(8, 0), s.colors, 20});
        s.height = -3;
        s.pixels = RandomBytes(8);
        Bytes stored(4, 0);
        stored.insert(stored.end(), s.pixels.begin() + 4, s.pixels.end());
        stored.insert(stored.end(), s.pixels.begin(), s.pixels.begin() + 4);
        cases.push_back(
            {"a truncated top-down file misses its bottom row", BuildBmp(s), stored, s.colors, 20});
    }
    {
        BmpSpec s = BmpLayout(40, 5, 2, 4);
        s.clrUsed = 40;
        s.colors = RandomColors(40);
        s.pixels = RandomBytes(8);
        std::vector<uint32_t> kept(s.colors.begin(), s.colors.begin() + 16);
        cases.push_back(
            {"colours used above 2^bits keeps 2^bits entries", BuildBmp(s), s.pixels, kept, 16});
    }
    {
        BmpSpec s = BmpLayout(40, 3, 2, 24);
        s.clrUsed = 3;
        s.colors = RandomColors(3);
        s.pixels = RandomBytes(24);
        cases.push_back(
            {"a true-colour file's colour table is skipped", BuildBmp(s), s.pixels, {}, 0});
        s.dataOffset = 54 + 12 + 6;
        cases.push_back({"a true-colour file's table and a gap", BuildBmp(s), s.pixels, {}, 0});
        s.clrUsed = 300;
        s.colors = RandomColors(300);
        s.dataOffset = -1;
        cases.push_back({"a true-colour file with a table of 300", BuildBmp(s), s.pixels, {}, 0});
    }
    {
        BmpSpec s = BmpLayout(108, 3, 2, 24);
        s.pixels = RandomBytes(24);
        cases.push_back({"108-byte header, 24 bits", BuildBmp(s), s.pixels, {}, 0});
        s = BmpLayout(124, 3, -2, 8);
        s.colors = RandomColors(256);
        s.pixels = RandomBytes(8);
        cases.push_back({"124-byte header, 8 bits, top-down", BuildBmp(s),
                         FlipStoredRows(s.pixels, 4), s.colors, 0});
    }
    {
        BmpSpec s = BmpLayout(12, 5, 2, 8);
        s.colors = RandomColors(256);
        s.pixels = RandomBytes(16);
        cases.push_back({"OS/2 1.x, 3-byte colour entries", BuildBmp(s), s.pixels, s.colors, 0});
        s.dataOffset = 26 + 768 + 5;
        cases.push_back({"OS/2 1.x, pixel offset after a gap", BuildBmp(s), s.pixels, s.colors, 0});
        s = BmpLayout(12, 33, 2, 1);
        s.colors = {0xFF8000, 0x0080FF};
        s.pixels = RandomBytes(16);
        cases.push_back({"OS/2 1.x, 1 bit", BuildBmp(s), s.pixels, s.colors, 0});
        // Tables shorter than the bit count allows: the pixel offset says
        // where they end; the entries not given are black.
        auto padded = [](std::vector<uint32_t> c, size_t n) {
            c.resize(n, 0);
            return c;
        };
        s = BmpLayout(12, 5, 2, 8);
        s.colors = RandomColors(20);
        s.pixels = RandomBytes(16);
        cases.push_back(
            {"OS/2 1.x, 8 bits, 20 entries", BuildBmp(s), s.pixels, padded(s.colors, 256), 0});
        s.dataOffset = 26 + 60 + 2;
        cases.push_back(
            {"OS/2 1.x, 20 entries and a gap", BuildBmp(s), s.pixels, padded(s.colors, 256), 0});
        s = BmpLayout(12, 7, 3, 4);
        s.colors = RandomColors(5);
        s.pixels = RandomBytes(12);
        cases.push_back(
            {"OS/2 1.x, 4 bits, 5 entries", BuildBmp(s), s.pixels, padded(s.colors, 16), 0});
        s = BmpLayout(12, 9, 2, 1);
        s.colors = {0x123456};
        s.pixels = RandomBytes(8);
        cases.push_back(
            {"OS/2 1.x, 1 bit, 1 entry", BuildBmp(s), s.pixels, padded(s.colors, 2), 0});
        // An offset inside the headers says nothing: a whole table is read.
        s = BmpLayout(12, 5, 2, 4);
        s.colors = RandomColors(16);
        s.pixels = RandomBytes(8);
        s.dataOffset = 20;
        cases.push_back({"OS/2 1.x, pixel offset inside the header is not used", BuildBmp(s),
                         s.pixels, s.colors, 0});
        s = BmpLayout(12, 3, 3, 24);
        s.pixels = RandomBytes(36);
        cases.push_back({"OS/2 1.x, 24 bits: no colour table", BuildBmp(s), s.pixels, {}, 0});
        s.pixels.resize(20);
        Bytes want = s.pixels;
        want.resize(36, 0);
        cases.push_back({"OS/2 1.x, truncated", BuildBmp(s), want, {}, 0});
    }
    {
        BmpSpec s = BmpLayout(64, 5, 2, 4);
        s.clrUsed = 5;
        s.colors = RandomColors(5);
        s.pixels = RandomBytes(8);
        cases.push_back({"OS/2 2.0, 4 bits, 5 colours", BuildBmp(s), s.pixels, s.colors, 5});
        s.dataOffset = 14 + 64 + 20 + 3;
        cases.push_back({"OS/2 2.0, pixel offset after a gap", BuildBmp(s), s.pixels, s.colors, 5});
        s = BmpLayout(64, 3, 2, 24);
        s.clrUsed = 2;
        s.colors = RandomColors(2);
        s.pixels = RandomBytes(24);
        cases.push_back({"OS/2 2.0, 24 bits with a table", BuildBmp(s), s.pixels, {}, 0});
    }
    for (const Case& c : cases) {
        RecordMessages messages;
        ASSERT_TRUE(Load("place.bmp", c.file)) << c.name << ": " << Joined(messages);
        EXPECT_EQ(RecordPixelBytes(g_picture), c.pixels) << c.name;
        EXPECT_EQ(RecordColors(g_picture), c.colors) << c.name;
        BITMAPINFOHEADER h = HeaderOf(g_picture);
        EXPECT_EQ(h.biClrUsed, c.clrUsed) << c.name;
        EXPECT_GT(h.biHeight, 0) << c.name;
        EXPECT_EQ(h.biSize, 40u) << c.name;
        EXPECT_TRUE(messages.messages.empty()) << c.name << ": " << Joined(messages);
    }
}

TEST(WindowsBitmap, ImageSizeField) {
    struct Case {
        const char* name;
        BmpSpec bmpFile;
        uint32_t sizeImage;
        size_t extra; // bytes appended to the file
    };
    BmpSpec s8 = BmpLayout(40, 3, 2, 8);
    s8.colors = RandomColors(256);
    s8.pixels = RandomBytes(8);
    BmpSpec s8few = s8;
    s8few.clrUsed = 20;
    s8few.colors.resize(20);
    BmpSpec s24 = BmpLayout(40, 3, 2, 24);
    s24.pixels = RandomBytes(24);
    BmpSpec given = s24;
    given.sizeImage = 1234;
    BmpSpec rle = BmpLayout(40, 4, 1, 8, 1);
    rle.colors = RandomColors(256);
    rle.sizeImage = 99;
    rle.pixels = {4, 1, 0, 1};
    BmpSpec fields = BmpLayout(40, 2, 1, 16, 3);
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.pixels = RandomBytes(4);
    BmpSpec longHeader = BmpLayout(124, 3, 2, 24);
    longHeader.pixels = RandomBytes(24);
    Case cases[] = {
        {"0 becomes file size - 4 x 256 - 54", s8, 8, 0},
        {"0 becomes file size - 4 x colours used - 54", s8few, 8, 0},
        {"0 counts bytes after the pixels too", s24, 24 + 7, 7},
        {"a given size is kept", given, 1234, 0},
        {"run-length files get 0", rle, 0, 0},
        {"bit fields: the masks count as pixel bytes", fields, 12 + 4, 0},
        {"124-byte header: the header counts as pixel bytes", longHeader, 84 + 24, 0},
    };
    for (const Case& c : cases) {
        Bytes file = BuildBmp(c.bmpFile);
        file.resize(file.size() + c.extra, 0);
        RecordMessages messages;
        ASSERT_TRUE(Load("size.bmp", file)) << c.name;
        EXPECT_EQ(HeaderOf(g_picture).biSizeImage, c.sizeImage) << c.name;
    }
}

TEST(BitmapReaders, RefusedFiles) {
    struct Case {
        const char* name;
        Bytes file;
        const char* message; // null: refused without a message
    };
    auto file = [](BmpSpec s) { return BuildBmp(s); };
    auto palette = [](BmpSpec s, uint32_t used) {
        s.clrUsed = used;
        return BuildBmp(s);
    };
    Bytes shortHeader = BuildBmp(BmpLayout(40, 3, 2, 24));
    shortHeader.resize(30);
    Bytes shortLong = BuildBmp(BmpLayout(108, 3, 2, 24));
    shortLong.resize(60);
    Bytes minHeight = BuildBmp(BmpLayout(40, 3, 2, 24));
    SetLe32(minHeight, 22, 0x80000000u);
    Case cases[] = {
        {"Windows zero width", file(BmpLayout(40, 0, 2, 24)), "Invalid Bitmap Header"},
        {"Windows zero height", file(BmpLayout(40, 3, 0, 24)), "Invalid Bitmap Header"},
        {"Windows negative width", file(BmpLayout(40, -3, 2, 24)), "Invalid Bitmap Header"},
        {"Windows smallest height", minHeight, "Invalid Bitmap Header"},
        {"Windows header cut short", shortHeader, "Invalid Bitmap Header"},
        {"Windows 108-byte header cut short", shortLong, "Invalid Bitmap Header"},
        {"Windows 2 bits", file(BmpLayout(40, 3, 2, 2)), "Unsupported Bitmap Format"},
        {"Windows 0 bits", file(BmpLayout(40, 3, 2, 0)), "Unsupported Bitmap Format"},
        {"Windows 48 bits", file(BmpLayout(40, 3, 2, 48)), "Unsupported Bitmap Format"},
        {"Windows 8 bits, 257 colours", palette(BmpLayout(40, 3, 2, 8), 257),
         "Unsupported Bitmap Format"},
        {"Windows 1 bit, 300 colours", palette(BmpLayout(40, 3, 2, 1), 300),
         "Unsupported Bitmap Format"},
        {"Windows compression 4", file(BmpLayout(40, 3, 2, 24, 4)),
         "Unsupported Bitmap Compression"},
        {"Windows compression 5", file(BmpLayout(40, 3, 2, 8, 5)),
         "Unsupported Bitmap Compression"},
        {"Windows over the block limit", file(BmpLayout(40, 20000, 20000, 24)),
         "Picture Too Large"},
        {"Windows top-down over the block limit", file(BmpLayout(40, 20000, -20000, 24)),
         "Picture Too Large"},
        {"Windows RLE8 with 24 bits", file(BmpLayout(40, 3, 2, 24, 1)), nullptr},
        {"Windows RLE4 with 1 bit", file(BmpLayout(40, 3, 2, 1, 2)), nullptr},
        {"OS/2 1.x zero width", file(BmpLayout(12, 0, 2, 24)), "Invalid Bitmap Header"},
        {"OS/2 1.x zero height", file(BmpLayout(12, 3, 0, 8)), "Invalid Bitmap Header"},
        {"OS/2 1.x 2 bits", file(BmpLayout(12, 3, 2, 2)), "Unsupported Bitmap Format"},
        {"OS/2 1.x over the block limit", file(BmpLayout(12, 65535, 65535, 24)),
         "Picture Too Large"},
        {"OS/2 2.0 16 bits", file(BmpLayout(64, 3, 2, 16)), nullptr},
        {"OS/2 2.0 32 bits", file(BmpLayout(64, 3, 2, 32)), nullptr},
        {"OS/2 2.0 zero width", file(BmpLayout(64, 0, 2, 24)), "Invalid Bitmap Header"},
        {"OS/2 2.0 negative height", file(BmpLayout(64, 3, -2, 24)), "Invalid Bitmap Header"},
        {"OS/2 2.0 8 bits, 257 colours", palette(BmpLayout(64, 3, 2, 8), 257),
         "Unsupported Bitmap Format"},
        {"OS/2 2.0 over the block limit", file(BmpLayout(64, 40000, 40000, 8)),
         "Picture Too Large"},
        {"header size 56", file(BmpLayout(56, 3, 2, 24)), nullptr},
        {"signature only", Bytes{'B', 'M', 0, 0}, nullptr},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        EXPECT_FALSE(Load("refused.bmp", c.file)) << c.name;
        EXPECT_EQ(g_picture, nullptr) << c.name;
        if (c.message) {
            ASSERT_EQ(messages.messages.size(), 1u) << c.name << ": " << Joined(messages);
            EXPECT_EQ(messages.messages[0].text, c.message) << c.name;
            EXPECT_EQ(messages.messages[0].caption, "(null)") << c.name;
            EXPECT_EQ(messages.messages[0].type, UINT(MB_ICONERROR)) << c.name;
        } else {
            EXPECT_TRUE(messages.messages.empty()) << c.name << ": " << Joined(messages);
        }
    }
}

TEST(BitmapReaders, MemoryFailures) {
    BmpSpec rle8 = BmpLayout(40, 4, 2, 8, 1);
    rle8.colors = RandomColors(256);
    rle8.pixels = {4, 7, 0, 0, 4, 9, 0, 1};
    BmpSpec rle4 = BmpLayout(40, 4, 2, 4, 2);
    rle4.colors = RandomColors(16);
    rle4.pixels = {4, 0x12, 0, 1};
    BmpSpec plain = BmpLayout(40, 3, 2, 24);
    plain.pixels = RandomBytes(24);
    BmpSpec fields = BmpLayout(40, 2, 1, 16, 3);
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.pixels = RandomBytes(4);
    BmpSpec os2 = BmpLayout(12, 3, 2, 8);
    os2.colors = RandomColors(256);
    os2.pixels = RandomBytes(8);
    BmpSpec os22 = BmpLayout(64, 3, 2, 24);
    os22.pixels = RandomBytes(24);
    BmpSpec rle24 = BmpLayout(64, 3, 2, 24, 4);
    rle24.pixels = {3, 1, 2, 3, 0, 1};
    BmpSpec os22rle4 = BmpLayout(64, 4, 1, 4, 2);
    os22rle4.colors = RandomColors(16);
    os22rle4.pixels = {4, 0x12, 0, 1};
    BmpSpec huffman = BmpLayout(64, 8, 1, 1, 3);
    huffman.colors = {0x000000, 0xFFFFFF};
    huffman.pixels = {0x86, 0x38}; // 1000 (white 3), 011 (black 4), 000111 (white 1)
    struct Case {
        const char* name;
        BmpSpec bmpFile;
        int failAt;
        const char* message;
        bool picture; // loads with a zero pixel area
    } cases[] = {
        {"Windows uncompressed record", plain, 1, "Memory allocation error", false},
        {"Windows bit-field record", fields, 1, "Memory allocation error", false},
        {"Windows RLE8 record", rle8, 1, "Memory Allocation Error", false},
        {"Windows RLE4 record", rle4, 1, "Memory Allocation Error", false},
        {"OS/2 1.x record", os2, 1, "Memory allocation error", false},
        {"OS/2 2.0 record", os22, 1, "Memory Allocation Error", false},
        {"Windows RLE8 read buffer", rle8, 2, "Memory Allocation Error", true},
        {"Windows RLE4 read buffer", rle4, 2, "Memory Allocation Error", true},
        {"OS/2 2.0 RLE24 read buffer", rle24, 2, "Memory Allocation Error", true},
        {"OS/2 2.0 RLE4 read buffer", os22rle4, 2, "Memory Allocation Error", true},
        {"OS/2 2.0 Huffman read buffer", huffman, 2, "Memory Allocation Error", true},
    };
    for (const Case& c : cases) {
        std::string path = WriteTestFile("memory.bmp", BuildBmp(c.bmpFile));
        RecordMessages messages;
        ReleaseCurrentPicture();
        InitImageState();
        FailGlobalAllocAt(c.failAt);
        bool loaded = LoadPictureFile(path.c_str(), nullptr, 32);
        FailGlobalAllocAt(0);
        EXPECT_EQ(loaded, c.picture) << c.name;
        ASSERT_EQ(messages.messages.size(), 1u) << c.name << ": " << Joined(messages);
        EXPECT_EQ(messages.messages[0].text, c.message) << c.name;
        EXPECT_EQ(messages.messages[0].type, UINT(MB_ICONERROR)) << c.name;
        if (loaded) {
            Bytes pixels = RecordPixelBytes(g_picture);
            EXPECT_EQ(pixels, Bytes(pixels.size(), 0)) << c.name;
        }
        // The same file loads when memory is there.
        RecordMessages again;
        ASSERT_TRUE(LoadForTest(path)) << c.name;
        Bytes pixels = RecordPixelBytes(g_picture);
        EXPECT_NE(pixels, Bytes(pixels.size(), 0)) << c.name;
    }
}

TEST(WindowsBitmap, BitFields) {
    auto p101010 = [](uint32_t r, uint32_t g, uint32_t b) {
        return (r << 22) | (g << 12) | (b << 2);
    };
    struct Case {
        const char* name;
        uint32_t headerSize;
        uint16_t bits;
        int32_t height;
        std::vector<uint32_t> masks;
        std::vector<uint32_t> file;   // 2 pixels per row, rows as stored
        std::vector<uint32_t> record; // raw record values at (x, y from the top)
        const char* line;
    } cases[] = {
        {"5 5 5 taken as they are",
         40,
         16,
         2,
         {0x7C00, 0x03E0, 0x001F},
         {0x7FFF, 0x1234, 0x0001, 0x8421},
         {0x0001, 0x8421, 0x7FFF, 0x1234},
         "bitfields: 5 5 5 \n"},
        {"5 6 5 converted to 5 5 5",
         40,
         16,
         2,
         {0xF800, 0x07E0, 0x001F},
         {0xFFFF, 0xF800, 0x07E0, 0x0820},
         {0x03E0, 0x0400, 0x7FFF, 0x7C00},
         "bitfields: 5 6 5 \n"},
        {"5 6 5 top-down",
         40,
         16,
         -2,
         {0xF800, 0x07E0, 0x001F},
         {0xFFFF, 0xF800, 0x07E0, 0x0820},
         {0x7FFF, 0x7C00, 0x03E0, 0x0400},
         "bitfields: 5 6 5 \n"},
        {"5 6 5 from a 108-byte header",
         108,
         16,
         2,
         {0xF800, 0x07E0, 0x001F},
         {0x001F, 0x0041, 0xFFE0, 0x0000},
         {0x7FE0, 0x0000, 0x001F, 0x0021},
         "bitfields: 5 6 5 \n"},
        {"8 8 8 taken as they are",
         40,
         32,
         2,
         {0xFF0000, 0xFF00, 0xFF},
         {0x123456, 0xFFFFFF, 0x000001, 0xABCDEF},
         {0x000001, 0xABCDEF, 0x123456, 0xFFFFFF},
         "bitfields: 8 8 8 \n"},
        {"10 10 10 with 8-bit values, unscaled",
         40,
         32,
         2,
         {0xFFC00000, 0x003FF000, 0x00000FFC},
         {p101010(1, 2, 3), p101010(255, 128, 0), p101010(0, 0, 255), p101010(17, 34, 51)},
         {0x0000FF, 0x112233, 0x010203, 0xFF8000},
         "bitfields: 10 10 10 \n"},
        {"10 10 10 with wider values, scaled",
         124,
         32,
         2,
         {0xFFC00000, 0x003FF000, 0x00000FFC},
         {p101010(1023, 512, 4), p101010(255, 128, 0), p101010(0, 0, 1020), p101010(16, 32, 48)},
         {0x0000FF, 0x04080C, 0xFF8001, 0x3F2000},
         "bitfields: 10 10 10 \n"},
        // Masks of no named layout: each channel widened to 8 bits (the
        // bits moved up) and kept as the record keeps it; the text line stays.
        {"16-bit 4 4 4 masks: channels widened",
         40,
         16,
         2,
         {0x0F00, 0x00F0, 0x000F},
         {0x7FFF, 0x1234, 0x0001, 0x8421},
         {0x0002, 0x2082, 0x7BDE, 0x10C8},
         "bitfields: not supported \n"},
        {"32-bit masks with red in the low byte",
         40,
         32,
         -2,
         {0xFF, 0xFF00, 0xFF0000},
         {0x123456, 0xFFFFFF, 0x000001, 0xABCDEF},
         {0x563412, 0xFFFFFF, 0x010000, 0xEFCDAB},
         "bitfields: not supported \n"},
        {"masks on 24 bits: pixels as they are",
         40,
         24,
         2,
         {1, 2, 3},
         {0x123456, 0xFFFFFF, 0x000001, 0xABCDEF},
         {0x000001, 0xABCDEF, 0x123456, 0xFFFFFF},
         nullptr},
    };
    for (const Case& c : cases) {
        BmpSpec s = BmpLayout(c.headerSize, 2, c.height, c.bits, 3);
        s.masks = c.masks;
        std::vector<Bytes> rows(2);
        for (size_t i = 0; i < 4; i++) {
            Bytes& row = rows[i / 2];
            if (c.bits == 16) Put16(row, c.file[i]);
            if (c.bits == 24) {
                Put16(row, c.file[i] & 0xFFFF);
                row.push_back(BYTE(c.file[i] >> 16));
            }
            if (c.bits == 32) Put32(row, c.file[i]);
        }
        s.pixels = PadRows(rows);
        RecordMessages messages;
        ASSERT_TRUE(Load("fields.bmp", BuildBmp(s))) << c.name << ": " << Joined(messages);
        BITMAPINFOHEADER h = HeaderOf(g_picture);
        EXPECT_EQ(h.biCompression, 0u) << c.name;
        EXPECT_EQ(h.biHeight, 2) << c.name;
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(RawPixelAt(g_picture, i % 2, i / 2), c.record[size_t(i)])
                << c.name << ", pixel " << i;
        std::string text = g_infoText;
        std::string tail = std::string("compression: BI_BITFIELDS \n") + (c.line ? c.line : "");
        EXPECT_EQ(text.substr(text.size() - std::min(text.size(), tail.size())), tail) << c.name;
        EXPECT_TRUE(messages.messages.empty()) << c.name;
    }
}

TEST(BitmapReaders, RunLengthPictures) {
    struct Case {
        const char* name;
        BmpSpec bmpFile;
        Bytes pixels; // record rows, bottom row first
    };
    std::vector<Case> cases;
    auto make = [](uint32_t headerSize, int32_t width, int32_t height, uint16_t bits,
                   uint32_t compression, Bytes stream) {
        BmpSpec s = BmpLayout(headerSize, width, height, bits, compression);
        if (bits <= 8) s.colors = RandomColors(1 << bits);
        s.pixels = stream;
        return s;
    };
    cases.push_back({"Windows RLE8 without end of picture: later rows colour 0",
                     make(40, 5, 3, 8, 1, {3, 7, 1, 8, 0, 0, 0, 3, 1, 2, 3, 0}),
                     {7, 7, 7, 8, 0, 0, 0, 0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
    cases.push_back({"Windows RLE8 top-down",
                     make(40, 4, -2, 8, 1, {2, 5, 0, 0, 4, 6, 0, 1}),
                     {6, 6, 6, 6, 5, 5, 0, 0}});
    cases.push_back({"Windows RLE4",
                     make(40, 7, 2, 4, 2, {7, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}),
                     {0x12, 0x12, 0x12, 0x10, 0x34, 0x50, 0, 0}});
    cases.push_back({"Windows RLE8 data on a 4-bit picture uses the RLE8 expander",
                     make(40, 4, 1, 4, 1, {3, 0x12, 0, 1}),
                     {0x12, 0x12, 0x12, 0}});
    cases.push_back({"Windows RLE4 data on an 8-bit picture uses the RLE4 expander",
                     make(40, 4, 1, 8, 2, {3, 0x12, 0, 1}),
                     {0x12, 0x10, 0, 0}});
    {
        BmpSpec s = make(40, 4, 1, 8, 1, {2, 9, 0, 1});
        s.dataOffset = 54 + 1024 + 4;
        cases.push_back({"Windows RLE8 after a gap", s, {9, 9, 0, 0}});
    }
    cases.push_back({"OS/2 2.0 RLE 8",
                     make(64, 3, 2, 8, 1, {3, 4, 0, 0, 0, 3, 1, 2, 3, 0, 0, 1}),
                     {4, 4, 4, 0, 1, 2, 3, 0}});
    cases.push_back(
        {"OS/2 2.0 RLE 4", make(64, 3, 1, 4, 2, {1, 0xA0, 2, 0xBC, 0, 1}), {0xAB, 0xC0, 0, 0}});
    cases.push_back({"OS/2 2.0 RLE 24",
                     make(64, 2, 2, 24, 4, {2, 1, 2, 3, 0, 0, 0, 2, 1, 0, 1, 4, 5, 6}),
                     {1, 2, 3, 1, 2, 3, 0, 0, 0, 0, 0, 4, 5, 6, 0, 0}});
    cases.push_back({"OS/2 2.0 unknown compression: zero pixels",
                     make(64, 2, 1, 24, 5, {1, 2, 3, 4, 5, 6, 7, 8}), Bytes(8, 0)});
    for (const Case& c : cases) {
        RecordMessages messages;
        ASSERT_TRUE(Load("rle.bmp", BuildBmp(c.bmpFile))) << c.name << ": " << Joined(messages);
        EXPECT_EQ(RecordPixelBytes(g_picture), c.pixels) << c.name;
        BITMAPINFOHEADER h = HeaderOf(g_picture);
        EXPECT_EQ(h.biCompression, 0u) << c.name;
        EXPECT_EQ(h.biBitCount, c.bmpFile.bitCount) << c.name;
        EXPECT_EQ(RecordColors(g_picture), c.bmpFile.colors) << c.name;
        EXPECT_TRUE(messages.messages.empty()) << c.name << ": " << Joined(messages);
    }
}

TEST(Os2v2Bitmap, HuffmanPictures) {
    // Width 8: row 0 white 2 black 4 white 2, row 1 black 8 (white 0 first).
    // EOL, 0111 (white 2), 011 (black 4), 0111 (white 2), EOL, 00110101 (white 0),
    // 000101 (black 8), zero filled.
    const Bytes data = {0x00, 0x17, 0x6E, 0x00, 0x26, 0xA2, 0x80};
    struct Case {
        const char* name;
        uint16_t bits;
        uint32_t clrUsed;
        std::vector<uint32_t> stored;
        Bytes pixels;
        std::vector<uint32_t> colors;
        int colorsUsed;
    } cases[] = {
        {"black runs on white whatever the stored table",
         1,
         0,
         {0xFF0000, 0x00FF00},
         {0x3C, 0, 0, 0, 0xFF, 0, 0, 0},
         {0xFFFFFF, 0x000000},
         1},
        {"a stored table of one colour still gets white and black",
         1,
         1,
         {0x123456},
         {0x3C, 0, 0, 0, 0xFF, 0, 0, 0},
         {0xFFFFFF, 0x000000},
         1},
        {"8 bits: the pixel area stays zero", 8, 0, RandomColors(256), Bytes(16, 0), {}, 0},
    };
    for (Case& c : cases) {
        BmpSpec s = BmpLayout(64, 8, 2, c.bits, 3);
        s.clrUsed = c.clrUsed;
        s.colors = c.stored;
        s.pixels = data;
        RecordMessages messages;
        ASSERT_TRUE(Load("huffman.bmp", BuildBmp(s))) << c.name << ": " << Joined(messages);
        EXPECT_EQ(RecordPixelBytes(g_picture), c.pixels) << c.name;
        if (c.bits == 1) {
            EXPECT_EQ(RecordColors(g_picture), c.colors) << c.name;
            EXPECT_EQ(PixelAt(g_picture, 2, 1), 0x000000u) << c.name;
            EXPECT_EQ(PixelAt(g_picture, 1, 1), 0xFFFFFFu) << c.name;
            EXPECT_EQ(PixelAt(g_picture, 0, 0), 0x000000u) << c.name;
        } else {
            EXPECT_EQ(RecordColors(g_picture), c.stored) << c.name;
        }
        EXPECT_EQ(g_colorsUsed, c.colorsUsed) << c.name;
        EXPECT_TRUE(messages.messages.empty()) << c.name << ": " << Joined(messages);
    }
}

TEST(BitmapLoader, PackingAndColourCounts) {
    struct Case {
        const char* name;
        uint32_t headerSize;
        uint16_t bits;
        uint32_t clrUsed;
        std::vector<uint32_t> colors;
        int bitCount, colorsUsed;
    } cases[] = {
        {"8 bits, black and white", 40, 8, 2, {0x000000, 0xFFFFFF}, 1, 1},
        {"8 bits, white and black", 40, 8, 2, {0xFFFFFF, 0x000000}, 1, 1},
        {"8 bits, two colours", 40, 8, 2, {0xFF0000, 0x0000FF}, 1, 2},
        {"8 bits, 16 colours", 40, 8, 16, RandomColors(16), 4, 16},
        {"8 bits, 3 colours", 40, 8, 3, RandomColors(3), 4, 3},
        {"8 bits, 17 colours", 40, 8, 17, RandomColors(17), 8, 17},
        {"8 bits, default colours", 40, 8, 0, RandomColors(256), 8, 0},
        {"4 bits, two colours", 40, 4, 2, {0x102030, 0x405060}, 1, 2},
        {"4 bits, default colours", 40, 4, 0, RandomColors(16), 4, 0},
        {"1 bit, black and white", 40, 1, 0, {0x000000, 0xFFFFFF}, 1, 1},
        {"1 bit, two greys", 40, 1, 0, {0x101010, 0xF0F0F0}, 1, 0},
        {"24 bits", 40, 24, 0, {}, 24, 0},
        {"16 bits", 40, 16, 0, {}, 16, 0},
        {"OS/2 1.x 4 bits", 12, 4, 0, RandomColors(16), 4, 0},
        {"OS/2 1.x 1 bit, black and white", 12, 1, 0, {0xFFFFFF, 0x000000}, 1, 1},
        {"OS/2 2.0 8 bits, 2 colours", 64, 8, 2, {0x000000, 0xFFFFFF}, 1, 1},
    };
    for (const Case& c : cases) {
        const int width = 5, height = 2;
        BmpSpec s = BmpLayout(c.headerSize, width, height, c.bits);
        s.clrUsed = c.clrUsed;
        s.colors = c.colors;
        // Pixel values that stay inside the colour table.
        int n = c.bits > 8 ? 0 : int(c.colors.size());
        std::vector<Bytes> rows(height);
        std::vector<uint32_t> want;
        for (int y = 0; y < height; y++) {
            rows[size_t(y)].assign(size_t(Stride(width, c.bits)), 0);
            for (int x = 0; x < width; x++) {
                uint32_t v =
                    n ? NextRandom() % uint32_t(n) : (uint32_t(NextRandom()) << 16 | NextRandom());
                BYTE* row = rows[size_t(y)].data();
                if (c.bits == 1 && v) row[x / 8] |= BYTE(0x80 >> (x % 8));
                if (c.bits == 4) row[x / 2] |= BYTE((x & 1) ? v : v << 4);
                if (c.bits == 8) row[x] = BYTE(v);
                if (c.bits == 16) {
                    v &= 0x7FFF;
                    row[2 * x] = BYTE(v);
                    row[2 * x + 1] = BYTE(v >> 8);
                }
                if (c.bits == 24) {
                    row[3 * x] = BYTE(v);
                    row[3 * x + 1] = BYTE(v >> 8);
                    row[3 * x + 2] = BYTE(v >> 16);
                }
                // Expected colours, top row first.
                uint32_t rgb = n ? c.colors[v] : v;
                if (c.bits == 16) {
                    auto widen = [](uint32_t k) { return (k << 3) | (k >> 2); };
                    rgb = widen((v >> 10) & 31) << 16 | widen((v >> 5) & 31) << 8 | widen(v & 31);
                }
                want.push_back(rgb);
            }
        }
        s.pixels = PadRows(rows);
        RecordMessages messages;
        ASSERT_TRUE(Load("pack.bmp", BuildBmp(s))) << c.name << ": " << Joined(messages);
        EXPECT_EQ(g_bitCount, c.bitCount) << c.name;
        EXPECT_EQ(g_colorsUsed, c.colorsUsed) << c.name;
        EXPECT_EQ(HeaderOf(g_picture).biBitCount, c.bitCount) << c.name;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                EXPECT_EQ(PixelAt(g_picture, x, height - 1 - y), want[size_t(y * width + x)])
                    << c.name << " at " << x << "," << y;
    }
}

// Bit-field masks of no named layout, worked by hand: channels in any order
// and of any width, the top 8 bits of wider ones, narrower ones moved up to 8
// bits (then to 5 in 16-bit records), a zero mask giving a channel of 0.
TEST(WindowsBitmap, BitFieldMasksOfAnyLayout) {
    struct Case {
        const char* name;
        uint32_t headerSize;
        uint16_t bits;
        std::vector<uint32_t> masks;
        uint32_t pixel;  // as stored
        uint32_t record; // the record's raw value
    } cases[] = {
        // 2-3-1: red 0b11 -> 0xC0, green 0b101 -> 0xA0, blue 1 -> 0x80.
        {"16-bit 2 3 1", 40, 16, {0x0030, 0x000E, 0x0001}, 0x003B, 0x18 << 10 | 0x14 << 5 | 0x10},
        // 3-10-3: green's top 8 of 10 bits, 0x2AA -> 0xAA -> 5 bits 0x15.
        {"16-bit 3 10 3", 108, 16, {0xE000, 0x1FF8, 0x0007}, 0xB555, 0x14 << 10 | 0x15 << 5 | 0x14},
        {"16-bit 5 5 5 alpha last",
         124,
         16,
         {0xF800, 0x07C0, 0x003E},
         0x8443,
         0x10 << 10 | 0x11 << 5 | 0x01},
        {"16-bit 6 5 5", 40, 16, {0xFC00, 0x03E0, 0x001F}, 0xFFE0, 0x1F << 10 | 0x1F << 5},
        {"16-bit no red", 40, 16, {0, 0x0FF0, 0x000F}, 0xFFFF, 0x1F << 5 | 0x1E},
        {"32-bit alpha first (blue in the top byte)",
         108,
         32,
         {0xFF00, 0xFF0000, 0xFF000000},
         0x123456AA,
         0x563412},
        {"32-bit red in the top byte",
         124,
         32,
         {0xFF000000, 0xFF0000, 0xFF00},
         0x123456AA,
         0x123456},
        // 10-10-10-2 from the low end: red 0x3FF, green 0x155, blue 0x0AA.
        {"32-bit 10 10 10 2, red lowest",
         40,
         32,
         {0x3FF, 0xFFC00, 0x3FF00000},
         0x0AA557FF,
         0xFF552A},
        // 11-11-10: red 0x7FF -> 0xFF, green 0x400 -> 0x80, blue 0x155 -> 0x55.
        {"32-bit 11 11 10", 40, 32, {0xFFE00000, 0x001FFC00, 0x000003FF}, 0xFFF00155, 0xFF8055},
        {"32-bit 10 11 11", 40, 32, {0x7FF, 0x3FF800, 0xFFC00000}, 0x80200001, 0x008080},
        {"32-bit 5 6 5 masks", 40, 32, {0xF800, 0x07E0, 0x001F}, 0x0000F81F, 0xF800F8},
        {"32-bit 4 4 4", 40, 32, {0xF00, 0xF0, 0xF}, 0x00000ABC, 0xA0B0C0},
    };
    for (const Case& c : cases) {
        BmpSpec s = BmpLayout(c.headerSize, 1, 1, c.bits, 3);
        s.masks = c.masks;
        Bytes row;
        if (c.bits == 16)
            Put16(row, c.pixel);
        else
            Put32(row, c.pixel);
        s.pixels = PadRows({row});
        RecordMessages messages;
        ASSERT_TRUE(Load("masks.bmp", BuildBmp(s))) << c.name << ": " << Joined(messages);
        EXPECT_EQ(HeaderOf(g_picture).biBitCount, c.bits) << c.name;
        EXPECT_EQ(RawPixelAt(g_picture, 0, 0), c.record)
            << c.name << std::hex << " got " << RawPixelAt(g_picture, 0, 0);
        const std::string text = g_infoText;
        EXPECT_NE(text.find("compression: BI_BITFIELDS \nbitfields: not supported \n"),
                  std::string::npos)
            << c.name << ": " << text;
        EXPECT_TRUE(messages.messages.empty()) << c.name;
    }
}

// Masks that describe no picture are refused with a message, not shown black.
TEST(WindowsBitmap, BitFieldMasksRefused) {
    struct Case {
        const char* name;
        uint32_t headerSize;
        uint16_t bits;
        std::vector<uint32_t> masks;
    } cases[] = {
        {"all zero", 40, 32, {0, 0, 0}},
        {"all zero in a 124-byte header", 124, 16, {0, 0, 0}},
        {"a gap in the red mask", 40, 16, {0x0F0F, 0x00F0, 0x0000}},
        {"a gap in the blue mask", 108, 32, {0xFF0000, 0xFF00, 0x81}},
        {"green over red", 40, 32, {0xFF0000, 0x1FF00, 0xFF}},
        {"blue over green", 124, 16, {0xF800, 0x07E0, 0x0060}},
        {"beyond 16 bits", 40, 16, {0x1F0000, 0x03E0, 0x001F}},
    };
    for (const Case& c : cases) {
        BmpSpec s = BmpLayout(c.headerSize, 2, 2, c.bits, 3);
        s.masks = c.masks;
        s.pixels = RandomBytes(size_t(Stride(2, c.bits) * 2));
        RecordMessages messages;
        EXPECT_FALSE(Load("refused.bmp", BuildBmp(s))) << c.name;
        EXPECT_EQ(Joined(messages), "Invalid Bitmap Bit Fields") << c.name;
        const std::string text = g_infoText;
        EXPECT_NE(text.find("compression: BI_BITFIELDS \nbitfields: not supported \n"),
                  std::string::npos)
            << c.name << ": " << text;
    }
}
