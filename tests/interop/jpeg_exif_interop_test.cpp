// JPEG files from cjpeg with an Exif segment written in (Orientation 1 to 8,
// Intel and Motorola byte order): read upright as ImageMagick's -auto-orient
// and Pillow's ImageOps.exif_transpose turn them; zendra-cli converts them
// upright. Tags of 0 and 9 and damaged segments leave the picture as djpeg
// decodes it.
//
// Tools needed (Debian packages): libjpeg-turbo-progs, imagemagick,
// python3-pil (through /usr/bin/python3).
#include "interop/pnm_picture.h"
#include "unit/test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/library/jpeg_format.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace pnm;

namespace {
#define REQUIRE_TOOLS()                                                                            \
    do {                                                                                           \
        for (const char* tool : {"djpeg", "cjpeg", "convert", "/usr/bin/python3"})                 \
            ASSERT_TRUE(HaveTool(tool))                                                            \
                << tool << " is missing (libjpeg-turbo-progs, imagemagick, python3-pil)";          \
    } while (0)

const char* kPillow =
    "/usr/bin/python3 -c 'import sys; from PIL import Image, ImageOps; "
    "ImageOps.exif_transpose(Image.open(sys.argv[1])).convert(\"RGB\").save(sys.stdout.buffer, "
    "\"PPM\")' {}";

std::string Q(const std::string& path) {
    return "'" + path + "'";
}

// An APP1 segment's payload: "Exif", two zeros, a TIFF header and a first
// directory of a made-up tag and the Orientation tag (SHORT, count 1).
Bytes ExifPayload(bool big, int orientation) {
    Bytes b = {'E', 'x', 'i', 'f', 0, 0};
    auto put16 = [&](unsigned v) {
        if (big) {
            b.push_back(BYTE(v >> 8));
            b.push_back(BYTE(v));
        } else {
            b.push_back(BYTE(v));
            b.push_back(BYTE(v >> 8));
        }
    };
    auto put32 = [&](uint32_t v) {
        put16(big ? v >> 16 : v & 0xFFFF);
        put16(big ? v & 0xFFFF : v >> 16);
    };
    b.push_back(big ? 'M' : 'I');
    b.push_back(big ? 'M' : 'I');
    put16(42);
    put32(8);
    put16(2);
    put16(271); // Make, ASCII, 4 bytes in place
    put16(2);
    put32(4);
    b.insert(b.end(), {'c', 'a', 'm', 0});
    put16(274);
    put16(3);
    put32(1);
    put16(unsigned(orientation));
    put16(0);
    put32(0); // no next directory
    return b;
}

// A JPEG file with the payload as an APP1 segment after cjpeg's JFIF segment.
Bytes WithApp1(const Bytes& jpeg, const Bytes& payload) {
    size_t at = 2;
    if (jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0) at = 4 + (jpeg[4] << 8 | jpeg[5]);
    Bytes out(jpeg.begin(), jpeg.begin() + long(at));
    const size_t length = payload.size() + 2;
    out.insert(out.end(), {0xFF, 0xE1, BYTE(length >> 8), BYTE(length)});
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), jpeg.begin() + long(at), jpeg.end());
    return out;
}

// A 37 x 23 colour JPEG (no subsampling, so the turns are exact) and a gray one.
Bytes CjpegFile(bool gray) {
    static Bytes files[2];
    Bytes& file = files[gray ? 1 : 0];
    if (!file.empty()) return file;
    std::mt19937 rng(gray ? 20 : 21);
    WriteTestFile("exif-source.ppm", PpmBytes(RandomPicture(rng, 37, 23, 0)));
    std::string log;
    EXPECT_TRUE(RunTool(std::string("cjpeg -quality 90 -sample 1x1 ") +
                            (gray ? "-grayscale " : "") + Q(At("exif-source.ppm")) + " >" +
                            Q(At("exif-source.jpg")),
                        &log))
        << log;
    file = ReadWholeFile(At("exif-source.jpg"));
    return file;
}

Picture OursOf(const std::string& path, std::string* text) {
    char buffer[INFO_TEXT_SIZE] = "";
    RecordMessages messages;
    HGLOBAL image = ReadJpeg(path.c_str(), nullptr, buffer, 32).image;
    EXPECT_TRUE(image) << path;
    EXPECT_TRUE(messages.messages.empty()) << path;
    Picture p;
    if (image) {
        p = FromRecord(image);
        GlobalFree(image);
    }
    if (text) *text = buffer;
    return p;
}

