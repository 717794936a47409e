// The TIFF reader on files built byte by byte and files encoded by libtiff:
// the record of each layout (bit count, colours used, colour table, pixels)
// in strips and tiles, contiguous and separate planes, CMYK, Y/Cb/Cr, the
// File information text, the orientations, the layouts shown through the
// RGBA image reader instead of not at all, refusals with their messages,
// lying and truncated files, memory shortages and pictures too large.
#include "tiff_test_util.h"
#include "error_message_util.h"
#include "test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/library/tiff_format.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

namespace {
struct ReadResult {
    HGLOBAL image = nullptr;
    std::string text;
    ~ReadResult() {
        if (image) GlobalFree(image);
    }
};

void ReadPath(const std::string& path, ReadResult* r) {
    char text[INFO_TEXT_SIZE] = "untouched";
    r->image = ReadTiff(path.c_str(), nullptr, text, 32).image;
    r->text = text;
}

void Read(const Bytes& file, ReadResult* r) {
    ReadPath(WriteTestFile("read.tif", file), r);
}

// A file row of samples: value(x, sample) for each pixel, packed at bits.
Bytes PackedRow(uint32_t width, int samples, int bits,
                std::function<uint32_t(uint32_t, int)> value) {
    Bytes row((size_t(width) * size_t(samples) * size_t(bits) + 7) / 8, 0);
    size_t index = 0;
    for (uint32_t x = 0; x < width; x++)
        for (int s = 0; s < samples; s++, index++) {
            const uint32_t v = value(x, s);
            if (bits == 16) {
                row[2 * index] = uint8_t(v);
                row[2 * index + 1] = uint8_t(v >> 8);
            } else if (bits == 8) {
                row[index] = uint8_t(v);
            } else {
                const size_t bit = index * size_t(bits);
                row[bit / 8] |= uint8_t(v << (8 - bits - bit % 8));
            }
        }
    return row;
}

std::vector<uint32_t> TableOf(HGLOBAL image) {
    return RecordColors(image);
}

uint32_t Gray(int v) {
    return uint32_t(v) * 0x010101u;
}
} // namespace

// The depth and colour table of each single-sample layout, and its pixels.
TEST(TiffRead, GrayAndPaletteRecords) {
    struct Case {
        int bits, photometric;
        int recordBits;
        std::vector<uint32_t> firstColours; // the table's first entries
        size_t tableSize;
    };
    const Case cases[] = {
        {1, 0, 1, {Gray(255), Gray(0)}, 2},
        {1, 1, 1, {Gray(0), Gray(255)}, 2},
        {4, 0, 4, {Gray(248), Gray(232), Gray(216)}, 16},
        {4, 1, 4, {Gray(8), Gray(24), Gray(40)}, 16},
        {8, 0, 8, {Gray(255), Gray(254)}, 256},
        {8, 1, 8, {Gray(0), Gray(1)}, 256},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, photometric " << c.photometric);
        tifffile::Layout s;
        s.width = 13;
        s.height = 5;
        s.bits = uint16_t(c.bits);
        s.photometric = uint16_t(c.photometric);
        const uint32_t mask = (1u << c.bits) - 1;
        std::vector<Bytes> rows;
        for (uint32_t y = 0; y < s.height; y++)
            rows.push_back(
                PackedRow(s.width, 1, c.bits, [&](uint32_t x, int) { return (x * 7 + y) & mask; }));
        s.chunks = {tifffile::Join(rows)};
        ReadResult r;
        Read(tifffile::Build(s), &r);
        ASSERT_TRUE(r.image);
        BITMAPINFOHEADER h = HeaderOf(r.image);
        EXPECT_EQ(h.biBitCount, c.recordBits);
        EXPECT_EQ(h.biClrUsed, c.tableSize);
        std::vector<uint32_t> table = TableOf(r.image);
        ASSERT_EQ(table.size(), c.tableSize);
        for (size_t i = 0; i < c.firstColours.size(); i++) EXPECT_EQ(table[i], c.firstColours[i]);
        if (c.bits == 4) {
            EXPECT_EQ(table[15], c.photometric ? Gray(248) : Gray(8));
        }
        for (uint32_t y = 0; y < s.height; y++)
            for (uint32_t x = 0; x < s.width; x++)
                EXPECT_EQ(RawPixelAt(r.image, int(x), int(y)), (x * 7 + y) & mask);
    }
}

