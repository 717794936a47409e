// The WebP reader and writer: round trips of every record depth through both
// writers, alpha composited onto white, edge sizes, the File information
// text, damaged files refused with a message, and the loader's detection.
// Files with alpha are made with libwebp's own lossless encoder, whose pixels
// come back exactly.
#include "unit/record_util.h"
#include "unit/test_util.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/pixels.h"
#include "core/state.h"
#include "core/text.h"
#include "formats/library/webp_format.h"

#include <webp/encode.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {
// A record's pixels as 0xRRGGBB, top row first.
std::vector<uint32_t> Colours(HGLOBAL image) {
    const BITMAPINFOHEADER h = HeaderOf(image);
    std::vector<uint32_t> out;
    for (int y = 0; y < h.biHeight; y++)
        for (int x = 0; x < h.biWidth; x++) out.push_back(PixelAt(image, x, y));
    return out;
}

int Channel(uint32_t c, int shift) {
    return int((c >> shift) & 0xFF);
}

int MaxDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    int most = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++)
        for (int shift : {0, 8, 16}) {
            int d = std::abs(Channel(a[i], shift) - Channel(b[i], shift));
            if (d > most) most = d;
        }
    return most;
}

// A smooth colour field: what lossy compression is made for.
uint32_t Smooth(int x, int y) {
    return uint32_t((40 + 5 * x) << 16 | (60 + 3 * y) << 8 | (200 - 2 * x - y));
}

HGLOBAL Read(const std::string& path, char* text) {
    text[0] = 0;
    return ReadWebp(path.c_str(), nullptr, text, 32).image;
}

// A lossless file of blue, green, red, alpha pixels made by libwebp directly.
std::string LosslessBgraFile(const std::string& name, int width, int height, const Bytes& bgra) {
    uint8_t* encoded = nullptr;
    size_t size = WebPEncodeLosslessBGRA(bgra.data(), width, height, 4 * width, &encoded);
    EXPECT_GT(size, 0u);
    Bytes file(encoded, encoded + size);
    WebPFree(encoded);
    return WriteTestFile(name, file);
}
} // namespace

// Every depth a record has, in both writers: lossless gives back the colours
// exactly, lossy at 85 stays within 24 of each channel on a smooth picture
// (its 4:2:0 chroma and quantisation move a smooth field by a few steps; 24
// leaves room while still catching a swapped or shifted channel).
TEST(Webp, RoundTripsEveryDepthThroughBothWriters) {
    const std::vector<uint32_t> table = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                         0x0000FF, 0x808080, 0x123456, 0xFEDCBA};
    struct Case {
        int bits, width, height;
    } cases[] = {{1, 1, 1},  {1, 9, 3},  {4, 5, 7},    {8, 17, 4},
                 {16, 6, 6}, {24, 1, 1}, {24, 33, 17}, {32, 8, 3}};
    for (const Case& c : cases) {
        HGLOBAL source = nullptr;
        if (c.bits <= 8)
            source = RecordOf(c.width, c.height, c.bits,
                              c.bits == 1 ? std::vector<uint32_t>{0x102030, 0xF0E0D0} : table,
                              [&](int x, int y) {
                                  return uint32_t(x * 3 + y) % (c.bits == 1 ? 2 : table.size());
                              });
        else if (c.bits == 16)
            source = RecordOf(c.width, c.height, 16, {},
                              [](int x, int y) { return uint32_t(x << 10 | y << 5 | (x + y)); });
        else
            source = RecordOf(c.width, c.height, c.bits, {}, Smooth);
        std::vector<uint32_t> want = Colours(source);
        // Five-bit channels are written scaled by a shift, as every writer does.
        if (c.bits == 16)
            for (uint32_t& w : want) w &= 0xF8F8F8;
        for (int lossless : {1, 0}) {
            SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.width << " x " << c.height
                                            << (lossless ? ", lossless" : ", lossy"));
            std::string path = TestDir() + "/round.webp";
            ASSERT_EQ(WriteWebp(path.c_str(), source, 85, lossless), 1);
            char text[INFO_TEXT_SIZE];
            HGLOBAL back = Read(path, text);
            ASSERT_NE(back, nullptr);
            EXPECT_EQ(HeaderOf(back).biBitCount, 24);
            EXPECT_EQ(HeaderOf(back).biWidth, c.width);
            EXPECT_EQ(HeaderOf(back).biHeight, c.height);
            if (lossless) {
                EXPECT_EQ(Colours(back), want);
            } else if (c.bits >= 24) {
                EXPECT_LE(MaxDifference(Colours(back), want), 24);
            }
            GlobalFree(back);
        }
        GlobalFree(source);
    }
}

