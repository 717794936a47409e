// The PNG reader on files built chunk by chunk: the record of every bit depth
// and colour type (bit count, colours used, colour table, pixels), palettes
// cut to the depth or padded with black, 2-bit rows spread into nibbles,
// 16-bit samples, alpha on white, the gamma rules and their text line, and
// damaged files, memory shortages and pictures too large.
#include "png_test_util.h"
#include "error_message_util.h"
#include "test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/library/png_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

using png::Chunk;

namespace {
struct ReadResult {
    HGLOBAL image = nullptr;
    std::string text;
};

ReadResult Read(const Bytes& file) {
    std::string path = WriteTestFile("read.png", file);
    char text[INFO_TEXT_SIZE] = "untouched";
    ReadResult r;
    r.image = ReadPng(path.c_str(), nullptr, text, 32).image;
    r.text = text;
    return r;
}

// Rows of random samples for a file of this depth and colour type; the
// samples of each row are kept unpacked in `values` (top row first).
std::vector<Bytes> RandomRows(std::mt19937& rng, const png::Parts& s,
                              std::vector<std::vector<uint32_t>>* values, uint32_t limit = 0) {
    const int channels = png::Channels(s.type);
    const size_t rowBytes = (size_t(s.width) * size_t(channels) * size_t(s.depth) + 7) / 8;
    std::vector<Bytes> rows;
    values->clear();
    for (uint32_t y = 0; y < s.height; y++) {
        Bytes row(rowBytes, 0);
        std::vector<uint32_t> v;
        for (size_t i = 0; i < size_t(s.width) * size_t(channels); i++) {
            uint32_t sample = rng() & ((s.depth == 16 ? 0xFFFFu : (1u << s.depth) - 1));
            if (limit) sample %= limit;
            png::PutSample(row, s.depth, i, sample);
            v.push_back(sample);
        }
        rows.push_back(row);
        values->push_back(v);
    }
    return rows;
}

std::vector<uint32_t> Ramp(int n, int step, int first) {
    std::vector<uint32_t> t;
    for (int i = 0; i < n; i++) t.push_back(uint32_t(first + step * i) * 0x010101u);
    return t;
}

std::vector<uint32_t> RandomPalette(std::mt19937& rng, int n) {
    std::vector<uint32_t> p;
    for (int i = 0; i < n; i++) p.push_back(rng() & 0xFFFFFF);
    return p;
}
} // namespace

