// The GIF reader: signatures and the MacBinary header, the colour table
// rules, the blocks before the first frame, the File information text, what
// it reports beside the record, truncated and hostile files, and the LZW
// decoder on streams this test codes itself (clear codes anywhere, code size
// growth, a full table without a clear code, the KwKwK case, invalid codes,
// interlaced rows).
#include "gif_test_util.h"
#include "test_util.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "formats/native/gif.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {
// Calls the reader as the loader does, from a clean state.
HGLOBAL ReadDirect(const Bytes& bytes, std::string* text = nullptr,
                   const char* name = "direct.gif") {
    std::string path = WriteTestFile(name, bytes);
    HFILE file = _lopen(path.c_str(), OF_READ);
    EXPECT_NE(file, HFILE_ERROR);
    static char buffer[INFO_TEXT_SIZE];
    buffer[0] = 0;
    g_gif = GifFrameInfo{};
    g_frameDelay = 25;
    HGLOBAL image = ReadGif(file, nullptr, buffer).image;
    _lclose(file);
    if (text) *text = buffer;
    return image;
}

// The 8-bit record's indices, top row first, width bytes a row.
Bytes Indices(HGLOBAL image) {
    BITMAPINFOHEADER h = HeaderOf(image);
    EXPECT_EQ(h.biBitCount, 8);
    Bytes stored = RecordPixelBytes(image);
    const uint64_t stride = ImageStride(h.biWidth, 8);
    Bytes out;
    for (int y = 0; y < h.biHeight; y++) {
        const uint8_t* row = stored.data() + stride * uint64_t(h.biHeight - 1 - y);
        out.insert(out.end(), row, row + h.biWidth);
    }
    return out;
}

// The padding of every row stays zero: nothing was written past a row's pixels.
void ExpectZeroPadding(HGLOBAL image, const std::string& what) {
    BITMAPINFOHEADER h = HeaderOf(image);
    Bytes stored = RecordPixelBytes(image);
    const uint64_t stride = ImageStride(h.biWidth, 8);
    for (int y = 0; y < h.biHeight; y++)
        for (uint64_t x = uint64_t(h.biWidth); x < stride; x++)
            ASSERT_EQ(stored[stride * uint64_t(y) + x], 0) << what << ": row " << y;
}

Bytes RandomIndices(std::mt19937& rng, size_t n, int limit, int runs) {
    Bytes out;
    uint8_t last = 0;
    for (size_t i = 0; i < n; i++) {
        if (i == 0 || int(rng() % 8) >= runs) last = uint8_t(rng() % uint32_t(limit));
        out.push_back(last);
    }
    return out;
}

gif::File OneFrame(int width, int height, const Bytes& indices, int minCodeSize = 2,
                   const gif::LzwOptions& options = gif::LzwOptions()) {
    gif::File f;
    f.width = width;
    f.height = height;
    f.minCodeSize = minCodeSize;
    f.global.assign(size_t(1) << (minCodeSize > 8 ? 8 : minCodeSize), 0);
    for (size_t i = 0; i < f.global.size(); i++) f.global[i] = uint32_t(i * 0x010101);
    f.data = gif::ImageData(indices, minCodeSize, options);
    return f;
}
} // namespace

TEST(GifRead, Signatures) {
    struct Case {
        const char* signature;
        bool accepted;
    } cases[] = {
        {"GIF89a", true},  {"GIF87a", true},  {"GIF00A", true},  {"GIF99z", true},
        {"GIF12_", true},  {"GIF8aa", false}, {"GIFa9a", false}, {"GIF89@", false},
        {"GIF89{", false}, {"GIF89 ", false}, {"GIX89a", false}, {"gif89a", false},
    };
    for (const Case& c : cases) {
        gif::File f = OneFrame(2, 1, {1, 0});
        f.signature = c.signature;
        RecordMessages messages;
        HGLOBAL image = ReadDirect(gif::Build(f));
        EXPECT_EQ(image != nullptr, c.accepted) << c.signature;
        if (c.accepted) {
            EXPECT_TRUE(messages.messages.empty()) << c.signature;
        } else {
            ASSERT_EQ(messages.messages.size(), 1u) << c.signature;
            EXPECT_EQ(messages.messages[0].text, "Unrecognized Bitmap Format");
            EXPECT_EQ(messages.messages[0].caption, "(null)");
            EXPECT_EQ(messages.messages[0].type, UINT(MB_ICONERROR));
        }
        if (image) GlobalFree(image);
    }
}

