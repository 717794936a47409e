// The uncompressed bitmap writer: exact file bytes, refusals, and round trips
// through the readers.
#include "test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/native/bmp.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
uint32_t g_state = 987654321u;
BYTE Random() {
    g_state ^= g_state << 13;
    g_state ^= g_state >> 17;
    g_state ^= g_state << 5;
    return BYTE(g_state);
}

// A record as the readers build it, with random colours and pixels and the
// header fields a file built by BuildBmp carries, so that the expected file
// can be built from the same values.
HGLOBAL MakeRecord(BmpSpec* bmpFile) {
    int colors = bmpFile->bitCount <= 8
                     ? (bmpFile->clrUsed ? int(bmpFile->clrUsed) : 1 << bmpFile->bitCount)
                     : 0;
    HGLOBAL image = AllocImageRecord(bmpFile->width, bmpFile->height, bmpFile->bitCount, colors);
    if (!image) return nullptr;
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    h->biClrUsed = bmpFile->clrUsed;
    h->biSizeImage = bmpFile->sizeImage;
    h->biXPelsPerMeter = 2835;
    h->biYPelsPerMeter = 2835;
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    bmpFile->colors.clear();
    for (int i = 0; i < colors; i++) {
        BYTE b = Random(), g = Random(), r = Random();
        table[4 * i] = b;
        table[4 * i + 1] = g;
        table[4 * i + 2] = r;
        table[4 * i + 3] = 0;
        bmpFile->colors.push_back(uint32_t(r) << 16 | uint32_t(g) << 8 | b);
    }
    uint64_t bytes = ImageStride(bmpFile->width, bmpFile->bitCount) * uint64_t(bmpFile->height);
    BYTE* pixels = table + 4 * colors;
    bmpFile->pixels.assign(size_t(bytes), 0);
    for (uint64_t i = 0; i < bytes; i++) pixels[i] = bmpFile->pixels[size_t(i)] = Random();
    GlobalUnlock(image);
    return image;
}

Bytes Write(HGLOBAL image, WriteResult* result) {
    std::string path = TestDir() + "/written.bmp";
    std::remove(path.c_str());
    *result = WritePicture(image, path.c_str(), FMT_BMP, 0, 0);
    return FileExists(path) ? ReadWholeFile(path) : Bytes();
}
} // namespace

TEST(BitmapWriter, UncompressedFileBytes) {
    struct Case {
        uint16_t bits;
        uint32_t clrUsed;
        uint32_t sizeImage;
    } cases[] = {
        {1, 0, 0},  {4, 0, 0}, {8, 0, 0},  {16, 0, 0},  {24, 0, 0}, {32, 0, 0},  {1, 1, 0},
        {4, 3, 77}, {8, 3, 0}, {8, 17, 5}, {8, 256, 0}, {4, 16, 0}, {24, 0, 99}, {32, 0, 12345678},
    };
    for (const Case& c : cases) {
        for (int width : {1, 3, 5, 7, 33}) {
            BmpSpec bmpFile;
            bmpFile.width = width;
            bmpFile.height = 3;
            bmpFile.bitCount = c.bits;
            bmpFile.clrUsed = c.clrUsed;
            bmpFile.sizeImage = c.sizeImage;
            HGLOBAL image = MakeRecord(&bmpFile);
            ASSERT_NE(image, nullptr);
            WriteResult result;
            Bytes file = Write(image, &result);
            GlobalFree(image);
            EXPECT_EQ(result, WRITE_OK) << c.bits << " bits, width " << width;
            Bytes want = BuildBmp(bmpFile);
            EXPECT_EQ(file, want) << c.bits << " bits, " << c.clrUsed << " colours, width "
                                  << width;
            // The offset and size fields, spelled out.
            ASSERT_GE(file.size(), 14u);
            uint32_t offset = file[10] | file[11] << 8 | file[12] << 16 | uint32_t(file[13]) << 24;
            uint32_t size = file[2] | file[3] << 8 | file[4] << 16 | uint32_t(file[5]) << 24;
            EXPECT_EQ(offset, 54 + 4 * bmpFile.colors.size());
            EXPECT_EQ(size, file.size());
        }
    }
}

