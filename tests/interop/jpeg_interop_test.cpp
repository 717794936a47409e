// The JPEG reader against djpeg (default settings) on libjpeg-turbo's own
// test images and on files cjpeg and jpegtran make in every mode (gray,
// progressive, arithmetic, RGB, subsampling, restart markers, odd sizes);
// C/M/Y/K files from ImageMagick against its own conversion; our files
// byte for byte against cjpeg's at quality 85; zendra-cli's info text and
// conversions.
//
// Tools needed (Debian packages): libjpeg-turbo-progs, netpbm, imagemagick.
// The test images come from libjpeg-turbo's source package (scripts/deps.sh
// fetch).
#include "interop/pnm_picture.h"
#include "unit/jpeg_test_util.h"
#include "unit/test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/library/jpeg_format.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace pnm;

namespace {
const std::string kImages = std::string(ZENDRA_DEPS_SRC) + "/libjpeg-turbo-2.1.5/testimages";

#define REQUIRE_TOOLS()                                                                            \
    do {                                                                                           \
        for (const char* tool : {"djpeg", "cjpeg", "jpegtran", "convert"})                         \
            ASSERT_TRUE(HaveTool(tool))                                                            \
                << tool << " is missing (libjpeg-turbo-progs, imagemagick)";                       \
        ASSERT_TRUE(FileExists(kImages + "/testorig.jpg"))                                         \
            << "libjpeg-turbo's test images are missing under " << kImages                         \
            << " (bash scripts/deps.sh fetch)";                                                    \
    } while (0)

// Our reading of the file through the loader against djpeg's.
void ExpectAsDjpeg(const std::string& path, const std::string& what) {
    RecordMessages messages;
    ASSERT_TRUE(LoadForTest(path)) << what;
    EXPECT_TRUE(messages.messages.empty()) << what;
    Picture ref;
    std::string why;
    ASSERT_TRUE(Decode("djpeg {}", path, &ref, &why)) << what << ": " << why;
    ExpectSame(FromRecord(g_picture), ref, 8, what);
}

// Smooth random pictures: colours drift from pixel to pixel, as in photographs.
Picture SmoothPicture(std::mt19937& rng, int width, int height, bool grey) {
    Picture p;
    p.width = width;
    p.height = height;
    int c[3] = {128, 128, 128};
    for (int i = 0; i < width * height; i++) {
        for (int& v : c) v = std::min(255, std::max(0, v + int(rng() % 21) - 10));
        uint32_t r = uint32_t(c[0]), g = grey ? r : uint32_t(c[1]), b = grey ? r : uint32_t(c[2]);
        p.rgb.push_back(r << 16 | g << 8 | b);
        p.alpha.push_back(255);
    }
    return p;
}

int LargestDifference(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height) return 256;
    int worst = 0;
    for (size_t i = 0; i < a.rgb.size(); i++)
        for (int s = 0; s < 24; s += 8)
            worst = std::max(worst,
                             std::abs(int((a.rgb[i] >> s) & 0xFF) - int((b.rgb[i] >> s) & 0xFF)));
    return worst;
}

std::string Text(const std::string& path) {
    char text[INFO_TEXT_SIZE] = "";
    HGLOBAL image = ReadJpeg(path.c_str(), nullptr, text, 32).image;
    if (image) GlobalFree(image);
    return text;
}
} // namespace

TEST(JpegInterop, LibraryTestImagesAsDjpeg) {
    REQUIRE_TOOLS();
    for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"})
        ExpectAsDjpeg(kImages + "/" + name, name);
    EXPECT_EQ(Text(kImages + "/testorig.jpg"),
              "image type: JPEG \nwidth: 227 \nheight: 149 \ncolor "
              "components: 3 \ncolor space: Y/Cb/Cr");
    // Twelve-bit samples are not for this reader: refused, nothing shown.
    RecordMessages messages;
    EXPECT_FALSE(LoadForTest(kImages + "/testorig12.jpg"));
    EXPECT_EQ(g_picture, nullptr);
    EXPECT_TRUE(messages.messages.empty());
}

