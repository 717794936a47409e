// The PCX reader: every plane layout against pictures this test codes itself
// (literal bytes and runs), runs across planes and past rows, the colour
// tables, the File information text, files that lie about their sizes, and
// memory failures.
#include "read_buffer_util.h"
#include "test_util.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "formats/native/pcx.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {
uint32_t g_seed = 424242;
uint32_t Random() {
    g_seed = g_seed * 1103515245u + 12345u;
    return g_seed >> 7;
}

struct PcxHead {
    int version = 5;
    int bits = 8, planes = 1;
    int xmin = 0, ymin = 0;
    int width = 1, height = 1;
    int bytesPerLine = -1;         // -1: (width x bits + 7) / 8
    std::vector<uint32_t> palette; // header palette entries, 0xRRGGBB
};

int LineBytes(const PcxHead& h) {
    return h.bytesPerLine >= 0 ? h.bytesPerLine : (h.width * h.bits + 7) / 8;
}

void Set16(Bytes& b, size_t at, int v) {
    b[at] = BYTE(v);
    b[at + 1] = BYTE(v >> 8);
}

Bytes Header(const PcxHead& h) {
    Bytes b(128, 0);
    b[0] = 10;
    b[1] = BYTE(h.version);
    b[2] = 1;
    b[3] = BYTE(h.bits);
    Set16(b, 4, h.xmin);
    Set16(b, 6, h.ymin);
    Set16(b, 8, h.xmin + h.width - 1);
    Set16(b, 10, h.ymin + h.height - 1);
    for (size_t i = 0; i < h.palette.size() && i < 16; i++) {
        b[16 + 3 * i] = BYTE(h.palette[i] >> 16);
        b[17 + 3 * i] = BYTE(h.palette[i] >> 8);
        b[18 + 3 * i] = BYTE(h.palette[i]);
    }
    b[65] = BYTE(h.planes);
    Set16(b, 66, LineBytes(h));
    Set16(b, 68, 1);
    return b;
}

// The bytes of one plane of one scan line, filler random. Values are
// 0xAARRGGBB for 24 and 32 bits, 16-bit words, or indices; for bit planes,
// plane k holds bit k of the index.
Bytes PlaneBytes(const PcxHead& h, const std::vector<uint32_t>& values, int y, int plane) {
    const int bpl = LineBytes(h);
    Bytes line(static_cast<size_t>(bpl));
    for (BYTE& b : line) b = BYTE(Random());
    for (int x = 0; x < h.width; x++) {
        uint32_t v = values[size_t(y * h.width + x)];
        if (h.bits == 8 && h.planes >= 3) {
            static const int kShift[4] = {16, 8, 0, 24};
            if (x < bpl) line[size_t(x)] = BYTE(v >> kShift[plane]);
        } else if (h.bits == 16) {
            if (2 * x + 1 < bpl) {
                line[size_t(2 * x)] = BYTE(v);
                line[size_t(2 * x + 1)] = BYTE(v >> 8);
            }
        } else {
            uint32_t part = h.planes > 1 ? (v >> plane) & 1 : v;
            int at = x * h.bits;
            if (at / 8 >= bpl) continue;
            int shift = 8 - h.bits - at % 8;
            BYTE mask = BYTE(((1 << h.bits) - 1) << shift);
            line[size_t(at / 8)] = BYTE((line[size_t(at / 8)] & ~mask) | (part << shift));
        }
    }
    return line;
}

// Literal bytes: values with the two top bits set need a count of 1.
void PutLiterals(Bytes& out, const Bytes& in) {
    for (BYTE v : in) {
        if (v >= 0xC0) out.push_back(0xC1);
        out.push_back(v);
    }
}

