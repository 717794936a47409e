// Rotations, mirrors, inversion, brightness and grey levels.
#pragma once

#include "platform/win32.h"

enum TransformCode {
    TRANSFORM_ROTATE_90 = 90,
    TRANSFORM_ROTATE_180 = 180,
    TRANSFORM_ROTATE_270 = 270,
    TRANSFORM_FLIP_LR = -1,
    TRANSFORM_FLIP_TB = -2,
    TRANSFORM_INVERT = 10,
};

// False exactly when it showed a message (not a bitmap, or out of memory).
bool TransformPicture(HGLOBAL* picture, int operation, int viewKind, int* orientation);
void MirrorRow(BYTE* row, int width, int bitCount, BYTE* scratch);
void AdjustBrightness(HGLOBAL picture, BYTE* savedColors, int* level, int step);
void MakeGrayscale(HGLOBAL* current, HGLOBAL* original, int viewKind);
