// libFuzzer target: the IFF reader on arbitrary bytes, then on whatever picture
// comes out either the writer in one of its four forms and the reader again on
// what was written, or another writer of the table.
//
// The seed corpus (corpus/fuzz_iff) holds small files from netpbm's ppmtoilbm
// (1, 2, 5 and 8 planes, HAM6, HAM8, 24 planes, with and without ByteRun1 and
// mask planes) and hand-made ones: extra-halfbrite, PBM with 8 and 24 planes.
#include "fuzz_util.h"

#include "formats/native/iff.h"

namespace {
HGLOBAL Read(const std::string& path) {
    HFILE file = _lopen(path.c_str(), OF_READ);
    if (file == HFILE_ERROR) return nullptr;
    char text[500] = {0};
    HGLOBAL image = ReadIffPicture(file, nullptr, text).image;
    _lclose(file);
    // Whatever the reader returns, every consumer must be able to rely on.
    if (image) fuzz::CheckRecord(image);
    return image;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::ScratchFiles& scratch = fuzz::Scratch("iff", ".iff");
    if (!fuzz::WriteInput(scratch.input, data, size)) return 0;
    HGLOBAL image = Read(scratch.input);
    if (!image) return 0;
    // Repacking and writing large pictures only costs time; small ones
    // exercise them: one write an input, chosen by the input's bytes as the
    // table's writer is, one of the four forms read back or a writer of the
    // table.
    if (fuzz::CheckRecord(image) <= fuzz::kWriterPixels) {
        const uint64_t hash = fuzz::Hash(data, size);
        if ((hash >> 10) & 1) {
            fuzz::RunWriters(image, scratch.output, data, size);
        } else {
            PackImageDepth(&image);
            const int form = int((hash >> 8) & 3);
            if (WriteIffPicture(image, scratch.output.c_str(), form & 1, form >> 1) != 1)
                std::abort();
            HGLOBAL again = Read(scratch.output);
            if (!again) std::abort();
            GlobalFree(again);
        }
    }
    GlobalFree(image);
    return 0;
}
