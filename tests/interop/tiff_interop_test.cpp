// The TIFF reader on files made by libtiff's tools (tiffcp in every
// compression, tiles and separate planes, of netpbm's pnmtotiff output in
// each of its forms; tiffset orientations) and by ImageMagick (1 to 16 bits,
// CMYK, Lab, tiles, strips): our pixels against tiff2rgba's (the library's
// own RGBA reading, composited as ours) and ImageMagick's orientation. Our
// files for every Convert/Save entry and depth checked by tiffinfo and
// decoded by tiff2rgba and ImageMagick; zendra-cli's text and conversions.
//
// Tools needed (Debian packages): libtiff-tools, netpbm, imagemagick.
#include "interop/pnm_picture.h"
#include "unit/record_util.h"
#include "unit/tiff_test_util.h"
#include "unit/test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/library/tiff_format.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using pnm::At;
using pnm::HaveTool;
using pnm::RunTool;

namespace {
#define REQUIRE_TOOLS()                                                                            \
    do {                                                                                           \
        for (const char* tool :                                                                    \
             {"tiffcp", "tiff2rgba", "tiffinfo", "tiffset", "tifftopnm", "pnmtotiff", "convert"})  \
            ASSERT_TRUE(HaveTool(tool)) << tool << " is missing (libtiff-tools, netpbm, "          \
                                        << "imagemagick)";                                         \
    } while (0)

// tiff2rgba's reading without alpha, as a PPM.
std::string Tiff2rgba() {
    const std::string rgba = "'" + At("tiff2rgba.tif") + "'";
    return "(tiff2rgba -n {} " + rgba + " && tifftopnm -quiet " + rgba + ")";
}

// Components of two pictures that differ by more than `tolerance`.
int Farther(const pnm::Picture& a, const pnm::Picture& b, int tolerance, const std::string& what) {
    if (a.width != b.width || a.height != b.height) {
        ADD_FAILURE() << what << ": " << a.width << "x" << a.height << ", expected " << b.width
                      << "x" << b.height;
        return -1;
    }
    int wrong = 0;
    for (int y = 0; y < a.height; y++)
        for (int x = 0; x < a.width; x++)
            for (int k = 0; k < 24; k += 8) {
                const int d = int((a.at(x, y) >> k) & 0xFF) - int((b.at(x, y) >> k) & 0xFF);
                if (std::abs(d) > tolerance && wrong++ < 3)
                    ADD_FAILURE() << what << ": pixel " << x << "," << y << " differs by " << d;
            }
    return wrong;
}

// Our reading of a file against a decoder's, each component within `tolerance`.
void ExpectReadAs(const std::string& path, const std::string& decoder, int tolerance,
                  const std::string& what) {
    char text[INFO_TEXT_SIZE];
    RecordMessages messages;
    HGLOBAL image = ReadTiff(path.c_str(), nullptr, text, 32).image;
    ASSERT_TRUE(image) << what << ": "
                       << (messages.messages.empty() ? "" : messages.messages[0].text);
    const pnm::Picture ours = pnm::FromRecord(image);
    GlobalFree(image);
    pnm::Picture theirs;
    std::string why;
    ASSERT_TRUE(pnm::Decode(decoder, path, &theirs, &why)) << what << ": " << why;
    EXPECT_EQ(Farther(ours, theirs, tolerance, what), 0) << what;
}

// Netpbm sources: random colour, a 16-colour palette picture, gray and bilevel.
void MakeSources() {
    static bool made = false;
    if (made) return;
    made = true;
    std::mt19937 rng(1433);
    const Bytes colour = pnm::PpmBytes(pnm::RandomPicture(rng, 45, 33, 0));
    WriteTestFile("colour.ppm", colour);
    WriteTestFile("palette.ppm", pnm::PpmBytes(pnm::RandomPicture(rng, 45, 33, 16)));
    WriteTestFile("gray.pgm", pnm::PgmBytes(pnm::RandomPicture(rng, 45, 33, 0, true), false));
    WriteTestFile("bilevel.pbm", pnm::PgmBytes(pnm::RandomPicture(rng, 45, 33, 2, true), true));
}

std::string Q(const std::string& path) {
    return "'" + path + "'";
}
} // namespace

