// The run-length and bit-field bitmap writers: the row encoder's exact bytes,
// the headers and sizes of the files, refusals and write failures, and round
// trips through the bitmap reader.
#include "test_util.h"
#include "transform_test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/native/bmp.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// A row of 8-bit pixels, or of 4-bit pixels packed high nibble first; the
// nibble beyond an odd width and the padding hold junk the encoder must not emit.
Bytes PackRow(const std::vector<int>& pixels, int bits) {
    Bytes row;
    if (bits == 8) {
        for (int p : pixels) row.push_back(BYTE(p));
    } else {
        for (size_t i = 0; i < pixels.size(); i += 2)
            row.push_back(BYTE(pixels[i] << 4 | (i + 1 < pixels.size() ? pixels[i + 1] : 0xF)));
    }
    while (row.size() % 4) row.push_back(0xAA);
    return row;
}

std::vector<int> Repeat(int value, int count) {
    return std::vector<int>(size_t(count), value);
}

// count distinct neighbours: value i & mask at i (no two neighbours equal).
std::vector<int> Counting(int count, int mask) {
    std::vector<int> v;
    for (int i = 0; i < count; i++) v.push_back(i & mask);
    return v;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes CountingBytes(int from, int count) {
    Bytes b;
    for (int i = from; i < from + count; i++) b.push_back(BYTE(i));
    return b;
}

// 4-bit counting pixels 0..15 repeated, packed: bytes 0x01 0x23 ... 0xEF.
Bytes NibbleBytes(int fromPixel, int pixelCount) {
    Bytes b;
    for (int i = fromPixel; i < fromPixel + pixelCount; i += 2)
        b.push_back(BYTE((i & 15) << 4 | ((i + 1) & 15)));
    return b;
}

Bytes Encode(const Bytes& row, int64_t width, int compression, uint64_t* counted) {
    *counted = EncodeBitmapRow(row.data(), width, compression, nullptr);
    Bytes out(size_t(BitmapRowBound(width, compression)), 0xEE);
    uint64_t n = EncodeBitmapRow(row.data(), width, compression, out.data());
    out.resize(size_t(n));
    return out;
}

std::string Hex(const Bytes& b) {
    std::string s;
    char piece[4];
    for (size_t i = 0; i < b.size(); i++) {
        std::snprintf(piece, sizeof piece, "%02X ", b[i]);
        s += piece;
        if (i == 40 && b.size() > 48) return s + "...";
    }
    return s;
}

uint32_t Le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// A record whose pixels come from value(x, y) (y from the top), with random
// colours and junk in the padding and beyond the width.
HGLOBAL MakeRecord(int width, int height, int bits, int colors,
                   const std::function<uint32_t(int, int)>& value) {
    HGLOBAL image = AllocImageRecord(width, height, bits, colors);
    if (!image) return nullptr;
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    h->biXPelsPerMeter = 3780;
    h->biYPelsPerMeter = 2835;
    h->biClrImportant = 5;
    h->biSizeImage = 123456; // stale: the writers put in their own
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    const int entries = ImageColorCount(h);
    for (int i = 0; i < 4 * entries; i++) table[i] = BYTE((i % 4 == 3) ? 0 : i * 37 + 11);
    std::memset(ImagePixels(h), 0x5A, size_t(ImageStride(width, bits) * uint64_t(height)));
    GlobalUnlock(image);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) SetRawPixel(image, x, y, value(x, y));
    return image;
}

// Random pixels with runs: each pixel repeats the last one at times.
std::function<uint32_t(int, int)> RandomPixels(uint32_t seed, uint32_t mask) {
    auto rng = std::make_shared<std::mt19937>(seed);
    auto last = std::make_shared<uint32_t>(0);
    return [rng, last, mask](int, int) {
        if ((*rng)() % 3) *last = (*rng)() & mask;
        return *last;
    };
}

std::string OutPath(const char* name) {
    return TestDir() + "/" + name;
}

