// JPEG pictures through libjpeg: the reader (gray and colour files; C/M/Y/K,
// Y/Cb/Cr/K and two-component files become 24-bit pictures) and the writer
// (grayscale or colour, standard or progressive file structure).
#pragma once

#include "core/format_table.h"
#include "platform/win32.h"

#include <cstddef>
#include <cstdint>

// Reads the file by name and fills the File information text when text is
// given. Returns the Image record, or no picture: library errors go to stderr
// (silent), a block that cannot be had is reported in a message box. The display depth is
// not used.
ReaderResult ReadJpeg(const char* name, HWND owner, char* text, int displayDepth);

// Writes the record at quality (1 to 100), progressive when asked. WRITE_OK when
// the whole file was written and closed, WRITE_FAILED otherwise; only a memory shortage is
// reported in a message box.
WriteResult WriteJpeg(const char* path, int quality, HGLOBAL image, int progressive);

// The Orientation value (1 to 8) of an APP1 segment's payload (the bytes after
// its length); 0 when the segment is not Exif, is damaged, has no Orientation
// tag or holds a value outside 1 to 8.
int ExifOrientation(const uint8_t* payload, size_t size);
