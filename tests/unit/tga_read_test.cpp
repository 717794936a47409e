// The Targa reader: every image type, origin, direction and interleave
// against pictures this test codes itself (packets within and across rows),
// colour maps of every entry size with first indices, the File information
// text, files that lie about their sizes, and memory failures.
#include "png_test_util.h"
#include "read_buffer_util.h"
#include "test_util.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "formats/library/png_format.h"
#include "formats/native/tga.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
uint32_t g_seed = 31337;
uint32_t Random() {
    g_seed = g_seed * 1103515245u + 12345u;
    return g_seed >> 7;
}

struct TgaHead {
    int idLength = 0;
    int mapType = 0;
    int type = 2;
    int first = 0, mapLength = 0, entryBits = 0;
    int width = 1, height = 1;
    int bits = 24;
    int descriptor = 0;
};

void Put16At(Bytes& b, size_t at, int v) {
    b[at] = BYTE(v);
    b[at + 1] = BYTE(v >> 8);
}

Bytes Header(const TgaHead& h) {
    Bytes b(18, 0);
    b[0] = BYTE(h.idLength);
    b[1] = BYTE(h.mapType);
    b[2] = BYTE(h.type);
    Put16At(b, 3, h.first);
    Put16At(b, 5, h.mapLength);
    b[7] = BYTE(h.entryBits);
    Put16At(b, 8, 17); // origins are not consulted
    Put16At(b, 10, 99);
    Put16At(b, 12, h.width);
    Put16At(b, 14, h.height);
    b[16] = BYTE(h.bits);
    b[17] = BYTE(h.descriptor);
    for (int i = 0; i < h.idLength; i++) b.push_back(BYTE('a' + i % 26));
    return b;
}

// Colour map entries (0xAARRGGBB) in the file's form for an entry size.
void PutEntry(Bytes& out, uint32_t c, int entryBits) {
    if (entryBits == 8) {
        out.push_back(BYTE(c));
    } else if (entryBits == 15 || entryBits == 16) {
        uint32_t v = (((c >> 19) & 31) << 10) | (((c >> 11) & 31) << 5) | ((c >> 3) & 31);
        out.push_back(BYTE(v));
        out.push_back(BYTE(v >> 8));
    } else {
        for (int i = 0; i < (entryBits + 7) / 8; i++) out.push_back(BYTE(c >> (8 * i)));
    }
}

// A pixel value in the file's byte order: indices and grey levels, 16-bit
// words, blue green red (alpha).
void PutPixel(Bytes& out, uint32_t v, int bits) {
    for (int i = 0; i < (bits == 15 ? 2 : bits / 8); i++) out.push_back(BYTE(v >> (8 * i)));
}

// The picture row (from the top) that file row r holds: descriptor bit 5
// picks the origin, bits 6 and 7 the interleave.
int PictureRow(const TgaHead& h, int r) {
    int fromTop = (h.descriptor & 0x20) ? r : h.height - 1 - r;
    int factor = (h.descriptor & 0x40) ? 2 : (h.descriptor & 0x80) ? 4 : 1;
    int row = 0;
    for (int pass = 0; pass < factor; pass++)
        for (int t = pass; t < h.height; t += factor, row++)
            if (row == fromTop) return t;
    return -1;
}

// The pixel values in file order.
std::vector<uint32_t> FileOrder(const TgaHead& h, const std::vector<uint32_t>& picture) {
    std::vector<uint32_t> out;
    for (int r = 0; r < h.height; r++) {
        int y = PictureRow(h, r);
        for (int i = 0; i < h.width; i++) {
            int x = (h.descriptor & 0x10) ? h.width - 1 - i : i;
            out.push_back(picture[size_t(y * h.width + x)]);
        }
    }
    return out;
}

// Packets over a run of values: equal neighbours make run packets, the rest raw ones.
void PutPackets(Bytes& out, const uint32_t* v, size_t n, int bits) {
    for (size_t i = 0; i < n;) {
        size_t m = 1;
        while (i + m < n && m < 128 && v[i + m] == v[i]) m++;
        if (m > 1) {
            out.push_back(BYTE(0x80 | (m - 1)));
            PutPixel(out, v[i], bits);
            i += m;
            continue;
        }
        size_t r = 1;
        while (i + r < n && r < 128 && !(i + r + 1 < n && v[i + r] == v[i + r + 1])) r++;
        out.push_back(BYTE(r - 1));
        for (size_t k = 0; k < r; k++) PutPixel(out, v[i + k], bits);
        i += r;
    }
}