TEST(TiffInterop, TiffcpFilesReadAsTiff2rgba) {
    REQUIRE_TOOLS();
    MakeSources();
    struct Source {
        const char* name;
        const char* command;
        bool bilevel, colour;
    };
    const Source sources[] = {
        {"truecolor", "pnmtotiff -truecolor colour.ppm", false, true},
        {"palette", "pnmtotiff palette.ppm", false, false},
        {"minisblack", "pnmtotiff -minisblack gray.pgm", false, false},
        {"miniswhite", "pnmtotiff -miniswhite gray.pgm", false, false},
        {"bilevel", "pnmtotiff bilevel.pbm", true, false},
        {"bilevel-miniswhite", "pnmtotiff -miniswhite bilevel.pbm", true, false},
    };
    std::string log;
    int files = 0;
    for (const Source& s : sources) {
        const std::string base = At(std::string(s.name) + ".tif");
        ASSERT_TRUE(RunTool("cd " + Q(TestDir()) + " && " + s.command + " >" + Q(base), &log))
            << s.name << ": " << log;
        for (const char* compression :
             {"none", "lzw", "lzw:2", "zip", "packbits", "jpeg", "g3", "g4"}) {
            const std::string c = compression;
            // Fax codecs take only black and white; JPEG no palette or
            // bilevel files; the predictor no 1-bit samples.
            if ((c == "g3" || c == "g4") && !s.bilevel) continue;
            if (c == "jpeg" && (s.bilevel || std::string(s.name) == "palette")) continue;
            if (c == "lzw:2" && s.bilevel) continue;
            for (const char* tiles : {"", "-t"})
                for (const char* planes : {"contig", "separate"}) {
                    if (std::string(planes) == "separate" && !s.colour) continue;
                    // libtiff's JPEG codec writes no separate planes of Y/Cb/Cr.
                    if (std::string(planes) == "separate" && c == "jpeg") continue;
                    const std::string what =
                        std::string(s.name) + " -c " + c + " " + tiles + " -p " + planes;
                    const std::string file = At("tiffcp.tif");
                    ASSERT_TRUE(RunTool("tiffcp -c " + c + " " + tiles + " -p " + planes + " " +
                                            Q(base) + " " + Q(file),
                                        &log))
                        << what << ": " << log;
                    ExpectReadAs(file, Tiff2rgba(), 0, what);
                    files++;
                }
        }
    }
    EXPECT_GE(files, 60);
}

TEST(TiffInterop, ImageMagickFilesReadAsTiff2rgba) {
    REQUIRE_TOOLS();
    MakeSources();
    const std::string colour = At("colour.ppm"), gray = At("gray.pgm");
    struct Case {
        const char* what;
        std::string options;
        const std::string* source;
        int tolerance = 0;
    };
    const Case cases[] = {
        {"1-bit gray", "-colorspace gray -depth 1", &gray},
        {"2-bit gray", "-colorspace gray -depth 2", &gray},
        // Levels 16 i + 8 where libtiff gives 17 i.
        {"4-bit gray", "-colorspace gray -depth 4", &gray, 8},
        {"8-bit gray", "-colorspace gray -depth 8", &gray},
        {"16-bit gray", "-colorspace gray -depth 16", &gray},
        {"16-bit gray, min is white",
         "-colorspace gray -depth 16 -define "
         "tiff:photometric=min-is-white",
         &gray},
        {"16-bit RGB", "-depth 16", &colour},
        {"16-bit RGB, LZW", "-depth 16 -compress lzw", &colour},
        // 16-bit maps scaled by 255 / 65535 where libtiff takes the high byte.
        {"8-bit palette", "-type palette -colors 200", &colour, 1},
        {"4-bit palette", "-type palette -colors 12 -depth 4", &colour, 1},
        {"CMYK", "-colorspace CMYK", &colour},
        {"CMYK, tiles", "-colorspace CMYK -define tiff:tile-geometry=16x16", &colour},
        {"CMYK, separate", "-colorspace CMYK -interlace plane", &colour},
        {"Lab", "-colorspace Lab", &colour},
        {"RGB with alpha", "-alpha set -channel A -evaluate set 100% +channel", &colour},
        {"RGB, 5 rows per strip", "-define tiff:rows-per-strip=5 -compress zip", &colour},
        {"RGB, tiles, packbits", "-define tiff:tile-geometry=32x16 -compress rle", &colour},
        {"RGB, JPEG", "-compress jpeg -quality 90", &colour},
        {"gray, JPEG", "-colorspace gray -compress jpeg", &gray},
    };
    std::string log;
    for (const Case& c : cases) {
        const std::string file = At("magick.tif");
        ASSERT_TRUE(RunTool("convert " + Q(*c.source) + " " + c.options + " " + Q(file), &log))
            << c.what << ": " << log;
        ExpectReadAs(file, Tiff2rgba(), c.tolerance, c.what);
    }
}

