// The About box's line on what the program views, from the table of readers.
#include "shell/about_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
HGLOBAL AnyHandleReader(HFILE, HWND, char*) {
    return nullptr;
}
HGLOBAL AnyNameReader(const char*, HWND, char*, int) {
    return nullptr;
}
HGLOBAL AnyIconReader(HWND, char*, HFILE, int, int, long, int) {
    return nullptr;
}

// A table with the readers named in which (by slot letters) and nulls elsewhere:
// w, o, 2 bitmaps; g GIF; p PCX; t Targa; i IFF; j JPEG; n PNG; f TIFF; s Sun icon; c icons.
ReaderTable TableOf(const std::string& which) {
    ReaderTable r;
    std::memset(&r, 0, sizeof r);
    auto has = [&](char c) { return which.find(c) != std::string::npos; };
    if (has('w')) r.windowsBitmap = AnyHandleReader;
    if (has('o')) r.os2Bitmap = AnyHandleReader;
    if (has('2')) r.os2v2Bitmap = AnyHandleReader;
    if (has('g')) r.gif = AnyHandleReader;
    if (has('p')) r.pcx = AnyHandleReader;
    if (has('t')) r.targa = AnyHandleReader;
    if (has('i')) r.iff = AnyHandleReader;
    if (has('j')) r.jpeg = AnyNameReader;
    if (has('n')) r.png = AnyNameReader;
    if (has('f')) r.tiff = AnyNameReader;
    if (has('s')) r.sunIcon = AnyNameReader;
    if (has('c')) r.icon = AnyIconReader;
    return r;
}
} // namespace

TEST(AboutText, NamesOnlyTheKindsOfPictureSomeReaderOpens) {
    struct {
        const char* readers;
        const char* line;
    } const cases[] = {
        {"wo2gptijnfsc", "Views bitmaps, icons and photographs,"},
        {"wo2gptijns", "Views bitmaps and photographs,"}, // no TIFF or icon reader
        {"wo2gptijnsc", "Views bitmaps, icons and photographs,"},
        {"f", "Views photographs,"}, // TIFF alone
        {"s", "Views bitmaps,"},     // Sun icons are bitmaps
        {"c", "Views icons,"},
        {"pc", "Views bitmaps and icons,"},
        {"", "Views no pictures in this build,"},
    };
    for (const auto& c : cases) {
        char line[100];
        EXPECT_TRUE(AboutViewsLine(TableOf(c.readers), line, sizeof line)) << c.readers;
        EXPECT_STREQ(line, c.line) << c.readers;
    }
}

TEST(AboutText, ShortBufferIsTerminatedAndReported) {
    ReaderTable r = TableOf("wjc");
    char line[12];
    std::memset(line, 'x', sizeof line);
    EXPECT_FALSE(AboutViewsLine(r, line, sizeof line));
    EXPECT_STREQ(line, "Views bitma");
    char exact[sizeof "Views bitmaps, icons and photographs,"];
    EXPECT_TRUE(AboutViewsLine(r, exact, sizeof exact));
    EXPECT_STREQ(exact, "Views bitmaps, icons and photographs,");
    EXPECT_FALSE(AboutViewsLine(r, exact, sizeof exact - 1));
    EXPECT_FALSE(AboutViewsLine(r, line, 0));
}
