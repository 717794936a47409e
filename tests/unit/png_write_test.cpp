// The PNG writer, its files taken apart by this suite's own decoder: the
// colour type and depth chosen from each kind of colour table, the samples
// and palette written, 5-5-5 and 32-bit pixels, the gAMA chunk, Adam7, round
// trips through the reader, and refusals and failed writes.
#include "png_test_util.h"
#include "record_util.h"
#include "test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/library/png_format.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {
std::string OutPath() {
    return TestDir() + "/written.png";
}

png::Decoded Write(HGLOBAL image, int interlace = 0) {
    std::remove(OutPath().c_str());
    EXPECT_EQ(WritePng(OutPath().c_str(), image, interlace), 1);
    png::Decoded d = png::Decode(ReadWholeFile(OutPath()));
    EXPECT_TRUE(d.ok) << d.error;
    return d;
}

std::vector<uint32_t> Ramp(int n, int step, int first = 0) {
    std::vector<uint32_t> t;
    for (int i = 0; i < n; i++) t.push_back(uint32_t(first + step * i) * 0x010101u);
    return t;
}

uint32_t Index(int x, int y, uint32_t n) {
    return uint32_t(x * 7 + y * 3) % n;
}
} // namespace

TEST(PngWrite, FormChosenFromTheColourTable) {
    std::vector<uint32_t> sixteenFrom8 = Ramp(16, 16, 8);
    std::vector<uint32_t> fourThenMore = Ramp(4, 64);
    for (int i = 4; i < 16; i++) fourThenMore.push_back(0x101010u * uint32_t(i));
    struct Case {
        const char* what;
        int bits;
        std::vector<uint32_t> table;
        uint32_t usedIndices; // pixels use indices 0 to this - 1
        int depth, type;
        // Expected sample of a pixel of index i: -1 the index itself,
        // otherwise a function of the table given below.
        int sample; // 0: index, 1: red byte, 2: red top 4 bits, 3: red top 2 bits, 4: red != 0
    } cases[] = {
        {"1-bit black, white", 1, {0x000000, 0xFFFFFF}, 2, 1, 0, 0},
        {"1-bit white, black", 1, {0xFFFFFF, 0x000000}, 2, 1, 0, 4},
        {"1-bit red, blue", 1, {0xFF0000, 0x0000FF}, 2, 1, 3, 0},
        {"1-bit two grays", 1, {0x101010, 0xE0E0E0}, 2, 1, 3, 0},
        {"4-bit 0 64 128 192", 4, Ramp(4, 64), 4, 2, 0, 3},
        {"4-bit 192 128 64 0", 4, Ramp(4, -64, 192), 4, 2, 0, 3},
        {"4-bit, 16 entries beginning 0 64 128 192, pixels in the first four", 4, fourThenMore, 4,
         2, 0, 3},
        {"4-bit, 16 entries beginning 0 64 128 192, later ones used", 4, fourThenMore, 16, 4, 3, 0},
        {"4-bit 0 16 .. 240", 4, Ramp(16, 16), 16, 4, 0, 2},
        {"4-bit 8 24 .. 248", 4, sixteenFrom8, 16, 4, 0, 2},
        {"4-bit 16 colours",
         4,
         {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xD0E0F0, 0x010203, 0x040506, 0x070809, 0x0A0B0C,
          0x0D0E0F, 0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x123456},
         16,
         4,
         3,
         0},
        {"4-bit 3 colours", 4, {0xFF0000, 0x00FF00, 0x0000FF}, 3, 2, 3, 0},
        {"4-bit 3 grays", 4, Ramp(3, 100), 3, 2, 3, 0},
        {"4-bit 4 grays, no ramp", 4, {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF}, 4, 2, 3, 0},
        {"4-bit 8 colours", 4, Ramp(7, 30, 1), 7, 4, 3, 0},
        {"8-bit 256 grays", 8, Ramp(256, 1), 256, 8, 0, 1},
        {"8-bit 40 grays", 8, Ramp(40, 6), 40, 8, 0, 1},
        {"8-bit 200 colours", 8, std::vector<uint32_t>(200, 0x336699), 200, 8, 3, 0},
        {"8-bit 3 colours", 8, {0xFF0000, 0x00FF00, 0x0000FF}, 3, 2, 3, 0},
        {"8-bit 4 grays", 8, Ramp(4, 64), 4, 2, 3, 0},
        // Pixels naming entries past the table show black: the palette is
        // padded with black up to them, and two bits are not enough for them.
        {"1-bit, one entry, both indices used", 1, {0xFF0000}, 2, 1, 3, 0},
        {"4-bit 2 colours, indices to 15 used", 4, {0xFF0000, 0x00FF00}, 16, 4, 3, 0},
        {"4-bit 0 64 128 192, indices to 8 used", 4, Ramp(4, 64), 9, 4, 3, 0},
        {"8-bit 3 colours, indices to 5 used", 8, {0xFF0000, 0x00FF00, 0x0000FF}, 6, 8, 3, 0},
        {"8-bit 40 grays, indices to 49 used", 8, Ramp(40, 6), 50, 8, 0, 1},
    };
    for (const Case& c : cases) {
        for (int width : {1, 6, 13}) {
            const int height = 5;
            const std::string what = std::string(c.what) + ", width " + std::to_string(width);
            // One column does not reach the entries past the table.
            if (width == 1 && c.usedIndices > c.table.size()) continue;
            uint32_t highest = 0;
            for (int y = 0; y < height; y++)
                for (int x = 0; x < width; x++)
                    highest = std::max(highest, Index(x, y, c.usedIndices));
            HGLOBAL image = RecordOf(width, height, c.bits, c.table,
                                     [&](int x, int y) { return Index(x, y, c.usedIndices); });
            png::Decoded d = Write(image);
            EXPECT_EQ(d.width, uint32_t(width)) << what;
            EXPECT_EQ(d.height, uint32_t(height)) << what;
            EXPECT_EQ(d.depth, c.depth) << what;
            EXPECT_EQ(d.type, c.type) << what;
            EXPECT_EQ(d.interlace, 0) << what;
            const png::Chunk* plte = d.find("PLTE");
            if (c.type == 3) {
                ASSERT_NE(plte, nullptr) << what;
                Bytes want;
                for (uint32_t i = 0; i < std::max(uint32_t(c.table.size()), highest + 1); i++)
                    for (int s = 16; s >= 0; s -= 8)
                        want.push_back(BYTE((i < c.table.size() ? c.table[i] : 0) >> s));
                EXPECT_EQ(plte->data, want) << what;
            } else {
                EXPECT_EQ(plte, nullptr) << what;
            }
            for (int y = 0; y < height; y++)
                for (int x = 0; x < width; x++) {
                    const uint32_t i = Index(x, y, c.usedIndices);
                    const uint32_t red = i < c.table.size() ? (c.table[i] >> 16) & 0xFF : 0;
                    const uint32_t want = c.sample == 0   ? i
                                          : c.sample == 1 ? red
                                          : c.sample == 2 ? red >> 4
                                          : c.sample == 3 ? red >> 6
                                                          : uint32_t(red != 0);
                    ASSERT_EQ(png::SampleAt(d.rows[size_t(y)], d.depth, size_t(x)), want)
                        << what << " at " << x << "," << y;
                }
            GlobalFree(image);
        }
    }
}

