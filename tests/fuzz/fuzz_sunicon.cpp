// libFuzzer target: the Sun icon reader on arbitrary text, called as the
// loader calls it (by name), and the record that comes out checked as the
// loader checks it, with every byte it claims in place.
//
// The seed corpus (corpus/fuzz_sunicon) holds icons from netpbm's
// pbmtosunicon (16 x 16, 64 x 64, a padded width, a longer header) and
// hand-made ones: depth 8, an odd width, a short header, words without
// prefixes, a file that ends early.
#include "core/image.h"
#include "formats/native/sun_icon.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
int Quiet(HWND, const char*, const char*, UINT) {
    return IDOK;
}

std::string Scratch() {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "zendra-fuzz-sunicon-" + std::to_string(getpid()) + ".ico";
}
void RemoveScratch() {
    std::remove(Scratch().c_str());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = Scratch();
    static const int cleanup = std::atexit(RemoveScratch);
    (void)cleanup;
    SetMessageSink(Quiet);
    FILE* f = std::fopen(input.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    char text[500];
    text[0] = 0;
    HGLOBAL image = ReadSunIcon(input.c_str(), nullptr, text, 32);
    if (!image) return 0;
    if (!IsValidImageRecord(image)) std::abort();
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if ((h->biBitCount != 1 && h->biBitCount != 8) || h->biClrUsed != 0) std::abort();
    const BYTE* p = ImagePixels(h);
    const uint64_t n = ImageStride(h->biWidth, h->biBitCount) * uint64_t(h->biHeight);
    volatile unsigned sum = 0;
    // Pages of huge pictures past the words the file held were never written.
    if (n <= (1u << 24))
        for (uint64_t i = 0; i < n; i += 4096) sum = sum + p[i];
    sum = sum + p[n - 1];
    GlobalUnlock(image);
    GlobalFree(image);
    return 0;
}