TEST(GifRead, MacBinaryHeader) {
    gif::File f = OneFrame(3, 2, {0, 1, 1, 1, 0, 0});
    f.global = {0x000000, 0xFFFFFF};
    Bytes gifBytes = gif::Build(f);
    // Through the loader: the first bytes say nothing, "GI" at 128 does.
    for (bool giAtStart : {false, true}) {
        Bytes wrapped(128, 0);
        wrapped[1] = 9;
        if (giAtStart) wrapped[0] = 'G', wrapped[1] = 'I';
        for (int i = 2; i < 64; i++) wrapped[size_t(i)] = uint8_t('a' + i % 26);
        wrapped.insert(wrapped.end(), gifBytes.begin(), gifBytes.end());
        RecordMessages messages;
        ASSERT_TRUE(LoadForTest(WriteTestFile("wrapped.bin", wrapped))) << giAtStart;
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_EQ(g_viewKind, KIND_RASTER);
        EXPECT_EQ(PixelAt(g_picture, 0, 0), 0x000000u);
        EXPECT_EQ(PixelAt(g_picture, 1, 0), 0xFFFFFFu);
        EXPECT_EQ(PixelAt(g_picture, 0, 1), 0xFFFFFFu);
        EXPECT_EQ(PixelAt(g_picture, 2, 1), 0x000000u);
    }
    // "GI" and too short for a MacBinary header behind it.
    RecordMessages messages;
    Bytes shortFile = {'G', 'I', 'F', '8', 'x', 'a', 1, 0, 1, 0, 0, 0, 0, 0, 0x3B};
    EXPECT_EQ(ReadDirect(shortFile), nullptr);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Unrecognized Bitmap Format");
}

TEST(GifRead, GlobalTableRules) {
    struct Case {
        const char* what;
        const char* signature;
        int screenFlags;
        size_t tableEntries; // entries stored in the file
        int colors;          // of the record
        int planes;
    } cases[] = {
        {"89a table of 4", "GIF89a", 0x81, 4, 4, 2},
        {"89a with the sort bit", "GIF89a", 0x89, 4, 4, 10},
        {"89a without a table", "GIF89a", 0x02, 0, 8, 3},
        {"87a table of 4", "GIF87a", 0x81, 4, 4, 2},
        // 87a files: the four low bits give the size, and the table is read
        // even when the flag says there is none.
        {"87a without the flag", "GIF87a", 0x01, 4, 4, 2},
        {"87a, bit 3 set", "GIF87a", 0x88, 512, 256, 9},
    };
    for (const Case& c : cases) {
        gif::File f = OneFrame(4, 1, {0, 1, 2, 3});
        f.signature = c.signature;
        f.screenFlags = c.screenFlags;
        f.global.clear();
        for (size_t i = 0; i < c.tableEntries; i++)
            f.global.push_back(0x102030u * uint32_t(i + 1) & 0xFFFFFF);
        RecordMessages messages;
        std::string text;
        HGLOBAL image = ReadDirect(gif::Build(f), &text);
        ASSERT_NE(image, nullptr) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        std::vector<uint32_t> colors = RecordColors(image);
        ASSERT_EQ(int(colors.size()), c.colors) << c.what;
        for (int i = 0; i < c.colors; i++)
            EXPECT_EQ(colors[size_t(i)], size_t(i) < c.tableEntries ? f.global[size_t(i)] : 0u)
                << c.what << " entry " << i;
        EXPECT_NE(text.find("planes: " + std::to_string(c.planes) + " \n"), std::string::npos)
            << c.what << ": " << text;
        EXPECT_NE(text.find("colors: " + std::to_string(c.colors)), std::string::npos)
            << c.what << ": " << text;
        // The table was read past exactly: the frame's pixels are right.
        EXPECT_EQ(Indices(image), Bytes({0, 1, 2, 3})) << c.what;
        GlobalFree(image);
    }
}

