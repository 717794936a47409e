// libFuzzer target: the PCX reader on arbitrary bytes, called as the loader
// calls it (the file at offset 0, the 2048-byte read buffer lent), then on
// the picture that comes out either the writer and the reader again on what
// it wrote, which must give the same pixels, or another writer of the table.
#include "fuzz_util.h"

#include "formats/native/pcx.h"

namespace {
// The record as the loader checks it; palettes only up to 8 bits.
uint64_t CheckRecord(HGLOBAL image) {
    const uint64_t pixels = fuzz::CheckRecord(image);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if (h->biBitCount > 8 && h->biClrUsed != 0) std::abort();
    GlobalUnlock(image);
    return pixels;
}

// The written file read back holds the same pixels (16-bit pictures come
// back as 24 bits of their 5-bit components, 32-bit ones without byte 3).
FUZZ_UNTRACED void CheckRoundTrip(HGLOBAL first, HGLOBAL second) {
    BITMAPINFOHEADER* a = static_cast<BITMAPINFOHEADER*>(GlobalLock(first));
    BITMAPINFOHEADER* b = static_cast<BITMAPINFOHEADER*>(GlobalLock(second));
    if (a->biWidth != b->biWidth || a->biHeight != b->biHeight) std::abort();
    if ((a->biBitCount <= 8 ? a->biBitCount : 24) != b->biBitCount) std::abort();
    for (int64_t y = 0; y < a->biHeight; y++)
        for (int64_t x = 0; x < a->biWidth; x++)
            if (fuzz::PixelValue(a, x, y) != fuzz::PixelValue(b, x, y)) std::abort();
    GlobalUnlock(second);
    GlobalUnlock(first);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFiles& scratch = fuzz::Scratch("pcx", ".pcx");
    if (!fuzz::WriteInput(scratch.input, data, size)) return 0;
    HGLOBAL image = fuzz::ReadBuffered(ReadPcx, scratch.input);
    if (!image) return 0;
    // Writing and comparing large pictures only costs time; small ones
    // exercise the writers: one write an input, chosen by the input's
    // bytes as the table's writer is, the round trip or a writer of the table.
    if (CheckRecord(image) <= fuzz::kWriterPixels) {
        if ((fuzz::Hash(data, size) >> 9) & 1) {
            fuzz::RunWriters(image, scratch.output, data, size);
        } else if (WritePcx(image, scratch.output.c_str()) != 1) {
            // Only lines of 65536 bytes do not fit the header's word.
            BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
            bool representable = h->biWidth < 65536 || h->biBitCount <= 4;
            GlobalUnlock(image);
            if (representable) std::abort();
        } else {
            HGLOBAL again = fuzz::ReadBuffered(ReadPcx, scratch.output);
            if (!again) std::abort();
            CheckRecord(again);
            CheckRoundTrip(image, again);
            GlobalFree(again);
        }
    }
    GlobalFree(image);
    return 0;
}