Bytes WriteForm(HGLOBAL image, int format, int option, WriteResult* result) {
    std::string path = OutPath("form.bmp");
    std::remove(path.c_str());
    *result = WritePicture(image, path.c_str(), format, option, 0);
    return FileExists(path) ? ReadWholeFile(path) : Bytes();
}
} // namespace

TEST(BitmapRowEncoder, ExactBytes) {
    struct Case {
        const char* name;
        int bits;
        std::vector<int> pixels;
        Bytes want;
    };
    const Bytes eol = {0, 0};
    std::vector<Case> cases = {
        // 8 bits
        {"1 1 1 2", 8, {1, 1, 1, 2}, {2, 1, 1, 1, 1, 2, 0, 0}},
        {"1 2 2 3", 8, {1, 2, 2, 3}, {0, 4, 1, 2, 2, 3, 0, 0}},
        {"300 equal", 8, Repeat(7, 300), {254, 7, 46, 7, 0, 0}},
        {"odd width, one run", 8, {5, 5, 5}, {2, 5, 1, 5, 0, 0}},
        {"odd width, all distinct", 8, {1, 2, 3}, {1, 1, 1, 2, 1, 3, 0, 0}},
        {"width 1", 8, {9}, {1, 9, 0, 0}},
        {"width 2, distinct", 8, {1, 2}, {1, 1, 1, 2, 0, 0}},
        {"width 2, equal", 8, {3, 3}, {2, 3, 0, 0}},
        {"run of 254", 8, Repeat(4, 254), {254, 4, 0, 0}},
        {"run of 255", 8, Repeat(4, 255), {254, 4, 1, 4, 0, 0}},
        {"run of 256", 8, Repeat(4, 256), {254, 4, 2, 4, 0, 0}},
        {"run of 258", 8, Repeat(4, 258), {254, 4, 4, 4, 0, 0}},
        {"run of 508", 8, Repeat(4, 508), {254, 4, 254, 4, 0, 0}},
        {"literal of 254", 8, Counting(254, 255), Cat({{0, 254}, CountingBytes(0, 254), eol})},
        {"literal of 255", 8, Counting(255, 255),
         Cat({{0, 254}, CountingBytes(0, 254), {1, 254}, eol})},
        {"literal of 256", 8, Counting(256, 255),
         Cat({{0, 254}, CountingBytes(0, 254), {1, 254, 1, 255}, eol})},
        {"literal of 258", 8, Counting(258, 255),
         Cat({{0, 254}, CountingBytes(0, 254), {0, 4, 254, 255, 0, 1}, eol})},
        {"all distinct", 8, {1, 2, 3, 4, 5, 6}, {0, 6, 1, 2, 3, 4, 5, 6, 0, 0}},
        {"literal of 2 then runs", 8, {1, 2, 3, 3, 3, 3, 3, 3}, {0, 4, 1, 2, 3, 3, 4, 3, 0, 0}},
        {"literal of 2 then one equal pair", 8, {1, 2, 3, 3}, {0, 4, 1, 2, 3, 3, 0, 0}},
        {"run, literal of 2, pair", 8, {4, 4, 4, 4, 1, 2, 5, 5}, {4, 4, 0, 4, 1, 2, 5, 5, 0, 0}},
        {"run changes value", 8, {7, 7, 8, 8}, {2, 7, 2, 8, 0, 0}},
        {"a run resumes the value of an earlier run",
         8,
         {5, 5, 1, 2, 3, 4, 5, 5},
         {2, 5, 0, 4, 1, 2, 3, 4, 2, 5, 0, 0}},
        {"pairs of equal bytes are not one run", 8, {1, 2, 1, 2}, {0, 4, 1, 2, 1, 2, 0, 0}},
        // 4 bits (bytes of two pixels)
        {"4 bits, width 7", 4, {1, 2, 3, 4, 5, 6, 7}, {0, 4, 0x12, 0x34, 0, 3, 0x56, 0x70, 0, 0}},
        {"4 bits, width 1", 4, {9}, {1, 0x90, 0, 0}},
        {"4 bits, width 2", 4, {1, 2}, {2, 0x12, 0, 0}},
        {"4 bits, width 3", 4, {1, 2, 3}, {0, 3, 0x12, 0x30, 0, 0}},
        {"4 bits, tail of 1", 4, {1, 1, 1, 1, 2}, {4, 0x11, 1, 0x20, 0, 0}},
        {"4 bits, tail of 2", 4, {3, 3, 3, 3, 4, 5}, {4, 0x33, 2, 0x45, 0, 0}},
        {"4 bits, tail of 3", 4, {3, 3, 3, 3, 4, 5, 6}, {4, 0x33, 0, 3, 0x45, 0x60, 0, 0}},
        {"4 bits, alternating pixels are one run", 4, {1, 2, 1, 2}, {4, 0x12, 0, 0}},
        {"4 bits, run of 252", 4, Repeat(7, 252), {252, 0x77, 0, 0}},
        {"4 bits, run of 254", 4, Repeat(7, 254), {252, 0x77, 2, 0x77, 0, 0}},
        {"4 bits, run of 256", 4, Repeat(7, 256), {252, 0x77, 4, 0x77, 0, 0}},
        {"4 bits, run of 255", 4, Repeat(7, 255), {252, 0x77, 0, 3, 0x77, 0x70, 0, 0}},
        {"4 bits, literal of 252", 4, Counting(252, 15), Cat({{0, 252}, NibbleBytes(0, 252), eol})},
        {"4 bits, literal of 256", 4, Counting(256, 15),
         Cat({{0, 252}, NibbleBytes(0, 252), {0, 4}, NibbleBytes(252, 4), eol})},
        {"4 bits, literal of 253", 4, Counting(253, 15),
         Cat({{0, 252}, NibbleBytes(0, 252), {1, 0xC0}, eol})},
        {"4 bits, literal of 4 then a run",
         4,
         {1, 2, 3, 4, 5, 5, 5, 5},
         {0, 4, 0x12, 0x34, 4, 0x55, 0, 0}},
        {"4 bits, all distinct", 4, {1, 2, 3, 4, 5, 6, 7, 8}, {0, 8, 0x12, 0x34, 0x56, 0x78, 0, 0}},
    };
    for (const Case& c : cases) {
        const int compression = c.bits == 8 ? BI_RLE8 : BI_RLE4;
        Bytes row = PackRow(c.pixels, c.bits);
        const Bytes before = row;
        uint64_t counted = 0;
        Bytes got = Encode(row, int64_t(c.pixels.size()), compression, &counted);
        EXPECT_EQ(got, c.want) << c.name << "\n got " << Hex(got) << "\nwant " << Hex(c.want);
        EXPECT_EQ(counted, got.size()) << c.name << ": the counting pass";
        EXPECT_EQ(row, before) << c.name << ": the row is left as it was";
    }
}

