// The ILBM writer and its pieces: the ByteRun1 packer byte by byte, the
// hold-and-modify coder, exact files, chunk sizes, refusals and round trips
// through the reader.
#include "iff_test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/native/iff.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {
uint32_t g_state = 13579u;
uint32_t Random() {
    g_state ^= g_state << 13;
    g_state ^= g_state >> 17;
    g_state ^= g_state << 5;
    return g_state;
}

std::string Path(const std::string& name) {
    return TestDir() + "/" + name;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The header chunks the writer puts before the BODY.
Bytes WriterBmhd(int width, int height, int planes, int compression) {
    Bytes d;
    PutBe16(d, uint32_t(width));
    PutBe16(d, uint32_t(height));
    PutBe32(d, 0);
    d.insert(d.end(), {uint8_t(planes), 0, uint8_t(compression), 0, 0, 0, 10, 10});
    PutBe16(d, uint32_t(width));
    PutBe16(d, uint32_t(height));
    return IffChunk("BMHD", d);
}

// Decodes a ByteRun1 stream with the reader's byte source.
Bytes Unpack(const Bytes& packed, size_t length) {
    std::string path = WriteTestFile("packed.bin", packed);
    HFILE file = _lopen(path.c_str(), OF_READ);
    BYTE buffer[64];
    ByteReader bytes;
    OpenByteReader(&bytes, file, buffer, sizeof buffer, packed.size());
    IffBodyStream source;
    OpenIffBodyStream(&source, &bytes, true);
    Bytes out(length + 8, 0xEE);
    size_t got = ReadIffBytes(&source, out.data(), length + 8);
    _lclose(file);
    out.resize(got);
    return out;
}

Bytes Sequence(int from, int count) {
    Bytes b;
    for (int i = 0; i < count; i++) b.push_back(uint8_t(from + i));
    return b;
}
} // namespace

TEST(IffPacker, LiteralsRunsAndMergedRunsOfTwo) {
    struct Case {
        const char* name;
        Bytes row;
        Bytes packed;
    } cases[] = {
        {"a run of two inside a literal joins it", {1, 2, 3, 3, 4, 5}, {5, 1, 2, 3, 3, 4, 5}},
        {"a run of four", {7, 7, 7, 7}, {0xFD, 7}},
        {"one byte", {9}, {0, 9}},
        {"a run of two alone", {4, 4}, {0xFF, 4}},
        {"two different bytes", {1, 2}, {1, 1, 2}},
        {"a run of two before a literal stays a run", {3, 3, 4}, {0xFF, 3, 0, 4}},
        {"a run of two ending the row stays a run", {1, 3, 3}, {0, 1, 0xFF, 3}},
        {"a run of three is never joined", {1, 3, 3, 3, 4}, {0, 1, 0xFE, 3, 0, 4}},
        {"a run of two after a run of two", {1, 2, 2, 3, 3, 4}, {0, 1, 0xFF, 2, 0xFF, 3, 0, 4}},
        {"128 equal bytes", Bytes(128, 5), {0x81, 5}},
        {"129 equal bytes", Bytes(129, 5), {0x81, 5, 0, 5}},
        {"130 equal bytes", Bytes(130, 5), {0x81, 5, 0xFF, 5}},
        {"the two left of a long run are not joined to the literal before it",
         Cat({{1}, Bytes(130, 3), {4}}),
         {0, 1, 0x81, 3, 0xFF, 3, 0, 4}},
        {"200 different bytes: literals of 128 and 72", Sequence(0, 200),
         Cat({{0x7F}, Sequence(0, 128), {0x47}, Sequence(128, 72)})},
        {"a joined literal that reaches 128 bytes is closed",
         Cat({Sequence(0, 125), {200, 200, 201}}),
         Cat({{0x7F}, Sequence(0, 125), {200, 200, 201}})},
        {"joining up to 128 bytes, the next byte starts a literal",
         Cat({Sequence(0, 126), {200, 200, 201, 202}}),
         Cat({{0x7F}, Sequence(0, 126), {200, 200, 1, 201, 202}})},
        {"a literal of 127 bytes takes no run of two", Cat({Sequence(0, 127), {200, 200, 201}}),
         Cat({{0x7E}, Sequence(0, 127), {0xFF, 200, 0, 201}})},
        {"an empty row", {}, {}},
    };
    for (const Case& c : cases) {
        Bytes work(2 * c.row.size() + 1, 0xAB);
        size_t n = PackByteRun1(c.row.data(), c.row.size(), work.data());
        ASSERT_LE(n, work.size()) << c.name;
        EXPECT_EQ(Bytes(work.begin(), work.begin() + long(n)), c.packed) << c.name;
        EXPECT_EQ(Unpack(c.packed, c.row.size()), c.row) << c.name;
    }
    // Random rows of short runs, the packer's hardest case, unpack to themselves.
    for (int trial = 0; trial < 200; trial++) {
        Bytes row;
        size_t length = 1 + Random() % 400;
        while (row.size() < length) {
            uint8_t v = uint8_t(Random() % 4);
            size_t run = 1 + Random() % 3;
            for (size_t i = 0; i < run && row.size() < length; i++) row.push_back(v);
        }
        Bytes work(2 * row.size() + 1);
        size_t n = PackByteRun1(row.data(), row.size(), work.data());
        ASSERT_LE(n, work.size());
        EXPECT_EQ(Unpack(Bytes(work.begin(), work.begin() + long(n)), row.size()), row) << trial;
    }
}

