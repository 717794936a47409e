// JPEG pictures through libjpeg: the reader (gray and colour files; C/M/Y/K,
// Y/Cb/Cr/K and two-component files become 24-bit pictures) and the writer
// (grayscale or colour, standard or progressive file structure).
#pragma once

#include "platform/win32.h"

// Reads the file by name and fills the File information text when text is
// given. Returns the Image record, or null: library errors go to stderr, a
// block that cannot be had is reported in a message box. The display depth is
// not used.
HGLOBAL ReadJpeg(const char* name, HWND owner, char* text, int displayDepth);

// Writes the record at quality (1 to 100), progressive when asked. 1 when the
// whole file was written and closed, 0 otherwise; only a memory shortage is
// reported in a message box.
int WriteJpeg(const char* path, int quality, HGLOBAL image, int progressive);
