// The IFF reader through the loader: File information texts, every plane
// count and layout, ByteRun1 streams, hold-and-modify, extra-halfbrite, and
// files that lie about their sizes.
#include "iff_test_util.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "formats/native/iff.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {
uint32_t g_seed = 24681357u;
uint32_t Next() {
    g_seed = g_seed * 1103515245u + 12345u;
    return g_seed >> 8;
}

std::vector<uint32_t> RandomColors(int n) {
    std::vector<uint32_t> c;
    for (int i = 0; i < n; i++) c.push_back(Next() & 0xFFFFFF);
    return c;
}

// Values below limit, with stretches of repeats so that ByteRun1 has runs to code.
std::vector<uint32_t> RandomValues(size_t n, uint32_t limit) {
    std::vector<uint32_t> v;
    while (v.size() < n) {
        uint32_t value = Next() % limit;
        size_t repeat = Next() % 4 == 0 ? 1 + Next() % 20 : 1;
        for (size_t i = 0; i < repeat && v.size() < n; i++) v.push_back(value);
    }
    return v;
}

std::string Joined(const RecordMessages& r) {
    std::string s;
    for (const MessageRecord& m : r.messages) s += (s.empty() ? "" : " | ") + m.text;
    return s;
}

bool Load(const Bytes& file) {
    return LoadForTest(WriteTestFile("picture.iff", file));
}

uint32_t Half(uint32_t c) {
    return ((c >> 1) & 0x7F7F7F);
}
} // namespace

TEST(IffReaderText, DescribesEachKindOfFile) {
    const std::vector<uint32_t> five = RandomColors(5);
    const Bytes row4 = PlaneRows({0, 1, 2, 3, 4, 0, 1}, 0, 4);
    const Bytes body4 = Bytes(row4.begin(), row4.end());
    struct Case {
        const char* name;
        Bytes file;
        const char* text;
    } cases[] = {
        {"four planes", IffForm("ILBM", {IffBmhd(7, 1, 4), IffCmap(five), IffChunk("BODY", body4)}),
         "image type: ILBM \nwidth: 7 \nheight: 1 \nplanes: 4 \ncompression: 0 \nmasking: 0 \n"
         "# of colors: 5"},
        {"transparent colour",
         IffForm("ILBM", {IffBmhd(7, 1, 4, 2, 1, 3), IffCmap(five),
                          IffChunk("BODY", SimpleByteRun1(body4))}),
         "image type: ILBM \nwidth: 7 \nheight: 1 \nplanes: 4 \ncompression: 1 \nmasking: 2\n"
         "transparent color: 3 \n# of colors: 5"},
        {"extra-halfbrite",
         IffForm("ILBM", {IffBmhd(7, 1, 6), IffCmap(RandomColors(32)), IffCamg(0x80),
                          IffChunk("BODY", PlaneRows({1, 2, 3, 33, 40, 63, 0}, 0, 6))}),
         "image type: ILBM \nwidth: 7 \nheight: 1 \nplanes: 6 \ncompression: 0 \nmasking: 0 \n"
         "# of colors: 32\ncamg: extra-halfbrite"},
        {"hold-and-modify",
         IffForm("ILBM", {IffBmhd(7, 1, 6, 1), IffCamg(0x800), IffCmap(RandomColors(16)),
                          IffChunk("BODY", Bytes(14, 0))}),
         "image type: ILBM \nwidth: 7 \nheight: 1 \nplanes: 6 \ncompression: 0 \nmasking: 1 \n"
         "# of colors: 16\ncamg: hold and modify"},
        {"chunky true colour",
         IffForm("PBM ", {IffBmhd(2, 1, 24, 0, 1), IffChunk("BODY", SimpleByteRun1(Bytes(6, 9)))}),
         "image type: PBM  \nwidth: 2 \nheight: 1 \nplanes: 24 \ncompression: 1 \nmasking: 0"},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        ASSERT_TRUE(Load(c.file)) << c.name << ": " << Joined(messages);
        EXPECT_EQ(std::string(g_infoText), c.text) << c.name;
        EXPECT_TRUE(messages.messages.empty()) << c.name << ": " << Joined(messages);
    }
}

