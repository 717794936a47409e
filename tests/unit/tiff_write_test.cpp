// The TIFF writer: the colour form and tags for every depth and table, the
// rows as libtiff decodes them, round trips through our reader for every
// lossless compression in strips and tiles, the strip and tile geometry,
// JPEG as Y/Cb/Cr, and the failures: fax codecs given colour, a full disk,
// memory shortages, records and paths it must refuse.
#include "tiff_test_util.h"
#include "record_util.h"
#include "test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/library/tiff_format.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
std::string OutPath() {
    return TestDir() + "/written.tif";
}

struct Picture {
    const char* what;
    int bits;
    std::vector<uint32_t> table;
    // The file's form without JPEG.
    uint16_t photometric, samples, fileBits;
};

std::vector<uint32_t> Grays(int n, int step, int first = 0) {
    std::vector<uint32_t> t;
    for (int i = 0; i < n; i++) t.push_back(uint32_t(first + step * i) * 0x010101u);
    return t;
}

std::vector<uint32_t> Colours(int n) {
    std::vector<uint32_t> t;
    for (int i = 0; i < n; i++) t.push_back((uint32_t(i) * 0x9E3779B9u) >> 8);
    return t;
}

const std::vector<Picture>& Pictures() {
    static const std::vector<Picture> pictures = {
        {"1 bit black, white", 1, {0x000000, 0xFFFFFF}, 1, 1, 1},
        {"1 bit white, black", 1, {0xFFFFFF, 0x000000}, 0, 1, 1},
        {"1 bit red, blue", 1, {0xFF0000, 0x0000FF}, 3, 1, 4},
        {"4 bits, four grays", 4, Grays(4, 64), 1, 1, 4},
        {"4 bits, sixteen grays", 4, Grays(16, 16, 8), 1, 1, 4},
        {"4 bits, palette", 4, Colours(16), 3, 1, 4},
        {"8 bits, gray ramp", 8, Grays(256, 1), 1, 1, 8},
        {"8 bits, 200 grays", 8, Grays(200, 1, 30), 1, 1, 8},
        {"8 bits, palette", 8, Colours(256), 3, 1, 8},
        {"16 bits", 16, {}, 2, 1, 16},
        {"24 bits", 24, {}, 2, 3, 8},
        {"32 bits", 32, {}, 2, 4, 8},
    };
    return pictures;
}

// Pixel values that use every colour of the table (or every bit above 8).
HGLOBAL MakeRecord(const Picture& p, int width, int height) {
    return RecordOf(width, height, p.bits, p.table, [&](int x, int y) {
        const uint32_t v = uint32_t(x * 7 + y * 13) * 2654435761u >> 5;
        if (p.bits <= 8) return v % uint32_t(p.table.size());
        if (p.bits == 16) return v & 0x7FFF;
        return p.bits == 24 ? v & 0xFFFFFF : v;
    });
}

// Our reader's view of a file, pixel for pixel, against the record written.
void ExpectSamePixels(HGLOBAL written, HGLOBAL read, bool raw, const std::string& what) {
    const BITMAPINFOHEADER a = HeaderOf(written), b = HeaderOf(read);
    ASSERT_EQ(a.biWidth, b.biWidth) << what;
    ASSERT_EQ(a.biHeight, b.biHeight) << what;
    int wrong = 0;
    for (int y = 0; y < a.biHeight; y++)
        for (int x = 0; x < a.biWidth; x++) {
            const uint32_t want = raw ? RawPixelAt(written, x, y) : PixelAt(written, x, y);
            const uint32_t got = raw ? RawPixelAt(read, x, y) : PixelAt(read, x, y);
            if (want != got && wrong++ < 3)
                ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex << got
                              << ", expected " << want;
        }
}
} // namespace

