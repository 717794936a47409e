// The Sun icon reader: 1- and 8-bit icons through the loader, the header's
// keys in any case, the File information text, widths that are not a whole
// number of words, headers of other lengths, short files and hostile sizes.
#include "test_util.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
// The header as netpbm writes it: 78 characters for two-digit sizes.
std::string Header(int width, int height, int depth) {
    char head[200];
    std::snprintf(
        head, sizeof head,
        "/* Format_version=1, Width=%d, Height=%d, Depth=%d, Valid_bits_per_item=16\n */\n", width,
        height, depth);
    return head;
}

// Words as "0x%04x," eight to a line, the last without its comma.
std::string Words(const std::vector<unsigned>& words) {
    std::string out;
    for (size_t i = 0; i < words.size(); i++) {
        char word[16];
        std::snprintf(word, sizeof word, "0x%04x", words[i]);
        out += (i % 8 == 0 ? "\t" : "") + std::string(word);
        if (i + 1 < words.size()) out += ",";
        if (i % 8 == 7 || i + 1 == words.size()) out += "\n";
    }
    return out;
}

bool LoadIcon(const std::string& content, const char* name = "icon.ico") {
    return LoadForTest(WriteTestFile(name, Bytes(content.begin(), content.end())));
}

// Raw values of the current picture, top row first.
std::vector<uint32_t> Values() {
    BITMAPINFOHEADER h = HeaderOf(g_picture);
    std::vector<uint32_t> out;
    for (int y = 0; y < h.biHeight; y++)
        for (int x = 0; x < h.biWidth; x++) out.push_back(RawPixelAt(g_picture, x, y));
    return out;
}

// The pixels a depth-1 word list gives, rows of rowWords words.
std::vector<uint32_t> Bits(const std::vector<unsigned>& words, int width, int height) {
    const int rowWords = (width + 15) / 16;
    std::vector<uint32_t> out;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            out.push_back((words[size_t(y * rowWords + x / 16)] >> (15 - x % 16)) & 1);
    return out;
}

std::vector<unsigned> Pattern(size_t n, unsigned seed) {
    std::vector<unsigned> words;
    for (size_t i = 0; i < n; i++) {
        seed = seed * 1103515245u + 12345u;
        words.push_back((seed >> 9) & 0xFFFF);
    }
    return words;
}
} // namespace

TEST(SunIconRead, Depth1Icons) {
    struct Case {
        const char* what;
        int width, height;
    } cases[] = {
        {"64 x 64", 64, 64},
        {"16 x 1", 16, 1},
        {"20 wide: two words a row", 20, 3},
        {"33 wide: three words a row", 33, 5},
        {"7 wide", 7, 9},
        {"128 x 128 (a longer header)", 128, 128},
    };
    for (const Case& c : cases) {
        std::vector<unsigned> words = Pattern(size_t((c.width + 15) / 16 * c.height), 11);
        RecordMessages messages;
        ASSERT_TRUE(LoadIcon(Header(c.width, c.height, 1) + Words(words))) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        BITMAPINFOHEADER h = HeaderOf(g_picture);
        EXPECT_EQ(h.biWidth, c.width);
        EXPECT_EQ(h.biHeight, c.height);
        EXPECT_EQ(h.biBitCount, 1);
        EXPECT_EQ(h.biClrUsed, 0u);
        EXPECT_EQ(g_bitCount, 1);
        EXPECT_EQ(g_colorsUsed, 1) << "white and black";
        EXPECT_EQ(RecordColors(g_picture), (std::vector<uint32_t>{0xFFFFFF, 0x000000}));
        EXPECT_EQ(Values(), Bits(words, c.width, c.height)) << c.what;
        // Set bits are black.
        EXPECT_EQ(PixelAt(g_picture, 0, 0), (words[0] & 0x8000) ? 0x000000u : 0xFFFFFFu);
    }
}

