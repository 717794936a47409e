// The JPEG writer: every source depth written and read back, the grayscale
// decision, 5-5-5 components, the progressive scan script against the
// standard one, the quality the writer dispatch gives, and refusals and
// failed writes.
#include "jpeg_test_util.h"
#include "record_util.h"
#include "error_message_util.h"
#include "test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/library/jpeg_format.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
std::string OutPath() {
    return TestDir() + "/written.jpg";
}

// A record of solid 16 x 16 blocks (the codec keeps those nearly exact),
// each block's colour from the table given (palette records) or made up.
HGLOBAL MakeRecord(int width, int height, int bits, const std::vector<uint32_t>& table) {
    return RecordOf(width, height, bits, table, [&](int x, int y) {
        const uint32_t block = uint32_t((x / 16) * 7 + (y / 16) * 3);
        if (bits <= 8) return block % uint32_t(table.size());
        if (bits == 16) return (block * 5 % 32) << 10 | (block * 11 % 32) << 5 | (block * 3 % 32);
        return (block * 37 & 0xFF) | ((block * 91 + 20) & 0xFF) << 8 |
               ((block * 53 + 70) & 0xFF) << 16 | 0x5Au << 24;
    });
}

std::vector<uint32_t> Grays(int n) {
    std::vector<uint32_t> t;
    for (int i = 0; i < n; i++) t.push_back(uint32_t(i * 255 / (n > 1 ? n - 1 : 1)) * 0x010101u);
    return t;
}

struct Written {
    HGLOBAL image = nullptr; // read back
    std::string text;
    Bytes file;
};

Written WriteAndRead(HGLOBAL record, int progressive = 0) {
    Written w;
    std::remove(OutPath().c_str());
    EXPECT_EQ(WriteJpeg(OutPath().c_str(), 85, record, progressive), 1);
    w.file = ReadWholeFile(OutPath());
    char text[INFO_TEXT_SIZE] = "";
    w.image = ReadJpeg(OutPath().c_str(), nullptr, text, 32).image;
    w.text = text;
    return w;
}

int Components(const Bytes& file) {
    size_t sof = jpeg::FindMarker(file, 0xC0);
    if (!sof) sof = jpeg::FindMarker(file, 0xC2);
    return sof ? file.at(sof + 9) : 0;
}

// The colour the writer hands the encoder: 5-bit components times 8.
uint32_t SourceColour(HGLOBAL image, int x, int y) {
    if (HeaderOf(image).biBitCount != 16) return PixelAt(image, x, y);
    uint32_t w = RawPixelAt(image, x, y);
    return ((w >> 10) & 31) << 19 | ((w >> 5) & 31) << 11 | (w & 31) << 3;
}

// The largest component difference inside the solid blocks (the decoder
// blends colour across their edges).
int MaxDifference(HGLOBAL a, HGLOBAL b) {
    BITMAPINFOHEADER h = HeaderOf(a);
    int worst = 0;
    for (int y = 0; y < h.biHeight; y++)
        for (int x = 0; x < h.biWidth; x++) {
            if (x % 16 < 3 || x % 16 > 12 || y % 16 < 3 || y % 16 > 12) continue;
            uint32_t p = SourceColour(a, x, y), q = SourceColour(b, x, y);
            for (int s = 0; s < 24; s += 8) {
                int d = std::abs(int((p >> s) & 0xFF) - int((q >> s) & 0xFF));
                if (d > worst) worst = d;
            }
        }
    return worst;
}
} // namespace

TEST(JpegWrite, EveryDepthReadsBack) {
    const std::vector<uint32_t> colours = {0x102030, 0xF0E0D0, 0x20C040, 0x8050A0,
                                           0x000000, 0xFFFFFF, 0x406080, 0xC08040};
    struct Case {
        const char* what;
        int bits;
        std::vector<uint32_t> table;
        int components;
    } cases[] = {
        {"1-bit black and white", 1, {0x000000, 0xFFFFFF}, 1},
        {"1-bit colours", 1, {0xFF0000, 0x0000FF}, 3},
        {"4-bit grays", 4, Grays(16), 1},
        {"4-bit colours", 4, colours, 3},
        {"8-bit grays", 8, Grays(256), 1},
        {"8-bit colours", 8, colours, 3},
        {"16-bit", 16, {}, 3},
        {"24-bit", 24, {}, 3},
        {"32-bit", 32, {}, 3},
    };
    for (const Case& c : cases) {
        for (int width : {16, 37}) {
            HGLOBAL record = MakeRecord(width, 40, c.bits, c.table);
            Written w = WriteAndRead(record);
            ASSERT_NE(w.image, nullptr) << c.what;
            EXPECT_EQ(Components(w.file), c.components) << c.what;
            BITMAPINFOHEADER h = HeaderOf(w.image);
            EXPECT_EQ(h.biWidth, width) << c.what;
            EXPECT_EQ(h.biHeight, 40) << c.what;
            EXPECT_EQ(h.biBitCount, c.components == 1 ? 8 : 24) << c.what;
            EXPECT_LE(MaxDifference(record, w.image), 6) << c.what << ", width " << width;
            GlobalFree(w.image);
            GlobalFree(record);
        }
    }
}

