// GIF pictures (87a and 89a): the reader of the file structure and the first
// frame, and the LZW decoder of its image data.
#pragma once

#include "core/byte_reader.h"
#include "core/format_table.h"
#include "platform/win32.h"

// Reads the first frame of the file (positioned at 0, or behind a 128-byte
// MacBinary header) into an 8-bit Image record with the frame's colour table,
// or no picture after telling the owner why (a file that ends with the
// trailer before any frame, and an unsupported minimum code size, say
// nothing: no picture, silent). The frame delay goes to g_frameDelay, the rest of what the file
// says about the frame to g_gif, whose frame counter the call increases; the
// File information text is written for the first frame only. Leaves the file
// open.
ReaderResult ReadGif(HFILE file, HWND owner, char* text);

// The reader's buffer: the file's bytes are taken through a byte reader over it.
const int GIF_READ_BUFFER = 16384;

// Decodes the image data sub-blocks that follow the minimum code size (2 to
// 9) into a zero-filled 8-bit pixel area of height rows of stride bytes,
// bottom row first, so that the frame's top row is the area's last row;
// interlaced frames come in the four passes of rows 0, 8, ...; 4, 12, ...;
// 2, 6, ...; 1, 3, .... Decoding stops at the end code, at the end of the
// data or at the first code the table does not hold, leaving the rest zero,
// and never writes outside the first width bytes of a row.
void DecodeGifImage(ByteReader* source, int minCodeSize, BYTE* pixels, uint64_t stride,
                    int64_t width, int64_t height, bool interlaced);
