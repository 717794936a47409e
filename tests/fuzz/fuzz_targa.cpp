// libFuzzer target: the Targa reader on arbitrary bytes, called as the loader
// calls it (the file at offset 0, the 2048-byte read buffer lent), then the
// writer, uncompressed and in packets, on the picture that comes out, and the
// reader again on what it wrote, which must give the same colours.
#include "core/image.h"
#include "core/loader.h"
#include "formats/native/tga.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    std::remove(Scratch("in.tga").c_str());
    std::remove(Scratch("out.tga").c_str());
}

HGLOBAL Read(const std::string& path) {
    static BYTE buffer[READ_BUFFER_SIZE];
    static char text[500];
    HFILE file = _lopen(path.c_str(), OF_READ);
    if (file == HFILE_ERROR) return nullptr;
    text[0] = 0;
    ByteReader in;
    OpenByteReader(&in, file, buffer, READ_BUFFER_SIZE);
    HGLOBAL image = ReadTarga(&in, nullptr, text).image;
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

// Palette pictures come back with the same colours (grey pictures as grey
// levels), the others with the same bytes.
void CheckRoundTrip(HGLOBAL first, HGLOBAL second) {
    BITMAPINFOHEADER* a = static_cast<BITMAPINFOHEADER*>(GlobalLock(first));
    BITMAPINFOHEADER* b = static_cast<BITMAPINFOHEADER*>(GlobalLock(second));
    if (a->biWidth != b->biWidth || a->biHeight != b->biHeight) std::abort();
    if (a->biBitCount != b->biBitCount) std::abort();
    const uint64_t stride = ImageStride(a->biWidth, a->biBitCount);
    const BYTE* p = ImagePixels(a);
    const BYTE* q = ImagePixels(b);
    for (int64_t y = 0; y < a->biHeight; y++) {
        const BYTE* r = p + uint64_t(y) * stride;
        const BYTE* s = q + uint64_t(y) * stride;
        if (a->biBitCount > 8) {
            if (std::memcmp(r, s, size_t(uint64_t(a->biWidth) * a->biBitCount / 8)) != 0)
                std::abort();
            continue;
        }
        for (int64_t x = 0; x < a->biWidth; x++) {
            RGBQUAD c = ImageColorAt(a, r[x]), d = ImageColorAt(b, s[x]);
            if (c.rgbRed != d.rgbRed || c.rgbGreen != d.rgbGreen || c.rgbBlue != d.rgbBlue)
                std::abort();
        }
    }
    GlobalUnlock(second);
    GlobalUnlock(first);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = Scratch("in.tga");
    static const std::string output = Scratch("out.tga");
    static const int cleanup = std::atexit(RemoveScratch);
    (void)cleanup;
    SetMessageSink(Quiet);
    // Pictures of many millions of pixels cost the fuzzer seconds each in
    // zero-filled memory and take nothing from the decoders that small ones
    // do not; the unit tests cover the size limit.
    if (size >= 16 &&
        int64_t(data[12] | (data[13] << 8)) * (data[14] | (data[15] << 8)) > (1 << 22))
        return 0;
    FILE* f = std::fopen(input.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    HGLOBAL image = Read(input);
    if (!image) return 0;
    // Writing and comparing large pictures only costs time; small ones
    // exercise the writer as well.
    if (CheckRecord(image) <= (1u << 16)) {
        for (int runLength : {0, 1}) {
            if (WriteTarga(image, output.c_str(), runLength) != 1) std::abort();
            HGLOBAL again = Read(output);
            if (!again) std::abort();
            CheckRecord(again);
            CheckRoundTrip(image, again);
            GlobalFree(again);
        }
    }
    GlobalFree(image);
    return 0;
}
