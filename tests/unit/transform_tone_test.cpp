// Inversion, brightness and grey levels: exact colours, what each leaves alone,
// and the refusals.
#include "unit/transform_test_util.h"

#include "core/state.h"
#include "core/transform.h"

#include <gtest/gtest.h>

namespace {
const char kNotBitmap[] = "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap";
const char kNoMemory[] = "Insufficient Memory for this Operation.";

void SetColor(HGLOBAL image, int index, BYTE red, BYTE green, BYTE blue, BYTE reserved = 0) {
    BYTE* c = static_cast<BYTE*>(GlobalLock(image)) + 40 + 4 * index;
    c[0] = blue;
    c[1] = green;
    c[2] = red;
    c[3] = reserved;
    GlobalUnlock(image);
}

BYTE ReservedOf(HGLOBAL image, int index) {
    BYTE v = static_cast<BYTE*>(GlobalLock(image))[43 + 4 * index];
    GlobalUnlock(image);
    return v;
}
} // namespace

TEST(TransformTone, InvertPaletteChangesOnlyTheTable) {
    for (int bits : {1, 4, 8}) {
        HGLOBAL picture = PatternPicture(7, 3, bits, bits == 8 ? 200 : 0);
        const Bytes pixels = RecordPixelBytes(picture);
        const std::vector<uint32_t> colors = RecordColors(picture);
        std::vector<BYTE> reserved;
        for (size_t i = 0; i < colors.size(); i++) reserved.push_back(ReservedOf(picture, int(i)));
        int word = 2;
        TransformPicture(&picture, TRANSFORM_INVERT, KIND_RASTER, &word);
        EXPECT_EQ(word, 10);
        EXPECT_EQ(RecordPixelBytes(picture), pixels);
        std::vector<uint32_t> inverted = RecordColors(picture);
        ASSERT_EQ(inverted.size(), colors.size());
        for (size_t i = 0; i < colors.size(); i++) {
            EXPECT_EQ(inverted[i], colors[i] ^ 0xFFFFFFu) << bits << " bits, entry " << i;
            EXPECT_EQ(ReservedOf(picture, int(i)), reserved[i]);
        }
        TransformPicture(&picture, TRANSFORM_INVERT, KIND_RASTER, &word);
        EXPECT_EQ(word, 2);
        EXPECT_EQ(RecordColors(picture), colors);
        GlobalFree(picture);
    }
}

TEST(TransformTone, InvertPixels) {
    struct Case {
        int bits;
        Bytes row, expected; // one row of two pixels with its padding
    } cases[] = {
        // 16-bit: 0x7FFF -> 0x0000, 0x8000 (black with the top bit) -> 0x7FFF.
        {16, {0xFF, 0x7F, 0x00, 0x80}, {0x00, 0x00, 0xFF, 0x7F}},
        // 0x1234 -> 31 - each component, top bit clear: 0x6DCB; 0xFFFF -> 0.
        {16, {0x34, 0x12, 0xFF, 0xFF}, {0xCB, 0x6D, 0x00, 0x00}},
        // 24-bit: every pixel byte; the two padding bytes stay.
        {24, {0, 1, 2, 0x80, 0xFE, 0xFF, 0x5A, 0xA5}, {0xFF, 0xFE, 0xFD, 0x7F, 1, 0, 0x5A, 0xA5}},
        // 32-bit: blue, green, red; the fourth byte stays.
        {32, {0, 1, 2, 3, 0x10, 0x20, 0x30, 0x40}, {0xFF, 0xFE, 0xFD, 3, 0xEF, 0xDF, 0xCF, 0x40}},
    };
    for (const Case& c : cases) {
        HGLOBAL picture = AllocImageRecord(2, 1, c.bits, 0);
        BYTE* pixels = ImagePixels(static_cast<BITMAPINFOHEADER*>(GlobalLock(picture)));
        std::memcpy(pixels, c.row.data(), c.row.size());
        GlobalUnlock(picture);
        int word = 0;
        TransformPicture(&picture, TRANSFORM_INVERT, KIND_RASTER, &word);
        EXPECT_EQ(RecordPixelBytes(picture), c.expected) << c.bits << " bits";
        EXPECT_EQ(word, 8);
        GlobalFree(picture);
    }
}