// Each channel c of alpha a becomes (c a + 255 (255 - a)) / 255, rounded.
TEST(Webp, AlphaIsCompositedOntoWhite) {
    struct Pixel {
        BYTE value, alpha, want;
    } pixels[] = {{0, 128, 127}, {200, 51, 244}, {255, 0, 255}, {0, 0, 255},
                  {10, 255, 10}, {100, 1, 254},  {1, 254, 2},   {77, 255, 77}};
    const int width = int(sizeof pixels / sizeof pixels[0]);
    Bytes bgra;
    for (const Pixel& p : pixels) {
        // Blue carries the value, green the value's complement, red 0.
        bgra.insert(bgra.end(), {p.value, BYTE(255 - p.value), 0, p.alpha});
    }
    std::string path = LosslessBgraFile("alpha.webp", width, 1, bgra);
    char text[INFO_TEXT_SIZE];
    HGLOBAL image = Read(path, text);
    ASSERT_NE(image, nullptr);
    for (int x = 0; x < width; x++) {
        const Pixel& p = pixels[x];
        const int green = (255 - p.value) * p.alpha + 255 * (255 - p.alpha);
        const int red = 255 * (255 - p.alpha);
        EXPECT_EQ(PixelAt(image, x, 0),
                  uint32_t((red + 127) / 255) << 16 | uint32_t((green + 127) / 255) << 8 | p.want)
            << "pixel " << x;
    }
    GlobalFree(image);
    EXPECT_STREQ(text, "image type: WebP \nwidth: 8 \nheight: 1 \ncompression: lossless \n"
                       "alpha channel: yes");
}

TEST(Webp, InformationTextOfALossyFile) {
    HGLOBAL source = RecordOf(20, 10, 24, {}, Smooth);
    std::string path = TestDir() + "/lossy.webp";
    ASSERT_EQ(WriteWebp(path.c_str(), source, 85, 0), 1);
    GlobalFree(source);
    char text[INFO_TEXT_SIZE];
    HGLOBAL image = Read(path, text);
    ASSERT_NE(image, nullptr);
    GlobalFree(image);
    EXPECT_STREQ(text, "image type: WebP \nwidth: 20 \nheight: 10 \ncompression: lossy \n"
                       "alpha channel: no");
}

// WebP holds at most 16383 x 16383: the writer refuses more, without a file;
// a picture of the greatest width goes through.
TEST(Webp, EdgeSizes) {
    for (int width : {16383, 16384}) {
        SCOPED_TRACE(width);
        HGLOBAL wide = RecordOf(width, 1, 8, {0x000000, 0xFFFFFF},
                                [](int x, int) { return uint32_t(x % 3 == 0); });
        ASSERT_NE(wide, nullptr);
        std::string path = TestDir() + "/wide" + std::to_string(width) + ".webp";
        RecordMessages box;
        const int written = WriteWebp(path.c_str(), wide, 85, 1);
        EXPECT_TRUE(box.messages.empty());
        if (width == 16384) {
            EXPECT_EQ(written, 0);
            EXPECT_FALSE(FileExists(path));
        } else {
            ASSERT_EQ(written, 1);
            char text[INFO_TEXT_SIZE];
            HGLOBAL back = Read(path, text);
            ASSERT_NE(back, nullptr);
            EXPECT_EQ(Colours(back), Colours(wide));
            GlobalFree(back);
        }
        GlobalFree(wide);
    }
}

// Damaged files: every truncation of a lossy and a lossless file, a header
// claiming a larger picture than its data, and bytes changed throughout, give
// either a picture of the file's size or null after "Invalid Picture Data";
// never a crash, never silence.
TEST(Webp, DamagedFilesAreRefusedWithAMessage) {
    HGLOBAL source = RecordOf(24, 16, 24, {}, Smooth);
    for (int lossless : {0, 1}) {
        std::string path = TestDir() + "/whole.webp";
        ASSERT_EQ(WriteWebp(path.c_str(), source, 85, lossless), 1);
        const Bytes whole = ReadWholeFile(path);
        std::vector<Bytes> damaged;
        for (size_t n : {size_t(0), size_t(4), size_t(12), size_t(20), size_t(30), whole.size() / 2,
                         whole.size() - 1})
            damaged.push_back(Bytes(whole.begin(), whole.begin() + long(n)));
        Bytes flipped = whole;
        for (size_t i = 12; i < flipped.size(); i += 7) flipped[i] ^= 0x5A;
        damaged.push_back(flipped);
        for (size_t i = 0; i < damaged.size(); i++) {
            SCOPED_TRACE(testing::Message() << (lossless ? "lossless" : "lossy") << " case " << i
                                            << ", " << damaged[i].size() << " bytes");
            std::string name = WriteTestFile("damaged.webp", damaged[i]);
            RecordMessages box;
            char text[INFO_TEXT_SIZE];
            HGLOBAL image = Read(name, text);
            if (image) {
                EXPECT_EQ(HeaderOf(image).biWidth, 24);
                GlobalFree(image);
            } else {
                ASSERT_EQ(box.messages.size(), 1u);
                EXPECT_EQ(box.messages[0].text, "Invalid Picture Data");
            }
            if (i < 7) {
                EXPECT_EQ(image, nullptr) << "a truncated file is not shown";
            }
        }
    }
    GlobalFree(source);
}

// The loader finds WebP by its RIFF form, whatever the name, and shows the
// picture; a RIFF file of another form is no WebP.
TEST(Webp, TheLoaderReadsWebpByItsContent) {
    HGLOBAL source = RecordOf(5, 4, 24, {}, Smooth);
    std::string path = TestDir() + "/picture.dat";
    ASSERT_EQ(WriteWebp(path.c_str(), source, 85, 1), 1);
    ASSERT_TRUE(LoadForTest(path));
    EXPECT_EQ(Colours(g_picture), Colours(source));
    EXPECT_EQ(std::string(g_infoText).rfind("image type: WebP \nwidth: 5 \n", 0), 0u);
    GlobalFree(source);
}
