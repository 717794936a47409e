// The GIF and Sun icon readers against netpbm (pamtogif with its options,
// giftopnm; pbmtosunicon, sunicontopnm) and ImageMagick (convert), pixel for
// pixel; and GIFs this test codes the ways those encoders do not (a full
// table kept without a clear code, clear codes everywhere, no leading clear
// code, one-byte sub-blocks), which giftopnm and we must read alike.
//
// Tools needed (Debian packages): netpbm, imagemagick.
#include "interop/pnm_picture.h"
#include "unit/gif_test_util.h"
#include "unit/test_util.h"

#include "core/image.h"
#include "core/state.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace pnm;

namespace {
#define REQUIRE_TOOLS()                                                                            \
    do {                                                                                           \
        for (const char* tool :                                                                    \
             {"pamtogif", "giftopnm", "pbmtosunicon", "sunicontopnm", "convert"})                  \
            ASSERT_TRUE(HaveTool(tool)) << tool << " is missing (netpbm, imagemagick)";            \
    } while (0)

const char* const kGiftopnm = "giftopnm {}";
const char* const kMagick = "convert {} -depth 8 ppm:-";

std::string Describe(const char* tool, const char* options, int colours, int width, int height) {
    return std::string(tool) + " " + options + ", " + std::to_string(colours) + " colours, " +
           std::to_string(width) + " x " + std::to_string(height);
}

struct Size {
    int width, height;
};
// Odd widths, one-pixel frames, and a picture large enough to fill the
// code table many times over.
const Size kSizes[] = {{1, 1}, {1, 37}, {3, 5}, {13, 9}, {33, 17}, {200, 3}, {517, 411}};
const int kColours[] = {2, 3, 16, 17, 100, 256};
} // namespace

TEST(GifInterop, NetpbmFilesRead) {
    REQUIRE_TOOLS();
    std::mt19937 rng(4411);
    const char* const options[] = {"",       "-interlace", "-sort",
                                   "-nolzw", "-noclear",   "-interlace -noclear"};
    for (const char* option : options) {
        for (int colours : kColours) {
            for (Size size : kSizes) {
                const int height = std::max(size.height, (colours + size.width - 1) / size.width);
                Picture picture = RandomPicture(rng, size.width, height, colours);
                const std::string what = Describe("pamtogif", option, colours, size.width, height);
                std::string in = WriteTestFile("netpbm.ppm", PpmBytes(picture));
                std::string path = At("netpbm.gif");
                std::string log;
                ASSERT_TRUE(RunTool(
                    std::string("pamtogif ") + option + " '" + in + "' >'" + path + "'", &log))
                    << what << ": " << log;
                ExpectReadAsDecoders(path, &picture, {kGiftopnm, kMagick}, what);
            }
        }
    }
}

TEST(GifInterop, ImageMagickFilesRead) {
    REQUIRE_TOOLS();
    std::mt19937 rng(8086);
    struct Case {
        const char* options;
        const char* format; // GIF is 89a, GIF87 87a
    } cases[] = {
        {"", "GIF"},
        {"-interlace GIF", "GIF"},
        {"-interlace Line", "GIF"},
        {"", "GIF87"},
    };
    for (const Case& c : cases) {
        for (int colours : {2, 17, 256}) {
            for (Size size : kSizes) {
                const int height = std::max(size.height, (colours + size.width - 1) / size.width);
                Picture picture = RandomPicture(rng, size.width, height, colours);
                const std::string what =
                    Describe("convert", c.options, colours, size.width, height) + " " + c.format;
                std::string in = WriteTestFile("magick.ppm", PpmBytes(picture));
                std::string path = At("magick.gif");
                std::string log;
                ASSERT_TRUE(RunTool(
                    "convert '" + in + "' " + c.options + " " + c.format + ":'" + path + "'", &log))
                    << what << ": " << log;
                ExpectReadAsDecoders(path, nullptr, {kGiftopnm, kMagick}, what);
            }
        }
    }
}

// An animation: the first frame and its delay; giftopnm reads the first image too.
TEST(GifInterop, ImageMagickAnimationFirstFrame) {
    REQUIRE_TOOLS();
    std::mt19937 rng(1999);
    Picture first = RandomPicture(rng, 31, 20, 40);
    Picture second = RandomPicture(rng, 31, 20, 200);
    std::string a = WriteTestFile("first.ppm", PpmBytes(first));
    std::string b = WriteTestFile("second.ppm", PpmBytes(second));
    std::string path = At("animation.gif");
    std::string log;
    ASSERT_TRUE(
        RunTool("convert -delay 10 '" + a + "' -delay 70 '" + b + "' -loop 0 '" + path + "'", &log))
        << log;
    ExpectReadAsDecoders(path, &first, {kGiftopnm}, "animation");
    EXPECT_EQ(g_frameDelay, 10);
    EXPECT_EQ(g_gif.frameCount, 1);
}

