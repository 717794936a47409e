// The IFF reader and writer against netpbm: files written by ppmtoilbm are
// read pixel for pixel as ilbmtoppm reads them, files we write are decoded by
// ilbmtoppm, and hand-made files netpbm cannot write (extra-halfbrite, PBM)
// are compared with ilbmtoppm's reading of them.
//
// Tools needed (Debian package): netpbm.
#include "unit/iff_test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "formats/native/iff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/wait.h>

namespace {
std::string At(const std::string& name) {
    return TestDir() + "/" + name;
}

bool RunTool(const std::string& command, std::string* log) {
    std::string logPath = At("iff-tool.log");
    int status = std::system((command + " 2>" + logPath).c_str());
    Bytes b = ReadWholeFile(logPath);
    log->assign(b.begin(), b.end());
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

#define REQUIRE_NETPBM()                                                                           \
    do {                                                                                           \
        for (const char* tool : {"ppmtoilbm", "ilbmtoppm", "pbmmake"})                             \
            ASSERT_TRUE(HaveTool(tool)) << tool << " is missing (netpbm)";                         \
    } while (0)

// A picture as 0xRRGGBB values, top row first.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

bool ParsePpm(const Bytes& data, Picture* out, std::string* error) {
    size_t at = 2;
    auto number = [&](uint32_t* v) {
        while (at < data.size() && (std::isspace(data[at]) || data[at] == '#')) {
            if (data[at] == '#')
                while (at < data.size() && data[at] != '\n') at++;
            else
                at++;
        }
        if (at >= data.size() || !std::isdigit(data[at])) return false;
        *v = 0;
        while (at < data.size() && std::isdigit(data[at]))
            *v = *v * 10 + uint32_t(data[at++] - '0');
        return true;
    };
    uint32_t w, h, maxval;
    if (data.size() < 2 || data[0] != 'P' || data[1] != '6' || !number(&w) || !number(&h) ||
        !number(&maxval) || maxval != 255) {
        *error = "not a P6 file of maxval 255";
        return false;
    }
    at++;
    if (data.size() - at < size_t(w) * h * 3) {
        *error = "PPM data cut short";
        return false;
    }
    out->width = int(w);
    out->height = int(h);
    out->pixels.clear();
    for (size_t i = 0; i < size_t(w) * h; i++, at += 3)
        out->pixels.push_back(uint32_t(data[at]) << 16 | uint32_t(data[at + 1]) << 8 |
                              data[at + 2]);
    return true;
}

void WritePpm(const std::string& path, const Picture& p) {
    std::string head =
        "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n";
    Bytes b(head.begin(), head.end());
    for (uint32_t v : p.pixels) b.insert(b.end(), {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    WriteTestFile(path.substr(path.rfind('/') + 1), b);
}

// ilbmtoppm's reading of a file.
bool NetpbmReads(const std::string& iff, Picture* out, std::string* why,
                 const std::string& options = "") {
    std::string log;
    std::string ppm = At("netpbm.ppm");
    if (!RunTool("ilbmtoppm " + options + " " + iff + " >" + ppm, &log)) {
        *why = "ilbmtoppm failed: " + log;
        return false;
    }
    return ParsePpm(ReadWholeFile(ppm), out, why);
}

// Our reading of a file, through the loader.
bool WeRead(const std::string& iff, Picture* out) {
    RecordMessages quiet;
    if (!LoadForTest(iff)) return false;
    BITMAPINFOHEADER h = HeaderOf(g_picture);
    out->width = h.biWidth;
    out->height = h.biHeight;
    out->pixels.clear();
    for (int y = 0; y < h.biHeight; y++)
        for (int x = 0; x < h.biWidth; x++) out->pixels.push_back(PixelAt(g_picture, x, y));
    return true;
}

// Pixels that differ, with the first one named.
int Differences(const Picture& a, const Picture& b, std::string* first) {
    if (a.width != b.width || a.height != b.height) {
        *first = "sizes " + std::to_string(a.width) + "x" + std::to_string(a.height) + " and " +
                 std::to_string(b.width) + "x" + std::to_string(b.height);
        return -1;
    }
    int n = 0;
    for (size_t i = 0; i < a.pixels.size(); i++)
        if (a.pixels[i] != b.pixels[i] && n++ == 0) {
            char text[80];
            std::snprintf(text, sizeof text, "at %d,%d: %06X and %06X", int(i) % a.width,
                          int(i) / a.width, a.pixels[i], b.pixels[i]);
            *first = text;
        }
    return n;
}

uint32_t g_seed = 8675309u;
uint32_t Random() {
    g_seed = g_seed * 1664525u + 1013904223u;
    return g_seed >> 8;
}

// Random pixels from a palette of n colours (n = 0: any colour), in runs.
Picture RandomPicture(int width, int height, int n) {
    std::vector<uint32_t> palette;
    for (int i = 0; i < n; i++) palette.push_back(Random() & 0xFFFFFF);
    Picture p;
    p.width = width;
    p.height = height;
    while (p.pixels.size() < size_t(width) * size_t(height)) {
        uint32_t v = n ? palette[Random() % uint32_t(n)] : Random() & 0xFFFFFF;
        size_t run = Random() % 3 == 0 ? 1 + Random() % 12 : 1;
        for (size_t i = 0; i < run && p.pixels.size() < size_t(width) * size_t(height); i++)
            p.pixels.push_back(v);
    }
    return p;
}

// A record with the picture's pixels: indices into the picture's own colours
// up to 8 bits, 5-5-5 words at 16 bits (the picture is cut to 5 bits first).
HGLOBAL RecordOf(Picture* p, int bits) {
    std::vector<uint32_t> colors;
    for (uint32_t& v : p->pixels) {
        if (bits == 16) v &= 0xF8F8F8;
        if (bits <= 8 && std::find(colors.begin(), colors.end(), v) == colors.end())
            colors.push_back(v);
    }
    return MakeRecord(p->width, p->height, bits, colors, [&](int x, int y) {
        uint32_t v = p->pixels[size_t(y * p->width + x)];
        if (bits <= 8) return uint32_t(std::find(colors.begin(), colors.end(), v) - colors.begin());
        if (bits == 16) return (v >> 19 & 31) << 10 | (v >> 11 & 31) << 5 | (v >> 3 & 31);
        return v;
    });
}
} // namespace

TEST(IffInterop, NetpbmFilesAsIlbmtoppmReadsThem) {
    REQUIRE_NETPBM();
    struct Case {
        const char* options;
        int colors;    // of the random picture, 0: any
        bool lossless; // the file holds the picture exactly
    } cases[] = {
        {"-compress", 2, true},
        {"-nocompress", 2, true},
        {"-compress", 5, true},
        {"-fixplanes 8 -nocompress", 5, true},
        {"-compress", 32, true},
        {"-maxplanes 8 -compress", 200, true},
        {"-maxplanes 8 -nocompress", 200, true},
        {"-maxplanes 8 -compress -maskfile MASK", 200, true},
        {"-compress -maskfile MASK", 2, true},
        {"-ham6 -compress", 0, false},
        {"-ham6 -nocompress", 0, false},
        {"-ham6 -compress -maskfile MASK", 0, false},
        {"-ham8 -compress", 0, false},
        {"-ham8 -nocompress", 0, false},
        {"-24force -compress", 0, true},
        {"-24force -nocompress", 0, true},
        {"-24force -compress -maskfile MASK", 0, true},
    };
    for (const Case& c : cases) {
        for (int width : {37, 200}) {
            const int height = 11;
            Picture source = RandomPicture(width, height, c.colors);
            WritePpm(At("source.ppm"), source);
            std::string log, mask = At("mask.pbm");
            ASSERT_TRUE(RunTool("pbmmake -g " + std::to_string(width) + " " +
                                    std::to_string(height) + " >" + mask,
                                &log))
                << log;
            std::string options = c.options;
            size_t at = options.find("MASK");
            if (at != std::string::npos) options.replace(at, 4, mask);
            const std::string name = std::string(c.options) + ", width " + std::to_string(width);
            std::string iff = At("netpbm.iff");
            ASSERT_TRUE(RunTool("ppmtoilbm " + options + " " + At("source.ppm") + " >" + iff, &log))
                << name << ": " << log;
            Picture theirs, ours;
            std::string why;
            ASSERT_TRUE(NetpbmReads(iff, &theirs, &why)) << name << ": " << why;
            ASSERT_TRUE(WeRead(iff, &ours)) << name;
            EXPECT_EQ(Differences(ours, theirs, &why), 0) << name << ": " << why;
            if (c.lossless) {
                EXPECT_EQ(Differences(ours, source, &why), 0) << name << ": " << why;
            }
        }
    }
}

// Every bit count in the four forms: ilbmtoppm sees what we see, and the
// standard forms hold the picture exactly.
TEST(IffInterop, OurFilesAsIlbmtoppmReadsThem) {
    REQUIRE_NETPBM();
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        for (int form = 0; form < 4; form++) {
            const int packer = form & 1, ham = form >> 1;
            const int colors = bits == 1 ? 2 : bits == 4 ? 13 : bits == 8 ? 180 : 0;
            Picture source = RandomPicture(45, 13, colors);
            HGLOBAL image = RecordOf(&source, bits);
            const std::string name = std::to_string(bits) + " bits" + (packer ? ", packed" : "") +
                                     (ham ? ", hold-and-modify" : "");
            std::string iff = At("ours.iff");
            ASSERT_EQ(WriteIffPicture(image, iff.c_str(), packer, ham), 1) << name;
            GlobalFree(image);
            Picture theirs, ours;
            std::string why;
            ASSERT_TRUE(NetpbmReads(iff, &theirs, &why)) << name << ": " << why;
            ASSERT_TRUE(WeRead(iff, &ours)) << name;
            EXPECT_EQ(Differences(ours, theirs, &why), 0) << name << ": " << why;
            if (!ham) {
                EXPECT_EQ(Differences(ours, source, &why), 0) << name << ": " << why;
            }
        }
    }
}

// Files ppmtoilbm does not write, as ilbmtoppm reads them.
TEST(IffInterop, HandMadeFilesAsIlbmtoppmReadsThem) {
    REQUIRE_NETPBM();
    std::vector<uint32_t> table32, table256;
    for (int i = 0; i < 32; i++) table32.push_back(Random() & 0xFFFFFF);
    for (int i = 0; i < 256; i++) table256.push_back(Random() & 0xFFFFFF);
    const int width = 30, height = 7;
    Bytes planes6, planes6Packed, chunky;
    for (int y = 0; y < height; y++) {
        std::vector<uint32_t> row;
        for (int x = 0; x < width; x++) row.push_back(Random() % 64);
        Bytes r = PlaneRows(row, 0, 6);
        planes6.insert(planes6.end(), r.begin(), r.end());
        for (int x = 0; x < width; x++) chunky.push_back(uint8_t(Random()));
    }
    planes6Packed = SimpleByteRun1Rows(planes6, 4); // 30 pixels: 4 bytes a plane row
    struct Case {
        const char* name;
        Bytes file;
        const char* options;
    } cases[] = {
        {"extra-halfbrite by display mode",
         IffForm("ILBM", {IffBmhd(width, height, 6), IffCmap(table32), IffCamg(0x80),
                          IffChunk("BODY", planes6)}),
         ""},
        {"extra-halfbrite by display mode, packed",
         IffForm("ILBM", {IffBmhd(width, height, 6, 0, 1), IffCmap(table32), IffCamg(0x80),
                          IffChunk("BODY", planes6Packed)}),
         ""},
        {"six planes of 32 colours (ilbmtoppm told it is extra-halfbrite)",
         IffForm("ILBM", {IffBmhd(width, height, 6), IffCmap(table32), IffChunk("BODY", planes6)}),
         "-isehb"},
        {"chunky 8 planes",
         IffForm("PBM ", {IffBmhd(width, height, 8), IffCmap(table256), IffChunk("BODY", chunky)}),
         ""},
        {"chunky 8 planes, packed",
         IffForm("PBM ", {IffBmhd(width, height, 8, 0, 1), IffCmap(table256),
                          IffChunk("BODY", SimpleByteRun1Rows(chunky, width))}),
         ""},
    };
    for (const Case& c : cases) {
        std::string iff = WriteTestFile("hand.iff", c.file);
        Picture theirs, ours;
        std::string why;
        ASSERT_TRUE(NetpbmReads(iff, &theirs, &why, c.options)) << c.name << ": " << why;
        ASSERT_TRUE(WeRead(iff, &ours)) << c.name;
        EXPECT_EQ(Differences(ours, theirs, &why), 0) << c.name << ": " << why;
    }
}