// Runs of up to 63 equal bytes.
void PutRuns(Bytes& out, const Bytes& in) {
    for (size_t i = 0; i < in.size();) {
        size_t n = 1;
        while (i + n < in.size() && n < 63 && in[i + n] == in[i]) n++;
        if (n > 1 || in[i] >= 0xC0) out.push_back(BYTE(0xC0 | n));
        out.push_back(in[i]);
        i += n;
    }
}

// 16-bit lines are coded pixel by pixel: an optional count, the low byte, the high byte.
void PutWords(Bytes& out, const Bytes& in, bool runs) {
    for (size_t i = 0; i + 1 < in.size();) {
        size_t n = 1;
        while (runs && i + 2 * n + 1 < in.size() && n < 63 && in[i + 2 * n] == in[i] &&
               in[i + 2 * n + 1] == in[i + 1])
            n++;
        if (n > 1 || in[i] >= 0xC0) out.push_back(BYTE(0xC0 | n));
        out.push_back(in[i]);
        out.push_back(in[i + 1]);
        i += 2 * n;
    }
}

enum Coding { LITERALS, RUNS, ROW_RUNS };

// The whole file: header, scan lines (runs within planes, or across the
// planes of a row), and the 256-colour palette when given.
Bytes BuildPcx(const PcxHead& h, const std::vector<uint32_t>& values, Coding coding,
               const std::vector<uint32_t>& palette256 = {}) {
    Bytes file = Header(h);
    for (int y = 0; y < h.height; y++) {
        Bytes row;
        for (int k = 0; k < h.planes; k++) {
            Bytes plane = PlaneBytes(h, values, y, k);
            if (h.bits == 16) {
                PutWords(file, plane, coding != LITERALS);
            } else if (coding == ROW_RUNS) {
                row.insert(row.end(), plane.begin(), plane.end());
            } else if (coding == RUNS) {
                PutRuns(file, plane);
            } else {
                PutLiterals(file, plane);
            }
        }
        if (coding == ROW_RUNS && h.bits != 16) PutRuns(file, row);
    }
    if (!palette256.empty()) {
        file.push_back(12);
        for (int i = 0; i < 256; i++) {
            uint32_t c = i < int(palette256.size()) ? palette256[size_t(i)] : 0;
            file.push_back(BYTE(c >> 16));
            file.push_back(BYTE(c >> 8));
            file.push_back(BYTE(c));
        }
    }
    return file;
}

// Values with runs in them: each pixel repeats the one before three times in four.
std::vector<uint32_t> RunnyValues(int count, uint32_t mask) {
    std::vector<uint32_t> v;
    uint32_t last = Random() & mask;
    for (int i = 0; i < count; i++) {
        if (Random() % 4 == 0) last = (Random() ^ (Random() << 16)) & mask;
        v.push_back(last);
    }
    return v;
}

std::vector<uint32_t> RandomColours(int n) {
    std::vector<uint32_t> c;
    for (int i = 0; i < n; i++) c.push_back(Random() & 0xFFFFFF);
    return c;
}

HGLOBAL Read(const Bytes& file, std::string* text = nullptr) {
    return ReadBytesWithBuffer(ReadPcx, "t.pcx", file, text);
}

// The stored byte 3 of a 32-bit pixel, counted from the top row.
BYTE FourthByte(HGLOBAL image, int x, int y) {
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    BYTE v = ImagePixels(
        h)[ImageStride(h->biWidth, 32) * uint64_t(h->biHeight - 1 - y) + uint64_t(4 * x + 3)];
    GlobalUnlock(image);
    return v;
}

