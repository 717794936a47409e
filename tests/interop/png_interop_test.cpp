// The PNG reader on libpng's own test files (PngSuite's basic, transparency
// and interlaced files, the testpngs of every colour type with and without
// gamma and sRGB chunks, the crashers) against netpbm's pngtopnm and
// pngtopam: the file's raw samples where no gamma or alpha is at work,
// worked values from them otherwise; damaged files refused; our own files
// checked by pngcheck and decoded by pngtopnm and ImageMagick; zendra-cli's
// info text and conversions.
//
// Tools needed (Debian packages): netpbm, pngcheck, imagemagick. The test
// files come from libpng's source package (scripts/deps.sh fetch).
#include "interop/pnm_picture.h"
#include "unit/png_test_util.h"
#include "unit/record_util.h"
#include "unit/test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/library/png_format.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using pnm::At;
using pnm::HaveTool;
using pnm::RunTool;

namespace {
const std::string kPng = std::string(ZENDRA_DEPS_SRC) + "/libpng-1.6.39/contrib";

#define REQUIRE_TOOLS()                                                                            \
    do {                                                                                           \
        for (const char* tool : {"pngtopnm", "pngtopam", "pngcheck", "convert"})                   \
            ASSERT_TRUE(HaveTool(tool)) << tool << " is missing (netpbm, pngcheck, imagemagick)";  \
        ASSERT_TRUE(FileExists(kPng + "/pngsuite/basn0g01.png"))                                   \
            << "libpng's test files are missing under " << kPng                                    \
            << " (bash scripts/deps.sh fetch)";                                                    \
    } while (0)

std::vector<std::string> PngFiles(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name.size() > 4 && name.substr(name.size() - 4) == ".png")
                out.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A netpbm file's samples as stored (no scaling), channels interleaved.
struct RawPnm {
    int width = 0, height = 0, channels = 0;
    uint32_t maxval = 0;
    std::vector<uint32_t> samples;
    uint32_t at(int x, int y, int c) const {
        return samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c)];
    }
};

bool ParseRaw(const Bytes& data, RawPnm* out) {
    std::string text(data.begin(), data.begin() + long(std::min<size_t>(data.size(), 200)));
    size_t at = 0;
    if (text.rfind("P7\n", 0) == 0) {
        size_t end = text.find("ENDHDR\n");
        if (end == std::string::npos) return false;
        std::string head = text.substr(0, end);
        auto field = [&](const char* name) {
            size_t p = head.find(name);
            return p == std::string::npos ? 0 : std::stoul(head.substr(p + std::strlen(name)));
        };
        out->width = int(field("WIDTH "));
        out->height = int(field("HEIGHT "));
        out->channels = int(field("DEPTH "));
        out->maxval = uint32_t(field("MAXVAL "));
        at = end + 7;
    } else if (text.rfind("P4", 0) == 0) {
        unsigned w = 0, h = 0;
        int used = 0;
        if (std::sscanf(text.c_str() + 2, "%u %u%n", &w, &h, &used) != 2) return false;
        out->width = int(w);
        out->height = int(h);
        out->channels = 1;
        out->maxval = 1;
        at = 2 + size_t(used) + 1;
        const size_t rowBytes = (w + 7) / 8;
        if (data.size() < at + rowBytes * h) return false;
        // Black is 1 in PBM and 0 in a PNG.
        for (size_t y = 0; y < h; y++)
            for (size_t x = 0; x < w; x++)
                out->samples.push_back(((data[at + y * rowBytes + x / 8] >> (7 - x % 8)) & 1) ^ 1);
        return true;
    } else if (text.rfind("P5", 0) == 0 || text.rfind("P6", 0) == 0) {
        unsigned w = 0, h = 0, m = 0;
        int used = 0;
        if (std::sscanf(text.c_str() + 2, "%u %u %u%n", &w, &h, &m, &used) != 3) return false;
        out->width = int(w);
        out->height = int(h);
        out->maxval = m;
        out->channels = text[1] == '5' ? 1 : 3;
        at = 2 + size_t(used) + 1;
    } else {
        return false;
    }
    const size_t bytes = out->maxval > 255 ? 2 : 1;
    const size_t n = size_t(out->width) * size_t(out->height) * size_t(out->channels);
    if (data.size() < at + n * bytes) return false;
    for (size_t i = 0; i < n; i++, at += bytes)
        out->samples.push_back(bytes == 2 ? uint32_t(data[at] << 8 | data[at + 1]) : data[at]);
    return true;
}

