// libFuzzer target: the PCX reader on arbitrary bytes, called as the loader
// calls it (the file at offset 0, the 2048-byte read buffer lent), then the
// writer on the picture that comes out and the reader again on what it wrote,
// which must give the same pixels.
#include "core/image.h"
#include "core/loader.h"
#include "formats/native/pcx.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
int Quiet(HWND, const char*, const char*, UINT) {
    return IDOK;
}

std::string Scratch(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "zendra-fuzz-" + std::to_string(getpid()) + "-" + name;
}

void RemoveScratch() {
    std::remove(Scratch("in.pcx").c_str());
    std::remove(Scratch("out.pcx").c_str());
}

HGLOBAL Read(const std::string& path) {
    static BYTE buffer[READ_BUFFER_SIZE];
    static char text[500];
    HFILE file = _lopen(path.c_str(), OF_READ);
    if (file == HFILE_ERROR) return nullptr;
    text[0] = 0;
    ByteReader in;
    OpenByteReader(&in, file, buffer, READ_BUFFER_SIZE);
    HGLOBAL image = ReadPcx(&in, nullptr, text).image;
    _lclose(file);
    return image;
}

// What the loader would accept, with every byte the record claims in place.
// Returns the number of pixels.
uint64_t CheckRecord(HGLOBAL image) {
    if (!IsValidImageRecord(image)) std::abort();
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if (h->biBitCount > 8 && h->biClrUsed != 0) std::abort();
    const BYTE* p = ImagePixels(h);
    uint64_t n = ImageStride(h->biWidth, h->biBitCount) * uint64_t(h->biHeight);
    volatile unsigned sum = 0;
    for (uint64_t i = 0; i < n; i += 4096) sum = sum + p[i];
    sum = sum + p[n - 1];
    uint64_t pixels = uint64_t(h->biWidth) * uint64_t(h->biHeight);
    GlobalUnlock(image);
    return pixels;
}

// A pixel's value: index for palette records, 0xRRGGBB above.
uint32_t Value(const BITMAPINFOHEADER* h, int64_t x, int64_t y) {
    const BYTE* row = const_cast<BYTE*>(ImagePixels(const_cast<BITMAPINFOHEADER*>(h))) +
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
        return (uint32_t(p[2]) << 16) | (p[1] << 8) | p[0];
    }
    }
}

// The written file read back holds the same pixels (16-bit pictures come
// back as 24 bits of their 5-bit components, 32-bit ones without byte 3).
void CheckRoundTrip(HGLOBAL first, HGLOBAL second) {
    BITMAPINFOHEADER* a = static_cast<BITMAPINFOHEADER*>(GlobalLock(first));
    BITMAPINFOHEADER* b = static_cast<BITMAPINFOHEADER*>(GlobalLock(second));
    if (a->biWidth != b->biWidth || a->biHeight != b->biHeight) std::abort();
    if ((a->biBitCount <= 8 ? a->biBitCount : 24) != b->biBitCount) std::abort();
    for (int64_t y = 0; y < a->biHeight; y++)
        for (int64_t x = 0; x < a->biWidth; x++)
            if (Value(a, x, y) != Value(b, x, y)) std::abort();
    GlobalUnlock(second);
    GlobalUnlock(first);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = Scratch("in.pcx");
    static const std::string output = Scratch("out.pcx");
    static const int cleanup = std::atexit(RemoveScratch);
    (void)cleanup;
    SetMessageSink(Quiet);
    // Pictures of many millions of pixels cost the fuzzer seconds each in
    // zero-filled memory and take nothing from the decoders that small ones
    // do not; the unit tests cover the size limit.
    if (size >= 12) {
        int64_t width = int64_t(data[8] | (data[9] << 8)) - (data[4] | (data[5] << 8)) + 1;
        int64_t height = int64_t(data[10] | (data[11] << 8)) - (data[6] | (data[7] << 8)) + 1;
        if (width * height > (1 << 22)) return 0;
    }
    FILE* f = std::fopen(input.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    HGLOBAL image = Read(input);
    if (!image) return 0;
    // Writing and comparing large pictures only costs time; small ones
    // exercise the writer as well.
    if (CheckRecord(image) <= (1u << 16)) {
        if (WritePcx(image, output.c_str()) != 1) {
            // Only lines of 65536 bytes do not fit the header's word.
            BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
            bool representable = h->biWidth < 65536 || h->biBitCount <= 4;
            GlobalUnlock(image);
            if (representable) std::abort();
            GlobalFree(image);
            return 0;
        }
        HGLOBAL again = Read(output);
        if (!again) std::abort();
        CheckRecord(again);
        CheckRoundTrip(image, again);
        GlobalFree(again);
    }
    GlobalFree(image);
    return 0;
}