TEST(TiffRead, ColorMapsScaledOnlyWhenSixteenBit) {
    struct Case {
        std::vector<uint16_t> map; // two reds, two greens, two blues
        uint32_t first, second;
    };
    // 1-bit palette files: 2 entries per component.
    const Case cases[] = {
        {{10, 200, 20, 255, 30, 0}, 0x0A141E, 0xC8FF00},
        {{256, 65535, 0, 32768, 65535, 0}, 0x0000FF, 0xFF7F00},
        {{0x1234, 0xFFFF, 0x00FF, 0x8080, 0x0100, 0x0001}, 0x120000, 0xFF8000},
    };
    for (const Case& c : cases) {
        tifffile::Layout s;
        s.width = 2;
        s.bits = 1;
        s.photometric = 3;
        s.colormap = c.map;
        s.chunks = {{0x40}};
        ReadResult r;
        Read(tifffile::Build(s), &r);
        ASSERT_TRUE(r.image);
        EXPECT_EQ(PixelAt(r.image, 0, 0), c.first);
        EXPECT_EQ(PixelAt(r.image, 1, 0), c.second);
    }
}

// RGB and CMYK in every layout: contiguous or separate planes, strips or tiles.
TEST(TiffRead, ColourLayouts) {
    std::mt19937 rng(1969);
    const uint32_t width = 21, height = 11;
    struct Case {
        int photometric, samples;
        bool separate, tiled;
    };
    std::vector<Case> cases;
    for (int photometric : {2, 5})
        for (int samples : {3, 4})
            for (bool separate : {false, true})
                for (bool tiled : {false, true})
                    if (photometric == 2 || samples == 4)
                        cases.push_back({photometric, samples, separate, tiled});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "photometric " << c.photometric << ", " << c.samples
                     << " samples, separate " << c.separate << ", tiled " << c.tiled);
        // Samples of each pixel, with K = 255 and all-zero pixels among them.
        std::vector<std::vector<uint8_t>> px(size_t(width) * height, std::vector<uint8_t>(4));
        for (size_t i = 0; i < px.size(); i++)
            for (int k = 0; k < 4; k++) px[i][size_t(k)] = uint8_t(rng());
        px[0] = {10, 20, 30, 255};
        px[1] = {0, 0, 0, 0};
        auto sample = [&](uint32_t x, uint32_t y, int k) { return px[y * width + x][size_t(k)]; };
        tifffile::Layout s;
        s.width = width;
        s.height = height;
        s.samples = uint16_t(c.samples);
        s.photometric = uint16_t(c.photometric);
        s.planar = c.separate ? 2 : 1;
        const int planes = c.separate ? c.samples : 1;
        const int perPixel = c.separate ? 1 : c.samples;
        const uint32_t tw = 16, tl = 16;
        if (c.tiled) {
            s.tileWidth = tw;
            s.tileLength = tl;
        }
        for (int p = 0; p < planes; p++) {
            if (!c.tiled) {
                std::vector<Bytes> rows;
                for (uint32_t y = 0; y < height; y++)
                    rows.push_back(PackedRow(width, perPixel, 8, [&](uint32_t x, int k) {
                        return sample(x, y, c.separate ? p : k);
                    }));
                s.chunks.push_back(tifffile::Join(rows));
                continue;
            }
            for (uint32_t ty = 0; ty < height; ty += tl)
                for (uint32_t tx = 0; tx < width; tx += tw) {
                    std::vector<Bytes> rows;
                    for (uint32_t j = 0; j < tl; j++)
                        rows.push_back(PackedRow(tw, perPixel, 8, [&](uint32_t i, int k) {
                            const uint32_t x = tx + i, y = ty + j;
                            return x < width && y < height ? sample(x, y, c.separate ? p : k)
                                                           : 0xEEu;
                        }));
                    s.chunks.push_back(tifffile::Join(rows));
                }
        }
        ReadResult r;
        Read(tifffile::Build(s), &r);
        ASSERT_TRUE(r.image);
        const BITMAPINFOHEADER h = HeaderOf(r.image);
        const int bits = c.photometric == 2 && c.samples == 4 ? 32 : 24;
        ASSERT_EQ(h.biBitCount, bits);
        ASSERT_EQ(h.biWidth, LONG(width));
        const Bytes stored = RecordPixelBytes(r.image);
        const size_t stride = size_t(ImageStride(width, bits));
        for (uint32_t y = 0; y < height; y++)
            for (uint32_t x = 0; x < width; x++) {
                const uint8_t* o = &stored[(height - 1 - y) * stride + x * size_t(bits / 8)];
                uint32_t want[4];
                if (c.photometric == 2) {
                    for (int k = 0; k < 3; k++) want[k] = sample(x, y, 2 - k);
                    want[3] = sample(x, y, 3);
                } else {
                    const uint32_t k = 255u - sample(x, y, 3);
                    for (int j = 0; j < 3; j++) want[j] = (255u - sample(x, y, 2 - j)) * k / 255;
                }
                for (int k = 0; k < bits / 8; k++)
                    ASSERT_EQ(o[k], want[k]) << "pixel " << x << "," << y << " byte " << k;
            }
        if (c.photometric == 5) {
            EXPECT_EQ(PixelAt(r.image, 0, 0), 0x000000u); // K = 255
            EXPECT_EQ(PixelAt(r.image, 1, 0), 0xFFFFFFu); // nothing printed
        }
        // Rows of the last tiles past the picture never reach it.
        for (size_t i = size_t(width) * size_t(bits / 8); i < stride; i++)
            EXPECT_EQ(stored[i], 0) << "padding byte " << i;
    }
}