TEST(BitmapRowEncoder, StaysWithinItsBoundAndDecodesBack) {
    // Rows of every small width and of run-heavy, literal-heavy and
    // alternating content; each decoded here by the rules of the format.
    std::mt19937 rng(4242);
    for (int bits : {4, 8}) {
        const int compression = bits == 8 ? BI_RLE8 : BI_RLE4;
        for (int width = 1; width <= 600; width += (width < 40 ? 1 : 37)) {
            for (int kind = 0; kind < 4; kind++) {
                std::vector<int> px;
                for (int x = 0; x < width; x++) {
                    int v = kind == 0   ? int(rng() % 3)  // runs and short literals
                            : kind == 1 ? int(rng() & 15) // mostly literals
                            : kind == 2 ? (x / 2 % 2 ? 1 : int(rng() % 2) + 2) // pairs
                                        : (x % 4 < 2 ? 6 : x); // run, literal of 2, ...
                    px.push_back(v & (bits == 4 ? 15 : 255));
                }
                Bytes row = PackRow(px, bits);
                uint64_t counted = 0;
                Bytes code = Encode(row, width, compression, &counted);
                const std::string what =
                    std::to_string(bits) + " bits, width " + std::to_string(width);
                ASSERT_LE(code.size(), BitmapRowBound(width, compression)) << what;
                ASSERT_EQ(counted, code.size()) << what;
                // Decode: encoded runs alternate the value's nibbles, absolute
                // runs are padded to an even byte count.
                std::vector<int> back;
                size_t i = 0;
                bool ended = false;
                while (i + 1 < code.size() && !ended) {
                    int n = code[i], e = code[i + 1];
                    i += 2;
                    if (n > 0) {
                        for (int k = 0; k < n; k++)
                            back.push_back(bits == 8 ? e : (k % 2 ? e & 15 : e >> 4));
                    } else if (e == 0) {
                        ended = true;
                    } else {
                        ASSERT_GE(e, 3) << what << ": no delta or end of picture in a row";
                        size_t bytes = bits == 8 ? size_t(e) : size_t(e + 1) / 2;
                        ASSERT_LE(i + bytes, code.size()) << what;
                        for (int k = 0; k < e; k++)
                            back.push_back(bits == 8 ? code[i + size_t(k)]
                                                     : (k % 2 ? code[i + size_t(k) / 2] & 15
                                                              : code[i + size_t(k) / 2] >> 4));
                        i += bytes;
                        ASSERT_EQ(bytes % 2, 0u) << what << ": absolute runs need no pad byte";
                    }
                }
                EXPECT_TRUE(ended && i == code.size()) << what << ": one end of line, at the end";
                EXPECT_EQ(back, px) << what;
            }
        }
    }
}