// Every plane count from 1 to 8, odd and even widths, stored and packed,
// with and without a mask plane: each pixel has its CMAP colour.
TEST(IffReaderPlanes, IndexedPicturesOfEveryPlaneCount) {
    for (int planes = 1; planes <= 8; planes++) {
        for (int width : {1, 7, 8, 9, 16, 17, 33}) {
            for (int packed = 0; packed <= 1; packed++) {
                for (int masked = 0; masked <= 1; masked++) {
                    const int height = 3;
                    const int colors = 1 << planes;
                    const std::vector<uint32_t> table = RandomColors(colors);
                    std::vector<std::vector<uint32_t>> rows;
                    Bytes body;
                    for (int y = 0; y < height; y++) {
                        rows.push_back(RandomValues(size_t(width), uint32_t(colors)));
                        Bytes r = PlaneRows(rows.back(), 0, planes);
                        if (masked) {
                            Bytes mask = PlaneRows(RandomValues(size_t(width), 2), 0, 1);
                            r.insert(r.end(), mask.begin(), mask.end());
                        }
                        body.insert(body.end(), r.begin(), r.end());
                    }
                    if (packed) body = SimpleByteRun1(body);
                    Bytes file = IffForm("ILBM", {IffBmhd(width, height, planes, masked, packed),
                                                  IffCmap(table), IffChunk("BODY", body)});
                    const std::string name = std::to_string(planes) + " planes, width " +
                                             std::to_string(width) + (packed ? ", packed" : "") +
                                             (masked ? ", masked" : "");
                    RecordMessages messages;
                    ASSERT_TRUE(Load(file)) << name << ": " << Joined(messages);
                    BITMAPINFOHEADER h = HeaderOf(g_picture);
                    // Records of up to 16 colours are packed to 4 or 1 bits by the loader.
                    EXPECT_EQ(h.biBitCount, planes == 1 ? 1 : planes <= 4 ? 4 : 8) << name;
                    EXPECT_EQ(int(h.biClrUsed), colors) << name;
                    EXPECT_EQ(h.biWidth, width) << name;
                    EXPECT_EQ(h.biHeight, height) << name;
                    int wrong = 0;
                    for (int y = 0; y < height; y++)
                        for (int x = 0; x < width; x++)
                            wrong += PixelAt(g_picture, x, y) != table[rows[size_t(y)][size_t(x)]];
                    EXPECT_EQ(wrong, 0) << name;
                }
            }
        }
    }
}

