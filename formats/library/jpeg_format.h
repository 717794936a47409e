// JPEG pictures through libjpeg: the reader (gray and colour files; C/M/Y/K,
// Y/Cb/Cr/K and two-component files become 24-bit pictures) and the writer
// (grayscale or colour, standard or progressive file structure).
#pragma once

#include "platform/win32.h"

#include <cstddef>
#include <cstdint>

// Reads the file by name and fills the File information text when text is
// given. Returns the Image record, or null: library errors go to stderr, a
// block that cannot be had is reported in a message box. The display depth is
// not used.
HGLOBAL ReadJpeg(const char* name, HWND owner, char* text, int displayDepth);

// Writes the record at quality (1 to 100), progressive when asked. 1 when the
// whole file was written and closed, 0 otherwise; only a memory shortage is
// reported in a message box.
int WriteJpeg(const char* path, int quality, HGLOBAL image, int progressive);

// The Orientation value (1 to 8) of an APP1 segment's payload (the bytes after
// its length); 0 when the segment is not Exif, is damaged, has no Orientation
// tag or holds a value outside 1 to 8.
int ExifOrientation(const uint8_t* payload, size_t size);
