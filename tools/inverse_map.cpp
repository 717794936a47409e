#include "tools/inverse_map.h"

#include <climits>

namespace {
// The nearest and farthest weighted squared distance, along one axis, from a
// map component x to the cell centres lo..hi (centre is their midpoint).
void AxisRange(int x, int lo, int hi, int centre, int weight, int* nearest, int* farthest) {
    int toLo = (x - lo) * weight, toHi = (x - hi) * weight;
    if (x < lo) {
        *nearest = toLo * toLo;
        *farthest = toHi * toHi;
    } else if (x > hi) {
        *nearest = toHi * toHi;
        *farthest = toLo * toLo;
    } else {
        *nearest = 0;
        *farthest = x <= centre ? toHi * toHi : toLo * toLo;
    }
}
} // namespace

void FillUpdateBox(WORD* cache, const ColorMap& map, int c0, int c1, int c2) {
    const int base0 = c0 & ~3, base1 = c1 & ~7, base2 = c2 & ~3;
    // Cell centres in colour units: the corner cell's and the far cell's.
    const int minR = 32 * (c0 >> 2) + 4, minG = 32 * (c1 >> 3) + 2, minB = 32 * (c2 >> 2) + 4;
    const int maxR = minR + 24, maxG = minG + 28, maxB = minB + 24;
    const int centreR = (minR + maxR) / 2, centreG = (minG + maxG) / 2, centreB = (minB + maxB) / 2;

    // An entry whose nearest distance to the box exceeds the smallest farthest
    // distance of any entry can never be the nearest (nor tie) at a cell centre.
    int nearest[256], farthest[256];
    int count = map.count < 256 ? map.count : 256;
    int bound = INT_MAX;
    for (int i = 0; i < count; i++) {
        int nr, fr, ng, fg, nb, fb;
        AxisRange(map.red[i], minR, maxR, centreR, 2, &nr, &fr);
        AxisRange(map.green[i], minG, maxG, centreG, 3, &ng, &fg);
        AxisRange(map.blue[i], minB, maxB, centreB, 1, &nb, &fb);
        nearest[i] = nr + ng + nb;
        farthest[i] = fr + fg + fb;
        if (farthest[i] < bound) bound = farthest[i];
    }
    int candidates[256];
    int candidateCount = 0;
    for (int i = 0; i < count; i++)
        if (nearest[i] <= bound) candidates[candidateCount++] = i;

    for (int a = 0; a < 4; a++)
        for (int b = 0; b < 8; b++) {
            WORD* cells = cache + CellIndex(base0 + a, base1 + b, base2);
            for (int c = 0; c < 4; c++) {
                int r = minR + 8 * a, g = minG + 4 * b, bl = minB + 8 * c;
                int best = INT_MAX, chosen = 0;
                for (int j = 0; j < candidateCount; j++) {
                    int i = candidates[j];
                    int dr = 2 * (r - map.red[i]), dg = 3 * (g - map.green[i]),
                        db = bl - map.blue[i];
                    int distance = dr * dr + dg * dg + db * db;
                    if (distance < best) {
                        best = distance;
                        chosen = i;
                    }
                }
                cells[c] = WORD(chosen + 1);
            }
        }
}
