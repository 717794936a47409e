// WebP pictures through libwebp: the reader (lossy and lossless files, alpha
// composited onto white, the first frame of an animated file as it appears on
// its canvas) and the writer (24-bit colour, lossy at a quality or lossless).
#pragma once

#include "platform/win32.h"

// Reads the file by name and fills the File information text. Returns a
// 24-bit Image record, or null after a message box saying why. The display
// depth is not used.
HGLOBAL ReadWebp(const char* name, HWND owner, char* text, int displayDepth);

// Writes the record as red, green and blue: lossless when lossless is 1,
// otherwise lossy at quality (0 to 100). 1 when the whole file was written
// and closed, 0 otherwise; only a memory shortage is reported in a message
// box.
int WriteWebp(const char* path, HGLOBAL image, int quality, int lossless);

// One row of blue, green, red, alpha pixels composited onto white into blue,
// green, red: each channel c of alpha a becomes (c * a + 255 * (255 - a)) / 255,
// rounded.
void CompositeOntoWhite(const BYTE* bgra, int64_t width, BYTE* bgr);
