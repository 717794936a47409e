// PNG pictures through libpng: the reader (every colour type and bit depth,
// gamma-corrected for a 2.2 display, alpha channels and palette transparency
// composited onto white) and the
// writer (gray, palette, RGB or RGB with alpha by the picture's colour table,
// with or without Adam7 interlacing, always with a gAMA chunk of 0.45).
#pragma once

#include "core/format_table.h"
#include "platform/win32.h"

// Reads the file by name and fills the File information text. Returns the
// Image record, or no picture: library errors go to stderr (silent), a block
// that cannot be had is reported in a message box (a 2-bit picture then comes
// back black). The display depth is not used.
ReaderResult ReadPng(const char* name, HWND owner, char* text, int displayDepth);

// The same for a PNG file held in memory (the PNG entries of icon files),
// without gamma correction, as icons are drawn.
ReaderResult ReadPngBytes(const BYTE* data, size_t size, char* text);

// Writes the record, Adam7-interlaced when interlace is 1. WRITE_OK when the
// whole file was written and closed, WRITE_FAILED otherwise; shows no message.
WriteResult WritePng(const char* path, HGLOBAL image, int interlace);
