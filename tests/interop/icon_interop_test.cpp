// The icon reader on icon and cursor files written by ImageMagick (4-, 8- and
// 32-bit entries, PNG entries, several sizes in one file with
// icon:auto-resize) and by Pillow (PNG entries): every entry's composed
// pixels equal the decoder's own RGBA picture composited onto white; and
// zendra-cli's info and convert on them.
//
// Tools needed (Debian packages): imagemagick, python3-pil (/usr/bin/python3).
#include "interop/pnm_picture.h"
#include "unit/test_util.h"

#include "core/format_table.h"
#include "core/state.h"
#include "formats/native/icon.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using pnm::At;
using pnm::HaveTool;
using pnm::Picture;
using pnm::RunTool;

namespace {
const char kPython[] = "/usr/bin/python3";

// A 64 x 64 picture with every kind of alpha: opaque inside a circle, clear
// outside, a soft ring between.
bool MakeSource(std::string* why) {
    return RunTool("convert -size 64x64 plasma:fractal -seed 5 \\( -size 64x64 xc:none -fill "
                   "'rgba(255,255,255,0.5)' -draw 'circle 32,32 32,2' -fill white -draw "
                   "'circle 32,32 32,8' \\) -compose copyopacity -composite '" +
                       At("source.png") + "'",
                   why);
}

uint32_t OverWhite(uint32_t rgb, uint32_t alpha) {
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8)
        out |= (((rgb >> s & 0xFF) * alpha + 255 * (255 - alpha) + 127) / 255) << s;
    return out;
}

// Compares entry index of path with the reference picture over white;
// components may differ by tolerance. Returns the number of differing pixels.
int CompareEntry(const std::string& path, int index, const Picture& reference, int tolerance,
                 const std::string& what) {
    HFILE file = _lopen(path.c_str(), OF_READ);
    EXPECT_NE(file, HFILE_ERROR) << what;
    int count = 0;
    char text[INFO_TEXT_SIZE] = "";
    HGLOBAL image = ReadIcon(nullptr, text, file, &count, index, 0, ICON_TEXT_OWN_FILE).image;
    _lclose(file);
    if (!image) {
        ADD_FAILURE() << what << ": not read";
        return -1;
    }
    Picture ours = pnm::FromRecord(image);
    GlobalFree(image);
    EXPECT_EQ(ours.width, reference.width) << what;
    EXPECT_EQ(ours.height, reference.height) << what;
    if (ours.width != reference.width || ours.height != reference.height) return -1;
    int wrong = 0;
    for (size_t i = 0; i < ours.rgb.size(); i++) {
        uint32_t want = OverWhite(reference.rgb[i], reference.alpha[i]);
        bool same = true;
        for (int s = 0; s < 24; s += 8) {
            int d = int(ours.rgb[i] >> s & 0xFF) - int(want >> s & 0xFF);
            if (d < -tolerance || d > tolerance) same = false;
        }
        if (!same && wrong++ < 3)
            ADD_FAILURE() << what << " pixel " << i << ": " << std::hex << ours.rgb[i] << " not "
                          << want << " (alpha " << std::dec << reference.alpha[i] << ")";
    }
    return wrong;
}

int EntryCount(const std::string& path) {
    Bytes b = ReadWholeFile(path);
    return b.size() >= 6 ? b[4] | b[5] << 8 : 0;
}
} // namespace

TEST(IconInterop, ImageMagickIconsAndCursors) {
    ASSERT_TRUE(HaveTool("convert")) << "ImageMagick is missing";
    std::string why;
    ASSERT_TRUE(MakeSource(&why)) << why;
    const std::string src = "'" + At("source.png") + "'";
    struct Case {
        const char* file;
        std::string options; // between the source and the output
        int entries;
    } cases[] = {
        {"sizes.ico", "-depth 8 -define icon:auto-resize=256,48,32,16", 4}, // PNG, then 32-bit
        {"four.ico", "-resize 32x32 -colors 16 -type PaletteAlpha", 1},
        {"four-opaque.ico", "-background white -flatten -resize 32x32 -colors 16 -type palette", 1},
        {"eight.ico", "-resize 48x48 -colors 200 -type PaletteAlpha", 1},
        {"eight-opaque.ico", "-background white -flatten -resize 24x24 -colors 100 -type palette",
         1},
        {"true.ico", "-resize 20x20", 1},
        {"pointer.cur", "-resize 32x32", 1},
    };
    for (const Case& c : cases) {
        const std::string path = At(c.file);
        const std::string format =
            std::string(c.file).find(".cur") != std::string::npos ? "CUR:" : "ICO:";
        ASSERT_TRUE(
            RunTool("convert " + src + " " + c.options + " " + format + "'" + path + "'", &why))
            << c.file << ": " << why;
        ASSERT_EQ(EntryCount(path), c.entries) << c.file;
        for (int i = 0; i < c.entries; i++) {
            Picture reference;
            ASSERT_TRUE(pnm::Decode("convert '{}[" + std::to_string(i) + "]' -depth 8 pam:-", path,
                                    &reference, &why))
                << c.file << ": " << why;
            EXPECT_EQ(CompareEntry(path, i + 1, reference, 1,
                                   std::string(c.file) + " entry " + std::to_string(i + 1)),
                      0);
        }
    }
}