enum Coding { PER_ROW, ACROSS_ROWS };

Bytes BuildTga(const TgaHead& h, const std::vector<uint32_t>& map,
               const std::vector<uint32_t>& picture, Coding coding = ACROSS_ROWS) {
    Bytes file = Header(h);
    for (uint32_t c : map) PutEntry(file, c, h.entryBits);
    std::vector<uint32_t> order = FileOrder(h, picture);
    if (h.type < 9) {
        for (uint32_t v : order) PutPixel(file, v, h.bits);
    } else if (coding == ACROSS_ROWS) {
        PutPackets(file, order.data(), order.size(), h.bits);
    } else {
        for (int r = 0; r < h.height; r++)
            PutPackets(file, order.data() + size_t(r * h.width), size_t(h.width), h.bits);
    }
    return file;
}

std::vector<uint32_t> RunnyValues(int count, uint32_t mask) {
    std::vector<uint32_t> v;
    uint32_t last = Random() & mask;
    for (int i = 0; i < count; i++) {
        if (Random() % 3 == 0) last = (Random() ^ (Random() << 16)) & mask;
        v.push_back(last);
    }
    return v;
}

HGLOBAL Read(const Bytes& file, std::string* text = nullptr) {
    return ReadBytesWithBuffer(ReadTarga, "t.tga", file, text);
}

uint32_t StoredValue(HGLOBAL image, int x, int y) {
    BITMAPINFOHEADER h = HeaderOf(image);
    if (h.biBitCount <= 16) return RawPixelAt(image, x, y);
    uint32_t v = PixelAt(image, x, y);
    if (h.biBitCount == 32) {
        BITMAPINFOHEADER* p = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
        v |=
            uint32_t(ImagePixels(
                p)[ImageStride(h.biWidth, 32) * uint64_t(h.biHeight - 1 - y) + uint64_t(4 * x + 3)])
            << 24;
        GlobalUnlock(image);
    }
    return v;
}

// The picture as read, top row first.
std::vector<uint32_t> Values(HGLOBAL image) {
    std::vector<uint32_t> v;
    BITMAPINFOHEADER h = HeaderOf(image);
    for (int y = 0; y < h.biHeight; y++)
        for (int x = 0; x < h.biWidth; x++) v.push_back(StoredValue(image, x, y));
    return v;
}

std::vector<uint32_t> RandomColours(int n) {
    std::vector<uint32_t> c;
    for (int i = 0; i < n; i++) c.push_back(Random() & 0xFFFFFF);
    return c;
}
} // namespace