TEST(PngWrite, TrueColourPixels) {
    std::mt19937 rng(2097);
    struct Case {
        int bits;
        int type;
    } cases[] = {{16, 2}, {24, 2}, {32, 6}};
    for (const Case& c : cases) {
        std::vector<uint32_t> values;
        HGLOBAL image = RecordOf(7, 4, c.bits, {}, [&](int, int) {
            values.push_back(uint32_t(rng()));
            return values.back();
        });
        png::Decoded d = Write(image);
        EXPECT_EQ(d.depth, 8);
        EXPECT_EQ(d.type, c.type);
        size_t n = 0;
        for (int y = 0; y < 4; y++)
            for (int x = 0; x < 7; x++, n++) {
                uint32_t v = values[n];
                uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF, a = v >> 24;
                if (c.bits == 16) {
                    r = ((v >> 10) & 31) * 8;
                    g = ((v >> 5) & 31) * 8;
                    b = (v & 31) * 8;
                }
                const Bytes& row = d.rows[size_t(y)];
                const size_t at = size_t(x) * (c.type == 6 ? 4 : 3);
                EXPECT_EQ(row[at], r) << c.bits << " at " << x << "," << y;
                EXPECT_EQ(row[at + 1], g);
                EXPECT_EQ(row[at + 2], b);
                if (c.type == 6) {
                    EXPECT_EQ(row[at + 3], a) << "the fourth byte is the alpha";
                }
            }
        GlobalFree(image);
    }
    // 0x7FFF: 31 in each component, written as 248.
    HGLOBAL white = RecordOf(2, 1, 16, {}, [](int, int) { return 0x7FFFu; });
    png::Decoded d = Write(white);
    EXPECT_EQ(d.rows[0], (Bytes{248, 248, 248, 248, 248, 248}));
    GlobalFree(white);
    // A 32-bit picture whose fourth bytes are all 0 has no alpha: it is written
    // opaque, not invisible. One non-zero fourth byte makes them all alpha.
    HGLOBAL padded = RecordOf(3, 2, 32, {}, [](int x, int y) { return 0x00123456u + x + y; });
    d = Write(padded);
    EXPECT_EQ(d.type, 6);
    for (const Bytes& row : d.rows)
        for (size_t x = 0; x < 3; x++) {
            EXPECT_EQ(row[4 * x + 3], 255);
            EXPECT_EQ(row[4 * x], 0x12);
        }
    GlobalFree(padded);
    HGLOBAL alpha = RecordOf(3, 2, 32, {}, [](int x, int y) {
        return (x == 2 && y == 1 ? 0x80000000u : 0u) | 0x123456u;
    });
    d = Write(alpha);
    for (size_t y = 0; y < 2; y++)
        for (size_t x = 0; x < 3; x++)
            EXPECT_EQ(d.rows[y][4 * x + 3], x == 2 && y == 1 ? 0x80 : 0) << x << "," << y;
    GlobalFree(alpha);
}

