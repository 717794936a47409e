#include "reduce_test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "tools/reduce.h"

#include <cstring>

HGLOBAL MakeRecord(int width, int height, int bits, const std::vector<uint32_t>& palette,
                   const std::vector<uint32_t>& pixels, int clrUsed) {
    int colors = bits <= 8 ? int(palette.size()) : 0;
    HGLOBAL image = AllocImageRecord(width, height, bits, colors);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if (clrUsed >= 0) h->biClrUsed = DWORD(clrUsed);
    BYTE* table = reinterpret_cast<BYTE*>(h) + 40;
    for (int i = 0; i < colors; i++) {
        table[4 * i] = BYTE(palette[i]);
        table[4 * i + 1] = BYTE(palette[i] >> 8);
        table[4 * i + 2] = BYTE(palette[i] >> 16);
    }
    BYTE* rows = reinterpret_cast<BYTE*>(h) + 40 + 4 * colors;
    uint64_t stride = ImageStride(width, bits);
    for (int y = 0; y < height; y++) {
        BYTE* row = rows + stride * uint64_t(y);
        for (int x = 0; x < width; x++) {
            uint32_t v = pixels[size_t(y) * width + x];
            switch (bits) {
            case 1:
                if (v & 1) row[x / 8] |= BYTE(0x80 >> (x % 8));
                break;
            case 4:
                row[x / 2] |= (x & 1) ? BYTE(v & 15) : BYTE((v & 15) << 4);
                break;
            default:
                for (int k = 0; k < bits / 8; k++) row[x * (bits / 8) + k] = BYTE(v >> (8 * k));
            }
        }
    }
    GlobalUnlock(image);
    return image;
}

Bytes BlockBytes(HGLOBAL block) {
    const BYTE* p = static_cast<const BYTE*>(GlobalLock(block));
    Bytes out(p, p + GlobalSize(block));
    GlobalUnlock(block);
    return out;
}

Bytes RecordContent(HGLOBAL image) {
    Bytes bytes = BlockBytes(image);
    BITMAPINFOHEADER h = HeaderOf(image);
    int colours = h.biBitCount <= 8 ? ImageColorCount(&h) : 0;
    uint64_t n = ImageBlockBytes(h.biWidth, h.biHeight, h.biBitCount, colours);
    if (n < bytes.size()) bytes.resize(n);
    return bytes;
}

HGLOBAL CopyBlock(HGLOBAL block) {
    Bytes bytes = BlockBytes(block);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(copy), bytes.data(), bytes.size());
    GlobalUnlock(copy);
    return copy;
}

Bytes ReducedCopy(HGLOBAL picture, int target) {
    HGLOBAL copy = CopyBlock(picture);
    HGLOBAL original = nullptr;
    ReduceColors(&copy, &original, target, KIND_RASTER, false);
    Bytes bytes = RecordContent(copy);
    GlobalFree(copy);
    if (original) GlobalFree(original);
    return bytes;
}

std::vector<uint32_t> StoredValues(HGLOBAL image) {
    BITMAPINFOHEADER h = HeaderOf(image);
    std::vector<uint32_t> out;
    for (int y = h.biHeight - 1; y >= 0; y--)
        for (int x = 0; x < h.biWidth; x++) out.push_back(RawPixelAt(image, x, y));
    return out;
}

std::vector<Rgb> TableOf(HGLOBAL image) {
    std::vector<Rgb> out;
    for (uint32_t c : RecordColors(image))
        out.push_back(Rgb{int(c >> 16), int((c >> 8) & 255), int(c & 255)});
    return out;
}

std::vector<Rgb> SourceColours(HGLOBAL image) {
    BITMAPINFOHEADER h = HeaderOf(image);
    std::vector<Rgb> table = TableOf(image);
    std::vector<Rgb> out;
    for (uint32_t v : StoredValues(image)) {
        if (h.biBitCount <= 8)
            out.push_back(v < table.size() ? table[v] : Rgb{0, 0, 0});
        else if (h.biBitCount == 16)
            out.push_back(Rgb{int((v >> 10) & 31) * 8, int((v >> 5) & 31) * 8, int(v & 31) * 8});
        else
            out.push_back(Rgb{int(v >> 16), int((v >> 8) & 255), int(v & 255)});
    }
    return out;
}

int NearestAtCellCentre(const std::vector<Rgb>& palette, Rgb c) {
    int r = (c.r / 8) * 8 + 4, g = (c.g / 4) * 4 + 2, b = (c.b / 8) * 8 + 4;
    int best = -1;
    long bestDistance = 0;
    for (size_t i = 0; i < palette.size(); i++) {
        long dr = 2 * (r - palette[i].r), dg = 3 * (g - palette[i].g), db = b - palette[i].b;
        long d = dr * dr + dg * dg + db * db;
        if (best < 0 || d < bestDistance) {
            best = int(i);
            bestDistance = d;
        }
    }
    return best;
}

namespace {
int FloorSixteenth(int v) {
    return v >= 0 ? v / 16 : -((-v + 15) / 16);
}

int Limited(int v) {
    if (v >= 48) return 32;
    if (v <= -48) return -32;
    if (v > -16 && v < 16) return v;
    return v > 0 ? 16 + (v - 16) / 2 : -(16 + (-v - 16) / 2);
}
} // namespace

std::vector<uint32_t> ReferenceMapping(const std::vector<Rgb>& source, int width, int height,
                                       const std::vector<Rgb>& palette) {
    // error[(y * width + x) * 3 + c]: the full error of every pixel.
    std::vector<int> error(size_t(width) * height * 3, 0);
    std::vector<uint32_t> out(size_t(width) * height, 0);
    auto at = [&](int x, int y, int c) {
        if (x < 0 || x >= width || y < 0) return 0;
        return error[(size_t(y) * width + x) * 3 + c];
    };
    for (int y = 0; y < height; y++) {
        int d = y % 2 == 0 ? 1 : -1;
        int above = -d; // the direction of the row before
        for (int n = 0; n < width; n++) {
            int x = d > 0 ? n : width - 1 - n;
            const Rgb& p = source[size_t(y) * width + x];
            int pc[3] = {p.r, p.g, p.b}, value[3];
            for (int c = 0; c < 3; c++) {
                int incoming = n > 0 ? 7 * at(x - d, y, c) : 0;
                if (y > 0)
                    incoming +=
                        at(x - above, y - 1, c) + 5 * at(x, y - 1, c) + 3 * at(x + above, y - 1, c);
                int v = pc[c] + Limited(FloorSixteenth(incoming + 8));
                value[c] = v < 0 ? 0 : v > 255 ? 255 : v;
            }
            int index = NearestAtCellCentre(palette, Rgb{value[0], value[1], value[2]});
            out[size_t(y) * width + x] = uint32_t(index);
            const Rgb& m = palette[index];
            int mc[3] = {m.r, m.g, m.b};
            for (int c = 0; c < 3; c++) error[(size_t(y) * width + x) * 3 + c] = value[c] - mc[c];
        }
    }
    return out;
}
