// The PCX writer: the line encoder's byte-level edges, the header and plane
// layout of every record kind (decoded here by a decoder of this test's own
// that also checks that no run passes the end of a plane), round trips
// through the reader, and refusals.
#include "read_buffer_util.h"
#include "test_util.h"

#include "core/image.h"
#include "formats/native/pcx.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
uint32_t g_seed = 777;
BYTE Random() {
    g_seed = g_seed * 1103515245u + 12345u;
    return BYTE(g_seed >> 16);
}

// A record with random colours and pixels; palette indices stay below colours,
// and bytes repeat often so that the encoder makes runs.
HGLOBAL MakeRecord(int width, int height, int bits, int colours) {
    HGLOBAL image = AllocImageRecord(width, height, bits, bits <= 8 ? colours : 0);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    for (int i = 0; i < (bits <= 8 ? colours : 0); i++) {
        table[4 * i] = Random();
        table[4 * i + 1] = Random();
        table[4 * i + 2] = Random();
    }
    BYTE* pixels = ImagePixels(h);
    const uint64_t stride = ImageStride(width, bits);
    BYTE last = 0;
    for (uint64_t i = 0; i < stride * uint64_t(height); i++) {
        if (Random() % 3 == 0) last = Random();
        pixels[i] = last;
    }
    // Indices the colour table does not have are kept out of palette pictures.
    if (bits == 4 || bits == 8) {
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                BYTE* p = pixels + uint64_t(y) * stride + uint64_t(x * bits / 8);
                if (bits == 8) {
                    *p = BYTE(*p % colours);
                } else {
                    int shift = (x & 1) ? 0 : 4;
                    int v = ((*p >> shift) & 15) % colours;
                    *p = BYTE((*p & ~(15 << shift)) | (v << shift));
                }
            }
        }
    }
    GlobalUnlock(image);
    return image;
}

std::string OutPath() {
    return TestDir() + "/written.pcx";
}

Bytes Write(HGLOBAL image) {
    std::remove(OutPath().c_str());
    EXPECT_EQ(WritePcx(image, OutPath().c_str()), 1);
    return ReadWholeFile(OutPath());
}

// Decodes planes x bytesPerLine bytes per row; a run that passes the end of a
// plane fails the test.
std::vector<Bytes> DecodeLines(const Bytes& file, size_t* at, int rows, int planes, int bpl) {
    std::vector<Bytes> lines;
    for (int y = 0; y < rows * planes; y++) {
        Bytes line;
        while (int(line.size()) < bpl) {
            if (*at >= file.size()) {
                ADD_FAILURE() << "the data ends in line " << y;
                return lines;
            }
            BYTE c = file[(*at)++];
            size_t n = 1;
            if ((c & 0xC0) == 0xC0) {
                n = c & 0x3F;
                c = file[(*at)++];
            }
            if (int(line.size() + n) > bpl) ADD_FAILURE() << "a run passes the end of line " << y;
            line.insert(line.end(), n, c);
        }
        lines.push_back(line);
    }
    return lines;
}
} // namespace

TEST(PcxLineEncoder, ByteLevelEdges) {
    struct Case {
        const char* name;
        Bytes in, out;
    } cases[] = {
        {"nothing", {}, {}},
        {"70 equal bytes", Bytes(70, 5), {0xFF, 5, 0xC7, 5}},
        {"a single 0xC5", {0xC5}, {0xC1, 0xC5}},
        {"a single 0xC0", {0xC0}, {0xC1, 0xC0}},
        {"a single 0xBF", {0xBF}, {0xBF}},
        {"63 equal", Bytes(63, 0x10), {0xFF, 0x10}},
        {"64 equal", Bytes(64, 0x10), {0xFF, 0x10, 0x10}},
        {"64 equal above 191", Bytes(64, 0xD0), {0xFF, 0xD0, 0xC1, 0xD0}},
        {"126 zeros", Bytes(126, 0), {0xFF, 0, 0xFF, 0}},
        {"127 zeros", Bytes(127, 0), {0xFF, 0, 0xFF, 0, 0}},
        {"different bytes", {1, 2, 3}, {1, 2, 3}},
        {"a pair", {1, 1}, {0xC2, 1}},
        {"run then single", {7, 7, 7, 8}, {0xC3, 7, 8}},
        {"high bytes", {0xC0, 0xFF, 0xFF, 0x3F}, {0xC1, 0xC0, 0xC2, 0xFF, 0x3F}},
    };
    for (const Case& c : cases) {
        Bytes out(2 * c.in.size() + 1, 0xEE);
        size_t n = EncodePcxLine(c.in.data(), c.in.size(), out.data());
        out.resize(n);
        EXPECT_EQ(out, c.out) << c.name;
    }
    // Long lines of every mix of single bytes and runs, against the rule
    // itself: a pending value and its count, the count kept below 64.
    for (int repeat : {0, 1, 3, 8, 30}) {
        for (size_t length : {1u, 8u, 9u, 17u, 1000u}) {
            Bytes in;
            BYTE v = Random();
            for (size_t i = 0; i < length; i++) {
                if (int(Random() % 32) >= repeat) v = Random();
                in.push_back(v);
            }
            Bytes want;
            BYTE value = in[0];
            size_t count = 1;
            auto flush = [&]() {
                if (count > 1 || value >= 192) want.push_back(BYTE(0xC0 | count));
                want.push_back(value);
            };
            for (size_t i = 1; i < in.size(); i++) {
                if (in[i] == value && count < 63) {
                    count++;
                } else {
                    flush();
                    value = in[i];
                    count = 1;
                }
            }
            flush();
            Bytes out(2 * in.size(), 0xEE);
            out.resize(EncodePcxLine(in.data(), in.size(), out.data()));
            EXPECT_EQ(out, want) << "length " << length << ", repeats " << repeat;
        }
    }
}

