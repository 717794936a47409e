// Rotations and mirrors: pixel placement, layouts of the turned records, the
// orientation word, RestoreOrientation, and the refusals.
#include "unit/transform_test_util.h"

#include "core/pixels.h"
#include "core/state.h"
#include "core/transform.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
const int kBitCounts[] = {1, 4, 8, 16, 24, 32};
const int kAllOperations[] = {TRANSFORM_ROTATE_90, TRANSFORM_ROTATE_180, TRANSFORM_ROTATE_270,
                              TRANSFORM_FLIP_LR,   TRANSFORM_FLIP_TB,    TRANSFORM_INVERT};

void Apply(HGLOBAL* picture, const std::vector<int>& operations, int* word) {
    for (int op : operations) TransformPicture(picture, op, KIND_RASTER, word);
}
} // namespace

TEST(TransformGeometry, TurnsAndMirrorsUndoThemselves) {
    const std::vector<std::vector<int>> sequences = {
        {90, 90, 90, 90}, {270, 270, 270, 270}, {90, 270},    {270, 90}, {180, 180}, {-1, -1},
        {-2, -2},         {-1, -2, 180},        {90, 180, 90}};
    const int sizes[][2] = {{1, 1}, {3, 2}, {5, 7}, {9, 3}, {10, 4}, {13, 1}, {1, 6}, {17, 5}};
    for (int bits : kBitCounts) {
        for (const auto& size : sizes) {
            HGLOBAL picture = PatternPicture(size[0], size[1], bits);
            ASSERT_NE(picture, nullptr);
            const Bytes before = RecordBytes(picture);
            for (const auto& sequence : sequences) {
                int word = 0;
                Apply(&picture, sequence, &word);
                EXPECT_EQ(word, 0) << bits << " bits " << size[0] << "x" << size[1];
                EXPECT_EQ(RecordBytes(picture), before)
                    << bits << " bits " << size[0] << "x" << size[1] << " first op " << sequence[0];
                EXPECT_TRUE(IsValidImageRecord(picture));
            }
            GlobalFree(picture);
        }
    }
}

TEST(TransformGeometry, QuarterTurnsOfThreeByTwo) {
    // Top row a b c, bottom row d e f.
    const uint32_t a = 1, b = 2, c = 3, d = 4, e = 5, f = 6;
    const uint32_t source[2][3] = {{a, b, c}, {d, e, f}};
    struct Case {
        int operation;
        uint32_t expected[3][2]; // 2 wide, 3 high, top row first
    } cases[] = {
        {TRANSFORM_ROTATE_90, {{d, a}, {e, b}, {f, c}}},
        {TRANSFORM_ROTATE_270, {{c, f}, {b, e}, {a, d}}},
    };
    for (int bits : {4, 8, 16, 24, 32}) {
        for (const Case& k : cases) {
            HGLOBAL picture = PatternPicture(3, 2, bits);
            for (int y = 0; y < 2; y++)
                for (int x = 0; x < 3; x++) SetRawPixel(picture, x, y, source[y][x]);
            int word = 0;
            TransformPicture(&picture, k.operation, KIND_RASTER, &word);
            BITMAPINFOHEADER h = HeaderOf(picture);
            ASSERT_EQ(h.biWidth, 2);
            ASSERT_EQ(h.biHeight, 3);
            for (int y = 0; y < 3; y++)
                for (int x = 0; x < 2; x++)
                    EXPECT_EQ(RawPixelAt(picture, x, y), k.expected[y][x])
                        << bits << " bits, op " << k.operation << " at " << x << "," << y;
            GlobalFree(picture);
        }
    }
    // 1-bit: only the pixel b is set.
    for (const Case& k : cases) {
        HGLOBAL picture = AllocImageRecord(3, 2, 1, 2);
        SetRawPixel(picture, 1, 0, 1);
        int word = 0;
        TransformPicture(&picture, k.operation, KIND_RASTER, &word);
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 2; x++)
                EXPECT_EQ(RawPixelAt(picture, x, y), k.expected[y][x] == b ? 1u : 0u);
        GlobalFree(picture);
    }
}