TEST(JpegInterop, FilesOfCjpegAndJpegtranAsDjpeg) {
    REQUIRE_TOOLS();
    std::mt19937 rng(1764);
    struct Case {
        const char* options;
        bool grey;
        bool progressive;
    } cases[] = {
        {"", false, false},
        {"-grayscale", false, false},
        {"", true, false}, // a PGM source: one component
        {"-progressive", false, true},
        {"-grayscale -progressive", false, true},
        {"-arithmetic", false, false},
        {"-arithmetic -progressive", false, true},
        {"-rgb", false, false},
        {"-sample 1x1", false, false},
        {"-sample 2x1", false, false},
        {"-sample 1x2", false, false},
        {"-optimize", false, false},
        {"-restart 1", false, false},
        {"-quality 10", false, false},
        {"-dct float -quality 100", false, false},
    };
    struct Size {
        int width, height;
    } sizes[] = {{1, 1}, {3, 1}, {1, 5}, {5, 2}, {7, 9}, {13, 17}, {61, 33}};
    for (const Case& c : cases) {
        for (const Size& size : sizes) {
            Picture p = SmoothPicture(rng, size.width, size.height, c.grey);
            const std::string what = std::string("cjpeg ") + c.options + ", " +
                                     std::to_string(size.width) + "x" + std::to_string(size.height);
            std::string source = WriteTestFile(c.grey ? "in.pgm" : "in.ppm",
                                               c.grey ? PgmBytes(p, false) : PpmBytes(p));
            std::string out = At("cjpeg.jpg"), log;
            ASSERT_TRUE(RunTool(
                std::string("cjpeg ") + c.options + " '" + source + "' >'" + out + "'", &log))
                << what << ": " << log;
            ExpectAsDjpeg(out, what);
            EXPECT_EQ(g_bitCount,
                      c.grey || std::string(c.options).find("-grayscale") != std::string::npos ? 8
                                                                                               : 24)
                << what;
            EXPECT_EQ(std::string(g_infoText).find("progressive") != std::string::npos,
                      c.progressive)
                << what;
        }
    }
    // A sequential file turned progressive without decoding.
    std::string out = At("jpegtran.jpg"), log;
    ASSERT_TRUE(
        RunTool("jpegtran -progressive '" + kImages + "/testorig.jpg' >'" + out + "'", &log))
        << log;
    ExpectAsDjpeg(out, "jpegtran -progressive testorig.jpg");
    EXPECT_EQ(Text(out), "image type: JPEG \nwidth: 227 \nheight: 149 \ncolor components: 3 "
                         "\ncolor space: Y/Cb/Cr \nprogressive file structure");
}

TEST(JpegInterop, CmykFromImageMagick) {
    REQUIRE_TOOLS();
    std::mt19937 rng(4);
    Picture p = SmoothPicture(rng, 48, 32, false);
    std::string source = WriteTestFile("cmyk-source.ppm", PpmBytes(p));
    std::string cmyk = At("cmyk.jpg"), log;
    ASSERT_TRUE(
        RunTool("convert '" + source + "' -colorspace CMYK -quality 100 '" + cmyk + "'", &log))
        << log;
    Bytes file = ReadWholeFile(cmyk);
    const size_t adobe = jpeg::FindMarker(file, 0xEE); // APP14: Adobe, inverted inks
    ASSERT_NE(adobe, 0u) << "ImageMagick writes the Adobe marker with four components";
    EXPECT_EQ(std::string(file.begin() + long(adobe) + 4, file.begin() + long(adobe) + 9), "Adobe");
    EXPECT_NE(Text(cmyk).find("color components: 4 \ncolor space: Y/Cb/Cr/K"), std::string::npos)
        << Text(cmyk);

    RecordMessages messages;
    ASSERT_TRUE(LoadForTest(cmyk));
    EXPECT_EQ(g_bitCount, 24);
    Picture magick;
    std::string why;
    ASSERT_TRUE(Decode("convert {} -colorspace sRGB -depth 8 ppm:-", cmyk, &magick, &why)) << why;
    Picture ours = FromRecord(g_picture);
    // ImageMagick's own conversion takes the same product of inks, rounded its way.
    EXPECT_LE(LargestDifference(ours, magick), 1);
    EXPECT_LE(LargestDifference(ours, p), 4) << "quality 100 keeps the source's colours";
}

