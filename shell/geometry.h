// The viewer's drawing arithmetic as plain functions: shrinking in 9/10 steps
// until a picture fits, centring, and the copies of a tiled picture.
#pragma once

// Shrinks w x h by 9/10 steps (integer) while either side reaches past the
// client area (w >= cw + 1 or h >= ch + 1). A picture that fits keeps its size.
void FitByNinetenths(int w, int h, int cw, int ch, int* dw, int* dh);

// Where a picture of size `size` starts when centred in `extent`.
int CentredOrigin(int extent, int size);

// How many copies start inside `extent` when placed from 0 in steps of
// `step` (the last ones may be clipped); 0 for an empty step.
int TileCopies(int extent, int step);

// twips per pixel from a device's pixels per inch (1440 / dpi, 0 for no dpi).
int TwipsPerPixel(int pixelsPerInch);
