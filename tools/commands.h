// The commands of the Tools menu as plain functions of the current-image
// state: the viewer's command handler and zendra-cli only call these.
#pragma once

#include "core/command_ids.h"
#include "platform/win32.h"

#include <cstddef>

enum ToolCommand {
    CMD_ROTATE_90 = CM_ROTATE_90,
    CMD_ROTATE_180 = CM_ROTATE_180,
    CMD_ROTATE_270 = CM_ROTATE_270,
    CMD_FLIP_LR = CM_FLIP_LR,
    CMD_FLIP_TB = CM_FLIP_TB,
    CMD_INVERT = CM_INVERT,
    CMD_STANDARD_256 = CM_STANDARD_256,
    CMD_GRAYSCALE = CM_GRAYSCALE,
    CMD_MONOCHROME = CM_MONOCHROME,
    CMD_STANDARD_16 = CM_STANDARD_16,
    CMD_TRUE_COLOR = CM_TRUE_COLOR,
    CMD_RESTORE_ORIGINAL = CM_RESTORE_ORIGINAL,
    CMD_BEST_256 = CM_BEST_256,
    CMD_BEST_32 = CM_BEST_32,
    CMD_BEST_16 = CM_BEST_16,
    CMD_BRIGHTEN = CM_BRIGHTEN,
    CMD_DARKEN = CM_DARKEN,
    CMD_WEB_216 = CM_WEB_216,
};

// Runs one Tools command; false when the id is not a Tools command.
bool RunToolCommand(int id);

// Runs Tools commands in the order given; false when any of them reported a
// problem (it could not do its work and has said why).
bool RunToolCommandsInTurn(const int* ids, size_t count);

// The colour commands (126, 128-134, 183) and the geometry and tone commands
// (119-124, 127, 170, 171); RunToolCommand calls these.
bool RunColourCommand(int id);
bool RunTransformCommand(int id);

// The viewer's repaint, which the shell hands over when it opens the viewer;
// the commands call it after changing the picture. Null: nothing to repaint.
void SetViewerRepaint(void (*repaint)());
void RepaintViewer();

// Brightness back to level 0 before a colour command.
void ResetBrightness();
// The untouched picture back, orientation restored, adapted to the display.
void RestoreOriginalPicture();

// The picture a conversion writes: the original when one is kept and the user
// has not changed its colours (a reduction made only for the display), else
// the one shown.
HGLOBAL PictureToWrite();