TEST(JpegInterop, OurFilesAreCjpegsByteForByte) {
    REQUIRE_TOOLS();
    std::mt19937 rng(85);
    for (bool grey : {false, true}) {
        for (bool progressive : {false, true}) {
            for (int width : {1, 8, 37, 150}) {
                const int height = width / 3 + 1;
                Picture p = SmoothPicture(rng, width, height, grey);
                const std::string what = std::string(grey ? "gray" : "colour") +
                                         (progressive ? " progressive" : "") + ", width " +
                                         std::to_string(width);
                std::string source = WriteTestFile(grey ? "cj.pgm" : "cj.ppm",
                                                   grey ? PgmBytes(p, false) : PpmBytes(p));
                std::string theirs = At("theirs.jpg"), ours = At("ours.jpg"), log;
                ASSERT_TRUE(RunTool(std::string("cjpeg -quality 85 ") +
                                        (progressive ? "-progressive " : "") + "'" + source +
                                        "' >'" + theirs + "'",
                                    &log))
                    << log;
                // The same picture as a record: 8-bit gray or 24-bit.
                HGLOBAL image = AllocImageRecord(width, height, grey ? 8 : 24, 0);
                BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
                BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
                for (int i = 0; grey && i < 256; i++)
                    table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = BYTE(i);
                const uint64_t stride = ImageStride(width, grey ? 8 : 24);
                for (int y = 0; y < height; y++) {
                    BYTE* row = ImagePixels(h) + stride * uint64_t(height - 1 - y);
                    for (int x = 0; x < width; x++) {
                        uint32_t v = p.at(x, y);
                        if (grey) {
                            row[x] = BYTE(v);
                        } else {
                            row[3 * x] = BYTE(v);
                            row[3 * x + 1] = BYTE(v >> 8);
                            row[3 * x + 2] = BYTE(v >> 16);
                        }
                    }
                }
                GlobalUnlock(image);
                std::remove(ours.c_str());
                ASSERT_EQ(WritePicture(image, ours.c_str(), FMT_JPEG, progressive, 0), WRITE_OK);
                EXPECT_TRUE(ReadWholeFile(ours) == ReadWholeFile(theirs)) << what;
                GlobalFree(image);
            }
        }
    }
}

TEST(JpegInterop, ZendraCliDescribesAndConverts) {
    REQUIRE_TOOLS();
    const std::string cli = ZENDRA_CLI;
    std::string info = At("info.txt"), log;
    ASSERT_TRUE(RunTool(cli + " info '" + kImages + "/testimgari.jpg' >'" + info + "'", &log))
        << log;
    Bytes b = ReadWholeFile(info);
    EXPECT_EQ(std::string(b.begin(), b.end()),
              "image type: JPEG \nwidth: 227 \nheight: 149 \ncolor "
              "components: 3 \ncolor space: Y/Cb/Cr\n");

    const std::string source = kImages + "/vgl_6548_0026a.bmp";
    for (const char* to : {"jpg", "jpg-progressive"}) {
        const std::string out = At(std::string("cli-") + to + ".jpg");
        ASSERT_TRUE(
            RunTool(cli + " convert --force --to " + to + " '" + source + "' '" + out + "'", &log))
            << to << ": " << log;
        Bytes file = ReadWholeFile(out);
        const bool progressive = std::string(to) == "jpg-progressive";
        EXPECT_EQ(jpeg::CountMarkers(file, 0xC2), progressive ? 1 : 0) << to;
        EXPECT_EQ(jpeg::CountMarkers(file, 0xC0), progressive ? 0 : 1) << to;
        Picture decoded, original;
        ASSERT_TRUE(Decode("djpeg {}", out, &decoded, &log)) << log;
        ASSERT_TRUE(Decode("bmptopnm {}", source, &original, &log)) << log;
        EXPECT_EQ(decoded.width, original.width);
        EXPECT_EQ(decoded.height, original.height);
    }
    EXPECT_FALSE(RunTool(cli + " convert --force --to jpg '" + source + "' /dev/full", &log));
    EXPECT_NE(log.find("error converting"), std::string::npos) << log;
}
