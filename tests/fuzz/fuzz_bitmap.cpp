// libFuzzer target: the loader and the bitmap readers on arbitrary bytes,
// then the bitmap writers on whatever picture comes out.
#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "formats/native/bmp.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
int Quiet(HWND, const char*, const char*, UINT) {
    return IDOK;
}

void RemoveScratch();

std::string Scratch(const char* name) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "zendra-fuzz-" + std::to_string(getpid()) + "-" + name;
}
void RemoveScratch() {
    std::remove(Scratch("in.bmp").c_str());
    std::remove(Scratch("out.bmp").c_str());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = Scratch("in.bmp");
    static const std::string output = Scratch("out.bmp");
    static const int cleanup = std::atexit(RemoveScratch);
    (void)cleanup;
    SetMessageSink(Quiet);
    FILE* f = std::fopen(input.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    InitImageState();
    if (LoadPictureFile(input.c_str(), nullptr, 32)) {
        // Every byte the record claims must be there: touch them all.
        BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(g_picture));
        const BYTE* p = ImagePixels(h);
        uint64_t n = ImageStride(h->biWidth, h->biBitCount) * uint64_t(h->biHeight);
        volatile unsigned sum = 0;
        for (uint64_t i = 0; i < n; i += (1u << 20)) sum = sum + p[i];
        if (n) sum = sum + p[n - 1];
        GlobalUnlock(g_picture);
        // Writing huge pictures only costs time; small ones exercise the writer.
        HANDLE out = n > (1u << 20) ? INVALID_HANDLE_VALUE
                                    : CreateFileA(output.c_str(), GENERIC_WRITE, 0, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            WriteBitmapUncompressed(g_picture, out);
            CloseHandle(out);
            // The run-length and bit-field forms take what they accept.
            WriteBitmapRunLength(g_picture, output.c_str());
            WriteBitmapBitfields(g_picture, output.c_str(), 0);
            WriteBitmapBitfields(g_picture, output.c_str(), 1);
        }
    }
    ReleaseCurrentPicture();
    return 0;
}