// 24-plane ILBM (planes of red, then green, then blue) and the chunky PBM forms.
TEST(IffReaderTrueColor, PlanesAndChunkyPixels) {
    for (int width : {1, 2, 5, 16, 19}) {
        const int height = 4;
        std::vector<std::vector<uint32_t>> pixels;
        for (int y = 0; y < height; y++) pixels.push_back(RandomValues(size_t(width), 1u << 24));
        std::vector<uint32_t> indices[4];
        for (int y = 0; y < height; y++) indices[y] = RandomValues(size_t(width), 256);
        const std::vector<uint32_t> table = RandomColors(256);
        for (int packed = 0; packed <= 1; packed++) {
            struct Case {
                std::string name;
                Bytes file;
                bool trueColor;
            };
            std::vector<Case> cases;
            for (int masked = 0; masked <= 1; masked++) {
                Bytes body;
                for (int y = 0; y < height; y++) {
                    // Red is bits 16-23 of 0xRRGGBB, so the planes go blue to red reversed.
                    Bytes r = PlaneRows(pixels[size_t(y)], 16, 8);
                    Bytes g = PlaneRows(pixels[size_t(y)], 8, 8);
                    Bytes b = PlaneRows(pixels[size_t(y)], 0, 8);
                    body.insert(body.end(), r.begin(), r.end());
                    body.insert(body.end(), g.begin(), g.end());
                    body.insert(body.end(), b.begin(), b.end());
                    if (masked) {
                        Bytes m = PlaneRows(RandomValues(size_t(width), 2), 0, 1);
                        body.insert(body.end(), m.begin(), m.end());
                    }
                }
                if (packed) body = SimpleByteRun1(body);
                cases.push_back({masked ? "ILBM 24 planes, masked" : "ILBM 24 planes",
                                 IffForm("ILBM", {IffBmhd(width, height, 24, masked, packed),
                                                  IffChunk("BODY", body)}),
                                 true});
            }
            Bytes chunky24, chunky8;
            for (int y = 0; y < height; y++) {
                for (uint32_t p : pixels[size_t(y)]) {
                    chunky24.push_back(uint8_t(p >> 16));
                    chunky24.push_back(uint8_t(p >> 8));
                    chunky24.push_back(uint8_t(p));
                }
                if (width & 1) chunky24.push_back(0x5A); // pad bytes are not pixels
                for (uint32_t i : indices[y]) chunky8.push_back(uint8_t(i));
                if (width & 1) chunky8.push_back(0xA5);
            }
            if (packed) chunky24 = SimpleByteRun1(chunky24);
            if (packed) chunky8 = SimpleByteRun1(chunky8);
            cases.push_back({"PBM 24 planes",
                             IffForm("PBM ", {IffBmhd(width, height, 24, 0, packed),
                                              IffChunk("BODY", chunky24)}),
                             true});
            cases.push_back({"PBM 8 planes",
                             IffForm("PBM ", {IffBmhd(width, height, 8, 0, packed), IffCmap(table),
                                              IffChunk("BODY", chunky8)}),
                             false});
            for (const Case& c : cases) {
                const std::string name =
                    c.name + ", width " + std::to_string(width) + (packed ? ", packed" : "");
                RecordMessages messages;
                ASSERT_TRUE(Load(c.file)) << name << ": " << Joined(messages);
                BITMAPINFOHEADER h = HeaderOf(g_picture);
                EXPECT_EQ(h.biBitCount, c.trueColor ? 24 : 8) << name;
                EXPECT_EQ(h.biClrUsed, c.trueColor ? 0u : 256u) << name;
                int wrong = 0;
                for (int y = 0; y < height; y++)
                    for (int x = 0; x < width; x++)
                        wrong += PixelAt(g_picture, x, y) != (c.trueColor
                                                                  ? pixels[size_t(y)][size_t(x)]
                                                                  : table[indices[y][size_t(x)]]);
                EXPECT_EQ(wrong, 0) << name;
                // Row padding of the record stays zero.
                Bytes stored = RecordPixelBytes(g_picture);
                const size_t stride = stored.size() / size_t(height);
                const size_t used = size_t(width) * (c.trueColor ? 3 : 1);
                int dirty = 0;
                for (int y = 0; y < height; y++)
                    for (size_t i = used; i < stride; i++) dirty += stored[size_t(y) * stride + i];
                EXPECT_EQ(dirty, 0) << name;
            }
        }
    }
}

// Hold-and-modify: the held colour starts from entry 0 on every row, modify
// codes replace the high bits of one component and keep its low bits.
TEST(IffReaderHam, SixAndEightPlanes) {
    std::vector<uint32_t> table = RandomColors(64);
    table[0] = 0x123456;
    table[1] = 0xA0B0C0;
    table[63] = 0x0F1E2D;
    struct Case {
        const char* name;
        int planes;
        int masking;
        std::vector<std::vector<uint32_t>> values;
        std::vector<std::vector<uint32_t>> expected;
    } cases[] = {
        {"HAM6",
         6,
         0,
         {{0x1F, 0x2A, 0x01, 0x35}, {0x2F, 0x30, 0x00, 0x11}},
         {{0x1234F6, 0xA234F6, 0xA0B0C0, 0xA050C0}, {0xF23456, 0xF20456, 0x123456, 0x123416}}},
        {"HAM6 with mask planes",
         6,
         1,
         {{0x1F, 0x2A, 0x01, 0x35}, {0x2F, 0x30, 0x00, 0x11}},
         {{0x1234F6, 0xA234F6, 0xA0B0C0, 0xA050C0}, {0xF23456, 0xF20456, 0x123456, 0x123416}}},
        {"HAM8",
         8,
         0,
         {{0x7F, 0x81, 0x3F, 0xC0}, {0xFF, 0x41, 0x01, 0xBF}},
         {{0x1234FE, 0x0634FE, 0x0F1E2D, 0x0F022D}, {0x12FC56, 0x12FC06, 0xA0B0C0, 0xFCB0C0}}},
    };
    for (const Case& c : cases) {
        Bytes body;
        for (const std::vector<uint32_t>& row : c.values) {
            Bytes r = PlaneRows(row, 0, c.planes);
            body.insert(body.end(), r.begin(), r.end());
            if (c.masking) body.insert(body.end(), {0xFF, 0xFF});
        }
        Bytes file = IffForm("ILBM", {IffBmhd(4, 2, c.planes, c.masking), IffCmap(table),
                                      IffCamg(0x800), IffChunk("BODY", body)});
        RecordMessages messages;
        ASSERT_TRUE(Load(file)) << c.name << ": " << Joined(messages);
        BITMAPINFOHEADER h = HeaderOf(g_picture);
        EXPECT_EQ(h.biBitCount, 24) << c.name;
        EXPECT_EQ(h.biClrUsed, 0u) << c.name;
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 4; x++)
                EXPECT_EQ(PixelAt(g_picture, x, y), c.expected[size_t(y)][size_t(x)])
                    << c.name << " at " << x << "," << y;
    }
}