TEST(TransformTone, BrightnessSteps) {
    // Entry 0 is (128, 64, 0); entries 1 and 2 the ends of the scale, which no
    // curve moves. Each row: the step, the level after it, entry 0 after it.
    struct Step {
        int step, level;
        BYTE red, green, blue;
    };
    const struct Case {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"brighten", {{+1, 1, 157, 96, 0}}},
        {"darken", {{-1, -1, 96, 36, 0}}},
        {"brighten then darken", {{+1, 1, 157, 96, 0}, {-1, 0, 128, 64, 0}}},
        {"darken then brighten", {{-1, -1, 96, 36, 0}, {+1, 0, 128, 64, 0}}},
        // Two steps: gamma 0.5 and 2, from the saved table, not from the last one.
        {"brighten twice", {{+1, 1, 157, 96, 0}, {+1, 2, 181, 128, 0}}},
        {"darken twice", {{-1, -1, 96, 36, 0}, {-1, -2, 64, 16, 0}}},
        {"restore", {{+1, 1, 157, 96, 0}, {+1, 2, 181, 128, 0}, {0, 0, 128, 64, 0}}},
    };
    for (int bits : {1, 4, 8}) {
        for (const Case& c : cases) {
            HGLOBAL picture = PatternPicture(5, 2, bits);
            SetColor(picture, 0, 128, 64, 0, 0x77);
            SetColor(picture, 1, 255, 0, 255, 0x11);
            const Bytes pixels = RecordPixelBytes(picture);
            const std::vector<uint32_t> before = RecordColors(picture);
            BYTE saved[1024] = {};
            int level = 0;
            for (const Step& s : c.steps) {
                AdjustBrightness(picture, saved, &level, s.step);
                EXPECT_EQ(level, s.level) << c.name;
                EXPECT_EQ(RecordColors(picture)[0],
                          uint32_t(s.red) << 16 | uint32_t(s.green) << 8 | s.blue)
                    << c.name << ", " << bits << " bits, after step " << s.step;
                EXPECT_EQ(RecordColors(picture)[1], 0xFF00FFu) << c.name;
                EXPECT_EQ(ReservedOf(picture, 0), 0x77);
            }
            EXPECT_EQ(RecordPixelBytes(picture), pixels);
            // The saved table holds the colours before the first step.
            EXPECT_EQ(saved[0], 0);
            EXPECT_EQ(saved[1], 64);
            EXPECT_EQ(saved[2], 128);
            if (c.steps.back().level == 0) {
                EXPECT_EQ(RecordColors(picture), before) << c.name;
            }
            GlobalFree(picture);
        }
    }
}

TEST(TransformTone, BrightnessLeavesOtherPicturesAlone) {
    // Above 8 bits nothing changes; without its table allocation nothing does.
    HGLOBAL deep = PatternPicture(4, 4, 24);
    const Bytes deepBytes = RecordBytes(deep);
    BYTE saved[1024] = {};
    int level = 0;
    AdjustBrightness(deep, saved, &level, 1);
    EXPECT_EQ(RecordBytes(deep), deepBytes);
    EXPECT_EQ(level, 0);
    GlobalFree(deep);

    HGLOBAL palette = PatternPicture(4, 4, 8);
    const Bytes paletteBytes = RecordBytes(palette);
    FailGlobalAllocAt(1);
    AdjustBrightness(palette, saved, &level, 1);
    FailGlobalAllocAt(0);
    EXPECT_EQ(RecordBytes(palette), paletteBytes);
    EXPECT_EQ(level, 0);
    AdjustBrightness(nullptr, saved, &level, 1);
    EXPECT_EQ(level, 0);
    GlobalFree(palette);
}

TEST(TransformTone, GreyOfDeepPictures) {
    // Grey = (30 red + 59 green + 11 blue) / 100, truncated; 16-bit components
    // are taken as c << 3.
    struct Case {
        int bits;
        Bytes pixel; // as stored
        BYTE grey;
    } cases[] = {
        {24, {10, 200, 100}, 149},
        {32, {10, 200, 100, 0xEE}, 149},
        {24, {255, 255, 255}, 255},
        {24, {0, 0, 1}, 0},
        {24, {0, 2, 0}, 1},
        // red 31, green 0, blue 0: 30 x 248 / 100 = 74.
        {16, {0x00, 0x7C}, 74},
        // red 12, green 25, blue 3 with the top bit: (30 x 96 + 59 x 200 + 11 x 24) / 100 = 149.
        {16, {0x23, 0xB3}, 149},
    };
    for (const Case& c : cases) {
        HGLOBAL current = AllocImageRecord(3, 2, c.bits, 0);
        {
            BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(current));
            h->biXPelsPerMeter = 1234;
            BYTE* top = ImagePixels(h) + ImageStride(3, c.bits);
            std::memcpy(top + c.pixel.size(), c.pixel.data(), c.pixel.size()); // (1, 0)
            GlobalUnlock(current);
        }
        HGLOBAL before = current;
        HGLOBAL original = nullptr;
        MakeGrayscale(&current, &original, KIND_RASTER);
        ASSERT_NE(current, before);
        EXPECT_EQ(original, before) << "the colour picture is kept as the original";
        BITMAPINFOHEADER h = HeaderOf(current);
        EXPECT_EQ(h.biBitCount, 8);
        EXPECT_EQ(h.biClrUsed, 0u);
        EXPECT_EQ(h.biWidth, 3);
        EXPECT_EQ(h.biHeight, 2);
        EXPECT_EQ(h.biXPelsPerMeter, 1234);
        EXPECT_EQ(GlobalSize(current), 4u * 2 + 1064);
        EXPECT_TRUE(IsValidImageRecord(current));
        std::vector<uint32_t> table = RecordColors(current);
        ASSERT_EQ(table.size(), 256u);
        for (uint32_t i = 0; i < 256; i++) ASSERT_EQ(table[i], i * 0x010101u);
        EXPECT_EQ(RawPixelAt(current, 1, 0), c.grey) << c.bits << " bits";
        EXPECT_EQ(RawPixelAt(current, 0, 0), 0u);
        EXPECT_EQ(RawPixelAt(current, 2, 1), 0u);
        GlobalFree(current);
        GlobalFree(original);
    }
}

