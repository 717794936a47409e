// The Targa reader and writer against netpbm (pamtotga with -rgb, -cmap,
// -cmap16, -mono, run-length or -norle, tgatoppm) and ImageMagick (convert),
// pixel for pixel, both ways, and zendra-cli converting Targa to PCX.
// ImageMagick 6.9 stores and reads Targa rows in the opposite order to the
// one the descriptor names (it reads its own files back, but not netpbm's),
// so netpbm's decoder is the reference for the row order.
//
// Tools needed (Debian packages): netpbm, imagemagick.
#include "interop/pnm_picture.h"
#include "unit/png_test_util.h"
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
        for (const char* tool : {"pamtotga", "tgatoppm", "pcxtoppm", "convert"})                   \
            ASSERT_TRUE(HaveTool(tool)) << tool << " is missing (netpbm, imagemagick)";            \
    } while (0)

const char* const kNetpbm = "tgatoppm {}";
const char* const kMagick = "convert {} -depth 8 ppm:-";

Bytes Head(const std::string& path) {
    Bytes b = ReadWholeFile(path);
    b.resize(18, 0);
    return b;
}

// Our reading of the file through the loader.
bool LoadPicture(const std::string& path, Picture* out, const std::string& what) {
    RecordMessages messages;
    bool loaded = LoadForTest(path);
    EXPECT_TRUE(loaded) << what;
    EXPECT_TRUE(messages.messages.empty()) << what << ": " << messages.messages[0].text;
    if (loaded) *out = FromRecord(g_picture);
    return loaded;
}

HGLOBAL MakeRecord(std::mt19937& rng, int width, int height, int bits, int colours, bool grey) {
    HGLOBAL image = AllocImageRecord(width, height, bits, bits <= 8 ? colours : 0);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    for (int i = 0; i < (bits <= 8 ? colours : 0); i++) {
        BYTE v = BYTE(rng());
        table[4 * i] = v;
        table[4 * i + 1] = grey ? v : BYTE(rng());
        table[4 * i + 2] = grey ? v : BYTE(rng());
    }
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

const int kWidths[] = {1, 2, 3, 4, 13, 130, 300};
} // namespace