TEST(GifRead, TextAndLocalTable) {
    struct Case {
        const char* what;
        size_t localEntries;
        bool interlaced;
        const char* tail;
    } cases[] = {
        {"global table", 0, false, "colors: 4"},
        {"local table of 16", 16, false, "colors: 16\nlocal color map"},
        {"interlaced, local table of 2", 2, true, "colors: 2\ninterlaced\nlocal color map"},
    };
    for (const Case& c : cases) {
        gif::File f = OneFrame(5, 3, Bytes(15, 1));
        f.signature = "GIF87a";
        f.screenWidth = 640;
        f.screenHeight = 480;
        f.global = {0x111111, 0x222222, 0x333333, 0x444444};
        f.background = 2;
        f.left = 7;
        f.top = 300;
        f.interlaced = c.interlaced;
        for (size_t i = 0; i < c.localEntries; i++) f.local.push_back(0xA00000u + uint32_t(i));
        std::string text;
        HGLOBAL image = ReadDirect(gif::Build(f), &text);
        ASSERT_NE(image, nullptr) << c.what;
        // The frame's size, not the screen's.
        EXPECT_EQ(text, std::string("image type: GIF \nversion: 87a \nwidth: 5 \nheight: 3 \n"
                                    "planes: 2 \n") +
                            c.tail)
            << c.what;
        std::vector<uint32_t> colors = RecordColors(image);
        if (c.localEntries) {
            EXPECT_EQ(colors, f.local) << c.what;
        } else {
            EXPECT_EQ(colors, f.global) << c.what;
        }
        BITMAPINFOHEADER h = HeaderOf(image);
        EXPECT_EQ(h.biWidth, 5);
        EXPECT_EQ(h.biHeight, 3);
        EXPECT_EQ(h.biBitCount, 8);
        EXPECT_EQ(h.biCompression, DWORD(BI_RGB));
        EXPECT_EQ(h.biClrUsed, DWORD(colors.size()));
        // The global table stays for everything else: the background colour.
        EXPECT_EQ(g_gif.background.rgbRed, 0x33);
        EXPECT_EQ(g_gif.left, 7);
        EXPECT_EQ(g_gif.top, 300);
        EXPECT_EQ(g_gif.screenWidth, 640);
        EXPECT_EQ(g_gif.screenHeight, 480);
        EXPECT_EQ(g_gif.frameCount, 1);
        GlobalFree(image);
    }
}

TEST(GifRead, FrameCounterAndTextBuffer) {
    gif::File f = OneFrame(2, 2, {0, 1, 1, 0});
    std::string path = WriteTestFile("counter.gif", gif::Build(f));
    g_gif = GifFrameInfo{};
    for (int call = 1; call <= 3; call++) {
        char text[INFO_TEXT_SIZE] = "untouched";
        HFILE file = _lopen(path.c_str(), OF_READ);
        HGLOBAL image = ReadGif(file, nullptr, call == 3 ? nullptr : text).image;
        _lclose(file);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(g_gif.frameCount, call);
        if (call == 1) {
            EXPECT_EQ(std::string(text).rfind("image type: GIF \n", 0), 0u);
        } else if (call == 2) {
            EXPECT_STREQ(text, "untouched");
        }
        GlobalFree(image);
    }
}