TEST(TransformGeometry, PlacementRuleOnLargerPictures) {
    // Rotate 90 sends (X, Y) to (H-1-Y, X); rotate 270 to (Y, W-1-X); the half
    // turn to (W-1-X, H-1-Y); mirrors to (W-1-X, Y) and (X, H-1-Y).
    const int w = 37, h = 6;
    for (int bits : kBitCounts) {
        for (int op : {90, 270, 180, -1, -2}) {
            HGLOBAL original = PatternPicture(w, h, bits);
            HGLOBAL picture = PatternPicture(w, h, bits);
            int word = 0;
            TransformPicture(&picture, op, KIND_RASTER, &word);
            BITMAPINFOHEADER turned = HeaderOf(picture);
            bool quarter = op == 90 || op == 270;
            ASSERT_EQ(turned.biWidth, quarter ? h : w);
            ASSERT_EQ(turned.biHeight, quarter ? w : h);
            int wrong = 0;
            for (int y = 0; y < h; y++) {
                for (int x = 0; x < w; x++) {
                    int nx = op == 90 ? h - 1 - y : op == 270 ? y : op == -2 ? x : w - 1 - x;
                    int ny = op == 90 ? x : op == 270 ? w - 1 - x : op == -1 ? y : h - 1 - y;
                    if (RawPixelAt(picture, nx, ny) != RawPixelAt(original, x, y)) wrong++;
                }
            }
            EXPECT_EQ(wrong, 0) << bits << " bits, op " << op;
            GlobalFree(original);
            GlobalFree(picture);
        }
    }
}

TEST(TransformGeometry, TurnedRecordLayout) {
    // The turned block: new stride x W + 4 x colours + 54, plus W for 1 and 4
    // bits; header fields other than the size are carried over, the padding is 0.
    struct Case {
        int width, height, bits, colors;
        size_t blockBytes;
    } cases[] = {
        {10, 3, 1, 0, 4 * 10 + 8 + 54 + 10},  {5, 9, 4, 0, 8 * 5 + 64 + 54 + 5},
        {7, 2, 8, 5, 4 * 7 + 20 + 54},        {3, 5, 16, 0, 12 * 3 + 54},
        {2, 3, 24, 0, 12 * 2 + 54},           {1, 1, 32, 0, 4 + 54},
        {33, 40, 1, 2, 8 * 33 + 8 + 54 + 33},
    };
    for (const Case& c : cases) {
        HGLOBAL picture = PatternPicture(c.width, c.height, c.bits, c.colors);
        BITMAPINFOHEADER before = HeaderOf(picture);
        int word = 0;
        TransformPicture(&picture, TRANSFORM_ROTATE_270, KIND_RASTER, &word);
        EXPECT_EQ(GlobalSize(picture), c.blockBytes) << c.width << "x" << c.height << "x" << c.bits;
        BITMAPINFOHEADER after = HeaderOf(picture);
        EXPECT_EQ(after.biWidth, before.biHeight);
        EXPECT_EQ(after.biHeight, before.biWidth);
        after.biWidth = before.biWidth;
        after.biHeight = before.biHeight;
        EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0);
        EXPECT_EQ(RecordColors(picture).size(),
                  size_t(c.bits <= 8 ? (c.colors ? c.colors : 1 << c.bits) : 0));
        // Bits beyond the last pixel of each row are 0.
        Bytes pixels = RecordPixelBytes(picture);
        uint64_t stride = ImageStride(c.height, c.bits);
        uint64_t used = uint64_t(c.height) * uint64_t(c.bits);
        for (int row = 0; row < c.width; row++)
            for (uint64_t bit = used; bit < stride * 8; bit++)
                EXPECT_EQ((pixels[row * stride + bit / 8] >> (7 - bit % 8)) & 1, 0)
                    << "row " << row << " bit " << bit;
        GlobalFree(picture);
    }
}

