#include "test_util.h"

#include "core/image.h"
#include "core/state.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
// A record of the given depth whose pixel bytes are filled from `pixels`
// (top row first, already packed per row without padding).
HGLOBAL MakeRecord(int width, int height, int bits, int clrUsed,
                   const std::vector<uint32_t>& colors, const std::vector<Bytes>& rowsTopFirst) {
    int tableEntries = bits <= 8 ? (clrUsed ? clrUsed : 1 << bits) : 0;
    HGLOBAL image = AllocImageRecord(width, height, bits, tableEntries);
    EXPECT_NE(image, nullptr);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    h->biClrUsed = DWORD(clrUsed);
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    for (size_t i = 0; i < colors.size() && int(i) < tableEntries; i++) {
        table[4 * i] = BYTE(colors[i]);
        table[4 * i + 1] = BYTE(colors[i] >> 8);
        table[4 * i + 2] = BYTE(colors[i] >> 16);
    }
    uint64_t stride = ImageStride(width, bits);
    BYTE* pixels = table + 4 * tableEntries;
    for (int y = 0; y < height && y < int(rowsTopFirst.size()); y++)
        std::memcpy(pixels + stride * uint64_t(height - 1 - y), rowsTopFirst[y].data(),
                    rowsTopFirst[y].size());
    GlobalUnlock(image);
    return image;
}
} // namespace

TEST(ImageRecord, StrideRoundsRowsToFourBytes) {
    struct Case {
        int width, bits;
        uint64_t stride;
    } cases[] = {{1, 1, 4}, {32, 1, 4}, {33, 1, 8}, {7, 4, 4},   {9, 4, 8},   {3, 8, 4},
                 {5, 8, 8}, {3, 16, 8}, {1, 24, 4}, {3, 24, 12}, {5, 24, 16}, {3, 32, 12}};
    for (const Case& c : cases)
        EXPECT_EQ(ImageStride(c.width, c.bits), c.stride) << c.width << "x" << c.bits;
}

TEST(ImageRecord, BlockSizesAreCheckedAgainstTheLimit) {
    EXPECT_EQ(ImageBlockBytes(3, 2, 8, 256), 40u + 1024 + 8);
    EXPECT_EQ(ImageBlockBytes(0, 2, 8, 256), 0u);
    EXPECT_EQ(ImageBlockBytes(2, 0, 8, 256), 0u);
    EXPECT_EQ(ImageBlockBytes(2, 2, 8, 257), 0u);
    // 2^31 - 1 square at 32 bits would need 16 EiB: refused, no overflow.
    EXPECT_EQ(ImageBlockBytes(INT32_MAX, INT32_MAX, 32, 0), 0u);
    EXPECT_EQ(ImageBlockBytes(20000, 20000, 24, 0), 0u); // 1.2 GB
    EXPECT_NE(ImageBlockBytes(8000, 6000, 32, 0), 0u);
    EXPECT_EQ(AllocImageRecord(70000, 70000, 24, 0), nullptr);
}

TEST(ImageRecord, ValidityCheck) {
    struct Case {
        const char* what;
        void (*spoil)(BITMAPINFOHEADER*);
        bool valid;
    } cases[] = {
        {"as built", [](BITMAPINFOHEADER*) {}, true},
        {"size 12", [](BITMAPINFOHEADER* h) { h->biSize = 12; }, false},
        {"width 0", [](BITMAPINFOHEADER* h) { h->biWidth = 0; }, false},
        {"negative height", [](BITMAPINFOHEADER* h) { h->biHeight = -4; }, false},
        {"two planes", [](BITMAPINFOHEADER* h) { h->biPlanes = 2; }, false},
        {"2 bits", [](BITMAPINFOHEADER* h) { h->biBitCount = 2; }, false},
        {"run-length", [](BITMAPINFOHEADER* h) { h->biCompression = BI_RLE8; }, false},
        {"17 colours at 4 bits",
         [](BITMAPINFOHEADER* h) {
             h->biBitCount = 4;
             h->biClrUsed = 17;
         },
         false},
        {"taller than the block", [](BITMAPINFOHEADER* h) { h->biHeight = 5; }, false},
        {"wider than the block", [](BITMAPINFOHEADER* h) { h->biWidth = 1000; }, false},
        {"1 bit, fewer colours",
         [](BITMAPINFOHEADER* h) {
             h->biBitCount = 1;
             h->biClrUsed = 2;
         },
         true},
    };
    for (const Case& c : cases) {
        HGLOBAL image = AllocImageRecord(5, 4, 8, 256);
        c.spoil(static_cast<BITMAPINFOHEADER*>(GlobalLock(image)));
        GlobalUnlock(image);
        EXPECT_EQ(IsValidImageRecord(image), c.valid) << c.what;
        GlobalFree(image);
    }
    EXPECT_FALSE(IsValidImageRecord(nullptr));
    HGLOBAL trueColor = AllocImageRecord(3, 3, 24, 0);
    EXPECT_TRUE(IsValidImageRecord(trueColor));
    static_cast<BITMAPINFOHEADER*>(GlobalLock(trueColor))->biClrUsed = 4;
    GlobalUnlock(trueColor);
    EXPECT_FALSE(IsValidImageRecord(trueColor)) << "records above 8 bits carry no table";
    GlobalFree(trueColor);
}