TEST(GifRead, GraphicControlExtension) {
    struct Case {
        const char* what;
        Bytes blocks;
        int delay;
        int disposal;
        bool transparent;
        int transparentIndex;
        uint32_t transparentColor;
    } cases[] = {
        {"none: the loader's delay stays", {}, 25, 0, false, 0, 0},
        {"delay 10", gif::GraphicControl(0, 10, 0), 10, 0, false, 0, 0},
        {"delay 300, disposal 2, transparent 3", gif::GraphicControl(0x09, 300, 3), 300, 2, true, 3,
         0x445566},
        {"transparent index past the table", gif::GraphicControl(0x05, 7, 200), 7, 1, true, 200, 0},
        // The last of two counts; comment and application extensions pass by.
        {"two, a comment, an application extension",
         [] {
             Bytes b = gif::GraphicControl(0, 90, 0);
             Bytes comment = {0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 'e', 0};
             Bytes netscape = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                               'E',  '2',  '.', '0', 3,   1,   0,   0,   0};
             b.insert(b.end(), comment.begin(), comment.end());
             b.insert(b.end(), netscape.begin(), netscape.end());
             Bytes second = gif::GraphicControl(0x0C, 12, 0);
             b.insert(b.end(), second.begin(), second.end());
             return b;
         }(),
         12, 3, false, 0, 0},
        // A control extension too short for its fields changes nothing.
        {"short control block", {0x21, 0xF9, 2, 0x05, 50, 0}, 25, 0, false, 0, 0},
        {"extension without data", {0x21, 0xF9, 0}, 25, 0, false, 0, 0},
        // Bytes that introduce no known block are taken as sub-blocks.
        {"unknown block", {0x05, 1, 2, 3, 4, 5, 1, 9, 0, 0x00}, 25, 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        gif::File f = OneFrame(2, 1, {3, 1});
        f.global = {0x000000, 0x112233, 0x000000, 0x445566};
        f.beforeFrame = c.blocks;
        RecordMessages messages;
        std::string path = WriteTestFile("control.gif", gif::Build(f));
        // Through the loader, which presets the delay and clears the rest.
        ReleaseCurrentPicture();
        InitImageState();
        g_frameDelay = 77;
        g_gif.transparent = true;
        g_gif.disposal = 6;
        g_gif.frameCount = 4;
        ASSERT_TRUE(LoadPictureFile(path.c_str(), nullptr, 32)) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        EXPECT_EQ(g_frameDelay, c.delay) << c.what;
        EXPECT_EQ(g_gif.disposal, c.disposal) << c.what;
        EXPECT_EQ(g_gif.transparent, c.transparent) << c.what;
        EXPECT_EQ(g_gif.frameCount, 1) << c.what;
        EXPECT_NE(g_infoText[0], 0) << c.what;
        if (c.transparent) {
            EXPECT_EQ(g_gif.transparentIndex, c.transparentIndex) << c.what;
            const RGBQUAD& t = g_gif.transparentColor;
            EXPECT_EQ(uint32_t(t.rgbRed << 16 | t.rgbGreen << 8 | t.rgbBlue), c.transparentColor)
                << c.what;
        }
        EXPECT_EQ(PixelAt(g_picture, 0, 0), 0x445566u) << c.what;
        EXPECT_EQ(PixelAt(g_picture, 1, 0), 0x112233u) << c.what;
    }
}

TEST(GifRead, SilentRefusals) {
    struct Case {
        const char* what;
        int minCodeSize; // -1: a trailer before the frame
    } cases[] = {{"trailer first", -1},
                 {"code size 0", 0},
                 {"code size 1", 1},
                 {"code size 10", 10},
                 {"code size 12", 12}};
    for (const Case& c : cases) {
        gif::File f = OneFrame(2, 1, {0, 1});
        if (c.minCodeSize < 0)
            f.beforeFrame = {0x21, 0xFE, 1, 'x', 0, 0x3B};
        else
            f.minCodeSize = c.minCodeSize;
        RecordMessages messages;
        EXPECT_FALSE(LoadForTest(WriteTestFile("silent.gif", gif::Build(f)))) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
    }
}