TEST(TargaInterop, NetpbmFilesRead) {
    REQUIRE_TOOLS();
    std::mt19937 rng(1406);
    enum Input { COLOUR, GREY, BILEVEL, ALPHA };
    struct Case {
        const char* options;
        Input input;
        int colours;
        int type, pixelBits, entryBits;
        int precision; // bits per component compared
    } cases[] = {
        {"-rgb", COLOUR, 0, 10, 24, 0, 8},
        {"-rgb -norle", COLOUR, 0, 2, 24, 0, 8},
        {"-cmap", COLOUR, 40, 9, 8, 24, 8},
        {"-cmap -norle", COLOUR, 40, 1, 8, 24, 8},
        {"-cmap16", COLOUR, 40, 9, 8, 15, 5},
        {"-cmap16 -norle", COLOUR, 200, 1, 8, 15, 5},
        {"-cmap", GREY, 256, 9, 8, 8, 8},
        {"-mono", GREY, 256, 11, 8, 0, 8},
        {"-mono -norle", GREY, 256, 3, 8, 0, 8},
        {"-mono", BILEVEL, 2, 11, 8, 0, 8},
        {"", ALPHA, 0, 10, 32, 0, 8},
        {"-norle", ALPHA, 0, 2, 32, 0, 8},
        {"-rgb -name=zendra", COLOUR, 0, 10, 24, 0, 8},
    };
    for (const Case& c : cases) {
        for (int width : kWidths) {
            const int height = 1 + (c.colours + width - 1) / width + width % 3;
            Picture picture = RandomPicture(rng, width, height, c.colours, c.input != COLOUR);
            std::string what = std::string("pamtotga ") + c.options + ", " +
                               std::to_string(c.colours) + " colours, width " +
                               std::to_string(width);
            Bytes input = c.input == ALPHA    ? PamBytes(picture)
                          : c.input == COLOUR ? PpmBytes(picture)
                                              : PgmBytes(picture, c.input == BILEVEL);
            std::string in = WriteTestFile("netpbm.pnm", input);
            std::string tga = At("netpbm.tga");
            std::string log;
            ASSERT_TRUE(RunTool(
                std::string("pamtotga ") + c.options + " <'" + in + "' >'" + tga + "'", &log))
                << what << ": " << log;
            Bytes head = Head(tga);
            ASSERT_EQ(head[2], c.type) << what;
            ASSERT_EQ(head[16], c.pixelBits) << what;
            if (c.entryBits) {
                ASSERT_EQ(head[7], c.entryBits) << what;
            }
            if (std::string(c.options).find("-name") != std::string::npos) {
                ASSERT_EQ(head[0], 6) << what << ": an identification field";
            }
            Picture ours, ref;
            if (!LoadPicture(tga, &ours, what)) continue;
            std::string why;
            ASSERT_TRUE(Decode(kNetpbm, tga, &ref, &why)) << what << ": " << why;
            // pamtotga rounds components to 5 bits, so at 5 bits netpbm's
            // decoder alone is the reference.
            if (c.precision == 8) ExpectSame(ours, picture, 8, what + " (the original)");
            ExpectSame(ours, ref, c.precision, what + " (tgatoppm)");
            if (c.input == ALPHA) {
                // The fourth byte of 32-bit pixels is kept.
                BITMAPINFOHEADER h = HeaderOf(g_picture);
                ASSERT_EQ(h.biBitCount, 32) << what;
                BITMAPINFOHEADER* p = static_cast<BITMAPINFOHEADER*>(GlobalLock(g_picture));
                const BYTE* pixels = ImagePixels(p);
                int wrong = 0;
                for (int y = 0; y < height; y++)
                    for (int x = 0; x < width; x++)
                        if (pixels[ImageStride(width, 32) * uint64_t(height - 1 - y) +
                                   uint64_t(4 * x + 3)] != picture.alpha[size_t(y * width + x)])
                            wrong++;
                GlobalUnlock(g_picture);
                EXPECT_EQ(wrong, 0) << what << ": alpha bytes";
            }
        }
    }
}

TEST(TargaInterop, ImageMagickFilesRead) {
    REQUIRE_TOOLS();
    std::mt19937 rng(1503);
    struct Case {
        const char* options;
        int colours;
        bool grey;
    } cases[] = {
        {"-type TrueColor", 0, false},  {"-type TrueColor -compress RLE", 0, false},
        {"-type Palette", 200, false},  {"-type Palette -compress RLE", 30, false},
        {"-type Grayscale", 256, true}, {"-type Grayscale -compress RLE", 256, true},
    };
    for (const Case& c : cases) {
        for (int width : kWidths) {
            const int height = 2 + (c.colours + width - 1) / width;
            Picture picture = RandomPicture(rng, width, height, c.colours, c.grey);
            std::string what =
                std::string("convert ") + c.options + ", width " + std::to_string(width);
            std::string in = WriteTestFile("magick.ppm", PpmBytes(picture));
            std::string tga = At("magick.tga");
            std::string log;
            ASSERT_TRUE(RunTool("convert '" + in + "' " + c.options + " TGA:'" + tga + "'", &log))
                << what << ": " << log;
            Picture ours, ref;
            if (!LoadPicture(tga, &ours, what)) continue;
            std::string why;
            ASSERT_TRUE(Decode(kNetpbm, tga, &ref, &why)) << what << ": " << why;
            ExpectSame(ours, ref, 8, what + " (tgatoppm)");
            // ImageMagick's rows are stored the other way round.
            ExpectSame(ours, FlippedRows(picture), 8, what + " (the original, rows reversed)");
        }
    }
}