TEST(TargaReader, EveryTypeOriginDirectionAndInterleave) {
    struct Kind {
        int type, bits;
        int recordBits;
    } kinds[] = {{1, 8, 8}, {2, 15, 16},  {2, 16, 16},  {2, 24, 24},  {2, 32, 32},  {3, 8, 8},
                 {9, 8, 8}, {10, 15, 16}, {10, 16, 16}, {10, 24, 24}, {10, 32, 32}, {11, 8, 8}};
    const int descriptors[] = {0, 0x20, 0x10, 0x30, 0x40, 0x60, 0x80, 0xA0, 0xD0};
    for (const Kind& k : kinds) {
        for (int descriptor : descriptors) {
            for (int width : {1, 2, 3, 4, 5, 130}) {
                for (Coding coding : {PER_ROW, ACROSS_ROWS}) {
                    if (k.type < 9 && coding == PER_ROW) continue;
                    TgaHead h;
                    h.type = k.type;
                    h.bits = k.bits;
                    h.width = width;
                    h.height = 5;
                    h.descriptor = descriptor;
                    std::vector<uint32_t> map;
                    if (k.type == 1 || k.type == 9) {
                        h.mapType = 1;
                        h.mapLength = 256;
                        h.entryBits = 24;
                        map = RandomColours(256);
                    }
                    uint32_t mask = k.bits == 8    ? 0xFF
                                    : k.bits <= 16 ? 0xFFFF
                                    : k.bits == 24 ? 0xFFFFFF
                                                   : 0xFFFFFFFF;
                    std::vector<uint32_t> picture = RunnyValues(width * 5, mask);
                    std::string what =
                        "type " + std::to_string(k.type) + ", " + std::to_string(k.bits) +
                        " bits, descriptor " + std::to_string(descriptor) + ", width " +
                        std::to_string(width) + (coding == PER_ROW ? ", packets per row" : "");
                    RecordMessages messages;
                    HGLOBAL image = Read(BuildTga(h, map, picture, coding));
                    EXPECT_TRUE(messages.messages.empty())
                        << what << ": " << JoinedMessages(messages);
                    ASSERT_NE(image, nullptr) << what;
                    EXPECT_TRUE(IsValidImageRecord(image)) << what;
                    BITMAPINFOHEADER r = HeaderOf(image);
                    EXPECT_EQ(r.biBitCount, k.recordBits) << what;
                    EXPECT_EQ(r.biWidth, width) << what;
                    EXPECT_EQ(r.biHeight, 5) << what;
                    EXPECT_EQ(Values(image), picture) << what;
                    if (!map.empty()) {
                        EXPECT_EQ(RecordColors(image), map) << what;
                    } else if (k.recordBits == 8) {
                        std::vector<uint32_t> ramp;
                        for (uint32_t i = 0; i < 256; i++) ramp.push_back(i * 0x010101);
                        EXPECT_EQ(RecordColors(image), ramp) << what;
                    }
                    GlobalFree(image);
                }
            }
        }
    }
}

TEST(TargaReader, ColourMaps) {
    std::vector<uint32_t> colours = RandomColours(300);
    auto five = [](uint32_t c) { return c & 0xF8F8F8; };
    struct Case {
        const char* name;
        int mapType, type, bits, first, length, entryBits;
        int idLength;
        uint32_t clrUsed;
        std::vector<uint32_t> table; // expected (index: colour)
    } cases[] = {
        {"24-bit entries", 1, 1, 8, 0, 4, 24, 0, 4, {}},
        {"24-bit entries from index 2", 1, 1, 8, 2, 4, 24, 0, 6, {}},
        {"16-bit entries", 1, 9, 8, 0, 5, 16, 0, 5, {}},
        {"15-bit entries from index 1", 1, 9, 8, 1, 5, 15, 3, 6, {}},
        {"32-bit entries", 1, 1, 8, 0, 3, 32, 0, 3, {}},
        {"8-bit grey entries", 1, 1, 8, 0, 3, 8, 0, 3, {}},
        {"300 entries", 1, 1, 8, 0, 300, 24, 0, 256, {}},
        {"entries 250 to 259", 1, 9, 8, 250, 10, 24, 0, 256, {}},
        {"entries 300 and 301", 1, 1, 8, 300, 2, 24, 0, 256, {}},
        {"an empty map", 1, 1, 8, 0, 0, 24, 0, 0, {}},
        {"20-bit entries are passed over", 1, 1, 8, 0, 3, 20, 0, 3, {}},
        {"a map on a grey picture", 1, 3, 8, 0, 4, 24, 0, 4, {}},
        {"map type 0 leaves the map fields alone", 0, 1, 8, 0, 4, 24, 0, 0, {}},
        {"true colour with a map", 1, 2, 24, 0, 4, 24, 2, 0, {}},
        {"16-bit pixels with a map", 1, 10, 16, 0, 4, 16, 0, 0, {}},
    };
    for (Case& c : cases) {
        TgaHead h;
        h.mapType = c.mapType;
        h.type = c.type;
        h.bits = c.bits;
        h.first = c.first;
        h.mapLength = c.length;
        h.entryBits = c.entryBits;
        h.idLength = c.idLength;
        h.width = 6;
        h.height = 2;
        std::vector<uint32_t> map(colours.begin(), colours.begin() + c.length);
        std::vector<uint32_t> expected(c.bits == 8 ? (c.clrUsed ? c.clrUsed : 256) : 0, 0);
        for (int i = 0; i < c.length && c.mapType && c.bits == 8; i++) {
            uint32_t v = map[size_t(i)];
            if (c.entryBits == 16 || c.entryBits == 15) v = five(v);
            if (c.entryBits == 8) v = (v & 0xFF) * 0x010101;
            if (c.entryBits == 20) v = 0;
            if (c.first + i < 256) expected[size_t(c.first + i)] = v;
        }
        if (!c.mapType) {
            for (uint32_t i = 0; i < 256; i++) expected[i] = i * 0x010101;
        }
        std::vector<uint32_t> picture = RunnyValues(12, c.bits == 8 ? 0xFF : 0xFFFF);
        Bytes file = Header(h);
        if (c.mapType)
            for (uint32_t m : map) PutEntry(file, m, c.entryBits);
        std::vector<uint32_t> order = FileOrder(h, picture);
        if (c.type < 9) {
            for (uint32_t v : order) PutPixel(file, v, c.bits);
        } else {
            PutPackets(file, order.data(), order.size(), c.bits);
        }
        RecordMessages messages;
        HGLOBAL image = Read(file);
        EXPECT_TRUE(messages.messages.empty()) << c.name << ": " << JoinedMessages(messages);
        ASSERT_NE(image, nullptr) << c.name;
        EXPECT_TRUE(IsValidImageRecord(image)) << c.name;
        EXPECT_EQ(HeaderOf(image).biClrUsed, c.clrUsed) << c.name;
        EXPECT_EQ(RecordColors(image), expected) << c.name;
        EXPECT_EQ(Values(image), picture) << c.name;
        GlobalFree(image);
    }
}