TEST(BitmapRunLengthWriter, FileLayout) {
    struct Case {
        int bits, width, height, colors;
    } cases[] = {{8, 1, 1, 0}, {8, 5, 3, 0},  {8, 300, 2, 17}, {8, 7, 4, 2},
                 {4, 1, 1, 0}, {4, 7, 3, 16}, {4, 33, 5, 3},   {4, 254, 2, 0}};
    for (const Case& c : cases) {
        HGLOBAL image = MakeRecord(c.width, c.height, c.bits, c.colors,
                                   RandomPixels(uint32_t(c.width), c.bits == 4 ? 15 : 255));
        ASSERT_NE(image, nullptr);
        WriteResult result;
        Bytes file = WriteForm(image, FMT_BMP_RLE, 0, &result);
        const std::string what = std::to_string(c.bits) + " bits, " + std::to_string(c.width) +
                                 " x " + std::to_string(c.height);
        ASSERT_EQ(result, WRITE_OK) << what;
        BITMAPINFOHEADER h = HeaderOf(image);
        const int entries = c.colors ? c.colors : 1 << c.bits;
        const uint32_t offset = 54 + 4 * uint32_t(entries);
        ASSERT_GT(file.size(), offset + 2) << what;
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(Le32(file, 2), file.size()) << what << ": file size field";
        EXPECT_EQ(Le32(file, 6), 0u);
        EXPECT_EQ(Le32(file, 10), offset) << what;
        // The record's header but for compression and the coded data's size.
        BITMAPINFOHEADER want = h;
        want.biCompression = c.bits == 8 ? BI_RLE8 : BI_RLE4;
        want.biSizeImage = uint32_t(file.size() - offset);
        EXPECT_EQ(std::memcmp(file.data() + 14, &want, 40), 0) << what;
        BYTE* record = static_cast<BYTE*>(GlobalLock(image));
        EXPECT_EQ(std::memcmp(file.data() + 54, record + 40, 4 * size_t(entries)), 0) << what;
        // The rows, bottom first, as the encoder codes them, then 00 01.
        Bytes rows;
        const uint64_t stride = ImageStride(c.width, c.bits);
        for (int y = 0; y < c.height; y++) {
            Bytes row(record + 40 + 4 * entries + stride * uint64_t(y),
                      record + 40 + 4 * entries + stride * uint64_t(y + 1));
            uint64_t counted;
            Bytes code = Encode(row, c.width, int(want.biCompression), &counted);
            rows.insert(rows.end(), code.begin(), code.end());
        }
        GlobalUnlock(image);
        rows.push_back(0);
        rows.push_back(1);
        EXPECT_EQ(Bytes(file.begin() + offset, file.end()), rows) << what;
        GlobalFree(image);
    }
}