// Compressed files from libtiff's encoder read as their uncompressed rows,
// with the text naming the compression and (for LZW and Deflate) the predictor.
TEST(TiffRead, CompressionsAndText) {
    const uint32_t width = 37, height = 19;
    std::vector<Bytes> rows;
    for (uint32_t y = 0; y < height; y++)
        rows.push_back(PackedRow(width, 3, 8, [&](uint32_t x, int k) {
            return (x * 5 + y * 3 + uint32_t(k) * 80) & 0xFF;
        }));
    struct Case {
        uint16_t compression, predictor;
        uint32_t tile;
        const char* name;
        bool predictorLine;
    };
    const Case cases[] = {
        {1, 0, 0, "none", false},
        {5, 2, 0, "Lempel-Ziv  & Welch", true},
        {5, 0, 16, "Lempel-Ziv  & Welch", true},
        {32773, 0, 0, "Macintosh RLE (Packbits)", false},
        {32946, 2, 32, "Deflate compression", true},
        {32946, 0, 0, "Deflate compression", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tifffile::Encoded e;
        e.width = width;
        e.height = height;
        e.samples = 3;
        e.photometric = 2;
        e.compression = c.compression;
        e.predictor = c.predictor;
        e.tileSide = c.tile;
        e.rowsPerStrip = 8;
        const std::string path = TestDir() + "/compressed.tif";
        ASSERT_TRUE(tifffile::Encode(path, e, rows));
        ReadResult r;
        ReadPath(path, &r);
        ASSERT_TRUE(r.image);
        for (uint32_t y = 0; y < height; y++)
            for (uint32_t x = 0; x < width; x++) {
                const Bytes& row = rows[y];
                const uint32_t rgb =
                    uint32_t(row[3 * x]) << 16 | row[3 * x + 1] << 8 | row[3 * x + 2];
                ASSERT_EQ(PixelAt(r.image, int(x), int(y)), rgb) << x << "," << y;
            }
        std::string want = "file type: TIFF \nwidth: 37 \nheight: 19 \nphotometric interpretation: "
                           "\n     RGB color model \ncompression: \n     ";
        want += c.name;
        want += " \nbits per sample: 8 \nsamples per pixel: 3 \norientation: 1";
        if (c.predictorLine)
            want += " \ndifferencing predictor: " + std::to_string(c.predictor ? c.predictor : 1);
        want += " \nplanar configuration: 1";
        want += c.tile ? " \ntile width: " + std::to_string(c.tile) +
                             " \ntile height: " + std::to_string(c.tile)
                       : std::string(" \nrows per strip: 8 \nnumber of strips: 3");
        EXPECT_EQ(r.text, want);
    }
}

TEST(TiffRead, StripFileWithoutRowsPerStripIsOneStrip) {
    tifffile::Layout s;
    s.width = 3;
    s.height = 300;
    s.chunks = {Bytes(900, 0x55)};
    ReadResult r;
    Read(tifffile::Build(s), &r);
    ASSERT_TRUE(r.image);
    EXPECT_NE(r.text.find(" \nrows per strip: 300 \nnumber of strips: 1"), std::string::npos)
        << r.text;
    EXPECT_EQ(r.text.find("differencing"), std::string::npos);
    EXPECT_EQ(RawPixelAt(r.image, 2, 299), 0x55u);
}

// JPEG-compressed Y/Cb/Cr comes back as RGB through the codec (direct
// route); LZW-compressed Y/Cb/Cr through the RGBA image reader.
TEST(TiffRead, YCbCrByJpegAndByLzw) {
    const uint32_t width = 32, height = 16;
    std::vector<Bytes> rgb;
    for (uint32_t y = 0; y < height; y++)
        rgb.push_back(PackedRow(width, 3, 8, [&](uint32_t x, int k) {
            const uint32_t colours[3][3] = {{200, 30, 40}, {20, 180, 60}, {40, 50, 220}};
            return colours[(x / 16 + y / 8) % 3][k];
        }));
    EXPECT_EQ(TiffRouteFor(7, 6), TIFF_ROUTE_DIRECT);
    EXPECT_EQ(TiffRouteFor(5, 6), TIFF_ROUTE_RGBA);
    tifffile::Encoded e;
    e.width = width;
    e.height = height;
    e.samples = 3;
    e.photometric = 6;
    e.compression = 7;
    e.jpegRgb = true;
    const std::string path = TestDir() + "/ycbcr.tif";
    ASSERT_TRUE(tifffile::Encode(path, e, rgb));
    ReadResult r;
    ReadPath(path, &r);
    ASSERT_TRUE(r.image);
    EXPECT_EQ(HeaderOf(r.image).biBitCount, 24);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++) {
            // Colour is kept at half resolution and smoothed back: pixels
            // next to a change of colour take some of their neighbour's.
            if (x % 16 < 2 || x % 16 > 13 || y % 8 < 2 || y % 8 > 5) continue;
            const uint32_t got = PixelAt(r.image, int(x), int(y));
            for (int k = 0; k < 3; k++)
                EXPECT_NEAR(int((got >> (16 - 8 * k)) & 0xFF), int(rgb[y][3 * x + size_t(k)]), 12);
        }

    // Y, Cb, Cr samples of gray: Cb = Cr = 128, so the colour is Y itself.
    std::vector<Bytes> ycc;
    for (uint32_t y = 0; y < height; y++)
        ycc.push_back(PackedRow(
            width, 3, 8, [&](uint32_t x, int k) { return k == 0 ? (x * 8 + y) & 0xFF : 128u; }));
    e.compression = 5;
    e.jpegRgb = false;
    ASSERT_TRUE(tifffile::Encode(path, e, ycc));
    ReadResult lzw;
    ReadPath(path, &lzw);
    ASSERT_TRUE(lzw.image);
    EXPECT_EQ(HeaderOf(lzw.image).biBitCount, 24);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++) {
            const uint32_t got = PixelAt(lzw.image, int(x), int(y));
            EXPECT_NEAR(int(got & 0xFF), int((x * 8 + y) & 0xFF), 1) << x << "," << y;
        }
}