TEST(TargaReader, TrueColourWithAMapLoadsThroughTheLoader) {
    // The loader moves the pixels of true-colour records with a colours-used
    // count over a colour table in front of them; the reader hands over none.
    TgaHead h;
    h.mapType = 1;
    h.mapLength = 64;
    h.entryBits = 24;
    h.type = 10;
    h.bits = 24;
    h.width = 9;
    h.height = 4;
    std::vector<uint32_t> picture = RunnyValues(36, 0xFFFFFF);
    ASSERT_TRUE(LoadForTest(WriteTestFile("mapped.tga", BuildTga(h, RandomColours(64), picture))));
    EXPECT_EQ(HeaderOf(g_picture).biClrUsed, 0u);
    EXPECT_EQ(Values(g_picture), picture);
    ReleaseCurrentPicture();
}

TEST(TargaReader, InterleavedPicturesKeepTheirColourTable) {
    // The second record of an interleaved picture takes the grey ramp of a
    // file without a map and short maps alike, with the rows after them.
    for (int mapLength : {0, 16, 256}) {
        for (int descriptor : {0x40, 0x80, 0x60}) {
            TgaHead h;
            h.type = mapLength ? 1 : 3;
            h.bits = 8;
            h.mapType = mapLength ? 1 : 0;
            h.mapLength = mapLength;
            h.entryBits = 24;
            h.width = 7;
            h.height = 9;
            h.descriptor = descriptor;
            std::vector<uint32_t> map = RandomColours(mapLength);
            std::vector<uint32_t> picture =
                RunnyValues(63, mapLength ? uint32_t(mapLength - 1) : 255);
            std::string text;
            HGLOBAL image = Read(BuildTga(h, map, picture), &text);
            std::string what =
                std::to_string(mapLength) + " colours, descriptor " + std::to_string(descriptor);
            ASSERT_NE(image, nullptr) << what;
            EXPECT_TRUE(IsValidImageRecord(image)) << what;
            EXPECT_EQ(Values(image), picture) << what;
            std::vector<uint32_t> table = map;
            if (!mapLength)
                for (uint32_t i = 0; i < 256; i++) table.push_back(i * 0x010101);
            EXPECT_EQ(RecordColors(image), table) << what;
            EXPECT_EQ(HeaderOf(image).biClrUsed, uint32_t(mapLength)) << what;
            EXPECT_EQ(text.substr(text.rfind('\n')),
                      descriptor & 0x40 ? "\ntwo way interleave" : "\nfour way interleave");
            GlobalFree(image);
        }
    }
}

