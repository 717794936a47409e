// Shared by the fuzz targets: the lowered picture limit, message boxes
// answered at once, the input in a scratch file of this process, the record
// checked as the loader checks it, and the writers of the format table run
// on it.
#pragma once

#include "core/format_table.h"
#include "core/image.h"
#include "core/loader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

// The block limit of the fuzz builds (bytes); the build sets it.
#ifndef ZENDRA_FUZZ_PICTURE_LIMIT
#define ZENDRA_FUZZ_PICTURE_LIMIT (16u << 20)
#endif

// The harness's own loops over pixels are not what the fuzzer should steer
// by, and tracing each of their comparisons costs more than the reader's work.
#if defined(__clang__)
#define FUZZ_UNTRACED __attribute__((no_sanitize("coverage")))
#else
#define FUZZ_UNTRACED
#endif

namespace fuzz {

inline int Quiet(HWND, const char*, const char*, UINT) {
    return IDOK;
}

// The scratch file's path ("zendra-fuzz-NAME-PID.EXT"), in memory where the
// system has a folder for it: a file rewritten on disk for every input is
// flushed on every close (ext4 does so for truncated files), which holds
// the fuzzer at a few hundred inputs a second.
inline std::string ScratchPath(const char* name, const char* extension) {
    std::string folder = "/dev/shm/";
    if (access("/dev/shm", W_OK) != 0) {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = temp;
    }
    return folder + "zendra-fuzz-" + name + "-" + std::to_string(getpid()) + extension;
}

// The input and output scratch files of a target, removed when it exits.
struct ScratchFiles {
    std::string input, output;
};

inline ScratchFiles g_scratch;

inline void RemoveScratch() {
    std::remove(g_scratch.input.c_str());
    std::remove(g_scratch.output.c_str());
}

inline const ScratchFiles& Scratch(const char* name, const char* extension) {
    if (g_scratch.input.empty()) {
        g_scratch.input = ScratchPath(name, extension);
        g_scratch.output = ScratchPath((std::string(name) + "-out").c_str(), extension);
        std::atexit(RemoveScratch);
    }
    return g_scratch;
}

inline bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fwrite(data, 1, size, f);
    return std::fclose(f) == 0;
}

// A reader that takes the loader's byte reader, called as the loader calls it
// (the file at offset 0, the 2048-byte read buffer lent).
inline HGLOBAL ReadBuffered(BufferedReader reader, const std::string& path) {
    static BYTE buffer[READ_BUFFER_SIZE];
    static char text[500];
    HFILE file = _lopen(path.c_str(), OF_READ);
    if (file == HFILE_ERROR) return nullptr;
    text[0] = 0;
    ByteReader in;
    OpenByteReader(&in, file, buffer, READ_BUFFER_SIZE);
    HGLOBAL image = reader(&in, nullptr, text).image;
    _lclose(file);
    if (std::memchr(text, 0, sizeof text) == nullptr) std::abort();
    return image;
}

// A reader that takes the file's name, called as the loader calls it (a
// 500-byte File information text that must end inside its buffer).
inline HGLOBAL ReadNamed(NameReader reader, const std::string& path) {
    static char text[500];
    text[0] = 0;
    HGLOBAL image = reader(path.c_str(), nullptr, text, 32).image;
    if (std::memchr(text, 0, sizeof text) == nullptr) std::abort();
    return image;
}

// What the loader would accept, with every byte the record claims in place:
// the block is one allocation, so its first and last pixel bytes show the
// sanitizer whether it is as long as the header says (touching every page
// between only costs the fuzzer page faults). Ends the run otherwise;
// returns the number of pixels.
inline uint64_t CheckRecord(HGLOBAL image) {
    if (!IsValidImageRecord(image)) std::abort();
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const BYTE* p = ImagePixels(h);
    const uint64_t n = ImageStride(h->biWidth, h->biBitCount) * uint64_t(h->biHeight);
    volatile unsigned sum = p[0];
    sum = sum + p[n - 1];
    const uint64_t pixels = uint64_t(h->biWidth) * uint64_t(h->biHeight);
    GlobalUnlock(image);
    return pixels;
}

// Pictures up to this many pixels go through the writers (the target's own
// round trip and one of the table); larger ones only cost time there.
const uint64_t kWriterPixels = 1u << 12;

// Pixel (x, y) of a record: the index for 1, 4 and 8 bits, 0xRRGGBB above (a
// 16-bit pixel as its 5-bit components, the fourth byte of 32 bits left out).
FUZZ_UNTRACED inline uint32_t PixelValue(const BITMAPINFOHEADER* h, int64_t x, int64_t y) {
    const BYTE* row = ImagePixels(const_cast<BITMAPINFOHEADER*>(h)) +
                      ImageStride(h->biWidth, h->biBitCount) * uint64_t(y);
    switch (h->biBitCount) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
        return (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    case 8:
        return row[x];
    case 16: {
        unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
        return (((v >> 10) & 31) << 19) | (((v >> 5) & 31) << 11) | ((v & 31) << 3);
    }
    default: {
        const BYTE* p = row + x * (h->biBitCount / 8);
        return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    }
    }
}

