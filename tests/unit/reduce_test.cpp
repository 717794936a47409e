// ReduceColors as a whole: flat pictures worked by hand, random pictures
// against the reference mapping, the original-picture slot, refusals and
// every allocation failure, and a picture whose box sums pass 32 bits.
#include "reduce_test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "tools/palettes.h"
#include "tools/reduce.h"
#include "core/pixels.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace {
std::vector<Rgb> FixedPalette(int target) {
    std::vector<RGBQUAD> table(256);
    int k = FillFixedPalette(target, table.data());
    std::vector<Rgb> out;
    for (int i = 0; i < k; i++)
        out.push_back(Rgb{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue});
    return out;
}

std::string Show(const std::vector<Rgb>& colours) {
    std::string s;
    for (const Rgb& c : colours)
        s +=
            "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
    return s;
}

// The bit count PackImageDepth leaves for k colours.
int PackedBits(int k) {
    return k == 2 ? 1 : k <= 16 ? 4 : 8;
}

TEST(RowToRgb, EachBitCount) {
    RGBQUAD table[256];
    for (int i = 0; i < 256; i++) table[i] = RGBQUAD{BYTE(i ^ 0x55), BYTE(255 - i), BYTE(i), 0};
    auto rgb = [&](const std::vector<BYTE>& row, int width, int bits, int count) {
        std::vector<BYTE> out(3 * width, 77);
        RowToRgb(row.data(), width, bits, table, count, out.data());
        std::vector<Rgb> colours;
        for (int x = 0; x < width; x++)
            colours.push_back(Rgb{out[3 * x], out[3 * x + 1], out[3 * x + 2]});
        return Show(colours);
    };
    auto entry = [](int i) { return Rgb{i, 255 - i, i ^ 0x55}; };
    const Rgb black = {0, 0, 0};
    struct Case {
        const char* name;
        std::vector<BYTE> row;
        int width, bits, count;
        std::vector<Rgb> want;
    };
    const Case cases[] = {
        {"1-bit, leftmost in the high bit", {0xA0}, 3, 1, 2, {entry(1), entry(0), entry(1)}},
        {"1-bit, one colour listed", {0x40}, 2, 1, 1, {entry(0), black}},
        {"4-bit, high nibble first", {0x1F, 0x20}, 3, 4, 16, {entry(1), entry(15), entry(2)}},
        {"4-bit, past a short table", {0x1F, 0x20}, 3, 4, 2, {entry(1), black, black}},
        {"8-bit", {0, 5, 255}, 3, 8, 256, {entry(0), entry(5), entry(255)}},
        {"8-bit, past a short table", {0, 5, 6}, 3, 8, 6, {entry(0), entry(5), black}},
        {"16-bit 5-5-5, low three bits zero",
         {0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x00, 0x80, 0x10, 0x42},
         6,
         16,
         0,
         {{248, 248, 248}, {248, 0, 0}, {0, 248, 0}, {0, 0, 248}, black, {128, 128, 128}}},
        {"24-bit blue, green, red", {1, 2, 3, 4, 5, 6}, 2, 24, 0, {{3, 2, 1}, {6, 5, 4}}},
        {"32-bit blue, green, red, unused",
         {1, 2, 3, 99, 4, 5, 6, 99},
         2,
         32,
         0,
         {{3, 2, 1}, {6, 5, 4}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rgb(c.row, c.width, c.bits, c.count), Show(c.want)) << c.name;
}

// Flat pictures: error 0 everywhere once the colour sits on a table entry
// (or, for best colours, the only entry is the cell centre).
TEST(ReduceColors, FlatPictures) {
    struct Case {
        const char* name;
        int bits;
        std::vector<uint32_t> palette;
        uint32_t pixel;
        int target;
        std::vector<Rgb> table; // empty: the fixed palette
        uint32_t index;
    };
    const Case cases[] = {
        {"pure red, 16 best: its cell centre", 24, {}, 0xFF0000, -16, {{252, 2, 4}}, 0},
        {"pure green, 32 best", 32, {}, 0x00FF00, -32, {{4, 254, 4}}, 0},
        // 5-5-5 white expands to (248, 248, 248): green cell 62, centre 250.
        {"16-bit white, 16 best", 16, {}, 0x7FFF, -16, {{252, 250, 252}}, 0},
        {"8-bit, one colour, 256 best", 8, {0x102030, 0xFFFFFF}, 0, -256, {{20, 34, 52}}, 0},
        {"white to black and white", 24, {}, 0xFFFFFF, 2, {}, 0},
        {"black to black and white", 24, {}, 0x000000, 2, {}, 1},
        {"pure red to the 256 standard colours", 24, {}, 0xFF0000, 256, {}, 249},
        {"web colour (51, 102, 153)", 24, {}, 0x336699, 216, {}, 36 + 12 + 3},
        {"dark red to the 16 colours", 24, {}, 0x800000, 16, {}, 1},
        {"1-bit white to black and white", 1, {0x000000, 0xFFFFFF}, 1, 2, {}, 0},
    };
    for (const Case& c : cases) {
        const int width = 5, height = 3;
        HGLOBAL picture = MakeRecord(width, height, c.bits, c.palette,
                                     std::vector<uint32_t>(width * height, c.pixel));
        BITMAPINFOHEADER* in = static_cast<BITMAPINFOHEADER*>(GlobalLock(picture));
        in->biXPelsPerMeter = 1234;
        in->biYPelsPerMeter = 5678;
        in->biSizeImage = 999;
        in->biClrImportant = 3;
        GlobalUnlock(picture);
        HGLOBAL source = picture;
        Bytes before = BlockBytes(picture);
        HGLOBAL original = nullptr;
        ReduceColors(&picture, &original, c.target, KIND_RASTER, false);
        ASSERT_EQ(original, source) << c.name;
        EXPECT_EQ(BlockBytes(original), before) << c.name;
        std::vector<Rgb> table = c.table.empty() ? FixedPalette(c.target) : c.table;
        EXPECT_EQ(Show(TableOf(picture)), Show(table)) << c.name;
        BITMAPINFOHEADER h = HeaderOf(picture);
        EXPECT_EQ(h.biClrUsed, table.size()) << c.name;
        EXPECT_EQ(h.biBitCount, PackedBits(int(table.size()))) << c.name;
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, width);
        EXPECT_EQ(h.biHeight, height);
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biCompression, 0u);
        EXPECT_EQ(h.biXPelsPerMeter, 1234);
        EXPECT_EQ(h.biYPelsPerMeter, 5678);
        EXPECT_EQ(h.biSizeImage, 999u);
        EXPECT_EQ(h.biClrImportant, 3u);
        EXPECT_TRUE(IsValidImageRecord(picture)) << c.name;
        EXPECT_EQ(GlobalSize(picture), size_t(8 * height + 1064)) << c.name;
        EXPECT_EQ(StoredValues(picture), std::vector<uint32_t>(width * height, c.index)) << c.name;
        GlobalFree(picture);
        GlobalFree(original);
    }
}

