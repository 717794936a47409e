// libFuzzer target: the GIF frame player on arbitrary bytes, as the viewer
// plays a file: up to 64 frames composited with the file closed between
// them, then one rewind, which must give the first screen again; each screen
// is checked as the loader checks a record, and the frame count must cover
// the frames played. Seeds: corpus/fuzz_gif_frames
// (make_corpus_gif_frames.sh).
#include "fuzz_util.h"

#include "formats/native/gif_frames.h"

namespace {
void RemoveScratch() {
    std::remove(fuzz::ScratchPath("gif-frames", ".gif").c_str());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = fuzz::ScratchPath("gif-frames", ".gif");
    static const int cleanup = std::atexit(RemoveScratch);
    (void)cleanup;
    SetMessageSink(fuzz::Quiet);
    if (!fuzz::WriteInput(input, data, size)) return 0;
    GifPlayer player;
    if (!OpenGifPlayer(&player, input.c_str())) return 0;
    // A step may fill and paint the whole screen, up to 64 steps an input:
    // screens of 65,536 pixels at most, which cover every clipping and
    // disposal case a larger one does.
    if (uint64_t(player.width) * uint64_t(player.height) > (uint64_t(1) << 16)) {
        CloseGifPlayer(&player);
        return 0;
    }
    const int count = CountGifFrames(input.c_str());
    int played = 0;
    uint64_t first = 0;
    for (int step = 0; step < 64; step++) {
        if (!ResumeGifPlayer(&player, input.c_str())) std::abort();
        int outcome = NextGifFrame(&player);
        const bool rewound = outcome == 0 && played > 0 && RewindGifPlayer(&player);
        if (rewound) outcome = NextGifFrame(&player);
        SuspendGifPlayer(&player);
        if (outcome != 1) break;
        if (player.frameNumber > played) played = player.frameNumber;
        if (player.delay < 2) std::abort();
        fuzz::CheckRecord(player.screen);
        // Played again from the start, the first screen is the one the file
        // began with, and the rest would repeat the first round.
        if (step == 0) first = fuzz::BlockHash(player.screen);
        if (rewound) {
            if (player.frameNumber != 1 || fuzz::BlockHash(player.screen) != first) std::abort();
            break;
        }
    }
    if (played > count) std::abort();
    CloseGifPlayer(&player);
    return 0;
}