TEST(PngRead, RecordOfEveryDepthAndType) {
    std::mt19937 rng(1858);
    const std::vector<uint32_t> colours = RandomPalette(rng, 256);
    struct Case {
        int depth, type;
        int paletteEntries;
        int bits;
        int colorsUsed;
        std::vector<uint32_t> table; // empty: the file's palette (cut to colorsUsed)
        const char* typeName;
    } cases[] = {
        {1, 0, 0, 1, 2, {0x000000, 0xFFFFFF}, "grayscale \n"},
        {2, 0, 0, 4, 4, {0x080808, 0x484848, 0x888888, 0xC8C8C8}, "grayscale \n"},
        {4, 0, 0, 4, 16, Ramp(16, 16, 8), "grayscale \n"},
        {8, 0, 0, 8, 256, Ramp(256, 1, 0), "grayscale \n"},
        {16, 0, 0, 8, 256, Ramp(256, 1, 0), "grayscale \n"},
        {8, 4, 0, 8, 256, Ramp(256, 1, 0), "grayscale; alpha channel \n"},
        {16, 4, 0, 8, 256, Ramp(256, 1, 0), "grayscale; alpha channel \n"},
        {8, 2, 0, 24, 0, {}, "RGB truecolor \n"},
        {16, 2, 0, 24, 0, {}, "RGB truecolor \n"},
        {8, 6, 0, 24, 0, {}, "RGB; alpha channel \n"},
        {16, 6, 0, 24, 0, {}, "RGB; alpha channel \n"},
        {1, 3, 2, 1, 2, {}, "RGB palette \n"},
        {2, 3, 4, 4, 4, {}, "RGB palette \n"},
        {2, 3, 3, 4, 3, {}, "RGB palette \n"},
        {4, 3, 16, 4, 16, {}, "RGB palette \n"},
        {4, 3, 5, 4, 5, {}, "RGB palette \n"},
        {8, 3, 256, 8, 256, {}, "RGB palette \n"},
        {8, 3, 200, 8, 200, {}, "RGB palette \n"},
    };
    for (const Case& c : cases) {
        for (uint32_t width : {1u, 5u, 8u, 13u}) {
            png::Parts s;
            s.width = width;
            s.height = 3;
            s.depth = c.depth;
            s.type = c.type;
            s.palette.assign(colours.begin(), colours.begin() + c.paletteEntries);
            std::vector<std::vector<uint32_t>> values;
            // Palette indices stay inside the palette.
            s.rows = RandomRows(rng, s, &values, c.type == 3 ? uint32_t(c.paletteEntries) : 0);
            const std::string what =
                "depth " + std::to_string(c.depth) + " type " + std::to_string(c.type) +
                " palette " + std::to_string(c.paletteEntries) + " width " + std::to_string(width);
            RecordMessages messages;
            ReadResult r = Read(png::Build(s));
            ASSERT_NE(r.image, nullptr) << what;
            EXPECT_TRUE(messages.messages.empty()) << what;
            EXPECT_TRUE(IsValidImageRecord(r.image)) << what;
            EXPECT_EQ(r.text, "image type: PNG \nwidth: " + std::to_string(width) +
                                  " \nheight: 3 \nbit depth: " + std::to_string(c.depth) +
                                  " \ncolor type: " + c.typeName + "interlace type: none \n")
                << what;
            BITMAPINFOHEADER h = HeaderOf(r.image);
            EXPECT_EQ(h.biSize, 40u);
            EXPECT_EQ(h.biWidth, int(width));
            EXPECT_EQ(h.biHeight, 3);
            EXPECT_EQ(h.biPlanes, 1);
            EXPECT_EQ(h.biBitCount, c.bits) << what;
            EXPECT_EQ(h.biCompression, 0u);
            EXPECT_EQ(h.biSizeImage, 0u);
            EXPECT_EQ(h.biClrUsed, DWORD(c.colorsUsed)) << what;
            EXPECT_EQ(GlobalSize(r.image),
                      40u + 4u * uint64_t(c.colorsUsed) + ImageStride(width, c.bits) * 3)
                << what;
            std::vector<uint32_t> table = c.table;
            if (c.type == 3) table.assign(colours.begin(), colours.begin() + c.colorsUsed);
            EXPECT_EQ(RecordColors(r.image), table) << what;
            // Alpha pixels go through the compositing, tested on their own.
            const int channels = png::Channels(c.type);
            for (int y = 0; y < 3 && c.type != 4 && c.type != 6; y++) {
                for (uint32_t x = 0; x < width; x++) {
                    const std::vector<uint32_t>& v = values[size_t(y)];
                    const size_t at = size_t(x) * size_t(channels);
                    uint32_t want = v[at];
                    if (c.depth == 16) want >>= 8; // the high byte
                    if (c.type == 2 || c.type == 6) {
                        uint32_t red = v[at], green = v[at + 1], blue = v[at + 2];
                        if (c.depth == 16) {
                            red >>= 8;
                            green >>= 8;
                            blue >>= 8;
                        }
                        want = red << 16 | green << 8 | blue;
                    }
                    ASSERT_EQ(RawPixelAt(r.image, int(x), y), want)
                        << what << " at " << x << "," << y;
                }
            }
            GlobalFree(r.image);
        }
    }
}