// Each Orientation value turns the stored picture upright: the stored 3 x 2
// picture with pixels a b c / d e f, seen as the tag says.
TEST(TiffRead, Orientations) {
    const std::vector<std::vector<uint32_t>> upright = {
        {},
        {1, 2, 3, 4, 5, 6}, // 1: as stored (3 x 2)
        {3, 2, 1, 6, 5, 4}, // 2: mirrored
        {6, 5, 4, 3, 2, 1}, // 3: turned half round
        {4, 5, 6, 1, 2, 3}, // 4: upside down
        {1, 4, 2, 5, 3, 6}, // 5: transposed (2 x 3)
        {4, 1, 5, 2, 6, 3}, // 6: stored rows are the columns, top row on the right
        {6, 3, 5, 2, 4, 1}, // 7
        {3, 6, 2, 5, 1, 4}, // 8
    };
    // 8-bit gray takes the strip route; 16-bit gray the RGBA image reader,
    // which is given the rows as stored and turned by the same rule.
    for (int bits : {8, 16})
        for (int o = 1; o <= 8; o++) {
            SCOPED_TRACE(testing::Message() << bits << " bits, orientation " << o);
            tifffile::Layout s;
            s.width = 3;
            s.height = 2;
            s.orientation = o;
            s.bits = uint16_t(bits);
            s.chunks = {PackedRow(
                6, 1, bits, [&](uint32_t i, int) { return (i + 1) * (bits == 16 ? 257u : 1u); })};
            ReadResult r;
            Read(tifffile::Build(s), &r);
            ASSERT_TRUE(r.image);
            const BITMAPINFOHEADER h = HeaderOf(r.image);
            const int w = o >= 5 ? 2 : 3;
            ASSERT_EQ(h.biWidth, w);
            ASSERT_EQ(h.biHeight, o >= 5 ? 3 : 2);
            for (int i = 0; i < 6; i++)
                EXPECT_EQ(RawPixelAt(r.image, i % w, i / w), upright[size_t(o)][size_t(i)]) << i;
            EXPECT_NE(r.text.find("orientation: " + std::to_string(o)), std::string::npos);
        }
}

