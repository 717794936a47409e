#include "cli/options.h"

#include "tools/writers.h"

#include <cctype>
#include <cstring>

namespace {
const OutputFormat kFormats[] = {
    {"bmp", FMT_BMP, 0, 0},
    {"bmp-rle", FMT_BMP_RLE, 0, 0},
    {"bmp-555", FMT_BMP_BITFIELDS, 0, 0},
    {"bmp-565", FMT_BMP_BITFIELDS, 1, 0},
    {"bmp-888", FMT_BMP_BITFIELDS, 0, 0},
    {"bmp-101010", FMT_BMP_BITFIELDS, 1, 0},
    {"iff", FMT_IFF, 0, 0},
    {"iff-packed", FMT_IFF, 1, 0},
    {"iff-ham", FMT_IFF, 0, 1},
    {"iff-ham-packed", FMT_IFF, 1, 1},
    {"jpg", FMT_JPEG, 0, 0},
    {"jpg-progressive", FMT_JPEG, 1, 0},
    {"pcx", FMT_PCX, 0, 0},
    {"png", FMT_PNG, 0, 0},
    {"png-adam7", FMT_PNG, 1, 0},
    {"tga", FMT_TGA, 0, 0},
    {"tga-rle", FMT_TGA, 1, 0},
    {"tif-none", FMT_TIFF, 1, 0},
    {"tif-huffman", FMT_TIFF, 2, 0},
    {"tif-g3", FMT_TIFF, 3, 0},
    {"tif-g4", FMT_TIFF, 4, 0},
    {"tif-lzw", FMT_TIFF, 5, 0},
    {"tif-jpeg", FMT_TIFF, 7, 0},
    {"tif-packbits", FMT_TIFF, 32773, 0},
    {"tif-deflate", FMT_TIFF, 32946, 0},
    {"tif-none-tiles", FMT_TIFF, 1, 1},
    {"tif-huffman-tiles", FMT_TIFF, 2, 1},
    {"tif-g3-tiles", FMT_TIFF, 3, 1},
    {"tif-g4-tiles", FMT_TIFF, 4, 1},
    {"tif-lzw-tiles", FMT_TIFF, 5, 1},
    {"tif-jpeg-tiles", FMT_TIFF, 7, 1},
    {"tif-packbits-tiles", FMT_TIFF, 32773, 1},
    {"tif-deflate-tiles", FMT_TIFF, 32946, 1},
};

struct Extension {
    const char* ext;
    const char* format;
};
const Extension kExtensions[] = {
    {"bmp", "bmp"},  {"iff", "iff"},      {"lbm", "iff"},       {"jpg", "jpg"},
    {"jpeg", "jpg"}, {"jpe", "jpg"},      {"pcx", "pcx"},       {"png", "png"},
    {"tga", "tga"},  {"tif", "tif-none"}, {"tiff", "tif-none"},
};

bool SameText(const char* a, const char* b) {
    for (; *a && *b; a++, b++)
        if (std::tolower((unsigned char)*a) != std::tolower((unsigned char)*b)) return false;
    return *a == *b;
}
} // namespace

const OutputFormat* FindOutputFormat(const char* name) {
    for (const OutputFormat& f : kFormats)
        if (std::strcmp(f.name, name) == 0) return &f;
    return nullptr;
}

const OutputFormat* FormatFromExtension(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const char* backslash = std::strrchr(path, '\\');
    const char* base = slash > backslash ? slash : backslash;
    base = base ? base + 1 : path;
    const char* dot = std::strrchr(base, '.');
    if (!dot) return nullptr;
    for (const Extension& e : kExtensions)
        if (SameText(dot + 1, e.ext)) return FindOutputFormat(e.format);
    return nullptr;
}

const OutputFormat* OutputFormats(int* count) {
    *count = int(sizeof kFormats / sizeof kFormats[0]);
    return kFormats;
}
