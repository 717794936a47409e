// The commands of the Tools menu as plain functions of the current-image
// state: the viewer's command handler and zendra-cli only call these.
#pragma once

#include "platform/win32.h"

enum ToolCommand {
    CMD_ROTATE_90 = 119,
    CMD_ROTATE_180 = 120,
    CMD_ROTATE_270 = 121,
    CMD_FLIP_LR = 122,
    CMD_FLIP_TB = 123,
    CMD_INVERT = 124,
    CMD_STANDARD_256 = 126,
    CMD_GRAYSCALE = 127,
    CMD_MONOCHROME = 128,
    CMD_STANDARD_16 = 129,
    CMD_TRUE_COLOR = 130,
    CMD_RESTORE_ORIGINAL = 131,
    CMD_BEST_256 = 132,
    CMD_BEST_32 = 133,
    CMD_BEST_16 = 134,
    CMD_BRIGHTEN = 170,
    CMD_DARKEN = 171,
    CMD_WEB_216 = 183,
};

// Runs one Tools command; false when the id is not a Tools command.
bool RunToolCommand(int id);

// The colour commands (126, 128-134, 183) and the geometry and tone commands
// (119-124, 127, 170, 171); RunToolCommand calls these.
bool RunColourCommand(int id);
bool RunTransformCommand(int id);

// Brightness back to level 0 before a colour command.
void ResetBrightness();
// The untouched picture back, orientation restored, adapted to the display.
void RestoreOriginalPicture();

// The picture a conversion writes: the original when one is kept and the user
// has not changed its colours (a reduction made only for the display), else
// the one shown.
HGLOBAL PictureToWrite();
