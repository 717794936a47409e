// Windows icon and cursor files (a directory of device-independent images,
// each with a transparency mask, or PNG files in later icons) and animated
// icons and cursors (a RIFF file of form "ACON" holding a sequence of icon
// files with a display order and rates).
#pragma once

#include "core/format_table.h"

// Text modes of the icon reader: a file of its own writes the full
// description, the first icon of an animated file writes the animated one,
// any other value writes nothing.
const int ICON_TEXT_OWN_FILE = 0;
const int ICON_TEXT_FIRST_ANIMATED = 1;
const int ICON_TEXT_NONE = 2;

// Reads entry index (counted from 1) of the icon or cursor file that starts at
// base in the open file, composed over white, and reports the number of
// entries through count. Returns the Image record, or no picture after telling
// the owner why. The file stays open.
ReaderResult ReadIcon(HWND owner, char* text, HFILE file, int* count, int index, long base,
                      int textMode);

// Draws an icon entry over white the way the display does: the mask with an
// AND, then the colour image with an XOR, read back into out (a locked record
// of the entry's size with 16, 24 or 32 bits). color is the colour image's
// header with its full colour table, mask the 1-bit mask's. False when the
// drawing surfaces cannot be had.
bool ComposeIconImage(HWND owner, const BITMAPINFO* color, const BYTE* colorBits,
                      const BITMAPINFO* mask, const BYTE* maskBits, BITMAPINFOHEADER* out);

// One step of an animated file's sequence table.
struct CursorStep {
    int32_t frame; // icon number, counted from 0
    uint32_t rate; // sixtieths of a second
};

// Reads an animated icon or cursor file: the frame table (one Image record
// handle per icon, null for icons that could not be read) and the sequence
// table, both movable blocks the caller owns. A picture outcome when the
// tables are filled (reported when an icon of it could not be read and said
// so), LOAD_NONE_SILENT when the file holds no usable animation (nothing is
// allocated).
LoadOutcome ReadAnimatedCursor(HWND owner, HFILE file, char* text, int* frameCount,
                               int* sequenceLength, HGLOBAL* sequenceTable, HGLOBAL* frameTable);
