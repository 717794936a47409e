// The PCX reader and writer against netpbm (ppmtopcx with its plane and
// depth options, pcxtoppm) and ImageMagick (convert), pixel for pixel, both
// ways, and zendra-cli converting PCX to Targa. ImageMagick 6.9 misreads the
// palettes of 1-bit PCX files, so for those netpbm is the only reference.
//
// Tools needed (Debian packages): netpbm, imagemagick.
#include "interop/pnm_picture.h"
#include "unit/test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace pnm;

namespace {
#define REQUIRE_TOOLS()                                                                            \
    do {                                                                                           \
        for (const char* tool : {"ppmtopcx", "pcxtoppm", "tgatoppm", "convert"})                   \
            ASSERT_TRUE(HaveTool(tool)) << tool << " is missing (netpbm, imagemagick)";            \
    } while (0)

const char* const kNetpbm = "pcxtoppm {}";
const char* const kMagick = "convert {} -depth 8 ppm:-";

BYTE HeaderByte(const std::string& path, size_t at) {
    Bytes b = ReadWholeFile(path);
    return at < b.size() ? b[at] : 0;
}

// A record of `colours` random colours (palette records) or random pixels,
// with runs.
HGLOBAL MakeRecord(std::mt19937& rng, int width, int height, int bits, int colours) {
    HGLOBAL image = AllocImageRecord(width, height, bits, bits <= 8 ? colours : 0);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    for (int i = 0; i < (bits <= 8 ? colours : 0); i++)
        for (int c = 0; c < 3; c++) table[4 * i + c] = BYTE(rng());
    BYTE* pixels = ImagePixels(h);
    const uint64_t stride = ImageStride(width, bits);
    uint32_t last = 0;
    for (int y = 0; y < height; y++) {
        BYTE* row = pixels + uint64_t(y) * stride;
        for (int x = 0; x < width; x++) {
            if (rng() % 2) last = bits <= 8 ? rng() % uint32_t(colours) : rng();
            if (bits == 1) {
                if (last) row[x / 8] |= BYTE(0x80 >> (x % 8));
            } else if (bits == 4) {
                row[x / 2] |= BYTE(last << ((x & 1) ? 0 : 4));
            } else {
                for (int b = 0; b < bits / 8; b++) row[x * (bits / 8) + b] = BYTE(last >> (8 * b));
            }
        }
    }
    GlobalUnlock(image);
    return image;
}

const int kWidths[] = {1, 3, 8, 13, 33, 200};
} // namespace

TEST(PcxInterop, NetpbmFilesRead) {
    REQUIRE_TOOLS();
    std::mt19937 rng(1287);
    struct Case {
        const char* options;
        int colours; // 0: every pixel its own colour
        int bits, planes;
    } cases[] = {
        {"", 2, 1, 1},          {"-planes 2", 2, 1, 2}, {"-planes 3", 3, 1, 3},
        {"-planes 4", 4, 1, 4}, {"", 4, 1, 2},          {"", 8, 1, 3},
        {"", 16, 1, 4},         {"-packed", 2, 1, 1},   {"-packed", 3, 2, 1},
        {"-packed", 16, 4, 1},  {"-8bit", 16, 8, 1},    {"", 200, 8, 1},
        {"-24bit", 16, 8, 3},   {"-24bit", 0, 8, 3},
    };
    for (const Case& c : cases) {
        for (int width : kWidths) {
            // Enough pixels for every colour.
            const int height = 1 + (c.colours + width - 1) / width + width % 3;
            Picture picture = RandomPicture(rng, width, height, c.colours);
            std::string what = std::string("ppmtopcx ") + c.options + ", " +
                               std::to_string(c.colours) + " colours, width " +
                               std::to_string(width);
            std::string in = WriteTestFile("netpbm.ppm", PpmBytes(picture));
            std::string pcx = At("netpbm.pcx");
            std::string log;
            ASSERT_TRUE(RunTool(
                std::string("ppmtopcx ") + c.options + " '" + in + "' >'" + pcx + "'", &log))
                << what << ": " << log;
            ASSERT_EQ(HeaderByte(pcx, 3), c.bits) << what;
            ASSERT_EQ(HeaderByte(pcx, 65), c.planes) << what;
            std::vector<const char*> decoders = {kNetpbm};
            if (c.bits * c.planes != 1) decoders.push_back(kMagick);
            ExpectReadAsDecoders(pcx, &picture, decoders, what);
        }
    }
}

