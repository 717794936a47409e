#include "shell/geometry.h"

#include <algorithm>
#include <cstdint>

void FitByNinetenths(int w, int h, int cw, int ch, int* dw, int* dh) {
    // A negative client size is an empty one; the loop then ends at 0 x 0.
    int64_t limitW = cw < 0 ? 0 : cw, limitH = ch < 0 ? 0 : ch;
    int64_t x = w < 0 ? 0 : w, y = h < 0 ? 0 : h;
    while (x >= limitW + 1 || y >= limitH + 1) {
        x = x * 9 / 10;
        y = y * 9 / 10;
    }
    *dw = int(x);
    *dh = int(y);
}

int CentredOrigin(int extent, int size) {
    return int((int64_t(extent) - size) / 2);
}

int TileCopies(int extent, int step) {
    if (step <= 0 || extent <= 0) return 0;
    return int((int64_t(extent) + step - 1) / step);
}

int TwipsPerPixel(int pixelsPerInch) {
    return pixelsPerInch > 0 ? 1440 / pixelsPerInch : 0;
}

FullScreenScroll FullScreenScrollFor(int w, int h, int cx, int cy, int vbar, int hbar) {
    FullScreenScroll s = {SCROLL_NONE, 0, 0};
    if (h <= cy && w <= cx) return s;
    if (h > cy && int64_t(w) <= int64_t(cx) - vbar) {
        s.bars = SCROLL_VERTICAL;
        s.vMax = h - cy;
    } else if (w > cx && int64_t(h) <= int64_t(cy) - hbar) {
        s.bars = SCROLL_HORIZONTAL;
        s.hMax = w - cx;
    } else {
        // Each bar also makes room for the other one.
        s.bars = SCROLL_BOTH;
        s.vMax = h - cy + hbar;
        s.hMax = w - cx + vbar;
    }
    return s;
}

void FullScreenOrigin(int bars, int w, int h, int cw, int ch, int hOffset, int vOffset, int* x,
                      int* y) {
    *x = (bars & SCROLL_HORIZONTAL) ? hOffset : CentredOrigin(cw, w);
    *y = (bars & SCROLL_VERTICAL) ? vOffset : CentredOrigin(ch, h);
}

int ScrolledOffset(int code, bool vertical, int offset, int maximum, int position) {
    switch (code) {
    case 0: // SB_LINEUP
        return offset + 8 > 0 ? 0 : offset + 8;
    case 1: // SB_LINEDOWN
        return offset - 8 < -maximum ? -maximum : offset - 8;
    case 2: // SB_PAGEUP
        return vertical ? 0 : offset;
    case 3: // SB_PAGEDOWN
        return vertical ? -maximum : offset;
    case 4: // SB_THUMBPOSITION
    case 5: // SB_THUMBTRACK
        return position < 0 ? 0 : position > maximum ? -maximum : -position;
    case 6: // SB_TOP
        return 0;
    case 7: // SB_BOTTOM
        return -maximum;
    default: // SB_ENDSCROLL and anything else
        return offset;
    }
}

int WheelScrolledOffset(int offset, int maximum, int delta, int linesPerNotch, int* remainder) {
    const int notch = 120; // WHEEL_DELTA
    if ((*remainder < 0 && delta > 0) || (*remainder > 0 && delta < 0)) *remainder = 0;
    int64_t total = int64_t(*remainder) + delta;
    int64_t notches = total / notch;
    *remainder = int(total - notches * notch);
    int64_t moved = int64_t(offset) + notches * (linesPerNotch < 0 ? 0 : linesPerNotch) * 8;
    if (moved > 0) return 0;
    if (moved < -int64_t(maximum)) return -maximum;
    return int(moved);
}

PrintLayout RasterPrintLayout(int pageW, int pageH, int w, int h, bool large, bool tiled) {
    PrintLayout p = {0, 0, 0, 0, 0, 0};
    if (w <= 0 || h <= 0 || pageW <= 0 || pageH <= 0) return p;
    int64_t s;
    if (!large && w < 640 && h < 480)
        s = std::min(pageW / 640, pageH / 480);
    else
        s = std::min(pageW / w, pageH / h);
    if (s > 0) {
        p.tileW = int(s * w);
        p.tileH = int(s * h);
    } else {
        FitByNinetenths(w, h, pageW, pageH, &p.tileW, &p.tileH);
        if (p.tileW <= 0 || p.tileH <= 0) return p;
    }
    if (tiled) {
        p.columns = pageW / p.tileW;
        p.rows = pageH / p.tileH;
    } else {
        p.columns = p.rows = 1;
    }
    p.x0 = int((int64_t(pageW) - int64_t(p.columns) * p.tileW) / 2);
    p.y0 = int((int64_t(pageH) - int64_t(p.rows) * p.tileH) / 2);
    return p;
}

uint32_t MetafileNaturalSize(int32_t lo, int32_t hi, int twips, int unitsPerInch) {
    uint32_t divisor = uint32_t(twips) * uint32_t(unitsPerInch);
    if (divisor == 0) return 0;
    return (uint32_t(hi) - uint32_t(lo) + 1u) * 1440u / divisor;
}

void FitMetafileByNinetenths(uint32_t* x, uint32_t* y, uint32_t availW, uint32_t availH) {
    uint64_t w = *x, h = *y;
    // An empty area stops at 0 x 0 instead of shrinking forever.
    while ((w >= availW || h >= availH) && (w || h)) {
        w = w * 9 / 10;
        h = h * 9 / 10;
    }
    *x = uint32_t(w);
    *y = uint32_t(h);
}

void GrowMetafileByTenninths(uint32_t* w, uint32_t* h, uint32_t pageW, uint32_t pageH) {
    uint64_t x = *w, y = *h;
    while (x < pageW && y < pageH) {
        uint64_t nx = x * 10 / 9, ny = y * 10 / 9;
        if (nx == x && ny == y) break; // below 9 pixels a step grows nothing
        x = nx;
        y = ny;
    }
    *w = uint32_t(x);
    *h = uint32_t(y);
}

int MetafileExtent(int32_t lo, int32_t hi) {
    int64_t extent = int64_t(hi) - lo + 1;
    if (extent <= 0) return 0;
    return extent > INT32_MAX ? INT32_MAX : int(extent);
}

MetafileGrid MetafileTileGrid(uint32_t availW, uint32_t availH, uint32_t w, uint32_t h) {
    MetafileGrid g = {0, 0, 0, 0};
    if (w == 0 || h == 0) return g;
    g.columns = availW / w;
    g.rows = availH / h;
    g.x0 = int((uint64_t(availW) - uint64_t(w) * g.columns) / 2);
    g.y0 = int((uint64_t(availH) - uint64_t(h) * g.rows) / 2);
    return g;
}
