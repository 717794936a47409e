// The animated icon and cursor reader on RIFF files built here: the frame and
// sequence tables with and without "rate" and "seq ", repeated steps, chunks
// in unusual places and with odd sizes, fewer icons than promised, and counts
// and sizes that lie.
#include "icon_test_util.h"
#include "test_util.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "formats/native/icon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// A one-colour 4 x 4 icon (type 1) or cursor (type 2).
Bytes SolidIcon(uint32_t rgb, int type = 1) {
    IconImage im;
    im.width = im.height = 4;
    im.bits = 24;
    im.pixels.assign(16, rgb);
    return IconFile({im}, type);
}

Bytes Frames(const std::vector<Bytes>& icons) {
    Bytes content;
    for (const Bytes& icon : icons) {
        Bytes c = Chunk("icon", icon);
        content.insert(content.end(), c.begin(), c.end());
    }
    return ListChunk("fram", content);
}

std::vector<CursorStep> Steps() {
    std::vector<CursorStep> out;
    if (!g_sequenceTable) return out;
    const CursorStep* s = static_cast<const CursorStep*>(GlobalLock(g_sequenceTable));
    out.assign(s, s + g_sequenceLength);
    GlobalUnlock(g_sequenceTable);
    return out;
}

// The colour of each frame (0xFFFFFFFF for a frame not loaded).
std::vector<uint32_t> FrameColors() {
    std::vector<uint32_t> out;
    if (!g_frameTable) return out;
    HGLOBAL* f = static_cast<HGLOBAL*>(GlobalLock(g_frameTable));
    for (int i = 0; i < g_frameCount; i++) out.push_back(f[i] ? PixelAt(f[i], 0, 0) : 0xFFFFFFFFu);
    GlobalUnlock(g_frameTable);
    return out;
}

const uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;
} // namespace

TEST(AnimatedCursorRead, TablesAndTexts) {
    const Bytes info = ListChunk("INFO", [] {
        Bytes b = Chunk("INAM", {'T', 'i', 't', 'l', 'e', 0}); // odd: padded
        Bytes a = Chunk("IART", {'M', 'e', 0});
        b.insert(b.end(), a.begin(), a.end());
        return b;
    }());
    const Bytes three = Frames({SolidIcon(kRed), SolidIcon(kGreen), SolidIcon(kBlue)});
    struct Case {
        const char* what;
        std::vector<Bytes> chunks;
        std::vector<CursorStep> steps;
        std::vector<uint32_t> frames;
        int delay;
        uint32_t shown;
    } cases[] = {
        {"no rate, no seq: each icon for 10",
         {Chunk("anih", AnihData(3, 3)), three},
         {{0, 10}, {1, 10}, {2, 10}},
         {kRed, kGreen, kBlue},
         17,
         kRed},
        {"rates and a sequence that repeats icons",
         {info, Chunk("anih", AnihData(3, 4)), Chunk("rate", Words32({6, 20, 30, 40})),
          Chunk("seq ", Words32({2, 0, 2, 1})), three},
         {{2, 6}, {0, 20}, {2, 30}, {1, 40}},
         {kRed, kGreen, kBlue},
         10,
         kBlue},
        {"rate before anih is ignored",
         {Chunk("rate", Words32({50, 50})), Chunk("anih", AnihData(3, 2)), three},
         {{0, 10}, {1, 10}},
         {kRed, kGreen, kBlue},
         17,
         kRed},
        {"seq before anih is ignored, after it taken",
         {Chunk("seq ", Words32({1})), Chunk("anih", AnihData(3, 1)), Chunk("seq ", Words32({1})),
          three},
         {{1, 10}},
         {kRed, kGreen, kBlue},
         17,
         kGreen},
        {"fewer icons than anih promises",
         {Chunk("anih", AnihData(3, 3)), Frames({SolidIcon(kRed), SolidIcon(kGreen)})},
         {{0, 10}, {1, 10}, {2, 10}},
         {kRed, kGreen, 0xFFFFFFFFu},
         17,
         kRed},
        {"an INFO list between the chunks",
         {Chunk("anih", AnihData(2, 2)), info, Chunk("rate", Words32({1, 2})),
          Frames({SolidIcon(kGreen), SolidIcon(kBlue)})},
         {{0, 1}, {1, 2}},
         {kGreen, kBlue},
         2,
         kGreen},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        ASSERT_TRUE(LoadForTest(WriteTestFile("anim.ani", RiffFile(c.chunks)))) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        EXPECT_EQ(g_viewKind, KIND_ANI) << c.what;
        ASSERT_EQ(Steps().size(), c.steps.size()) << c.what;
        for (size_t i = 0; i < c.steps.size(); i++) {
            EXPECT_EQ(Steps()[i].frame, c.steps[i].frame) << c.what << " step " << i;
            EXPECT_EQ(Steps()[i].rate, c.steps[i].rate) << c.what << " step " << i;
        }
        EXPECT_EQ(FrameColors(), c.frames) << c.what;
        EXPECT_EQ(g_frameDelay, c.delay) << c.what;
        EXPECT_EQ(g_sequencePosition, 1) << c.what;
        EXPECT_EQ(PixelAt(g_picture, 0, 0), c.shown) << c.what;
        char text[200];
        std::snprintf(text, sizeof text,
                      "image type: animated icon \nwidth: 4 \nheight: 4 \ncolors: 0 \nnumber of "
                      "icons: %d \nnumber of frames: %d \n",
                      g_frameCount, g_sequenceLength);
        EXPECT_STREQ(g_infoText, text) << c.what;
    }
    ReleaseCurrentPicture();
    EXPECT_EQ(g_frameTable, nullptr);
    EXPECT_EQ(g_sequenceTable, nullptr);
}