TEST(TiffRead, TilesWiderThanThePictureStayInsideIt) {
    // 20 x 3 in 16 x 16 tiles: the second tile column has 12 columns past the
    // picture, filled with 0xFF, and the rows below the picture too.
    tifffile::Layout s;
    s.width = 20;
    s.height = 3;
    s.tileWidth = 16;
    s.tileLength = 16;
    for (uint32_t tx = 0; tx < 2; tx++) {
        Bytes tile(256, 0xFF);
        for (uint32_t j = 0; j < 3; j++)
            for (uint32_t i = 0; i < 16 && tx * 16 + i < 20; i++)
                tile[j * 16 + i] = uint8_t(tx * 16 + i + 10 * j);
        s.chunks.push_back(tile);
    }
    ReadResult r;
    Read(tifffile::Build(s), &r);
    ASSERT_TRUE(r.image);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 20; x++) EXPECT_EQ(RawPixelAt(r.image, x, y), uint32_t(x + 10 * y));
    const Bytes stored = RecordPixelBytes(r.image);
    ASSERT_EQ(stored.size(), 3u * 20u);
    EXPECT_EQ(GlobalSize(r.image), SIZE_T(40 + 1024 + 60));
}

// Sixteen-bit files: RGB words (the writer's own 16-bit pictures) unchanged,
// gray shown as 8-bit gray of the high bytes.
TEST(TiffRead, SixteenBitFiles) {
    tifffile::Layout s;
    s.width = 4;
    s.bits = 16;
    s.photometric = 2;
    const std::vector<uint32_t> words = {0x7FFF, 0x1234, 0x8001, 0x0000};
    s.chunks = {PackedRow(4, 1, 16, [&](uint32_t x, int) { return words[x]; })};
    ReadResult rgb;
    Read(tifffile::Build(s), &rgb);
    ASSERT_TRUE(rgb.image);
    EXPECT_EQ(HeaderOf(rgb.image).biBitCount, 16);
    for (uint32_t x = 0; x < 4; x++) EXPECT_EQ(RawPixelAt(rgb.image, int(x), 0), words[x]);

    for (int photometric : {0, 1}) {
        s.photometric = uint16_t(photometric);
        ReadResult gray;
        Read(tifffile::Build(s), &gray);
        ASSERT_TRUE(gray.image);
        EXPECT_EQ(HeaderOf(gray.image).biBitCount, 8);
        for (uint32_t x = 0; x < 4; x++) {
            const uint32_t high = words[x] >> 8;
            EXPECT_EQ(PixelAt(gray.image, int(x), 0), Gray(int(photometric ? high : 255 - high)));
        }
    }
}

