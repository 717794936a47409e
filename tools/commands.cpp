#include "tools/commands.h"

#include "core/state.h"

bool RunToolCommand(int id) {
    return RunColourCommand(id) || RunTransformCommand(id);
}

HGLOBAL PictureToWrite() {
    if (g_original && !g_userModified && g_viewKind == KIND_RASTER) return g_original;
    return g_picture;
}