TEST(BitmapBitfieldWriter, FileLayout) {
    struct Case {
        int bits, layout, width, height;
        uint32_t masks[3];
    } cases[] = {
        {16, 0, 3, 2, {0x7C00, 0x03E0, 0x001F}},
        {16, 1, 3, 2, {0xF800, 0x07E0, 0x001F}},
        {16, 0, 4, 3, {0x7C00, 0x03E0, 0x001F}},
        {16, 1, 1, 1, {0xF800, 0x07E0, 0x001F}},
        {32, 0, 3, 2, {0x00FF0000, 0x0000FF00, 0x000000FF}},
        {32, 1, 5, 2, {0xFFC00000, 0x003FF000, 0x00000FFC}},
    };
    for (const Case& c : cases) {
        HGLOBAL image = MakeRecord(c.width, c.height, c.bits, 0,
                                   RandomPixels(uint32_t(c.width * 7 + c.layout), 0xFFFFFFFF));
        ASSERT_NE(image, nullptr);
        WriteResult result;
        Bytes file = WriteForm(image, FMT_BMP_BITFIELDS, c.layout, &result);
        const std::string what = std::to_string(c.bits) + " bits, layout " +
                                 std::to_string(c.layout) + ", width " + std::to_string(c.width);
        ASSERT_EQ(result, WRITE_OK) << what;
        const uint64_t stride = ImageStride(c.width, c.bits);
        const uint64_t imageSize = stride * uint64_t(c.height);
        ASSERT_EQ(file.size(), 66 + imageSize) << what;
        EXPECT_EQ(Le32(file, 2), file.size()) << what << ": file size field";
        EXPECT_EQ(Le32(file, 10), 66u) << what;
        BITMAPINFOHEADER want = HeaderOf(image);
        want.biCompression = BI_BITFIELDS;
        want.biSizeImage = uint32_t(imageSize);
        EXPECT_EQ(std::memcmp(file.data() + 14, &want, 40), 0) << what;
        for (int i = 0; i < 3; i++) EXPECT_EQ(Le32(file, 54 + 4 * size_t(i)), c.masks[i]) << what;
        Bytes pixels = RecordPixelBytes(image);
        for (int y = 0; y < c.height; y++) {
            for (uint64_t i = 0; i < stride; i++) {
                const size_t at = size_t(uint64_t(y) * stride + i);
                uint32_t got = file[66 + at];
                uint32_t expected = pixels[at];
                if (c.layout == 1 && i >= uint64_t(c.width) * uint64_t(c.bits / 8)) {
                    expected = 0; // padding after a converted row
                } else if (c.layout == 1 && c.bits == 16) {
                    uint64_t p = at & ~size_t(1);
                    uint32_t v = pixels[p] | pixels[p + 1] << 8;
                    uint32_t w = (v & 0x1F) | ((v >> 5) & 0x1F) << 6 | ((v >> 10) & 0x1F) << 11;
                    expected = at % 2 ? w >> 8 : w & 0xFF;
                } else if (c.layout == 1) {
                    uint64_t p = at & ~size_t(3);
                    uint32_t w = uint32_t(pixels[p]) << 2 | uint32_t(pixels[p + 1]) << 12 |
                                 uint32_t(pixels[p + 2]) << 22;
                    expected = (w >> (8 * (at % 4))) & 0xFF;
                }
                ASSERT_EQ(got, expected) << what << ": byte " << at << " of the pixels";
            }
        }
        GlobalFree(image);
    }
}