TEST(PngRead, PalettesAreCutToTheDepthOrGivenABlackSecondEntry) {
    struct Case {
        int depth;
        std::vector<uint32_t> palette;
        std::vector<uint32_t> table;
    } cases[] = {
        {1, {0x123456}, {0x123456, 0x000000}},
        {1, {0x111111, 0x222222, 0x333333, 0x444444}, {0x111111, 0x222222}},
        {2, {1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4}},
        {4, Ramp(20, 3, 1), Ramp(16, 3, 1)},
        {8, {0xABCDEF}, {0xABCDEF, 0x000000}},
    };
    for (const Case& c : cases) {
        png::Parts s;
        s.width = 4;
        s.depth = c.depth;
        s.type = 3;
        s.palette = c.palette;
        s.rows = {Bytes(size_t(4 * c.depth + 7) / 8, 0)};
        ReadResult r = Read(png::Build(s));
        ASSERT_NE(r.image, nullptr) << c.depth;
        EXPECT_EQ(HeaderOf(r.image).biClrUsed, DWORD(c.table.size())) << c.depth;
        EXPECT_EQ(RecordColors(r.image), c.table) << c.depth;
        GlobalFree(r.image);
    }
}

TEST(PngRead, TwoBitRowsSpreadIntoNibbles) {
    png::Parts s;
    s.width = 5;
    s.height = 2;
    s.depth = 2;
    s.type = 0;
    // Pixels 0 1 2 3 1 / 3 3 0 2 2, four to a byte.
    s.rows = {{0x1B, 0x40}, {0xF2, 0x80}};
    ReadResult r = Read(png::Build(s));
    ASSERT_NE(r.image, nullptr);
    EXPECT_EQ(ImageStride(5, 4), 4u);
    // Bottom row first: 3 bytes of pixels, the rest of the stride zero.
    EXPECT_EQ(RecordPixelBytes(r.image), (Bytes{0x33, 0x02, 0x20, 0, 0x01, 0x23, 0x10, 0}));
    GlobalFree(r.image);
}

