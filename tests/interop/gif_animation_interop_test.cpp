// Animated GIFs made by ImageMagick (each disposal method, delays, transparent
// colours, frames smaller than the screen at offsets, local colour tables,
// interlaced frames) composited frame by frame as ImageMagick's -coalesce
// gives them, transparent parts shown white; frame counts and delays as
// identify reports them; zendra-cli's "frames:" line and --frame.
//
// ImageMagick restores a first frame disposed "to previous" to that frame
// itself; browsers (and we) restore it to the empty screen, so the files
// here give their first frame another disposal.
//
// Tools needed (Debian packages): imagemagick.
#include "interop/pnm_picture.h"
#include "unit/test_util.h"

#include "formats/native/gif_frames.h"

#include <gtest/gtest.h>

#include <string>

using namespace pnm;

namespace {
std::string Q(const std::string& path) {
    return "'" + path + "'";
}

// ImageMagick's commands for the animations, each writing {} (a GIF file).
const struct Animation {
    const char* what;
    const char* command;
} kAnimations[] = {
    {"dispose none, frames at offsets",
     "convert -dispose none -delay 20 -page +0+0 -size 40x30 xc:yellow -size 10x10 -page +5+5 "
     "xc:red -page +20+10 xc:blue -page +33+25 xc:green -loop 0 {}"},
    {"dispose background",
     "convert -dispose none -delay 7 -page +0+0 -size 40x30 xc:yellow -dispose background "
     "-size 10x10 -page +5+5 xc:red -page +8+9 xc:blue -page +30+20 xc:green {}"},
    {"dispose previous",
     "convert -dispose none -page +0+0 -size 40x30 plasma:fractal -dispose previous -size 10x10 "
     "-page +5+5 xc:red -page +12+8 xc:blue -dispose none -page +0+0 xc:green {}"},
    {"transparent pixels over leftovers",
     "convert -dispose none -page +0+0 -size 30x20 xc:navy xc:none -fill orange -draw "
     "'rectangle 3,3 12,12' -page +10+6 -size 12x8 xc:none -fill lime -draw 'circle 6,4 6,1' "
     "-dispose background -page +0+0 -size 30x20 xc:none -fill red -draw 'line 0,0 29,19' {}"},
    {"a screen with transparent parts, frames of their own colours",
     "convert -dispose background -delay 0 -page 50x40+5+5 -size 30x20 gradient:red-blue "
     "-page 50x40+20+15 -size 25x20 gradient:green-yellow -page 50x40+0+0 -size 10x10 "
     "plasma:fractal -dispose previous -page 50x40+30+0 -size 20x30 gradient:white-black {}"},
    {"a first frame with see-through parts, smaller than the screen",
     "convert -dispose none -page 30x20+5+5 -size 10x10 xc:none -fill red -draw "
     "'rectangle 0,0 4,4' -page 30x20+0+0 -size 4x4 xc:blue -page 30x20+20+10 -size 6x6 "
     "xc:none -fill white -draw 'point 2,2' {}"},
    {"interlaced frames",
     "convert -interlace GIF -dispose none -delay 1 -page +0+0 -size 33x21 plasma:fractal "
     "-page +20+13 -size 7x5 xc:purple -page +0+0 -size 33x21 xc:none -fill teal -draw "
     "'rectangle 0,0 32,3' {}"},
};

std::string MakeAnimation(const Animation& a, int i) {
    const std::string path = At("anim-" + std::to_string(i) + ".gif");
    std::string command = a.command, log;
    command.replace(command.find("{}"), 2, Q(path));
    EXPECT_TRUE(RunTool(command, &log)) << a.what << ": " << log;
    return path;
}

// ImageMagick's frames of the file, coalesced and put onto white.
int CoalescedFrames(const std::string& path, int i) {
    const std::string pattern = At("coalesced-" + std::to_string(i) + "-%d.ppm");
    std::string log;
    EXPECT_TRUE(RunTool("convert " + Q(path) +
                            " -coalesce -background white -alpha remove -alpha off " + Q(pattern),
                        &log))
        << log;
    int n = 0;
    while (FileExists(At("coalesced-" + std::to_string(i) + "-" + std::to_string(n) + ".ppm"))) n++;
    return n;
}

std::string Output(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (pipe) pclose(pipe);
    return out;
}
} // namespace