TEST(GifRead, SizesFromTheFile) {
    struct Case {
        const char* what;
        int width, height;
        const char* message;
    } cases[] = {
        {"no columns", 0, 5, "Invalid Picture Data"},
        {"no rows", 5, 0, "Invalid Picture Data"},
        {"65535 x 65535", 65535, 65535, "Picture Too Large"},
        {"65535 x 16385", 65535, 16385, "Picture Too Large"},
    };
    for (const Case& c : cases) {
        gif::File f = OneFrame(1, 1, {1});
        f.width = c.width;
        f.height = c.height;
        RecordMessages messages;
        EXPECT_EQ(ReadDirect(gif::Build(f)), nullptr) << c.what;
        ASSERT_EQ(messages.messages.size(), 1u) << c.what;
        EXPECT_EQ(messages.messages[0].text, c.message) << c.what;
    }
    // A wide frame that fits: one row of 65535 pixels from a short stream.
    gif::File f = OneFrame(65535, 2, Bytes(65535 + 10, 1));
    HGLOBAL image = ReadDirect(gif::Build(f));
    ASSERT_NE(image, nullptr);
    Bytes indices = Indices(image);
    EXPECT_EQ(Bytes(indices.begin(), indices.begin() + 65545), Bytes(65545, 1));
    EXPECT_EQ(indices[65545], 0);
    GlobalFree(image);
}

TEST(GifRead, MemoryFailure) {
    gif::File f = OneFrame(4, 4, Bytes(16, 2));
    RecordMessages messages;
    FailGlobalAllocAt(1);
    EXPECT_EQ(ReadDirect(gif::Build(f)), nullptr);
    FailGlobalAllocAt(0);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Memory Allocation Error");
}

// Every cut of a file: before the image data a "File Read Error" and no
// picture; inside it the picture with the pixels decoded so far, the rest zero.
TEST(GifRead, TruncatedFiles) {
    std::mt19937 rng(99);
    const int width = 13, height = 9;
    Bytes indices = RandomIndices(rng, width * height, 16, 3);
    gif::File f = OneFrame(width, height, indices, 4);
    f.global.resize(8);
    f.screenFlags = 0x82;
    f.local.assign(16, 0x123456);
    Bytes ext = {0x21, 0xFE, 4, 't', 'e', 'x', 't', 0};
    Bytes gce = gif::GraphicControl(0, 10, 0);
    f.beforeFrame = ext;
    f.beforeFrame.insert(f.beforeFrame.end(), gce.begin(), gce.end());
    f.data = gif::ImageData(indices, 4, gif::LzwOptions(), 20);
    Bytes whole = gif::Build(f);
    const size_t dataStart = whole.size() - f.data.size() - 1;
    size_t lastDecoded = 0;
    for (size_t cut = 0; cut < whole.size(); cut++) {
        Bytes part(whole.begin(), whole.begin() + long(cut));
        RecordMessages messages;
        HGLOBAL image = ReadDirect(part);
        if (cut < dataStart) {
            EXPECT_EQ(image, nullptr) << "cut at " << cut;
            ASSERT_EQ(messages.messages.size(), 1u) << "cut at " << cut;
            EXPECT_EQ(messages.messages[0].text, "File Read Error") << "cut at " << cut;
            continue;
        }
        ASSERT_NE(image, nullptr) << "cut at " << cut;
        EXPECT_TRUE(messages.messages.empty()) << "cut at " << cut;
        Bytes got = Indices(image);
        size_t same = 0;
        while (same < got.size() && got[same] == indices[same]) same++;
        for (size_t i = same; i < got.size(); i++)
            ASSERT_EQ(got[i], 0) << "cut at " << cut << ", pixel " << i;
        EXPECT_GE(same, lastDecoded) << "cut at " << cut;
        lastDecoded = same;
        GlobalFree(image);
    }
    EXPECT_GT(lastDecoded, indices.size() / 2);
    HGLOBAL image = ReadDirect(whole);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Indices(image), indices);
    GlobalFree(image);
}