// Above 8 bits a non-zero biClrUsed still counts entries in front of the
// pixels (the loader drops such tables, but the rule holds for any record).
TEST(ReduceColors, TrueColourPixelsFollowAnyListedEntries) {
    const int width = 3, height = 2;
    const uint64_t stride = ImageStride(width, 24);
    HGLOBAL picture = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + 12 + stride * height);
    BYTE* p = static_cast<BYTE*>(GlobalLock(picture));
    BITMAPINFOHEADER h = {40, width, height, 1, 24, 0, 0, 0, 0, 3, 0};
    std::memcpy(p, &h, 40);
    std::memset(p + 40, 0xEE, 12);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) p[52 + y * stride + 3 * x + 2] = 0xFF; // red
    GlobalUnlock(picture);
    HGLOBAL original = nullptr;
    ReduceColors(&picture, &original, -16, KIND_RASTER, false);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(Show(TableOf(picture)), Show({{252, 2, 4}}));
    GlobalFree(picture);
    GlobalFree(original);
}

// Random pictures of every bit count onto every target: the indices equal the
// reference mapping onto the result's own table; the table is the fixed one
// or at most the wanted number of best colours; the original is untouched.
TEST(ReduceColors, RandomPicturesMatchTheReference) {
    std::mt19937 rng(2024);
    const int sizes[][2] = {{1, 1}, {1, 5}, {6, 1}, {7, 3}, {13, 9}, {32, 17}, {50, 40}};
    const int targets[] = {2, 16, 216, 256, -16, -32, -256};
    int runs = 0;
    for (const auto& size : sizes)
        for (int bits : {1, 4, 8, 16, 24, 32})
            for (int target : targets) {
                const int width = size[0], height = size[1];
                std::vector<uint32_t> palette, pixels;
                int clrUsed = -1;
                if (bits <= 8) {
                    int full = 1 << bits;
                    int listed = 1 + int(rng() % full);
                    if (rng() % 3 == 0) {
                        listed = full;
                        clrUsed = 0; // the full table of the bit count
                    }
                    for (int i = 0; i < listed; i++) palette.push_back(rng() & 0xFFFFFF);
                    // Now and then an index past the listed colours (read as black).
                    for (int i = 0; i < width * height; i++)
                        pixels.push_back(rng() % 8 ? rng() % listed : rng() % full);
                } else {
                    // A few colours, or all kinds.
                    std::vector<uint32_t> few;
                    for (int i = 0; i < 1 + int(rng() % 40); i++) few.push_back(rng());
                    bool any = rng() % 2;
                    uint32_t mask = bits == 16 ? 0xFFFF : 0xFFFFFFFF;
                    for (int i = 0; i < width * height; i++)
                        pixels.push_back((any ? rng() : few[rng() % few.size()]) & mask);
                }
                HGLOBAL picture = MakeRecord(width, height, bits, palette, pixels, clrUsed);
                HGLOBAL source = picture;
                Bytes before = BlockBytes(picture);
                std::vector<Rgb> colours = SourceColours(picture);
                HGLOBAL original = nullptr;
                ReduceColors(&picture, &original, target, KIND_RASTER, false);
                std::string what = std::to_string(width) + "x" + std::to_string(height) + " " +
                                   std::to_string(bits) + "-bit to " + std::to_string(target);
                ASSERT_EQ(original, source) << what;
                ASSERT_NE(picture, original) << what;
                EXPECT_EQ(BlockBytes(original), before) << what;
                std::vector<Rgb> table = TableOf(picture);
                int k = int(table.size());
                if (target > 0) {
                    EXPECT_EQ(Show(table), Show(FixedPalette(target))) << what;
                } else {
                    std::set<int> cells;
                    for (const Rgb& c : colours)
                        cells.insert((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3);
                    EXPECT_EQ(k, std::min(-target, int(cells.size()))) << what;
                }
                BITMAPINFOHEADER h = HeaderOf(picture);
                EXPECT_EQ(int(h.biClrUsed), k) << what;
                EXPECT_EQ(h.biBitCount, PackedBits(k)) << what;
                EXPECT_TRUE(IsValidImageRecord(picture)) << what;
                std::vector<uint32_t> indices = StoredValues(picture);
                for (uint32_t v : indices) ASSERT_LT(v, uint32_t(k)) << what;
                EXPECT_EQ(indices, ReferenceMapping(colours, width, height, table)) << what;
                if (h.biBitCount == 8) {
                    // Row padding and the room for unused entries stay zero.
                    Bytes block = BlockBytes(picture);
                    uint64_t stride = ImageStride(width, 8);
                    for (int y = 0; y < height; y++)
                        for (uint64_t x = width; x < stride; x++)
                            EXPECT_EQ(block[40 + 4 * k + y * stride + x], 0) << what;
                    for (size_t i = 40 + 4 * k + stride * height; i < block.size(); i++)
                        ASSERT_EQ(block[i], 0) << what;
                }
                GlobalFree(picture);
                GlobalFree(original);
                runs++;
            }
    EXPECT_EQ(runs, 7 * 6 * 7);
}

// Each reduction starts again from the original picture.
TEST(ReduceColors, TwoReductionsEqualTheSecondAlone) {
    std::mt19937 rng(7);
    std::vector<uint32_t> pixels;
    for (int i = 0; i < 20 * 11; i++) pixels.push_back(rng() & 0xFFFFFF);
    for (int first : {16, -256, 2}) {
        HGLOBAL twice = MakeRecord(20, 11, 24, {}, pixels);
        HGLOBAL source = twice;
        HGLOBAL once = MakeRecord(20, 11, 24, {}, pixels);
        HGLOBAL twiceOriginal = nullptr, onceOriginal = nullptr;
        ReduceColors(&twice, &twiceOriginal, first, KIND_RASTER, false);
        ReduceColors(&twice, &twiceOriginal, 216, KIND_RASTER, false);
        ReduceColors(&once, &onceOriginal, 216, KIND_RASTER, false);
        EXPECT_EQ(twiceOriginal, source);
        EXPECT_EQ(BlockBytes(twice), BlockBytes(once)) << first;
        EXPECT_EQ(BlockBytes(twiceOriginal), BlockBytes(onceOriginal)) << first;
        GlobalFree(twice);
        GlobalFree(once);
        GlobalFree(twiceOriginal);
        GlobalFree(onceOriginal);
    }
}

TEST(ReduceColors, RefusesWhatItCannotReduce) {
    // Not a raster picture: the message, nothing changes.
    {
        RecordMessages messages;
        HGLOBAL picture = MakeRecord(2, 2, 24, {}, {1, 2, 3, 4});
        HGLOBAL original = MakeRecord(2, 2, 24, {}, {5, 6, 7, 8});
        HGLOBAL p = picture, o = original;
        ReduceColors(&picture, &original, 16, KIND_WMF, true);
        EXPECT_EQ(picture, p);
        EXPECT_EQ(original, o);
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text,
                  "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap");
        EXPECT_EQ(messages.messages[0].caption, "(null)");
        EXPECT_EQ(messages.messages[0].owner, nullptr);
        EXPECT_EQ(messages.messages[0].type, UINT(MB_ICONERROR));
        GlobalFree(picture);
        GlobalFree(original);
    }
    // A bit count the reduction does not take: silently nothing, except that
    // the original picture has become the current one.
    {
        RecordMessages messages;
        HGLOBAL picture = MakeRecord(2, 2, 8, {0, 0xFFFFFF}, {0, 1, 1, 0});
        HGLOBAL original = MakeRecord(2, 2, 8, {0, 0xFFFFFF}, {1, 1, 1, 0});
        BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(original));
        h->biBitCount = 2;
        GlobalUnlock(original);
        HGLOBAL o = original;
        Bytes bytes = BlockBytes(original);
        ReduceColors(&picture, &original, -16, KIND_RASTER, false);
        EXPECT_EQ(picture, o);
        EXPECT_EQ(original, nullptr);
        EXPECT_EQ(BlockBytes(picture), bytes);
        EXPECT_TRUE(messages.messages.empty());
        GlobalFree(picture);
    }
    // A target no colour table holds, and an empty slot: nothing at all.
    for (int target : {0, 3, 17, 255, 257, -257, -1000, INT_MIN}) {
        RecordMessages messages;
        HGLOBAL picture = MakeRecord(2, 2, 24, {}, {1, 2, 3, 4});
        HGLOBAL original = MakeRecord(2, 2, 24, {}, {5, 6, 7, 8});
        HGLOBAL p = picture, o = original;
        ReduceColors(&picture, &original, target, KIND_RASTER, false);
        EXPECT_EQ(picture, p) << target;
        EXPECT_EQ(original, o) << target;
        EXPECT_TRUE(messages.messages.empty());
        GlobalFree(picture);
        GlobalFree(original);
    }
    {
        HGLOBAL picture = nullptr, original = nullptr;
        ReduceColors(&picture, &original, 16, KIND_RASTER, false);
        EXPECT_EQ(picture, nullptr);
        EXPECT_EQ(original, nullptr);
    }
    // A record whose block is shorter than its rows is not read past.
    {
        HGLOBAL picture = MakeRecord(4, 4, 24, {}, std::vector<uint32_t>(16, 0x123456));
        BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(picture));
        h->biHeight = 5;
        GlobalUnlock(picture);
        HGLOBAL p = picture, original = nullptr;
        ReduceColors(&picture, &original, 16, KIND_RASTER, false);
        EXPECT_EQ(picture, p);
        EXPECT_EQ(original, nullptr);
        GlobalFree(picture);
    }
}

