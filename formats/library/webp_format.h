// WebP pictures through libwebp: the reader (lossy and lossless files, alpha
// composited onto white, the first frame of an animated file as it appears on
// its canvas) and the writer (24-bit colour, lossy at a quality or lossless).
#pragma once

#include "core/format_table.h"

// Reads the file by name and fills the File information text. Returns a
// 24-bit Image record, or no picture after a message box saying why. The
// display depth is not used.
ReaderResult ReadWebp(const char* name, HWND owner, char* text, int displayDepth);

// Writes the record as red, green and blue: lossless when lossless is 1,
// otherwise lossy at quality (0 to 100). WRITE_OK when the whole file was
// written and closed, WRITE_FAILED otherwise; only a memory shortage is
// reported in a message box.
WriteResult WriteWebp(const char* path, HGLOBAL image, int quality, int lossless);
