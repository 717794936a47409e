// The JPEG reader on files made at test time: the File information text for
// every colour space, the record's layout (gray ramp, stride, padding, row
// order, blue-green-red bytes), inks of four-component files with and
// without the Adobe marker, two-component files, and the failures: damaged
// and unsupported files, a block that cannot be had, pictures too large.
#include "jpeg_test_util.h"
#include "error_message_util.h"
#include "test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/library/jpeg_format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {
struct ReadResult {
    HGLOBAL image = nullptr;
    std::string text;
};

ReadResult Read(const Bytes& file, bool withText = true) {
    std::string path = WriteTestFile("read.jpg", file);
    char text[INFO_TEXT_SIZE] = "untouched";
    ReadResult r;
    r.image = ReadJpeg(path.c_str(), nullptr, withText ? text : nullptr, 32).image;
    r.text = text;
    return r;
}

// Components within tolerance of 0xRRGGBB.
::testing::AssertionResult Near(uint32_t got, uint32_t want, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        int a = int((got >> shift) & 0xFF), b = int((want >> shift) & 0xFF);
        if (std::abs(a - b) > tolerance)
            return ::testing::AssertionFailure() << std::hex << got << " is not near " << want;
    }
    return ::testing::AssertionSuccess();
}

uint32_t Rgb(int r, int g, int b) {
    return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// The file with a marker of the given length inserted after the start
// marker, of which only present bytes of data are in the file (all of them
// when present is length - 2).
Bytes LongMarker(const Bytes& file, int marker, size_t length, size_t present) {
    Bytes out(file.begin(), file.begin() + 2);
    out.insert(out.end(), {0xFF, BYTE(marker), BYTE(length >> 8), BYTE(length & 0xFF)});
    for (size_t i = 0; i < present; i++) out.push_back(BYTE(i * 7));
    if (present == length - 2) out.insert(out.end(), file.begin() + 2, file.end());
    return out;
}

const char kHead[] = "image type: JPEG \nwidth: 24 \nheight: 20 \ncolor components: ";
} // namespace

TEST(JpegRead, InformationText) {
    struct Case {
        const char* what;
        int components;
        J_COLOR_SPACE input, stored;
        bool progressive, arithmetic;
        const char* tail;
    } cases[] = {
        {"gray", 1, JCS_GRAYSCALE, JCS_GRAYSCALE, false, false, "1 \ncolor space: monochrome"},
        {"Y/Cb/Cr", 3, JCS_RGB, JCS_YCbCr, false, false, "3 \ncolor space: Y/Cb/Cr"},
        {"RGB", 3, JCS_RGB, JCS_RGB, false, false, "3 \ncolor space: red/green/blue"},
        {"CMYK", 4, JCS_CMYK, JCS_CMYK, false, false, "4 \ncolor space: C/M/Y/K"},
        {"YCCK", 4, JCS_CMYK, JCS_YCCK, false, false, "4 \ncolor space: Y/Cb/Cr/K"},
        {"two components", 2, JCS_UNKNOWN, JCS_UNKNOWN, false, false,
         "2 \ncolor space: error/unspecified"},
        {"progressive", 3, JCS_RGB, JCS_YCbCr, true, false,
         "3 \ncolor space: Y/Cb/Cr \nprogressive file structure"},
        {"progressive gray", 1, JCS_GRAYSCALE, JCS_GRAYSCALE, true, false,
         "1 \ncolor space: monochrome \nprogressive file structure"},
        {"arithmetic", 3, JCS_RGB, JCS_YCbCr, false, true, "3 \ncolor space: Y/Cb/Cr"},
    };
    for (const Case& c : cases) {
        jpeg::Settings settings;
        settings.width = 24;
        settings.height = 20;
        settings.components = c.components;
        settings.input = c.input;
        settings.stored = c.stored;
        settings.progressive = c.progressive;
        settings.arithmetic = c.arithmetic;
        RecordMessages messages;
        ReadResult r = Read(jpeg::Make(settings));
        ASSERT_NE(r.image, nullptr) << c.what;
        EXPECT_EQ(r.text, std::string(kHead) + c.tail) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        BITMAPINFOHEADER h = HeaderOf(r.image);
        EXPECT_EQ(h.biBitCount, c.components == 1 ? 8 : 24) << c.what;
        EXPECT_TRUE(IsValidImageRecord(r.image)) << c.what;
        GlobalFree(r.image);
    }
}