// Every lossless compression, strips and tiles, every depth and table: the
// tags the file carries, and the pixels our reader gets back (the raw 16-bit
// words and 32-bit pixels, fourth byte included).
TEST(TiffWrite, FormsAndRoundTrips) {
    const int compressions[] = {1, 5, 32773, 32946};
    for (const Picture& p : Pictures())
        for (int compression : compressions)
            for (int tiles : {0, 1}) {
                const std::string what = std::string(p.what) + ", compression " +
                                         std::to_string(compression) + (tiles ? ", tiles" : "");
                SCOPED_TRACE(what);
                HGLOBAL record = MakeRecord(p, 37, 21);
                ASSERT_EQ(WriteTiff(OutPath().c_str(), compression, tiles, record), 1);
                const tifffile::Tags t = tifffile::ReadTags(OutPath());
                ASSERT_TRUE(t.opened);
                EXPECT_EQ(t.width, 37u);
                EXPECT_EQ(t.height, 21u);
                EXPECT_EQ(t.compression, compression);
                EXPECT_EQ(t.photometric, p.photometric);
                EXPECT_EQ(t.samples, p.samples);
                EXPECT_EQ(t.bits, p.fileBits);
                EXPECT_EQ(t.planar, 1);
                EXPECT_EQ(t.orientation, 1);
                EXPECT_FALSE(t.hasExtraSamples);
                const bool predictor = (compression == 5 || compression == 32946) && p.bits > 8;
                EXPECT_EQ(t.predictor, predictor ? 2 : 0);
                EXPECT_EQ(t.hasColormap, p.photometric == 3);
                EXPECT_EQ(t.tiled, tiles == 1);

                char text[INFO_TEXT_SIZE];
                HGLOBAL back = ReadTiff(OutPath().c_str(), nullptr, text, 32).image;
                ASSERT_TRUE(back);
                // The four grays 0, 64, 128, 192 are stored as the 4-bit
                // levels 0, 4, 8, 12, which read back as 8, 72, 136, 200.
                if (std::string(p.what) != "4 bits, four grays")
                    ExpectSamePixels(record, back, p.bits >= 16, what);
                // 16-bit words and 32-bit pixels, fourth bytes included, unchanged.
                if (p.bits >= 16) {
                    EXPECT_EQ(HeaderOf(back).biBitCount, p.bits);
                    EXPECT_TRUE(RecordPixelBytes(back) == RecordPixelBytes(record));
                }
                GlobalFree(back);
                GlobalFree(record);
            }
}

// The rows in the file as libtiff decodes them, for the forms whose rows are
// converted: palette indices widened, gray values, top bits, RGB order.
TEST(TiffWrite, RowsInTheFile) {
    struct Case {
        int bits;
        std::vector<uint32_t> table;
        std::vector<uint32_t> pixels; // raw values of a 4 x 1 picture
        Bytes row;                    // the file's row
    };
    const Case cases[] = {
        {1, {0x000000, 0xFFFFFF}, {1, 0, 1, 1}, {0xB0}},
        {1, {0xFFFFFF, 0x000000}, {1, 0, 1, 1}, {0xB0}},
        {1, {0xFF0000, 0x0000FF}, {1, 0, 1, 1}, {0x10, 0x11}},
        {4, Grays(4, 64), {0, 1, 2, 3}, {0x04, 0x8C}},
        {4, {0xC0C0C0, 0x808080, 0x404040, 0}, {0, 1, 2, 3}, {0xC8, 0x40}},
        {8, Grays(256, 1), {0, 17, 255, 128}, {0, 17, 255, 128}},
        {8, Grays(3, 100, 5), {2, 1, 0, 7}, {205, 105, 5, 0}},
        {8, Colours(256), {0, 17, 255, 128}, {0, 17, 255, 128}},
        {16, {}, {0x7FFF, 0x0001, 0x1234, 0x4000}, {0xFF, 0x7F, 1, 0, 0x34, 0x12, 0, 0x40}},
        {24,
         {},
         {0x010203, 0xFFFEFD, 0, 0x808080},
         {1, 2, 3, 0xFF, 0xFE, 0xFD, 0, 0, 0, 128, 128, 128}},
        {32,
         {},
         {0xA1010203, 0x00FFFEFD, 0x7F000000, 0x12808080},
         {1, 2, 3, 0xA1, 0xFF, 0xFE, 0xFD, 0, 0, 0, 0, 0x7F, 128, 128, 128, 0x12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.table.size() << " colours");
        HGLOBAL record =
            RecordOf(4, 1, c.bits, c.table, [&](int x, int) { return c.pixels[size_t(x)]; });
        for (int tiles : {0, 1}) {
            ASSERT_EQ(WriteTiff(OutPath().c_str(), 1, tiles, record), 1);
            const std::vector<Bytes> rows = tifffile::RawRows(OutPath());
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0], c.row) << "tiles " << tiles;
        }
        GlobalFree(record);
    }
}