TEST(TargaInterop, OurFilesDecodedByNetpbmAndImageMagick) {
    REQUIRE_TOOLS();
    std::mt19937 rng(2000);
    struct Case {
        int bits, colours;
        bool grey;
        int type; // uncompressed
    } cases[] = {{1, 2, false, 1},  {4, 16, false, 1}, {4, 5, false, 1}, {8, 256, false, 1},
                 {8, 33, false, 1}, {8, 256, true, 3}, {8, 20, true, 3}, {16, 0, false, 2},
                 {24, 0, false, 2}, {32, 0, false, 2}};
    for (const Case& c : cases) {
        for (int runLength : {0, 1}) {
            for (int width : kWidths) {
                std::string what = std::to_string(c.bits) + " bits, " + std::to_string(c.colours) +
                                   (c.grey ? " greys" : " colours") +
                                   (runLength ? ", packets" : "") + ", width " +
                                   std::to_string(width);
                HGLOBAL image = MakeRecord(rng, width, 2 + width % 5, c.bits, c.colours, c.grey);
                std::string out = At("ours.tga");
                std::remove(out.c_str());
                ASSERT_EQ(WritePicture(image, out.c_str(), FMT_TGA, runLength, 0), WRITE_OK)
                    << what;
                ASSERT_EQ(Head(out)[2], c.type + 8 * runLength) << what;
                Picture expected = FromRecord(image);
                const int bits = c.bits == 16 ? 5 : 8;
                Picture back;
                std::string why;
                ASSERT_TRUE(Decode(kNetpbm, out, &back, &why)) << what << ": " << why;
                ExpectSame(back, expected, bits, what + " (tgatoppm)");
                // ImageMagick reads the rows the other way round.
                ASSERT_TRUE(Decode(kMagick, out, &back, &why)) << what << ": " << why;
                ExpectSame(back, FlippedRows(expected), bits, what + " (convert, rows reversed)");
                GlobalFree(image);
            }
        }
    }
}

TEST(TargaInterop, ConvertTargaToPcxAndBack) {
    REQUIRE_TOOLS();
    std::mt19937 rng(3000);
    for (const char* options : {"-rgb", "-cmap", "-cmap -norle", "-rgb -norle"}) {
        for (int width : {6, 131}) {
            Picture picture = RandomPicture(
                rng, width, 9, std::string(options).find("cmap") != std::string::npos ? 100 : 0);
            std::string what =
                std::string("pamtotga ") + options + ", width " + std::to_string(width);
            std::string in = WriteTestFile("cli.ppm", PpmBytes(picture));
            std::string tga = At("cli.tga"), pcx = At("cli.pcx"), again = At("again.tga");
            std::string log;
            ASSERT_TRUE(
                RunTool(std::string("pamtotga ") + options + " <'" + in + "' >'" + tga + "'"))
                << what;
            ASSERT_TRUE(RunTool(
                std::string(ZENDRA_CLI) + " convert --force '" + tga + "' '" + pcx + "'", &log))
                << what << ": " << log;
            Picture back;
            std::string why;
            ASSERT_TRUE(Decode("pcxtoppm {}", pcx, &back, &why)) << what << ": " << why;
            ExpectSame(back, picture, 8, what + " to PCX");
            for (const char* to : {"tga", "tga-rle"}) {
                ASSERT_TRUE(RunTool(std::string(ZENDRA_CLI) + " convert --force --to " + to + " '" +
                                        pcx + "' '" + again + "'",
                                    &log))
                    << what << ": " << log;
                ASSERT_TRUE(Decode(kNetpbm, again, &back, &why)) << what << ": " << why;
                ExpectSame(back, picture, 8, what + " to PCX and back to " + to);
            }
        }
    }
}