TEST(JpegRead, GrayRecordHasTheRamp) {
    jpeg::Settings settings;
    settings.width = 13;
    settings.height = 3;
    settings.components = 1;
    settings.input = settings.stored = JCS_GRAYSCALE;
    ReadResult r = Read(jpeg::Make(settings));
    ASSERT_NE(r.image, nullptr);
    BITMAPINFOHEADER h = HeaderOf(r.image);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 13);
    EXPECT_EQ(h.biHeight, 3);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 0u);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(h.biClrImportant, 0u);
    std::vector<uint32_t> colors = RecordColors(r.image);
    ASSERT_EQ(colors.size(), 256u);
    for (uint32_t i = 0; i < 256; i++) EXPECT_EQ(colors[i], i * 0x010101u) << i;
    EXPECT_EQ(GlobalSize(r.image), 40u + 1024u + 16u * 3u);
    // Gray samples are the indices; quality 100 keeps solid blocks close.
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 13; x++)
            EXPECT_NEAR(int(RawPixelAt(r.image, x, y)), jpeg::BlockSample(x, y, 0), 2);
    GlobalFree(r.image);
}

TEST(JpegRead, ColourRowsAreBlueGreenRedBottomUpAndPadded) {
    struct Case {
        int width, height;
    } cases[] = {{5, 1}, {5, 4}, {1, 1}, {7, 9}, {33, 2}};
    for (const Case& c : cases) {
        jpeg::Settings settings;
        settings.width = c.width;
        settings.height = c.height;
        settings.stored = JCS_RGB; // no colour conversion: samples come back nearly as given
        // Every row its own colour, so that row order shows.
        for (int y = 0; y < c.height; y++)
            for (int x = 0; x < c.width; x++)
                for (int ch = 0; ch < 3; ch++)
                    settings.samples.push_back(uint8_t(10 * y + 70 * ch + 20));
        ReadResult r = Read(jpeg::Make(settings));
        ASSERT_NE(r.image, nullptr);
        const uint64_t stride = ImageStride(c.width, 24);
        if (c.width == 5) {
            EXPECT_EQ(stride, 16u);
        }
        EXPECT_EQ(GlobalSize(r.image), 40u + stride * uint64_t(c.height));
        Bytes pixels = RecordPixelBytes(r.image);
        ASSERT_EQ(pixels.size(), stride * uint64_t(c.height));
        for (int stored = 0; stored < c.height; stored++) {
            const int y = c.height - 1 - stored; // the stored row's place from the top
            const BYTE* row = pixels.data() + stride * uint64_t(stored);
            for (int x = 0; x < c.width; x++) {
                EXPECT_NEAR(row[3 * x], 10 * y + 160, 2) << "blue first";
                EXPECT_NEAR(row[3 * x + 1], 10 * y + 90, 2);
                EXPECT_NEAR(row[3 * x + 2], 10 * y + 20, 2) << "red last";
            }
            for (uint64_t pad = uint64_t(3 * c.width); pad < stride; pad++)
                EXPECT_EQ(row[pad], 0) << "padding of row " << stored;
        }
        GlobalFree(r.image);
    }
}

TEST(JpegRead, WithoutTextTheSamePicture) {
    jpeg::Settings settings;
    settings.progressive = true;
    Bytes file = jpeg::Make(settings);
    ReadResult with = Read(file, true);
    ReadResult without = Read(file, false);
    ASSERT_NE(with.image, nullptr);
    ASSERT_NE(without.image, nullptr);
    EXPECT_EQ(without.text, "untouched");
    EXPECT_EQ(RecordPixelBytes(with.image), RecordPixelBytes(without.image));
    GlobalFree(with.image);
    GlobalFree(without.image);
}

