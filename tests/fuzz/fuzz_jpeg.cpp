// libFuzzer target: the JPEG reader on arbitrary bytes, called as the loader
// calls it (by file name), then the writer, standard and progressive, on the
// picture that comes out and the reader again on what it wrote, which must
// give a picture of the same size and kind.
//
// The seed corpus (corpus/fuzz_jpeg, made by make_corpus_jpeg_png.sh) holds
// small files from cjpeg and ImageMagick: gray, colour, progressive,
// arithmetic, restart markers, C/M/Y/K.
#include "fuzz_util.h"

#include "formats/library/jpeg_format.h"

#include <cstring>

namespace {
void RemoveScratch() {
    std::remove(fuzz::ScratchPath("jpeg", ".jpg").c_str());
    std::remove(fuzz::ScratchPath("jpeg-out", ".jpg").c_str());
}

// Width times height of the first frame header, or 0 when there is none.
uint64_t FramePixels(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 9 <= size; i++) {
        if (data[i] != 0xFF || data[i + 1] < 0xC0 || data[i + 1] > 0xCF) continue;
        if (data[i + 1] == 0xC4 || data[i + 1] == 0xC8 || data[i + 1] == 0xCC) continue;
        uint64_t height = uint64_t(data[i + 5]) << 8 | data[i + 6];
        uint64_t width = uint64_t(data[i + 7]) << 8 | data[i + 8];
        return width * height;
    }
    return 0;
}

// The record as the loader checks it; JPEG records are 8-bit gray or 24-bit.
void CheckRecord(HGLOBAL image) {
    fuzz::CheckRecord(image);
    const int bits = static_cast<BITMAPINFOHEADER*>(GlobalLock(image))->biBitCount;
    GlobalUnlock(image);
    if (bits != 8 && bits != 24) std::abort();
}

HGLOBAL Read(const std::string& path) {
    static char text[500];
    text[0] = 0;
    HGLOBAL image = ReadJpeg(path.c_str(), nullptr, text, 32).image;
    // The text always ends inside its buffer.
    if (std::memchr(text, 0, sizeof text) == nullptr) std::abort();
    return image;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = fuzz::ScratchPath("jpeg", ".jpg");
    static const std::string output = fuzz::ScratchPath("jpeg-out", ".jpg");
    static const int cleanup = std::atexit(RemoveScratch);
    (void)cleanup;
    // The library's messages gather in a buffer instead of a write each.
    static const int buffered = setvbuf(stderr, nullptr, _IOFBF, 1 << 16);
    (void)buffered;
    SetMessageSink(fuzz::Quiet);
    // Pictures of many millions of pixels cost the fuzzer seconds each and
    // take nothing from the decoder that small ones do not.
    if (FramePixels(data, size) > (1u << 22)) return 0;
    if (!fuzz::WriteInput(input, data, size)) return 0;

    HGLOBAL image = Read(input);
    if (!image) return 0;
    CheckRecord(image);
    BITMAPINFOHEADER first = *static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    GlobalUnlock(image);
    if (uint64_t(first.biWidth) * uint64_t(first.biHeight) <= (1u << 16)) {
        for (int progressive = 0; progressive < 2; progressive++) {
            if (WriteJpeg(output.c_str(), 85, image, progressive) != 1) std::abort();
            HGLOBAL again = Read(output);
            if (!again) std::abort();
            CheckRecord(again);
            BITMAPINFOHEADER h = *static_cast<BITMAPINFOHEADER*>(GlobalLock(again));
            GlobalUnlock(again);
            // Gray pictures stay gray, colour ones colour.
            if (h.biWidth != first.biWidth || h.biHeight != first.biHeight ||
                h.biBitCount != first.biBitCount)
                std::abort();
            GlobalFree(again);
        }
    }
    GlobalFree(image);
    return 0;
}