bool Reference(const std::string& command, RawPnm* out, std::string* log) {
    std::string path = At("reference.pam");
    std::remove(path.c_str());
    return RunTool(command + " >'" + path + "'", log) && ParseRaw(ReadWholeFile(path), out);
}

// What the reader is given to work with, from the file's own chunks.
struct Chunks {
    bool srgb = false;
    uint32_t gama = 0; // 0: none the library keeps
    size_t paletteEntries = 0;
};

Chunks ChunksOf(const png::Decoded& d) {
    Chunks c;
    for (const png::Chunk& chunk : d.chunks) {
        if (chunk.type == "sRGB" && chunk.data.size() == 1) c.srgb = true;
        if (chunk.type == "gAMA" && chunk.data.size() == 4 && !c.srgb && c.gama == 0) {
            uint32_t v = png::Be32(chunk.data, 0);
            if (v >= 16 && v <= 625000000) c.gama = v;
        }
        if (chunk.type == "PLTE") c.paletteEntries = chunk.data.size() / 3;
    }
    return c;
}

// Checks one valid file read through the loader's reader against netpbm.
void CheckValidFile(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    const Bytes file = ReadWholeFile(path);
    const png::Decoded d = png::Decode(file);
    ASSERT_TRUE(d.ok) << name << ": " << d.error;
    const Chunks chunks = ChunksOf(d);
    const bool lowGray = (d.type == 0 || d.type == 4) && d.depth <= 4;
    png::Gammas g = chunks.srgb ? png::kSrgb : png::kNoChunk;
    if (!chunks.srgb && chunks.gama) g.file = lowGray ? 45000 : chunks.gama;

    RecordMessages messages;
    char text[INFO_TEXT_SIZE] = "";
    HGLOBAL image = ReadPng(path.c_str(), nullptr, text, 32).image;
    ASSERT_NE(image, nullptr) << name;
    EXPECT_TRUE(messages.messages.empty()) << name;
    EXPECT_TRUE(IsValidImageRecord(image)) << name;

    std::string gammaLine;
    if (!chunks.srgb && chunks.gama) {
        char line[40];
        std::snprintf(line, sizeof line, "image gamma: %.2f ", chunks.gama / 100000.0);
        gammaLine = line;
    }
    const char* types[] = {
        "grayscale",         "?", "RGB truecolor", "RGB palette", "grayscale; alpha channel", "?",
        "RGB; alpha channel"};
    EXPECT_EQ(std::string(text),
              "image type: PNG \nwidth: " + std::to_string(d.width) +
                  " \nheight: " + std::to_string(d.height) +
                  " \nbit depth: " + std::to_string(d.depth) + " \ncolor type: " + types[d.type] +
                  " \ninterlace type: " + (d.interlace ? "adam7" : "none") + " \n" + gammaLine)
        << name;

    // The record's layout.
    const bool rgb = d.type == 2 || d.type == 6;
    const int bits = d.depth == 1 ? 1 : d.depth <= 4 ? 4 : rgb ? 24 : 8;
    int colors = rgb ? 0 : 1 << std::min(d.depth, 8);
    if (d.type == 3) colors = std::max<int>(2, std::min<int>(colors, int(chunks.paletteEntries)));
    BITMAPINFOHEADER h = HeaderOf(image);
    EXPECT_EQ(h.biWidth, int(d.width)) << name;
    EXPECT_EQ(h.biHeight, int(d.height)) << name;
    EXPECT_EQ(h.biBitCount, bits) << name;
    EXPECT_EQ(h.biClrUsed, DWORD(colors)) << name;
    if (d.type == 0 || d.type == 4) {
        std::vector<uint32_t> levels;
        for (int i = 0; i < colors; i++) {
            int v = d.depth == 1   ? 255 * i
                    : d.depth == 2 ? 64 * i + 8
                    : d.depth == 4 ? 16 * i + 8
                                   : i;
            levels.push_back(uint32_t(v) * 0x010101u);
        }
        EXPECT_EQ(RecordColors(image), levels) << name;
    }

    // The file's samples as this suite's decoder reads them (palette files:
    // the palette's colours), which must be netpbm's too.
    // A palette file's tRNS gives its entries' alpha; libpng passes over one
    // with more values than the palette has entries.
    const png::Chunk* trns = d.type == 3 ? d.find("tRNS") : nullptr;
    if (trns && (trns->data.empty() || trns->data.size() > chunks.paletteEntries)) trns = nullptr;
    RawPnm own;
    own.width = int(d.width);
    own.height = int(d.height);
    own.channels = d.type == 3 ? (trns ? 4 : 3) : png::Channels(d.type);
    own.maxval = d.type == 3 ? 255 : d.depth == 16 ? 65535 : (1u << d.depth) - 1;
    const png::Chunk* plte = d.find("PLTE");
    for (uint32_t y = 0; y < d.height; y++)
        for (size_t x = 0; x < d.width; x++) {
            if (d.type != 3) {
                for (int c = 0; c < own.channels; c++)
                    own.samples.push_back(
                        png::SampleAt(d.rows[y], d.depth, x * size_t(own.channels) + size_t(c)));
                continue;
            }
            const size_t index = png::SampleAt(d.rows[y], d.depth, x);
            for (size_t c = 0; c < 3; c++)
                own.samples.push_back(
                    plte && 3 * index + c < plte->data.size() ? plte->data[3 * index + c] : 0);
            if (trns) own.samples.push_back(index < trns->data.size() ? trns->data[index] : 255);
        }
    RawPnm ref;
    std::string log;
    const bool alpha = d.type == 4 || d.type == 6;
    ASSERT_TRUE(
        Reference((alpha || trns ? "pngtopam -alphapam '" : "pngtopnm '") + path + "'", &ref, &log))
        << name << ": " << log;
    // netpbm scales to the significant bits an sBIT chunk gives; then only
    // the size is compared.
    ASSERT_EQ(ref.width, own.width) << name;
    ASSERT_EQ(ref.height, own.height) << name;
    if (ref.maxval == own.maxval) {
        EXPECT_EQ(ref.channels, own.channels) << name;
        EXPECT_TRUE(ref.samples == own.samples) << name << ": netpbm reads other samples";
    }
    ref = own;
    int wrong = 0;
    for (int y = 0; y < ref.height && wrong < 3; y++) {
        for (int x = 0; x < ref.width && wrong < 3; x++) {
            const uint32_t raw = RawPixelAt(image, x, y);
            const uint32_t shown = PixelAt(image, x, y);
            const int components = d.type == 0 || d.type == 4 ? 1 : 3;
            for (int c = 0; c < components; c++) {
                const uint32_t sample = ref.at(x, y, c);
                int got = 0, low = 0, high = 0;
                if (d.type == 0 && d.depth <= 4) {
                    got = int(raw); // the index is the file's sample
                    low = high = int(sample);
                } else if (d.type == 3) {
                    // Entries with alpha are put onto white as alpha channels are.
                    got = int((shown >> (16 - 8 * c)) & 0xFF);
                    const uint32_t a = trns ? ref.at(x, y, 3) : 255;
                    if (a == 255) {
                        png::Shown(sample, 8, g, &low, &high);
                    } else {
                        low = high = int(png::OnWhite8(sample, a, g));
                        low--;
                        high++;
                    }
                } else {
                    got = int(components == 1 ? raw : (raw >> (16 - 8 * c)) & 0xFF);
                    if (alpha) {
                        const uint32_t a = ref.at(x, y, ref.channels - 1);
                        if (d.depth == 8) {
                            low = high = int(png::OnWhite8(sample, a, g));
                            low--;
                            high++;
                        } else {
                            png::OnWhite16(sample, a, g, &low, &high);
                        }
                    } else {
                        png::Shown(sample, d.depth, g, &low, &high);
                    }
                }
                if (got < low || got > high)
                    ADD_FAILURE() << name << " at " << x << "," << y << " component " << c << ": "
                                  << got << ", expected " << low << " to " << high << " (sample "
                                  << sample << ")",
                        wrong++;
            }
        }
    }
    GlobalFree(image);
}
} // namespace