TEST(PackImageDepth, ChoosesTheSmallestDepthTheTableAllows) {
    struct Case {
        int bits, clrUsed, packedBits;
    } cases[] = {
        {8, 2, 1}, {8, 16, 4}, {8, 0, 8}, {8, 17, 8}, {8, 1, 4}, {8, 3, 4},
        {4, 2, 1}, {4, 1, 1},  {4, 0, 4}, {4, 3, 4},  {1, 2, 1}, {24, 0, 24},
    };
    for (const Case& c : cases) {
        HGLOBAL image = MakeRecord(7, 3, c.bits, c.clrUsed, {}, {});
        SIZE_T size = GlobalSize(image);
        PackImageDepth(&image);
        BITMAPINFOHEADER h = HeaderOf(image);
        EXPECT_EQ(h.biBitCount, c.packedBits) << c.bits << " bits, " << c.clrUsed << " colours";
        EXPECT_EQ(h.biClrUsed, DWORD(c.clrUsed)) << "colours used stays";
        EXPECT_EQ(GlobalSize(image), size) << "the block keeps its size";
        EXPECT_TRUE(IsValidImageRecord(image));
        GlobalFree(image);
    }
}

TEST(PackImageDepth, RepacksPixelsRowByRow) {
    // 8 bits with 16 colours to 4 bits: low nibble of each index, high nibble first.
    HGLOBAL image = MakeRecord(5, 2, 8, 16, {}, {{1, 2, 3, 4, 0x1F}, {15, 0, 7, 8, 9}});
    PackImageDepth(&image);
    for (int x = 0; x < 5; x++) {
        static const uint32_t top[] = {1, 2, 3, 4, 15}, bottom[] = {15, 0, 7, 8, 9};
        EXPECT_EQ(RawPixelAt(image, x, 0), top[x]) << x;
        EXPECT_EQ(RawPixelAt(image, x, 1), bottom[x]) << x;
    }
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const BYTE* pixels = reinterpret_cast<BYTE*>(h) + 40 + 64;
    EXPECT_EQ(pixels[0], 0xF0) << "bottom row packed at the start of the pixel area";
    EXPECT_EQ(pixels[1], 0x78);
    EXPECT_EQ(pixels[2], 0x90);
    EXPECT_EQ(pixels[4], 0x12) << "next row at the 4-bit stride";
    GlobalUnlock(image);
    GlobalFree(image);

    // 8 bits with 2 colours to 1 bit: any non-zero index sets the bit.
    std::vector<Bytes> rows = {{0, 1, 0, 5, 1, 1, 0, 0, 1, 0}};
    image = MakeRecord(10, 1, 8, 2, {0x000000, 0xFFFFFF}, rows);
    PackImageDepth(&image);
    for (int x = 0; x < 10; x++) EXPECT_EQ(RawPixelAt(image, x, 0), rows[0][x] ? 1u : 0u) << x;
    GlobalFree(image);

    // 4 bits with 2 colours to 1 bit: each nibble is tested on its own.
    image = MakeRecord(5, 1, 4, 2, {}, {{0x10, 0x01, 0x10}});
    PackImageDepth(&image);
    const uint32_t expect[] = {1, 0, 0, 1, 1};
    for (int x = 0; x < 5; x++) EXPECT_EQ(RawPixelAt(image, x, 0), expect[x]) << x;
    GlobalFree(image);
}

TEST(PackImageDepth, LeavesTheRecordAloneWithoutItsRowBuffer) {
    HGLOBAL image = MakeRecord(5, 2, 8, 2, {}, {{1, 0, 1, 0, 1}});
    FailGlobalAllocAt(1);
    PackImageDepth(&image);
    FailGlobalAllocAt(0);
    EXPECT_EQ(HeaderOf(image).biBitCount, 8);
    EXPECT_EQ(RawPixelAt(image, 2, 0), 1u);
    EXPECT_EQ(GlobalFlags(image) & GMEM_LOCKCOUNT, 0u) << "unlocked again";
    GlobalFree(image);
}

