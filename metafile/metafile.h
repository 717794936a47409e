// Windows metafiles (with or without the 22-byte placeable header) and
// enhanced metafiles: reading them into the system's metafile handles,
// describing them in the File information text, their palettes, and playing
// them into a device context. The callers decide mapping mode, viewport and
// target rectangle.
#pragma once

#include "platform/win32.h"

// Left, top, right, bottom: a placeable metafile's bounding box (sign-extended
// from the file) or an enhanced metafile's bounds in device units.
struct MetafileRect {
    int32_t left, top, right, bottom;
};

const int PLACEABLE_HEADER_SIZE = 22;
const uint32_t PLACEABLE_KEY = 0x9AC6CDD7;
// The File information text the readers write into is this long.
const int METAFILE_TEXT_SIZE = 500;
// No block for a metafile's bits is larger than this, whatever the header says.
const uint64_t MAX_METAFILE_BITS = 256ull * 1024 * 1024;

// Reads a Windows metafile from the open file (at offset 0): placeable ones
// from their bits behind the 22-byte header (header, frame and units per inch
// returned), plain ones by name. Writes the description into text, reports
// failures to owner and closes the file in every case. Null when there is no
// metafile (a plain file the system cannot read gives null without a message);
// reported, when given, says whether a message was shown.
HMETAFILE ReadWindowsMetafile(HWND owner, const char* name, HFILE file, char* text, bool placeable,
                              MetafileRect* frame, int* unitsPerInch,
                              BYTE header[PLACEABLE_HEADER_SIZE], bool* reported = nullptr);

// An enhanced metafile from a file holding one, or converted from a Windows
// metafile (plain: 1000 x 1000 anisotropic extents; placeable: extents from
// its bounding box in hundredths of a millimetre). Null after a message.
HENHMETAFILE LoadEnhancedMetafile(const char* name, HWND owner);

// The palette an enhanced metafile carries; null when it has none. The
// caller selects, realises and deletes it.
HPALETTE CreateMetafilePalette(HENHMETAFILE metafile);

// Plays an enhanced metafile into target on dc (which may be null: then only
// the bounds and the text are written, when asked for). Returns what the
// system's playback returned; 1 for a null metafile, 0 when its header cannot
// be read.
int PlayEnhancedMetafile(HDC dc, HENHMETAFILE metafile, const MetafileRect& target, char* text,
                         MetafileRect* bounds);

#ifdef _WIN32
// Plays a Windows metafile record by record into dc, in the mapping the
// caller has set.
void PlayWindowsMetafile(HWND window, HDC dc, HMETAFILE metafile);
#endif