// The result block, then each block of the working state (colour map, RGB
// row, histogram, error row, error-limit table, box list for best colours):
// any failure leaves the unreduced picture current and the original slot
// empty. The allocation after those is PackImageDepth's row, whose failure
// only leaves the result unpacked.
TEST(ReduceColors, AllocationFailures) {
    std::mt19937 rng(99);
    std::vector<uint32_t> pixels;
    for (int i = 0; i < 9 * 4; i++) pixels.push_back(rng() % 5 * 0x333333);
    for (int target : {2, 16, 216, 256, -16, -32, -256}) {
        const int blocks = target < 0 ? 7 : 6;
        for (int failAt = 1; failAt <= blocks + 2; failAt++) {
            for (bool reducedBefore : {false, true}) {
                HGLOBAL picture = MakeRecord(9, 4, 24, {}, pixels);
                HGLOBAL original = nullptr;
                if (reducedBefore) ReduceColors(&picture, &original, 2, KIND_RASTER, false);
                HGLOBAL untouched = reducedBefore ? original : picture;
                Bytes bytes = BlockBytes(untouched);
                std::string what = std::to_string(target) + " failing allocation " +
                                   std::to_string(failAt) +
                                   (reducedBefore ? " after a reduction" : "");
                RecordMessages messages;
                FailGlobalAllocAt(failAt);
                ReduceColors(&picture, &original, target, KIND_RASTER, true);
                FailGlobalAllocAt(0);
                if (failAt <= blocks) {
                    ASSERT_EQ(messages.messages.size(), 1u) << what;
                    EXPECT_EQ(messages.messages[0].text, "Insufficient Memory for this Operation.");
                    EXPECT_EQ(messages.messages[0].type, UINT(MB_ICONERROR));
                    EXPECT_EQ(messages.messages[0].owner, nullptr);
                    EXPECT_EQ(picture, untouched) << what;
                    EXPECT_EQ(original, nullptr) << what;
                    EXPECT_EQ(BlockBytes(picture), bytes) << what;
                    EXPECT_EQ(GlobalFlags(picture) & GMEM_LOCKCOUNT, 0u) << what;
                } else {
                    EXPECT_TRUE(messages.messages.empty()) << what;
                    EXPECT_EQ(original, untouched) << what;
                    EXPECT_EQ(BlockBytes(original), bytes) << what;
                    BITMAPINFOHEADER h = HeaderOf(picture);
                    int k = int(h.biClrUsed);
                    int packed = PackedBits(k);
                    EXPECT_EQ(h.biBitCount, failAt == blocks + 1 ? 8 : packed) << what;
                    EXPECT_EQ(GlobalFlags(picture) & GMEM_LOCKCOUNT, 0u) << what;
                    EXPECT_EQ(GlobalFlags(original) & GMEM_LOCKCOUNT, 0u) << what;
                }
                GlobalFree(picture);
                if (original) GlobalFree(original);
            }
        }
    }
}

