// libFuzzer target: the icon and cursor reader on arbitrary bytes, called as
// the loader and the animation call it (entry 1, then the next few entries of
// the same open file), and every record that comes out checked as the loader
// checks it.
//
// The seed corpus (corpus/fuzz_icon) holds icons and cursors from ImageMagick
// (4-, 8- and 32-bit entries, several sizes with a PNG entry) and Pillow (PNG
// entries), and hand-made ones: 1 and 24 bits, a 108-byte header, a short
// colour table, a 256 x 256 entry.
#include "fuzz_util.h"

#include "formats/native/icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HFILE file = fuzz::OpenInput("icon", ".ico", data, size);
    if (file == HFILE_ERROR) return 0;
    char text[500];
    text[0] = 0;
    int count = 0;
    for (int index = 1; index <= 4; index++) {
        HGLOBAL image = ReadIcon(nullptr, text, file, &count, index, 0, ICON_TEXT_OWN_FILE).image;
        if (image) {
            fuzz::CheckRecord(image);
            GlobalFree(image);
        }
        if (index >= count) break;
    }
    _lclose(file);
    return 0;
}
