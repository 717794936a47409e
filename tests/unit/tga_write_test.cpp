// The Targa writer: the packet encoder's byte-level edges, the header, colour
// map and rows of every record kind (packets decoded by this test's own
// decoder, which also checks that none crosses a row), round trips through
// the reader, and refusals.
#include "read_buffer_util.h"
#include "test_util.h"

#include "core/image.h"
#include "formats/native/tga.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
uint32_t g_seed = 4242;
BYTE Random() {
    g_seed = g_seed * 1103515245u + 12345u;
    return BYTE(g_seed >> 16);
}

// grey: every colour a grey level.
HGLOBAL MakeRecord(int width, int height, int bits, int colours, bool grey = false) {
    HGLOBAL image = AllocImageRecord(width, height, bits, bits <= 8 ? colours : 0);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    for (int i = 0; i < (bits <= 8 ? colours : 0); i++) {
        BYTE v = Random();
        table[4 * i] = v;
        table[4 * i + 1] = grey ? v : Random();
        table[4 * i + 2] = grey ? v : Random();
    }
    BYTE* pixels = ImagePixels(h);
    const uint64_t stride = ImageStride(width, bits);
    const int bytes = bits <= 8 ? 1 : bits / 8;
    // Pixels repeat often, whole values at a time, so that packets form;
    // palette indices stay below the colour count.
    BYTE last[4] = {0, 0, 0, 0};
    for (int y = 0; y < height; y++) {
        BYTE* row = pixels + uint64_t(y) * stride;
        for (int x = 0; x < width; x++) {
            if (Random() % 3 == 0)
                for (int b = 0; b < 4; b++) last[b] = Random();
            if (bits == 1) {
                if (last[0] & 1) row[x / 8] |= BYTE(0x80 >> (x % 8));
            } else if (bits == 4) {
                row[x / 2] |= BYTE((last[0] % colours) << ((x & 1) ? 0 : 4));
            } else if (bits == 8) {
                row[x] = BYTE(last[0] % colours);
            } else {
                for (int b = 0; b < bytes; b++) row[x * bytes + b] = last[b];
            }
        }
    }
    GlobalUnlock(image);
    return image;
}

std::string OutPath() {
    return TestDir() + "/written.tga";
}

Bytes Write(HGLOBAL image, int runLength) {
    std::remove(OutPath().c_str());
    EXPECT_EQ(WriteTarga(image, OutPath().c_str(), runLength), 1);
    return ReadWholeFile(OutPath());
}

// Expands one row of packets; a packet that passes the end of the row fails the test.
Bytes DecodeRow(const Bytes& file, size_t* at, int width, int bytes) {
    Bytes row;
    while (int(row.size()) < width * bytes) {
        if (*at >= file.size()) {
            ADD_FAILURE() << "the packets end early";
            return row;
        }
        BYTE head = file[(*at)++];
        int n = (head & 0x7F) + 1;
        if (int(row.size()) + n * bytes > width * bytes) ADD_FAILURE() << "a packet crosses a row";
        for (int i = 0; i < n; i++) {
            for (int b = 0; b < bytes; b++) row.push_back(file[*at + size_t(b)]);
            if (!(head & 0x80)) *at += size_t(bytes);
        }
        if (head & 0x80) *at += size_t(bytes);
    }
    return row;
}

Bytes Pixels(std::initializer_list<uint32_t> values, int bytes) {
    Bytes b;
    for (uint32_t v : values)
        for (int i = 0; i < bytes; i++) b.push_back(BYTE(v >> (8 * i)));
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
} // namespace