TEST(TransformTone, GreyOfPalettePictures) {
    // Palette pictures keep their pixels and bit count (after packing) and get
    // a grey table; 8-bit pictures of at most 16 colours are packed to 4 bits.
    struct Case {
        int bits, colors, bitsAfter;
    } cases[] = {{1, 0, 1}, {4, 0, 4}, {4, 3, 4}, {8, 0, 8}, {8, 16, 4}, {8, 2, 1}};
    for (const Case& c : cases) {
        HGLOBAL current = PatternPicture(9, 3, c.bits, c.colors);
        SetColor(current, 0, 100, 200, 10, 0x55);
        SetColor(current, 1, 255, 255, 255);
        std::vector<uint32_t> colors = RecordColors(current);
        // Indices inside the table, so that packing keeps every one.
        uint32_t raw[3][9];
        for (int y = 0; y < 3; y++) {
            for (int x = 0; x < 9; x++) {
                raw[y][x] = PatternValue(x, y) % colors.size();
                SetRawPixel(current, x, y, raw[y][x]);
            }
        }
        HGLOBAL original = nullptr;
        HGLOBAL before = current;
        MakeGrayscale(&current, &original, KIND_RASTER);
        EXPECT_EQ(original, before);
        BITMAPINFOHEADER h = HeaderOf(current);
        EXPECT_EQ(h.biBitCount, c.bitsAfter);
        EXPECT_EQ(h.biClrUsed, DWORD(c.colors));
        std::vector<uint32_t> grey = RecordColors(current);
        ASSERT_EQ(grey.size(), colors.size());
        EXPECT_EQ(grey[0], 149u * 0x010101u);
        EXPECT_EQ(grey[1], 255u * 0x010101u);
        for (size_t i = 0; i < grey.size(); i++) {
            uint32_t r = colors[i] >> 16, g = (colors[i] >> 8) & 255, b = colors[i] & 255;
            EXPECT_EQ(grey[i], (30 * r + 59 * g + 11 * b) / 100 * 0x010101u) << i;
            EXPECT_EQ(ReservedOf(current, int(i)), 0);
        }
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 9; x++)
                EXPECT_EQ(RawPixelAt(current, x, y), raw[y][x])
                    << c.bits << " bits at " << x << "," << y;
        GlobalFree(current);
        GlobalFree(original);
    }
}

TEST(TransformTone, GreyStartsFromTheOriginal) {
    // A reduced picture in the current slot is dropped; the grey picture is made
    // from the original, which stays the original.
    HGLOBAL colour = AllocImageRecord(1, 1, 24, 0);
    BYTE* p = ImagePixels(static_cast<BITMAPINFOHEADER*>(GlobalLock(colour)));
    p[0] = 10, p[1] = 200, p[2] = 100;
    GlobalUnlock(colour);
    HGLOBAL original = colour;
    HGLOBAL current = PatternPicture(1, 1, 8);
    MakeGrayscale(&current, &original, KIND_RASTER);
    EXPECT_EQ(original, colour);
    EXPECT_EQ(PixelAt(current, 0, 0), 149u * 0x010101u);
    GlobalFree(current);
    GlobalFree(original);
}

TEST(TransformTone, GreyRefusals) {
    {
        // Not a raster picture: the message, nothing changes.
        HGLOBAL current = PatternPicture(2, 2, 24);
        HGLOBAL original = nullptr;
        const HGLOBAL before = current;
        RecordMessages record;
        MakeGrayscale(&current, &original, KIND_WMF);
        ASSERT_EQ(record.messages.size(), 1u);
        EXPECT_EQ(record.messages[0].text, kNotBitmap);
        EXPECT_EQ(record.messages[0].type, UINT(MB_ICONERROR));
        EXPECT_EQ(current, before);
        EXPECT_EQ(original, nullptr);
        GlobalFree(current);
    }
    for (int bits : {8, 24}) {
        // No memory: the untouched picture stays current, the original slot empty.
        HGLOBAL untouched = PatternPicture(2, 2, bits);
        const Bytes untouchedBytes = RecordBytes(untouched);
        HGLOBAL original = untouched;
        HGLOBAL current = PatternPicture(2, 2, 4);
        RecordMessages record;
        FailGlobalAllocAt(1);
        MakeGrayscale(&current, &original, KIND_RASTER);
        FailGlobalAllocAt(0);
        ASSERT_EQ(record.messages.size(), 1u);
        EXPECT_EQ(record.messages[0].text, kNoMemory);
        EXPECT_EQ(record.messages[0].caption, "(null)");
        EXPECT_EQ(current, untouched);
        EXPECT_EQ(RecordBytes(current), untouchedBytes);
        EXPECT_EQ(original, nullptr);
        GlobalFree(current);
    }
}
