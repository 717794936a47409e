// The viewer's drawing arithmetic as plain functions: shrinking in 9/10 steps
// until a picture fits, centring, and the copies of a tiled picture.
#pragma once

#include <cstdint>

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

// A placeable metafile's natural size along one axis in device pixels: the
// bounding box's extent (hi - lo + 1) in units of unitsPerInch, at twips
// twips per pixel, in unsigned 32-bit arithmetic; 0 when twips or
// unitsPerInch is 0 (a device or file that gives no size).
uint32_t MetafileNaturalSize(int32_t lo, int32_t hi, int twips, int unitsPerInch);

// Shrinks x x y by 9/10 steps while x >= availW or y >= availH (unsigned).
void FitMetafileByNinetenths(uint32_t* x, uint32_t* y, uint32_t availW, uint32_t availH);

// Print Large: grows w x h by 10/9 steps while both are below the page
// (placeable metafiles: while w < pageW and h < pageH; enhanced ones: the same
// with the height tested first). Stops when a step no longer grows them.
void GrowMetafileByTenninths(uint32_t* w, uint32_t* h, uint32_t pageW, uint32_t pageH);

// The extent hi - lo + 1 of an enhanced metafile's bounds, 0 when it is not
// positive, at most INT32_MAX.
int MetafileExtent(int32_t lo, int32_t hi);

// A centred grid of whole copies of w x h in availW x availH: columns, rows
// and the first copy's corner; no copies when w or h is 0.
struct MetafileGrid {
    uint32_t columns, rows;
    int x0, y0;
};
MetafileGrid MetafileTileGrid(uint32_t availW, uint32_t availH, uint32_t w, uint32_t h);
