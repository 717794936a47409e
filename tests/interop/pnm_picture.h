// Shared by the PCX and Targa interop tests: running netpbm and ImageMagick,
// netpbm files written and read (PBM, PGM, PPM, PAM), and pictures compared
// component by component at a chosen precision.
#pragma once

#include "unit/test_util.h"

#include "core/state.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace pnm {

inline std::string At(const std::string& name) {
    return TestDir() + "/" + name;
}

// Runs a shell command with stderr kept in a log; true on exit status 0.
inline bool RunTool(const std::string& command, std::string* log = nullptr) {
    std::string logPath = At("tool.log");
    int status = std::system((command + " 2>'" + logPath + "'").c_str());
    if (log) {
        Bytes b = ReadWholeFile(logPath);
        log->assign(b.begin(), b.end());
    }
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

inline bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// A picture of 0xRRGGBB values, top row first, and an alpha value per pixel.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> rgb;
    std::vector<uint32_t> alpha;
    uint32_t at(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }
};

// Reads P4, P5, P6 and P7 files; samples are scaled to 8 bits, PBM 1 is black.
inline bool ParsePnm(const Bytes& data, Picture* out, std::string* error) {
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
    if (data.size() < 2 || data[0] != 'P' || data[1] < '4' || data[1] > '7') {
        *error = "not a binary netpbm file";
        return false;
    }
    const int kind = data[1] - '0';
    at = 2;
    uint32_t w = 0, h = 0, maxval = 1, depth = kind == 6 ? 3 : 1;
    if (kind == 7) {
        std::string line;
        while (at < data.size()) {
            size_t end = at;
            while (end < data.size() && data[end] != '\n') end++;
            line.assign(data.begin() + long(at), data.begin() + long(end));
            at = end + 1;
            if (line == "ENDHDR") break;
            if (line.rfind("WIDTH ", 0) == 0) w = uint32_t(std::stoul(line.substr(6)));
            if (line.rfind("HEIGHT ", 0) == 0) h = uint32_t(std::stoul(line.substr(7)));
            if (line.rfind("DEPTH ", 0) == 0) depth = uint32_t(std::stoul(line.substr(6)));
            if (line.rfind("MAXVAL ", 0) == 0) maxval = uint32_t(std::stoul(line.substr(7)));
        }
    } else {
        if (!number(&w) || !number(&h) || (kind != 4 && !number(&maxval))) {
            *error = "bad header";
            return false;
        }
        at++;
    }
    if (maxval == 0 || maxval > 65535 || depth == 0 || depth > 4) {
        *error = "bad header values";
        return false;
    }
    out->width = int(w);
    out->height = int(h);
    out->rgb.assign(size_t(w) * h, 0);
    out->alpha.assign(size_t(w) * h, 255);
    auto scale = [&](uint32_t v) { return uint32_t((uint64_t(v) * 255 + maxval / 2) / maxval); };
    const size_t sampleBytes = maxval > 255 ? 2 : 1;
    for (uint32_t y = 0; y < h; y++) {
        for (uint32_t x = 0; x < w; x++) {
            uint32_t v[4] = {0, 0, 0, 255};
            if (kind == 4) {
                size_t byte = at + y * ((w + 7) / 8) + x / 8;
                if (byte >= data.size()) return *error = "data cut short", false;
                v[0] = ((data[byte] >> (7 - x % 8)) & 1) ? 0 : 255;
            } else {
                for (uint32_t c = 0; c < depth; c++) {
                    if (at + sampleBytes > data.size()) return *error = "data cut short", false;
                    uint32_t s =
                        sampleBytes == 2 ? uint32_t(data[at] << 8 | data[at + 1]) : data[at];
                    at += sampleBytes;
                    v[c] = scale(s);
                }
            }
            bool grey = depth < 3;
            uint32_t r = v[0], g = grey ? v[0] : v[1], b = grey ? v[0] : v[2];
            out->rgb[size_t(y) * w + x] = (r << 16) | (g << 8) | b;
            if (depth == 4) out->alpha[size_t(y) * w + x] = v[3];
            if (depth == 2) out->alpha[size_t(y) * w + x] = v[1];
        }
    }
    return true;
}

inline Bytes PpmBytes(const Picture& p) {
    std::string head =
        "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n";
    Bytes b(head.begin(), head.end());
    for (uint32_t v : p.rgb) {
        b.push_back(BYTE(v >> 16));
        b.push_back(BYTE(v >> 8));
        b.push_back(BYTE(v));
    }
    return b;
}

// Grey pictures as PGM (the red component), black and white ones as PBM.
inline Bytes PgmBytes(const Picture& p, bool pbm) {
    std::string head = std::string(pbm ? "P4\n" : "P5\n") + std::to_string(p.width) + " " +
                       std::to_string(p.height) + (pbm ? "\n" : "\n255\n");
    Bytes b(head.begin(), head.end());
    for (int y = 0; y < p.height; y++) {
        BYTE bits = 0;
        for (int x = 0; x < p.width; x++) {
            uint32_t g = (p.at(x, y) >> 16) & 0xFF;
            if (!pbm) {
                b.push_back(BYTE(g));
                continue;
            }
            if (g == 0) bits |= BYTE(0x80 >> (x % 8));
            if (x % 8 == 7 || x == p.width - 1) {
                b.push_back(bits);
                bits = 0;
            }
        }
    }
    return b;
}

