// Animated GIF playback on the browser's animation timer: the current picture
// stays the first frame's record (tools, printing and Convert/Save work on
// it), while the timer shows the composited frames in the preview and every
// open picture window, in a loop, each for its delay.
#include "shell/shell.h"

#include "core/state.h"
#include "formats/native/gif_frames.h"

#include <cstring>

namespace {
GifPlayer g_player;
bool g_playing = false;
HGLOBAL g_playedPicture = nullptr; // the record the playback belongs to
char g_playedFile[FILE_NAME_SIZE];

// The picture the playback started with is still the one shown, unchanged.
bool StillShown() {
    return g_viewKind == KIND_RASTER && g_picture == g_playedPicture && !g_userModified &&
           g_orientation == 0 && g_brightness == 0 && std::strcmp(g_fileName, g_playedFile) == 0;
}
} // namespace

void StopGifPlayback() {
    if (g_playing) CloseGifPlayer(&g_player);
    g_playing = false;
    g_playedPicture = nullptr;
}

void StartGifPlayback() {
    StopGifPlayback();
    if (g_viewKind != KIND_RASTER || std::strncmp(g_infoText, "image type: GIF ", 16) != 0 ||
        CountGifFrames(g_fileName) < 2 || !OpenGifPlayer(&g_player, g_fileName))
        return;
    g_playing = true;
    // The first frame is on show already (the record); its delay runs now.
    if (NextGifFrame(&g_player) != 1) {
        StopGifPlayback();
        return;
    }
    SuspendGifPlayer(&g_player);
    g_playedPicture = g_picture;
    std::memcpy(g_playedFile, g_fileName, sizeof g_playedFile);
    SetTimer(g_dialog, 0, UINT(10 * g_player.delay), nullptr);
    g_animationTimer = 1;
}

HGLOBAL NextGifScreen(int* delay) {
    if (!g_playing) return nullptr;
    if (!StillShown() || !ResumeGifPlayer(&g_player, g_playedFile)) {
        StopGifPlayback();
        return nullptr;
    }
    int outcome = NextGifFrame(&g_player);
    if (outcome == 0 && RewindGifPlayer(&g_player)) outcome = NextGifFrame(&g_player);
    SuspendGifPlayer(&g_player);
    if (outcome != 1) {
        StopGifPlayback();
        return nullptr;
    }
    *delay = g_player.delay;
    return g_player.screen;
}