// Inks given as amounts (0 none, 255 full); the Adobe convention stores them
// inverted. Every way of storing them shows the same colours.
TEST(JpegRead, FourComponentInksBecomeRgb) {
    const int width = 32, height = 16;
    struct Ink {
        int c, m, y, k;
    } inks[] = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 128, 255, 0}, {30, 60, 90, 120}};
    struct Case {
        const char* what;
        J_COLOR_SPACE stored;
        bool adobe;    // marker written
        bool inverted; // samples stored as 255 - ink
    } cases[] = {
        {"plain C/M/Y/K", JCS_CMYK, false, false},
        {"Adobe C/M/Y/K", JCS_CMYK, true, true},
        {"Adobe Y/Cb/Cr/K", JCS_YCCK, true, true},
    };
    for (const Case& c : cases) {
        jpeg::Settings settings;
        settings.width = width;
        settings.height = height;
        settings.components = 4;
        settings.input = JCS_CMYK;
        settings.stored = c.stored;
        settings.adobe = c.adobe;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                const Ink& ink = inks[(x / 16) + 2 * (y / 8 % 2)];
                for (int v : {ink.c, ink.m, ink.y, ink.k})
                    settings.samples.push_back(uint8_t(c.inverted ? 255 - v : v));
            }
        RecordMessages messages;
        ReadResult r = Read(jpeg::Make(settings));
        ASSERT_NE(r.image, nullptr) << c.what;
        EXPECT_TRUE(messages.messages.empty());
        BITMAPINFOHEADER h = HeaderOf(r.image);
        EXPECT_EQ(h.biBitCount, 24) << c.what;
        EXPECT_EQ(GlobalSize(r.image), 40u + ImageStride(width, 24) * height) << c.what;
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                const Ink& ink = inks[(x / 16) + 2 * (y / 8 % 2)];
                auto light = [&](int amount) { return (255 - amount) * (255 - ink.k) / 255; };
                EXPECT_TRUE(
                    Near(PixelAt(r.image, x, y), Rgb(light(ink.c), light(ink.m), light(ink.y)), 3))
                    << c.what << " at " << x << "," << y;
            }
        }
        GlobalFree(r.image);
    }
}

TEST(JpegRead, TwoComponentFilesShowTheFirstAsGray) {
    jpeg::Settings settings;
    settings.width = 9;
    settings.height = 5;
    settings.components = 2;
    settings.input = settings.stored = JCS_UNKNOWN;
    for (int i = 0; i < 9 * 5; i++) {
        settings.samples.push_back(200);
        settings.samples.push_back(10);
    }
    ReadResult r = Read(jpeg::Make(settings));
    ASSERT_NE(r.image, nullptr);
    EXPECT_EQ(HeaderOf(r.image).biBitCount, 24);
    EXPECT_EQ(GlobalSize(r.image), 40u + ImageStride(9, 24) * 5);
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 9; x++) EXPECT_TRUE(Near(PixelAt(r.image, x, y), 0xC8C8C8, 1));
    GlobalFree(r.image);
}

TEST(JpegRead, DamagedAndUnsupportedFilesGiveNothing) {
    jpeg::Settings settings;
    settings.width = 24;
    settings.height = 20;
    const Bytes good = jpeg::Make(settings);
    settings.progressive = true;
    const Bytes progressive = jpeg::Make(settings);

    Bytes twelveBits = good; // the sample precision of the frame header
    twelveBits.at(jpeg::FindMarker(good, 0xC0) + 4) = 12;
    Bytes badScan = progressive; // a refinement scan asking for coefficients 0 to 70
    size_t second = jpeg::FindMarker(progressive, 0xDA, jpeg::FindMarker(progressive, 0xDA) + 2);
    ASSERT_NE(second, 0u);
    size_t spectral = second + 4 + 1 + 2 * progressive[second + 4];
    badScan.at(spectral) = 0;
    badScan.at(spectral + 1) = 70;
    jpeg::Settings five;
    five.components = 5;
    five.input = five.stored = JCS_UNKNOWN;
    five.progressive = true; // more than four components need a scan each

    struct Case {
        const char* what;
        Bytes file;
        const char* text; // the text left behind
    } cases[] = {
        {"only the start marker", Bytes{0xFF, 0xD8}, "untouched"},
        {"garbage after the start marker", Bytes{0xFF, 0xD8, 1, 2, 3, 4, 5, 6, 7, 8}, "untouched"},
        {"cut inside the header", Bytes(good.begin(), good.begin() + 100), "untouched"},
        {"12-bit samples", twelveBits, "untouched"},
        {"bad progressive scan", badScan, "image type: JPEG \nwidth: 24 \nheight: 20 \n"},
        {"five components", jpeg::Make(five), "color components: 5"},
        {"a marker running past the end", LongMarker(good, 0xEF, 0xFFFF, 40), "untouched"},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        ReadResult r = Read(c.file);
        EXPECT_EQ(r.image, nullptr) << c.what;
        EXPECT_NE(r.text.find(c.text), std::string::npos) << c.what << ": " << r.text;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        if (r.image) GlobalFree(r.image);
    }
}