TEST(PngInterop, LibpngTestFilesRead) {
    REQUIRE_TOOLS();
    std::vector<std::string> files;
    for (const char* dir : {"/pngsuite", "/pngsuite/interlaced", "/testpngs"}) {
        std::vector<std::string> more = PngFiles(kPng + dir);
        files.insert(files.end(), more.begin(), more.end());
    }
    // Ancillary chunks that are all wrong do not stop the picture.
    files.push_back(kPng + "/testpngs/crashers/empty_ancillary_chunks.png");
    ASSERT_GE(files.size(), 150u);
    for (const std::string& path : files) CheckValidFile(path);
}

TEST(PngInterop, DamagedFilesAreRefused) {
    REQUIRE_TOOLS();
    struct Damaged {
        std::string what;
        Bytes file;
    };
    std::vector<Damaged> files;
    for (const std::string& path : PngFiles(kPng + "/testpngs/crashers"))
        if (path.find("empty_ancillary") == std::string::npos)
            files.push_back({path.substr(path.rfind('/') + 1), ReadWholeFile(path)});
    for (const std::string& path : PngFiles(kPng + "/pngsuite")) {
        const std::string name = path.substr(path.rfind('/') + 1);
        const Bytes good = ReadWholeFile(path);
        // Cut anywhere before the end.
        for (size_t cut : {size_t(0), size_t(7), size_t(20), size_t(33), good.size() / 2,
                           good.size() - 13, good.size() - 1})
            files.push_back({name + " cut at " + std::to_string(cut),
                             Bytes(good.begin(), good.begin() + long(cut))});
        // A wrong check value on any critical chunk.
        for (size_t at = 8; at + 12 <= good.size();) {
            const uint32_t length = png::Be32(good, at);
            const std::string type(good.begin() + long(at + 4), good.begin() + long(at + 8));
            if (std::isupper(static_cast<unsigned char>(type[0]))) {
                Bytes bad = good;
                bad[at + 8 + length] ^= 0x40;
                files.push_back({name + " " + type + " check value", bad});
            }
            at += 12 + length;
        }
    }
    ASSERT_GE(files.size(), 300u);
    for (const Damaged& f : files) {
        RecordMessages messages;
        EXPECT_FALSE(LoadForTest(WriteTestFile("damaged.png", f.file))) << f.what;
        EXPECT_EQ(g_picture, nullptr) << f.what;
        EXPECT_TRUE(messages.messages.empty()) << f.what;
    }
}