TEST(PcxInterop, ImageMagickFilesRead) {
    REQUIRE_TOOLS();
    std::mt19937 rng(1405);
    struct Case {
        const char* options;
        int colours;
        bool grey;
        int bits, planes;
    } cases[] = {
        {"-type TrueColor", 0, false, 8, 3},
        {"-type TrueColor", 5, false, 8, 3},
        {"-type Palette", 200, false, 8, 1},
        {"-type Palette", 16, false, 8, 1},
        // ImageMagick writes grey and two-level pictures in three planes.
        {"-type Grayscale", 256, true, 8, 3},
        {"-type Bilevel", 2, true, 8, 3},
    };
    for (const Case& c : cases) {
        for (int width : kWidths) {
            const int height = 1 + (c.colours + width - 1) / width + width % 2;
            Picture picture = RandomPicture(rng, width, height, c.colours, c.grey);
            std::string what = std::string("convert ") + c.options + ", " +
                               std::to_string(c.colours) + " colours, width " +
                               std::to_string(width);
            std::string in = WriteTestFile("magick.ppm", PpmBytes(picture));
            std::string pcx = At("magick.pcx");
            std::string log;
            ASSERT_TRUE(RunTool("convert '" + in + "' " + c.options + " PCX:'" + pcx + "'", &log))
                << what << ": " << log;
            // ImageMagick picks the depth from the colours it finds.
            EXPECT_EQ(HeaderByte(pcx, 3) * HeaderByte(pcx, 65), c.bits * c.planes) << what;
            std::vector<const char*> decoders = {kNetpbm};
            if (c.bits * c.planes != 1) decoders.push_back(kMagick);
            ExpectReadAsDecoders(pcx, &picture, decoders, what);
        }
    }
}

TEST(PcxInterop, OurFilesDecodedByNetpbmAndImageMagick) {
    REQUIRE_TOOLS();
    std::mt19937 rng(1999);
    struct Case {
        int bits, colours, planes;
    } cases[] = {{1, 2, 1},  {4, 2, 2},  {4, 4, 2},   {4, 5, 3},  {4, 8, 3},  {4, 9, 4},
                 {4, 16, 4}, {8, 17, 1}, {8, 256, 1}, {16, 0, 3}, {24, 0, 3}, {32, 0, 3}};
    for (const Case& c : cases) {
        for (int width : kWidths) {
            std::string what = std::to_string(c.bits) + " bits, " + std::to_string(c.colours) +
                               " colours, width " + std::to_string(width);
            HGLOBAL image = MakeRecord(rng, width, 3 + width % 4, c.bits, c.colours);
            std::string out = At("ours.pcx");
            std::remove(out.c_str());
            ASSERT_EQ(WritePicture(image, out.c_str(), FMT_PCX, 0, 0), WRITE_OK) << what;
            ASSERT_EQ(HeaderByte(out, 65), c.planes) << what;
            Picture expected = FromRecord(image);
            // 16-bit components are written as 5 bits shifted left by 3.
            const int bits = c.bits == 16 ? 5 : 8;
            std::vector<const char*> decoders = {kNetpbm};
            if (c.bits != 1) decoders.push_back(kMagick);
            for (const char* decoder : decoders) {
                Picture back;
                std::string why;
                ASSERT_TRUE(Decode(decoder, out, &back, &why))
                    << what << ": " << decoder << ": " << why;
                ExpectSame(back, expected, bits, what + " (" + decoder + ")");
                if (c.bits == 16) {
                    for (uint32_t v : back.rgb)
                        EXPECT_EQ(v & 0x070707, 0u) << what << ": low bits of 5-bit components";
                }
            }
            GlobalFree(image);
        }
    }
}

TEST(PcxInterop, ConvertPcxToTargaAndBack) {
    REQUIRE_TOOLS();
    std::mt19937 rng(2024);
    for (const char* options : {"-24bit", "-8bit", "-planes 4", "-packed"}) {
        for (int width : {5, 130}) {
            Picture picture = RandomPicture(rng, width, 7,
                                            std::string(options) == "-24bit"  ? 0
                                            : std::string(options) == "-8bit" ? 150
                                                                              : 16);
            std::string what =
                std::string("ppmtopcx ") + options + ", width " + std::to_string(width);
            std::string in = WriteTestFile("cli.ppm", PpmBytes(picture));
            std::string pcx = At("cli.pcx"), tga = At("cli.tga"), again = At("again.pcx");
            std::string log;
            ASSERT_TRUE(
                RunTool(std::string("ppmtopcx ") + options + " '" + in + "' >'" + pcx + "'"))
                << what;
            for (const char* to : {"tga", "tga-rle"}) {
                ASSERT_TRUE(RunTool(std::string(ZENDRA_CLI) + " convert --force --to " + to + " '" +
                                        pcx + "' '" + tga + "'",
                                    &log))
                    << what << ": " << log;
                Picture back;
                std::string why;
                ASSERT_TRUE(Decode("tgatoppm {}", tga, &back, &why)) << what << ": " << why;
                ExpectSame(back, picture, 8, what + " to " + to);
                ASSERT_TRUE(RunTool(std::string(ZENDRA_CLI) + " convert --force '" + tga + "' '" +
                                        again + "'",
                                    &log))
                    << what << ": " << log;
                ASSERT_TRUE(Decode(kNetpbm, again, &back, &why)) << what << ": " << why;
                ExpectSame(back, picture, 8, what + " to " + to + " and back");
            }
        }
    }
}