TEST(GifAnimationInterop, FramesAsImageMagickCoalescesThem) {
    ASSERT_TRUE(HaveTool("convert")) << "convert is missing (imagemagick)";
    int i = 0;
    for (const Animation& a : kAnimations) {
        const std::string path = MakeAnimation(a, ++i);
        const int frames = CoalescedFrames(path, i);
        ASSERT_GE(frames, 3) << a.what;
        EXPECT_EQ(CountGifFrames(path.c_str()), frames) << a.what;
        // ImageMagick's delays, in hundredths, shown as browsers show them.
        const std::string delays = Output("identify -format '%T ' " + Q(path));
        GifPlayer player;
        ASSERT_TRUE(OpenGifPlayer(&player, path.c_str())) << a.what;
        size_t at = 0;
        for (int n = 1; n <= frames; n++) {
            const std::string what = std::string(a.what) + ", frame " + std::to_string(n);
            ASSERT_EQ(NextGifFrame(&player), 1) << what;
            const int delay = std::stoi(delays.substr(at));
            at = delays.find(' ', at) + 1;
            EXPECT_EQ(player.delay, delay < 2 ? 10 : delay) << what;
            Picture theirs;
            std::string why;
            const std::string ref =
                At("coalesced-" + std::to_string(i) + "-" + std::to_string(n - 1) + ".ppm");
            ASSERT_TRUE(Decode("cat {}", ref, &theirs, &why)) << what << ": " << why;
            ExpectSame(FromRecord(player.screen), theirs, 8, what + " (played)");
            HGLOBAL composed = ComposeGifFrame(path.c_str(), n);
            ASSERT_TRUE(composed) << what;
            ExpectSame(FromRecord(composed), theirs, 8, what + " (composed)");
            GlobalFree(composed);
        }
        EXPECT_EQ(NextGifFrame(&player), 0) << a.what << ": after the last frame";
        // Played again from the start, the first frame is the same.
        ASSERT_TRUE(RewindGifPlayer(&player));
        ASSERT_EQ(NextGifFrame(&player), 1);
        Picture first;
        std::string why;
        ASSERT_TRUE(
            Decode("cat {}", At("coalesced-" + std::to_string(i) + "-0.ppm"), &first, &why));
        ExpectSame(FromRecord(player.screen), first, 8, std::string(a.what) + ", looped");
        CloseGifPlayer(&player);
        EXPECT_EQ(ComposeGifFrame(path.c_str(), frames + 1), nullptr) << a.what;
    }
}

TEST(GifAnimationInterop, ZendraCliCountsAndWritesFrames) {
    ASSERT_TRUE(HaveTool("convert")) << "convert is missing (imagemagick)";
    const std::string path = MakeAnimation(kAnimations[1], 100);
    const int frames = CoalescedFrames(path, 100);
    const std::string cli = ZENDRA_CLI;
    const std::string info = Output(cli + " info " + Q(path));
    EXPECT_NE(info.find("\ncolors: 2\nframes: " + std::to_string(frames) + "\n"), std::string::npos)
        << info;
    // Standard input too; a still GIF has one frame.
    EXPECT_NE(Output(cli + " info - <" + Q(path)).find("frames: 4\n"), std::string::npos);
    std::string log;
    ASSERT_TRUE(RunTool("convert -size 5x4 xc:red " + Q(At("still.gif")), &log)) << log;
    EXPECT_NE(Output(cli + " info " + Q(At("still.gif"))).find("\nframes: 1\n"), std::string::npos);
    for (int n = 1; n <= frames; n++) {
        const std::string out = At("frame-" + std::to_string(n) + ".bmp");
        ASSERT_TRUE(RunTool(cli + " convert --force --frame " + std::to_string(n) + " " + Q(path) +
                                " " + Q(out),
                            &log))
            << log;
        Picture ours, theirs;
        std::string why;
        ASSERT_TRUE(Decode("convert {} ppm:-", out, &ours, &why)) << why;
        ASSERT_TRUE(
            Decode("cat {}", At("coalesced-100-" + std::to_string(n - 1) + ".ppm"), &theirs, &why))
            << why;
        ExpectSame(ours, theirs, 8, "--frame " + std::to_string(n));
    }
    EXPECT_FALSE(
        RunTool(cli + " convert --force --frame 9 " + Q(path) + " " + Q(At("no.bmp")), &log));
    EXPECT_NE(log.find("there is no frame 9 (the file has 4)"), std::string::npos) << log;
    EXPECT_FALSE(RunTool(
        cli + " convert --force --frame 1 " + Q(At("frame-1.bmp")) + " " + Q(At("no.bmp")), &log));
    EXPECT_NE(log.find("--frame goes with GIF files"), std::string::npos) << log;
    EXPECT_FALSE(RunTool(cli + " convert --frame 0 " + Q(path) + " " + Q(At("no.bmp")), &log));
    EXPECT_NE(log.find("--frame takes a frame number from 1, not '0'"), std::string::npos) << log;
}