// Whole frames through the decoder, coded as different encoders code them.
TEST(GifLzw, StreamsDecodeToTheirIndices) {
    std::mt19937 rng(2024);
    struct Case {
        const char* what;
        int width, height, minCodeSize;
        int runs; // of 8: how often an index repeats the one before
        gif::LzwOptions options;
        size_t blockSize;
    } cases[] = {
        {"2 bits", 17, 11, 2, 2, {}, 255},
        {"3 bits", 31, 7, 3, 0, {}, 255},
        {"4 bits, one-byte sub-blocks", 9, 40, 4, 4, {}, 1},
        {"5 bits", 64, 64, 5, 6, {}, 255},
        {"6 bits, seven-byte sub-blocks", 3, 301, 6, 1, {}, 7},
        {"7 bits", 200, 3, 7, 5, {}, 255},
        {"8 bits, past a full table, cleared", 400, 300, 8, 3, {}, 255},
        {"8 bits, a full table kept", 400, 300, 8, 3, {true, false, 0, true}, 255},
        {"2 bits, a full table kept", 1000, 100, 2, 2, {true, false, 0, true}, 255},
        {"no leading clear code", 50, 50, 3, 3, {false, true, 0, true}, 255},
        {"a clear code every 100 indices", 123, 45, 8, 3, {true, true, 100, true}, 255},
        {"a clear code before every index", 20, 5, 2, 3, {true, true, 1, true}, 255},
        {"a clear code every 4000 indices, full table kept",
         300,
         300,
         8,
         2,
         {true, false, 4000, true},
         255},
        {"no end code", 40, 40, 4, 3, {true, true, 0, false}, 255},
        {"code size 9", 77, 13, 9, 3, {}, 255},
        {"long runs (KwKwK codes)", 1000, 20, 2, 8, {}, 255},
    };
    for (const Case& c : cases) {
        const int limit = 1 << (c.minCodeSize > 8 ? 8 : c.minCodeSize);
        Bytes indices = RandomIndices(rng, size_t(c.width * c.height), limit, c.runs);
        gif::File f = OneFrame(c.width, c.height, indices, c.minCodeSize);
        f.data = gif::ImageData(indices, c.minCodeSize, c.options, c.blockSize);
        HGLOBAL image = ReadDirect(gif::Build(f));
        ASSERT_NE(image, nullptr) << c.what;
        EXPECT_EQ(Indices(image), indices) << c.what;
        ExpectZeroPadding(image, c.what);
        GlobalFree(image);
    }
}

// Every stream length around the first code size steps, so that the end
// code (and the last index) falls on each side of every 2^n boundary.
TEST(GifLzw, CodeSizeBoundaries) {
    std::mt19937 rng(7);
    for (int minCodeSize : {2, 3}) {
        for (int n = 1; n <= 700; n++) {
            Bytes indices = RandomIndices(rng, size_t(n), 1 << minCodeSize, 1);
            gif::File f = OneFrame(n, 1, indices, minCodeSize);
            HGLOBAL image = ReadDirect(gif::Build(f));
            ASSERT_NE(image, nullptr);
            ASSERT_EQ(Indices(image), indices) << "code size " << minCodeSize << ", " << n;
            GlobalFree(image);
        }
    }
}