TEST(PngRead, AlphaIsCompositedOntoWhite) {
    std::mt19937 rng(1913);
    struct Case {
        const char* what;
        int depth, type;
        bool background; // a bKGD chunk of black: its colour is not used
        std::vector<Chunk> chunks;
        png::Gammas gammas;
    } cases[] = {
        {"gray with alpha", 8, 4, false, {}, png::kNoChunk},
        {"gray with alpha, bKGD, sRGB", 8, 4, true, {Chunk{"sRGB", {0}}}, png::kSrgb},
        {"gray with alpha, gAMA 1.0", 8, 4, false, {png::Gama(100000)}, png::kLinear},
        {"16-bit gray with alpha, sRGB", 16, 4, false, {Chunk{"sRGB", {0}}}, png::kSrgb},
        {"16-bit gray with alpha, bKGD", 16, 4, true, {}, png::kNoChunk},
        {"RGB with alpha, sRGB", 8, 6, false, {Chunk{"sRGB", {0}}}, png::kSrgb},
        {"RGB with alpha, bKGD", 8, 6, true, {}, png::kNoChunk},
        {"RGB with alpha, bKGD, gAMA 1.0", 8, 6, true, {png::Gama(100000)}, png::kLinear},
        {"16-bit RGB with alpha", 16, 6, false, {}, png::kNoChunk},
        {"16-bit RGB with alpha, bKGD, sRGB", 16, 6, true, {Chunk{"sRGB", {0}}}, png::kSrgb},
        {"16-bit RGB with alpha, gAMA 1.0", 16, 6, false, {png::Gama(100000)}, png::kLinear},
    };
    for (const Case& c : cases) {
        png::Parts s;
        s.width = 64;
        s.height = 4;
        s.depth = c.depth;
        s.type = c.type;
        s.early = c.chunks;
        if (c.background) s.late.push_back(Chunk{"bKGD", Bytes(c.type == 4 ? 2 : 6, 0)});
        std::vector<std::vector<uint32_t>> values;
        s.rows = RandomRows(rng, s, &values);
        // Fully transparent and fully opaque pixels among the rest.
        const int channels = png::Channels(c.type);
        const uint32_t max = c.depth == 16 ? 0xFFFF : 0xFF;
        for (uint32_t y = 0; y < s.height; y++) {
            for (uint32_t x = 0; x < 2; x++) {
                size_t i = size_t(x) * size_t(channels) + size_t(channels - 1);
                png::PutSample(s.rows[y], c.depth, i, x ? max : 0);
                values[y][i] = x ? max : 0;
            }
        }
        ReadResult r = Read(png::Build(s));
        ASSERT_NE(r.image, nullptr) << c.what;
        EXPECT_EQ(HeaderOf(r.image).biBitCount, c.type == 4 ? 8 : 24) << c.what;
        for (uint32_t y = 0; y < s.height; y++) {
            for (uint32_t x = 0; x < s.width; x++) {
                const std::vector<uint32_t>& v = values[y];
                const size_t at = size_t(x) * size_t(channels);
                const uint32_t a = v[at + size_t(channels - 1)];
                const uint32_t got = RawPixelAt(r.image, int(x), int(y));
                for (int k = 0; k < (c.type == 4 ? 1 : 3); k++) {
                    const int shift = c.type == 4 ? 0 : 16 - 8 * k;
                    const int component = int((got >> shift) & 0xFF);
                    if (c.depth == 8) {
                        ASSERT_NEAR(component, int(png::OnWhite8(v[at + size_t(k)], a, c.gammas)),
                                    1)
                            << c.what << " at " << x << "," << y << ", alpha " << a;
                    } else {
                        int low = 0, high = 0;
                        png::OnWhite16(v[at + size_t(k)], a, c.gammas, &low, &high);
                        ASSERT_GE(component, low) << c.what << " at " << x << ", alpha " << a;
                        ASSERT_LE(component, high) << c.what << " at " << x << ", alpha " << a;
                    }
                }
            }
        }
        GlobalFree(r.image);
    }
}