// Every Orientation value, on a strip file and on one the RGBA image reader
// decodes (Deflate 8), turned upright as ImageMagick turns it.
TEST(TiffInterop, OrientationsAsImageMagick) {
    REQUIRE_TOOLS();
    MakeSources();
    std::string log;
    const std::string plain = At("upright.tif"), deflate = At("upright-zip.tif");
    ASSERT_TRUE(RunTool("pnmtotiff -truecolor " + Q(At("colour.ppm")) + " >" + Q(plain), &log));
    ASSERT_TRUE(RunTool("tiffcp -c zip " + Q(plain) + " " + Q(deflate), &log)) << log;
    for (const std::string& source : {plain, deflate})
        for (int o = 1; o <= 8; o++) {
            const std::string file = At("oriented.tif");
            ASSERT_TRUE(RunTool("cp " + Q(source) + " " + Q(file) + " && tiffset -s 274 " +
                                    std::to_string(o) + " " + Q(file),
                                &log))
                << log;
            ExpectReadAs(file, "convert {} -auto-orient ppm:-", 0,
                         source + ", orientation " + std::to_string(o));
        }
}

// Every Convert/Save entry at every source depth: files tiffinfo reads
// whole, whose tags are those of the picture, decoded by tiff2rgba and
// ImageMagick to our pixels (JPEG within its loss; the fax codecs only for
// black and white).
TEST(TiffInterop, OurFilesDecodeElsewhere) {
    REQUIRE_TOOLS();
    struct Depth {
        const char* what;
        int bits;
        std::vector<uint32_t> table;
        int precision;      // bits per component the decoders agree on
        bool blackAndWhite; // the fax codecs take it
    };
    std::vector<uint32_t> gray16, gray256, colours;
    for (int i = 0; i < 16; i++) gray16.push_back(uint32_t(16 * i + 8) * 0x010101u);
    for (int i = 0; i < 256; i++) gray256.push_back(uint32_t(i) * 0x010101u);
    for (int i = 0; i < 256; i++) colours.push_back((uint32_t(i) * 0x9E3779B9u) >> 8);
    const Depth depths[] = {
        {"1 bit, black and white", 1, {0, 0xFFFFFF}, 8, true},
        {"1 bit, white and black", 1, {0xFFFFFF, 0}, 8, true},
        {"1 bit, colours", 1, {0x123456, 0xABCDEF}, 8, false},
        {"4 bits, gray ramp", 4, gray16, 4, false},
        {"4 bits, palette", 4, std::vector<uint32_t>(colours.begin(), colours.begin() + 16), 8,
         false},
        {"8 bits, gray", 8, gray256, 8, false},
        {"8 bits, palette", 8, colours, 8, false},
        {"16 bits", 16, {}, 5, false},
        {"24 bits", 24, {}, 8, false},
        {"32 bits", 32, {}, 8, false},
    };
    const int compressions[] = {1, 2, 3, 4, 5, 7, 32773, 32946};
    std::string log;
    for (const Depth& d : depths)
        for (int compression : compressions)
            for (int tiles : {0, 1}) {
                const std::string what = std::string(d.what) + ", compression " +
                                         std::to_string(compression) + (tiles ? ", tiles" : "");
                SCOPED_TRACE(what);
                // Flat 16 x 16 blocks (which JPEG keeps nearly exact) with
                // single-pixel detail in every other block.
                HGLOBAL record = RecordOf(70, 45, d.bits, d.table, [&](int x, int y) {
                    const int block = x / 16 * 5 + y / 16 * 3;
                    uint32_t v = uint32_t(block) * 2654435761u >> 7;
                    if (compression != 7 && (block & 1)) v ^= uint32_t(x * 31 + y * 17);
                    if (d.bits <= 8) return v % uint32_t(d.table.size());
                    return d.bits == 16 ? v & 0x7FFF : v & 0xFFFFFF;
                });
                const std::string file = At("ours.tif");
                std::remove(file.c_str());
                const WriteResult result =
                    WritePicture(record, file.c_str(), FMT_TIFF, compression, tiles);
                const bool fax = compression >= 2 && compression <= 4;
                if (fax && !d.blackAndWhite) {
                    EXPECT_EQ(result, WRITE_FAILED);
                    GlobalFree(record);
                    continue;
                }
                ASSERT_EQ(result, WRITE_OK);
                ASSERT_TRUE(RunTool("tiffinfo -D " + Q(file) + " >/dev/null", &log)) << log;
                EXPECT_EQ(log.find("rror"), std::string::npos) << log;
                const pnm::Picture ours = pnm::FromRecord(record);
                GlobalFree(record);
                // A 16-bit file of 5-5-5 words is our own layout: only we read it.
                if (d.bits == 16 && compression != 7) continue;
                for (const std::string& decoder :
                     {Tiff2rgba(), std::string("convert {} -depth 8 ppm:-")}) {
                    pnm::Picture theirs;
                    ASSERT_TRUE(pnm::Decode(decoder, file, &theirs, &log)) << decoder << log;
                    if (compression != 7) {
                        EXPECT_EQ(pnm::CountDifferences(ours, theirs, d.precision, what), 0)
                            << decoder;
                        continue;
                    }
                    int worst = 0;
                    for (int y = 0; y < 45; y++)
                        for (int x = 0; x < 70; x++) {
                            if (x % 16 < 2 || x % 16 > 13 || y % 16 < 2 || y % 16 > 13) continue;
                            for (int k = 0; k < 24; k += 8) {
                                int want = int((ours.at(x, y) >> k) & 0xFF);
                                if (d.bits == 16) want &= 0xF8; // written as the top bits
                                worst = std::max(
                                    worst, std::abs(want - int((theirs.at(x, y) >> k) & 0xFF)));
                            }
                        }
                    EXPECT_LE(worst, 8) << decoder;
                }
            }
}

