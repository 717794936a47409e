// libFuzzer target: the animated icon and cursor reader on arbitrary bytes;
// the frame and sequence tables it hands over must hold what their counts
// say, and every frame must be a record the loader would accept.
//
// The seed corpus (corpus/fuzz_ani) holds animated files built from small
// icons: with and without "rate" and "seq ", with an INFO list, with fewer
// icons than "anih" promises, with odd-sized chunks.
#include "fuzz_util.h"

#include "formats/native/icon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HFILE file = fuzz::OpenInput("ani", ".ani", data, size);
    if (file == HFILE_ERROR) return 0;
    char text[500];
    text[0] = 0;
    int frames = -1, steps = -1;
    HGLOBAL sequence = nullptr, table = nullptr;
    const LoadOutcome read =
        ReadAnimatedCursor(nullptr, file, text, &frames, &steps, &sequence, &table);
    _lclose(file);
    if (read == LOAD_NONE_REPORTED) std::abort(); // it reports nothing of its own
    if (read == LOAD_NONE_SILENT) {
        if (sequence || table) std::abort(); // nothing is handed over on failure
        return 0;
    }
    if (frames <= 0 || steps <= 0 || !sequence || !table ||
        GlobalSize(sequence) < sizeof(CursorStep) * size_t(steps) ||
        GlobalSize(table) < sizeof(HGLOBAL) * size_t(frames))
        std::abort();
    HGLOBAL* f = static_cast<HGLOBAL*>(GlobalLock(table));
    for (int i = 0; i < frames; i++)
        if (f[i]) {
            fuzz::CheckRecord(f[i]);
            GlobalFree(f[i]);
        }
    GlobalUnlock(table);
    GlobalFree(table);
    GlobalFree(sequence);
    return 0;
}