TEST(PcxWriter, HeaderPlanesAndPaletteOfEveryRecordKind) {
    struct Case {
        int bits, colours; // colours 0: biClrUsed 0 (the full table)
        int fileBits, planes;
    } cases[] = {
        {1, 2, 1, 1},  {1, 0, 1, 1}, {4, 2, 1, 2},  {4, 4, 1, 2},  {4, 5, 1, 3},  {4, 6, 1, 3},
        {4, 8, 1, 3},  {4, 9, 1, 4}, {4, 16, 1, 4}, {4, 0, 1, 4},  {8, 3, 8, 1},  {8, 16, 8, 1},
        {8, 17, 8, 1}, {8, 0, 8, 1}, {16, 0, 8, 3}, {24, 0, 8, 3}, {32, 0, 8, 3},
    };
    for (const Case& c : cases) {
        for (int width : {1, 7, 8, 9, 33}) {
            const int height = 3;
            const int tableSize = c.bits > 8 ? 0 : c.colours ? c.colours : 1 << c.bits;
            HGLOBAL image = MakeRecord(width, height, c.bits, tableSize);
            if (c.colours == 0 && c.bits <= 8) {
                BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
                h->biClrUsed = 0;
                GlobalUnlock(image);
            }
            std::string what = std::to_string(c.bits) + " bits, " + std::to_string(c.colours) +
                               " colours, width " + std::to_string(width);
            Bytes file = Write(image);
            ASSERT_GE(file.size(), 128u) << what;
            const int bpl = (width * c.fileBits + 7) / 8;
            Bytes head(128, 0);
            head[0] = 10;
            head[1] = 5;
            head[2] = 1;
            head[3] = BYTE(c.fileBits);
            head[8] = BYTE(width - 1);
            head[10] = BYTE(height - 1);
            head[12] = 320 & 0xFF;
            head[13] = 320 >> 8;
            head[14] = 200;
            std::vector<uint32_t> colours = RecordColors(image);
            if (tableSize <= 16) {
                for (size_t i = 0; i < colours.size(); i++) {
                    head[16 + 3 * i] = BYTE(colours[i] >> 16);
                    head[17 + 3 * i] = BYTE(colours[i] >> 8);
                    head[18 + 3 * i] = BYTE(colours[i]);
                }
            }
            head[65] = BYTE(c.planes);
            head[66] = BYTE(bpl);
            head[68] = 1;
            head[70] = 640 & 0xFF;
            head[71] = 640 >> 8;
            head[72] = 480 & 0xFF;
            head[73] = 480 >> 8;
            EXPECT_EQ(Bytes(file.begin(), file.begin() + 128), head) << what;

            size_t at = 128;
            std::vector<Bytes> lines = DecodeLines(file, &at, height, c.planes, bpl);
            ASSERT_EQ(lines.size(), size_t(height * c.planes)) << what;
            for (int y = 0; y < height; y++) {
                for (int x = 0; x < width; x++) {
                    uint32_t v = RawPixelAt(image, x, y);
                    for (int k = 0; k < c.planes; k++) {
                        const Bytes& line = lines[size_t(y * c.planes + k)];
                        uint32_t got = 0, want = 0;
                        if (c.fileBits == 1) {
                            got = (line[size_t(x / 8)] >> (7 - x % 8)) & 1;
                            want = (v >> k) & 1;
                        } else if (c.bits == 8) {
                            got = line[size_t(x)];
                            want = v;
                        } else if (c.bits == 16) {
                            got = line[size_t(x)];
                            want = ((v >> (10 - 5 * k)) & 31) << 3;
                        } else {
                            got = line[size_t(x)];
                            want = (v >> (16 - 8 * k)) & 0xFF;
                        }
                        EXPECT_EQ(got, want)
                            << what << ": pixel " << x << "," << y << " plane " << k;
                    }
                }
            }
            if (c.bits == 8) {
                ASSERT_EQ(file.size(), at + 769) << what;
                EXPECT_EQ(file[at], 12) << what;
                for (int i = 0; i < 256; i++) {
                    uint32_t want = i < int(colours.size()) ? colours[size_t(i)] : 0;
                    uint32_t got = (uint32_t(file[at + 1 + 3 * size_t(i)]) << 16) |
                                   (file[at + 2 + 3 * size_t(i)] << 8) |
                                   file[at + 3 + 3 * size_t(i)];
                    EXPECT_EQ(got, want) << what << ": palette entry " << i;
                }
            } else {
                EXPECT_EQ(file.size(), at) << what << ": nothing after the scan lines";
            }
            GlobalFree(image);
        }
    }
}