// Layouts the strip and tile route cannot show come through the RGBA image
// reader: 2-bit gray, 16-bit RGB, gray with a second sample.
TEST(TiffRead, OtherDepthsThroughTheRgbaReader) {
    tifffile::Layout two;
    two.width = 4;
    two.bits = 2;
    two.chunks = {{0x1B}}; // 0, 1, 2, 3
    ReadResult r2;
    Read(tifffile::Build(two), &r2);
    ASSERT_TRUE(r2.image);
    EXPECT_EQ(HeaderOf(r2.image).biBitCount, 8);
    for (int x = 0; x < 4; x++) EXPECT_EQ(PixelAt(r2.image, x, 0), Gray(85 * x));

    tifffile::Layout rgb16;
    rgb16.width = 2;
    rgb16.bits = 16;
    rgb16.samples = 3;
    rgb16.photometric = 2;
    const uint32_t samples[6] = {0xFFFF, 0x8080, 0x0101, 0x1212, 0x3434, 0x5656};
    rgb16.chunks = {
        PackedRow(2, 3, 16, [&](uint32_t x, int k) { return samples[3 * x + uint32_t(k)]; })};
    ReadResult r16;
    Read(tifffile::Build(rgb16), &r16);
    ASSERT_TRUE(r16.image);
    EXPECT_EQ(HeaderOf(r16.image).biBitCount, 24);
    EXPECT_EQ(PixelAt(r16.image, 0, 0), 0xFF8001u);
    EXPECT_EQ(PixelAt(r16.image, 1, 0), 0x123456u);
    EXPECT_NE(r16.text.find("bits per sample: 16 \nsamples per pixel: 3"), std::string::npos);

    // Gray with a second sample, in separate planes: the first plane.
    tifffile::Layout planes;
    planes.width = 3;
    planes.samples = 3;
    planes.planar = 2;
    planes.chunks = {{7, 8, 9}, {1, 1, 1}, {2, 2, 2}};
    ReadResult rp;
    Read(tifffile::Build(planes), &rp);
    ASSERT_TRUE(rp.image);
    for (int x = 0; x < 3; x++) EXPECT_EQ(RawPixelAt(rp.image, x, 0), uint32_t(7 + x));
}

