// libFuzzer target: the Sun icon reader on arbitrary text, called as the
// loader calls it (by name), and the record that comes out checked as the
// loader checks it, then a writer of the table on it.
//
// The seed corpus (corpus/fuzz_sunicon) holds icons from netpbm's
// pbmtosunicon (16 x 16, 64 x 64, a padded width, a longer header) and
// hand-made ones: depth 8, an odd width, a short header, words without
// prefixes, a file that ends early.
#include "fuzz_util.h"

#include "formats/native/sun_icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFiles& scratch = fuzz::Scratch("sunicon", ".ico");
    if (!fuzz::WriteInput(scratch.input, data, size)) return 0;
    char text[500];
    text[0] = 0;
    HGLOBAL image = ReadSunIcon(scratch.input.c_str(), nullptr, text, 32).image;
    if (!image) return 0;
    fuzz::CheckRecord(image);
    const BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if ((h->biBitCount != 1 && h->biBitCount != 8) || h->biClrUsed != 0) std::abort();
    GlobalUnlock(image);
    fuzz::RunWriters(image, scratch.output, data, size);
    GlobalFree(image);
    return 0;
}