TEST(IffReaderHalfbrite, ByDisplayModeAndBySixPlanesOf32Colours) {
    const std::vector<uint32_t> table32 = RandomColors(32);
    const std::vector<uint32_t> values = {0, 5, 31, 32, 37, 63};
    struct Case {
        const char* name;
        int planes;
        std::vector<uint32_t> table;
        bool camg;
        int colors; // colours used
        bool halved;
    } cases[] = {
        {"six planes, display mode", 6, table32, true, 64, true},
        {"six planes, 32 colours, no display mode", 6, table32, false, 64, true},
        {"five planes, display mode", 5, table32, true, 64, false},
        {"six planes, 16 colours", 6, RandomColors(16), false, 16, false},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> v = values;
        if (c.planes == 5)
            for (uint32_t& x : v) x &= 31;
        std::vector<Bytes> chunks = {IffBmhd(6, 1, c.planes), IffCmap(c.table)};
        if (c.camg) chunks.push_back(IffCamg(0x80));
        chunks.push_back(IffChunk("BODY", PlaneRows(v, 0, c.planes)));
        RecordMessages messages;
        ASSERT_TRUE(Load(IffForm("ILBM", chunks))) << c.name << ": " << Joined(messages);
        BITMAPINFOHEADER h = HeaderOf(g_picture);
        EXPECT_EQ(int(h.biClrUsed), c.colors) << c.name;
        std::vector<uint32_t> colors = RecordColors(g_picture);
        ASSERT_EQ(int(colors.size()), c.colors) << c.name;
        if (c.colors == 64)
            for (int i = 0; i < 32; i++) {
                EXPECT_EQ(colors[size_t(i)], c.table[size_t(i)]) << c.name << " entry " << i;
                EXPECT_EQ(colors[size_t(32 + i)], Half(c.table[size_t(i)]))
                    << c.name << " entry " << 32 + i;
            }
        for (size_t x = 0; x < v.size(); x++) {
            uint32_t want = v[x] < 32  ? c.table[v[x] % c.table.size()]
                            : c.halved ? Half(c.table[v[x] - 32])
                                       : 0;
            if (c.halved || v[x] < c.table.size()) {
                EXPECT_EQ(PixelAt(g_picture, int(x), 0), want) << c.name << " pixel " << x;
            }
        }
    }
}