TEST(TiffInterop, ZendraCliDescribesAndConverts) {
    REQUIRE_TOOLS();
    MakeSources();
    const std::string cli = ZENDRA_CLI;
    std::string log;
    const std::string source = At("cli.tif"), info = At("info.txt");
    ASSERT_TRUE(RunTool("pnmtotiff -truecolor -lzw -predictor=2 -rowsperstrip=10 " +
                            Q(At("colour.ppm")) + " >" + Q(source),
                        &log))
        << log;
    ASSERT_TRUE(RunTool(cli + " info " + Q(source) + " >" + Q(info), &log)) << log;
    Bytes b = ReadWholeFile(info);
    EXPECT_EQ(std::string(b.begin(), b.end()),
              "file type: TIFF \nwidth: 45 \nheight: 33 \nphotometric interpretation: \n     RGB "
              "color model \ncompression: \n     Lempel-Ziv  & Welch \nbits per sample: 8 "
              "\nsamples per pixel: 3 \norientation: 1 \ndifferencing predictor: 2 \nplanar "
              "configuration: 1 \nrows per strip: 10 \nnumber of strips: 4\n");

    // Every name, and the extensions; tiffinfo tells the compression and layout.
    const char* names[] = {"tif-none", "tif-lzw", "tif-jpeg", "tif-packbits", "tif-deflate"};
    const char* labels[] = {"None", "LZW", "JPEG", "PackBits", "Deflate"};
    for (int i = 0; i < 5; i++)
        for (const char* suffix : {"", "-tiles"}) {
            const std::string to = std::string(names[i]) + suffix;
            const std::string out = At("cli-" + to + ".tif");
            ASSERT_TRUE(
                RunTool(cli + " convert --force --to " + to + " " + Q(source) + " " + Q(out), &log))
                << to << ": " << log;
            ASSERT_TRUE(RunTool("tiffinfo " + Q(out) + " >" + Q(info), &log)) << log;
            b = ReadWholeFile(info);
            const std::string tags(b.begin(), b.end());
            EXPECT_NE(tags.find(std::string("Compression Scheme: ") + labels[i]), std::string::npos)
                << to << tags;
            EXPECT_EQ(tags.find("Tile Width") != std::string::npos, *suffix != 0) << to << tags;
        }
    for (const char* ext : {".tif", ".tiff", ".TIF"}) {
        const std::string out = At(std::string("by-extension") + ext);
        ASSERT_TRUE(RunTool(cli + " convert --force " + Q(source) + " " + Q(out), &log)) << log;
        EXPECT_EQ(tifffile::ReadTags(out).compression, 1) << ext;
    }
    // A fax compression refuses a colour picture; the existing file stays.
    const std::string existing = At("existing.tif");
    WriteTestFile("existing.tif", Bytes{'o', 'l', 'd'});
    EXPECT_FALSE(
        RunTool(cli + " convert --force --to tif-g4 " + Q(source) + " " + Q(existing), &log));
    EXPECT_EQ(ReadWholeFile(existing), (Bytes{'o', 'l', 'd'}));
}
