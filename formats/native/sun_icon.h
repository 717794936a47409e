// Sun icon files: a text header naming width, height and depth, then the
// pixels as comma-separated hexadecimal 16-bit words.
#pragma once

#include "core/format_table.h"
#include "platform/win32.h"

// Reads the file at name into a 1-bit (depth 1) or 8-bit (depth 8) Image
// record, or no picture after telling the owner why. The display depth is
// not used.
ReaderResult ReadSunIcon(const char* name, HWND owner, char* text, int displayDepth);