TEST(JpegRead, DataEndingEarlyStillGivesThePicture) {
    jpeg::Settings settings;
    settings.width = 64;
    settings.height = 64;
    Bytes file = jpeg::Make(settings);
    const size_t scan = jpeg::FindMarker(file, 0xDA);
    ASSERT_NE(scan, 0u);
    file.resize(scan + (file.size() - scan) / 2); // half of the picture's data
    ReadResult r = Read(file);
    ASSERT_NE(r.image, nullptr) << "a library warning does not stop reading";
    EXPECT_TRUE(Near(
        PixelAt(r.image, 0, 0),
        Rgb(jpeg::BlockSample(0, 0, 0), jpeg::BlockSample(0, 0, 1), jpeg::BlockSample(0, 0, 2)),
        3));
    GlobalFree(r.image);
}

// Markers the reader does not keep are skipped, within the read buffer and
// far beyond it: the picture is the one without them.
TEST(JpegRead, SkippedMarkersLeaveThePictureAsItIs) {
    jpeg::Settings settings;
    settings.width = 40;
    settings.height = 30;
    const Bytes plain = jpeg::Make(settings);
    ReadResult want = Read(plain, false);
    ASSERT_NE(want.image, nullptr);
    const struct {
        int marker;
        size_t length;
    } cases[] = {{0xFE, 20}, {0xFE, 5000}, {0xEF, 0xFFFF}, {0xE3, 4096}};
    for (const auto& c : cases) {
        ReadResult got = Read(LongMarker(plain, c.marker, c.length, c.length - 2), false);
        ASSERT_NE(got.image, nullptr) << c.length;
        ASSERT_EQ(GlobalSize(got.image), GlobalSize(want.image));
        EXPECT_EQ(
            0, std::memcmp(GlobalLock(got.image), GlobalLock(want.image), GlobalSize(want.image)))
            << "marker " << std::hex << c.marker << " of " << std::dec << c.length << " bytes";
        GlobalUnlock(got.image);
        GlobalUnlock(want.image);
        GlobalFree(got.image);
    }
    GlobalFree(want.image);
}

TEST(JpegRead, NoBlockForThePicture) {
    jpeg::Settings settings;
    const Bytes file = jpeg::Make(settings);
    {
        RecordMessages messages;
        FailGlobalAllocAt(1);
        ReadResult r = Read(file);
        FailGlobalAllocAt(0);
        EXPECT_EQ(r.image, nullptr);
        EXPECT_EQ(r.text, "no file selected");
        EXPECT_TRUE(ShowedError(messages, "Memory Allocation Error"));
    }
    {
        // 60000 x 60000 colour pixels are far past the picture limit: refused
        // before anything is allocated.
        Bytes huge = file;
        size_t sof = jpeg::FindMarker(huge, 0xC0);
        ASSERT_NE(sof, 0u);
        for (size_t at : {sof + 5, sof + 7}) {
            huge.at(at) = BYTE(60000 >> 8);
            huge.at(at + 1) = BYTE(60000 & 0xFF);
        }
        RecordMessages messages;
        FailGlobalAllocAt(1);
        ReadResult r = Read(huge);
        FailGlobalAllocAt(0);
        EXPECT_EQ(r.image, nullptr);
        EXPECT_TRUE(ShowedError(messages, "Picture Too Large"));
        EXPECT_NE(r.text.find("width: 60000 \nheight: 60000"), std::string::npos) << r.text;
    }
}

TEST(JpegRead, MissingFile) {
    RecordMessages messages;
    char text[INFO_TEXT_SIZE] = "untouched";
    EXPECT_EQ(ReadJpeg((TestDir() + "/no-such.jpg").c_str(), nullptr, text, 32).image, nullptr);
    EXPECT_STREQ(text, "untouched");
    EXPECT_TRUE(messages.messages.empty());
}