// Every pixel of a record against the values the file was made from.
void ExpectValues(HGLOBAL image, const PcxHead& h, const std::vector<uint32_t>& values,
                  const std::string& what) {
    ASSERT_NE(image, nullptr) << what;
    BITMAPINFOHEADER r = HeaderOf(image);
    ASSERT_EQ(r.biWidth, h.width) << what;
    ASSERT_EQ(r.biHeight, h.height) << what;
    int wrong = 0;
    for (int y = 0; y < h.height; y++) {
        for (int x = 0; x < h.width; x++) {
            uint32_t want = values[size_t(y * h.width + x)];
            uint32_t got = r.biBitCount >= 24 ? PixelAt(image, x, y) : RawPixelAt(image, x, y);
            if (r.biBitCount == 32) got |= uint32_t(FourthByte(image, x, y)) << 24;
            if (r.biBitCount == 16) want &= 0xFFFF;
            if (r.biBitCount == 24) want &= 0xFFFFFF;
            if (got != want && wrong++ < 3)
                ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex << got
                              << ", the file has " << want;
        }
    }
    EXPECT_EQ(wrong, 0) << what;
}
} // namespace

TEST(PcxReader, EveryPlaneLayoutAndCoding) {
    struct Layout {
        int bits, planes;
        int recordBits;
        uint32_t colours; // biClrUsed
    } layouts[] = {
        {1, 1, 1, 2},  {2, 1, 4, 4},   {4, 1, 4, 16}, {1, 2, 4, 16}, {1, 3, 4, 16},
        {1, 4, 4, 16}, {8, 1, 8, 256}, {8, 3, 24, 0}, {8, 4, 32, 0}, {16, 1, 16, 0},
    };
    for (const Layout& l : layouts) {
        for (int width : {1, 5, 8, 13, 17, 130}) {
            for (bool evenLines : {false, true}) {
                for (Coding coding : {LITERALS, RUNS, ROW_RUNS}) {
                    PcxHead h;
                    h.bits = l.bits;
                    h.planes = l.planes;
                    h.width = width;
                    h.height = 3;
                    // Lines padded to an even length (and one byte more) carry filler.
                    if (evenLines) h.bytesPerLine = ((width * l.bits + 7) / 8 + 2) & ~1;
                    const int depth = l.bits * l.planes;
                    uint32_t mask = depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
                    std::vector<uint32_t> values = RunnyValues(width * h.height, mask);
                    std::string what = std::to_string(l.bits) + " bits x " +
                                       std::to_string(l.planes) + " planes, width " +
                                       std::to_string(width) + (evenLines ? " padded" : "") +
                                       (coding == LITERALS ? ", literals"
                                        : coding == RUNS   ? ", runs"
                                                           : ", runs across planes");
                    std::string text;
                    RecordMessages messages;
                    HGLOBAL image = Read(BuildPcx(h, values, coding), &text);
                    EXPECT_TRUE(messages.messages.empty())
                        << what << ": " << JoinedMessages(messages);
                    ExpectValues(image, h, values, what);
                    if (!image) continue;
                    BITMAPINFOHEADER r = HeaderOf(image);
                    EXPECT_EQ(r.biBitCount, l.recordBits) << what;
                    EXPECT_EQ(r.biClrUsed, l.colours) << what;
                    EXPECT_EQ(r.biSizeImage, ImageStride(width, l.recordBits) * uint64_t(h.height))
                        << what;
                    EXPECT_TRUE(IsValidImageRecord(image)) << what;
                    GlobalFree(image);
                }
            }
        }
    }
}

TEST(PcxReader, RunsAcrossPlanesDecodeLikeRunsWithin) {
    // The last red bytes equal the first green ones, and so on: coded across
    // planes, a run passes from one plane into the next of the same row.
    for (int planes : {3, 4}) {
        PcxHead h;
        h.planes = planes;
        h.width = 7;
        h.height = 2;
        std::vector<uint32_t> values(14, 0x55555555u);
        values[3] = 0x55115555;
        values[10] = 0x5555AA55;
        Bytes across = BuildPcx(h, values, ROW_RUNS);
        Bytes within = BuildPcx(h, values, RUNS);
        ASSERT_LT(across.size(), within.size()) << "the runs cross planes";
        HGLOBAL a = Read(across), b = Read(within);
        ExpectValues(a, h, values, "across");
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(RecordPixelBytes(a), RecordPixelBytes(b));
        GlobalFree(a);
        GlobalFree(b);
    }
    // Four 1-bit planes of a 16-colour picture: one run of 0xFF covers them all.
    PcxHead h;
    h.bits = 1;
    h.planes = 4;
    h.width = 16;
    h.height = 2;
    Bytes file = Header(h);
    for (BYTE b : {0xC8, 0xFF, 0xC8, 0x00}) file.push_back(b);
    HGLOBAL image = Read(file);
    ASSERT_NE(image, nullptr);
    for (int x = 0; x < 16; x++) {
        EXPECT_EQ(RawPixelAt(image, x, 0), 15u) << x;
        EXPECT_EQ(RawPixelAt(image, x, 1), 0u) << x;
    }
    GlobalFree(image);
}