TEST(SunIconRead, Depth8Icons) {
    struct Case {
        int width, height;
    } cases[] = {{16, 2}, {3, 3}, {1, 1}, {9, 4}};
    for (const Case& c : cases) {
        const int rowWords = (c.width + 1) / 2;
        std::vector<unsigned> words;
        std::vector<uint32_t> want;
        for (int y = 0; y < c.height; y++) {
            for (int w = 0; w < rowWords; w++) {
                unsigned left = unsigned(y * 7 + 2 * w) % 20, right = (left + 1) % 20;
                words.push_back(left << 8 | right);
                want.push_back(left);
                if (2 * w + 1 < c.width) want.push_back(right);
            }
        }
        RecordMessages messages;
        ASSERT_TRUE(LoadIcon(Header(c.width, c.height, 8) + Words(words))) << c.width;
        EXPECT_TRUE(messages.messages.empty());
        BITMAPINFOHEADER h = HeaderOf(g_picture);
        EXPECT_EQ(h.biBitCount, 8);
        EXPECT_EQ(h.biClrUsed, 0u);
        EXPECT_EQ(Values(), want) << c.width << " x " << c.height;
        // The odd width's last word keeps its second byte out of the padding.
        Bytes stored = RecordPixelBytes(g_picture);
        const size_t stride = size_t(ImageStride(c.width, 8));
        for (int y = 0; y < c.height; y++)
            for (size_t x = size_t(c.width); x < stride; x++)
                EXPECT_EQ(stored[size_t(y) * stride + x], 0) << c.width << ", row " << y;
    }
    // The fixed colours, then black.
    const std::vector<uint32_t> fixed = {
        0xFFFFFF, 0x000000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
        0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0x800000,
    };
    std::vector<uint32_t> colors = RecordColors(g_picture);
    ASSERT_EQ(colors.size(), 256u);
    for (size_t i = 0; i < 256; i++) EXPECT_EQ(colors[i], i < 16 ? fixed[i] : 0u) << "entry " << i;
}

TEST(SunIconRead, HeaderText) {
    struct Case {
        const char* what;
        std::string header;
        int width, height; // 0: refused
        const char* message;
    } cases[] = {
        {"capital initials", Header(16, 2, 1), 16, 2, nullptr},
        {"lower case",
         "/* format_version=1, width=16, height=2, depth=1, valid_bits_per_item=16\n */\n", 16, 2,
         nullptr},
        {"upper case",
         "/* FORMAT_VERSION=1, WIDTH=16, HEIGHT=2, DEPTH=1, VALID_BITS_PER_ITEM=16\n */\n", 16, 2,
         nullptr},
        {"keys in another order, short header", "/* Depth=1 Height=2 Width=16 */\n", 16, 2,
         nullptr},
        {"depth 4", Header(16, 2, 4), 0, 0, "Unsupported SunIcon Depth"},
        {"depth 24", Header(16, 2, 24), 0, 0, "Unsupported SunIcon Depth"},
        {"no depth", "/* Format_version=1, Width=16, Height=2, Valid_bits_per_item=16\n */\n", 0, 0,
         "Unsupported SunIcon Depth"},
        {"no width", "/* Format_version=1, Height=2, Depth=1, Valid_bits_per_item=16\n */\n", 0, 0,
         "Invalid Picture Data"},
        {"width 0", Header(0, 2, 1), 0, 0, "Invalid Picture Data"},
        {"negative height", Header(16, -2, 1), 0, 0, "Invalid Picture Data"},
        {"huge width", "/* Width=99999999999999999999, Height=2, Depth=1 */\n", 0, 0,
         "Picture Too Large"},
        {"too many pixels", Header(60000, 60000, 8), 0, 0, "Picture Too Large"},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        std::string content = c.header + Words({0xFFFF, 0x8001});
        bool loaded = LoadIcon(content);
        EXPECT_EQ(loaded, c.width > 0) << c.what;
        if (c.message) {
            ASSERT_EQ(messages.messages.size(), 1u) << c.what;
            EXPECT_EQ(messages.messages[0].text, c.message) << c.what;
            EXPECT_EQ(messages.messages[0].type, UINT(MB_ICONERROR)) << c.what;
        } else {
            EXPECT_TRUE(messages.messages.empty()) << c.what;
            EXPECT_EQ(HeaderOf(g_picture).biWidth, c.width) << c.what;
            EXPECT_EQ(HeaderOf(g_picture).biHeight, c.height) << c.what;
            EXPECT_EQ(RawPixelAt(g_picture, 0, 0), 1u) << c.what;
            EXPECT_EQ(RawPixelAt(g_picture, 1, 1), 0u) << c.what;
            EXPECT_EQ(RawPixelAt(g_picture, 15, 1), 1u) << c.what;
        }
        // The text holds the first 78 characters, in lower case, whatever became of them.
        std::string head = content.substr(0, 78);
        for (char& ch : head) ch = char(std::tolower((unsigned char)ch));
        EXPECT_EQ(std::string(g_infoText), "image type: SunIcon \n\nheader string: " + head)
            << c.what;
    }
}

