// Loading a file into the current-image state: the header probe, format
// detection by magic values and extension, and the reader calling contract.
#pragma once

#include "core/format_table.h"
#include "platform/win32.h"

// The last three characters of a name match ext (three letters), in any case.
bool ExtensionIs(const char* name, const char* ext);

// Decides the format of an open file (positioned at 0, and left there) by the
// format table's detection rules.
DetectedFormat DetectFormat(HFILE file, const char* name);

// File size as FindFirstFileA reports it; 0 when the file cannot be found.
uint64_t QueryFileSize(const char* name);

// Opens, detects and reads a file into the current-image state (which the
// caller has released), records the display depth, packs the picture and
// applies the monochrome test; the shell then adapts it to its display
// (tools/display.h). The outcome says whether a picture is in place
// and whether a message was shown on the way.
LoadOutcome LoadPicture(const char* name, HWND owner, int displayDepth);

// LoadPicture for callers that only ask whether a picture is in place.
bool LoadPictureFile(const char* name, HWND owner, int displayDepth);

// The animation's step (in 9 ms units) for a display time in sixtieths of a second.
int AnimationDelay(uint32_t rate);

// The size of the read buffer the loader lends the PCX and Targa readers.
const int READ_BUFFER_SIZE = 2048;
