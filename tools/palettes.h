// The fixed palettes of the colour reduction: black and white, the 16 and 256
// standard colours, and the 216-colour web cube.
#pragma once

#include "platform/win32.h"

// Writes the palette of target 2, 16, 216 or 256 (room for that many entries)
// and returns its size; any other target writes nothing and returns 0.
int FillFixedPalette(int target, RGBQUAD* table);