TEST(BitmapWriter, RefusesRecordsItCannotWrite) {
    struct Case {
        const char* name;
        void (*change)(BITMAPINFOHEADER* h);
        uint16_t bits;
    } cases[] = {
        {"run-length compression in the record", [](BITMAPINFOHEADER* h) { h->biCompression = 1; },
         8},
        {"bit-field compression in the record", [](BITMAPINFOHEADER* h) { h->biCompression = 3; },
         16},
        {"2 bits", [](BITMAPINFOHEADER* h) { h->biBitCount = 2; }, 8},
        {"64 bits", [](BITMAPINFOHEADER* h) { h->biBitCount = 64; }, 32},
        {"more colours than the bit count allows", [](BITMAPINFOHEADER* h) { h->biClrUsed = 3; },
         1},
        {"a colour table on 24 bits", [](BITMAPINFOHEADER* h) { h->biClrUsed = 2; }, 24},
        {"negative height", [](BITMAPINFOHEADER* h) { h->biHeight = -h->biHeight; }, 24},
        {"zero width", [](BITMAPINFOHEADER* h) { h->biWidth = 0; }, 24},
        {"rows that do not fit the block", [](BITMAPINFOHEADER* h) { h->biHeight = 4; }, 8},
        {"a header size other than 40", [](BITMAPINFOHEADER* h) { h->biSize = 108; }, 24},
    };
    for (const Case& c : cases) {
        BmpSpec bmpFile;
        bmpFile.width = 3;
        bmpFile.height = 2;
        bmpFile.bitCount = c.bits;
        HGLOBAL image = MakeRecord(&bmpFile);
        c.change(static_cast<BITMAPINFOHEADER*>(GlobalLock(image)));
        GlobalUnlock(image);
        WriteResult result;
        Write(image, &result);
        GlobalFree(image);
        EXPECT_EQ(result, WRITE_FAILED) << c.name;
    }
    WriteResult result;
    Write(nullptr, &result);
    EXPECT_EQ(result, WRITE_FAILED) << "no record";

    BmpSpec bmpFile;
    bmpFile.bitCount = 24;
    HGLOBAL image = MakeRecord(&bmpFile);
    std::string path = TestDir() + "/missing-folder/out.bmp";
    EXPECT_EQ(WritePicture(image, path.c_str(), FMT_BMP, 0, 0), WRITE_CREATE_FAILED);
    GlobalFree(image);
}

TEST(BitmapWriter, RoundTripsThroughTheReaders) {
    struct Case {
        const char* name;
        BmpSpec in;
        bool sameBytes; // the written file equals the input
    };
    auto make = [](uint32_t headerSize, int32_t width, int32_t height, uint16_t bits,
                   uint32_t clrUsed) {
        BmpSpec s;
        s.headerSize = headerSize;
        s.width = width;
        s.height = height;
        s.bitCount = bits;
        s.clrUsed = clrUsed;
        int colors = bits <= 8 ? (clrUsed ? int(clrUsed) : 1 << bits) : 0;
        for (int i = 0; i < colors; i++) s.colors.push_back(uint32_t(i * 0x010305) & 0xFFFFFF);
        uint64_t stride = ((uint64_t(width) * bits + 31) / 32) * 4;
        for (uint64_t i = 0; i < stride * uint64_t(height < 0 ? -height : height); i++)
            s.pixels.push_back(Random());
        return s;
    };
    std::vector<Case> cases = {
        {"Windows 1 bit", make(40, 33, 3, 1, 0), true},
        {"Windows 4 bits", make(40, 7, 3, 4, 0), true},
        {"Windows 8 bits", make(40, 5, 4, 8, 0), true},
        {"Windows 8 bits, 200 colours", make(40, 5, 4, 8, 200), true},
        {"Windows 16 bits", make(40, 3, 2, 16, 0), true},
        {"Windows 24 bits", make(40, 5, 3, 24, 0), true},
        {"Windows 32 bits", make(40, 3, 3, 32, 0), true},
        {"Windows top-down 24 bits", make(40, 5, -3, 24, 0), false},
        {"OS/2 1.x 8 bits", make(12, 5, 2, 8, 0), false},
        {"OS/2 2.0 24 bits", make(64, 3, 2, 24, 0), false},
        {"124-byte header 24 bits", make(124, 3, 2, 24, 0), false},
    };
    for (Case& c : cases) {
        // Padding bytes are not pixels; the readers copy them, the writer too.
        c.in.sizeImage = 0;
        std::string inPath = WriteTestFile("round-in.bmp", BuildBmp(c.in));
        RecordMessages messages;
        ASSERT_TRUE(LoadForTest(inPath)) << c.name;
        Bytes loadedPixels = RecordPixelBytes(g_picture);
        std::vector<uint32_t> loadedColors = RecordColors(g_picture);
        BITMAPINFOHEADER loaded = HeaderOf(g_picture);
        WriteResult result;
        Bytes out = Write(g_picture, &result);
        ASSERT_EQ(result, WRITE_OK) << c.name;
        if (c.sameBytes) {
            // biSizeImage 0 became file size - 4 x colours - 54 at reading.
            Bytes want = BuildBmp(c.in);
            uint32_t sizeImage = uint32_t(want.size() - 4 * c.in.colors.size() - 54);
            for (int i = 0; i < 4; i++) want[34 + size_t(i)] = BYTE(sizeImage >> (8 * i));
            EXPECT_EQ(out, want) << c.name;
        }
        std::string outPath = WriteTestFile("round-out.bmp", out);
        ASSERT_TRUE(LoadForTest(outPath)) << c.name;
        EXPECT_EQ(RecordPixelBytes(g_picture), loadedPixels) << c.name;
        EXPECT_EQ(RecordColors(g_picture), loadedColors) << c.name;
        // The header comes back as written; a biSizeImage of 0 (OS/2 records)
        // is worked out again from the new file's size.
        BITMAPINFOHEADER again = HeaderOf(g_picture);
        if (loaded.biSizeImage == 0) {
            EXPECT_EQ(again.biSizeImage, uint32_t(out.size() - 4 * loadedColors.size() - 54))
                << c.name;
        }
        again.biSizeImage = loaded.biSizeImage;
        EXPECT_EQ(std::memcmp(&again, &loaded, sizeof again), 0) << c.name;
        EXPECT_TRUE(messages.messages.empty()) << c.name;
    }
}
