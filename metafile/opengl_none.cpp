// Hosts without OpenGL: enhanced metafiles are played without a context.
#include "metafile/opengl.h"

bool PrepareMetafileOpenGL(HDC, HENHMETAFILE, bool* pixelFormatSet) {
    *pixelFormatSet = false;
    return false;
}

void FinishMetafileOpenGL(HDC, bool) {}
