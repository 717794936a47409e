#include "core/state.h"

#include <cstring>

HGLOBAL g_picture = nullptr;
HGLOBAL g_original = nullptr;
int g_viewKind = KIND_NONE;
int g_bitCount = 0;
int g_colorsUsed = 0;
bool g_userModified = false;
bool g_monochromeTool = false;
int g_brightness = 0;
BYTE g_savedColors[256 * 4];
int g_orientation = 0;
char g_fileName[FILE_NAME_SIZE];
uint64_t g_fileSize = 0;
HFILE g_openFile = HFILE_ERROR;
char g_infoText[INFO_TEXT_SIZE];
int g_displayDepth = 32;
HPALETTE g_palette = nullptr;
int g_frameDelay = 25;
UINT_PTR g_animationTimer = 0;
int g_iconIndex = 0, g_iconCount = 0;
HGLOBAL g_frameTable = nullptr;
int g_frameCount = 0;
HGLOBAL g_sequenceTable = nullptr;
int g_sequenceLength = 0, g_sequencePosition = 0;
bool g_placeable = false;
PictureFrame g_metafileFrame = {0, 0, 0, 0};
int g_unitsPerInch = 0;
int g_previewLeft = 0, g_previewTop = 0, g_previewWidth = 320, g_previewHeight = 320;
bool g_tile = false;
bool g_fullScreenRequest = false;
int g_fullOffsetX = 0, g_fullOffsetY = 0, g_fullMaxX = 0, g_fullMaxY = 0;
bool g_slideTimer = false;
GifFrameInfo g_gif = {};
HWND g_dialog = nullptr, g_previewControl = nullptr, g_viewerWindow = nullptr,
     g_fullWindow = nullptr, g_slideWindow = nullptr;

void InitImageState() {
    g_picture = g_original = nullptr;
    g_viewKind = KIND_NONE;
    g_bitCount = g_colorsUsed = 0;
    g_userModified = g_monochromeTool = false;
    g_brightness = 0;
    std::memset(g_savedColors, 0, sizeof g_savedColors);
    g_orientation = 0;
    g_fileName[0] = 0;
    g_fileSize = 0;
    g_openFile = HFILE_ERROR;
    g_infoText[0] = 0;
    g_palette = nullptr;
    g_frameDelay = 25;
    g_animationTimer = 0;
    g_iconIndex = g_iconCount = 0;
    g_frameTable = g_sequenceTable = nullptr;
    g_frameCount = g_sequenceLength = g_sequencePosition = 0;
    g_placeable = false;
    g_metafileFrame = PictureFrame{0, 0, 0, 0};
    g_unitsPerInch = 0;
    g_previewLeft = g_previewTop = 0;
    g_previewWidth = g_previewHeight = 320;
    g_tile = g_fullScreenRequest = false;
    g_fullOffsetX = g_fullOffsetY = g_fullMaxX = g_fullMaxY = 0;
    g_slideTimer = false;
    g_gif = GifFrameInfo{};
    g_dialog = g_previewControl = g_viewerWindow = g_fullWindow = g_slideWindow = nullptr;
}

void ReleaseCurrentPicture() {
    if ((g_viewKind == KIND_ICON_CYCLE || g_viewKind == KIND_ANI) && g_animationTimer) {
        KillTimer(g_dialog, 0);
        g_animationTimer = 0;
    }
    if (g_viewKind == KIND_ICON_CYCLE && g_openFile != HFILE_ERROR) {
        _lclose(g_openFile);
        g_openFile = HFILE_ERROR;
    }
    if (g_viewKind == KIND_ANI) {
        // The current picture is one of the frames, owned by the frame table.
        if (g_frameTable) {
            HGLOBAL* frames = static_cast<HGLOBAL*>(GlobalLock(g_frameTable));
            if (frames) {
                size_t slots = GlobalSize(g_frameTable) / sizeof(HGLOBAL);
                for (int i = 0; i < g_frameCount && size_t(i) < slots; i++)
                    if (frames[i]) GlobalFree(frames[i]);
                GlobalUnlock(g_frameTable);
            }
            GlobalFree(g_frameTable);
        }
        if (g_sequenceTable) GlobalFree(g_sequenceTable);
        g_frameTable = g_sequenceTable = nullptr;
        g_frameCount = g_sequenceLength = g_sequencePosition = 0;
    } else if (g_viewKind == KIND_WMF) {
        if (g_picture) DeleteMetaFile(reinterpret_cast<HMETAFILE>(g_picture));
    } else if (g_viewKind == KIND_EMF) {
        if (g_picture) DeleteEnhMetaFile(reinterpret_cast<HENHMETAFILE>(g_picture));
    } else if (g_picture) {
        GlobalFree(g_picture);
    }
    g_picture = nullptr;
    if (g_original) {
        GlobalFree(g_original);
        g_original = nullptr;
    }
}
