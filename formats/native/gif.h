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
// and never writes outside the first width bytes of a row. The rest of the
// data's sub-blocks is passed over, so that the next block can be read.
void DecodeGifImage(ByteReader* source, int minCodeSize, BYTE* pixels, uint64_t stride,
                    int64_t width, int64_t height, bool interlaced);

// Shared by the reader and the frame player.
// "GIF", two digits and a letter (the version).
bool GifSignatureAccepted(const BYTE* head);
// Reads entries colours of red, green, blue into a record's table (blue,
// green, red, 0). Only 256 entries fit a record: the rest is read past.
bool ReadGifColorTable(ByteReader* source, long entries, BYTE* table);
// Entry index of a table of entries colours; black when the table has none there.
RGBQUAD GifTableColor(const BYTE* table, long entries, int index);
// Sub-blocks up to the one of size 0, the first of them of size firstSize
// (its size byte already read); false when the file ends first.
bool SkipGifSubBlocksFrom(ByteReader* source, BYTE firstSize);
bool SkipGifSubBlocks(ByteReader* source);
// An 87a file whose flag says it has no global table is taken to carry one
// of the four low bits' size all the same (writers of the time left the flag
// clear), unless the file plainly goes on without one: an image with its own
// table right after the screen descriptor, and no block where the table would
// end. The file is left where it was, behind the screen descriptor.
bool GifGlobalTableMissing(HFILE file, long start, long entries);