// What neither route reads is refused with a message, the text complete.
TEST(TiffRead, Refusals) {
    struct Case {
        const char* what;
        std::function<void(tifffile::Layout&)> edit;
        const char* message; // null: no message
    };
    const Case cases[] = {
        {"12-bit gray", [](tifffile::Layout& s) { s.bits = 12; }, "Unsupported TIFF Format"},
        {"CMY without K",
         [](tifffile::Layout& s) {
             s.photometric = 5;
             s.samples = 3;
         },
         "Unsupported TIFF Format"},
        {"1-bit RGB",
         [](tifffile::Layout& s) {
             s.photometric = 2;
             s.samples = 3;
             s.bits = 1;
         },
         "Unsupported TIFF Format"},
        {"JBIG, not built", [](tifffile::Layout& s) { s.compression = 34661; },
         "Unsupported TIFF Compression"},
        {"old-style JPEG, not built", [](tifffile::Layout& s) { s.compression = 6; },
         "Unsupported TIFF Compression"},
        {"PixarLog, not built", [](tifffile::Layout& s) { s.compression = 32909; },
         "Unsupported TIFF Compression"},
        {"a picture of 2^31 pixels",
         [](tifffile::Layout& s) {
             s.width = 65536;
             s.height = 32768;
         },
         "Picture Too Large"},
        {"LZW data that is not LZW", [](tifffile::Layout& s) { s.compression = 5; },
         "Invalid Picture Data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tifffile::Layout s;
        s.width = 8;
        s.height = 2;
        s.chunks = {Bytes(64, 0xA5)};
        c.edit(s);
        RecordMessages messages;
        ReadResult r;
        Read(tifffile::Build(s), &r);
        EXPECT_FALSE(r.image);
        EXPECT_TRUE(ShowedError(messages, c.message));
        EXPECT_EQ(r.text.substr(0, 17), "file type: TIFF \n");
        EXPECT_NE(r.text.find("planar configuration: 1 \nrows per strip: "), std::string::npos)
            << r.text;
    }

    RecordMessages messages;
    ReadResult notTiff;
    Read(Bytes{'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F}, &notTiff);
    EXPECT_FALSE(notTiff.image);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(notTiff.text, "untouched");
}

// Strips that end early leave the rest of the picture zero; strip offsets
// and counts that point past the file, or a directory whose strips are
// smaller than its rows, never make the reader leave its record.
TEST(TiffRead, ShortAndLyingFiles) {
    tifffile::Layout s;
    s.width = 10;
    s.height = 6;
    s.rowsPerStrip = 2;
    s.chunks = {Bytes(20, 1), Bytes(20, 2), Bytes(7, 3)};
    Bytes file = tifffile::Build(s);
    ReadResult r;
    Read(file, &r);
    ASSERT_TRUE(r.image);
    EXPECT_EQ(RawPixelAt(r.image, 9, 3), 2u);
    EXPECT_EQ(RawPixelAt(r.image, 9, 5), 0u);

    // The file cut in the middle of its last strip.
    file.resize(file.size() - 5);
    ReadResult cut;
    Read(file, &cut);
    ASSERT_TRUE(cut.image);
    EXPECT_EQ(RawPixelAt(cut.image, 0, 0), 1u);

    // Offsets past the end, counts of 4 GB.
    s.extra = {{273, tifffile::kLong, {0x7FFFFFF0, 8, 8}},
               {279, tifffile::kLong, {0xFFFFFFFF, 20, 20}}};
    ReadResult lying;
    RecordMessages messages;
    Read(tifffile::Build(s), &lying);
    if (lying.image) {
        EXPECT_EQ(HeaderOf(lying.image).biWidth, 10);
    }

    // Huge tiles on a small picture are refused before anything is taken.
    tifffile::Layout tiles;
    tiles.width = 4;
    tiles.height = 4;
    tiles.tileWidth = 1u << 20;
    tiles.tileLength = 1u << 20;
    tiles.chunks = {Bytes(16, 9)};
    ReadResult huge;
    Read(tifffile::Build(tiles), &huge);
    EXPECT_FALSE(huge.image);
}

TEST(TiffRead, MemoryShortages) {
    tifffile::Layout s;
    s.width = 5;
    s.height = 5;
    s.chunks = {Bytes(25, 4)};
    const Bytes file = tifffile::Build(s);
    for (int failAt : {1, 2}) {
        SCOPED_TRACE(failAt == 1 ? "the record" : "the row buffer");
        RecordMessages messages;
        FailGlobalAllocAt(failAt);
        ReadResult r;
        Read(file, &r);
        FailGlobalAllocAt(0);
        EXPECT_FALSE(r.image);
        EXPECT_TRUE(ShowedError(messages, "Memory Allocation Error"));
        EXPECT_NE(r.text.find("rows per strip: 5"), std::string::npos);
    }
}

// The loader reads "II" and "MM" files and those behind a MacBinary header.
TEST(TiffRead, ThroughTheLoader) {
    tifffile::Layout s;
    s.width = 2;
    s.height = 2;
    s.orientation = 3;
    s.chunks = {{10, 20, 30, 40}};
    const Bytes file = tifffile::Build(s);
    ASSERT_TRUE(LoadForTest(WriteTestFile("plain.tif", file)));
    EXPECT_EQ(g_orientation, 0);
    EXPECT_EQ(RawPixelAt(g_picture, 0, 0), 40u);
    Bytes wrapped = file;
    wrapped.insert(wrapped.begin(), 128, uint8_t(0));
    ASSERT_TRUE(LoadForTest(WriteTestFile("wrapped.bin", wrapped)));
    EXPECT_EQ(RawPixelAt(g_picture, 1, 1), 10u);
    EXPECT_EQ(std::string(g_infoText).substr(0, 17), "file type: TIFF \n");
}