TEST(TargaReader, InformationText) {
    struct Case {
        TgaHead head;
        const char* text;
    } cases[] = {
        {{0, 1, 9, 0, 16, 24, 3, 2, 8, 0},
         "file type: Targa \nwidth: 3 \nheight: 2 \nimage type: colormapped \ncompressed data \n"
         "color map type: 1 \nbits per pixel: 8 \npalette size: 16 \npalette depth (bits): 24"
         "\nfirst pixel: bottom left"},
        {{0, 0, 2, 0, 0, 0, 4, 1, 15, 0x30},
         "file type: Targa \nwidth: 4 \nheight: 1 \nimage type: truecolor \nuncompressed data \n"
         "color map type: 0 \nbits per pixel: 16 \npalette size: 0 \npalette depth (bits): 0"
         "\nfirst pixel: top right"},
        {{0, 0, 11, 0, 0, 0, 2, 4, 8, 0x80},
         "file type: Targa \nwidth: 2 \nheight: 4 \nimage type: monochrome \ncompressed data \n"
         "color map type: 0 \nbits per pixel: 8 \npalette size: 0 \npalette depth (bits): 0"
         "\nfirst pixel: bottom left\nfour way interleave"},
        {{0, 0, 3, 0, 0, 0, 2, 4, 8, 0xE0},
         "file type: Targa \nwidth: 2 \nheight: 4 \nimage type: monochrome \nuncompressed data \n"
         "color map type: 0 \nbits per pixel: 8 \npalette size: 0 \npalette depth (bits): 0"
         "\nfirst pixel: top left\ntwo way interleave"},
        {{0, 0, 10, 0, 0, 0, 1, 1, 32, 0x20},
         "file type: Targa \nwidth: 1 \nheight: 1 \nimage type: truecolor \ncompressed data \n"
         "color map type: 0 \nbits per pixel: 32 \npalette size: 0 \npalette depth (bits): 0"
         "\nfirst pixel: top left"},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> map = RandomColours(c.head.mapLength);
        std::vector<uint32_t> picture(size_t(c.head.width * c.head.height), 1);
        ASSERT_TRUE(LoadForTest(WriteTestFile("info.tga", BuildTga(c.head, map, picture))));
        EXPECT_STREQ(g_infoText, c.text);
        ReleaseCurrentPicture();
    }
    // 15-bit pictures load as 16-bit records.
    TgaHead h{0, 0, 2, 0, 0, 0, 2, 1, 15, 0};
    HGLOBAL image = Read(BuildTga(h, {}, {0x7C00, 0x001F}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(HeaderOf(image).biBitCount, 16);
    EXPECT_EQ(PixelAt(image, 0, 0), 0xFF0000u);
    EXPECT_EQ(PixelAt(image, 1, 0), 0x0000FFu);
    GlobalFree(image);
}

TEST(TargaReader, BottomUpAndTopDownFilesLoadAlike) {
    std::vector<uint32_t> picture = RunnyValues(8 * 3, 0xFFFFFF);
    TgaHead h{0, 0, 2, 0, 0, 0, 8, 3, 24, 0};
    Bytes bottomUp = BuildTga(h, {}, picture);
    h.descriptor = 0x20;
    Bytes topDown = BuildTga(h, {}, picture);
    ASSERT_NE(bottomUp, topDown);
    HGLOBAL a = Read(bottomUp), b = Read(topDown);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(RecordPixelBytes(a), RecordPixelBytes(b));
    EXPECT_EQ(Values(a), picture);
    GlobalFree(a);
    GlobalFree(b);
}

TEST(TargaReader, FilesThatLie) {
    TgaHead rgb{0, 0, 10, 0, 0, 0, 3, 2, 24, 0};
    auto with = [](const TgaHead& h, const Bytes& data) {
        Bytes file = Header(h);
        file.insert(file.end(), data.begin(), data.end());
        return file;
    };
    auto head = [](int type, int width, int height, int bits) {
        TgaHead h;
        h.type = type;
        h.width = width;
        h.height = height;
        h.bits = bits;
        return h;
    };
    Bytes shortHeader = Header(rgb);
    shortHeader.resize(17);
    TgaHead uncompressed = rgb;
    uncompressed.type = 2;
    TgaHead cutMap{0, 1, 1, 0, 200, 24, 2, 1, 8, 0};
    TgaHead backwards = rgb;
    backwards.descriptor = 0x10;
    Bytes past = {0xFF, 1, 2, 3, 0xFF, 4, 5, 6, 0x85, 7, 8, 9};
    struct Case {
        const char* name;
        Bytes file;
        const char* message;
        std::vector<uint32_t> values; // empty: no picture
    } cases[] = {
        {"no header", {}, "Targa File Read Error", {}},
        {"17 header bytes", shortHeader, "Targa File Read Error", {}},
        {"type 0", with(head(0, 1, 1, 24), {1, 2, 3}), "Targa File Read Error", {}},
        {"type 4", with(head(4, 1, 1, 24), {1, 2, 3}), "Targa File Read Error", {}},
        {"type 32", with(head(32, 1, 1, 24), {1, 2, 3}), "Targa File Read Error", {}},
        {"width 0", with(head(2, 0, 1, 24), {1, 2, 3}), "Targa File Read Error", {}},
        {"height 0", with(head(2, 1, 0, 24), {1, 2, 3}), "Targa File Read Error", {}},
        {"7 bits per pixel", with(head(3, 1, 1, 7), {1}), "Targa File Read Error", {}},
        {"12 bits per pixel", with(head(2, 1, 1, 12), {1, 2}), "Targa File Read Error", {}},
        {"0 bits per pixel", with(head(2, 1, 1, 0), {1}), "Targa File Read Error", {}},
        {"40 bits per pixel",
         with(head(2, 1, 1, 40), {1, 2, 3, 4, 5}),
         "Targa File Read Error",
         {}},
        {"65535 x 65535 x 32",
         with(head(2, 65535, 65535, 32), {1, 2, 3, 4}),
         "Picture Too Large",
         {}},
        // A run of 128 in a picture of 6 pixels, then more packets.
        {"packets past the last row",
         with(rgb, past),
         "",
         {0x030201, 0x030201, 0x030201, 0x030201, 0x030201, 0x030201}},
        {"a raw packet cut short", with(rgb, {0x05, 1, 2, 3, 4, 5}), "", {0, 0, 0, 0x030201, 0, 0}},
        {"a run packet without its pixel",
         with(rgb, {0x00, 1, 2, 3, 0x85, 4}),
         "",
         {0, 0, 0, 0x030201, 0, 0}},
        {"uncompressed rows cut short",
         with(uncompressed, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
         "",
         {0, 0, 0, 0x030201, 0x060504, 0x090807}},
        {"right to left, cut short",
         with(backwards, {0x01, 1, 2, 3, 4, 5, 6}),
         "",
         {0, 0, 0, 0, 0x060504, 0x030201}},
        {"a map cut short", with(cutMap, {1, 2, 3}), "", {0, 0}},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        HGLOBAL image = Read(c.file);
        EXPECT_EQ(JoinedMessages(messages), c.message) << c.name;
        ASSERT_EQ(image != nullptr, !c.values.empty()) << c.name;
        if (!image) continue;
        EXPECT_TRUE(IsValidImageRecord(image)) << c.name;
        EXPECT_EQ(Values(image), c.values) << c.name;
        GlobalFree(image);
    }
}

TEST(TargaReader, MemoryFailures) {
    TgaHead h{0, 0, 10, 0, 0, 0, 5, 4, 24, 0x60}; // top row first, two-way interleave
    std::vector<uint32_t> picture = RunnyValues(20, 0xFFFFFF);
    Bytes file = BuildTga(h, {}, picture);
    {
        RecordMessages messages;
        FailGlobalAllocAt(1);
        HGLOBAL image = Read(file);
        FailGlobalAllocAt(0);
        EXPECT_EQ(image, nullptr);
        EXPECT_EQ(JoinedMessages(messages), "Memory Allocation Error");
    }
    {
        // Without the second record the picture stays as decoded: file rows
        // in order from the top.
        RecordMessages messages;
        FailGlobalAllocAt(2);
        HGLOBAL image = Read(file);
        FailGlobalAllocAt(0);
        EXPECT_EQ(JoinedMessages(messages), "Memory Allocation Error");
        ASSERT_NE(image, nullptr);
        std::vector<uint32_t> decoded = Values(image);
        std::vector<uint32_t> rows = {0, 2, 1, 3}; // file row r holds picture row rows[r]
        for (int r = 0; r < 4; r++)
            for (int x = 0; x < 5; x++)
                EXPECT_EQ(decoded[size_t(r * 5 + x)], picture[size_t(rows[size_t(r)] * 5 + x)]);
        GlobalFree(image);
    }
    HGLOBAL image = Read(file);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Values(image), picture);
    GlobalFree(image);
}

// Grey files of 16 bits (image types 3 and 11) hold a grey byte and an alpha
// byte: they read as 8-bit grey records with the alpha put onto white, pixel
// for pixel as the PNG reader shows a grey PNG with the same samples and no
// gamma chunk. A descriptor without attribute bits says there is no alpha.
TEST(TargaReader, GreyWithAlpha) {
    for (int type : {3, 11}) {
        for (int descriptor : {0x08, 0x28, 0x18, 0x48, 0x00, 0x20}) {
            for (int width : {1, 5, 130}) {
                TgaHead h;
                h.type = type;
                h.bits = 16;
                h.width = width;
                h.height = 3;
                h.descriptor = descriptor;
                std::vector<uint32_t> picture = RunnyValues(width * 3, 0xFFFF);
                picture[0] = 0x0040;                    // transparent
                if (width > 1) picture[1] = 0xFF40;     // opaque
                if (width > 2) picture[2] = 0x8000 | 9; // half over dark
                const std::string what = "type " + std::to_string(type) + ", descriptor " +
                                         std::to_string(descriptor) + ", width " +
                                         std::to_string(width);
                RecordMessages messages;
                std::string text;
                HGLOBAL image = Read(BuildTga(h, {}, picture), &text);
                ASSERT_NE(image, nullptr) << what;
                EXPECT_TRUE(messages.messages.empty()) << what;
                EXPECT_TRUE(IsValidImageRecord(image)) << what;
                const BITMAPINFOHEADER r = HeaderOf(image);
                EXPECT_EQ(r.biBitCount, 8) << what;
                EXPECT_EQ(r.biClrUsed, 0u) << what;
                std::vector<uint32_t> ramp;
                for (uint32_t i = 0; i < 256; i++) ramp.push_back(i * 0x010101);
                EXPECT_EQ(RecordColors(image), ramp) << what;
                EXPECT_NE(text.find("bits per pixel: 16 \n"), std::string::npos) << text;

                // The same samples as a grey PNG with alpha, read by the PNG reader.
                png::Parts s;
                s.width = uint32_t(width);
                s.height = 3;
                s.depth = 8;
                s.type = 4;
                for (int y = 0; y < 3; y++) {
                    Bytes row;
                    for (int x = 0; x < width; x++) {
                        const uint32_t v = picture[size_t(y * width + x)];
                        row.push_back(BYTE(v));
                        row.push_back(BYTE(v >> 8));
                    }
                    s.rows.push_back(row);
                }
                char pngText[INFO_TEXT_SIZE];
                HGLOBAL shown =
                    ReadPng(WriteTestFile("same.png", png::Build(s)).c_str(), nullptr, pngText, 32)
                        .image;
                ASSERT_NE(shown, nullptr) << what;
                const bool alpha = (descriptor & 0x0F) != 0;
                for (int y = 0; y < 3; y++)
                    for (int x = 0; x < width; x++) {
                        const uint32_t v = picture[size_t(y * width + x)];
                        const uint32_t want = alpha ? RawPixelAt(shown, x, y) : (v & 0xFF);
                        ASSERT_EQ(RawPixelAt(image, x, y), want)
                            << what << " at " << x << "," << y << ", grey " << (v & 0xFF)
                            << ", alpha " << (v >> 8);
                    }
                if (alpha) {
                    EXPECT_EQ(RawPixelAt(image, 0, 0), 255u) << what;
                    if (width > 1) {
                        EXPECT_EQ(RawPixelAt(image, 1, 0), 0x40u) << what;
                    }
                }
                GlobalFree(shown);
                GlobalFree(image);
            }
        }
    }
    // The grey record cannot be had: nothing is shown.
    TgaHead h;
    h.type = 3;
    h.bits = 16;
    h.width = 4;
    h.height = 2;
    h.descriptor = 8;
    RecordMessages messages;
    FailGlobalAllocAt(2);
    HGLOBAL image = Read(BuildTga(h, {}, RunnyValues(8, 0xFFFF)));
    FailGlobalAllocAt(0);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(JoinedMessages(messages), "Memory Allocation Error");
}