TEST(IffHamCoder, CodesOfHandPickedRows) {
    struct Case {
        const char* name;
        std::vector<uint32_t> pixels; // 0xRRGGBB
        Bytes codes;
    } cases[] = {
        {"the first pixel is its grey", {0xFF0000, 0x808080}, {0x04, 0x08}},
        {"red changes most: modify red", {0x000000, 0xFF0000}, {0x00, 0x2F}},
        {"blue alone: modify blue", {0x000000, 0x0000FF}, {0x00, 0x1F}},
        {"green alone: modify green", {0x000000, 0x00FF00}, {0x00, 0x3F}},
        {"the colour held: equal costs end with green", {0x000000, 0x000000}, {0x00, 0x30}},
        {"a grey far from the held colour", {0x000000, 0x808080}, {0x00, 0x08}},
        {"each modify changes the colour held", {0x000000, 0x0000FF, 0x00FFFF}, {0x00, 0x1F, 0x3F}},
        {"a colour that is not the held one's", {0xFF0000, 0xFF0000}, {0x04, 0x2F}},
    };
    for (const Case& c : cases) {
        Bytes rgb;
        for (uint32_t p : c.pixels)
            rgb.insert(rgb.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
        Bytes codes(c.pixels.size(), 0xEE);
        HamEncodeRow(rgb.data(), int64_t(c.pixels.size()), codes.data());
        EXPECT_EQ(codes, c.codes) << c.name;
    }
}

TEST(IffWriterFiles, ExactBytesOfSmallPictures) {
    const std::vector<uint32_t> five = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0};
    const std::vector<std::vector<uint32_t>> indices = {{0, 3, 4}, {1, 2, 4}};
    auto fiveColors = [&] {
        return MakeRecord(3, 2, 8, five,
                          [&](int x, int y) { return indices[size_t(y)][size_t(x)]; });
    };
    const Bytes cmap5 = IffCmap({0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0, 0, 0});
    Bytes body5, packed5;
    for (const std::vector<uint32_t>& row : indices) {
        Bytes planes = PlaneRows(row, 0, 3);
        body5.insert(body5.end(), planes.begin(), planes.end());
        for (size_t p = 0; p < 3; p++)
            packed5.insert(packed5.end(), {0x01, planes[2 * p], planes[2 * p + 1]});
    }
    const std::vector<uint32_t> deep = {0x814224, 0x01FF80};
    Bytes body24 = Cat({PlaneRows(deep, 16, 8), PlaneRows(deep, 8, 8), PlaneRows(deep, 0, 8)});
    Bytes hamCmap;
    for (int i = 0; i < 16; i++) hamCmap.insert(hamCmap.end(), 3, uint8_t(16 * i));
    // Two pure reds: the grey 4 first, then red modified to 15.
    Bytes hamBody = PlaneRows({0x04, 0x2F}, 0, 6);
    Bytes oneBit = {0xA5, 0x80};
    struct Case {
        const char* name;
        std::function<HGLOBAL()> make;
        int packer, ham;
        Bytes file;
    } cases[] = {
        {"five colours: 3 planes and 8 entries, the last 3 black", fiveColors, 0, 0,
         IffForm("ILBM", {WriterBmhd(3, 2, 3, 0), cmap5, IffCamg(0), IffChunk("BODY", body5)})},
        {"five colours, packed", fiveColors, 1, 0,
         IffForm("ILBM", {WriterBmhd(3, 2, 3, 1), cmap5, IffCamg(0), IffChunk("BODY", packed5)})},
        {"true colour: 24 planes and no colour map",
         [&] { return MakeRecord(2, 1, 24, {}, [&](int x, int) { return deep[size_t(x)]; }); }, 0,
         0, IffForm("ILBM", {WriterBmhd(2, 1, 24, 0), IffCamg(0), IffChunk("BODY", body24)})},
        {"32-bit true colour",
         [&] { return MakeRecord(2, 1, 32, {}, [&](int x, int) { return deep[size_t(x)]; }); }, 0,
         0, IffForm("ILBM", {WriterBmhd(2, 1, 24, 0), IffCamg(0), IffChunk("BODY", body24)})},
        {"hold-and-modify: sixteen greys and six planes",
         [&] { return MakeRecord(2, 1, 24, {}, [](int, int) { return 0xFF0000u; }); }, 0, 1,
         IffForm("ILBM", {WriterBmhd(2, 1, 6, 0), IffChunk("CMAP", hamCmap), IffCamg(0x800),
                          IffChunk("BODY", hamBody)})},
        {"one bit: the record's row bytes",
         [&] {
             return MakeRecord(9, 1, 1, {0x000000, 0xFFFFFF}, [&](int x, int) {
                 return (oneBit[size_t(x / 8)] >> (7 - x % 8)) & 1;
             });
         },
         0, 0,
         IffForm("ILBM", {WriterBmhd(9, 1, 1, 0), IffCmap({0, 0xFFFFFF}), IffCamg(0),
                          IffChunk("BODY", oneBit)})},
        {"an odd packed length gets a pad byte inside the BODY",
         [&] {
             return MakeRecord(16, 1, 1, {0x000000, 0xFFFFFF}, [](int x, int) { return x < 8; });
         },
         1, 0,
         IffForm("ILBM", {WriterBmhd(16, 1, 1, 1), IffCmap({0, 0xFFFFFF}), IffCamg(0),
                          IffChunk("BODY", {0x01, 0xFF, 0x00, 0x00})})},
    };
    for (const Case& c : cases) {
        HGLOBAL image = c.make();
        std::string path = Path("exact.iff");
        ASSERT_EQ(WriteIffPicture(image, path.c_str(), c.packer, c.ham), 1) << c.name;
        EXPECT_EQ(ReadWholeFile(path), c.file) << c.name;
        GlobalFree(image);
    }
}

