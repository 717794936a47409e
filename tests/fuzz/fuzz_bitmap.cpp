// libFuzzer target: the loader and the bitmap readers on arbitrary bytes, the
// record checked as the loader checks it, then a writer of the table on whatever
// picture comes out.
#include "fuzz_util.h"

#include "core/state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFiles& scratch = fuzz::Scratch("bitmap", ".bmp");
    if (!fuzz::WriteInput(scratch.input, data, size)) return 0;
    InitImageState();
    if (LoadPictureFile(scratch.input.c_str(), nullptr, 32))
        fuzz::RunWriters(g_picture, scratch.output, data, size);
    ReleaseCurrentPicture();
    return 0;
}
