// libFuzzer target: the JPEG reader on arbitrary bytes, called as the loader
// calls it (by file name), then the writer, standard or progressive, on the
// picture that comes out and the reader again on what it wrote, which must
// give a picture of the same size and kind, then another writer of the table.
//
// The seed corpus (corpus/fuzz_jpeg, made by make_corpus_jpeg_png.sh) holds
// small files from cjpeg and ImageMagick: gray, colour, progressive,
// arithmetic, restart markers, C/M/Y/K.
#include "fuzz_util.h"

#include "formats/library/jpeg_format.h"

namespace {
// The record as the loader checks it; JPEG records are 8-bit gray or 24-bit.
void CheckRecord(HGLOBAL image) {
    fuzz::CheckRecord(image);
    const int bits = static_cast<BITMAPINFOHEADER*>(GlobalLock(image))->biBitCount;
    GlobalUnlock(image);
    if (bits != 8 && bits != 24) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFiles& scratch = fuzz::Scratch("jpeg", ".jpg");
    const std::string& output = scratch.output;
    // The library's messages gather in a buffer instead of a write each.
    static const int buffered = setvbuf(stderr, nullptr, _IOFBF, 1 << 16);
    (void)buffered;
    if (!fuzz::WriteInput(scratch.input, data, size)) return 0;

    HGLOBAL image = fuzz::ReadNamed(ReadJpeg, scratch.input);
    if (!image) return 0;
    CheckRecord(image);
    BITMAPINFOHEADER first = *static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    GlobalUnlock(image);
    if (uint64_t(first.biWidth) * uint64_t(first.biHeight) <= fuzz::kWriterPixels) {
        // Standard or progressive, chosen by the input's bytes as the table's
        // writer is: a round trip costs the fuzzer an encoding and a decoding.
        const int progressive = int((fuzz::Hash(data, size) >> 8) & 1);
        if (WriteJpeg(output.c_str(), 85, image, progressive) != 1) std::abort();
        HGLOBAL again = fuzz::ReadNamed(ReadJpeg, output);
        if (!again) std::abort();
        CheckRecord(again);
        BITMAPINFOHEADER h = *static_cast<BITMAPINFOHEADER*>(GlobalLock(again));
        GlobalUnlock(again);
        // Gray pictures stay gray, colour ones colour.
        if (h.biWidth != first.biWidth || h.biHeight != first.biHeight ||
            h.biBitCount != first.biBitCount)
            std::abort();
        GlobalFree(again);
        fuzz::RunWriters(image, output, data, size);
    }
    GlobalFree(image);
    return 0;
}