TEST(JpegWrite, GrayscaleDecision) {
    std::vector<uint32_t> almost = Grays(16);
    almost[9] = 0x808081;
    std::vector<uint32_t> grayFirstTen = Grays(10);
    struct Case {
        const char* what;
        int bits;
        std::vector<uint32_t> table;
        int colorsUsed; // -1: as many as the table
        int components;
    } cases[] = {
        {"4-bit, 16 grays", 4, Grays(16), -1, 1},
        {"4-bit, one of 16 not gray", 4, almost, -1, 3},
        {"4-bit, gray entries used, a colour past them", 4, almost, 9, 1},
        {"8-bit, 10 grays listed", 8, grayFirstTen, -1, 1},
        {"1-bit white and black", 1, {0xFFFFFF, 0x000000}, -1, 1},
        {"1-bit two grays", 1, {0x404040, 0xC0C0C0}, -1, 1},
        {"1-bit red and blue", 1, {0xFF0000, 0x0000FF}, -1, 3},
        {"24-bit", 24, {}, -1, 3},
        {"32-bit", 32, {}, -1, 3},
        {"16-bit", 16, {}, -1, 3},
    };
    for (const Case& c : cases) {
        HGLOBAL record = MakeRecord(20, 20, c.bits, c.table);
        if (c.colorsUsed >= 0)
            EditedRecord(record, [&](BITMAPINFOHEADER* h) { h->biClrUsed = DWORD(c.colorsUsed); });
        Written w = WriteAndRead(record);
        EXPECT_EQ(Components(w.file), c.components) << c.what;
        EXPECT_NE(w.text.find("color components: " + std::to_string(c.components)),
                  std::string::npos)
            << c.what;
        if (w.image) GlobalFree(w.image);
        GlobalFree(record);
    }
}

TEST(JpegWrite, FifteenBitComponentsAreScaledByEight) {
    struct Case {
        unsigned word;
        uint32_t rgb;
    } cases[] = {{0x7FFF, 0xF8F8F8}, {0xFFFF, 0xF8F8F8}, {0x7C00, 0xF80000},
                 {0x03E0, 0x00F800}, {0x001F, 0x0000F8}, {0x4210, 0x808080}};
    for (const Case& c : cases) {
        HGLOBAL record = RecordOf(16, 16, 16, {}, [&](int, int) { return c.word; });
        Written w = WriteAndRead(record);
        ASSERT_NE(w.image, nullptr);
        uint32_t got = PixelAt(w.image, 7, 7);
        for (int s = 0; s < 24; s += 8)
            EXPECT_NEAR(int((got >> s) & 0xFF), int((c.rgb >> s) & 0xFF), 3)
                << std::hex << c.word << " gave " << got;
        GlobalFree(w.image);
        GlobalFree(record);
    }
}

TEST(JpegWrite, ProgressiveChangesOnlyTheScans) {
    for (int bits : {8, 24}) {
        HGLOBAL record = MakeRecord(45, 33, bits, bits == 8 ? Grays(256) : std::vector<uint32_t>{});
        Written standard = WriteAndRead(record, 0);
        Written progressive = WriteAndRead(record, 1);
        ASSERT_NE(standard.image, nullptr);
        ASSERT_NE(progressive.image, nullptr);
        EXPECT_EQ(jpeg::CountMarkers(standard.file, 0xC0), 1) << bits;
        EXPECT_EQ(jpeg::CountMarkers(standard.file, 0xC2), 0) << bits;
        EXPECT_EQ(jpeg::CountMarkers(standard.file, 0xDA), 1) << bits;
        EXPECT_EQ(jpeg::CountMarkers(progressive.file, 0xC0), 0) << bits;
        EXPECT_EQ(jpeg::CountMarkers(progressive.file, 0xC2), 1) << bits;
        // libjpeg's simple script: 6 scans for one component, 10 for three.
        EXPECT_EQ(jpeg::CountMarkers(progressive.file, 0xDA), bits == 8 ? 6 : 10) << bits;
        EXPECT_EQ(standard.text.find("progressive"), std::string::npos);
        EXPECT_NE(progressive.text.find(" \nprogressive file structure"), std::string::npos);
        BITMAPINFOHEADER a = HeaderOf(standard.image), b = HeaderOf(progressive.image);
        EXPECT_EQ(a.biWidth, b.biWidth);
        EXPECT_EQ(a.biHeight, b.biHeight);
        EXPECT_EQ(a.biBitCount, b.biBitCount);
        EXPECT_EQ(GlobalSize(standard.image), GlobalSize(progressive.image));
        EXPECT_LE(MaxDifference(standard.image, progressive.image), 2);
        GlobalFree(standard.image);
        GlobalFree(progressive.image);
        GlobalFree(record);
    }
}

