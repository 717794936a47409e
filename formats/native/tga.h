// Targa pictures: the reader (colour-mapped, true-colour and monochrome,
// uncompressed or run-length coded, either origin, two- and four-way
// interleave) and the writer, uncompressed or run-length coded.
#pragma once

#include "core/byte_reader.h"
#include "core/format_table.h"
#include "platform/win32.h"

#include <cstddef>

// Reads the file (positioned at 0) through the loader's byte reader; returns
// the Image record, or no picture after telling the owner why; an interleaved
// picture left unsorted for want of memory comes with a message. Leaves the file open.
ReaderResult ReadTarga(ByteReader* bytes, HWND owner, char* text);

// Writes the record as a Targa file at path, run-length coded when runLength
// is non-zero; WRITE_OK, or WRITE_FAILED when the record cannot be written as Targa or
// any write, or the close, fails.
WriteResult WriteTarga(HGLOBAL image, const char* path, int runLength);

// Codes one row of count pixel values of bytesPerPixel (1 to 4) bytes each as
// run-length packets into out (room for 2 x count x bytesPerPixel + 1 bytes);
// returns the bytes produced. Packets never pass the end of the row.
size_t EncodeTargaPackets(const BYTE* row, BYTE* out, size_t count, int bytesPerPixel);
