// The current-image state: the one picture shown and everything known about
// it, as process-wide variables used on the single user-interface thread.
#pragma once

#include "platform/win32.h"

enum ViewKind {
    KIND_RASTER = 0,
    KIND_WMF = 1,
    KIND_EMF = 2,
    KIND_ICON_CYCLE = 4,
    KIND_ANI = 7,
    KIND_NONE = 20,
    KIND_DELETED = 21,
};

const int INFO_TEXT_SIZE = 500;
const int FILE_NAME_SIZE = 256;

struct PictureFrame {
    int32_t left, top, right, bottom;
};

extern HGLOBAL g_picture;           // the picture shown (Image record, or metafile handle)
extern HGLOBAL g_original;          // the picture before the first colour reduction
extern int g_viewKind;              // a ViewKind value
extern int g_bitCount;              // biBitCount after packing, as loaded
extern int g_colorsUsed;            // biClrUsed after packing, 1 for pure black and white
extern bool g_userModified;         // a colour reduction chosen from the Tools menu
extern bool g_monochromeTool;       // the Monochrome tool was the last colour tool
extern int g_brightness;            // Brighten (+1) and Darken (-1) steps on a palette picture
extern BYTE g_savedColors[256 * 4]; // colour table before the first brightness step
extern int g_orientation;           // bits 0-2 rotation/mirror, bit 3 inverted
extern char g_fileName[FILE_NAME_SIZE];
extern uint64_t g_fileSize;
extern HFILE g_openFile; // kept open only for KIND_ICON_CYCLE
extern char g_infoText[INFO_TEXT_SIZE];
extern int g_displayDepth;
extern HPALETTE g_palette;
extern int g_frameDelay; // animation step in units of 9 ms
extern UINT_PTR g_animationTimer;
extern int g_iconIndex, g_iconCount;
extern HGLOBAL g_frameTable;
extern int g_frameCount;
extern HGLOBAL g_sequenceTable;
extern int g_sequenceLength, g_sequencePosition;
extern bool g_placeable;
extern PictureFrame g_metafileFrame;
extern int g_unitsPerInch;
extern int g_previewLeft, g_previewTop, g_previewWidth, g_previewHeight;
extern bool g_tile;
extern bool g_fullScreenRequest;
extern HWND g_dialog, g_previewControl, g_viewerWindow, g_fullWindow, g_slideWindow;
// The full-screen window's drawing offsets (0 or negative: minus the scroll
// positions) and its scroll ranges.
extern int g_fullOffsetX, g_fullOffsetY, g_fullMaxX, g_fullMaxY;
extern bool g_slideTimer; // the slideshow's timer is pending

// What the GIF reader reports beside the frame's record and its delay (which
// goes to g_frameDelay): where the frame lies on the logical screen, and how
// it is to be composed. The loader resets it before every GIF it reads.
struct GifFrameInfo {
    int frameCount; // frames read from the file so far
    int left, top;
    int screenWidth, screenHeight;
    RGBQUAD background; // the global table's entry at the background index
    int disposal;       // disposal method of the graphic control extension
    bool transparent;
    int transparentIndex;
    RGBQUAD transparentColor;
};
extern GifFrameInfo g_gif;

// Puts every variable into its start state (nothing shown).
void InitImageState();

// Frees the current picture (and the original), stopping any animation first.
void ReleaseCurrentPicture();