TEST(TransformGeometry, OrientationWord) {
    // Bits 0-2 after each operation from each of the eight layouts; bit 3 and
    // the higher bits are carried along, inversion toggles bit 3 only.
    const int after90[8] = {2, 3, 4, 5, 6, 7, 0, 1};
    const int after180[8] = {4, 5, 6, 7, 0, 1, 2, 3};
    const int after270[8] = {6, 7, 0, 1, 2, 3, 4, 5};
    const int afterLR[8] = {1, 0, 7, 6, 5, 4, 3, 2};
    const int afterTB[8] = {5, 4, 3, 2, 1, 0, 7, 6};
    HGLOBAL picture = PatternPicture(3, 2, 8);
    for (int high : {0, 8, 0x18}) {
        for (int v = 0; v < 8; v++) {
            const struct {
                int op;
                int expected;
            } cases[] = {{90, high | after90[v]},   {180, high | after180[v]},
                         {270, high | after270[v]}, {-1, high | afterLR[v]},
                         {-2, high | afterTB[v]},   {10, (high ^ 8) | v}};
            for (const auto& c : cases) {
                int word = high | v;
                TransformPicture(&picture, c.op, KIND_RASTER, &word);
                EXPECT_EQ(word, c.expected) << "op " << c.op << " from " << (high | v);
            }
        }
    }
    GlobalFree(picture);
}

TEST(TransformGeometry, WordDescribesTheLayout) {
    // Every sequence of up to four operations that ends with the same word shows
    // the same picture, and RestoreOrientation brings it back to the loaded one.
    for (int bits : {4, 24}) {
        HGLOBAL loaded = PatternPicture(5, 3, bits);
        const Bytes loadedBytes = RecordBytes(loaded);
        Bytes layoutOfWord[16];
        int sequences = 0;
        for (int length = 0; length <= 4; length++) {
            int combinations = 1;
            for (int i = 0; i < length; i++) combinations *= 6;
            for (int n = 0; n < combinations; n++, sequences++) {
                HGLOBAL picture = PatternPicture(5, 3, bits);
                int word = 0;
                for (int i = 0, k = n; i < length; i++, k /= 6)
                    TransformPicture(&picture, kAllOperations[k % 6], KIND_RASTER, &word);
                ASSERT_GE(word, 0);
                ASSERT_LT(word, 16);
                Bytes shown = RecordBytes(picture);
                if (layoutOfWord[word].empty())
                    layoutOfWord[word] = shown;
                else
                    EXPECT_EQ(shown, layoutOfWord[word]) << "word " << word << " sequence " << n;
                RestoreOrientation(&picture, &word);
                EXPECT_EQ(word, 0);
                EXPECT_EQ(RecordBytes(picture), loadedBytes)
                    << "sequence " << n << " of " << length;
                GlobalFree(picture);
            }
        }
        EXPECT_EQ(sequences, 1 + 6 + 36 + 216 + 1296);
        for (int w = 0; w < 16; w++) EXPECT_FALSE(layoutOfWord[w].empty()) << "word " << w;
        GlobalFree(loaded);
    }
}