TEST(AnimatedCursorRead, OddIconChunksAndCursors) {
    // An icon file of odd length: its chunk is padded, the next one still found.
    IconImage odd;
    odd.width = 3;
    odd.height = 1;
    odd.bits = 24;
    odd.pixels = {kRed, kRed, kRed};
    Bytes first = IconFile({odd}, 2);
    first.push_back(0x55); // an odd trailing byte inside the chunk
    ASSERT_EQ(first.size() % 2, 1u);
    Bytes content = Chunk("icon", first);
    Bytes second = Chunk("icon", SolidIcon(kBlue, 2));
    content.insert(content.end(), second.begin(), second.end());
    ASSERT_TRUE(LoadForTest(WriteTestFile(
        "odd.ani", RiffFile({Chunk("anih", AnihData(2, 2)), ListChunk("fram", content)}))));
    EXPECT_EQ(FrameColors(), (std::vector<uint32_t>{kRed, kBlue}));
    EXPECT_EQ(std::string(g_infoText).find("image type: animated cursor \nwidth: 3 \nheight: 1 "),
              0u);
}

TEST(AnimatedCursorRead, FilesWithoutAUsableAnimation) {
    const Bytes icons = Frames({SolidIcon(kRed), SolidIcon(kGreen)});
    struct Case {
        const char* what;
        Bytes file;
    } cases[] = {
        {"no anih", RiffFile({icons})},
        {"icons before anih only", RiffFile({icons, Chunk("anih", AnihData(2, 2))})},
        {"a billion steps", RiffFile({Chunk("anih", AnihData(2, 1000000000)), icons})},
        {"four billion icons", RiffFile({Chunk("anih", AnihData(0xFFFFFFFFu, 2)), icons})},
        {"no icons", RiffFile({Chunk("anih", AnihData(0, 2)), icons})},
        {"no steps", RiffFile({Chunk("anih", AnihData(2, 0)), icons})},
        {"rate data ends early",
         RiffFile({Chunk("anih", AnihData(2, 40)), Chunk("rate", Words32({1, 2}))})},
        {"anih cut short", Bytes{'R', 'I', 'F', 'F', 0,   0,  0, 0, 'A', 'C', 'O',
                                 'N', 'a', 'n', 'i', 'h', 36, 0, 0, 0,   36,  0}},
        {"just RIFF", Bytes{'R', 'I', 'F', 'F'}},
    };
    for (const Case& c : cases) {
        RecordMessages messages;
        EXPECT_FALSE(LoadForTest(WriteTestFile("bad.ani", c.file))) << c.what;
        EXPECT_TRUE(messages.messages.empty()) << c.what;
        EXPECT_EQ(g_viewKind, KIND_NONE) << c.what;
        EXPECT_EQ(g_frameTable, nullptr) << c.what;
        EXPECT_EQ(g_sequenceTable, nullptr) << c.what;
    }
}

TEST(AnimatedCursorRead, DamagedIconsStopTheLoading) {
    // The second icon is damaged: it is reported, the first is kept, the
    // third is not read.
    Bytes broken = SolidIcon(kGreen);
    broken[2] = 7; // type 7
    RecordMessages messages;
    ASSERT_TRUE(LoadForTest(WriteTestFile(
        "broken.ani", RiffFile({Chunk("anih", AnihData(3, 3)),
                                Frames({SolidIcon(kRed), broken, SolidIcon(kBlue)})}))));
    EXPECT_EQ(FrameColors(), (std::vector<uint32_t>{kRed, 0xFFFFFFFFu, 0xFFFFFFFFu}));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Error Reading Icon File");
    EXPECT_NE(std::string(g_infoText).find("number of icons: 3 \nnumber of frames: 3 \n"),
              std::string::npos);

    // A first step naming an icon that is not there shows nothing.
    ASSERT_FALSE(LoadForTest(WriteTestFile(
        "far.ani", RiffFile({Chunk("anih", AnihData(2, 1)), Chunk("seq ", Words32({9})),
                             Frames({SolidIcon(kRed), SolidIcon(kBlue)})}))));
    EXPECT_EQ(g_viewKind, KIND_ANI);
    EXPECT_EQ(g_picture, nullptr);
    EXPECT_EQ(g_frameCount, 2);
    ReleaseCurrentPicture();
}
