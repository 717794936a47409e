// The OpenGL rendering context an enhanced metafile with a pixel format is
// played into, prepared just before and released just after one playback.
// The libraries are loaded at run time; where a piece is missing the
// metafile is played without it and nobody is told.
#pragma once

#include "platform/win32.h"

// True when a rendering context is current on dc; sets *pixelFormatSet when
// dc took the metafile's pixel format (SwapBuffers is then due after playing).
bool PrepareMetafileOpenGL(HDC dc, HENHMETAFILE metafile, bool* pixelFormatSet);

// After playing: SwapBuffers when the pixel format was set, then the context
// and the libraries of the preparation released.
void FinishMetafileOpenGL(HDC dc, bool pixelFormatSet);