TEST(IconInterop, PillowIconsOfPngEntries) {
    ASSERT_TRUE(HaveTool(kPython)) << kPython << " is missing";
    ASSERT_TRUE(HaveTool("convert")) << "ImageMagick is missing";
    std::string why;
    ASSERT_TRUE(MakeSource(&why)) << why;
    ASSERT_TRUE(RunTool(std::string(kPython) +
                            " -c 'import sys; from PIL import Image; "
                            "Image.open(sys.argv[1]).save(sys.argv[2], sizes=[(16, 16), (24, 24), "
                            "(48, 48), (64, 64)])' '" +
                            At("source.png") + "' '" + At("pillow.ico") + "'",
                        &why))
        << "Pillow (python3-pil) is needed: " << why;
    const std::string path = At("pillow.ico");
    const int entries = EntryCount(path);
    ASSERT_EQ(entries, 4);
    for (int i = 0; i < entries; i++) {
        // Pillow's own decoding of the entry, as a PAM file with alpha.
        const std::string pam = At("entry.pam");
        ASSERT_TRUE(
            RunTool(std::string(kPython) +
                        " -c 'import sys; from PIL import IcoImagePlugin; "
                        "d = open(sys.argv[1], \"rb\").read(); "
                        "at = int.from_bytes(d[18 + 16 * int(sys.argv[2]):][:4], \"little\"); "
                        "f = IcoImagePlugin.IcoFile(open(sys.argv[1], \"rb\")); "
                        "n = [e[\"offset\"] for e in f.entry].index(at); "
                        "im = f.frame(n).convert(\"RGBA\"); "
                        "open(sys.argv[3], \"wb\").write(b\"P7\\nWIDTH %d\\nHEIGHT "
                        "%d\\nDEPTH 4\\nMAXVAL 255\\nTUPLTYPE RGB_ALPHA\\nENDHDR\\n\" % "
                        "im.size + im.tobytes())' '" +
                        path + "' " + std::to_string(i) + " '" + pam + "'",
                    &why))
            << why;
        Picture reference;
        ASSERT_TRUE(pnm::ParsePnm(ReadWholeFile(pam), &reference, &why)) << why;
        EXPECT_EQ(CompareEntry(path, i + 1, reference, 1, "Pillow entry " + std::to_string(i + 1)),
                  0);
    }
}

TEST(IconInterop, CliDescribesAndConvertsTheFirstPicture) {
    ASSERT_TRUE(HaveTool("convert")) << "ImageMagick is missing";
    std::string why;
    ASSERT_TRUE(MakeSource(&why)) << why;
    const std::string ico = At("cli.ico");
    ASSERT_TRUE(RunTool(
        "convert '" + At("source.png") + "' -define icon:auto-resize=32,16 '" + ico + "'", &why))
        << why;
    const std::string info = At("cli-info.txt");
    ASSERT_TRUE(RunTool(std::string(ZENDRA_CLI) + " info '" + ico + "' >'" + info + "'", &why))
        << why;
    Bytes text = ReadWholeFile(info);
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "image type: ICON \n# icons in file: 2 \nwidth: 32 \nheight: 32 \ncolors: 0 \n");
    const std::string png = At("cli-out.png");
    std::remove(png.c_str());
    ASSERT_TRUE(RunTool(std::string(ZENDRA_CLI) + " convert '" + ico + "' '" + png + "'", &why))
        << why;
    // The converted picture is entry 1 as composed.
    Picture converted, reference;
    ASSERT_TRUE(pnm::Decode("convert '{}' -depth 8 ppm:-", png, &converted, &why)) << why;
    ASSERT_TRUE(pnm::Decode("convert '{}[0]' -background white -flatten -depth 8 ppm:-", ico,
                            &reference, &why))
        << why;
    ASSERT_EQ(converted.rgb.size(), reference.rgb.size());
    int wrong = 0;
    for (size_t i = 0; i < converted.rgb.size(); i++)
        for (int s = 0; s < 24; s += 8) {
            int d = int(converted.rgb[i] >> s & 0xFF) - int(reference.rgb[i] >> s & 0xFF);
            if (d < -1 || d > 1) wrong++;
        }
    EXPECT_EQ(wrong, 0);
}