// Planes and colour map by the number of colours; the FORM and chunk sizes of
// every form and bit count add up to the file's length.
TEST(IffWriterFiles, PlanesColourMapsAndSizes) {
    for (int colors : {1, 2, 3, 4, 5, 8, 9, 16, 17, 32, 33, 64, 65, 128, 129, 256}) {
        std::vector<uint32_t> table;
        for (int i = 0; i < colors; i++) table.push_back(Random() & 0xFFFFFF);
        HGLOBAL image = MakeRecord(
            5, 2, 8, table, [&](int x, int y) { return uint32_t(x + 5 * y) % uint32_t(colors); });
        std::string path = Path("planes.iff");
        ASSERT_EQ(WriteIffPicture(image, path.c_str(), 0, 0), 1) << colors;
        Bytes file = ReadWholeFile(path);
        int planes = 1;
        while ((1 << planes) < colors) planes++;
        ASSERT_GT(file.size(), 48u);
        EXPECT_EQ(file[28], planes) << colors << " colours";
        ASSERT_EQ(std::string(file.begin() + 40, file.begin() + 44), "CMAP");
        ASSERT_EQ(GetBe32(file, 44), 3u << planes) << colors << " colours";
        for (int i = 0; i < (1 << planes); i++) {
            uint32_t entry = uint32_t(file[48 + 3 * size_t(i)]) << 16 |
                             uint32_t(file[49 + 3 * size_t(i)]) << 8 | file[50 + 3 * size_t(i)];
            EXPECT_EQ(entry, i < colors ? table[size_t(i)] : 0u) << colors << " entry " << i;
        }
        GlobalFree(image);
    }

    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (int width : {1, 15, 17, 100}) {
            for (int form = 0; form < 4; form++) {
                const int packer = form & 1, ham = form >> 1;
                std::vector<uint32_t> table;
                const int colors = bits <= 8 ? 1 << bits : 0;
                for (int i = 0; i < colors; i++) table.push_back(Random() & 0xFFFFFF);
                HGLOBAL image = MakeRecord(width, 3, bits, table, [&](int, int) {
                    uint32_t v = Random() % 3 ? Random() : 0x445566;
                    return colors ? v % uint32_t(colors) : bits == 16 ? v & 0x7FFF : v & 0xFFFFFF;
                });
                const std::string name = std::to_string(bits) + " bits, width " +
                                         std::to_string(width) + ", form " + std::to_string(form);
                std::string path = Path("sizes.iff");
                ASSERT_EQ(WriteIffPicture(image, path.c_str(), packer, ham), 1) << name;
                Bytes file = ReadWholeFile(path);
                ASSERT_GE(file.size(), 12u) << name;
                EXPECT_EQ(GetBe32(file, 4), file.size() - 8) << name;
                // The chunks, each even in length, end exactly at the end of the file.
                size_t at = 12;
                std::string ids;
                while (at + 8 <= file.size()) {
                    uint32_t size = GetBe32(file, at + 4);
                    ids += std::string(file.begin() + long(at), file.begin() + long(at) + 4) + " ";
                    EXPECT_EQ(size % 2, 0u) << name;
                    at += 8 + size + (size & 1);
                }
                EXPECT_EQ(at, file.size()) << name;
                const bool map = ham || bits <= 8;
                EXPECT_EQ(ids, map ? "BMHD CMAP CAMG BODY " : "BMHD CAMG BODY ") << name;
                GlobalFree(image);
            }
        }
    }
}