TEST(PcxReader, RunsStopAtTheEndOfTheirRow) {
    // A run of 10 in a row of 4: the rest is dropped and the next row starts
    // with its own bytes, for single planes, bit planes and 24-bit rows.
    struct Case {
        int bits, planes, width;
        Bytes data;
        std::vector<uint32_t> rows; // two rows of values (index, or 0xRRGGBB)
    } cases[] = {
        {8, 1, 4, {0xCA, 7, 1, 2, 3, 4}, {7, 7, 7, 7, 1, 2, 3, 4}},
        {8, 1, 4, {1, 2, 0xC6, 7, 3, 4, 5, 6}, {1, 2, 7, 7, 3, 4, 5, 6}},
        {1, 2, 8, {0xC5, 0xF0, 0x0F, 0x80}, {3, 3, 3, 3, 0, 0, 0, 0, 2, 0, 0, 0, 1, 1, 1, 1}},
        {8, 3, 1, {0xC9, 9, 1, 2, 3}, {0x090909, 0x010203}},
    };
    for (const Case& c : cases) {
        PcxHead h;
        h.bits = c.bits;
        h.planes = c.planes;
        h.width = c.width;
        h.height = 2;
        Bytes file = Header(h);
        file.insert(file.end(), c.data.begin(), c.data.end());
        HGLOBAL image = Read(file);
        ExpectValues(image, h, c.rows, std::to_string(c.bits) + "x" + std::to_string(c.planes));
        if (image) GlobalFree(image);
    }
}