TEST(ImagePalette, HoldsTheColourTable) {
    HGLOBAL eight = MakeRecord(2, 2, 8, 0, {0x102030, 0xA0B0C0}, {});
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(eight));
    HPALETTE palette = CreateImagePalette(h);
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY entries[256];
    EXPECT_EQ(GetPaletteEntries(palette, 0, 256, entries), 256u);
    EXPECT_EQ(entries[0].peRed, 0x10);
    EXPECT_EQ(entries[0].peGreen, 0x20);
    EXPECT_EQ(entries[0].peBlue, 0x30);
    EXPECT_EQ(entries[1].peRed, 0xA0);
    EXPECT_EQ(entries[1].peBlue, 0xC0);
    EXPECT_EQ(entries[1].peFlags, 0);
    DeleteObject(palette);
    GlobalUnlock(eight);
    GlobalFree(eight);

    HGLOBAL four = MakeRecord(2, 2, 4, 5, {}, {});
    palette = CreateImagePalette(static_cast<BITMAPINFOHEADER*>(GlobalLock(four)));
    EXPECT_EQ(GetPaletteEntries(palette, 0, 256, entries), 5u);
    DeleteObject(palette);
    GlobalUnlock(four);
    GlobalFree(four);

    HGLOBAL rgb = MakeRecord(2, 2, 24, 0, {}, {});
    EXPECT_EQ(CreateImagePalette(static_cast<BITMAPINFOHEADER*>(GlobalLock(rgb))), nullptr);
    GlobalUnlock(rgb);
    GlobalFree(rgb);
}

TEST(ImagePalette, MonochromeTest) {
    struct Case {
        int bits;
        uint32_t first, second;
        bool mono;
    } cases[] = {
        {1, 0x000000, 0xFFFFFF, true},  {1, 0xFFFFFF, 0x000000, true},
        {1, 0x000000, 0x404040, false}, {1, 0xFFFFFF, 0xFFFFFF, false},
        {1, 0x000000, 0xFFFF00, false}, {4, 0x000000, 0xFFFFFF, false},
        {8, 0xFFFFFF, 0x000000, false},
    };
    for (const Case& c : cases) {
        HGLOBAL image = MakeRecord(3, 3, c.bits, 0, {c.first, c.second}, {});
        EXPECT_EQ(IsMonochromeImage(static_cast<BITMAPINFOHEADER*>(GlobalLock(image))), c.mono)
            << c.bits << " " << std::hex << c.first << " " << c.second;
        GlobalUnlock(image);
        GlobalFree(image);
    }
}

TEST(ImagePalette, IndicesPastTheTableAreBlack) {
    // A 1x1 4-bit record declaring one colour: index 15 lies past its table and its block.
    HGLOBAL image = MakeRecord(1, 1, 4, 1, {0x123456}, {{0xF0}});
    ASSERT_LT(GlobalSize(image), 40u + 4 * 16);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    RGBQUAD first = ImageColorAt(h, 0), past = ImageColorAt(h, 15);
    EXPECT_EQ(first.rgbRed, 0x12);
    EXPECT_EQ(first.rgbGreen, 0x34);
    EXPECT_EQ(first.rgbBlue, 0x56);
    EXPECT_EQ(past.rgbRed | past.rgbGreen | past.rgbBlue, 0);
    GlobalUnlock(image);
    GlobalFree(image);
}

TEST(ImageRecord, AllocationMakesRoomForTheTableItsHeaderImplies) {
    struct Case {
        int bits, colors;
        SIZE_T bytes;
    } cases[] = {{8, 0, 40 + 1024 + 4},
                 {4, 0, 40 + 64 + 4},
                 {1, 0, 40 + 8 + 4},
                 {8, 3, 40 + 12 + 4},
                 {24, 0, 40 + 4}};
    for (const Case& c : cases) {
        HGLOBAL image = AllocImageRecord(1, 1, c.bits, c.colors);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(GlobalSize(image), c.bytes) << c.bits << " bits, " << c.colors << " colours";
        EXPECT_EQ(HeaderOf(image).biClrUsed, DWORD(c.colors));
        EXPECT_TRUE(IsValidImageRecord(image));
        GlobalFree(image);
    }
}