namespace {
// A record of random pixels (palette records: random indices into the table).
HGLOBAL MakeRecord(std::mt19937& rng, int width, int height, int bits,
                   const std::vector<uint32_t>& table) {
    return RecordOf(width, height, bits, table, [&](int, int) {
        return bits <= 8 ? uint32_t(rng() % table.size()) : uint32_t(rng());
    });
}
} // namespace

TEST(PngInterop, OurFilesPassPngcheckAndDecodeElsewhere) {
    REQUIRE_TOOLS();
    std::mt19937 rng(1969);
    std::vector<uint32_t> colours;
    for (int i = 0; i < 256; i++) colours.push_back(rng() & 0xFFFFFF);
    std::vector<uint32_t> grays;
    for (uint32_t i = 0; i < 256; i++) grays.push_back(i * 0x010101u);
    struct Case {
        const char* what;
        int bits;
        std::vector<uint32_t> table;
        const char* pngcheck; // the IHDR line pngcheck prints
        bool exactColours;    // netpbm gives the record's own colours
    } cases[] = {
        {"1-bit black, white", 1, {0, 0xFFFFFF}, "1-bit grayscale", true},
        {"1-bit palette", 1, {colours[0], colours[1]}, "1-bit palette", true},
        {"4-bit 3 colours", 4, {colours[0], colours[1], colours[2]}, "2-bit palette", true},
        {"4-bit ramp of 16",
         4,
         {0x000000, 0x101010, 0x202020, 0x303030, 0x404040, 0x505050, 0x606060, 0x707070, 0x808080,
          0x909090, 0xA0A0A0, 0xB0B0B0, 0xC0C0C0, 0xD0D0D0, 0xE0E0E0, 0xF0F0F0},
         "4-bit grayscale",
         false},
        {"4-bit palette", 4, std::vector<uint32_t>(colours.begin(), colours.begin() + 16),
         "4-bit palette", true},
        {"8-bit gray", 8, grays, "8-bit grayscale", true},
        {"8-bit palette", 8, colours, "8-bit palette", true},
        {"16-bit", 16, {}, "24-bit RGB", false},
        {"24-bit", 24, {}, "24-bit RGB", true},
        {"32-bit", 32, {}, "32-bit RGB+alpha", true},
    };
    for (const Case& c : cases) {
        for (int interlace : {0, 1}) {
            const std::string what = std::string(c.what) + (interlace ? ", Adam7" : "");
            HGLOBAL image = MakeRecord(rng, 37, 23, c.bits, c.table);
            const std::string out = At("ours.png");
            std::remove(out.c_str());
            ASSERT_EQ(WritePng(out.c_str(), image, interlace), 1) << what;
            std::string log;
            std::string report = At("pngcheck.txt");
            ASSERT_TRUE(RunTool("pngcheck -v '" + out + "' >'" + report + "'", &log)) << what;
            Bytes b = ReadWholeFile(report);
            std::string check(b.begin(), b.end());
            EXPECT_NE(check.find("No errors detected"), std::string::npos) << what << check;
            EXPECT_NE(check.find(std::string("37 x 23 image, ") + c.pngcheck +
                                 (interlace ? ", interlaced" : ", non-interlaced")),
                      std::string::npos)
                << what << check;
            EXPECT_NE(check.find("chunk gAMA at offset 0x00025, length 4: 0.45000"),
                      std::string::npos)
                << what << check;
            EXPECT_EQ(check.find("rows per pass: ") != std::string::npos, interlace == 1)
                << what << check;
            if (interlace) {
                EXPECT_NE(check.find("rows per pass: 3, 3, 3, 6, 6, 12, 11"), std::string::npos)
                    << what << check;
            }
            if (c.exactColours) {
                pnm::Picture ours = pnm::FromRecord(image), netpbm, magick;
                ASSERT_TRUE(pnm::Decode("pngtopnm {}", out, &netpbm, &log)) << what << log;
                pnm::ExpectSame(netpbm, ours, 8, what + " (pngtopnm)");
                ASSERT_TRUE(pnm::Decode("convert {} -depth 8 ppm:-", out, &magick, &log))
                    << what << log;
                pnm::ExpectSame(magick, ours, 8, what + " (ImageMagick)");
            }
            if (c.bits == 32) {
                RawPnm pam;
                ASSERT_TRUE(Reference("pngtopam -alphapam '" + out + "'", &pam, &log)) << log;
                ASSERT_EQ(pam.channels, 4);
                const Bytes pixels = RecordPixelBytes(image);
                const uint64_t stride = ImageStride(37, 32);
                for (int y = 0; y < 23; y++)
                    for (int x = 0; x < 37; x++)
                        ASSERT_EQ(pam.at(x, y, 3), pixels[stride * uint64_t(22 - y) + 4u * x + 3])
                            << "alpha is the fourth byte";
            }
            GlobalFree(image);
        }
    }
}