// Standard files give every pixel back; hold-and-modify keeps the sixteen greys.
TEST(IffWriterRoundTrip, ThroughTheReader) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (int width : {1, 9, 16, 37}) {
            for (int packer = 0; packer <= 1; packer++) {
                const int height = 5;
                std::vector<uint32_t> table;
                const int colors = bits == 1 ? 2 : bits == 4 ? 11 : bits == 8 ? 200 : 0;
                for (int i = 0; i < colors; i++) table.push_back(Random() & 0xFFFFFF);
                std::vector<uint32_t> values;
                for (int i = 0; i < width * height; i++) {
                    uint32_t v = Random();
                    values.push_back(colors       ? v % uint32_t(colors)
                                     : bits == 16 ? v & 0x7FFF
                                                  : v & 0xFFFFFF);
                    if (i % 7 == 3) values.back() = values[size_t(i) - 1]; // some runs
                }
                HGLOBAL image = MakeRecord(width, height, bits, table, [&](int x, int y) {
                    return values[size_t(y * width + x)];
                });
                const std::string name = std::to_string(bits) + " bits, width " +
                                         std::to_string(width) + (packer ? ", packed" : "");
                std::string path = Path("round.iff");
                ASSERT_EQ(WriteIffPicture(image, path.c_str(), packer, 0), 1) << name;
                GlobalFree(image);
                RecordMessages messages;
                ASSERT_TRUE(LoadForTest(path)) << name;
                int wrong = 0;
                for (int y = 0; y < height; y++)
                    for (int x = 0; x < width; x++) {
                        uint32_t v = values[size_t(y * width + x)];
                        uint32_t want = colors       ? table[v]
                                        : bits == 16 ? ((v >> 10) & 31) << 19 |
                                                           ((v >> 5) & 31) << 11 | (v & 31) << 3
                                                     : v;
                        wrong += PixelAt(g_picture, x, y) != want;
                    }
                EXPECT_EQ(wrong, 0) << name;
                EXPECT_EQ(HeaderOf(g_picture).biBitCount, colors == 0    ? 24
                                                          : bits == 1    ? 1
                                                          : colors <= 16 ? 4
                                                                         : 8)
                    << name;
            }
        }
    }
    for (int packer = 0; packer <= 1; packer++) {
        std::vector<uint32_t> greys;
        for (int i = 0; i < 64 * 3; i++) greys.push_back(0x101010u * (Random() % 16));
        HGLOBAL image =
            MakeRecord(64, 3, 24, {}, [&](int x, int y) { return greys[size_t(y * 64 + x)]; });
        std::string path = Path("greys.iff");
        ASSERT_EQ(WriteIffPicture(image, path.c_str(), packer, 1), 1);
        GlobalFree(image);
        ASSERT_TRUE(LoadForTest(path));
        int wrong = 0;
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 64; x++)
                wrong += PixelAt(g_picture, x, y) != greys[size_t(y * 64 + x)];
        EXPECT_EQ(wrong, 0) << (packer ? "packed" : "stored");
    }
}