TEST(TiffWrite, ColorMaps) {
    HGLOBAL redBlue = RecordOf(3, 2, 1, {0xFF0000, 0x0000FF}, [](int x, int) { return x & 1; });
    ASSERT_EQ(WriteTiff(OutPath().c_str(), 1, 0, redBlue), 1);
    tifffile::Tags t = tifffile::ReadTags(OutPath());
    ASSERT_EQ(t.red.size(), 16u);
    EXPECT_EQ(t.red[0], 65535);
    EXPECT_EQ(t.blue[0], 0);
    EXPECT_EQ(t.red[1], 0);
    EXPECT_EQ(t.blue[1], 65535);
    for (size_t i = 2; i < 16; i++) EXPECT_EQ(t.red[i] | t.green[i] | t.blue[i], 0) << i;
    GlobalFree(redBlue);

    // One colour that is not gray makes an 8-bit picture a palette file.
    std::vector<uint32_t> table = Grays(256, 1);
    table[77] = 0x4D4D4E;
    HGLOBAL almostGray = RecordOf(2, 2, 8, table, [](int x, int y) { return 76 + x + y; });
    ASSERT_EQ(WriteTiff(OutPath().c_str(), 5, 1, almostGray), 1);
    t = tifffile::ReadTags(OutPath());
    EXPECT_EQ(t.photometric, 3);
    EXPECT_EQ(t.predictor, 0);
    ASSERT_EQ(t.red.size(), 256u);
    EXPECT_EQ(t.red[255], 65535);
    EXPECT_EQ(t.blue[77], 0x4E * 257);
    EXPECT_EQ(t.red[1], 257);
    GlobalFree(almostGray);
}

// Strips: the library's default rows per strip, or the height when shorter.
// Tiles: the library's 256 fitted to the picture.
TEST(TiffWrite, Geometry) {
    const Picture& rgb = Pictures()[10];
    HGLOBAL shortPicture = MakeRecord(rgb, 50, 7);
    ASSERT_EQ(WriteTiff(OutPath().c_str(), 1, 0, shortPicture), 1);
    tifffile::Tags t = tifffile::ReadTags(OutPath());
    EXPECT_EQ(t.rowsPerStrip, 7u);
    EXPECT_EQ(t.chunks, 1u);
    GlobalFree(shortPicture);

    // 8192 bytes a strip: 54 rows of 150 bytes, 4 strips for 200 rows.
    HGLOBAL tall = MakeRecord(rgb, 50, 200);
    ASSERT_EQ(WriteTiff(OutPath().c_str(), 5, 0, tall), 1);
    t = tifffile::ReadTags(OutPath());
    EXPECT_EQ(t.rowsPerStrip, 54u);
    EXPECT_EQ(t.chunks, 4u);
    char text[INFO_TEXT_SIZE];
    HGLOBAL back = ReadTiff(OutPath().c_str(), nullptr, text, 32).image;
    ASSERT_TRUE(back);
    ExpectSamePixels(tall, back, true, "four strips");
    GlobalFree(back);
    GlobalFree(tall);

    HGLOBAL tiled = MakeRecord(rgb, 100, 300);
    ASSERT_EQ(WriteTiff(OutPath().c_str(), 32946, 1, tiled), 1);
    t = tifffile::ReadTags(OutPath());
    EXPECT_EQ(t.tileWidth, 112u);
    EXPECT_EQ(t.tileLength, 256u);
    EXPECT_EQ(t.chunks, 2u);
    back = ReadTiff(OutPath().c_str(), nullptr, text, 32).image;
    ASSERT_TRUE(back);
    ExpectSamePixels(tiled, back, true, "100 x 300 in tiles");
    GlobalFree(back);
    GlobalFree(tiled);
}

