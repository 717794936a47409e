// libFuzzer target: the Targa reader on arbitrary bytes, called as the loader
// calls it (the file at offset 0, the 2048-byte read buffer lent), then on
// the picture that comes out either the writer, uncompressed or in packets,
// and the reader again on what it wrote, which must give the same colours, or
// another writer of the table.
#include "fuzz_util.h"

#include "formats/native/tga.h"

namespace {
// The record as the loader checks it; palettes only up to 8 bits.
uint64_t CheckRecord(HGLOBAL image) {
    const uint64_t pixels = fuzz::CheckRecord(image);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if (h->biBitCount > 8 && h->biClrUsed != 0) std::abort();
    GlobalUnlock(image);
    return pixels;
}

// Palette pictures come back with the same colours (grey pictures as grey
// levels), the others with the same bytes.
FUZZ_UNTRACED void CheckRoundTrip(HGLOBAL first, HGLOBAL second) {
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
    const fuzz::ScratchFiles& scratch = fuzz::Scratch("targa", ".tga");
    if (!fuzz::WriteInput(scratch.input, data, size)) return 0;
    HGLOBAL image = fuzz::ReadBuffered(ReadTarga, scratch.input);
    if (!image) return 0;
    // Writing and comparing large pictures only costs time; small ones
    // exercise the writers: one write an input, chosen by the input's bytes
    // as the table's writer is, the round trip (uncompressed or in packets)
    // or a writer of the table.
    if (CheckRecord(image) <= fuzz::kWriterPixels) {
        const uint64_t hash = fuzz::Hash(data, size);
        if ((hash >> 9) & 1) {
            fuzz::RunWriters(image, scratch.output, data, size);
        } else {
            const int runLength = int((hash >> 8) & 1);
            if (WriteTarga(image, scratch.output.c_str(), runLength) != 1) std::abort();
            HGLOBAL again = fuzz::ReadBuffered(ReadTarga, scratch.output);
            if (!again) std::abort();
            CheckRecord(again);
            CheckRoundTrip(image, again);
            GlobalFree(again);
        }
    }
    GlobalFree(image);
    return 0;
}