TEST(BitmapFormWriters, RoundTripsThroughTheReader) {
    struct Case {
        int format, option, bits, colors;
        const char* compression; // the File information line of the file
    } cases[] = {
        {FMT_BMP_RLE, 0, 8, 0, "compression: BI_RLE8 \n"},
        {FMT_BMP_RLE, 0, 8, 200, "compression: BI_RLE8 \n"},
        {FMT_BMP_RLE, 0, 4, 0, "compression: BI_RLE4 \n"},
        {FMT_BMP_BITFIELDS, 0, 16, 0, "bitfields: 5 5 5 \n"},
        {FMT_BMP_BITFIELDS, 1, 16, 0, "bitfields: 5 6 5 \n"},
        {FMT_BMP_BITFIELDS, 0, 32, 0, "bitfields: 8 8 8 \n"},
        {FMT_BMP_BITFIELDS, 1, 32, 0, "bitfields: 10 10 10 \n"},
    };
    for (const Case& c : cases) {
        for (int width : {1, 2, 3, 4, 5, 7, 8, 33, 300}) {
            const int height = 1 + width % 4;
            const uint32_t mask = c.bits == 4    ? 15
                                  : c.bits == 8  ? (c.colors ? 127 : 255)
                                  : c.bits == 16 ? 0xFFFF
                                                 : 0xFFFFFFFF;
            HGLOBAL image = MakeRecord(width, height, c.bits, c.colors,
                                       RandomPixels(uint32_t(width * 31 + c.bits), mask));
            ASSERT_NE(image, nullptr);
            const std::string what = std::string(c.compression) + "width " + std::to_string(width) +
                                     ", " + std::to_string(c.bits) + " bits";
            std::string path = OutPath("round.bmp");
            std::remove(path.c_str());
            ASSERT_EQ(WritePicture(image, path.c_str(), c.format, c.option, 0), WRITE_OK) << what;
            RecordMessages messages;
            ASSERT_TRUE(LoadForTest(path)) << what;
            EXPECT_TRUE(messages.messages.empty()) << what;
            EXPECT_NE(std::string(g_infoText).find(c.compression), std::string::npos)
                << what << "\n"
                << g_infoText;
            BITMAPINFOHEADER back = HeaderOf(g_picture);
            ASSERT_EQ(back.biWidth, width) << what;
            ASSERT_EQ(back.biHeight, height) << what;
            ASSERT_EQ(back.biBitCount, c.bits) << what;
            int wrong = 0;
            for (int y = 0; y < height; y++) {
                for (int x = 0; x < width; x++) {
                    uint32_t got = RawPixelAt(g_picture, x, y);
                    uint32_t want = RawPixelAt(image, x, y);
                    // 5-5-5 either way; the unused top bit survives only
                    // where the pixels are written as stored.
                    if (c.bits == 16 && c.option == 1) want &= 0x7FFF;
                    if (c.bits <= 8) {
                        EXPECT_EQ(PixelAt(g_picture, x, y), PixelAt(image, x, y)) << what;
                    }
                    if (got != want && wrong++ < 3)
                        ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << got
                                      << ", written " << want;
                }
            }
            EXPECT_EQ(wrong, 0) << what;
            if (c.bits <= 8) {
                EXPECT_EQ(RecordColors(g_picture), RecordColors(image)) << what;
            }
            ReleaseCurrentPicture();
            GlobalFree(image);
        }
    }
}

TEST(BitmapFormWriters, FiveSixFiveReadsBackAsTheSameFiveFiveFive) {
    // Every 5-5-5 value of one component at a time, and random mixtures.
    HGLOBAL image = MakeRecord(32, 4, 16, 0, [](int x, int y) {
        std::mt19937 rng(uint32_t(x * 4 + y));
        return y < 3 ? uint32_t(x) << (5 * y) : (rng() & 0x7FFF);
    });
    std::string p555 = OutPath("555.bmp"), p565 = OutPath("565.bmp");
    std::remove(p555.c_str());
    std::remove(p565.c_str());
    ASSERT_EQ(WritePicture(image, p555.c_str(), FMT_BMP_BITFIELDS, 0, 0), WRITE_OK);
    ASSERT_EQ(WritePicture(image, p565.c_str(), FMT_BMP_BITFIELDS, 1, 0), WRITE_OK);
    ASSERT_TRUE(LoadForTest(p555));
    Bytes from555 = RecordPixelBytes(g_picture);
    ASSERT_TRUE(LoadForTest(p565));
    EXPECT_EQ(RecordPixelBytes(g_picture), from555);
    EXPECT_EQ(RecordPixelBytes(g_picture), RecordPixelBytes(image));
    ReleaseCurrentPicture();
    GlobalFree(image);
}