// Streams written code by code (minimum code size 2: clear 4, end 5, first
// free entry 6).
TEST(GifLzw, HandWrittenStreams) {
    struct Case {
        const char* what;
        int minCodeSize;
        std::vector<gif::Code> codes;
        bool terminator;
        Bytes expected; // a frame of this many pixels, one row
    } cases[] = {
        {"KwKwK as the second code", 2, {{4, 3}, {3, 3}, {6, 3}, {5, 3}}, true, {3, 3, 3, 0}},
        {"KwKwK after an entry",
         2,
         {{4, 3}, {1, 3}, {2, 3}, {7, 3}, {5, 4}},
         true,
         {1, 2, 2, 2, 0, 0}},
        {"a code past the table",
         2,
         {{4, 3}, {1, 3}, {2, 3}, {7, 3}, {15, 4}, {1, 4}},
         true,
         {1, 2, 2, 2, 0, 0, 0}},
        {"an entry code right after a clear", 2, {{4, 3}, {6, 3}, {1, 3}, {5, 3}}, true, {0, 0, 0}},
        {"the end code right after a clear", 2, {{4, 3}, {5, 3}, {1, 3}}, true, {0, 0}},
        {"codes after the end code", 2, {{4, 3}, {1, 3}, {5, 3}, {2, 3}, {3, 3}}, true, {1, 0, 0}},
        {"a clear code mid-stream",
         2,
         {{4, 3}, {1, 3}, {2, 3}, {6, 3}, {4, 4}, {3, 3}, {1, 3}, {6, 3}, {5, 4}},
         true,
         {1, 2, 1, 2, 3, 1, 3, 1, 0}},
        {"no terminator, no end code", 2, {{4, 3}, {1, 3}, {3, 3}}, false, {1, 3, 0, 0}},
        {"indices past the colour table stay", 2, {{4, 3}, {3, 3}, {2, 3}, {5, 3}}, true, {3, 2}},
        {"code size 9: indices keep their low byte",
         9,
         {{512, 10}, {300, 10}, {255, 10}, {514, 10}, {513, 10}},
         true,
         {44, 255, 44, 255, 0}},
    };
    for (const Case& c : cases) {
        gif::File f = OneFrame(int(c.expected.size()), 1, {}, c.minCodeSize);
        f.global = {0x000000, 0xFFFFFF};
        f.data = gif::SubBlocks(gif::PackCodes(c.codes), 255, c.terminator);
        if (!c.terminator) f.afterFrame.clear();
        RecordMessages messages;
        HGLOBAL image = ReadDirect(gif::Build(f));
        ASSERT_NE(image, nullptr) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        EXPECT_EQ(Indices(image), c.expected) << c.what;
        GlobalFree(image);
    }
    // Indices past the colour table are black when drawn.
    gif::File f = OneFrame(2, 1, {});
    f.global = {0xFFFFFF, 0xFFFFFF};
    f.data = gif::SubBlocks(gif::PackCodes({{4, 3}, {3, 3}, {1, 3}, {5, 3}}));
    HGLOBAL image = ReadDirect(gif::Build(f));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(PixelAt(image, 0, 0), 0x000000u);
    EXPECT_EQ(PixelAt(image, 1, 0), 0xFFFFFFu);
    GlobalFree(image);
}

// More data than the frame holds: the rest is dropped, nothing lands past the rows.
TEST(GifLzw, DataPastTheLastRow) {
    std::mt19937 rng(5);
    for (bool interlaced : {false, true}) {
        for (int width : {1, 3, 4, 5}) {
            const int height = 3;
            Bytes indices = RandomIndices(rng, size_t(width * height * 5), 4, 2);
            gif::File f = OneFrame(width, height, indices);
            f.interlaced = interlaced;
            HGLOBAL image = ReadDirect(gif::Build(f));
            ASSERT_NE(image, nullptr);
            Bytes frame(indices.begin(), indices.begin() + width * height);
            Bytes got = Indices(image);
            if (interlaced) got = gif::InterlacedOrder(got, width, height);
            EXPECT_EQ(got, frame) << "width " << width << (interlaced ? ", interlaced" : "");
            ExpectZeroPadding(image, "width " + std::to_string(width));
            GlobalFree(image);
        }
    }
}