TEST(JpegWrite, TheDispatchWritesQuality85) {
    EXPECT_TRUE(WriterAvailable(FMT_JPEG));
    HGLOBAL record = MakeRecord(16, 16, 24, {});
    std::remove(OutPath().c_str());
    ASSERT_EQ(WritePicture(record, OutPath().c_str(), FMT_JPEG, 0, 0), WRITE_OK);
    Bytes file = ReadWholeFile(OutPath());
    // The first table in zigzag order: libjpeg's luminance table scaled by
    // 30 % (quality 85) and rounded: 16 11 12 14 12 10 16 14 become 5 3 4 4 4 3 5 4.
    size_t dqt = jpeg::FindMarker(file, 0xDB);
    ASSERT_NE(dqt, 0u);
    EXPECT_EQ(file.at(dqt + 4), 0) << "table 0, 8-bit entries";
    const int expected[] = {5, 3, 4, 4, 4, 3, 5, 4};
    for (int i = 0; i < 8; i++) EXPECT_EQ(file.at(dqt + 5 + size_t(i)), expected[i]) << i;
    EXPECT_EQ(jpeg::CountMarkers(file, 0xC0), 1);
    ASSERT_EQ(WritePicture(record, OutPath().c_str(), FMT_JPEG, 1, 0), WRITE_OK);
    EXPECT_EQ(jpeg::CountMarkers(ReadWholeFile(OutPath()), 0xC2), 1) << "option 1: progressive";
    GlobalFree(record);
}

TEST(JpegWrite, RefusalsAndFailedWrites) {
    RecordMessages messages;
    // A 2-bit record: not a bit count the writer knows; no message.
    HGLOBAL twoBits =
        EditedRecord(AllocImageRecord(8, 8, 4, 4), [](BITMAPINFOHEADER* h) { h->biBitCount = 2; });
    EXPECT_EQ(WriteJpeg(OutPath().c_str(), 85, twoBits, 0), 0);
    GlobalFree(twoBits);
    // A record claiming more colours than its block holds.
    HGLOBAL tooMany = EditedRecord(AllocImageRecord(8, 8, 8, 16),
                                   [](BITMAPINFOHEADER* h) { h->biClrUsed = 300; });
    EXPECT_EQ(WriteJpeg(OutPath().c_str(), 85, tooMany, 0), 0);
    GlobalFree(tooMany);
    EXPECT_TRUE(messages.messages.empty());

    HGLOBAL record = MakeRecord(16, 16, 24, {});
    EXPECT_EQ(WriteJpeg((TestDir() + "/no/such/folder/x.jpg").c_str(), 85, record, 0), 0);
#ifndef _WIN32
    EXPECT_EQ(WriteJpeg("/dev/full", 85, record, 0), 0) << "a full disk is a failure";
    EXPECT_EQ(WriteJpeg("/dev/full", 85, record, 1), 0);
#endif
    EXPECT_TRUE(messages.messages.empty());
    FailGlobalAllocAt(1);
    EXPECT_EQ(WriteJpeg(OutPath().c_str(), 85, record, 0), 0);
    FailGlobalAllocAt(0);
    EXPECT_TRUE(ShowedError(messages, "Memory Allocation Error"));
    GlobalFree(record);

    // Wider than JPEG allows: the library's error ends the write.
    HGLOBAL wide = AllocImageRecord(70000, 1, 8, 0);
    EXPECT_EQ(WriteJpeg(OutPath().c_str(), 85, wide, 0), 0);
    GlobalFree(wide);
}
