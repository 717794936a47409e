// Quarter turns of an Image record, used by TransformPicture.
#pragma once

#include "platform/win32.h"

// Replaces *picture (a valid record) by a new block turned clockwise by 90
// (operation TRANSFORM_ROTATE_90) or 270 degrees (TRANSFORM_ROTATE_270), and
// frees the old block. False, with *picture untouched, when the turned record
// would be too large or its block cannot be allocated; shows no message.
bool RotateQuarterTurn(HGLOBAL* picture, int operation);