// Hand-made ByteRun1 streams in a chunky picture of 4 x 3: no-operation
// bytes, packets running on into the next row, the longest packets.
TEST(IffReaderByteRun1, PacketsAsTheyCome) {
    auto repeat = [](int n, uint8_t v) { return Bytes(size_t(n), v); };
    struct Case {
        const char* name;
        int width, height;
        Bytes stream;
        Bytes expected; // rows top first, without padding
    } cases[] = {
        {"no-operation bytes",
         4,
         3,
         {0x80, 0xFD, 0x07, 0x80, 0x80, 0x03, 1, 2, 3, 4, 0x80, 0xFD, 9},
         {7, 7, 7, 7, 1, 2, 3, 4, 9, 9, 9, 9}},
        {"a repeat running on into the next rows",
         4,
         3,
         {0x01, 5, 6, 0xF9, 8, 0x01, 1, 2},
         {5, 6, 8, 8, 8, 8, 8, 8, 8, 8, 1, 2}},
        {"a literal running on into the next row",
         4,
         3,
         {0x06, 1, 2, 3, 4, 5, 6, 7, 0xFB, 0},
         {1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 0, 0}},
        {"the longest repeat and literal", 128, 2,
         [&] {
             Bytes s = {0x81, 0x33, 0x7F};
             for (int i = 0; i < 128; i++) s.push_back(uint8_t(i));
             return s;
         }(),
         [&] {
             Bytes e = repeat(128, 0x33);
             for (int i = 0; i < 128; i++) e.push_back(uint8_t(i));
             return e;
         }()},
        {"a stream that ends inside a literal",
         4,
         3,
         {0x0B, 1, 2, 3, 4, 5},
         {1, 2, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0}},
        {"a stream that ends before a repeat's byte",
         4,
         3,
         {0x03, 1, 2, 3, 4, 0xFE},
         {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    const std::vector<uint32_t> grey = [] {
        std::vector<uint32_t> g;
        for (uint32_t i = 0; i < 256; i++) g.push_back(i * 0x010101);
        return g;
    }();
    for (const Case& c : cases) {
        Bytes file = IffForm("PBM ", {IffBmhd(c.width, c.height, 8, 0, 1), IffCmap(grey),
                                      IffChunk("BODY", c.stream)});
        RecordMessages messages;
        ASSERT_TRUE(Load(file)) << c.name << ": " << Joined(messages);
        Bytes got;
        for (int y = 0; y < c.height; y++)
            for (int x = 0; x < c.width; x++) got.push_back(uint8_t(PixelAt(g_picture, x, y)));
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

// Files that lie: every one is read without reaching outside a buffer, and
// either refused with a message or decoded as far as it truly goes.
TEST(IffReaderHostile, LyingSizesAndImpossibleLayouts) {
    const std::vector<uint32_t> table = RandomColors(16);
    const Bytes row4 = PlaneRows({1, 2, 3, 4}, 0, 4); // 4 x 1, 4 planes: 8 bytes
    auto twoRows = [&] {
        Bytes b = row4;
        b.insert(b.end(), row4.begin(), row4.end());
        return b;
    };
    auto withTail = [](Bytes file, const Bytes& tail) {
        file.insert(file.end(), tail.begin(), tail.end());
        return file;
    };
    auto colorsOfRows = [&](std::vector<std::vector<uint32_t>> rows) {
        return [rows](std::string* why) {
            for (size_t y = 0; y < rows.size(); y++)
                for (size_t x = 0; x < rows[y].size(); x++)
                    if (PixelAt(g_picture, int(x), int(y)) != rows[y][x]) {
                        *why = "pixel " + std::to_string(x) + "," + std::to_string(y);
                        return false;
                    }
            return true;
        };
    };
    const uint32_t c1 = table[1], c2 = table[2], c3 = table[3], c4 = table[4], c0 = table[0];
    Bytes bigMap;
    for (int i = 0; i < 300; i++) bigMap.insert(bigMap.end(), {uint8_t(i), uint8_t(i), 7});
    Bytes odd = {0x10, 0x20, 0x30, 0x40, 0x50};
    Bytes shortHeader = IffBmhd(4, 2, 4);
    shortHeader =
        IffChunkClaiming("BMHD", 12, Bytes(shortHeader.begin() + 8, shortHeader.begin() + 20));
    Bytes pixels24 = PlaneRows({0x112233, 0x445566}, 16, 8);
    for (int shift : {8, 0}) {
        Bytes more = PlaneRows({0x112233, 0x445566}, shift, 8);
        pixels24.insert(pixels24.end(), more.begin(), more.end());
    }

    struct Case {
        const char* name;
        Bytes file;
        const char* message;                     // null: no message
        std::function<bool(std::string*)> check; // null: no picture expected
    } cases[] = {
        {"a colour map of 300 entries keeps 256 and finds the BODY after it",
         IffForm("ILBM", {IffBmhd(2, 1, 8), IffChunk("CMAP", bigMap),
                          IffChunk("BODY", PlaneRows({255, 1}, 0, 8))}),
         nullptr,
         [](std::string* why) {
             *why = "colours";
             return HeaderOf(g_picture).biClrUsed == 256 && PixelAt(g_picture, 0, 0) == 0xFFFF07 &&
                    PixelAt(g_picture, 1, 0) == 0x010107;
         }},
        {"an odd colour map size: its pad byte ends the last entry, the BODY is found",
         IffForm("ILBM", {IffBmhd(2, 1, 1), IffChunk("CMAP", odd),
                          IffChunk("BODY", PlaneRows({0, 1}, 0, 1))}),
         nullptr, colorsOfRows({{0x102030, 0x405000}})},
        {"a colour map running past the end of the file",
         withTail(IffForm("ILBM", {IffBmhd(4, 1, 4)}),
                  IffChunkClaiming("CMAP", 0xFFFFFFF0u, Bytes(30, 1))),
         "IFF File Has No Picture Data", nullptr},
        {"a chunk size of 4 GiB before the header",
         withTail(IffForm("ILBM", {}), withTail(IffChunkClaiming("ANNO", 0xFFFFFFFFu, {}),
                                                IffBmhd(4, 1, 4))),
         "Invalid IFF File", nullptr},
        {"a header chunk of 12 bytes: the rest of the header is 0",
         IffForm("ILBM", {shortHeader, IffCmap(table), IffChunk("BODY", twoRows())}), nullptr,
         colorsOfRows({{c1, c2, c3, c4}, {c1, c2, c3, c4}})},
        {"a BODY longer than the file: the rows there are decoded, the rest is 0",
         withTail(IffForm("ILBM", {IffBmhd(4, 3, 4), IffCmap(table)}),
                  IffChunkClaiming("BODY", 100000, row4)),
         nullptr, colorsOfRows({{c1, c2, c3, c4}, {c0, c0, c0, c0}, {c0, c0, c0, c0}})},
        {"a BODY shorter than its rows: the next chunk is not read as pixels",
         withTail(IffForm("ILBM", {IffBmhd(4, 2, 4), IffCmap(table)}),
                  withTail(IffChunkClaiming("BODY", 8, row4), IffChunk("ANNO", Bytes(64, 0xFF)))),
         nullptr, colorsOfRows({{c1, c2, c3, c4}, {c0, c0, c0, c0}})},
        {"a ByteRun1 literal running past the BODY",
         withTail(IffForm("ILBM", {IffBmhd(4, 1, 4, 0, 1), IffCmap(table)}),
                  withTail(IffChunkClaiming("BODY", 3, {0x07, 0x80, 0x40}), Bytes(20, 0xFF))),
         nullptr, colorsOfRows({{table[1], c0, c0, c0}})},
        {"true colour beyond the block limit",
         IffForm("ILBM", {IffBmhd(65535, 65535, 24), IffChunk("BODY", Bytes(8, 0))}),
         "Picture Too Large", nullptr},
        {"indexed colour beyond the block limit",
         IffForm("ILBM", {IffBmhd(65535, 65535, 8), IffCmap(table), IffChunk("BODY", {})}),
         "Picture Too Large", nullptr},
        {"no planes", IffForm("ILBM", {IffBmhd(4, 1, 0), IffCmap(table), IffChunk("BODY", {})}),
         "Unsupported IFF Plane Count", nullptr},
        {"9 planes", IffForm("ILBM", {IffBmhd(4, 1, 9), IffCmap(table), IffChunk("BODY", {})}),
         "Unsupported IFF Plane Count", nullptr},
        {"32 planes", IffForm("ILBM", {IffBmhd(4, 1, 32), IffChunk("BODY", {})}),
         "Unsupported IFF Plane Count", nullptr},
        {"255 planes", IffForm("ILBM", {IffBmhd(4, 1, 255), IffChunk("BODY", {})}),
         "Unsupported IFF Plane Count", nullptr},
        {"chunky with 4 planes",
         IffForm("PBM ", {IffBmhd(4, 1, 4), IffCmap(table), IffChunk("BODY", {})}),
         "Unsupported IFF Plane Count", nullptr},
        {"compression 2",
         IffForm("ILBM", {IffBmhd(4, 1, 4, 0, 2), IffCmap(table), IffChunk("BODY", row4)}),
         "Unsupported IFF Compression", nullptr},
        {"BODY before CMAP, 4 planes",
         IffForm("ILBM", {IffBmhd(4, 1, 4), IffChunk("BODY", row4), IffCmap(table)}),
         "IFF Picture Has No Color Map", nullptr},
        {"BODY before CMAP, 1 plane",
         IffForm("ILBM", {IffBmhd(4, 1, 1), IffChunk("BODY", {0, 0}), IffCmap(table)}),
         "IFF Picture Has No Color Map", nullptr},
        {"BODY before CMAP, chunky",
         IffForm("PBM ", {IffBmhd(4, 1, 8), IffChunk("BODY", {1, 2, 3, 4}), IffCmap(table)}),
         "IFF Picture Has No Color Map", nullptr},
        {"BODY before CMAP, hold-and-modify: rows start from black",
         IffForm("ILBM", {IffBmhd(2, 1, 6), IffCamg(0x800),
                          IffChunk("BODY", PlaneRows({0x1F, 0x25}, 0, 6)), IffCmap(table)}),
         nullptr, colorsOfRows({{0x0000F0, 0x5000F0}})},
        {"24 planes with a colour map stay true colour",
         IffForm("ILBM", {IffBmhd(2, 1, 24), IffCmap(table), IffChunk("BODY", pixels24)}), nullptr,
         colorsOfRows({{0x112233, 0x445566}})},
        {"24 planes with the hold-and-modify mode stay true colour",
         IffForm("ILBM", {IffBmhd(2, 1, 24), IffCamg(0x800), IffChunk("BODY", pixels24)}),
         nullptr, colorsOfRows({{0x112233, 0x445566}})},
        {"chunky pixels with the hold-and-modify mode are colour indices",
         IffForm("PBM ", {IffBmhd(2, 1, 8), IffCmap(table), IffCamg(0x800),
                          IffChunk("BODY", {3, 4})}),
         nullptr, colorsOfRows({{c3, c4}})},
        {"hold-and-modify with 7 planes leaves the rows black",
         IffForm("ILBM", {IffBmhd(2, 1, 7), IffCmap(table), IffCamg(0x800),
                          IffChunk("BODY", PlaneRows({0x7F, 0x7F}, 0, 7))}),
         nullptr, colorsOfRows({{0, 0}})},
        {"1 plane with the extra-halfbrite mode keeps its two colours",
         IffForm("ILBM", {IffBmhd(2, 1, 1), IffCmap(table), IffCamg(0x80),
                          IffChunk("BODY", PlaneRows({1, 0}, 0, 1))}),
         nullptr,
         [&](std::string* why) {
             *why = "colour table";
             return HeaderOf(g_picture).biBitCount == 1 && RecordColors(g_picture).size() == 2 &&
                    PixelAt(g_picture, 0, 0) == c1 && PixelAt(g_picture, 1, 0) == c0;
         }},
        {"an empty colour map: every pixel black",
         IffForm("ILBM", {IffBmhd(4, 1, 8), IffChunk("CMAP", {}),
                          IffChunk("BODY", PlaneRows({1, 2, 255, 0}, 0, 8))}),
         nullptr,
         [](std::string* why) {
             *why = "colour table";
             return HeaderOf(g_picture).biClrUsed == 256 && RecordColors(g_picture).size() == 256 &&
                    PixelAt(g_picture, 2, 0) == 0;
         }},
        {"an empty colour map, 1 plane",
         IffForm("ILBM", {IffBmhd(4, 1, 1), IffChunk("CMAP", {}),
                          IffChunk("BODY", PlaneRows({1, 0, 1, 1}, 0, 1))}),
         nullptr, colorsOfRows({{0, 0, 0, 0}})},
        {"two colour maps: the second one counts",
         IffForm("ILBM", {IffBmhd(4, 1, 4), IffCmap(RandomColors(16)), IffCmap(table),
                          IffChunk("BODY", row4)}),
         nullptr, colorsOfRows({{c1, c2, c3, c4}})},
        {"no header chunk", IffForm("ILBM", {IffCmap(table), IffChunk("BODY", row4)}),
         "Invalid IFF File", nullptr},
        {"a FORM cut short", {'F', 'O', 'R', 'M', 0, 0}, "Invalid IFF File", nullptr},
        {"width 0", IffForm("ILBM", {IffBmhd(0, 1, 4), IffCmap(table), IffChunk("BODY", row4)}),
         "Invalid IFF Header", nullptr},
        {"height 0", IffForm("ILBM", {IffBmhd(4, 0, 4), IffCmap(table), IffChunk("BODY", row4)}),
         "Invalid IFF Header", nullptr},
        {"another form type",
         IffForm("ACBM", {IffBmhd(4, 1, 4), IffCmap(table), IffChunk("BODY", row4)}),
         "Unsupported IFF Form Type", nullptr},
        {"no BODY", IffForm("ILBM", {IffBmhd(4, 1, 4), IffCmap(table)}),
         "IFF File Has No Picture Data", nullptr},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        bool loaded = Load(c.file);
        if (c.message) {
            ASSERT_EQ(messages.messages.size(), 1u) << c.name << ": " << Joined(messages);
            EXPECT_EQ(messages.messages[0].text, c.message) << c.name;
            EXPECT_EQ(messages.messages[0].owner, nullptr) << c.name;
            EXPECT_EQ(messages.messages[0].type, UINT(MB_ICONERROR)) << c.name;
        } else {
            EXPECT_TRUE(messages.messages.empty()) << c.name << ": " << Joined(messages);
        }
        EXPECT_EQ(loaded, bool(c.check)) << c.name;
        std::string why;
        if (loaded && c.check) {
            EXPECT_TRUE(c.check(&why)) << c.name << ": " << why;
        }
        if (!c.message) continue;
        // The reader's messages have no owner window, whatever owner it is given.
        RecordMessages direct;
        HFILE file = _lopen(WriteTestFile("direct.iff", c.file).c_str(), OF_READ);
        char text[INFO_TEXT_SIZE] = {0};
        EXPECT_EQ(ReadIffPicture(file, reinterpret_cast<HWND>(uintptr_t(0x1234)), text).image,
                  nullptr);
        _lclose(file);
        ASSERT_EQ(direct.messages.size(), 1u) << c.name;
        EXPECT_EQ(direct.messages[0].owner, nullptr) << c.name;
    }
}

// The record allocation fails with the message of its kind; a failed work
// buffer gives no picture at all rather than a black one.
TEST(IffReaderMemory, AllocationFailures) {
    const std::vector<uint32_t> table = RandomColors(16);
    const Bytes row4 = PlaneRows({1, 2, 3, 4}, 0, 4);
    const Bytes indexed =
        IffForm("ILBM", {IffBmhd(4, 1, 4), IffCmap(table), IffChunk("BODY", row4)});
    const Bytes deep = IffForm("ILBM", {IffBmhd(1, 1, 24), IffChunk("BODY", Bytes(48, 0x55))});
    const Bytes ham = IffForm("ILBM", {IffBmhd(4, 1, 6), IffCmap(table), IffCamg(0x800),
                                       IffChunk("BODY", Bytes(12, 0x55))});
    struct Case {
        const char* name;
        Bytes file;
        int failAt;
        const char* message;
    } cases[] = {
        {"indexed record", indexed, 1, "Memory Allocation Error"},
        {"24-plane record", deep, 1, "Global Allocation Error"},
        {"hold-and-modify record", ham, 1, "Memory Allocation Error"},
        {"indexed read buffer", indexed, 2, "Memory Allocation Error"},
        {"24-plane read buffer", deep, 2, "Memory Allocation Error"},
        {"hold-and-modify read buffer", ham, 2, "Memory Allocation Error"},
    };
    for (const Case& c : cases) {
        std::string path = WriteTestFile("memory.iff", c.file);
        RecordMessages messages;
        FailGlobalAllocAt(c.failAt);
        bool loaded = LoadForTest(path);
        FailGlobalAllocAt(0);
        EXPECT_FALSE(loaded) << c.name;
        ASSERT_EQ(messages.messages.size(), 1u) << c.name << ": " << Joined(messages);
        EXPECT_EQ(messages.messages[0].text, c.message) << c.name;
        RecordMessages again;
        EXPECT_TRUE(LoadForTest(path)) << c.name << ": " << Joined(again);
    }
}
