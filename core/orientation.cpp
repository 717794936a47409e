// RestoreOrientation: undoes the rotations, mirrors and inversion recorded in
// the orientation word with the same tools, which also bring the word back.
#include "core/image.h"
#include "core/state.h"
#include "core/transform.h"

bool RestoreOrientation(HGLOBAL* image, int* orientation) {
    if (!image || !orientation) return true;
    bool done = true;
    if (*orientation & 8)
        done = TransformPicture(image, TRANSFORM_INVERT, KIND_RASTER, orientation) && done;
    // For each of the eight layouts, the operations that bring it back to the
    // loaded one, in order (0 ends the list).
    static const int kUndo[8][2] = {
        {0, 0},
        {TRANSFORM_FLIP_LR, 0},
        {TRANSFORM_ROTATE_270, 0},
        {TRANSFORM_FLIP_TB, TRANSFORM_ROTATE_270},
        {TRANSFORM_ROTATE_180, 0},
        {TRANSFORM_FLIP_TB, 0},
        {TRANSFORM_ROTATE_90, 0},
        {TRANSFORM_FLIP_TB, TRANSFORM_ROTATE_90},
    };
    const int* steps = kUndo[*orientation & 7];
    for (int i = 0; i < 2 && steps[i] != 0; i++)
        done = TransformPicture(image, steps[i], KIND_RASTER, orientation) && done;
    return done;
}