TEST(PngWrite, EveryFileCarriesGamma045) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (int interlace : {0, 1}) {
            HGLOBAL image = RecordOf(9, 9, bits, Ramp(bits == 1 ? 2 : 7, 20),
                                     [](int x, int y) { return uint32_t(x + y) % 2; });
            png::Decoded d = Write(image, interlace);
            const png::Chunk* gama = d.find("gAMA");
            ASSERT_NE(gama, nullptr) << bits;
            EXPECT_EQ(png::Be32(gama->data, 0), 45000u) << bits;
            EXPECT_EQ(d.chunks.front().type, "IHDR");
            EXPECT_EQ(d.chunks.back().type, "IEND");
            GlobalFree(image);
        }
    }
}

TEST(PngWrite, Adam7GivesTheSamePicture) {
    std::mt19937 rng(7);
    for (int bits : {1, 4, 8, 24, 32}) {
        for (int size : {1, 3, 8, 17}) {
            std::vector<uint32_t> table = {0, 0xFFFFFF};
            if (bits > 1)
                while (table.size() < (bits == 4 ? 16u : 256u)) table.push_back(rng() & 0xFFFFFF);
            HGLOBAL image = RecordOf(size + 2, size, bits, table, [&](int, int) {
                return bits <= 8 ? uint32_t(rng()) % uint32_t(table.size()) : uint32_t(rng());
            });
            png::Decoded plain = Write(image, 0);
            png::Decoded interlaced = Write(image, 1);
            EXPECT_EQ(interlaced.interlace, 1) << bits;
            EXPECT_EQ(interlaced.rows, plain.rows) << bits << ", size " << size;
            // Read back, both give the record's own pixels (alpha would be
            // composited: 32-bit files are compared as written only).
            for (int interlace = 0; bits <= 24 && interlace < 2; interlace++) {
                std::remove(OutPath().c_str());
                ASSERT_EQ(WritePng(OutPath().c_str(), image, interlace), 1);
                char text[INFO_TEXT_SIZE];
                HGLOBAL back = ReadPng(OutPath().c_str(), nullptr, text, 32).image;
                ASSERT_NE(back, nullptr);
                EXPECT_NE(std::string(text).find(interlace ? "adam7" : "none"), std::string::npos);
                for (int y = 0; y < size; y++)
                    for (int x = 0; x < size + 2; x++)
                        ASSERT_EQ(PixelAt(back, x, y), PixelAt(image, x, y))
                            << bits << " interlace " << interlace << " at " << x << "," << y;
                GlobalFree(back);
            }
            GlobalFree(image);
        }
    }
}