void ExpectAs(const Picture& ours, const std::string& decoder, const std::string& path,
              const std::string& what) {
    Picture theirs;
    std::string why;
    ASSERT_TRUE(Decode(decoder, path, &theirs, &why)) << what << ": " << why;
    ExpectSame(ours, theirs, 8, what + " (" + decoder.substr(0, 20) + ")");
}
} // namespace

TEST(JpegExifInterop, EveryOrientationInBothByteOrdersAsImageMagickAndPillow) {
    REQUIRE_TOOLS();
    for (bool gray : {false, true})
        for (bool big : {false, true})
            for (int o = 1; o <= 8; o++) {
                const std::string what = std::string(gray ? "gray" : "colour") +
                                         (big ? ", MM" : ", II") + ", orientation " +
                                         std::to_string(o);
                const std::string path = At("oriented.jpg");
                WriteTestFile("oriented.jpg", WithApp1(CjpegFile(gray), ExifPayload(big, o)));
                std::string text;
                const Picture ours = OursOf(path, &text);
                // Orientations 5 to 8 swap width and height.
                EXPECT_EQ(ours.width, o >= 5 ? 23 : 37) << what;
                ExpectAs(ours, "convert {} -auto-orient ppm:-", path, what);
                ExpectAs(ours, kPillow, path, what);
                const std::string line = "\norientation: " + std::to_string(o);
                EXPECT_EQ(text.substr(text.size() - line.size()), line) << what;
            }
}

// Values outside 1 to 8 and damaged segments: the picture as stored, no line.
TEST(JpegExifInterop, BadTagsAndDamagedSegmentsLeaveThePictureAsStored) {
    REQUIRE_TOOLS();
    const Bytes good = ExifPayload(true, 6);
    Bytes truncated(good.begin(), good.begin() + 30); // cut inside the Orientation entry
    Bytes farDirectory = good;
    farDirectory[13] = 0xF0; // first directory far past the segment
    Bytes manyEntries = good;
    manyEntries[14] = 0xFF; // 65535 entries claimed, two present
    manyEntries[15] = 0xFF;
    manyEntries.resize(manyEntries.size() - 16); // and the Orientation entry cut off
    Bytes badOrder = good;
    badOrder[6] = 'X';
    Bytes wrongType = ExifPayload(false, 6);
    wrongType[6 + 8 + 2 + 12 + 2] = 4; // LONG instead of SHORT
    const struct {
        const char* what;
        Bytes payload;
    } cases[] = {
        {"orientation 0", ExifPayload(false, 0)},
        {"orientation 9", ExifPayload(true, 9)},
        {"segment cut short", truncated},
        {"directory past the end", farDirectory},
        {"more entries than bytes", manyEntries},
        {"unknown byte order", badOrder},
        {"Orientation not a SHORT", wrongType},
        {"no TIFF header", Bytes{'E', 'x', 'i', 'f', 0, 0}},
    };
    for (const auto& c : cases) {
        const std::string path = At("damaged.jpg");
        WriteTestFile("damaged.jpg", WithApp1(CjpegFile(false), c.payload));
        std::string text;
        const Picture ours = OursOf(path, &text);
        ExpectAs(ours, "djpeg {}", path, c.what);
        EXPECT_EQ(text.find("orientation"), std::string::npos) << c.what << ": " << text;
    }
}

TEST(JpegExifInterop, ZendraCliConvertsUpright) {
    REQUIRE_TOOLS();
    const std::string source = At("cli-oriented.jpg"), out = At("cli-upright.bmp");
    WriteTestFile("cli-oriented.jpg", WithApp1(CjpegFile(false), ExifPayload(false, 8)));
    std::string log;
    ASSERT_TRUE(
        RunTool(std::string(ZENDRA_CLI) + " convert --force " + Q(source) + " " + Q(out), &log))
        << log;
    Picture written, upright;
    std::string why;
    ASSERT_TRUE(Decode("convert {} ppm:-", out, &written, &why)) << why;
    ASSERT_TRUE(Decode("convert {} -auto-orient ppm:-", source, &upright, &why)) << why;
    ExpectSame(written, upright, 8, "zendra-cli convert");
}