// 160 full cells in one tight corner, and 32768 cells of one pixel each
// everywhere else. The first split (green) leaves the corner in a box of its
// own; the sparse boxes always hold more cells (while the cut goes by cells)
// and have larger volumes (afterwards), so the corner box is never split
// again. Its colour is the mean of its centres: red 220..252 -> 236, green
// 226..254 -> 240, blue 228..252 -> 240, while its red sum is
// 160 x 65535 x 236, past 2^31.
TEST(ReduceColors, BoxSumsPast32Bits) {
    static_assert(160ull * 65535 * 236 > uint64_t(INT32_MAX), "the red sum passes 31 bits");
    const int width = 4096, height = 2568; // 32768 + 160 x 65536 pixels
    HGLOBAL picture = AllocImageRecord(width, height, 24, 0);
    ASSERT_NE(picture, nullptr);
    BYTE* p = ImagePixels(static_cast<BITMAPINFOHEADER*>(GlobalLock(picture)));
    for (int64_t i = 0; i < int64_t(width) * height; i++, p += 3) {
        int c0, c1, c2;
        if (i < 32768) {
            c0 = int(i >> 10), c1 = int(i >> 5) & 31, c2 = int(i) & 31;
        } else {
            int j = int((i - 32768) % 160);
            c0 = 27 + j / 32, c1 = 56 + j % 32 / 4, c2 = 28 + j % 4;
        }
        p[0] = BYTE(c2 << 3);
        p[1] = BYTE(c1 << 2);
        p[2] = BYTE(c0 << 3);
    }
    GlobalUnlock(picture);
    HGLOBAL original = nullptr;
    ReduceColors(&picture, &original, -16, KIND_RASTER, false);
    ASSERT_NE(original, nullptr);
    std::vector<Rgb> table = TableOf(picture);
    ASSERT_EQ(table.size(), 16u);
    EXPECT_EQ(Show({table[1]}), Show({{236, 240, 240}}));
    GlobalFree(picture);
    GlobalFree(original);
}
} // namespace