TEST(PngWrite, TheDispatchPassesTheInterlaceFlag) {
    EXPECT_TRUE(WriterAvailable(FMT_PNG));
    HGLOBAL image = RecordOf(4, 4, 24, {}, [](int x, int y) { return uint32_t(x * y); });
    for (int option : {0, 1}) {
        std::remove(OutPath().c_str());
        ASSERT_EQ(WritePicture(image, OutPath().c_str(), FMT_PNG, option, 0), WRITE_OK);
        EXPECT_EQ(png::Decode(ReadWholeFile(OutPath())).interlace, option);
    }
    GlobalFree(image);
}

TEST(PngWrite, RefusalsAndFailedWrites) {
    RecordMessages messages;
    // A 2-bit record: not a bit count the writer knows.
    HGLOBAL twoBits =
        EditedRecord(AllocImageRecord(8, 8, 4, 4), [](BITMAPINFOHEADER* h) { h->biBitCount = 2; });
    EXPECT_EQ(WritePng(OutPath().c_str(), twoBits, 0), 0);
    GlobalFree(twoBits);
    // Colours used that do not fit the depth never reach the gray or 2-bit paths.
    for (int bits : {4, 24}) {
        HGLOBAL tooMany =
            EditedRecord(AllocImageRecord(8, 8, bits, bits == 4 ? 16 : 0),
                         [&](BITMAPINFOHEADER* h) { h->biClrUsed = bits == 4 ? 20 : 3; });
        EXPECT_EQ(WritePng(OutPath().c_str(), tooMany, 0), 0) << bits;
        GlobalFree(tooMany);
    }

    HGLOBAL image = RecordOf(64, 64, 24, {}, [](int x, int y) { return uint32_t(x * 977 + y); });
    EXPECT_EQ(WritePng((TestDir() + "/no/such/folder/x.png").c_str(), image, 0), 0);
#ifndef _WIN32
    EXPECT_EQ(WritePng("/dev/full", image, 0), 0) << "a full disk is a failure";
    EXPECT_EQ(WritePng("/dev/full", image, 1), 0);
#endif
    GlobalFree(image);
    HGLOBAL gray = RecordOf(8, 8, 8, Ramp(256, 1), [](int x, int) { return uint32_t(x); });
    FailGlobalAllocAt(1); // the conversion row
    EXPECT_EQ(WritePng(OutPath().c_str(), gray, 0), 0);
    FailGlobalAllocAt(0);
    GlobalFree(gray);
    EXPECT_TRUE(messages.messages.empty()) << "the writer shows no message";
}