TEST(PngRead, GammaRulesAndTheGammaLine) {
    struct Case {
        const char* what;
        int depth, type;
        std::vector<Chunk> chunks;
        double exponent; // applied to the samples; 1: none
        const char* line;
    } cases[] = {
        {"no gamma chunk", 8, 0, {}, 1, ""},
        {"sRGB", 8, 0, {Chunk{"sRGB", {0}}}, 1, ""},
        {"sRGB beside gAMA 1.0", 8, 0, {Chunk{"sRGB", {0}}, png::Gama(100000)}, 1, ""},
        {"gAMA 0.45455", 8, 0, {png::Gama(45455)}, 1, "image gamma: 0.45 "},
        {"gAMA 1.0", 8, 0, {png::Gama(100000)}, 1 / 2.2, "image gamma: 1.00 "},
        {"gAMA 1/1.8 RGB", 8, 2, {png::Gama(55556)}, 1 / (2.2 * 0.55556), "image gamma: 0.56 "},
        {"gAMA 1.0, 4-bit gray", 4, 0, {png::Gama(100000)}, 1, "image gamma: 1.00 "},
        {"gAMA 1.0, 2-bit gray", 2, 0, {png::Gama(100000)}, 1, "image gamma: 1.00 "},
        {"gAMA 1.0, 4-bit palette", 4, 3, {png::Gama(100000)}, 1 / 2.2, "image gamma: 1.00 "},
        {"gAMA 1.0, 8-bit palette", 8, 3, {png::Gama(100000)}, 1 / 2.2, "image gamma: 1.00 "},
    };
    auto corrected = [](uint32_t v, double e) {
        return uint32_t(std::floor(255 * std::pow(v / 255.0, e) + 0.5));
    };
    for (const Case& c : cases) {
        png::Parts s;
        s.width = 256;
        s.height = 1;
        s.depth = c.depth;
        s.type = c.type;
        s.early = c.chunks;
        const int levels = 1 << (c.depth < 8 ? c.depth : 8);
        if (c.type == 3)
            for (int i = 0; i < levels; i++) {
                uint32_t v = uint32_t(i * 255 / (levels - 1));
                s.palette.push_back(v << 16 | (255 - v) << 8 | v / 2);
            }
        Bytes row((size_t(256 * png::Channels(c.type) * c.depth) + 7) / 8, 0);
        for (size_t x = 0; x < 256; x++)
            for (int k = 0; k < png::Channels(c.type); k++)
                png::PutSample(row, c.depth, x * size_t(png::Channels(c.type)) + size_t(k),
                               uint32_t((x + size_t(40 * k)) % size_t(levels)));
        s.rows = {row};
        ReadResult r = Read(png::Build(s));
        ASSERT_NE(r.image, nullptr) << c.what;
        EXPECT_EQ(r.text.substr(r.text.find("interlace type: none \n") + 22), c.line) << c.what;
        for (int x = 0; x < 256; x++) {
            uint32_t got = c.type == 3 ? PixelAt(r.image, x, 0) : RawPixelAt(r.image, x, 0);
            uint32_t want = 0;
            if (c.type == 3) {
                uint32_t entry = s.palette[size_t(x % levels)];
                for (int k = 16; k >= 0; k -= 8)
                    want = want << 8 | corrected((entry >> k) & 0xFF, c.exponent);
            } else {
                for (int k = 0; k < png::Channels(c.type); k++) {
                    uint32_t v = uint32_t((x + 40 * k) % levels);
                    want = want << 8 | (c.depth == 8 ? corrected(v, c.exponent) : v);
                }
            }
            for (int k = 0; k < 24; k += 8)
                ASSERT_NEAR(int((got >> k) & 0xFF), int((want >> k) & 0xFF), 1)
                    << c.what << " at " << x;
        }
        GlobalFree(r.image);
    }
}

TEST(PngRead, DamagedFilesGiveNothing) {
    png::Parts s;
    s.width = 20;
    s.height = 10;
    s.depth = 8;
    s.type = 2;
    s.rows.assign(10, Bytes(60, 0x55));
    const Bytes good = png::Build(s);
    const size_t idat = 8 + 25; // signature, IHDR
    ASSERT_EQ(std::string(good.begin() + long(idat) + 4, good.begin() + long(idat) + 8), "IDAT");

    auto with = [&](size_t at, BYTE v) {
        Bytes b = good;
        b.at(at) = v;
        return b;
    };
    auto ihdr = [](uint32_t w, uint32_t h, int depth, int type) {
        return png::FileOf(
            {png::Ihdr(w, h, depth, type), png::Idat({Bytes(4, 0)}), Chunk{"IEND", {}}});
    };
    const std::string header = "image type: PNG \nwidth: 20 \nheight: 10 \n";
    struct Case {
        const char* what;
        Bytes file;
        std::string text; // what the text holds afterwards
    } cases[] = {
        {"signature only", png::Signature(), "untouched"},
        {"bad signature", with(1, 'Q'), "untouched"},
        {"IHDR CRC", with(8 + 21, BYTE(good[8 + 21] ^ 1)), "untouched"},
        {"IDAT CRC", with(good.size() - 13, BYTE(good[good.size() - 13] ^ 1)), header},
        {"IDAT data", with(idat + 12, BYTE(good[idat + 12] ^ 0xFF)), header},
        {"cut in IHDR", Bytes(good.begin(), good.begin() + 20), "untouched"},
        {"cut in IDAT", Bytes(good.begin(), good.begin() + long(idat) + 20), header},
        {"no IEND", Bytes(good.begin(), good.end() - 12), header},
        {"width 0", ihdr(0, 1, 8, 0), "untouched"},
        {"depth 3", ihdr(1, 1, 3, 0), "untouched"},
        {"colour type 5", ihdr(1, 1, 8, 5), "untouched"},
        {"palette without PLTE", ihdr(1, 1, 8, 3), "untouched"},
        {"16-bit palette", ihdr(1, 1, 16, 3), "untouched"},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        ReadResult r = Read(c.file);
        EXPECT_EQ(r.image, nullptr) << c.what;
        EXPECT_EQ(r.text.substr(0, c.text.size()), c.text) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        if (r.image) GlobalFree(r.image);
    }
}