TEST(SunIconRead, WordSyntax) {
    struct Case {
        const char* what;
        const char* words;
        std::vector<unsigned> want; // the first row's two words
    } cases[] = {
        {"netpbm's", "\t0x1234,0xabcd\n", {0x1234, 0xABCD}},
        {"upper case, no prefix", "0X00FF,F00F,", {0x00FF, 0xF00F}},
        {"blanks and line breaks", "  0x0001,\n\n 0x0002", {0x0001, 0x0002}},
        // As "%x," reads: the comma must follow the number at once.
        {"a blank before a comma ends the words", "0x0001 ,0x0002,", {0x0001, 0}},
        {"the low 16 bits of longer numbers", "0x12345678,0xFFFF0000,", {0x5678, 0x0000}},
        {"a sign", "-1,+0x10,", {0xFFFF, 0x0010}},
        {"text ends the words", "0x8000,};\n", {0x8000, 0}},
        {"the file ends", "0x4000", {0x4000, 0}},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        ASSERT_TRUE(LoadIcon(Header(32, 2, 1) + c.words)) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        std::vector<uint32_t> want = Bits({c.want[0], c.want[1], 0, 0}, 32, 2);
        EXPECT_EQ(Values(), want) << c.what;
    }
}

TEST(SunIconRead, ShortFilesAndDetection) {
    // A file that ends early: the rows read, the rest white (zero).
    std::vector<unsigned> words = Pattern(10, 3);
    ASSERT_TRUE(LoadIcon(Header(64, 4, 1) + Words(words)));
    std::vector<unsigned> padded = words;
    padded.resize(16, 0);
    EXPECT_EQ(Values(), Bits(padded, 64, 4));
    // A header and nothing else; a file shorter than the header.
    ASSERT_TRUE(LoadIcon(Header(16, 16, 1)));
    EXPECT_EQ(Values(), std::vector<uint32_t>(256, 0));
    ASSERT_TRUE(LoadIcon("/* Width=16, Height=1, Depth=1 */"));
    EXPECT_EQ(Values(), std::vector<uint32_t>(16, 0));
    RecordMessages messages;
    EXPECT_FALSE(LoadIcon("/*"));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Unsupported SunIcon Depth");
    EXPECT_EQ(std::string(g_infoText), "image type: SunIcon \n\nheader string: /*");
    // Only names ending in "ico", in any case, are read as Sun icons.
    std::string icon = Header(16, 1, 1) + Words({0xFFFF});
    EXPECT_TRUE(LoadIcon(icon, "upper.ICO"));
    EXPECT_TRUE(LoadIcon(icon, "mixed.iCo"));
    messages.messages.clear();
    EXPECT_FALSE(LoadIcon(icon, "icon.txt"));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(g_viewKind, KIND_NONE);
}

TEST(SunIconRead, MemoryFailure) {
    RecordMessages messages;
    std::string content = Header(16, 1, 1) + Words({0xFFFF});
    std::string path = WriteTestFile("memory.ico", Bytes(content.begin(), content.end()));
    ReleaseCurrentPicture();
    InitImageState();
    FailGlobalAllocAt(1);
    EXPECT_FALSE(LoadPictureFile(path.c_str(), nullptr, 32));
    FailGlobalAllocAt(0);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Memory Allocation Error");
}