// Streams coded by our test encoder in the ways real encoders differ:
// giftopnm reads them to the same pixels we do.
TEST(GifInterop, UnusualStreamsReadAlike) {
    REQUIRE_TOOLS();
    std::mt19937 rng(31);
    struct Case {
        const char* what;
        int minCodeSize;
        gif::LzwOptions options;
        size_t blockSize;
        bool interlaced;
    } cases[] = {
        {"full table kept, 8 bits", 8, {true, false, 0, true}, 255, false},
        {"full table kept, 2 bits", 2, {true, false, 0, true}, 255, false},
        {"full table kept, 5 bits, interlaced", 5, {true, false, 0, true}, 255, true},
        {"clear code before every index", 3, {true, true, 1, true}, 255, false},
        {"clear code every 1000 indices", 7, {true, true, 1000, true}, 255, false},
        {"no leading clear code", 4, {false, true, 0, true}, 255, false},
        {"one-byte sub-blocks", 6, {}, 1, true},
    };
    for (const Case& c : cases) {
        const int width = 301, height = 117;
        const int colours = 1 << c.minCodeSize;
        std::vector<uint32_t> table;
        for (int i = 0; i < colours; i++) table.push_back(rng() & 0xFFFFFF);
        Bytes indices;
        for (int i = 0; i < width * height; i++)
            indices.push_back(uint8_t(i % 3 ? (indices.empty() ? 0 : indices.back())
                                            : rng() % uint32_t(colours)));
        gif::File f;
        f.width = width;
        f.height = height;
        f.global = table;
        f.minCodeSize = c.minCodeSize;
        f.interlaced = c.interlaced;
        Bytes stored = c.interlaced ? gif::InterlacedOrder(indices, width, height) : indices;
        f.data = gif::ImageData(stored, c.minCodeSize, c.options, c.blockSize);
        std::string path = WriteTestFile("coded.gif", gif::Build(f));
        Picture picture;
        picture.width = width;
        picture.height = height;
        for (uint8_t i : indices) picture.rgb.push_back(table[i]);
        picture.alpha.assign(picture.rgb.size(), 255);
        ExpectReadAsDecoders(path, &picture, {kGiftopnm}, c.what);
    }
}

TEST(SunIconInterop, NetpbmIconsRead) {
    REQUIRE_TOOLS();
    std::mt19937 rng(64);
    // pbmtosunicon pads the width to a whole number of words.
    const Size sizes[] = {{16, 16}, {64, 64}, {48, 33}, {100, 7}, {1, 1}, {128, 128}, {500, 300}};
    for (Size size : sizes) {
        Picture picture = RandomPicture(rng, size.width, size.height, 2, true);
        const std::string what = std::to_string(size.width) + " x " + std::to_string(size.height);
        std::string in = WriteTestFile("icon.pbm", PgmBytes(picture, true));
        std::string path = At("icon.ico");
        std::string log;
        ASSERT_TRUE(RunTool("pbmtosunicon '" + in + "' >'" + path + "'", &log)) << what << log;
        ExpectReadAsDecoders(path, nullptr, {"sunicontopnm {}"}, what);
        EXPECT_EQ(HeaderOf(g_picture).biBitCount, 1) << what;
        EXPECT_EQ(HeaderOf(g_picture).biHeight, size.height) << what;
    }
}

// 87a files with no global table, only a local one: pamtogif's and
// ImageMagick's 87a files with their global table moved into the image
// descriptor. giftopnm, ImageMagick and Pillow read them as the picture they
// were made from, and so do we.
TEST(GifInterop, Version87aWithOnlyALocalTable) {
    REQUIRE_TOOLS();
    ASSERT_TRUE(RunTool("/usr/bin/python3 -c 'import PIL'")) << "Pillow is missing (python3-pil)";
    const char* const pillow = "/usr/bin/python3 -c 'import sys; from PIL import Image; "
                               "Image.open(sys.argv[1]).convert(\"RGB\").save(sys.stdout.buffer, "
                               "\"PPM\")' {}";
    std::mt19937 rng(1304);
    for (const char* tool : {"pamtogif", "convert"}) {
        for (int colours : {2, 5, 16, 200}) {
            for (Size size : {Size{1, 1}, Size{13, 9}, Size{200, 3}}) {
                const int height = std::max(size.height, (colours + size.width - 1) / size.width);
                Picture picture = RandomPicture(rng, size.width, height, colours);
                const std::string what = Describe(tool, "87a", colours, size.width, height);
                const std::string in = WriteTestFile("local.ppm", PpmBytes(picture));
                const std::string made = At("made.gif");
                std::string log;
                const std::string command = tool == std::string("pamtogif")
                                                ? "pamtogif '" + in + "' >'" + made + "'"
                                                : "convert '" + in + "' GIF87:'" + made + "'";
                ASSERT_TRUE(RunTool(command, &log)) << what << ": " << log;
                Bytes file = ReadWholeFile(made);
                ASSERT_GE(file.size(), size_t(13)) << what;
                ASSERT_EQ(std::string(file.begin(), file.begin() + 6), "GIF87a") << what;
                const int flags = file[10];
                ASSERT_TRUE(flags & 0x80) << what;
                const size_t tableBytes = 3u << ((flags & 7) + 1);
                const size_t descriptor = 13 + tableBytes;
                ASSERT_GT(file.size(), descriptor + 10) << what;
                ASSERT_EQ(file[descriptor], 0x2C) << what << " (an image right after the table)";
                ASSERT_EQ(file[descriptor + 9] & 0x80, 0) << what;
                // The table moves behind the image descriptor; the screen keeps
                // its colour resolution and loses its table.
                Bytes moved;
                auto take = [&](size_t from, size_t to) {
                    for (size_t i = from; i < to; i++) moved.push_back(file[i]);
                };
                take(0, 13);
                moved[10] = BYTE(flags & 0x70);
                take(descriptor, descriptor + 9);
                moved.push_back(BYTE(0x80 | (file[descriptor + 9] & 0x40) | (flags & 7)));
                take(13, descriptor);
                take(descriptor + 10, file.size());
                const std::string path = WriteTestFile("local.gif", moved);
                ExpectReadAsDecoders(path, &picture, {kGiftopnm, kMagick, pillow}, what);
            }
        }
    }
}
