// libFuzzer target: the PNG reader on arbitrary bytes, called as the loader
// calls it (by file name), then the writer, plain and Adam7, on the picture
// that comes out and the reader again on what it wrote, which must give the
// same pixels (a 4-bit gray table is written as its top bits and pixels
// past the colour table as their low bits, so those are not compared), then
// another writer of the table.
//
// The seed corpus (corpus/fuzz_png, made by make_corpus_jpeg_png.sh) holds
// small files of every colour type and depth from netpbm and ImageMagick,
// interlaced and not, with gAMA, sRGB, bKGD and tRNS chunks.
#include "fuzz_util.h"

#include "formats/library/png_format.h"

namespace {
// The record as the loader checks it; PNG records are never 16- or 32-bit.
void CheckRecord(HGLOBAL image) {
    fuzz::CheckRecord(image);
    const int bits = static_cast<BITMAPINFOHEADER*>(GlobalLock(image))->biBitCount;
    GlobalUnlock(image);
    if (bits == 16 || bits == 32) std::abort();
}

FUZZ_UNTRACED void CheckRoundTrip(HGLOBAL first, HGLOBAL second) {
    BITMAPINFOHEADER* a = static_cast<BITMAPINFOHEADER*>(GlobalLock(first));
    BITMAPINFOHEADER* b = static_cast<BITMAPINFOHEADER*>(GlobalLock(second));
    if (a->biWidth != b->biWidth || a->biHeight != b->biHeight) std::abort();
    uint32_t colorsA[256], colorsB[256];
    fuzz::ColourTable(a, colorsA);
    fuzz::ColourTable(b, colorsB);
    const bool lossyGray = a->biBitCount == 4 && fuzz::GrayTable(a);
    const int colors = a->biBitCount <= 8 ? ImageColorCount(a) : 0;
    for (int64_t y = 0; !lossyGray && y < a->biHeight; y++)
        for (int64_t x = 0; x < a->biWidth; x++) {
            if (a->biBitCount <= 8 && fuzz::PixelValue(a, x, y) >= uint32_t(colors)) continue;
            if (fuzz::PixelColour(a, colorsA, x, y) != fuzz::PixelColour(b, colorsB, x, y))
                std::abort();
        }
    GlobalUnlock(second);
    GlobalUnlock(first);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFiles& scratch = fuzz::Scratch("png", ".png");
    const std::string& output = scratch.output;
    // The library's messages gather in a buffer instead of a write each.
    static const int buffered = setvbuf(stderr, nullptr, _IOFBF, 1 << 16);
    (void)buffered;
    if (!fuzz::WriteInput(scratch.input, data, size)) return 0;

    HGLOBAL image = fuzz::ReadNamed(ReadPng, scratch.input);
    if (!image) return 0;
    CheckRecord(image);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const uint64_t pixels = uint64_t(h->biWidth) * uint64_t(h->biHeight);
    GlobalUnlock(image);
    if (pixels <= fuzz::kWriterPixels) {
        for (int interlace = 0; interlace < 2; interlace++) {
            if (WritePng(output.c_str(), image, interlace) != 1) std::abort();
            HGLOBAL again = fuzz::ReadNamed(ReadPng, output);
            if (!again) std::abort();
            CheckRecord(again);
            CheckRoundTrip(image, again);
            GlobalFree(again);
        }
        fuzz::RunWriters(image, output, data, size);
    }
    GlobalFree(image);
    return 0;
}
