// libFuzzer target: the WebP reader on arbitrary bytes, called as the loader
// calls it (by file name), then, for one small picture in eight, the lossless
// writer on the picture that comes out and the reader again on what it wrote,
// which must give the same pixels; for the others another writer of the
// table.
//
// The seed corpus (corpus/fuzz_webp, made by make_corpus_webp.sh) holds small
// lossy and lossless files from cwebp, with and without alpha, and an
// animation from img2webp.
#include "fuzz_util.h"

#include "formats/library/webp_format.h"

#include <webp/decode.h>

#include <cstring>

namespace {
// The reader gives 24-bit records only.
void CheckRecord(HGLOBAL image) {
    fuzz::CheckRecord(image);
    const int bits = static_cast<BITMAPINFOHEADER*>(GlobalLock(image))->biBitCount;
    GlobalUnlock(image);
    if (bits != 24) std::abort();
}

FUZZ_UNTRACED void CheckSamePixels(HGLOBAL first, HGLOBAL second) {
    BITMAPINFOHEADER* a = static_cast<BITMAPINFOHEADER*>(GlobalLock(first));
    BITMAPINFOHEADER* b = static_cast<BITMAPINFOHEADER*>(GlobalLock(second));
    if (a->biWidth != b->biWidth || a->biHeight != b->biHeight || b->biBitCount != 24) std::abort();
    const uint64_t stride = ImageStride(a->biWidth, 24);
    const uint64_t row = 3 * uint64_t(a->biWidth);
    for (int64_t y = 0; y < a->biHeight; y++)
        if (std::memcmp(ImagePixels(a) + stride * uint64_t(y),
                        ImagePixels(b) + stride * uint64_t(y), size_t(row)) != 0)
            std::abort();
    GlobalUnlock(second);
    GlobalUnlock(first);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFiles& scratch = fuzz::Scratch("webp", ".webp");
    const std::string& input = scratch.input;
    const std::string& output = scratch.output;
    // Pictures of many millions of pixels cost the fuzzer seconds each and
    // take nothing from the reader that small ones do not; the unit tests
    // cover the size limit. libwebp's own header check gives the size.
    int width = 0, height = 0;
    if (WebPGetInfo(data, size, &width, &height) && uint64_t(width) * uint64_t(height) > (1u << 22))
        return 0;
    if (!fuzz::WriteInput(input, data, size)) return 0;

    HGLOBAL image = fuzz::ReadNamed(ReadWebp, input);
    if (!image) return 0;
    CheckRecord(image);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const uint64_t pixels = uint64_t(h->biWidth) * uint64_t(h->biHeight);
    GlobalUnlock(image);
    // One write an input, chosen by its bytes as the table's writer is (so
    // that a run is repeatable): the lossless encoder clears a megabyte of
    // tables at every call, several times what the reader costs, so one
    // small picture in eight goes round, and the others through a writer of
    // the table.
    if (pixels <= fuzz::kWriterPixels && fuzz::Hash(data, size) % 8 == 0) {
        if (WriteWebp(output.c_str(), image, 85, 1) != 1) std::abort();
        HGLOBAL again = fuzz::ReadNamed(ReadWebp, output);
        if (!again) std::abort();
        CheckRecord(again);
        CheckSamePixels(image, again);
        GlobalFree(again);
    } else {
        fuzz::RunWriters(image, output, data, size);
    }
    GlobalFree(image);
    return 0;
}