// Grey Targa files with alpha (16 bits, image types 3 and 11) written by
// Pillow, uncompressed and run-length coded, bottom-up and top-down: the
// record holds Pillow's grey put onto white as the PNG reader composites a
// grey file's alpha (in linear light, the file taken at gamma 0.45 and the
// display at 2.2). ImageMagick 6.9 and netpbm's tgatoppm read these files
// as 5-5-5 colour, so only Pillow's reading is a reference here.
TEST(TargaInterop, GreyWithAlphaFromPillow) {
    ASSERT_TRUE(RunTool("/usr/bin/python3 -c 'import PIL'")) << "Pillow is missing (python3-pil)";
    const int width = 37, height = 5;
    for (const char* compression : {"None", "'tga_rle'"}) {
        for (const char* orientation : {"", ", orientation=1"}) {
            const std::string what = std::string("compression ") + compression + orientation;
            const std::string path = At("pillow-la.tga");
            const std::string script =
                "import random\nfrom PIL import Image\nrandom.seed(1303)\n"
                "im = Image.new('LA', (" +
                std::to_string(width) + ", " + std::to_string(height) +
                "))\n"
                "px = [(random.randrange(256), random.choice([0, 255, random.randrange(256)])) "
                "for i in range(" +
                std::to_string(width * height) +
                ")]\n"
                "px[:4] = [(9, 0), (200, 255), (0, 128), (255, 1)]\n"
                "im.putdata(px)\nim.save('" +
                path + "', compression=" + compression + orientation + ")\n";
            const std::string scriptPath =
                WriteTestFile("make.py", Bytes(script.begin(), script.end()));
            std::string log;
            ASSERT_TRUE(RunTool("/usr/bin/python3 '" + scriptPath + "'", &log)) << what << log;
            const Bytes head = Head(path);
            EXPECT_EQ(head[2], compression[0] == 'N' ? 3 : 11) << what;
            EXPECT_EQ(head[16], 16) << what;
            EXPECT_EQ(head[17] & 0x0F, 8) << what;

            const std::string raw = At("pillow-la.raw");
            ASSERT_TRUE(RunTool("/usr/bin/python3 -c 'import sys; from PIL import Image; "
                                "sys.stdout.buffer.write(Image.open(sys.argv[1]).tobytes())' '" +
                                    path + "' >'" + raw + "'",
                                &log))
                << what << log;
            const Bytes la = ReadWholeFile(raw);
            ASSERT_EQ(la.size(), size_t(2 * width * height)) << what;

            RecordMessages messages;
            ASSERT_TRUE(LoadForTest(path)) << what;
            EXPECT_TRUE(messages.messages.empty()) << what;
            ASSERT_EQ(HeaderOf(g_picture).biBitCount, 8) << what;
            int wrong = 0;
            for (int y = 0; y < height; y++)
                for (int x = 0; x < width; x++) {
                    const size_t i = size_t(2 * (y * width + x));
                    const int want = int(png::OnWhite8(la[i], la[i + 1], png::kNoChunk));
                    const int got = int(PixelAt(g_picture, x, y) & 0xFF);
                    EXPECT_EQ(PixelAt(g_picture, x, y), uint32_t(got) * 0x010101u) << what;
                    if ((got < want - 1 || got > want + 1) && wrong++ < 3)
                        ADD_FAILURE()
                            << what << " at " << x << "," << y << ": " << got << ", worked " << want
                            << " from grey " << int(la[i]) << " alpha " << int(la[i + 1]);
                }
            EXPECT_EQ(wrong, 0) << what;
            // Worked by hand: transparent is white, opaque keeps its grey, black
            // at half alpha is 255 x (127 / 255)^(1 / 2.2) = 186 in linear light.
            EXPECT_EQ(PixelAt(g_picture, 0, 0) & 0xFF, 255u) << what;
            EXPECT_EQ(PixelAt(g_picture, 1, 0) & 0xFF, 200u) << what;
            EXPECT_EQ(PixelAt(g_picture, 2, 0) & 0xFF, 186u) << what;
        }
    }
}