TEST(PcxWriter, RoundTripsThroughTheReader) {
    struct Case {
        int bits, colours;
    } cases[] = {{1, 2}, {4, 3}, {4, 7}, {4, 16}, {8, 200}, {8, 256}, {16, 0}, {24, 0}, {32, 0}};
    for (const Case& c : cases) {
        for (int width : {1, 2, 63, 64, 65, 200}) {
            std::string what = std::to_string(c.bits) + " bits, width " + std::to_string(width);
            HGLOBAL image = MakeRecord(width, 4, c.bits, c.colours);
            Write(image);
            HGLOBAL back = ReadWithBuffer(ReadPcx, OutPath());
            ASSERT_NE(back, nullptr) << what;
            BITMAPINFOHEADER h = HeaderOf(back);
            EXPECT_EQ(h.biBitCount, c.bits > 8 ? 24 : c.bits) << what;
            std::vector<uint32_t> colours = RecordColors(image), got = RecordColors(back);
            if (c.bits <= 8) {
                got.resize(colours.size());
                EXPECT_EQ(got, colours) << what;
            }
            int wrong = 0;
            for (int y = 0; y < 4; y++) {
                for (int x = 0; x < width; x++) {
                    uint32_t want = c.bits <= 8 ? RawPixelAt(image, x, y) : PixelAt(image, x, y);
                    if (c.bits == 16) {
                        uint32_t v = RawPixelAt(image, x, y);
                        want = (((v >> 10) & 31) << 19) | (((v >> 5) & 31) << 11) | ((v & 31) << 3);
                    }
                    uint32_t have = c.bits <= 8 ? RawPixelAt(back, x, y) : PixelAt(back, x, y);
                    if (have != want && wrong++ < 3)
                        ADD_FAILURE() << what << ": pixel " << x << "," << y;
                }
            }
            EXPECT_EQ(wrong, 0) << what;
            GlobalFree(back);
            GlobalFree(image);
        }
    }
}

TEST(PcxWriter, RefusalsAndFailedWrites) {
    EXPECT_TRUE(WriterAvailable(FMT_PCX));
    HGLOBAL good = MakeRecord(5, 2, 24, 0);
    // Through the dispatch, as Convert/Save and zendra-cli call it.
    std::remove(OutPath().c_str());
    EXPECT_EQ(WritePicture(good, OutPath().c_str(), FMT_PCX, 0, 0), WRITE_OK);
    EXPECT_EQ(ReadWholeFile(OutPath()), Write(good));

    HGLOBAL broken = MakeRecord(5, 2, 24, 0);
    static_cast<BITMAPINFOHEADER*>(GlobalLock(broken))->biBitCount = 12;
    GlobalUnlock(broken);
    HGLOBAL wide = MakeRecord(65537, 1, 1, 2);
    HGLOBAL widest = MakeRecord(65536, 1, 1, 2);
    struct Case {
        const char* name;
        HGLOBAL image;
        std::string path;
        int failAt;
        int result;
    } cases[] = {
        {"an invalid record", broken, OutPath(), 0, 0},
        {"65537 pixels wide", wide, OutPath(), 0, 0},
        {"65536 pixels wide", widest, OutPath(), 0, 1},
        {"a folder that does not exist", good, TestDir() + "/no/such/folder.pcx", 0, 0},
        {"no output buffer", good, OutPath(), 1, 0},
        {"no line buffer", good, OutPath(), 2, 0},
#ifndef _WIN32
        {"a full device", good, "/dev/full", 0, 0},
#endif
    };
    for (const Case& c : cases) {
        FailGlobalAllocAt(c.failAt);
        int result = WritePcx(c.image, c.path.c_str());
        FailGlobalAllocAt(0);
        EXPECT_EQ(result, c.result) << c.name;
        if (c.result == 0 && c.path != OutPath()) {
            EXPECT_EQ(WritePicture(c.image, c.path.c_str(), FMT_PCX, 0, 0), WRITE_FAILED) << c.name;
        }
    }
    GlobalFree(good);
    GlobalFree(broken);
    GlobalFree(wide);
    GlobalFree(widest);
}