TEST(BitmapFormWriters, RefuseWhatTheyCannotWrite) {
    struct Case {
        int format, option, bits;
    } cases[] = {
        {FMT_BMP_RLE, 0, 1},        {FMT_BMP_RLE, 0, 16},        {FMT_BMP_RLE, 0, 24},
        {FMT_BMP_RLE, 0, 32},       {FMT_BMP_BITFIELDS, 0, 1},   {FMT_BMP_BITFIELDS, 1, 4},
        {FMT_BMP_BITFIELDS, 0, 8},  {FMT_BMP_BITFIELDS, 1, 24},  {FMT_BMP_BITFIELDS, 0, 24},
        {FMT_BMP_BITFIELDS, 2, 16}, {FMT_BMP_BITFIELDS, -1, 32},
    };
    for (const Case& c : cases) {
        HGLOBAL image = MakeRecord(3, 2, c.bits, 0, [](int x, int) { return uint32_t(x); });
        WriteResult result;
        Bytes file = WriteForm(image, c.format, c.option, &result);
        EXPECT_EQ(result, WRITE_FAILED) << c.format << " option " << c.option << ", " << c.bits;
        EXPECT_TRUE(file.empty()) << "nothing is created for a refused picture";
        GlobalFree(image);
    }
    for (int format : {FMT_BMP_RLE, FMT_BMP_BITFIELDS}) {
        EXPECT_TRUE(WriterAvailable(format));
        WriteResult result;
        WriteForm(nullptr, format, 0, &result);
        EXPECT_EQ(result, WRITE_FAILED) << "no record";
        // A record whose rows do not fit its block.
        HGLOBAL image =
            MakeRecord(3, 2, format == FMT_BMP_RLE ? 8 : 16, 0, [](int, int) { return 1u; });
        static_cast<BITMAPINFOHEADER*>(GlobalLock(image))->biHeight = 3000;
        GlobalUnlock(image);
        WriteForm(image, format, 0, &result);
        EXPECT_EQ(result, WRITE_FAILED) << "a record larger than its block";
        GlobalFree(image);
    }
}

TEST(BitmapFormWriters, WriteFailuresAreFailures) {
    // A full disk, a missing folder, and folders where nothing can be made.
    std::vector<std::string> targets = {TestDir() + "/no/such/folder/out.bmp"};
#ifndef _WIN32
    targets.push_back("/dev/full");
    targets.push_back("/proc/zendra-out.bmp");
    std::string readOnly = TestDir() + "/read-only";
    mkdir(readOnly.c_str(), 0555);
    chmod(readOnly.c_str(), 0555);
    // (root may write there all the same)
    if (access(readOnly.c_str(), W_OK) != 0) targets.push_back(readOnly + "/out.bmp");
#endif
    struct Case {
        int format, option, bits, width, height;
    } cases[] = {
        {FMT_BMP_RLE, 0, 8, 7, 3},
        {FMT_BMP_RLE, 0, 4, 7, 3},
        {FMT_BMP_RLE, 0, 8, 2000, 1500},
        {FMT_BMP_BITFIELDS, 0, 16, 5, 2},
        {FMT_BMP_BITFIELDS, 1, 16, 5, 2},
        {FMT_BMP_BITFIELDS, 1, 32, 5, 2},
        {FMT_BMP_BITFIELDS, 0, 32, 900, 900},
    };
    for (const Case& c : cases) {
        HGLOBAL image = MakeRecord(c.width, c.height, c.bits, 0,
                                   [](int x, int y) { return uint32_t(x * 7 + y * 3); });
        ASSERT_NE(image, nullptr);
        for (const std::string& target : targets) {
            EXPECT_EQ(WritePicture(image, target.c_str(), c.format, c.option, 0), WRITE_FAILED)
                << target << ": format " << c.format << ", " << c.bits << " bits, " << c.width
                << " x " << c.height;
        }
        GlobalFree(image);
    }
}
