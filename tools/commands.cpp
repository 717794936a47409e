#include "tools/commands.h"

#include "core/state.h"

namespace {
void (*g_repaint)() = nullptr;
} // namespace

void SetViewerRepaint(void (*repaint)()) {
    g_repaint = repaint;
}

void RepaintViewer() {
    if (g_repaint) g_repaint();
}

bool RunToolCommand(int id) {
    return RunColourCommand(id) || RunTransformCommand(id);
}

bool RunToolCommandsInTurn(const int* ids, size_t count) {
    const unsigned long messagesBefore = MessagesShown();
    for (size_t i = 0; i < count; i++) RunToolCommand(ids[i]);
    return MessagesShown() == messagesBefore;
}

HGLOBAL PictureToWrite() {
    if (g_original && !g_userModified && g_viewKind == KIND_RASTER) return g_original;
    return g_picture;
}