// JPEG: every depth as Y/Cb/Cr of three 8-bit samples, close to the picture.
TEST(TiffWrite, JpegIsYCbCr) {
    for (const Picture& p : Pictures())
        for (int tiles : {0, 1}) {
            SCOPED_TRACE(testing::Message() << p.what << (tiles ? ", tiles" : ""));
            // Flat 16 x 16 blocks, which the codec keeps nearly exact.
            HGLOBAL record = RecordOf(48, 32, p.bits, p.table, [&](int x, int y) {
                const uint32_t v = uint32_t(x / 16 * 5 + y / 16 * 3) * 2654435761u >> 7;
                if (p.bits <= 8) return v % uint32_t(p.table.size());
                return p.bits == 16 ? v & 0x7FFF : v;
            });
            ASSERT_EQ(WriteTiff(OutPath().c_str(), 7, tiles, record), 1);
            const tifffile::Tags t = tifffile::ReadTags(OutPath());
            EXPECT_EQ(t.photometric, 6);
            EXPECT_EQ(t.samples, 3);
            EXPECT_EQ(t.bits, 8);
            EXPECT_EQ(t.compression, 7);
            EXPECT_FALSE(t.hasColormap);
            char text[INFO_TEXT_SIZE];
            HGLOBAL back = ReadTiff(OutPath().c_str(), nullptr, text, 32).image;
            ASSERT_TRUE(back);
            int worst = 0;
            for (int y = 0; y < 32; y++)
                for (int x = 0; x < 48; x++) {
                    if (x % 16 < 2 || x % 16 > 13 || y % 16 < 2 || y % 16 > 13) continue;
                    const uint32_t a = PixelAt(record, x, y), b = PixelAt(back, x, y);
                    for (int k = 0; k < 24; k += 8) {
                        int d = int((a >> k) & 0xFF) - int((b >> k) & 0xFF);
                        // 5-5-5 components are written as their top bits.
                        if (p.bits == 16) d = int(((a >> k) & 0xF8)) - int((b >> k) & 0xFF);
                        worst = std::max(worst, std::abs(d));
                    }
                }
            EXPECT_LE(worst, 8);
            GlobalFree(back);
            GlobalFree(record);
        }
}

// What the library refuses makes the write fail, and the dispatch says so.
TEST(TiffWrite, Failures) {
    HGLOBAL colour = MakeRecord(Pictures()[10], 16, 16);
    HGLOBAL palette1 = MakeRecord(Pictures()[2], 16, 16);
    HGLOBAL mono = MakeRecord(Pictures()[0], 40, 30);
    for (int compression : {2, 3, 4})
        for (int tiles : {0, 1}) {
            SCOPED_TRACE(testing::Message() << compression << (tiles ? ", tiles" : ""));
            EXPECT_EQ(WriteTiff(OutPath().c_str(), compression, tiles, colour), 0);
            EXPECT_EQ(WriteTiff(OutPath().c_str(), compression, tiles, palette1), 0);
            EXPECT_EQ(WritePicture(colour, OutPath().c_str(), FMT_TIFF, compression, tiles),
                      WRITE_FAILED);
            ASSERT_EQ(WriteTiff(OutPath().c_str(), compression, tiles, mono), 1);
            char text[INFO_TEXT_SIZE];
            HGLOBAL back = ReadTiff(OutPath().c_str(), nullptr, text, 32).image;
            ASSERT_TRUE(back);
            ExpectSamePixels(mono, back, true, "fax round trip");
            GlobalFree(back);
        }
    EXPECT_TRUE(WriterAvailable(FMT_TIFF));
    EXPECT_EQ(WritePicture(mono, OutPath().c_str(), FMT_TIFF, 4, 1), WRITE_OK);

    EXPECT_EQ(WriteTiff(OutPath().c_str(), 1, 0, nullptr), 0);
    EXPECT_EQ(WriteTiff((TestDir() + "/no/such/folder/x.tif").c_str(), 1, 0, colour), 0);
    HGLOBAL twelve = EditedRecord(MakeRecord(Pictures()[10], 4, 4),
                                  [](BITMAPINFOHEADER* h) { h->biBitCount = 12; });
    EXPECT_EQ(WriteTiff(OutPath().c_str(), 1, 0, twelve), 0);
    GlobalFree(twelve);

    // The strip or tile buffer cannot be had.
    for (int tiles : {0, 1}) {
        FailGlobalAllocAt(1);
        EXPECT_EQ(WriteTiff(OutPath().c_str(), 5, tiles, colour), 0);
        FailGlobalAllocAt(0);
    }
#ifndef _WIN32
    // A full disk: every strip is refused.
    EXPECT_EQ(WriteTiff("/dev/full", 1, 0, colour), 0);
    EXPECT_EQ(WriteTiff("/dev/full", 1, 1, colour), 0);
#endif
    GlobalFree(colour);
    GlobalFree(palette1);
    GlobalFree(mono);
}
