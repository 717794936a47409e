// Animated GIF files frame by frame: each frame composited onto the logical
// screen by its position, transparent colour and the disposal of the frame
// before it (none, leave, restore to background, restore to previous), as
// ImageMagick's -coalesce gives them. The screen starts in the background
// colour, or transparent when the first frame has a transparent colour (or
// the file no global table); the area of a frame restored to the background
// becomes transparent, as in browsers. Transparent parts are shown white.
#pragma once

#include "core/byte_reader.h"
#include "platform/win32.h"

const int GIF_PLAYER_BUFFER = 16384;

// One animation in play: the open file and the screen as shown. Besides the
// screen, it holds the current frame's colour indices and, for a frame to be
// restored to what was before it, the part of the screen under that frame.
struct GifPlayer {
    HFILE file;
    BYTE* buffer; // GIF_PLAYER_BUFFER bytes for the byte reader
    ByteReader source;
    long dataStart;    // offset of the first block after the global table
    int width, height; // the logical screen
    BYTE global[256 * 4];
    long globalCount; // 0: no global table
    int backgroundIndex;
    HGLOBAL screen;   // 24-bit record of width x height: the frame as shown
    HGLOBAL saved;    // 24-bit record of the last frame's area (restore to previous)
    int frameNumber;  // frames shown since the start, 0 before the first
    int delay;        // hundredths of a second the current frame stays
    int lastDisposal; // the disposal method of the frame shown
    int lastLeft, lastTop, lastWidth, lastHeight; // its area, clipped to the screen
    long resumeAt; // while suspended: the offset of the next byte to read
};

// Opens the file and reads the screen; false (nothing held) when it is no
// GIF file or cannot be read.
bool OpenGifPlayer(GifPlayer* player, const char* path);

// Composites the next frame onto the screen. 1 when a frame was shown; 0 at
// the end of the frames (the trailer, or the end of the file); -1 on data
// that cannot be read (a frame too large, no memory).
int NextGifFrame(GifPlayer* player);

// Back to before the first frame: the screen transparent again.
bool RewindGifPlayer(GifPlayer* player);

void CloseGifPlayer(GifPlayer* player);

// Closes the file between frames, so that it can be deleted or renamed while
// the animation plays, and opens it again where it was (false when it cannot).
void SuspendGifPlayer(GifPlayer* player);
bool ResumeGifPlayer(GifPlayer* player, const char* path);

// The number of frames in the file (without decoding them), 0 when it is
// no GIF file or has none.
int CountGifFrames(const char* path);

// A copy of the screen after frame number (counted from 1), or null when the
// file has fewer frames or cannot be read; the caller frees it.
HGLOBAL ComposeGifFrame(const char* path, int number);

// How long a frame's delay from the file is shown: delays below 2 hundredths
// are shown for 10, as browsers do.
int GifShownDelay(int fileDelay);
