// libFuzzer target: the GIF reader on arbitrary bytes, called as the loader
// calls it (the file at offset 0, the frame counter and the delay reset), and
// the record that comes out checked as the loader checks it, with every byte
// it claims in place.
//
// The seed corpus (corpus/fuzz_gif) holds small files from netpbm's pamtogif
// (plain, interlaced, sorted, uncompressed-style and full-table-kept codes)
// and ImageMagick (87a, 89a, an animation, a transparent colour), and
// hand-made ones: a local colour table, a MacBinary header, 87a without the
// global flag, no leading clear code, one-byte sub-blocks, code size 9.
#include "core/image.h"
#include "core/state.h"
#include "formats/native/gif.h"

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
    return std::string(folder) + "zendra-fuzz-gif-" + std::to_string(getpid()) + ".gif";
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

    HFILE file = _lopen(input.c_str(), OF_READ);
    if (file == HFILE_ERROR) return 0;
    char text[INFO_TEXT_SIZE];
    text[0] = 0;
    g_gif = GifFrameInfo{};
    g_frameDelay = 25;
    HGLOBAL image = ReadGif(file, nullptr, text);
    _lclose(file);
    if (!image) return 0;
    if (!IsValidImageRecord(image) || g_gif.frameCount != 1) std::abort();
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if (h->biBitCount != 8 || h->biClrUsed < 2 || h->biClrUsed > 256) std::abort();
    const BYTE* p = ImagePixels(h);
    const uint64_t n = ImageStride(h->biWidth, 8) * uint64_t(h->biHeight);
    volatile unsigned sum = 0;
    // Touching every page of a frame of a gigabyte only costs time: the
    // decoder has been through the rows it reached.
    if (n <= (1u << 24))
        for (uint64_t i = 0; i < n; i += 4096) sum = sum + p[i];
    sum = sum + p[n - 1];
    GlobalUnlock(image);
    GlobalFree(image);
    return 0;
}