// Chunks the reader has no use for (text, suggested palettes, profiles and
// the like) are passed over unread: the picture is the one without them. One
// whose length runs past the end of the file leaves nothing, as any chunk cut
// short does (the fuzz regression inputs check that no block of that length
// is asked for).
TEST(PngRead, ChunksTheReaderDoesNotUseArePassedOver) {
    std::mt19937 rng(7);
    png::Parts s;
    s.width = 6;
    s.height = 5;
    s.type = 3;
    s.palette = RandomPalette(rng, 16);
    std::vector<std::vector<uint32_t>> values;
    s.rows = RandomRows(rng, s, &values, 16);
    const ReadResult want = Read(png::Build(s));
    ASSERT_NE(want.image, nullptr);
    auto bytes = [](const std::string& text) { return Bytes(text.begin(), text.end()); };
    const Chunk chunks[] = {
        {"tEXt", bytes(std::string("Title\0Zendra", 12))},
        {"zTXt", bytes(std::string("Comment\0\0\x78\x9c\x01\x02", 12))},
        {"iTXt", bytes(std::string("Author\0\0\0en\0\0Someone", 20))},
        {"sPLT", bytes(std::string("fav\0\x08\x01\x02\x03\x04\x05\x06", 11))},
        {"iCCP", bytes(std::string("sRGB\0\0\x78\x9c\xff", 9))},
        {"pCAL", Bytes(30, 7)},
        {"sCAL", bytes(std::string("\x01"
                                   "1.5\0"
                                   "2.5",
                                   8))},
        {"hIST", Bytes(32, 1)},
        {"eXIf", bytes(std::string("MM\0*\0\0\0\x08\0\0", 10))},
    };
    for (const Chunk& c : chunks) {
        png::Parts with = s;
        with.early = {c};
        RecordMessages messages;
        ReadResult got = Read(png::Build(with));
        ASSERT_NE(got.image, nullptr) << c.type;
        EXPECT_EQ(got.text, want.text) << c.type;
        ASSERT_EQ(GlobalSize(got.image), GlobalSize(want.image)) << c.type;
        EXPECT_EQ(
            0, std::memcmp(GlobalLock(got.image), GlobalLock(want.image), GlobalSize(want.image)))
            << c.type;
        GlobalUnlock(got.image);
        GlobalUnlock(want.image);
        GlobalFree(got.image);
        EXPECT_TRUE(messages.messages.empty()) << c.type;
    }
    for (const char* type : {"tEXt", "sPLT", "iTXt", "zTXt"}) {
        png::Parts with = s;
        with.early = {Chunk{type, bytes("a")}};
        Bytes file = png::Build(with);
        const size_t at = 8 + 25; // the length of the chunk after IHDR
        ASSERT_EQ(std::string(file.begin() + long(at) + 4, file.begin() + long(at) + 8), type);
        file[at] = 0x7A; // about two gigabytes
        RecordMessages messages;
        ReadResult got = Read(file);
        EXPECT_EQ(got.image, nullptr) << type;
        EXPECT_TRUE(messages.messages.empty()) << type;
        if (got.image) GlobalFree(got.image);
    }
    GlobalFree(want.image);
}