// The colours of a record's table as 0xRRGGBB, all 256 entries (those past
// the table black, as the program shows them), looked up once a picture.
FUZZ_UNTRACED inline void ColourTable(const BITMAPINFOHEADER* h, uint32_t colours[256]) {
    for (unsigned i = 0; i < 256; i++) {
        const RGBQUAD c = ImageColorAt(h, i);
        colours[i] = uint32_t(c.rgbBlue) | uint32_t(c.rgbGreen) << 8 | uint32_t(c.rgbRed) << 16;
    }
}

// Pixel (x, y) as 0xRRGGBB, through the table's colours up to 8 bits.
FUZZ_UNTRACED inline uint32_t PixelColour(const BITMAPINFOHEADER* h, const uint32_t colours[256],
                                          int64_t x, int64_t y) {
    const uint32_t v = PixelValue(h, x, y);
    return h->biBitCount > 8 ? v : colours[v];
}

// Whether every entry of the colour table is a grey.
FUZZ_UNTRACED inline bool GrayTable(const BITMAPINFOHEADER* h) {
    for (int i = 0; i < ImageColorCount(h); i++) {
        const RGBQUAD c = ImageColorAt(h, unsigned(i));
        if (c.rgbRed != c.rgbGreen || c.rgbRed != c.rgbBlue) return false;
    }
    return true;
}

FUZZ_UNTRACED inline uint64_t Hash(const uint8_t* data, size_t size) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < size; i++) h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

FUZZ_UNTRACED inline uint64_t BlockHash(HGLOBAL image) {
    const uint8_t* p = static_cast<const uint8_t*>(GlobalLock(image));
    const uint64_t h = Hash(p, GlobalSize(image));
    GlobalUnlock(image);
    return h;
}

// One writer entry of the format table, chosen by the input's bytes (so that
// a run is repeatable and every writer gets its share of the inputs at the
// cost of one write each), on the record, with the entry's options: it may
// refuse it, but not fail otherwise, change it or leave it invalid.
inline void RunWriters(HGLOBAL image, const std::string& path, const uint8_t* data, size_t size) {
    if (CheckRecord(image) > kWriterPixels) return;
    const WriterEntry* entries[64];
    size_t count = 0;
    for (int r = 0; r < FORMAT_ROW_COUNT; r++) {
        const FormatWriting& w = g_formats[r].writing;
        for (int e = 0; e < w.count && count < 64; e++)
            if (w.entries[e].write) entries[count++] = &w.entries[e];
    }
    if (count == 0) return;
    const WriterEntry& entry = *entries[Hash(data, size) % count];
    const uint64_t before = BlockHash(image);
    const WriteResult result = entry.write(image, path.c_str(), entry.option1, entry.option2);
    if (result != WRITE_OK && result != WRITE_FAILED) std::abort();
    if (!IsValidImageRecord(image) || BlockHash(image) != before) std::abort();
}

// For the readers that take an open file: message boxes answered at once,
// the input written to this target's scratch file (removed at exit) and
// opened; HFILE_ERROR when that fails. One target per process, one name.
inline HFILE OpenInput(const char* name, const char* extension, const uint8_t* data, size_t size) {
    static const std::string path = ScratchPath(name, extension);
    static const int cleanup = std::atexit([] { std::remove(path.c_str()); });
    (void)cleanup;
    SetMessageSink(Quiet);
    if (!WriteInput(path, data, size)) return HFILE_ERROR;
    return _lopen(path.c_str(), OF_READ);
}

} // namespace fuzz

// The sanitizer's quarantine of freed blocks, 256 MB by default, is
// recycled by unmapping and poisoning: with a picture allocated and freed for
// every input that costs the fuzzer a third of its time. 32 MB still holds
// every block an input frees (the pictures are below the lowered limit), so
// a use after free is still caught. ASAN_OPTIONS overrides this.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
extern "C" const char* __asan_default_options() {
    return "quarantine_size_mb=32";
}
#endif
#endif

// Before the first input: hostile sizes are refused at the lowered limit
// instead of costing the fuzzer a gigabyte each, and pixel counts at a
// sixteenth of it, a million pixels. A 1-bit picture within the byte limit
// could have 128 million, and conversions and orientations cost per pixel: a
// 338-byte TIFF of 97 million pixels took 13 seconds, and the few inputs of 4
// million pixels a run meets took half the time of some targets.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    LowerPictureByteLimit(ZENDRA_FUZZ_PICTURE_LIMIT);
    LowerPicturePixelLimit(ZENDRA_FUZZ_PICTURE_LIMIT / 16);
    SetMessageSink(fuzz::Quiet);
    return 0;
}
