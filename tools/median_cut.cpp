#include "tools/median_cut.h"

void CountRowColors(WORD* histogram, const BYTE* rgb, int64_t width) {
    for (int64_t x = 0; x < width; x++, rgb += 3) {
        WORD* cell = histogram + CellIndex(rgb[0] >> 3, rgb[1] >> 2, rgb[2] >> 3);
        if (*cell != 0xFFFF) ++*cell;
    }
}

namespace {
// Whether any cell inside the bounds is non-zero.
bool AnyCell(const WORD* h, int r0, int r1, int g0, int g1, int b0, int b1) {
    for (int c0 = r0; c0 <= r1; c0++)
        for (int c1 = g0; c1 <= g1; c1++) {
            const WORD* cell = h + CellIndex(c0, c1, 0);
            for (int c2 = b0; c2 <= b1; c2++)
                if (cell[c2]) return true;
        }
    return false;
}
} // namespace

void ShrinkBox(const WORD* h, ColorBox* box) {
    ColorBox& b = *box;
    // Each bound moves to the first slab holding a cell; a box always holds one,
    // so the scans always stop inside the old bounds.
    if (b.c0max > b.c0min)
        for (int c0 = b.c0min; c0 <= b.c0max; c0++)
            if (AnyCell(h, c0, c0, b.c1min, b.c1max, b.c2min, b.c2max)) {
                b.c0min = c0;
                break;
            }
    if (b.c0max > b.c0min)
        for (int c0 = b.c0max; c0 >= b.c0min; c0--)
            if (AnyCell(h, c0, c0, b.c1min, b.c1max, b.c2min, b.c2max)) {
                b.c0max = c0;
                break;
            }
    if (b.c1max > b.c1min)
        for (int c1 = b.c1min; c1 <= b.c1max; c1++)
            if (AnyCell(h, b.c0min, b.c0max, c1, c1, b.c2min, b.c2max)) {
                b.c1min = c1;
                break;
            }
    if (b.c1max > b.c1min)
        for (int c1 = b.c1max; c1 >= b.c1min; c1--)
            if (AnyCell(h, b.c0min, b.c0max, c1, c1, b.c2min, b.c2max)) {
                b.c1max = c1;
                break;
            }
    if (b.c2max > b.c2min)
        for (int c2 = b.c2min; c2 <= b.c2max; c2++)
            if (AnyCell(h, b.c0min, b.c0max, b.c1min, b.c1max, c2, c2)) {
                b.c2min = c2;
                break;
            }
    if (b.c2max > b.c2min)
        for (int c2 = b.c2max; c2 >= b.c2min; c2--)
            if (AnyCell(h, b.c0min, b.c0max, b.c1min, b.c1max, c2, c2)) {
                b.c2max = c2;
                break;
            }
    int dr = (b.c0max - b.c0min) * 16;
    int dg = (b.c1max - b.c1min) * 12;
    int db = (b.c2max - b.c2min) * 8;
    b.volume = dr * dr + dg * dg + db * db;
    int count = 0;
    for (int c0 = b.c0min; c0 <= b.c0max; c0++)
        for (int c1 = b.c1min; c1 <= b.c1max; c1++) {
            const WORD* cell = h + CellIndex(c0, c1, 0);
            for (int c2 = b.c2min; c2 <= b.c2max; c2++)
                if (cell[c2]) count++;
        }
    b.colorCount = count;
}

void BoxColor(const WORD* h, const ColorBox& b, BYTE* red, BYTE* green, BYTE* blue) {
    // 64-bit sums: a box of many full cells passes 2^32 (65535 x 252 x cells).
    uint64_t total = 0, sumR = 0, sumG = 0, sumB = 0;
    for (int c0 = b.c0min; c0 <= b.c0max; c0++)
        for (int c1 = b.c1min; c1 <= b.c1max; c1++) {
            const WORD* cell = h + CellIndex(c0, c1, 0);
            for (int c2 = b.c2min; c2 <= b.c2max; c2++) {
                uint64_t count = cell[c2];
                if (!count) continue;
                total += count;
                sumR += count * uint64_t(8 * c0 + 4);
                sumG += count * uint64_t(4 * c1 + 2);
                sumB += count * uint64_t(8 * c2 + 4);
            }
        }
    if (total == 0) { // never for a box of the cut, which always holds a cell
        *red = *green = *blue = 0;
        return;
    }
    *red = BYTE((sumR + total / 2) / total);
    *green = BYTE((sumG + total / 2) / total);
    *blue = BYTE((sumB + total / 2) / total);
}

int MedianCut(const WORD* h, int wanted, ColorBox* boxes, ColorMap* map) {
    boxes[0] = ColorBox{0, kRedCells - 1, 0, kGreenCells - 1, 0, kBlueCells - 1, 0, 0};
    ShrinkBox(h, &boxes[0]);
    int count = 1;
    while (count < wanted) {
        // First by the most cells, later by the largest volume; the earliest
        // box wins a tie. Boxes of volume 0 are single cells and cannot split.
        bool byCells = 2 * count <= wanted;
        int pick = -1;
        int best = 0;
        for (int i = 0; i < count; i++) {
            if (boxes[i].volume <= 0) continue;
            int value = byCells ? boxes[i].colorCount : boxes[i].volume;
            if (pick < 0 || value > best) {
                pick = i;
                best = value;
            }
        }
        if (pick < 0) break;
        ColorBox& a = boxes[pick];
        ColorBox& b = boxes[count];
        b = a;
        int lengthR = (a.c0max - a.c0min) * 16;
        int lengthG = (a.c1max - a.c1min) * 12;
        int lengthB = (a.c2max - a.c2min) * 8;
        // Green unless red is strictly longer; blue only when strictly longest.
        int axis = 1, longest = lengthG;
        if (lengthR > longest) {
            axis = 0;
            longest = lengthR;
        }
        if (lengthB > longest) axis = 2;
        if (axis == 0) {
            int m = (a.c0min + a.c0max) / 2;
            a.c0max = m;
            b.c0min = m + 1;
        } else if (axis == 1) {
            int m = (a.c1min + a.c1max) / 2;
            a.c1max = m;
            b.c1min = m + 1;
        } else {
            int m = (a.c2min + a.c2max) / 2;
            a.c2max = m;
            b.c2min = m + 1;
        }
        ShrinkBox(h, &a);
        ShrinkBox(h, &b);
        count++;
    }
    for (int i = 0; i < count; i++)
        BoxColor(h, boxes[i], &map->red[i], &map->green[i], &map->blue[i]);
    map->count = count;
    return count;
}
