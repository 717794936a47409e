// PCX pictures: the reader (1 to 4 planes of 1, 2, 4 or 8 bits, 16-bit single
// planes, 24- and 32-bit pictures of 8-bit planes) and the version 5
// run-length writer.
#pragma once

#include "core/byte_reader.h"
#include "core/format_table.h"
#include "platform/win32.h"

#include <cstddef>

// Reads the file (positioned at 0) through the loader's byte reader; returns
// the Image record, or no picture after telling the owner why; a picture whose
// pixels could not all be decoded comes with a message. Leaves the file open.
ReaderResult ReadPcx(ByteReader* bytes, HWND owner, char* text);

// Writes the record as a version 5 PCX file at path; WRITE_OK, or WRITE_FAILED when the
// record cannot be written as PCX or any write, or the close, fails.
WriteResult WritePcx(HGLOBAL image, const char* path);

// Run-length codes one plane of one scan line into out (room for 2 x count
// bytes); returns the bytes produced. Runs never pass the end of the line.
size_t EncodePcxLine(const BYTE* line, size_t count, BYTE* out);
