// zendra-cli convert with tool options: what is written, in which order the
// tools run, and the usage errors.
#include "unit/test_util.h"

#include "core/state.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {
struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun RunTool(const std::string& args) {
    std::string errFile = TestDir() + "/tools-stderr.txt";
    std::string command = std::string(ZENDRA_CLI) + " " + args + " 2>" + errFile + " </dev/null";
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    Bytes err = ReadWholeFile(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

// 3 x 2, top row a b c, bottom row d e f (24-bit colours 0x00RRGGBB).
const uint32_t a = 0x102030, b = 0x405060, c = 0x708090, d = 0xA0B0C0, e = 0xD0E0F0, f = 0x0A0B0C;

std::string ThreeByTwo() {
    auto bgr = [](uint32_t v) { return Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)}; };
    auto row = [&](uint32_t x, uint32_t y, uint32_t z) {
        Bytes r = bgr(x), s = bgr(y), t = bgr(z);
        r.insert(r.end(), s.begin(), s.end());
        r.insert(r.end(), t.begin(), t.end());
        return r;
    };
    BmpSpec bmpFile;
    bmpFile.width = 3;
    bmpFile.height = 2;
    bmpFile.bitCount = 24;
    bmpFile.pixels = PadRows({row(d, e, f), row(a, b, c)}); // bottom row first
    return WriteTestFile("three-by-two.bmp", BuildBmp(bmpFile));
}

// The pixels of a written file, top row first.
std::vector<std::vector<uint32_t>> PixelsOf(const std::string& path) {
    std::vector<std::vector<uint32_t>> rows;
    if (!LoadForTest(path)) return rows;
    BITMAPINFOHEADER h = HeaderOf(g_picture);
    for (int y = 0; y < h.biHeight; y++) {
        rows.emplace_back();
        for (int x = 0; x < h.biWidth; x++) rows.back().push_back(PixelAt(g_picture, x, y));
    }
    ReleaseCurrentPicture();
    return rows;
}

std::string Output(const std::string& name) {
    std::string path = TestDir() + "/" + name;
    std::remove(path.c_str());
    return path;
}
} // namespace

TEST(CliTools, GeometryInCommandLineOrder) {
    const std::string input = ThreeByTwo();
    typedef std::vector<std::vector<uint32_t>> Grid;
    struct Case {
        const char* tools;
        Grid expected;
    } cases[] = {
        {"", {{a, b, c}, {d, e, f}}},
        // The top row of the turned picture is the old left column read bottom to top.
        {"--rotate 90", {{d, a}, {e, b}, {f, c}}},
        {"--rotate 270", {{c, f}, {b, e}, {a, d}}},
        {"--rotate=180", {{f, e, d}, {c, b, a}}},
        {"--flip lr", {{c, b, a}, {f, e, d}}},
        {"--flip tb", {{d, e, f}, {a, b, c}}},
        {"--rotate 90 --flip lr", {{a, d}, {b, e}, {c, f}}},
        {"--flip lr --rotate 90", {{f, c}, {e, b}, {d, a}}},
        {"--rotate 90 --rotate 90 --rotate 90 --rotate 90", {{a, b, c}, {d, e, f}}},
        {"--invert --invert", {{a, b, c}, {d, e, f}}},
        {"--invert",
         {{a ^ 0xFFFFFF, b ^ 0xFFFFFF, c ^ 0xFFFFFF}, {d ^ 0xFFFFFF, e ^ 0xFFFFFF, f ^ 0xFFFFFF}}},
    };
    for (const Case& k : cases) {
        const std::string output = Output("geometry.bmp");
        ToolRun run = RunTool("convert " + std::string(k.tools) + " " + input + " " + output);
        ASSERT_EQ(run.status, 0) << k.tools << "\n" << run.err;
        EXPECT_EQ(run.err, "") << k.tools;
        EXPECT_EQ(PixelsOf(output), k.expected) << k.tools;
    }
}

