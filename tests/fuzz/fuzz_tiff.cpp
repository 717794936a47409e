// libFuzzer target: the TIFF reader on arbitrary bytes, called as the loader
// calls it (by file name), then on the picture that comes out either (one in
// four) the writer, LZW in strips or Deflate in tiles, and the reader again
// on what it wrote, which must give the same colours (a 4-bit gray ramp is
// written as its top bits, so it is not compared) and, above 8 bits, the same
// bytes; or another writer of the table.
//
// The seed corpus (corpus/fuzz_tiff, made by make_corpus_tiff.sh) holds small
// files of every compression the reader decodes, in strips and tiles,
// contiguous and separate planes, 1 to 16 bits, palette, CMYK, Lab, Y/Cb/Cr
// and several orientations.
#include "fuzz_util.h"

#include "formats/library/tiff_format.h"

#include <cstring>

namespace {
FUZZ_UNTRACED void CheckRoundTrip(HGLOBAL first, HGLOBAL second) {
    BITMAPINFOHEADER* a = static_cast<BITMAPINFOHEADER*>(GlobalLock(first));
    BITMAPINFOHEADER* b = static_cast<BITMAPINFOHEADER*>(GlobalLock(second));
    if (a->biWidth != b->biWidth || a->biHeight != b->biHeight) std::abort();
    uint32_t colorsA[256], colorsB[256];
    fuzz::ColourTable(a, colorsA);
    fuzz::ColourTable(b, colorsB);
    if (a->biBitCount > 8) {
        if (b->biBitCount != a->biBitCount) std::abort();
        const uint64_t n = ImageStride(a->biWidth, a->biBitCount) * uint64_t(a->biHeight);
        if (std::memcmp(ImagePixels(a), ImagePixels(b), size_t(n)) != 0) std::abort();
    } else if (!(a->biBitCount == 4 && fuzz::GrayTable(a))) {
        for (int64_t y = 0; y < a->biHeight; y++)
            for (int64_t x = 0; x < a->biWidth; x++)
                if (fuzz::PixelColour(a, colorsA, x, y) != fuzz::PixelColour(b, colorsB, x, y))
                    std::abort();
    }
    GlobalUnlock(second);
    GlobalUnlock(first);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFiles& scratch = fuzz::Scratch("tiff", ".tif");
    const std::string& output = scratch.output;
    if (!fuzz::WriteInput(scratch.input, data, size)) return 0;

    HGLOBAL image = fuzz::ReadNamed(ReadTiff, scratch.input);
    if (!image) return 0;
    fuzz::CheckRecord(image);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const uint64_t pixels = uint64_t(h->biWidth) * uint64_t(h->biHeight);
    GlobalUnlock(image);
    if (pixels <= fuzz::kWriterPixels) {
        // One write an input, chosen by the input's bytes as the table's
        // writer is: for one picture in four the round trip through one of
        // the two written forms (LZW strips, Deflate tiles), otherwise a
        // writer of the table (16 of its 35 are TIFF's). Each round trip costs
        // the fuzzer two library opens, and each open sorts the library's
        // tag table.
        const uint64_t hash = fuzz::Hash(data, size);
        if (((hash >> 9) & 3) == 0) {
            const int forms[2][2] = {{5, 0}, {32946, 1}};
            const int* form = forms[(hash >> 8) & 1];
            if (WriteTiff(output.c_str(), form[0], form[1], image) != 1) std::abort();
            HGLOBAL again = fuzz::ReadNamed(ReadTiff, output);
            if (!again) std::abort();
            fuzz::CheckRecord(again);
            CheckRoundTrip(image, again);
            GlobalFree(again);
        } else {
            fuzz::RunWriters(image, output, data, size);
        }
    }
    GlobalFree(image);
    return 0;
}