TEST(TransformGeometry, RestoreOrientationOfALoadedPicture) {
    // One sequence per word; the picture comes from a file through the loader.
    BmpSpec bmpFile;
    bmpFile.width = 5;
    bmpFile.height = 3;
    bmpFile.bitCount = 24;
    bmpFile.pixels = PadRows({{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
                              {21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35},
                              {41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55}});
    std::string path = WriteTestFile("orientation.bmp", BuildBmp(bmpFile));
    const std::vector<int> toWord[8] = {{}, {-1}, {90}, {-1, 90}, {180}, {-2}, {270}, {-2, 90}};
    for (int word = 0; word < 16; word++) {
        ASSERT_TRUE(LoadForTest(path));
        const Bytes loaded = RecordBytes(g_picture);
        std::vector<int> sequence = toWord[word & 7];
        if (word & 8) sequence.insert(sequence.begin() + sequence.size() / 2, TRANSFORM_INVERT);
        Apply(&g_picture, sequence, &g_orientation);
        ASSERT_EQ(g_orientation, word);
        const int v = word & 7;
        const bool turned = v == 2 || v == 3 || v == 6 || v == 7;
        EXPECT_EQ(HeaderOf(g_picture).biWidth, turned ? 3 : 5) << "word " << word;
        RestoreOrientation(&g_picture, &g_orientation);
        EXPECT_EQ(g_orientation, 0);
        EXPECT_EQ(RecordBytes(g_picture), loaded) << "word " << word;
        EXPECT_TRUE(IsValidImageRecord(g_picture));
    }
    ReleaseCurrentPicture();
}

TEST(TransformGeometry, MirrorRowClearsUnusedBits) {
    struct Case {
        int width, bits;
        Bytes row, expected; // the row buffer includes a padding byte that stays
    } cases[] = {
        // 1011001110 with six set unused bits -> 0111001101, unused bits 0.
        {10, 1, {0xB3, 0xBF, 0xAA}, {0x73, 0x40, 0xAA}},
        {10, 1, {0xFF, 0xFF, 0xAA}, {0xFF, 0xC0, 0xAA}},
        {8, 1, {0x01, 0xAA}, {0x80, 0xAA}},
        {1, 1, {0xFF, 0xAA}, {0x80, 0xAA}},
        {3, 4, {0x12, 0x3F, 0xAA}, {0x32, 0x10, 0xAA}},
        {1, 4, {0x9F, 0xAA}, {0x90, 0xAA}},
        {4, 4, {0x12, 0x34, 0xAA}, {0x43, 0x21, 0xAA}},
        {3, 8, {1, 2, 3, 0xAA}, {3, 2, 1, 0xAA}},
        {2, 16, {1, 2, 3, 4, 0xAA}, {3, 4, 1, 2, 0xAA}},
        {3, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xAA}, {7, 8, 9, 4, 5, 6, 1, 2, 3, 0xAA}},
        {2, 32, {1, 2, 3, 4, 5, 6, 7, 8, 0xAA}, {5, 6, 7, 8, 1, 2, 3, 4, 0xAA}},
    };
    for (const Case& c : cases) {
        Bytes row = c.row;
        Bytes scratch(size_t(c.width), 0xEE);
        MirrorRow(row.data(), c.width, c.bits, scratch.data());
        EXPECT_EQ(row, c.expected) << c.width << " pixels of " << c.bits << " bits";
    }
}

// Every width up to three words at every depth against mirroring pixel by
// pixel: each count of unused bits in the last byte, and rows of odd and even
// length for the byte swaps.
TEST(TransformGeometry, MirrorRowMatchesPixelByPixel) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (int width = 1; width <= 96; width++) {
            const size_t stride = (size_t(width) * size_t(bits) + 31) / 32 * 4;
            Bytes row(stride);
            for (size_t i = 0; i < stride; i++) row[i] = BYTE(i * 97 + width * 31 + bits);
            Bytes expected(stride, 0);
            if (bits <= 4) {
                for (int x = 0; x < width; x++)
                    OrPixelIndex(expected.data(), bits, uint64_t(x),
                                 PixelIndex(row.data(), bits, uint64_t(width - 1 - x)));
                // Bytes past the last pixel's byte are padding, left as they were.
                for (size_t i = (size_t(width) * size_t(bits) + 7) / 8; i < stride; i++)
                    expected[i] = row[i];
            } else {
                const size_t unit = size_t(bits) / 8;
                expected = row;
                for (size_t x = 0; x < size_t(width); x++)
                    for (size_t k = 0; k < unit; k++)
                        expected[unit * x + k] = row[unit * (size_t(width) - 1 - x) + k];
            }
            Bytes scratch(size_t(width), 0xEE);
            MirrorRow(row.data(), width, bits, scratch.data());
            EXPECT_EQ(row, expected) << width << " pixels of " << bits << " bits";
        }
    }
}

