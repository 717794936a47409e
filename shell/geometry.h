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

// Scroll bars of the full-screen window for a w x h picture on a cx x cy
// screen (vbar, hbar: the bars' thickness), with their ranges 0 .. max.
enum ScrollBars { SCROLL_NONE = 0, SCROLL_VERTICAL = 1, SCROLL_HORIZONTAL = 2, SCROLL_BOTH = 3 };
struct FullScreenScroll {
    int bars;
    int hMax, vMax;
};
FullScreenScroll FullScreenScrollFor(int w, int h, int cx, int cy, int vbar, int hbar);

// Where the full-screen window draws a w x h picture in its cw x ch client
// area: centred along an axis without a bar, at the (0 or negative) offset
// along an axis with one.
void FullScreenOrigin(int bars, int w, int h, int cw, int ch, int hOffset, int vOffset, int* x,
                      int* y);

// The drawing offset (0 or negative) after a scroll-bar code (SB_LINEUP ..
// SB_BOTTOM) on the vertical or horizontal bar; position is the thumb's, and
// the thumb moves the picture while it is dragged (SB_THUMBTRACK) as well as
// where it is let go (SB_THUMBPOSITION), kept within 0 .. maximum.
int ScrolledOffset(int code, bool vertical, int offset, int maximum, int position);

// The drawing offset after the mouse wheel turned by delta (120 a notch,
// positive away from the user, which scrolls towards the start), moving
// linesPerNotch lines of 8 pixels a notch, kept within -maximum .. 0.
// remainder carries what is left of a notch between messages (fine-grained
// wheels send less than 120); a turn the other way drops it.
int WheelScrolledOffset(int offset, int maximum, int delta, int linesPerNotch, int* remainder);

// How a w x h raster picture is placed on a W x H printer page: copies of
// tileW x tileH in a grid of columns x rows from (x0, y0). Normal scales a
// small picture as a 640 x 480 screen stretched over the page would, Large by
// the largest whole multiple that fits, Tiled uses the Normal scale. A picture
// larger than the page (whole multiple 0) is shrunk in 9/10 steps instead.
struct PrintLayout {
    int tileW, tileH;
    int columns, rows;
    int x0, y0;
};
PrintLayout RasterPrintLayout(int pageW, int pageH, int w, int h, bool large, bool tiled);
