// libFuzzer target: the GIF reader on arbitrary bytes, called as the loader
// calls it (the file at offset 0, the frame counter and the delay reset), and
// the record that comes out checked as the loader checks it, then a writer of
// the table on it.
//
// The seed corpus (corpus/fuzz_gif) holds small files from netpbm's pamtogif
// (plain, interlaced, sorted, uncompressed-style and full-table-kept codes)
// and ImageMagick (87a, 89a, an animation, a transparent colour), and
// hand-made ones: a local colour table, a MacBinary header, 87a without the
// global flag, no leading clear code, one-byte sub-blocks, code size 9.
#include "fuzz_util.h"

#include "core/state.h"
#include "formats/native/gif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFiles& scratch = fuzz::Scratch("gif", ".gif");
    if (!fuzz::WriteInput(scratch.input, data, size)) return 0;
    HFILE file = _lopen(scratch.input.c_str(), OF_READ);
    if (file == HFILE_ERROR) return 0;
    char text[INFO_TEXT_SIZE];
    text[0] = 0;
    g_gif = GifFrameInfo{};
    g_frameDelay = 25;
    HGLOBAL image = ReadGif(file, nullptr, text).image;
    _lclose(file);
    if (!image) return 0;
    fuzz::CheckRecord(image);
    const BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if (h->biBitCount != 8 || h->biClrUsed < 2 || g_gif.frameCount != 1) std::abort();
    GlobalUnlock(image);
    fuzz::RunWriters(image, scratch.output, data, size);
    GlobalFree(image);
    return 0;
}