TEST(TransformGeometry, RefusalsLeaveEverythingAsItWas) {
    struct Case {
        int viewKind;
        int failAlloc; // FailGlobalAllocAt argument, 0 for none
        int operation;
        const char* message;
    } cases[] = {
        {KIND_WMF, 0, 90, "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap"},
        {KIND_EMF, 0, -1, "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap"},
        {KIND_ANI, 0, 10, "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap"},
        {KIND_ICON_CYCLE, 0, 180, "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap"},
        {KIND_NONE, 0, -2, "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap"},
        {KIND_RASTER, 1, 90, "Insufficient Memory for this Operation."},
        {KIND_RASTER, 1, 270, "Insufficient Memory for this Operation."},
        {KIND_RASTER, 1, 180, "Insufficient Memory for this Operation."},
        {KIND_RASTER, 1, -1, "Insufficient Memory for this Operation."},
        {KIND_RASTER, 1, -2, "Insufficient Memory for this Operation."},
    };
    for (const Case& c : cases) {
        for (int bits : {1, 24}) {
            HGLOBAL picture = PatternPicture(6, 4, bits);
            const HGLOBAL handle = picture;
            const Bytes before = RecordBytes(picture);
            int word = 3;
            RecordMessages record;
            FailGlobalAllocAt(c.failAlloc);
            TransformPicture(&picture, c.operation, c.viewKind, &word);
            FailGlobalAllocAt(0);
            ASSERT_EQ(record.messages.size(), 1u) << "op " << c.operation;
            EXPECT_EQ(record.messages[0].text, c.message);
            EXPECT_EQ(record.messages[0].caption, "(null)");
            EXPECT_EQ(record.messages[0].owner, nullptr);
            EXPECT_EQ(record.messages[0].type, UINT(MB_ICONERROR));
            EXPECT_EQ(picture, handle);
            EXPECT_EQ(RecordBytes(picture), before);
            EXPECT_EQ(word, 3);
            GlobalFree(picture);
        }
    }
}

TEST(TransformGeometry, QuarterTurnTooLargeIsRefused) {
    // One row of 300 million 1-bit pixels is 37.5 MB; turned, it would be 300
    // million rows of 4 bytes, beyond the size limit of a picture.
    HGLOBAL picture = AllocImageRecord(300000000, 1, 1, 2);
    ASSERT_NE(picture, nullptr);
    RecordMessages record;
    int word = 0;
    TransformPicture(&picture, TRANSFORM_ROTATE_90, KIND_RASTER, &word);
    ASSERT_EQ(record.messages.size(), 1u);
    EXPECT_EQ(record.messages[0].text, "Insufficient Memory for this Operation.");
    EXPECT_EQ(HeaderOf(picture).biWidth, 300000000);
    EXPECT_EQ(word, 0);
    GlobalFree(picture);
}

TEST(TransformGeometry, NothingToDo) {
    // An empty slot, an unknown operation code and a record the tools cannot
    // rely on change nothing and say nothing.
    RecordMessages record;
    HGLOBAL empty = nullptr;
    int word = 0;
    TransformPicture(&empty, TRANSFORM_ROTATE_90, KIND_RASTER, &word);
    EXPECT_EQ(empty, nullptr);
    HGLOBAL picture = PatternPicture(4, 4, 8);
    const Bytes before = RecordBytes(picture);
    TransformPicture(&picture, 45, KIND_RASTER, &word);
    EXPECT_EQ(RecordBytes(picture), before);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(picture));
    h->biBitCount = 2;
    GlobalUnlock(picture);
    const Bytes odd = RecordBytes(picture);
    for (int op : kAllOperations) TransformPicture(&picture, op, KIND_RASTER, &word);
    EXPECT_EQ(RecordBytes(picture), odd);
    EXPECT_EQ(word, 0);
    EXPECT_TRUE(record.messages.empty());
    GlobalFree(picture);
}
