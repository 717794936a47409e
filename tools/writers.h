// The writer dispatch: a format code and its options to exactly one writer of
// the format table. Used by Convert/Save and by zendra-cli.
#pragma once

#include "core/format_table.h"
#include "platform/win32.h"

// The extension of a format code (its row's default), or null for codes outside the table.
const char* FormatExtension(int format);

// True when this build has the writer for the format code.
bool WriterAvailable(int format);

// Writes the Image record to path with the writer of the format code.
WriteResult WritePicture(HGLOBAL image, const char* path, int format, int option1, int option2);
