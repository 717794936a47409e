// The writer dispatch: a format code and its options to exactly one writer.
// Used by Convert/Save and by zendra-cli.
#pragma once

#include "platform/win32.h"

enum SaveFormat {
    FMT_BMP = 9,
    FMT_BMP_RLE = 10,
    FMT_BMP_BITFIELDS = 11,
    FMT_JPEG = 12,
    FMT_IFF = 14,
    FMT_PCX = 15,
    FMT_PNG = 16,
    FMT_TGA = 17,
    FMT_TIFF = 18,
};

enum WriteResult {
    WRITE_FAILED = 0, // the writer refused the picture or could not write it
    WRITE_OK = 1,
    WRITE_UNAVAILABLE = -1,   // no writer for this format in this build
    WRITE_CREATE_FAILED = -2, // the target could not be created
};

// The three-letter extension of a format code, or null for codes outside the table.
const char* FormatExtension(int format);

// True when this build has the writer for the format code.
bool WriterAvailable(int format);

// Writes the Image record to path with the writer of the format code.
WriteResult WritePicture(HGLOBAL image, const char* path, int format, int option1, int option2);
