// PNG pictures through libpng: the reader (every colour type and bit depth,
// gamma-corrected for a 2.2 display, alpha channels and palette transparency
// composited onto white) and the
// writer (gray, palette, RGB or RGB with alpha by the picture's colour table,
// with or without Adam7 interlacing, always with a gAMA chunk of 0.45).
#pragma once

#include "platform/win32.h"

// Reads the file by name and fills the File information text. Returns the
// Image record, or null: library errors go to stderr, a block that cannot be
// had is reported in a message box. The display depth is not used.
HGLOBAL ReadPng(const char* name, HWND owner, char* text, int displayDepth);

// The same for a PNG file held in memory (the PNG entries of icon files),
// without gamma correction, as icons are drawn.
HGLOBAL ReadPngBytes(const BYTE* data, size_t size, char* text);

// Writes the record, Adam7-interlaced when interlace is 1. 1 when the whole
// file was written and closed, 0 otherwise; shows no message.
int WritePng(const char* path, HGLOBAL image, int interlace);
