#include "test_util.h"

#include "core/image.h"

#include <gtest/gtest.h>

TEST(ImageRecord, StrideRoundsRowsToFourBytes) {
    struct Case {
        int width, bits;
        uint64_t stride;
    } cases[] = {{1, 1, 4}, {32, 1, 4}, {33, 1, 8}, {7, 4, 4}, {9, 4, 8}, {3, 8, 4},
                 {5, 8, 8}, {3, 16, 8}, {1, 24, 4}, {3, 24, 12}, {5, 24, 16}, {3, 32, 12}};
    for (const Case& c : cases) EXPECT_EQ(ImageStride(c.width, c.bits), c.stride) << c.width << "x" << c.bits;
}