// An RGB_ALPHA PAM file.
inline Bytes PamBytes(const Picture& p) {
    std::string head = "P7\nWIDTH " + std::to_string(p.width) + "\nHEIGHT " +
                       std::to_string(p.height) +
                       "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    Bytes b(head.begin(), head.end());
    for (size_t i = 0; i < p.rgb.size(); i++) {
        b.push_back(BYTE(p.rgb[i] >> 16));
        b.push_back(BYTE(p.rgb[i] >> 8));
        b.push_back(BYTE(p.rgb[i]));
        b.push_back(BYTE(p.alpha[i]));
    }
    return b;
}

// Decodes a file with a tool command; "{}" in the command stands for the file.
inline bool Decode(const std::string& command, const std::string& path, Picture* out,
                   std::string* why) {
    std::string decoded = At("decoded.pnm");
    std::string cmd = command;
    cmd.replace(cmd.find("{}"), 2, "'" + path + "'");
    std::remove(decoded.c_str());
    if (!RunTool(cmd + " >'" + decoded + "'", why)) return false;
    return ParsePnm(ReadWholeFile(decoded), out, why);
}

// The record's pixels as colours (16-bit components widened as the tools widen them).
inline Picture FromRecord(HGLOBAL image) {
    Picture p;
    BITMAPINFOHEADER h = HeaderOf(image);
    p.width = h.biWidth;
    p.height = h.biHeight;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++) p.rgb.push_back(PixelAt(image, x, y));
    p.alpha.assign(p.rgb.size(), 255);
    return p;
}

inline Picture FlippedRows(const Picture& p) {
    Picture f = p;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++)
            f.rgb[size_t(y) * size_t(p.width) + size_t(x)] = p.at(x, p.height - 1 - y);
    return f;
}

// Components compared at `bits` bits (their top bits); returns the number of
// differing components and reports the first few.
inline int CountDifferences(const Picture& got, const Picture& want, int bits,
                            const std::string& what, bool report = true) {
    if (got.width != want.width || got.height != want.height) {
        if (report)
            ADD_FAILURE() << what << ": " << got.width << "x" << got.height << ", expected "
                          << want.width << "x" << want.height;
        return -1;
    }
    int wrong = 0;
    for (int y = 0; y < got.height; y++) {
        for (int x = 0; x < got.width; x++) {
            for (int c = 0; c < 3; c++) {
                uint32_t a = ((got.at(x, y) >> (16 - 8 * c)) & 0xFF) >> (8 - bits);
                uint32_t b = ((want.at(x, y) >> (16 - 8 * c)) & 0xFF) >> (8 - bits);
                if (a != b && wrong++ < 3 && report)
                    ADD_FAILURE() << what << ": pixel " << x << "," << y << " component " << c
                                  << " is " << a << ", expected " << b;
            }
        }
    }
    return wrong;
}

inline void ExpectSame(const Picture& got, const Picture& want, int bits, const std::string& what) {
    EXPECT_EQ(CountDifferences(got, want, bits, what), 0) << what;
}

// Random pictures: `colours` random colours (0: every pixel its own colour),
// with runs (each pixel repeats the one before half the time).
inline Picture RandomPicture(std::mt19937& rng, int width, int height, int colours,
                             bool grey = false) {
    std::vector<uint32_t> palette;
    for (int i = 0; i < colours; i++) {
        uint32_t v = rng() & 0xFFFFFF;
        if (grey) v = (v & 0xFF) * 0x010101;
        palette.push_back(v);
    }
    if (colours == 2 && grey) palette = {0x000000, 0xFFFFFF};
    // Every colour appears, so the tools see the count asked for.
    Picture p;
    p.width = width;
    p.height = height;
    uint32_t last = 0;
    for (int i = 0; i < width * height; i++) {
        if (i < colours) {
            last = palette[size_t(i)];
        } else if (i == 0 || rng() % 2) {
            uint32_t v = rng() & 0xFFFFFF;
            if (grey) v = (v & 0xFF) * 0x010101;
            last = colours ? palette[rng() % uint32_t(colours)] : v;
        }
        p.rgb.push_back(last);
        p.alpha.push_back(rng() & 0xFF);
    }
    return p;
}

// Loads the file through the loader and compares what we read with the
// picture it was made from (when given) and with each decoder's reading of
// the file ("{}" in a decoder command stands for the file).
inline void ExpectReadAsDecoders(const std::string& path, const Picture* original,
                                 const std::vector<const char*>& decoders,
                                 const std::string& what) {
    RecordMessages messages;
    ASSERT_TRUE(LoadForTest(path)) << what;
    EXPECT_TRUE(messages.messages.empty()) << what << ": " << messages.messages[0].text;
    const Picture ours = FromRecord(g_picture);
    if (original) ExpectSame(ours, *original, 8, what + " (the original)");
    for (const char* decoder : decoders) {
        Picture theirs;
        std::string why;
        ASSERT_TRUE(Decode(decoder, path, &theirs, &why)) << what << ": " << decoder << ": " << why;
        ExpectSame(ours, theirs, 8, what + " (" + decoder + ")");
    }
}

} // namespace pnm