TEST(PngInterop, ZendraCliDescribesAndConverts) {
    REQUIRE_TOOLS();
    const std::string cli = ZENDRA_CLI;
    std::string log;
    std::string info = At("info.txt");
    ASSERT_TRUE(RunTool(cli + " info '" + kPng + "/pngsuite/basn0g02.png' >'" + info + "'", &log))
        << log;
    Bytes b = ReadWholeFile(info);
    EXPECT_EQ(std::string(b.begin(), b.end()),
              "image type: PNG \nwidth: 32 \nheight: 32 \nbit depth: 2 \ncolor type: grayscale "
              "\ninterlace type: none \nimage gamma: 1.00 \n");
    ASSERT_TRUE(
        RunTool(cli + " info '" + kPng + "/testpngs/rgb-alpha-8-sRGB.png' >'" + info + "'", &log))
        << log;
    b = ReadWholeFile(info);
    EXPECT_EQ(std::string(b.begin(), b.end()),
              "image type: PNG \nwidth: 256 \nheight: 256 \nbit depth: 8 \ncolor type: RGB; alpha "
              "channel \ninterlace type: none \n");

    const std::string source = kPng + "/pngsuite/basn2c08.png";
    for (const char* to : {"png", "png-adam7"}) {
        const std::string out = At(std::string("cli-") + to + ".png");
        ASSERT_TRUE(
            RunTool(cli + " convert --force --to " + to + " '" + source + "' '" + out + "'", &log))
            << to << ": " << log;
        EXPECT_EQ(png::Decode(ReadWholeFile(out)).interlace, std::string(to) == "png-adam7");
    }
    EXPECT_FALSE(RunTool(cli + " convert --force --to png '" + source + "' /dev/full", &log));
    EXPECT_NE(log.find("error converting"), std::string::npos) << log;
}