TEST(CliTools, ToneAndColourTools) {
    const std::string input = ThreeByTwo();
    // A 1 x 1 palette picture of colour (128, 64, 0).
    BmpSpec bmpFile;
    bmpFile.width = 1;
    bmpFile.height = 1;
    bmpFile.bitCount = 8;
    bmpFile.clrUsed = 1;
    bmpFile.colors = {0x804000};
    bmpFile.pixels = PadRows({{0}});
    const std::string palette = WriteTestFile("palette.bmp", BuildBmp(bmpFile));
    struct Case {
        std::string args;
        int bits;            // of the written picture
        int maxColors;       // at most this many table entries (0: no table)
        uint32_t firstPixel; // top-left pixel, or ~0u for any
    } cases[] = {
        {"--brighten " + palette, 8, 1, 0x9D6000},          // (157, 96, 0)
        {"--darken " + palette, 8, 1, 0x602400},            // (96, 36, 0)
        {"--brighten --darken " + palette, 8, 1, 0x804000}, // back to (128, 64, 0)
        {"--grayscale " + palette, 8, 1, 0x4C4C4C},         // (30 x 128 + 59 x 64) / 100 = 76
        {"--brighten " + input, 8, 256, ~0u},               // reduced first, then brightened
        {"--grayscale " + input, 8, 256, 0x1C1C1C},         // grey of (16, 32, 48) is 28
        {"--reduce std16 " + input, 8, 16, ~0u},
        {"--reduce mono " + input, 8, 2, ~0u},
        {"--reduce best16 " + input, 8, 16, ~0u},
        {"--rotate 90 --grayscale " + input, 8, 256, 0xACACAC}, // grey of d is 172
    };
    for (const Case& k : cases) {
        const std::string output = Output("tone.bmp");
        ToolRun run = RunTool("convert " + k.args + " " + output);
        ASSERT_EQ(run.status, 0) << k.args << "\n" << run.err;
        ASSERT_TRUE(LoadForTest(output)) << k.args;
        BITMAPINFOHEADER h = HeaderOf(g_picture);
        EXPECT_LE(h.biBitCount, k.bits) << k.args;
        EXPECT_LE(RecordColors(g_picture).size(), size_t(k.maxColors)) << k.args;
        if (k.firstPixel != ~0u) {
            EXPECT_EQ(PixelAt(g_picture, 0, 0), k.firstPixel) << k.args;
        }
        ReleaseCurrentPicture();
    }
}

TEST(CliTools, UsageErrors) {
    const std::string input = ThreeByTwo();
    const std::string output = Output("never.bmp");
    struct Case {
        std::string args;
        const char* err;
    } cases[] = {
        {"--rotate 45", "--rotate takes 90, 180 or 270, not '45'"},
        {"--rotate=-90", "--rotate takes 90, 180 or 270, not '-90'"},
        {"--flip xy", "--flip takes lr or tb, not 'xy'"},
        {"--flip LR", "--flip takes lr or tb, not 'LR'"},
        {"--reduce 256", "--reduce takes std256, web216, std16, mono, best256, best32 or best16"},
        {"--rotations 90", "unknown option '--rotations'"},
        {"--inverted", "unknown option '--inverted'"},
    };
    for (const Case& k : cases) {
        ToolRun run = RunTool("convert " + k.args + " " + input + " " + output);
        EXPECT_EQ(run.status, 2) << k.args;
        EXPECT_NE(run.err.find(k.err), std::string::npos) << k.args << "\n" << run.err;
        EXPECT_EQ(run.err.find("zendra-cli: "), 0u) << k.args;
        EXPECT_FALSE(FileExists(output)) << k.args;
    }
    ToolRun run = RunTool("convert " + input + " " + output + " --rotate");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("option requires an argument: '--rotate'"), std::string::npos)
        << run.err;
    EXPECT_FALSE(FileExists(output));
}

TEST(CliTools, HelpListsTheTools) {
    ToolRun run = RunTool("convert --help");
    EXPECT_EQ(run.status, 0);
    for (const char* text : {"[TOOLS]", "--rotate 90|180|270", "--flip lr|tb", "--invert",
                             "--brighten", "--darken", "--grayscale", "--reduce NAME", "std256",
                             "web216", "std16", "mono", "best256", "best32", "best16"})
        EXPECT_NE(run.out.find(text), std::string::npos) << text;
}

TEST(CliTools, ToolFailureWritesNothing) {
    // One row of 270 million 1-bit pixels (34 MB) cannot be turned: the turned
    // picture would pass the size limit of a picture.
    BmpSpec bmpFile;
    bmpFile.width = 270000000;
    bmpFile.height = 1;
    bmpFile.bitCount = 1;
    bmpFile.colors = {0x000000, 0xFFFFFF};
    bmpFile.pixels = Bytes((bmpFile.width + 31) / 32 * 4, 0x55);
    const std::string input = WriteTestFile("long-row.bmp", BuildBmp(bmpFile));
    const std::string output = Output("long-row-out.bmp");
    ToolRun run = RunTool("convert --flip lr --rotate 90 " + input + " " + output);
    std::remove(input.c_str());
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("long-row.bmp: Insufficient Memory for this Operation."),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(FileExists(output));
}
