// Error diffusion of the colour reduction: the error-limit table, rows worked
// by hand through the error row, and the serpentine order in a whole reduction.
#include "reduce_test_util.h"

#include "core/state.h"
#include "tools/error_diffusion.h"
#include "tools/reduce.h"

#include <gtest/gtest.h>

namespace {
TEST(ErrorDiffusion, LimitTable) {
    int limit[kErrorLimitSize];
    BuildErrorLimit(limit);
    const int cases[][2] = {
        {0, 0},     {1, 1},     {15, 15},   {16, 16},   {17, 16},   {18, 17},    {19, 17},
        {46, 31},   {47, 31},   {48, 32},   {100, 32},  {255, 32},  {-1, -1},    {-15, -15},
        {-16, -16}, {-17, -16}, {-18, -17}, {-47, -31}, {-48, -32}, {-255, -32},
    };
    for (const auto& c : cases) EXPECT_EQ(limit[c[0] + 255], c[1]) << "error " << c[0];
}

// Black and white only: for grey values, 127 and below map to black (1),
// 128 and above to white (0).
struct MonoMapping {
    BYTE red[2] = {255, 0}, green[2] = {255, 0}, blue[2] = {255, 0};
    ColorMap map = {red, green, blue, 2};
    std::vector<WORD> cache = std::vector<WORD>(kHistogramCells, 0);
    int limit[kErrorLimitSize];
    std::vector<int16_t> errors;
    explicit MonoMapping(int width) : errors(size_t(width + 2) * 3, 0) { BuildErrorLimit(limit); }
    Diffusion State() { return Diffusion{errors.data(), limit, cache.data(), &map}; }
    // The red error of each entry (grey rows keep all three components equal).
    std::vector<int> RedErrors() const {
        std::vector<int> out;
        for (size_t i = 0; i < errors.size(); i += 3) {
            EXPECT_EQ(errors[i], errors[i + 1]);
            EXPECT_EQ(errors[i], errors[i + 2]);
            out.push_back(errors[i]);
        }
        return out;
    }
};

std::vector<BYTE> GreyRow(const std::vector<int>& values) {
    std::vector<BYTE> rgb;
    for (int v : values) rgb.insert(rgb.end(), {BYTE(v), BYTE(v), BYTE(v)});
    return rgb;
}

// Worked by hand. Bottom row 100 100 255, left to right:
//   x0: 100 -> black, e 100; sentinel = 3*100 = 300
//   x1: 100 + limit((700 + 8) >> 4 = 44) = 130 -> white, e -125; col0 = 5*100 - 3*125 = 125
//   x2: 255 + limit((-875 + 8) >> 4 = -55) = 223 -> white, e -32;
//       col1 = 100 - 5*125 - 3*32 = -621; then col2 = -125 - 5*32 = -285
// Top row 100 100 100, right to left:
//   x2: 100 + limit((-285 + 8) >> 4 = -18) = 83 -> black, e 83; sentinel = 249
//   x1: 100 + limit((581 - 621 + 8) >> 4 = -2) = 98 -> black, e 98; col2 = 415 + 294 = 709
//   x0: 100 + limit((686 + 125 + 8) >> 4 = 51) = 132 -> white, e -123;
//       col1 = 83 + 490 - 369 = 204; then col0 = 98 - 615 = -517
TEST(ErrorDiffusion, RowsWorkedByHandThroughTheErrorRow) {
    MonoMapping m(3);
    std::vector<BYTE> out(3, 99);
    std::vector<BYTE> bottom = GreyRow({100, 100, 255});
    DiffuseRow(m.State(), bottom.data(), 3, 0, out.data());
    EXPECT_EQ(out, (std::vector<BYTE>{1, 0, 0}));
    EXPECT_EQ(m.RedErrors(), (std::vector<int>{300, 125, -621, -285, 0}));

    std::vector<BYTE> top = GreyRow({100, 100, 100});
    DiffuseRow(m.State(), top.data(), 3, 1, out.data());
    EXPECT_EQ(out, (std::vector<BYTE>{0, 1, 1}));
    EXPECT_EQ(m.RedErrors(), (std::vector<int>{300, -517, 204, 709, 249}));
}

// The diffused value is clamped before it is mapped: 255 + 21 stays 255, so
// the white pixel carries no error. Row 60 255: x0 black, e 60, sentinel 180;
// x1 255 + limit((420 + 8) >> 4 = 26) = 255 + 21 -> 255, white, e 0;
// col0 = 5*60 = 300, col1 = 60.
TEST(ErrorDiffusion, ClampsTheDiffusedValue) {
    MonoMapping m(2);
    std::vector<BYTE> out(2, 99);
    std::vector<BYTE> row = GreyRow({60, 255});
    DiffuseRow(m.State(), row.data(), 2, 0, out.data());
    EXPECT_EQ(out, (std::vector<BYTE>{1, 0}));
    EXPECT_EQ(m.RedErrors(), (std::vector<int>{180, 300, 60, 0}));
}

// A whole reduction runs the bottom stored row left to right and the next one
// right to left: the rows of the hand-worked case above come out the same.
// (Right to left, the bottom row would give 0 1 0: white, then black, then
// 100 + 30 -> white.)
TEST(ErrorDiffusion, SerpentineStartsOnTheBottomRowLeftToRight) {
    const uint32_t g = 0x646464, w = 0xFFFFFF; // grey 100, white
    HGLOBAL picture = MakeRecord(3, 2, 24, {}, {g, g, w, g, g, g});
    HGLOBAL original = nullptr;
    ReduceColors(&picture, &original, 2, KIND_RASTER, false);
    ASSERT_NE(original, nullptr);
    BITMAPINFOHEADER h = HeaderOf(picture);
    EXPECT_EQ(h.biBitCount, 1);
    EXPECT_EQ(h.biClrUsed, 2u);
    EXPECT_EQ(StoredValues(picture), (std::vector<uint32_t>{1, 0, 0, 0, 1, 1}));
    GlobalFree(picture);
    GlobalFree(original);
}
} // namespace
