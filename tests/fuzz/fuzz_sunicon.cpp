// libFuzzer target: the Sun icon reader on arbitrary text, called as the
// loader calls it (by name), and the record that comes out checked as the
// loader checks it.
//
// The seed corpus (corpus/fuzz_sunicon) holds icons from netpbm's
// pbmtosunicon (16 x 16, 64 x 64, a padded width, a longer header) and
// hand-made ones: depth 8, an odd width, a short header, words without
// prefixes, a file that ends early.
#include "fuzz_util.h"

#include "formats/native/sun_icon.h"

namespace {
void RemoveScratch() {
    std::remove(fuzz::ScratchPath("sunicon", ".ico").c_str());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = fuzz::ScratchPath("sunicon", ".ico");
    static const int cleanup = std::atexit(RemoveScratch);
    (void)cleanup;
    SetMessageSink(fuzz::Quiet);
    if (!fuzz::WriteInput(input, data, size)) return 0;
    char text[500];
    text[0] = 0;
    HGLOBAL image = ReadSunIcon(input.c_str(), nullptr, text, 32).image;
    if (!image) return 0;
    fuzz::CheckRecord(image);
    const BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if ((h->biBitCount != 1 && h->biBitCount != 8) || h->biClrUsed != 0) std::abort();
    GlobalUnlock(image);
    GlobalFree(image);
    return 0;
}