namespace {
// Bytes a command writes to a file of ours; empty when it fails.
Bytes OutputOf(const std::string& command, const std::string& name) {
    const std::string path = At(name);
    std::remove(path.c_str());
    std::string log;
    if (!RunTool(command + " >'" + path + "'", &log)) {
        ADD_FAILURE() << command << ": " << log;
        return {};
    }
    return ReadWholeFile(path);
}
} // namespace

// Palette files with a tRNS chunk written by Pillow, with and without a gAMA
// chunk: Pillow, ImageMagick and pngtopam agree on each pixel's colour and
// alpha, and the reader shows them put onto white in linear light, as it
// shows an alpha channel: entry by entry the value worked from their samples.
// Entries that are opaque or fully transparent also come out as ImageMagick
// flattens the file onto white, when no gamma is at work.
TEST(PngInterop, TransparentPaletteFilesFromPillow) {
    REQUIRE_TOOLS();
    ASSERT_TRUE(RunTool("/usr/bin/python3 -c 'import PIL'")) << "Pillow is missing (python3-pil)";
    const int n = 16;
    const char* palette = "[0,0,0, 255,255,255, 255,0,0, 0,128,255, 200,100,50, 10,20,30, "
                          "128,128,128, 1,254,127, 90,180,45, 250,5,130, 33,66,99, 255,255,0, "
                          "0,0,0, 17,238,8, 64,64,64, 190,190,250]";
    const char* alpha = "[0, 255, 128, 64, 192, 1, 254, 0, 100, 200, 30, 220, 128, 255, 77, 160]";
    struct Case {
        const char* what;
        int gama; // 0: no gAMA chunk
        png::Gammas g;
    } cases[] = {
        {"no gAMA", 0, png::kNoChunk},
        {"gAMA 1.0", 100000, png::kLinear},
        {"gAMA 0.55556", 55556, {55556, 220000}},
    };
    for (const Case& c : cases) {
        const std::string path = At(std::string("pillow-trns-") + std::to_string(c.gama) + ".png");
        const std::string script =
            "import struct\nfrom PIL import Image, PngImagePlugin\n"
            "im = Image.new('P', (" +
            std::to_string(n) + ", 1))\nim.putpalette(" + palette + ")\nim.putdata(list(range(" +
            std::to_string(n) + ")))\ninfo = PngImagePlugin.PngInfo()\n" +
            (c.gama ? "info.add(b'gAMA', struct.pack('>I', " + std::to_string(c.gama) + "))\n"
                    : std::string()) +
            "im.save('" + path + "', transparency=bytes(" + alpha + "), pnginfo=info)\n";
        const std::string scriptPath = At("make.py");
        WriteTestFile("make.py", Bytes(script.begin(), script.end()));
        std::string log;
        ASSERT_TRUE(RunTool("/usr/bin/python3 '" + scriptPath + "'", &log)) << c.what << log;

        const png::Decoded d = png::Decode(ReadWholeFile(path));
        ASSERT_TRUE(d.ok) << c.what << ": " << d.error;
        ASSERT_EQ(d.type, 3) << c.what;
        ASSERT_NE(d.find("tRNS"), nullptr) << c.what;
        EXPECT_EQ(d.find("gAMA") != nullptr, c.gama != 0) << c.what;

        // Every decoder's colour and alpha as stored, 4 bytes a pixel
        // (ImageMagick would otherwise turn linear samples into sRGB).
        const Bytes pillow = OutputOf("/usr/bin/python3 -c 'import sys; from PIL import Image; "
                                      "sys.stdout.buffer.write(Image.open(\"" +
                                          path + "\").convert(\"RGBA\").tobytes())'",
                                      "pillow.rgba");
        const Bytes magick =
            OutputOf("convert '" + path + "' -set colorspace sRGB -depth 8 rgba:-", "magick.rgba");
        RawPnm pam;
        ASSERT_TRUE(Reference("pngtopam -alphapam '" + path + "'", &pam, &log)) << log;
        ASSERT_EQ(pillow.size(), size_t(4 * n)) << c.what;
        ASSERT_EQ(magick, pillow) << c.what;
        ASSERT_EQ(pam.channels, 4) << c.what;
        ASSERT_EQ(pam.samples, std::vector<uint32_t>(pillow.begin(), pillow.end())) << c.what;
        const Bytes flat = OutputOf(
            "convert '" + path + "' -background white -flatten -depth 8 rgb:-", "flat.rgb");
        ASSERT_EQ(flat.size(), size_t(3 * n)) << c.what;

        RecordMessages messages;
        char text[INFO_TEXT_SIZE] = "";
        HGLOBAL image = ReadPng(path.c_str(), nullptr, text, 32).image;
        ASSERT_NE(image, nullptr) << c.what;
        EXPECT_EQ(HeaderOf(image).biBitCount, 4) << c.what;
        for (int x = 0; x < n; x++) {
            const uint32_t shown = PixelAt(image, x, 0);
            const uint32_t a = pillow[size_t(4 * x + 3)];
            for (int k = 0; k < 3; k++) {
                const uint32_t sample = pillow[size_t(4 * x + k)];
                const int got = int((shown >> (16 - 8 * k)) & 0xFF);
                int low = 0, high = 0;
                if (a == 255) {
                    png::Shown(sample, 8, c.g, &low, &high);
                } else {
                    low = high = int(png::OnWhite8(sample, a, c.g));
                    low--;
                    high++;
                }
                EXPECT_TRUE(got >= low && got <= high)
                    << c.what << ": entry " << x << " component " << k << " alpha " << a << ": "
                    << got << ", expected " << low << " to " << high;
                if ((a == 0 || a == 255) && !png::Significant(c.g)) {
                    EXPECT_EQ(got, int(flat[size_t(3 * x + k)]))
                        << c.what << ": entry " << x << " component " << k;
                }
            }
        }
        // Worked by hand: half-transparent red over white, gamma 0.45 to 2.2,
        // is (255, 186, 186) in linear light; a blend of the stored values
        // would give (255, 127, 127).
        if (c.gama == 0) {
            EXPECT_EQ(PixelAt(image, 2, 0), 0xFFBABAu) << c.what;
        }
        GlobalFree(image);
    }
}