TEST(TargaPacketEncoder, ByteLevelEdges) {
    Bytes distinct128, distinct129;
    for (int i = 0; i < 129; i++) (i < 128 ? distinct128 : distinct129).push_back(BYTE(i));
    distinct129.insert(distinct129.begin(), distinct128.begin(), distinct128.end());
    struct Case {
        const char* name;
        Bytes row;
        int bytes;
        Bytes out;
    } cases[] = {
        {"no pixels", {}, 3, {}},
        {"one pixel", Pixels({0x112233}, 3), 3, Cat({{0}, Pixels({0x112233}, 3)})},
        {"3 different pixels", Pixels({1, 2, 3}, 3), 3, Cat({{2}, Pixels({1, 2, 3}, 3)})},
        {"200 equal pixels", Bytes(200, 9), 1, {0xFF, 9, 0xC7, 9}},
        {"128 equal", Bytes(128, 9), 1, {0xFF, 9}},
        {"129 equal", Bytes(129, 9), 1, {0xFF, 9, 0x00, 9}},
        {"130 equal", Bytes(130, 9), 1, {0xFF, 9, 0x81, 9}},
        {"a pair", Pixels({5, 5}, 2), 2, Cat({{0x81}, Pixels({5}, 2)})},
        {"128 different", distinct128, 1, Cat({{0x7F}, distinct128})},
        {"129 different", distinct129, 1, Cat({{0x7F}, distinct128, {0x00, 128}})},
        {"single then pair", {1, 2, 2}, 1, {0x00, 1, 0x81, 2}},
        {"pair then single", {1, 1, 2}, 1, {0x81, 1, 0x00, 2}},
        {"raw, run, raw", {1, 2, 3, 3, 3, 4}, 1, {0x01, 1, 2, 0x82, 3, 0x00, 4}},
        // Pixels are compared whole: equal first bytes do not make a run.
        {"16-bit pixels alike in one byte", Pixels({0x0105, 0x0205}, 2), 2,
         Cat({{0x01}, Pixels({0x0105, 0x0205}, 2)})},
        {"32-bit pixels alike in three bytes", Pixels({0x01ABCDEF, 0x02ABCDEF}, 4), 4,
         Cat({{0x01}, Pixels({0x01ABCDEF, 0x02ABCDEF}, 4)})},
        {"32-bit run", Pixels({0x01ABCDEF, 0x01ABCDEF, 0x01ABCDEF}, 4), 4,
         Cat({{0x82}, Pixels({0x01ABCDEF}, 4)})},
    };
    for (const Case& c : cases) {
        size_t count = c.row.size() / size_t(c.bytes);
        Bytes out(2 * c.row.size() + 1, 0xEE);
        size_t n = EncodeTargaPackets(c.row.data(), out.data(), count, c.bytes);
        out.resize(n);
        EXPECT_EQ(out, c.out) << c.name;
    }
}

TEST(TargaWriter, HeaderMapAndRowsOfEveryRecordKind) {
    struct Case {
        const char* name;
        int bits, colours;
        bool grey;
        int type, mapLength, fileBits;
    } cases[] = {
        {"1 bit", 1, 2, false, 1, 2, 8},
        {"1 bit, grey", 1, 2, true, 1, 2, 8},
        {"4 bits, 16 colours", 4, 16, false, 1, 16, 8},
        {"4 bits, 5 colours", 4, 5, false, 1, 5, 8},
        {"8 bits, 256 colours", 8, 256, false, 1, 256, 8},
        {"8 bits, 16 greys", 8, 16, true, 1, 16, 8},
        {"8 bits, 17 greys", 8, 17, true, 3, 0, 8},
        {"8 bits, 256 greys", 8, 256, true, 3, 0, 8},
        {"16 bits", 16, 0, false, 2, 0, 16},
        {"24 bits", 24, 0, false, 2, 0, 24},
        {"32 bits", 32, 0, false, 2, 0, 32},
    };
    for (const Case& c : cases) {
        for (int runLength : {0, 1}) {
            for (int width : {1, 3, 8, 129, 300}) {
                const int height = 3;
                std::string what = std::string(c.name) + (runLength ? ", packets" : "") +
                                   ", width " + std::to_string(width);
                HGLOBAL image = MakeRecord(width, height, c.bits, c.colours, c.grey);
                Bytes file = Write(image, runLength);
                ASSERT_GE(file.size(), 18u) << what;
                Bytes head(18, 0);
                head[1] = c.mapLength ? 1 : 0;
                head[2] = BYTE(c.type + 8 * runLength);
                head[5] = BYTE(c.mapLength);
                head[6] = BYTE(c.mapLength >> 8);
                head[7] = c.mapLength ? 24 : 0;
                head[12] = BYTE(width);
                head[13] = BYTE(width >> 8);
                head[14] = BYTE(height);
                head[16] = BYTE(c.fileBits);
                EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), head) << what;
                size_t at = 18;
                std::vector<uint32_t> colours = RecordColors(image);
                for (int i = 0; i < c.mapLength; i++, at += 3) {
                    ASSERT_LE(at + 3, file.size()) << what;
                    uint32_t got = (uint32_t(file[at + 2]) << 16) | (file[at + 1] << 8) | file[at];
                    EXPECT_EQ(got, colours[size_t(i)]) << what << ": entry " << i;
                }
                const int bytes = c.fileBits / 8;
                for (int r = 0; r < height; r++) {
                    // Bottom row first.
                    const int y = height - 1 - r;
                    Bytes row;
                    if (runLength) {
                        row = DecodeRow(file, &at, width, bytes);
                    } else if (at + size_t(width * bytes) <= file.size()) {
                        row.assign(file.begin() + long(at),
                                   file.begin() + long(at) + width * bytes);
                        at += size_t(width * bytes);
                    }
                    ASSERT_EQ(row.size(), size_t(width * bytes)) << what;
                    for (int x = 0; x < width; x++) {
                        uint32_t v = RawPixelAt(image, x, y);
                        if (c.type == 3) v = (PixelAt(image, x, y) >> 16) & 0xFF;
                        uint32_t got = 0;
                        for (int b = 0; b < bytes; b++)
                            got |= uint32_t(row[size_t(x * bytes + b)]) << (8 * b);
                        if (c.bits == 32) {
                            BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
                            v |= uint32_t(ImagePixels(
                                     h)[ImageStride(width, 32) * uint64_t(r) + uint64_t(4 * x + 3)])
                                 << 24;
                            GlobalUnlock(image);
                        }
                        ASSERT_EQ(got, v) << what << ": pixel " << x << "," << y;
                    }
                }
                EXPECT_EQ(at, file.size()) << what << ": nothing after the rows";
                GlobalFree(image);
            }
        }
    }
}

