// The About box's line on what the program views, from the table of readers.
#include "shell/about_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
// The formats read, by letter: w, o, 2 bitmaps; g GIF; p PCX; t Targa; i IFF;
// j JPEG; n PNG; f TIFF; e WebP; s Sun icon; c icons.
std::string g_read;

bool ReadsLetters(DetectedFormat format) {
    const struct {
        DetectedFormat format;
        char letter;
    } letters[] = {{DET_WINDOWS_BMP, 'w'}, {DET_OS2_BMP, 'o'},  {DET_OS2V2_BMP, '2'},
                   {DET_GIF, 'g'},         {DET_PCX, 'p'},      {DET_TARGA, 't'},
                   {DET_IFF, 'i'},         {DET_JPEG, 'j'},     {DET_PNG, 'n'},
                   {DET_TIFF, 'f'},        {DET_SUN_ICON, 's'}, {DET_ICON, 'c'},
                   {DET_WEBP, 'e'}};
    for (const auto& l : letters)
        if (l.format == format) return g_read.find(l.letter) != std::string::npos;
    return false;
}

bool (*TableOf(const std::string& which))(DetectedFormat) {
    g_read = which;
    return ReadsLetters;
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
        {"e", "Views photographs,"}, // WebP alone
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
    auto r = TableOf("wjc");
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

TEST(AboutText, TheFormatTableOfThisBuild) {
    // Every format of the table has its reader.
    for (DetectedFormat f : {DET_WINDOWS_BMP, DET_OS2_BMP, DET_OS2V2_BMP, DET_GIF, DET_PCX,
                             DET_TARGA, DET_IFF, DET_SUN_ICON, DET_JPEG, DET_PNG, DET_TIFF,
                             DET_WMF_PLACEABLE, DET_WMF, DET_EMF, DET_WEBP, DET_ICON, DET_ANI})
        EXPECT_TRUE(FormatIsRead(f)) << f;
    EXPECT_FALSE(FormatIsRead(DET_NONE));
    char line[100];
    EXPECT_TRUE(AboutViewsLine(FormatIsRead, line, sizeof line));
    EXPECT_STREQ(line, "Views bitmaps, icons, metafiles and photographs,");
}