TEST(PcxReader, ColourTables) {
    const std::vector<uint32_t> kDefault = {
        0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
        0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    std::vector<uint32_t> header16 = RandomColours(16);
    std::vector<uint32_t> big = RandomColours(256);
    std::vector<uint32_t> zeros(16, 0);
    // Entries past the ones a 4-colour picture needs do not count.
    std::vector<uint32_t> lateOnly(16, 0);
    lateOnly[5] = 0x123456;
    auto first = [](const std::vector<uint32_t>& v, size_t n, size_t total) {
        std::vector<uint32_t> out(v.begin(), v.begin() + long(n));
        out.resize(total, 0);
        return out;
    };
    struct Case {
        const char* name;
        int version, bits, planes;
        std::vector<uint32_t> header;
        std::vector<uint32_t> trailer; // the 256-colour palette, when any
        BYTE marker;
        std::vector<uint32_t> table; // expected
        const char* line;            // the colours line of the text, "" for none
    } cases[] = {
        {"1 bit, header all 0", 5, 1, 1, zeros, {}, 12, first(kDefault, 2, 2), "colors: 2"},
        {"1 bit, black and white", 5, 1, 1, {0xFFFFFF, 0}, {}, 12, {0xFFFFFF, 0}, "colors: 2"},
        {"2 bits, needed entries 0", 5, 2, 1, lateOnly, {}, 12, first(kDefault, 4, 4), "colors: 4"},
        {"2 planes", 5, 1, 2, header16, {}, 12, first(header16, 4, 16), "colors: 4"},
        {"3 planes", 5, 1, 3, header16, {}, 12, first(header16, 8, 16), "colors: 8"},
        {"4 planes, header all 0", 5, 1, 4, zeros, {}, 12, kDefault, "colors: 16"},
        {"4 bits packed", 3, 4, 1, header16, {}, 12, header16, "colors: 16"},
        {"8 bits, version 5", 5, 8, 1, header16, big, 12, big, "colors: 256"},
        {"8 bits, version 5, no marker", 5, 8, 1, header16, big, 11, first(header16, 16, 256),
         "colors: 16"},
        {"8 bits, version 3", 3, 8, 1, header16, big, 12, first(header16, 16, 256), "colors: 16"},
        {"8 bits, version 5, no trailer",
         5,
         8,
         1,
         header16,
         {},
         12,
         std::vector<uint32_t>(256),
         ""},
        // Eight bits per pixel in 2-bit planes: the 256-colour palette, cut
        // to the 16 entries a 4-bit record holds.
        {"2 bits x 4 planes, version 5", 5, 2, 4, header16, big, 12, first(big, 16, 16),
         "colors: 256"},
    };
    for (const Case& c : cases) {
        PcxHead h;
        h.version = c.version;
        h.bits = c.bits;
        h.planes = c.planes;
        h.width = 3;
        h.height = 2;
        h.palette = c.header;
        std::vector<uint32_t> values = {0, 1, 1, 0, 1, 0};
        Bytes file = BuildPcx(h, values, LITERALS, c.trailer);
        if (!c.trailer.empty()) file[file.size() - 769] = c.marker;
        std::string text;
        HGLOBAL image = Read(file, &text);
        ASSERT_NE(image, nullptr) << c.name;
        EXPECT_EQ(RecordColors(image), c.table) << c.name;
        size_t at = text.find("bytes per line: ");
        ASSERT_NE(at, std::string::npos) << c.name;
        EXPECT_EQ(text.substr(text.find('\n', at) + 1), c.line) << c.name;
        ExpectValues(image, h, values, c.name);
        GlobalFree(image);
    }
}

TEST(PcxReader, TrueColourPicturesKeepTheirPixelsWhateverTheHeaderPalette) {
    // The header palette is not a colour table of 16-, 24- and 32-bit records:
    // it is not written over their first pixels and gives no colours line.
    for (int bits : {8, 16}) {
        for (int planes : {1, 3, 4}) {
            if (bits == 16 && planes != 1) continue;
            if (bits == 8 && planes == 1) continue;
            PcxHead h;
            h.bits = bits;
            h.planes = planes;
            h.width = 20;
            h.height = 2;
            h.palette = RandomColours(16);
            std::vector<uint32_t> values = RunnyValues(40, 0xFFFFFFFF);
            std::string text;
            HGLOBAL image = Read(BuildPcx(h, values, RUNS, RandomColours(256)), &text);
            ExpectValues(image, h, values, std::to_string(bits * planes) + " bits");
            EXPECT_EQ(text.find("colors: 16 \n"), std::string::npos);
            EXPECT_EQ(text.substr(text.rfind('\n') + 1),
                      bits == 16 ? "colors: 65,536" : "colors: 16.7 million");
            if (image) GlobalFree(image);
        }
    }
}

TEST(PcxReader, InformationText) {
    PcxHead h;
    h.version = 5;
    h.bits = 8;
    h.planes = 3;
    h.xmin = 10;
    h.ymin = 300;
    h.width = 5;
    h.height = 3;
    h.bytesPerLine = 6;
    std::string text;
    HGLOBAL image = Read(BuildPcx(h, std::vector<uint32_t>(15, 0x123456), RUNS), &text);
    EXPECT_EQ(text, "image type: PCX \nwidth: 5 \nheight: 3 \nversion: 5 \nplanes: 3 \n"
                    "bits per pixel: 8 \nbytes per line: 6 \ncolors: 16.7 million");
    ASSERT_NE(image, nullptr);
    GlobalFree(image);

    // Through the loader, as File Info shows it.
    h.version = 2;
    h.bits = 1;
    h.planes = 1;
    h.bytesPerLine = -1;
    ASSERT_TRUE(LoadForTest(WriteTestFile(
        "info.pcx", BuildPcx(h, {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0}, LITERALS))));
    EXPECT_STREQ(g_infoText, "image type: PCX \nwidth: 5 \nheight: 3 \nversion: 2 \nplanes: 1 \n"
                             "bits per pixel: 1 \nbytes per line: 1 \ncolors: 2");
    EXPECT_EQ(RawPixelAt(g_picture, 1, 0), 1u);
    EXPECT_EQ(PixelAt(g_picture, 1, 0), 0x000080u) << "the second default colour";
    ReleaseCurrentPicture();
}

TEST(PcxReader, FilesThatLie) {
    auto with = [](PcxHead h, Bytes data) {
        Bytes file = Header(h);
        file.insert(file.end(), data.begin(), data.end());
        return file;
    };
    PcxHead eight;
    eight.bits = 8;
    eight.width = 4;
    eight.height = 3;
    Bytes notPcx = Header(eight);
    notPcx[0] = 11;
    PcxHead backwards = eight;
    backwards.xmin = 5;
    backwards.width = -2; // x maximum below x minimum
    PcxHead huge;
    huge.bits = 8;
    huge.planes = 3;
    huge.width = 65535;
    huge.height = 65535;
    PcxHead noLines = eight;
    noLines.bytesPerLine = 0;
    PcxHead shortLines = eight;
    shortLines.width = 8;
    shortLines.bytesPerLine = 2;
    PcxHead longLines;
    longLines.bits = 1;
    longLines.planes = 4;
    longLines.width = 2;
    longLines.height = 2;
    longLines.bytesPerLine = 65535;
    PcxHead manyPlanes;
    manyPlanes.bits = 1;
    manyPlanes.planes = 255;
    manyPlanes.width = 8;
    manyPlanes.height = 1;
    PcxHead three = eight;
    three.bits = 3;
    PcxHead zeroBits = eight;
    zeroBits.bits = 0;
    PcxHead wide16 = eight;
    wide16.bits = 16;
    wide16.planes = 2;
    PcxHead rgb = eight;
    rgb.planes = 3;
    PcxHead noPlanes;
    noPlanes.bits = 1;
    noPlanes.planes = 0;
    noPlanes.width = 1;
    noPlanes.height = 65535;
    noPlanes.bytesPerLine = 65535;
    Bytes manyPlaneBytes;
    for (int k = 0; k < 255; k++) manyPlaneBytes.push_back(k < 4 ? BYTE(0x80 >> k) : 0xAA);
    struct Case {
        const char* name;
        Bytes file;
        const char* message; // "" for none
        bool picture;
        std::vector<uint32_t> values; // top row first; empty: all zero
    } cases[] = {
        {"empty file", {}, "", false, {}},
        {"manufacturer not 10", notPcx, "Unrecognized File Structure", false, {}},
        {"maximum below minimum", with(backwards, {}), "Unrecognized File Structure", false, {}},
        {"65535 x 65535 x 24", with(huge, {1, 2, 3}), "Picture Too Large", false, {}},
        {"no bytes per line", with(noLines, {1, 2, 3, 4, 5}), "", true, {}},
        {"2 bytes per line of 8 pixels",
         with(shortLines, {1, 2, 3, 4, 5, 6}),
         "",
         true,
         {1, 2, 0, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0, 0, 0, 0, 5, 6, 0, 0, 0, 0, 0, 0}},
        {"65535 bytes per line of 2 pixels",
         with(longLines, {0xC1, 0x40, 0x80}),
         "",
         true,
         {0, 1, 0, 0}},
        {"255 bit planes", with(manyPlanes, manyPlaneBytes), "", true, {1, 2, 4, 8, 0, 0, 0, 0}},
        {"3 bits per pixel", with(three, {1, 2, 3}), "Unrecognized File Structure", true, {}},
        {"0 bits per pixel", with(zeroBits, {1, 2, 3}), "Unrecognized File Structure", true, {}},
        {"16 bits in 2 planes", with(wide16, {1, 2, 3}), "Unrecognized File Structure", true, {}},
        {"no planes, 65535 rows of 65535 bytes",
         with(noPlanes, {}),
         "Unrecognized File Structure",
         true,
         {}},
        {"data ends inside the second row",
         with(rgb, {0xC4, 9, 0xC4, 8, 0xC4, 7, 0xC2, 1}),
         "",
         true,
         {0x090807, 0x090807, 0x090807, 0x090807, 0x010000, 0x010000, 0, 0, 0, 0, 0, 0}},
        {"data ends after a count",
         with(eight, {1, 2, 3, 4, 0xC3}),
         "",
         true,
         {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"count of 0",
         with(eight, {0xC0, 9, 1, 2, 3, 4}),
         "",
         true,
         {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        HGLOBAL image = Read(c.file);
        EXPECT_EQ(JoinedMessages(messages), c.message) << c.name;
        ASSERT_EQ(image != nullptr, c.picture) << c.name;
        if (!image) continue;
        EXPECT_TRUE(IsValidImageRecord(image)) << c.name;
        BITMAPINFOHEADER r = HeaderOf(image);
        std::vector<uint32_t> got;
        for (int y = 0; y < r.biHeight; y++)
            for (int x = 0; x < r.biWidth; x++)
                got.push_back(r.biBitCount >= 24 ? PixelAt(image, x, y) : RawPixelAt(image, x, y));
        std::vector<uint32_t> want = c.values;
        if (want.empty()) want.assign(got.size(), 0);
        EXPECT_EQ(got, want) << c.name;
        GlobalFree(image);
    }
}

TEST(PcxReader, MemoryFailures) {
    PcxHead h;
    h.bits = 1;
    h.planes = 4;
    h.width = 9;
    h.height = 2;
    h.palette = RandomColours(16);
    std::vector<uint32_t> values = RunnyValues(18, 15);
    Bytes file = BuildPcx(h, values, RUNS);
    // The record, then the line buffer of the bit-plane decoder.
    {
        RecordMessages messages;
        FailGlobalAllocAt(1);
        HGLOBAL image = Read(file);
        FailGlobalAllocAt(0);
        EXPECT_EQ(image, nullptr);
        EXPECT_EQ(JoinedMessages(messages), "Memory Allocation Error");
    }
    {
        RecordMessages messages;
        FailGlobalAllocAt(2);
        HGLOBAL image = Read(file);
        FailGlobalAllocAt(0);
        EXPECT_EQ(JoinedMessages(messages), "Memory Allocation Error");
        ASSERT_NE(image, nullptr) << "the empty picture is returned";
        Bytes pixels = RecordPixelBytes(image);
        EXPECT_EQ(pixels, Bytes(pixels.size(), 0));
        EXPECT_EQ(RecordColors(image), h.palette);
        GlobalFree(image);
    }
    HGLOBAL image = Read(file);
    ExpectValues(image, h, values, "with memory");
    if (image) GlobalFree(image);
}

TEST(PcxReader, LoadsThroughTheLoader) {
    PcxHead h;
    h.planes = 3;
    h.width = 33;
    h.height = 5;
    std::vector<uint32_t> values = RunnyValues(33 * 5, 0xFFFFFF);
    ASSERT_TRUE(LoadForTest(WriteTestFile("rgb.pcx", BuildPcx(h, values, RUNS))));
    ExpectValues(g_picture, h, values, "loaded");
    EXPECT_EQ(g_bitCount, 24);
    ReleaseCurrentPicture();
}