TEST(PngRead, NoBlockForThePictureOrTheTwoBitRow) {
    png::Parts s;
    s.width = 6;
    s.height = 2;
    s.depth = 2;
    s.type = 0;
    s.rows = {{0xFF, 0xF0}, {0xFF, 0xF0}};
    const Bytes file = png::Build(s);
    {
        RecordMessages messages;
        FailGlobalAllocAt(1);
        ReadResult r = Read(file);
        FailGlobalAllocAt(0);
        EXPECT_EQ(r.image, nullptr);
        EXPECT_TRUE(ShowedError(messages, "Memory Allocation Error"));
    }
    {
        // Without the row copy the picture comes back with its table and no pixels.
        RecordMessages messages;
        FailGlobalAllocAt(2);
        ReadResult r = Read(file);
        FailGlobalAllocAt(0);
        ASSERT_NE(r.image, nullptr);
        EXPECT_TRUE(ShowedError(messages, "Memory Allocation Error"));
        EXPECT_EQ(RecordColors(r.image),
                  (std::vector<uint32_t>{0x080808, 0x484848, 0x888888, 0xC8C8C8}));
        EXPECT_EQ(RecordPixelBytes(r.image), Bytes(8, 0));
        GlobalFree(r.image);
    }
    {
        RecordMessages messages;
        FailGlobalAllocAt(1);
        ReadResult r = Read(png::FileOf(
            {png::Ihdr(40000, 40000, 8, 2), png::Idat({Bytes(4, 0)}), Chunk{"IEND", {}}}));
        FailGlobalAllocAt(0);
        EXPECT_EQ(r.image, nullptr);
        EXPECT_TRUE(ShowedError(messages, "Picture Too Large")) << "refused before allocating";
        EXPECT_NE(r.text.find("width: 40000 \nheight: 40000"), std::string::npos);
    }
}

TEST(PngRead, MissingFile) {
    RecordMessages messages;
    char text[INFO_TEXT_SIZE] = "untouched";
    EXPECT_EQ(ReadPng((TestDir() + "/no-such.png").c_str(), nullptr, text, 32).image, nullptr);
    EXPECT_STREQ(text, "untouched");
    EXPECT_TRUE(messages.messages.empty());
}

TEST(PngRead, TheLoaderPacksPaletteRecords) {
    png::Parts s;
    s.width = 3;
    s.depth = 8;
    s.type = 3;
    s.palette = {0xFF0000, 0x00FF00, 0x0000FF};
    s.rows = {{2, 1, 0}};
    RecordMessages messages;
    ASSERT_TRUE(LoadForTest(WriteTestFile("loaded.png", png::Build(s))));
    EXPECT_EQ(g_viewKind, KIND_RASTER);
    EXPECT_EQ(g_bitCount, 4) << "three colours fit 4 bits";
    EXPECT_EQ(PixelAt(g_picture, 0, 0), 0x0000FFu);
    EXPECT_EQ(PixelAt(g_picture, 2, 0), 0xFF0000u);
    EXPECT_NE(std::string(g_infoText).find("color type: RGB palette"), std::string::npos);
    EXPECT_TRUE(messages.messages.empty());
}

