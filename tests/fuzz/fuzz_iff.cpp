// libFuzzer target: the IFF reader on arbitrary bytes, then the writer in its
// four forms on whatever picture comes out, and the reader again on what was
// written.
//
// The seed corpus (corpus/fuzz_iff) holds small files from netpbm's ppmtoilbm
// (1, 2, 5 and 8 planes, HAM6, HAM8, 24 planes, with and without ByteRun1 and
// mask planes) and hand-made ones: extra-halfbrite, PBM with 8 and 24 planes.
#include "core/image.h"
#include "formats/native/iff.h"

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
    return std::string(folder) + "zendra-fuzz-iff-" + std::to_string(getpid()) + "-" + name;
}
void RemoveScratch() {
    std::remove(Scratch("in.iff").c_str());
    std::remove(Scratch("out.iff").c_str());
}

HGLOBAL Read(const std::string& path) {
    HFILE file = _lopen(path.c_str(), OF_READ);
    if (file == HFILE_ERROR) return nullptr;
    char text[500] = {0};
    HGLOBAL image = ReadIffPicture(file, nullptr, text).image;
    _lclose(file);
    // Whatever the reader returns, every consumer must be able to rely on.
    if (image && !IsValidImageRecord(image)) std::abort();
    return image;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = Scratch("in.iff");
    static const std::string output = Scratch("out.iff");
    static const int cleanup = std::atexit(RemoveScratch);
    (void)cleanup;
    SetMessageSink(Quiet);
    FILE* f = std::fopen(input.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    HGLOBAL image = Read(input);
    if (!image) return 0;
    // Every byte the record claims must be there: touch them all.
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const BYTE* p = ImagePixels(h);
    uint64_t n = ImageStride(h->biWidth, h->biBitCount) * uint64_t(h->biHeight);
    volatile unsigned sum = 0;
    for (uint64_t i = 0; i < n; i += 4096) sum = sum + p[i];
    if (n) sum = sum + p[n - 1];
    GlobalUnlock(image);
    // Repacking and writing huge pictures only costs time; small ones exercise them.
    if (n <= (1u << 18)) {
        PackImageDepth(&image);
        for (int form = 0; form < 4; form++) {
            if (WriteIffPicture(image, output.c_str(), form & 1, form >> 1) != 1) std::abort();
            HGLOBAL again = Read(output);
            if (!again) std::abort();
            GlobalFree(again);
        }
    }
    GlobalFree(image);
    return 0;
}