TEST(TargaWriter, RoundTripsThroughTheReader) {
    struct Case {
        int bits, colours;
        bool grey;
    } cases[] = {{1, 2, false},  {4, 16, false}, {4, 3, false},  {8, 256, false}, {8, 40, false},
                 {8, 256, true}, {16, 0, false}, {24, 0, false}, {32, 0, false}};
    for (const Case& c : cases) {
        for (int runLength : {0, 1}) {
            for (int width : {1, 2, 127, 128, 129, 257}) {
                std::string what = std::to_string(c.bits) + " bits" + (c.grey ? " grey" : "") +
                                   (runLength ? ", packets" : "") + ", width " +
                                   std::to_string(width);
                HGLOBAL image = MakeRecord(width, 3, c.bits, c.colours, c.grey);
                Write(image, runLength);
                HGLOBAL back = ReadWithBuffer(ReadTarga, OutPath());
                ASSERT_NE(back, nullptr) << what;
                EXPECT_EQ(HeaderOf(back).biBitCount, c.bits <= 8 ? 8 : c.bits) << what;
                int wrong = 0;
                for (int y = 0; y < 3; y++) {
                    for (int x = 0; x < width; x++) {
                        bool same = c.bits == 32 || c.bits == 16
                                        ? RawPixelAt(back, x, y) == RawPixelAt(image, x, y)
                                        : PixelAt(back, x, y) == PixelAt(image, x, y);
                        if (!same && wrong++ < 3)
                            ADD_FAILURE() << what << ": pixel " << x << "," << y;
                    }
                }
                EXPECT_EQ(wrong, 0) << what;
                if (c.bits == 32) {
                    EXPECT_EQ(RecordPixelBytes(back), RecordPixelBytes(image)) << what;
                }
                GlobalFree(back);
                GlobalFree(image);
            }
        }
    }
}

TEST(TargaWriter, RefusalsAndFailedWrites) {
    EXPECT_TRUE(WriterAvailable(FMT_TGA));
    HGLOBAL good = MakeRecord(5, 2, 8, 20, true);
    std::remove(OutPath().c_str());
    EXPECT_EQ(WritePicture(good, OutPath().c_str(), FMT_TGA, 1, 0), WRITE_OK);
    Bytes viaDispatch = ReadWholeFile(OutPath());
    EXPECT_EQ(viaDispatch, Write(good, 1));
    EXPECT_EQ(viaDispatch[2], 11) << "option 1: run-length packets";
    std::remove(OutPath().c_str());
    EXPECT_EQ(WritePicture(good, OutPath().c_str(), FMT_TGA, 0, 0), WRITE_OK);
    EXPECT_EQ(ReadWholeFile(OutPath())[2], 3);

    HGLOBAL broken = MakeRecord(5, 2, 24, 0);
    static_cast<BITMAPINFOHEADER*>(GlobalLock(broken))->biPlanes = 2;
    GlobalUnlock(broken);
    HGLOBAL wide = MakeRecord(65536, 1, 1, 2);
    HGLOBAL widest = MakeRecord(65535, 1, 1, 2);
    HGLOBAL tall = MakeRecord(1, 65536, 1, 2);
    struct Case {
        const char* name;
        HGLOBAL image;
        std::string path;
        int failAt;
        int result;
    } cases[] = {
        {"an invalid record", broken, OutPath(), 0, 0},
        {"65536 pixels wide", wide, OutPath(), 0, 0},
        {"65536 rows", tall, OutPath(), 0, 0},
        {"65535 pixels wide", widest, OutPath(), 0, 1},
        {"a folder that does not exist", good, TestDir() + "/no/such/folder.tga", 0, 0},
        {"no output buffer", good, OutPath(), 1, 0},
        {"no row buffer", good, OutPath(), 2, 0},
#ifndef _WIN32
        {"a full device", good, "/dev/full", 0, 0},
#endif
    };
    for (const Case& c : cases) {
        for (int runLength : {0, 1}) {
            FailGlobalAllocAt(c.failAt);
            int result = WriteTarga(c.image, c.path.c_str(), runLength);
            FailGlobalAllocAt(0);
            EXPECT_EQ(result, c.result) << c.name;
        }
    }
    GlobalFree(good);
    GlobalFree(broken);
    GlobalFree(wide);
    GlobalFree(widest);
    GlobalFree(tall);
}