// A palette file reads as the same drawing saved with an alpha channel (or
// without one, when every entry is opaque): each entry's colour is corrected
// and put onto white exactly as the reader's RGB files are, whatever the
// gamma. The gamma values 0.432 and 0.4775 sit where libpng's two tests of
// significance disagree.
TEST(PngRead, PaletteTransparencyMatchesAnAlphaChannel) {
    std::mt19937 rng(1305);
    struct Case {
        const char* what;
        std::vector<Chunk> chunks;
        int depth;
        size_t alphas; // tRNS entries; 0: no tRNS chunk
        bool opaque;   // every tRNS entry 255
    } cases[] = {
        {"no gamma chunk", {}, 8, 256, false},
        {"sRGB", {Chunk{"sRGB", {0}}}, 8, 256, false},
        {"gAMA 1.0", {png::Gama(100000)}, 8, 256, false},
        {"gAMA 0.45455", {png::Gama(45455)}, 8, 256, false},
        {"gAMA 1/1.8", {png::Gama(55556)}, 8, 256, false},
        {"gAMA 2.5", {png::Gama(250000)}, 8, 256, false},
        {"gAMA 0.432", {png::Gama(43200)}, 8, 256, false},
        {"gAMA 0.4775", {png::Gama(47750)}, 8, 256, false},
        {"short tRNS, gAMA 1.0", {png::Gama(100000)}, 8, 100, false},
        {"4-bit, gAMA 0.7", {png::Gama(70000)}, 4, 9, false},
        {"opaque tRNS, gAMA 0.432", {png::Gama(43200)}, 8, 256, true},
        {"opaque tRNS, gAMA 1.0", {png::Gama(100000)}, 8, 256, true},
        {"no tRNS, gAMA 0.4775", {png::Gama(47750)}, 8, 0, false},
        {"no tRNS, gAMA 2.5", {png::Gama(250000)}, 2, 0, false},
    };
    for (const Case& c : cases) {
        const int entries = 1 << c.depth;
        png::Parts paletted;
        paletted.width = uint32_t(entries);
        paletted.height = 1;
        paletted.depth = c.depth;
        paletted.type = 3;
        paletted.early = c.chunks;
        Bytes alpha;
        for (int i = 0; i < entries; i++) {
            paletted.palette.push_back(rng() & 0xFFFFFF);
            alpha.push_back(c.opaque ? 255 : i == 0 ? 0 : i == 1 ? 255 : BYTE(rng()));
        }
        alpha.resize(c.alphas);
        if (c.alphas) paletted.late.push_back(Chunk{"tRNS", alpha});
        Bytes indices((size_t(entries) * size_t(c.depth) + 7) / 8, 0);
        for (int i = 0; i < entries; i++) png::PutSample(indices, c.depth, size_t(i), uint32_t(i));
        paletted.rows = {indices};

        // The same pixels as RGB with alpha, or RGB when nothing is transparent.
        const bool withAlpha = c.alphas && !c.opaque;
        png::Parts direct = paletted;
        direct.depth = 8;
        direct.type = withAlpha ? 6 : 2;
        direct.palette.clear();
        direct.late.clear();
        Bytes samples;
        for (int i = 0; i < entries; i++) {
            const uint32_t color = paletted.palette[size_t(i)];
            samples.insert(samples.end(), {BYTE(color >> 16), BYTE(color >> 8), BYTE(color)});
            if (withAlpha) samples.push_back(size_t(i) < alpha.size() ? alpha[size_t(i)] : 255);
        }
        direct.rows = {samples};

        ReadResult p = Read(png::Build(paletted));
        ReadResult d = Read(png::Build(direct));
        ASSERT_NE(p.image, nullptr) << c.what;
        ASSERT_NE(d.image, nullptr) << c.what;
        EXPECT_EQ(HeaderOf(p.image).biBitCount, c.depth == 8 ? 8 : 4) << c.what;
        EXPECT_EQ(HeaderOf(p.image).biClrUsed, DWORD(entries)) << c.what;
        for (int x = 0; x < entries; x++)
            ASSERT_EQ(PixelAt(p.image, x, 0), RawPixelAt(d.image, x, 0))
                << c.what << ": entry " << x << ", colour " << std::hex
                << paletted.palette[size_t(x)] << ", alpha " << std::dec
                << (size_t(x) < alpha.size() ? int(alpha[size_t(x)]) : 255);
        EXPECT_EQ(PixelAt(p.image, 0, 0),
                  c.alphas && !c.opaque ? 0xFFFFFFu : RawPixelAt(d.image, 0, 0))
            << c.what;
        GlobalFree(p.image);
        GlobalFree(d.image);
    }
}
