// The bitmap readers and the uncompressed writer against independent tools:
// netpbm (ppmtobmp, bmptopnm, pnmtotiff), ImageMagick (convert) and libtiff
// (tiffcp). Pictures are random and made here; files the tools cannot write
// (bit fields, top-down, hand-made run-length streams, Huffman data) are built
// here and decoded by the tools for comparison.
//
// Tools needed (Debian packages): netpbm, imagemagick, libtiff-tools.
#include "unit/test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/wait.h>

namespace {
std::string At(const std::string& name) {
    return TestDir() + "/" + name;
}

// Runs a shell command with stderr kept in a log; true on exit status 0.
bool RunTool(const std::string& command, std::string* log = nullptr) {
    std::string logPath = At("tool.log");
    int status = std::system((command + " 2>" + logPath).c_str());
    if (log) {
        Bytes b = ReadWholeFile(logPath);
        log->assign(b.begin(), b.end());
    }
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

#define REQUIRE_TOOLS()                                                                            \
    do {                                                                                           \
        for (const char* tool : {"ppmtobmp", "bmptopnm", "pnmtotiff", "convert", "tiffcp"})        \
            ASSERT_TRUE(HaveTool(tool)) << tool                                                    \
                                        << " is missing (netpbm, imagemagick, "                    \
                                           "libtiff-tools)";                                       \
    } while (0)

// A picture as width x height x 3 components, each scaled to 16 bits.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> samples;
    uint32_t At16(int x, int y, int c) const { return samples[size_t((y * width + x) * 3 + c)]; }
};

// Reads any of P1 to P6 (maxval up to 65535). PBM 1 is black.
bool ParsePnm(const Bytes& data, Picture* out, std::string* error) {
    size_t at = 0;
    auto skipSpace = [&]() {
        for (;;) {
            while (at < data.size() && std::isspace(data[at])) at++;
            if (at < data.size() && data[at] == '#') {
                while (at < data.size() && data[at] != '\n') at++;
            } else {
                return;
            }
        }
    };
    auto number = [&](uint32_t* v) {
        skipSpace();
        if (at >= data.size() || !std::isdigit(data[at])) return false;
        *v = 0;
        while (at < data.size() && std::isdigit(data[at]))
            *v = *v * 10 + uint32_t(data[at++] - '0');
        return true;
    };
    if (data.size() < 2 || data[0] != 'P' || data[1] < '1' || data[1] > '6') {
        *error = "not a PNM file";
        return false;
    }
    int kind = data[1] - '0';
    at = 2;
    uint32_t w, h, maxval = 1;
    if (!number(&w) || !number(&h) || (kind != 1 && kind != 4 && !number(&maxval)) || maxval == 0 ||
        maxval > 65535) {
        *error = "bad PNM header";
        return false;
    }
    at++; // the single whitespace byte before binary data
    out->width = int(w);
    out->height = int(h);
    out->samples.assign(size_t(w) * h * 3, 0);
    const int channels = (kind == 3 || kind == 6) ? 3 : 1;
    const bool binary = kind >= 4;
    if (!binary) at--;
    auto scale = [&](uint32_t v) { return uint32_t((uint64_t(v) * 65535 + maxval / 2) / maxval); };
    for (uint32_t y = 0; y < h; y++) {
        for (uint32_t x = 0; x < w; x++) {
            uint32_t v[3] = {0, 0, 0};
            if (kind == 4) {
                size_t byte = at + y * ((w + 7) / 8) + x / 8;
                if (byte >= data.size()) return *error = "PBM data cut short", false;
                v[0] = ((data[byte] >> (7 - x % 8)) & 1) ? 0 : 1;
            } else if (kind == 1) {
                skipSpace();
                if (at >= data.size()) return *error = "PBM data cut short", false;
                v[0] = data[at++] == '1' ? 0 : 1;
            } else {
                for (int c = 0; c < channels; c++) {
                    if (binary && maxval < 256) {
                        if (at >= data.size()) return *error = "data cut short", false;
                        v[c] = data[at++];
                    } else if (binary) {
                        if (at + 1 >= data.size()) return *error = "data cut short", false;
                        v[c] = uint32_t(data[at] << 8 | data[at + 1]);
                        at += 2;
                    } else if (!number(&v[c])) {
                        return *error = "data cut short", false;
                    }
                }
            }
            for (int c = 0; c < 3; c++)
                out->samples[size_t((y * w + x) * 3 + uint32_t(c))] =
                    scale(v[channels == 3 ? c : 0]);
        }
    }
    return true;
}

// A picture from 0x00RRGGBB values, top row first.
Picture FromRgb(int width, int height, const std::vector<uint32_t>& rgb) {
    Picture p;
    p.width = width;
    p.height = height;
    for (uint32_t v : rgb)
        for (int c = 0; c < 3; c++) p.samples.push_back(((v >> (16 - 8 * c)) & 0xFF) * 257);
    return p;
}

Bytes PpmBytes(int width, int height, const std::vector<uint32_t>& rgb) {
    std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    Bytes b(head.begin(), head.end());
    for (uint32_t v : rgb) {
        b.push_back(BYTE(v >> 16));
        b.push_back(BYTE(v >> 8));
        b.push_back(BYTE(v));
    }
    return b;
}

// Decodes a file with a tool command; "{}" in the command stands for the file.
bool Decode(const std::string& command, const std::string& path, Picture* out, std::string* why) {
    std::string pnm = At("decoded.pnm");
    std::string cmd = command;
    cmd.replace(cmd.find("{}"), 2, "'" + path + "'");
    std::remove(pnm.c_str());
    if (!RunTool(cmd + " >'" + pnm + "'", why)) return false;
    return ParsePnm(ReadWholeFile(pnm), out, why);
}

const char* const kNetpbm = "bmptopnm {}";
const char* const kMagick = "convert {} -depth 16 ppm:-";

// How a component of the file compares with the record: the file's component
// has `bits` bits; the record keeps it shifted right by `shift`.
struct Precision {
    int bits[3];
    int shift[3];
};
const Precision kEight = {{8, 8, 8}, {0, 0, 0}};
const Precision kFive = {{5, 5, 5}, {0, 0, 0}};
const Precision kFiveSixFive = {{5, 6, 5}, {0, 1, 0}};
const Precision kTen = {{10, 10, 10}, {0, 0, 0}};
const Precision kTenScaled = {{10, 10, 10}, {2, 2, 2}};

// The record's components at its own precision: 5 bits for 16-bit records,
// 8 bits otherwise.
void RecordComponents(HGLOBAL image, int x, int y, uint32_t out[3]) {
    if (HeaderOf(image).biBitCount == 16) {
        uint32_t v = RawPixelAt(image, x, y);
        out[0] = (v >> 10) & 31;
        out[1] = (v >> 5) & 31;
        out[2] = v & 31;
    } else {
        uint32_t v = PixelAt(image, x, y);
        out[0] = (v >> 16) & 0xFF;
        out[1] = (v >> 8) & 0xFF;
        out[2] = v & 0xFF;
    }
}

// Every pixel of the record against a reference picture.
void ExpectSamePixels(HGLOBAL image, const Picture& ref, const Precision& p,
                      const std::string& what) {
    ASSERT_NE(image, nullptr) << what;
    BITMAPINFOHEADER h = HeaderOf(image);
    ASSERT_EQ(h.biWidth, ref.width) << what;
    ASSERT_EQ(h.biHeight, ref.height) << what;
    int wrong = 0;
    for (int y = 0; y < ref.height; y++) {
        for (int x = 0; x < ref.width; x++) {
            uint32_t ours[3];
            RecordComponents(image, x, y, ours);
            for (int c = 0; c < 3; c++) {
                uint32_t want = (ref.At16(x, y, c) >> (16 - p.bits[c])) >> p.shift[c];
                if (ours[c] != want && wrong++ < 3)
                    ADD_FAILURE() << what << ": pixel " << x << "," << y << " component " << c
                                  << " is " << ours[c] << ", the reference has " << want;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << what << ": wrong components";
}

// Loads a file and compares it with the picture and with what each decoder
// makes of the file.
void LoadAndCompare(const std::string& path, const Picture* original,
                    std::vector<const char*> decoders, const Precision& p,
                    const std::string& what) {
    RecordMessages messages;
    ASSERT_TRUE(LoadForTest(path)) << what;
    EXPECT_TRUE(messages.messages.empty()) << what << ": " << messages.messages[0].text;
    if (original) ExpectSamePixels(g_picture, *original, p, what + " (original)");
    for (const char* decoder : decoders) {
        Picture ref;
        std::string why;
        ASSERT_TRUE(Decode(decoder, path, &ref, &why)) << what << ": " << decoder << ": " << why;
        ExpectSamePixels(g_picture, ref, p, what + " (" + decoder + ")");
    }
}

// Writes the current picture uncompressed (by zendra-cli convert when a
// source path is given, else by WritePicture) and checks that both decoders
// read back `expected`, compared at `bits` bits per component.
void WriteAndCompare(const std::string& source, const Picture& expected, int bits,
                     const std::string& what) {
    std::string out = At("ours.bmp");
    std::remove(out.c_str());
    if (!source.empty()) {
        std::string log;
        ASSERT_TRUE(RunTool(
            std::string(ZENDRA_CLI) + " convert --force '" + source + "' '" + out + "'", &log))
            << what << ": " << log;
    } else {
        ASSERT_EQ(WritePicture(g_picture, out.c_str(), FMT_BMP, 0, 0), WRITE_OK) << what;
    }
    for (const char* decoder : {kNetpbm, kMagick}) {
        Picture back;
        std::string why;
        ASSERT_TRUE(Decode(decoder, out, &back, &why)) << what << ": " << decoder << ": " << why;
        ASSERT_EQ(back.width, expected.width) << what;
        ASSERT_EQ(back.height, expected.height) << what;
        int wrong = 0;
        for (size_t i = 0; i < back.samples.size(); i++) {
            uint32_t a = back.samples[i] >> (16 - bits), b = expected.samples[i] >> (16 - bits);
            if (a != b && wrong++ < 3)
                ADD_FAILURE() << what << ": our file in " << decoder << ": sample " << i << " is "
                              << a << ", expected " << b;
        }
        EXPECT_EQ(wrong, 0) << what << ": our file in " << decoder;
    }
}

// Random pictures: `colours` random colours (0: every pixel its own random colour).
std::vector<uint32_t> RandomRgb(std::mt19937& rng, int width, int height, int colours) {
    std::vector<uint32_t> palette;
    for (int i = 0; i < colours; i++) palette.push_back(rng() & 0xFFFFFF);
    std::vector<uint32_t> rgb;
    for (int i = 0; i < width * height; i++)
        rgb.push_back(colours ? palette[rng() % uint32_t(colours)] : rng() & 0xFFFFFF);
    return rgb;
}

std::vector<uint32_t> RandomGrey(std::mt19937& rng, int width, int height, int levels) {
    std::vector<uint32_t> rgb;
    for (int i = 0; i < width * height; i++) {
        uint32_t g = levels == 2 ? (rng() & 1) * 255 : rng() & 0xFF;
        rgb.push_back(g * 0x010101);
    }
    return rgb;
}

Bytes PgmOrPbm(int width, int height, const std::vector<uint32_t>& rgb, bool pbm) {
    std::string head = std::string(pbm ? "P4\n" : "P5\n") + std::to_string(width) + " " +
                       std::to_string(height) + (pbm ? "\n" : "\n255\n");
    Bytes b(head.begin(), head.end());
    for (int y = 0; y < height; y++) {
        BYTE bits = 0;
        for (int x = 0; x < width; x++) {
            uint32_t g = rgb[size_t(y * width + x)] & 0xFF;
            if (!pbm) {
                b.push_back(BYTE(g));
                continue;
            }
            if (g == 0) bits |= BYTE(0x80 >> (x % 8));
            if (x % 8 == 7 || x == width - 1) {
                b.push_back(bits);
                bits = 0;
            }
        }
    }
    return b;
}

const int kWidths[] = {1, 3, 5, 7, 33};

uint32_t Le32At(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
} // namespace

TEST(BitmapInterop, NetpbmFilesReadAndWriteBack) {
    REQUIRE_TOOLS();
    std::mt19937 rng(20240611);
    for (const char* layout : {"-windows", "-os2"}) {
        for (int bpp : {1, 4, 8, 24}) {
            for (int width : kWidths) {
                const int height = 2 + width % 3;
                const int colours = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
                // Colour pictures, and grey and black-and-white ones from PGM and PBM input.
                for (int input = 0; input < (bpp == 8 || bpp == 1 ? 2 : 1); input++) {
                    std::vector<uint32_t> rgb;
                    Bytes pnm;
                    if (input == 0) {
                        rgb = RandomRgb(rng, width, height, colours);
                        pnm = PpmBytes(width, height, rgb);
                    } else {
                        rgb = RandomGrey(rng, width, height, bpp == 1 ? 2 : 256);
                        pnm = PgmOrPbm(width, height, rgb, bpp == 1);
                    }
                    std::string what = std::string("ppmtobmp ") + layout + " -bpp " +
                                       std::to_string(bpp) + (input ? " (PGM/PBM)" : "") +
                                       ", width " + std::to_string(width);
                    std::string in = WriteTestFile("netpbm.pnm", pnm);
                    std::string bmp = At("netpbm.bmp");
                    std::string log;
                    ASSERT_TRUE(RunTool(std::string("ppmtobmp ") + layout + " -bpp " +
                                            std::to_string(bpp) + " '" + in + "' >'" + bmp + "'",
                                        &log))
                        << what << ": " << log;
                    Bytes file = ReadWholeFile(bmp);
                    ASSERT_GE(file.size(), 30u) << what;
                    ASSERT_EQ(file[14], std::string(layout) == "-os2" ? 12 : 40) << what;
                    ASSERT_EQ(file[14] == 12 ? file[24] : file[28], bpp) << what;
                    Picture original = FromRgb(width, height, rgb);
                    LoadAndCompare(bmp, &original, {kNetpbm, kMagick}, kEight, what);
                    WriteAndCompare(bmp, original, 8, what);
                }
            }
        }
    }
}

TEST(BitmapInterop, ImageMagickFilesReadAndWriteBack) {
    REQUIRE_TOOLS();
    std::mt19937 rng(77);
    struct Kind {
        const char* name;
        const char* options; // between the input and the output
        int colours;         // of the random picture; -1 grey
        int bits;            // bit count the file must have
        int compression;
    } kinds[] = {
        {"BMP3 true colour", "-type TrueColor -compress None", 0, 24, 0},
        {"BMP3 2 colours", "-type Palette -compress None", 2, 1, 0},
        {"BMP3 12 colours", "-type Palette -compress None", 12, 4, 0},
        {"BMP3 200 colours", "-type Palette -compress None", 200, 8, 0},
        {"BMP3 grey", "-type Palette -compress None", -1, 8, 0},
        {"BMP3 RLE8, 16 colours", "-type Palette -compress RLE", 16, 8, 1},
        {"BMP3 RLE8, 200 colours", "-type Palette -compress RLE", 200, 8, 1},
        {"BMP3 RLE8, 3 colours", "-type Palette -compress RLE", 3, 8, 1},
    };
    for (const char* prefix : {"BMP3", "BMP2", "BMP"}) {
        for (const Kind& k : kinds) {
            if (k.compression && std::string(prefix) != "BMP3") continue;
            for (int width : kWidths) {
                const int height = 1 + width % 4;
                std::vector<uint32_t> rgb = k.colours < 0
                                                ? RandomGrey(rng, width, height, 256)
                                                : RandomRgb(rng, width, height, k.colours);
                std::string what =
                    std::string(prefix) + ": " + k.name + ", width " + std::to_string(width);
                std::string in = WriteTestFile("magick.ppm", PpmBytes(width, height, rgb));
                std::string bmp = At("magick.bmp");
                std::string log;
                ASSERT_TRUE(RunTool(std::string("convert '") + in + "' " + k.options + " " +
                                        prefix + ":'" + bmp + "'",
                                    &log))
                    << what << ": " << log;
                Bytes file = ReadWholeFile(bmp);
                ASSERT_GE(file.size(), 34u) << what;
                const int headerSize = file[14];
                EXPECT_EQ(headerSize, std::string(prefix) == "BMP2"   ? 12
                                      : std::string(prefix) == "BMP3" ? 40
                                                                      : 124)
                    << what;
                int bits = headerSize == 12 ? file[24] : file[28];
                // ImageMagick picks the bit count from the colours it finds.
                if (k.bits != 24) {
                    EXPECT_LE(bits, k.bits) << what;
                } else {
                    EXPECT_EQ(bits, 24) << what;
                }
                if (headerSize != 12) {
                    EXPECT_EQ(Le32At(file, 30), uint32_t(k.compression)) << what;
                }
                // ImageMagick's RLE8 rows also code their padding bytes, which
                // bmptopnm refuses; its grey palettes may move a level by one.
                Picture original = FromRgb(width, height, rgb);
                std::vector<const char*> decoders = {kMagick};
                if (!k.compression) decoders.push_back(kNetpbm);
                LoadAndCompare(bmp, k.colours < 0 ? nullptr : &original, decoders, kEight, what);
                Picture reference;
                std::string why;
                ASSERT_TRUE(Decode(kMagick, bmp, &reference, &why)) << why;
                WriteAndCompare("", reference, 8, what);
            }
        }
    }
}

TEST(BitmapInterop, BitFieldAndTopDownFiles) {
    REQUIRE_TOOLS();
    std::mt19937 rng(5150);
    struct Kind {
        const char* name;
        uint32_t headerSize;
        uint16_t bits;
        uint32_t compression;
        std::vector<uint32_t> masks;
        int sign;        // -1: top-down
        int tenBitRange; // 10-10-10: component values up to this
        Precision precision;
        bool netpbm; // bmptopnm reads the layout (it ignores masks after a
                     // 40-byte header and masks on 32 bits, and refuses
                     // 64-byte OS/2 2.0 headers)
    } kinds[] = {
        {"16-bit 5-5-5 without masks", 40, 16, 0, {}, 1, 0, kFive, true},
        {"16-bit 5-5-5 masks", 40, 16, 3, {0x7C00, 0x03E0, 0x001F}, 1, 0, kFive, false},
        {"16-bit 5-6-5 masks", 40, 16, 3, {0xF800, 0x07E0, 0x001F}, 1, 0, kFiveSixFive, false},
        {"16-bit 5-6-5 in a 108-byte header",
         108,
         16,
         3,
         {0xF800, 0x07E0, 0x001F},
         1,
         0,
         kFiveSixFive,
         true},
        {"16-bit 5-6-5 in a 124-byte header, top-down",
         124,
         16,
         3,
         {0xF800, 0x07E0, 0x001F},
         -1,
         0,
         kFiveSixFive,
         true},
        {"32-bit without masks", 40, 32, 0, {}, 1, 0, kEight, true},
        {"32-bit 8-8-8 masks", 40, 32, 3, {0xFF0000, 0xFF00, 0xFF}, 1, 0, kEight, false},
        {"32-bit 8-8-8 masks, top-down",
         124,
         32,
         3,
         {0xFF0000, 0xFF00, 0xFF},
         -1,
         0,
         kEight,
         false},
        {"32-bit 10-10-10, 8-bit values",
         40,
         32,
         3,
         {0xFFC00000, 0x003FF000, 0x00000FFC},
         1,
         255,
         kTen,
         false},
        {"32-bit 10-10-10, 10-bit values",
         40,
         32,
         3,
         {0xFFC00000, 0x003FF000, 0x00000FFC},
         1,
         1023,
         kTenScaled,
         false},
        {"32-bit 10-10-10, 10-bit values, top-down",
         124,
         32,
         3,
         {0xFFC00000, 0x003FF000, 0x00000FFC},
         -1,
         1023,
         kTenScaled,
         false},
        {"24-bit top-down", 40, 24, 0, {}, -1, 0, kEight, true},
        {"16-bit 5-5-5 top-down", 40, 16, 0, {}, -1, 0, kFive, true},
        {"8-bit top-down", 40, 8, 0, {}, -1, 0, kEight, true},
        {"4-bit top-down", 40, 4, 0, {}, -1, 0, kEight, true},
        {"1-bit top-down", 40, 1, 0, {}, -1, 0, kEight, true},
        {"8-bit in a 124-byte header, top-down", 124, 8, 0, {}, -1, 0, kEight, true},
        {"OS/2 2.0 24-bit", 64, 24, 0, {}, 1, 0, kEight, false},
    };
    for (const Kind& k : kinds) {
        for (int width : kWidths) {
            const int height = 2 + width % 3;
            BmpSpec s;
            s.headerSize = k.headerSize;
            s.width = width;
            s.height = k.sign * height;
            s.bitCount = k.bits;
            s.compression = k.compression;
            s.masks = k.masks;
            if (k.bits <= 8)
                for (int i = 0; i < (1 << k.bits); i++) s.colors.push_back(rng() & 0xFFFFFF);
            const uint64_t stride = ((uint64_t(width) * k.bits + 31) / 32) * 4;
            s.pixels.assign(size_t(stride) * size_t(height), 0);
            for (int y = 0; y < height; y++) {
                BYTE* row = s.pixels.data() + size_t(stride) * size_t(y);
                for (int x = 0; x < width; x++) {
                    uint32_t v = rng();
                    if (k.tenBitRange) {
                        uint32_t range = uint32_t(k.tenBitRange) + 1;
                        v = (v % range) << 22 | ((v >> 10) % range) << 12 | (rng() % range) << 2;
                    }
                    if (k.bits == 16 && k.compression == 0) v &= 0x7FFF;
                    switch (k.bits) {
                    case 1:
                        row[x / 8] |= BYTE((v & 1) << (7 - x % 8));
                        break;
                    case 4:
                        row[x / 2] |= BYTE((v & 15) << ((x & 1) ? 0 : 4));
                        break;
                    case 8:
                        row[x] = BYTE(v);
                        break;
                    default:
                        for (int i = 0; i < k.bits / 8; i++)
                            row[x * (k.bits / 8) + i] = BYTE(v >> (8 * i));
                    }
                }
            }
            std::string what = std::string(k.name) + ", width " + std::to_string(width);
            std::string path = WriteTestFile("fields.bmp", BuildBmp(s));
            std::vector<const char*> decoders = {kMagick};
            if (k.netpbm) decoders.push_back(kNetpbm);
            LoadAndCompare(path, nullptr, decoders, k.precision, what);
            // Our file holds what the record holds: 5-5-5, or 8 bits per component.
            const int keptBits = k.bits == 16 ? 5 : 8;
            Picture record;
            record.width = width;
            record.height = height;
            for (int y = 0; y < height; y++)
                for (int x = 0; x < width; x++) {
                    uint32_t comps[3];
                    RecordComponents(g_picture, x, y, comps);
                    for (int c = 0; c < 3; c++)
                        record.samples.push_back(comps[c] << (16 - keptBits));
                }
            WriteAndCompare("", record, keptBits, what);
        }
    }
}

namespace {
// ImageMagick reads the colour table of a 64-byte OS/2 2.0 header as 3-byte
// entries where the file has 4-byte ones (blue, green, red, reserved), so the
// colour it shows for index j is made of table bytes 3j to 3j + 2. The
// record's indices are checked through that reading, its colours against the
// table written, and our uncompressed copy in both decoders.
void ExpectOs2v2IndicesThroughMagick(const std::string& path, const std::vector<uint32_t>& colors,
                                     const std::string& what) {
    Bytes table;
    for (uint32_t c : colors) table.insert(table.end(), {BYTE(c), BYTE(c >> 8), BYTE(c >> 16), 0});
    RecordMessages messages;
    ASSERT_TRUE(LoadForTest(path)) << what;
    Picture ref;
    std::string why;
    ASSERT_TRUE(Decode(kMagick, path, &ref, &why)) << what << ": " << why;
    ASSERT_EQ(ref.width, HeaderOf(g_picture).biWidth) << what;
    ASSERT_EQ(ref.height, HeaderOf(g_picture).biHeight) << what;
    Picture ours;
    ours.width = ref.width;
    ours.height = ref.height;
    int wrong = 0;
    for (int y = 0; y < ref.height; y++) {
        for (int x = 0; x < ref.width; x++) {
            uint32_t j = RawPixelAt(g_picture, x, y);
            ASSERT_LT(j, colors.size()) << what;
            for (int c = 0; c < 3; c++) {
                uint32_t want = table[3 * j + 2 - uint32_t(c)];
                if ((ref.At16(x, y, c) >> 8) != want && wrong++ < 3)
                    ADD_FAILURE() << what << ": index at " << x << "," << y << " differs";
            }
            EXPECT_EQ(PixelAt(g_picture, x, y), colors[j]) << what;
            for (int c = 0; c < 3; c++)
                ours.samples.push_back(((colors[j] >> (16 - 8 * c)) & 0xFF) * 257);
        }
    }
    EXPECT_EQ(wrong, 0) << what;
    WriteAndCompare("", ours, 8, what);
}

// A random run-length stream whose rows are all complete: encoded runs,
// absolute runs (with their pad bytes), and, when allowed, deltas.
Bytes RandomRunLengthStream(std::mt19937& rng, bool four, int width, int height, bool deltas) {
    Bytes s;
    int y = 0, x = 0;
    while (y < height) {
        int left = width - x;
        if (left == 0) {
            s.push_back(0);
            s.push_back(y == height - 1 ? 1 : 0);
            y++;
            x = 0;
            continue;
        }
        int choice = int(rng() % 10);
        int most = left < 255 ? left : 255;
        if (deltas && choice == 0 && left > 1) {
            int dx = 1 + int(rng() % uint32_t((left < 256 ? left : 256) - 1));
            int dy = (y + 1 < height && rng() % 3 == 0) ? 1 : 0;
            s.insert(s.end(), {0, 2, BYTE(dx), BYTE(dy)});
            x += dx;
            y += dy;
        } else if (choice < 5 || most < 3) {
            int n = 1 + int(rng() % uint32_t(most));
            s.push_back(BYTE(n));
            s.push_back(BYTE(rng()));
            x += n;
        } else {
            int n = 3 + int(rng() % uint32_t(most - 2));
            s.push_back(0);
            s.push_back(BYTE(n));
            int bytes = four ? (n + 1) / 2 : n;
            for (int i = 0; i < bytes; i++) s.push_back(BYTE(rng()));
            if (bytes & 1) s.push_back(0);
            x += n;
        }
    }
    return s;
}
} // namespace

TEST(BitmapInterop, RunLengthStreams) {
    REQUIRE_TOOLS();
    std::mt19937 rng(4242);
    for (uint32_t headerSize : {40u, 64u}) {
        for (bool four : {false, true}) {
            for (bool deltas : {false, true}) {
                for (int width : {1, 2, 3, 5, 7, 33, 300}) {
                    for (int round = 0; round < 3; round++) {
                        const int height = 1 + int(rng() % 5);
                        BmpSpec s;
                        s.headerSize = headerSize;
                        s.width = width;
                        s.height = height;
                        s.bitCount = four ? 4 : 8;
                        s.compression = four ? 2 : 1;
                        for (int i = 0; i < (four ? 16 : 256); i++)
                            s.colors.push_back(rng() & 0xFFFFFF);
                        s.pixels = RandomRunLengthStream(rng, four, width, height, deltas);
                        s.sizeImage = uint32_t(s.pixels.size());
                        std::string what =
                            std::string(headerSize == 64 ? "OS/2 2.0 " : "Windows ") +
                            (four ? "RLE4" : "RLE8") + (deltas ? " with deltas" : "") + ", width " +
                            std::to_string(width) + ", round " + std::to_string(round);
                        std::string path = WriteTestFile("stream.bmp", BuildBmp(s));
                        if (headerSize == 64) {
                            ExpectOs2v2IndicesThroughMagick(path, s.colors, what);
                            continue;
                        }
                        // bmptopnm does not take deltas.
                        std::vector<const char*> decoders = {kMagick};
                        if (!deltas) decoders.push_back(kNetpbm);
                        LoadAndCompare(path, nullptr, decoders, kEight, what);
                        Picture reference;
                        std::string why;
                        ASSERT_TRUE(Decode(kMagick, path, &reference, &why)) << why;
                        WriteAndCompare(path, reference, 8, what);
                    }
                }
            }
        }
    }
}

namespace {
struct Strip {
    Bytes data;
    uint32_t width = 0, height = 0, photometric = 99, fillOrder = 1, options = 0, compression = 0;
    uint32_t strips = 0;
};

// The first directory of a TIFF file and the bytes of its single strip.
bool ReadTiffStrip(const Bytes& t, Strip* out, std::string* why) {
    if (t.size() < 8) return *why = "short TIFF", false;
    const bool le = t[0] == 'I';
    auto u16 = [&](size_t at) {
        return le ? uint32_t(t[at] | t[at + 1] << 8) : uint32_t(t[at] << 8 | t[at + 1]);
    };
    auto u32 = [&](size_t at) {
        return le ? (u16(at) | u16(at + 2) << 16) : (u16(at) << 16 | u16(at + 2));
    };
    size_t ifd = u32(4);
    if (ifd + 2 > t.size()) return *why = "bad directory offset", false;
    uint32_t entries = u16(ifd);
    uint32_t offset = 0, count = 0;
    for (uint32_t i = 0; i < entries; i++) {
        size_t e = ifd + 2 + 12 * i;
        if (e + 12 > t.size()) return *why = "directory cut short", false;
        uint32_t tag = u16(e), type = u16(e + 2), n = u32(e + 4);
        uint32_t value = type == 3 ? u16(e + 8) : u32(e + 8);
        switch (tag) {
        case 256:
            out->width = value;
            break;
        case 257:
            out->height = value;
            break;
        case 259:
            out->compression = value;
            break;
        case 262:
            out->photometric = value;
            break;
        case 266:
            out->fillOrder = value;
            break;
        case 273:
            offset = value;
            out->strips = n;
            break;
        case 279:
            count = value;
            break;
        case 292:
            out->options = value;
            break;
        }
    }
    if (out->strips != 1) return *why = "not one strip", false;
    if (uint64_t(offset) + count > t.size()) return *why = "strip outside the file", false;
    out->data.assign(t.begin() + long(offset), t.begin() + long(offset + count));
    return true;
}

// Rows of runs: white a, black b, white to the end; lengths cover every
// terminating code, every make-up code and every extended make-up code.
std::vector<std::vector<bool>> CodeCoverageRows(int width) {
    std::vector<int> lengths;
    for (int i = 0; i < 64; i++) lengths.push_back(i);
    for (int m = 64; m <= 2560; m += 64) lengths.push_back(m + (m / 64 * 7) % 64);
    std::vector<std::vector<bool>> rows;
    for (size_t i = 0; i < lengths.size(); i++) {
        int white = lengths[i];
        int black = lengths[(i * 37 + 11) % lengths.size()];
        if (black == 0) black = 1;
        std::vector<bool> row(size_t(width), false);
        for (int x = white; x < white + black && x < width; x++) row[size_t(x)] = true;
        rows.push_back(row);
        // The same lengths with black reaching the end of the row.
        if (i % 8 == 0) {
            std::vector<bool> tail(size_t(width), false);
            for (int x = white; x < width; x++) tail[size_t(x)] = true;
            rows.push_back(tail);
        }
    }
    return rows;
}
} // namespace

TEST(BitmapInterop, HuffmanDataFromLibtiff) {
    REQUIRE_TOOLS();
    std::mt19937 rng(1728);
    struct Sample {
        std::string name;
        int width;
        std::vector<std::vector<bool>> rows; // top row first, true = black
    };
    std::vector<Sample> samples;
    for (int width : {1, 3, 5, 7, 33, 64, 65, 200, 1800}) {
        Sample s{"random runs, width " + std::to_string(width), width, {}};
        for (int y = 0; y < 6; y++) {
            std::vector<bool> row;
            bool black = rng() % 2;
            while (int(row.size()) < width) {
                int run = 1 + int(rng() % uint32_t(width < 80 ? 6 : 300));
                for (int i = 0; i < run && int(row.size()) < width; i++) row.push_back(black);
                black = !black;
            }
            s.rows.push_back(row);
        }
        samples.push_back(s);
    }
    samples.push_back({"every code, width 5300", 5300, CodeCoverageRows(5300)});
    for (const Sample& s : samples) {
        const int width = s.width, height = int(s.rows.size());
        std::string head = "P4\n" + std::to_string(width) + " " + std::to_string(height) + "\n";
        Bytes pbm(head.begin(), head.end());
        for (const std::vector<bool>& row : s.rows)
            for (int x = 0; x < width; x += 8) {
                BYTE b = 0;
                for (int i = 0; i < 8 && x + i < width; i++)
                    if (row[size_t(x + i)]) b |= BYTE(0x80 >> i);
                pbm.push_back(b);
            }
        std::string in = WriteTestFile("fax.pbm", pbm);
        std::string tif = At("fax.tif"), g3 = At("fax-g3.tif"), log;
        ASSERT_TRUE(RunTool("pnmtotiff -miniswhite '" + in + "' >'" + tif + "'", &log)) << log;
        ASSERT_TRUE(RunTool("tiffcp -c g3:1d -r 100000 '" + tif + "' '" + g3 + "'", &log)) << log;
        Strip strip;
        std::string why;
        ASSERT_TRUE(ReadTiffStrip(ReadWholeFile(g3), &strip, &why)) << s.name << ": " << why;
        ASSERT_EQ(strip.compression, 3u) << s.name;
        ASSERT_EQ(strip.photometric, 0u) << s.name << ": min-is-white, 0 is white";
        ASSERT_EQ(strip.fillOrder, 1u) << s.name;
        ASSERT_EQ(strip.options & 5u, 0u) << s.name << ": one-dimensional, no fill bits";
        ASSERT_EQ(strip.width, uint32_t(width));
        ASSERT_EQ(strip.height, uint32_t(height));

        // The coded rows go into an OS/2 2.0 Huffman bitmap; its first row is
        // the bottom row. The stored colours are not the ones shown.
        BmpSpec b;
        b.headerSize = 64;
        b.width = width;
        b.height = height;
        b.bitCount = 1;
        b.compression = 3;
        b.colors = {0x00FF00, 0xFF00FF};
        b.pixels = strip.data;
        std::string path = WriteTestFile("fax.bmp", BuildBmp(b));
        RecordMessages messages;
        ASSERT_TRUE(LoadForTest(path)) << s.name;
        EXPECT_EQ(g_colorsUsed, 1) << s.name << ": black and white";
        Picture flipped;
        flipped.width = width;
        flipped.height = height;
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                for (int c = 0; c < 3; c++)
                    flipped.samples.push_back(s.rows[size_t(height - 1 - y)][size_t(x)] ? 0
                                                                                        : 65535);
        ExpectSamePixels(g_picture, flipped, kEight, s.name);
        WriteAndCompare("", flipped, 8, s.name);
    }
}

TEST(BitmapInterop, Os2v2PalettePictures) {
    REQUIRE_TOOLS();
    std::mt19937 rng(2020);
    for (uint16_t bits : {1, 4, 8}) {
        for (int width : kWidths) {
            for (uint32_t clrUsed : {0u, 3u}) {
                if (bits == 1 && clrUsed) continue;
                BmpSpec s;
                s.headerSize = 64;
                s.width = width;
                s.height = 2 + width % 3;
                s.bitCount = bits;
                s.clrUsed = clrUsed;
                const int colours = clrUsed ? int(clrUsed) : 1 << bits;
                for (int i = 0; i < colours; i++) s.colors.push_back(rng() & 0xFFFFFF);
                const uint64_t stride = ((uint64_t(width) * bits + 31) / 32) * 4;
                for (int y = 0; y < s.height; y++)
                    for (uint64_t i = 0; i < stride; i++) {
                        // Indices inside the table.
                        BYTE v = 0;
                        for (int p = 0; p < 8 / bits; p++)
                            v = BYTE(v << bits | (rng() % uint32_t(colours)));
                        s.pixels.push_back(v);
                    }
                std::string what = "OS/2 2.0 " + std::to_string(bits) + "-bit, " +
                                   std::to_string(colours) + " colours, width " +
                                   std::to_string(width);
                ExpectOs2v2IndicesThroughMagick(WriteTestFile("os2v2.bmp", BuildBmp(s)), s.colors,
                                                what);
            }
        }
    }
}

TEST(BitmapInterop, RunLengthAndBitFieldFilesWeWrite) {
    // Pictures read from uncompressed files, written in each form, read back
    // by us and decoded by the tools. bmptopnm reads RLE 8 and RLE 4, but
    // ignores the masks that follow a 40-byte header and takes 16 and 32 bits
    // as 5-5-5 and 8-8-8: it is asked only about those two layouts. Our
    // 10-10-10 files hold 8-bit components unscaled, so ImageMagick shows the
    // 10-bit field values we wrote (a darker picture): compared as such.
    REQUIRE_TOOLS();
    std::mt19937 rng(1906);
    struct Form {
        const char* name;
        int format, option;
        uint16_t bits;
        Precision source, written; // source against ImageMagick; file against the tools
        bool netpbm;
    } forms[] = {
        {"RLE 8", FMT_BMP_RLE, 0, 8, kEight, kEight, true},
        {"RLE 4", FMT_BMP_RLE, 0, 4, kEight, kEight, true},
        {"5-5-5", FMT_BMP_BITFIELDS, 0, 16, kFive, kFive, true},
        {"5-6-5", FMT_BMP_BITFIELDS, 1, 16, kFive, kFiveSixFive, false},
        {"8-8-8", FMT_BMP_BITFIELDS, 0, 32, kEight, kEight, true},
        {"10-10-10", FMT_BMP_BITFIELDS, 1, 32, kEight, kTen, false},
    };
    for (const Form& f : forms) {
        for (int width : {1, 2, 3, 5, 7, 33, 300}) {
            const int height = 1 + width % 4;
            BmpSpec s;
            s.width = width;
            s.height = height;
            s.bitCount = f.bits;
            if (f.bits <= 8)
                for (int i = 0; i < (1 << f.bits); i++) s.colors.push_back(rng() & 0xFFFFFF);
            const uint64_t stride = ((uint64_t(width) * f.bits + 31) / 32) * 4;
            s.pixels.assign(size_t(stride) * size_t(height), 0);
            uint32_t v = 0;
            for (int y = 0; y < height; y++) {
                BYTE* row = s.pixels.data() + size_t(stride) * size_t(y);
                for (int x = 0; x < width; x++) {
                    // Runs of every length, so the encoder uses all its codes.
                    if (rng() % 4 == 0 || x == 0) v = rng();
                    if (f.bits == 16) v &= 0x7FFF;
                    if (f.bits == 4)
                        row[x / 2] |= BYTE((v & 15) << ((x & 1) ? 0 : 4));
                    else
                        for (int i = 0; i < f.bits / 8; i++)
                            row[x * (f.bits / 8) + i] = BYTE(v >> (8 * i));
                }
            }
            const std::string what = std::string(f.name) + ", width " + std::to_string(width);
            std::string source = WriteTestFile("forms-source.bmp", BuildBmp(s));
            Picture original;
            std::string why;
            ASSERT_TRUE(Decode(kMagick, source, &original, &why)) << what << ": " << why;
            ASSERT_TRUE(LoadForTest(source)) << what;
            std::string path = At("forms-ours.bmp");
            std::remove(path.c_str());
            ASSERT_EQ(WritePicture(g_picture, path.c_str(), f.format, f.option, 0), WRITE_OK)
                << what;
            Bytes file = ReadWholeFile(path);
            ASSERT_GE(file.size(), 54u) << what;
            EXPECT_EQ(Le32At(file, 2), file.size()) << what << ": file size field";
            EXPECT_EQ(Le32At(file, 30),
                      uint32_t(f.format == FMT_BMP_RLE ? (f.bits == 8 ? 1 : 2) : 3))
                << what;
            std::vector<const char*> decoders = {kMagick};
            if (f.netpbm) decoders.push_back(kNetpbm);
            LoadAndCompare(path, nullptr, decoders, f.written, what);
            ExpectSamePixels(g_picture, original, f.source, what + " (the source picture)");
        }
    }
}

namespace {
const char* const kPillow = "/usr/bin/python3 -c 'import sys; from PIL import Image; "
                            "Image.open(sys.argv[1]).convert(\"RGB\").save(sys.stdout.buffer, "
                            "\"PPM\")' {}";

struct MaskLayout {
    const char* name;
    uint32_t headerSize;
    uint16_t bits;
    std::vector<uint32_t> masks; // red, green, blue, and alpha in longer headers
    bool netpbm, pillow;         // the decoders that read the layout
};

int FieldWidth(uint32_t mask) {
    int n = 0;
    for (; mask; mask >>= 1) n += int(mask & 1);
    return n;
}

// Our record against a decoder, channel by channel, on the bits both hold:
// the field's top bits, as many as the record keeps (5 in 16-bit records, 8
// otherwise) or the field has.
void ExpectSameFieldBits(HGLOBAL image, const Picture& ref, const MaskLayout& k,
                         const std::string& what) {
    ASSERT_EQ(HeaderOf(image).biWidth, ref.width) << what;
    ASSERT_EQ(HeaderOf(image).biHeight, ref.height) << what;
    const int kept = k.bits == 16 ? 5 : 8;
    int wrong = 0;
    for (int y = 0; y < ref.height; y++)
        for (int x = 0; x < ref.width; x++) {
            uint32_t ours[3];
            RecordComponents(image, x, y, ours);
            for (int c = 0; c < 3; c++) {
                const int w = FieldWidth(k.masks[size_t(c)]);
                const int both = std::min(w, kept);
                const uint32_t want = (ref.At16(x, y, c) >> (16 - w)) >> (w - both);
                const uint32_t got = ours[c] >> (kept - both);
                // A decoder may round a field wider than 8 bits to 8 first.
                const uint32_t slack = w > 8 ? 1 : 0;
                if ((got > want + slack || got + slack < want) && wrong++ < 3)
                    ADD_FAILURE() << what << ": pixel " << x << "," << y << " component " << c
                                  << " is " << ours[c] << ", the reference's top " << both
                                  << " bits " << want;
            }
        }
    EXPECT_EQ(wrong, 0) << what;
}
} // namespace

// Bit-field masks of no named layout, channels in any order and of any width,
// in files built here with random pixels: ImageMagick reads every one, netpbm
// the 16-bit ones in the longer headers, Pillow the two byte orders it knows;
// the record agrees with each on the bits it keeps. ImageMagick's own
// 4-4-4-4 files also come back as the picture they were made from.
TEST(BitmapInterop, BitFieldMasksOfAnyLayout) {
    REQUIRE_TOOLS();
    ASSERT_TRUE(RunTool("/usr/bin/python3 -c 'import PIL'")) << "Pillow is missing (python3-pil)";
    std::mt19937 rng(1301);
    const MaskLayout layouts[] = {
        {"16-bit 4-4-4", 40, 16, {0x0F00, 0x00F0, 0x000F}, false, false},
        {"16-bit 4-4-4-4", 108, 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, true, false},
        {"16-bit 4-4-4-4 blue first", 124, 16, {0x000F, 0x00F0, 0x0F00, 0xF000}, true, false},
        {"16-bit 2-3-1", 124, 16, {0x0030, 0x000E, 0x0001}, true, false},
        {"16-bit 3-10-3", 108, 16, {0xE000, 0x1FF8, 0x0007}, true, false},
        {"16-bit 5-5-5-1 alpha last", 108, 16, {0xF800, 0x07C0, 0x003E, 0x0001}, true, false},
        {"32-bit red in the low byte", 108, 32, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, false, true},
        {"32-bit red in the top byte", 40, 32, {0xFF000000, 0xFF0000, 0xFF00}, false, true},
        {"32-bit alpha first", 124, 32, {0xFF00, 0xFF0000, 0xFF000000, 0xFF}, false, false},
        {"32-bit 10-10-10-2 red lowest",
         108,
         32,
         {0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
         false,
         false},
        {"32-bit 11-11-10", 40, 32, {0xFFE00000, 0x001FFC00, 0x000003FF}, false, false},
        {"32-bit 10-11-11", 40, 32, {0x7FF, 0x3FF800, 0xFFC00000}, false, false},
        {"32-bit 5-6-5", 40, 32, {0xF800, 0x07E0, 0x001F}, false, false},
    };
    for (const MaskLayout& k : layouts) {
        for (int width : {1, 5, 17}) {
            const int height = 3;
            BmpSpec s;
            s.headerSize = k.headerSize;
            s.width = width;
            s.height = height;
            s.bitCount = k.bits;
            s.compression = 3;
            s.masks = k.masks;
            const uint64_t stride = ((uint64_t(width) * k.bits + 31) / 32) * 4;
            s.pixels.assign(size_t(stride) * height, 0);
            uint32_t opaque = k.masks.size() > 3 ? k.masks[3] : 0;
            for (int y = 0; y < height; y++)
                for (int x = 0; x < width; x++) {
                    const uint32_t v = rng() | opaque;
                    for (int i = 0; i < k.bits / 8; i++)
                        s.pixels[size_t(stride) * size_t(y) + size_t(x * (k.bits / 8) + i)] =
                            BYTE(v >> (8 * i));
                }
            const std::string what = std::string(k.name) + ", width " + std::to_string(width);
            const std::string path = WriteTestFile("masks.bmp", BuildBmp(s));
            RecordMessages messages;
            ASSERT_TRUE(LoadForTest(path)) << what;
            EXPECT_TRUE(messages.messages.empty()) << what;
            std::vector<const char*> decoders = {kMagick};
            if (k.netpbm) decoders.push_back(kNetpbm);
            if (k.pillow) decoders.push_back(kPillow);
            for (const char* decoder : decoders) {
                Picture ref;
                std::string why;
                ASSERT_TRUE(Decode(decoder, path, &ref, &why)) << what << ": " << decoder << why;
                ExpectSameFieldBits(g_picture, ref, k, what + " (" + decoder + ")");
            }
        }
    }

    // ImageMagick's 4-4-4-4 files (124-byte header, alpha in the top bits).
    const int width = 13, height = 4;
    const std::vector<uint32_t> rgb = RandomRgb(rng, width, height, 0);
    const std::string ppm = WriteTestFile("source.ppm", PpmBytes(width, height, rgb));
    const std::string bmp = At("magick4444.bmp");
    std::string log;
    ASSERT_TRUE(RunTool(
        "convert '" + ppm + "' -alpha set -define bmp:subtype=ARGB4444 '" + bmp + "'", &log))
        << log;
    const Bytes file = ReadWholeFile(bmp);
    ASSERT_GE(file.size(), size_t(70));
    ASSERT_EQ(Le32At(file, 14), 124u);
    ASSERT_EQ(Le32At(file, 30), 3u);
    const MaskLayout magick = {"ImageMagick 4-4-4-4",
                               124,
                               16,
                               {Le32At(file, 54), Le32At(file, 58), Le32At(file, 62)},
                               true,
                               false};
    EXPECT_EQ(magick.masks, (std::vector<uint32_t>{0x0F00, 0x00F0, 0x000F}));
    RecordMessages messages;
    ASSERT_TRUE(LoadForTest(bmp));
    EXPECT_TRUE(messages.messages.empty());
    // ImageMagick stores each 8-bit value v as 15 v / 255, rounded down.
    Picture original = FromRgb(width, height, rgb);
    for (uint32_t& v : original.samples) v = ((v >> 8) * 15 / 255) << 12;
    ExpectSameFieldBits(g_picture, original, magick, "ImageMagick 4-4-4-4 (the original)");
    for (const char* decoder : {kMagick, kNetpbm}) {
        Picture ref;
        std::string why;
        ASSERT_TRUE(Decode(decoder, bmp, &ref, &why)) << decoder << why;
        ExpectSameFieldBits(g_picture, ref, magick,
                            std::string("ImageMagick 4-4-4-4 (") + decoder + ")");
    }
}

// OS/2 1.x files whose colour table is shorter than the bit count allows,
// made from ppmtobmp's files by cutting the table to the colours used and
// moving the pixel offset: the record shows what Pillow reads in the short
// file and bmptopnm and ImageMagick in the whole one.
TEST(BitmapInterop, Os2ShortColourTables) {
    REQUIRE_TOOLS();
    ASSERT_TRUE(RunTool("/usr/bin/python3 -c 'import PIL'")) << "Pillow is missing (python3-pil)";
    std::mt19937 rng(1302);
    struct Kind {
        int bpp, colours, width, height;
    } kinds[] = {{8, 23, 7, 5}, {4, 5, 9, 4}, {1, 2, 17, 3}, {8, 200, 33, 9}};
    for (const Kind& k : kinds) {
        const std::string what =
            std::to_string(k.bpp) + " bits, " + std::to_string(k.colours) + " colours";
        const std::vector<uint32_t> rgb = RandomRgb(rng, k.width, k.height, k.colours);
        const std::string ppm = WriteTestFile("short.ppm", PpmBytes(k.width, k.height, rgb));
        const std::string whole = At("whole.bmp");
        std::string log;
        ASSERT_TRUE(RunTool("ppmtobmp -os2 -bpp=" + std::to_string(k.bpp) + " '" + ppm + "' >'" +
                                whole + "'",
                            &log))
            << what << log;
        const Bytes file = ReadWholeFile(whole);
        ASSERT_GE(file.size(), size_t(26)) << what;
        ASSERT_EQ(Le32At(file, 14), 12u) << what;
        const uint32_t offset = Le32At(file, 10);
        ASSERT_EQ(offset, 26u + 3u * (1u << k.bpp)) << what;
        // The colours used come first in ppmtobmp's table; keep those.
        const uint32_t keep = uint32_t(k.colours);
        Bytes cut(file.begin(), file.begin() + 26 + 3 * keep);
        cut.insert(cut.end(), file.begin() + offset, file.end());
        for (int i = 0; i < 4; i++) {
            cut[size_t(2 + i)] = BYTE(cut.size() >> (8 * i));
            cut[size_t(10 + i)] = BYTE((26 + 3 * keep) >> (8 * i));
        }
        const std::string shortPath = WriteTestFile("short.bmp", cut);
        const Picture original = FromRgb(k.width, k.height, rgb);
        LoadAndCompare(shortPath, &original, {kPillow}, kEight, what + ", short table");
        Picture ref;
        for (const char* decoder : {kNetpbm, kMagick}) {
            std::string why;
            ASSERT_TRUE(Decode(decoder, whole, &ref, &why)) << what << ": " << decoder << why;
            ExpectSamePixels(g_picture, ref, kEight, what + " (" + decoder + ", whole table)");
        }
    }
}