TEST(IffWriterRefusals, NothingIsReportedWrittenThatWasNot) {
    HGLOBAL good = MakeRecord(4, 2, 8, {0x112233, 0x445566}, [](int x, int) { return x & 1; });
    HGLOBAL wide = MakeRecord(65536, 1, 1, {0, 0xFFFFFF}, [](int, int) { return 0; });
    HGLOBAL broken = MakeRecord(4, 2, 8, {0x112233}, [](int, int) { return 0; });
    static_cast<BITMAPINFOHEADER*>(GlobalLock(broken))->biBitCount = 7;
    GlobalUnlock(broken);
    struct Case {
        const char* name;
        HGLOBAL image;
        std::string path;
        int failAt;
        bool created; // a file is there afterwards
    } cases[] = {
        {"no record", nullptr, Path("none.iff"), 0, false},
        {"an unsupported bit count", broken, Path("seven.iff"), 0, false},
        {"wider than the header can say", wide, Path("wide.iff"), 0, false},
        {"no work buffer", good, Path("no-work-buffer.iff"), 1, false},
        {"a folder that does not exist", good, Path("missing/x.iff"), 0, false},
#ifndef _WIN32
        {"a device that is full", good, "/dev/full", 0, true},
#endif
    };
    for (const Case& c : cases) {
        for (int form = 0; form < 4; form++) {
            FailGlobalAllocAt(c.failAt);
            int result = WriteIffPicture(c.image, c.path.c_str(), form & 1, form >> 1);
            FailGlobalAllocAt(0);
            EXPECT_EQ(result, 0) << c.name << ", form " << form;
            EXPECT_EQ(FileExists(c.path), c.created) << c.name;
        }
    }
    // The dispatch hands the four forms to the writer.
    EXPECT_TRUE(WriterAvailable(FMT_IFF));
    for (int form = 0; form < 4; form++) {
        std::string path = Path("dispatch.iff");
        EXPECT_EQ(WritePicture(good, path.c_str(), FMT_IFF, form & 1, form >> 1), WRITE_OK);
        Bytes file = ReadWholeFile(path);
        ASSERT_GT(file.size(), 40u);
        EXPECT_EQ(file[28], form >> 1 ? 6 : 1) << form;
        EXPECT_EQ(file[30], form & 1) << form;
        EXPECT_EQ(WritePicture(broken, path.c_str(), FMT_IFF, form & 1, form >> 1), WRITE_FAILED);
    }
    GlobalFree(good);
    GlobalFree(wide);
    GlobalFree(broken);
}