// The four passes: the nth row of the stream goes to the nth row of the
// passes' order, for every height up to three times the pass step.
TEST(GifLzw, InterlacedRowOrder) {
    for (int height = 1; height <= 25; height++) {
        const int width = 3;
        Bytes picture;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) picture.push_back(uint8_t(y * 4 + x));
        gif::File f = OneFrame(width, height, gif::InterlacedOrder(picture, width, height), 7);
        f.interlaced = true;
        HGLOBAL image = ReadDirect(gif::Build(f));
        ASSERT_NE(image, nullptr) << height;
        EXPECT_EQ(Indices(image), picture) << "height " << height;
        GlobalFree(image);
    }
    // A truncated interlaced frame: rows of the first passes only.
    const int width = 2, height = 16;
    Bytes picture;
    for (int y = 0; y < height; y++)
        picture.insert(picture.end(), {uint8_t(y + 1), uint8_t(y + 1)});
    Bytes stored = gif::InterlacedOrder(picture, width, height);
    // Rows 0 and 8 (pass 1), row 4 (pass 2).
    gif::File f = OneFrame(width, height, Bytes(stored.begin(), stored.begin() + 6), 5);
    f.interlaced = true;
    HGLOBAL image = ReadDirect(gif::Build(f));
    ASSERT_NE(image, nullptr);
    Bytes got = Indices(image);
    for (int y = 0; y < height; y++) {
        uint8_t want = (y == 0 || y == 4 || y == 8) ? uint8_t(y + 1) : 0;
        EXPECT_EQ(got[size_t(y * width)], want) << "row " << y;
        EXPECT_EQ(got[size_t(y * width + 1)], want) << "row " << y;
    }
    GlobalFree(image);
}

// 87a files with no global table, only the frame's own: the frame loads with
// its table whatever the four low bits of the screen flags say. Files whose
// table is there though the flag is clear still have it read past.
namespace {
std::vector<uint32_t> TableLikeAnImage() {
    std::vector<uint32_t> t(256, 0x123456);
    t[0] = 0x2C0000; // an image separator, then left and top 0
    t[3] = 0x800000; // the descriptor's flags: a local table
    return t;
}
} // namespace

TEST(GifRead, Version87aWithoutAGlobalTable) {
    struct Case {
        const char* what;
        int screenFlags;
        std::vector<uint32_t> global;
        size_t localEntries;
    } cases[] = {
        {"flags 0", 0x00, {}, 4},
        {"colour resolution bits", 0x70, {}, 16},
        {"low bits for 256 entries", 0x07, {}, 8},
        {"low bits 15", 0x0F, {}, 2},
        {"a table there, and a local one", 0x01, {0x111111, 0x222222, 0x333333, 0x444444}, 4},
        {"a table of 256 there, and a local one", 0x07, std::vector<uint32_t>(256, 0x2C2C2C), 2},
        // The table's first bytes look like an image with a local table; a
        // block follows where the table ends, so the table is there.
        {"a table that starts like an image", 0x07, TableLikeAnImage(), 2},
    };
    for (const Case& c : cases) {
        gif::File f = OneFrame(4, 3, {0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 0});
        f.signature = "GIF87a";
        f.screenFlags = c.screenFlags;
        f.global = c.global;
        for (size_t i = 0; i < c.localEntries; i++) f.local.push_back(0x0A0B0Cu * uint32_t(i + 1));
        RecordMessages messages;
        std::string text;
        HGLOBAL image = ReadDirect(gif::Build(f), &text);
        ASSERT_NE(image, nullptr) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        EXPECT_EQ(RecordColors(image), f.local) << c.what;
        EXPECT_EQ(Indices(image), Bytes({0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 0})) << c.what;
        EXPECT_NE(text.find("version: 87a \n"), std::string::npos) << text;
        EXPECT_NE(text.find("\nlocal color map"), std::string::npos) << text;
        GlobalFree(image);
    }
}
