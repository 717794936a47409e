// Windows and enhanced metafiles: the loader's three metafile branches, the
// File information texts, palettes, and what bad files come to. The same
// tests run natively (header-level metafile support) and under Wine (the
// system's); where the two differ the expectation says which is which.
#include "unit/metafile_bytes.h"
#include "unit/test_util.h"

#include "core/loader.h"
#include "core/state.h"
#include "metafile/metafile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
const char kPlaceableText[] = "image type: placeable WMF \nversion: 0x300 \nfile size: 12 \nnumber "
                              "of objects: 0 \nmax record size: 3\nwidth: 2000 \nheight: 1000 "
                              "\nunits per inch: 1000";

HENHMETAFILE CurrentEnhanced() {
    return reinterpret_cast<HENHMETAFILE>(g_picture);
}
HMETAFILE CurrentWindows() {
    return reinterpret_cast<HMETAFILE>(g_picture);
}

std::string DataFile(const char* name) {
    return std::string(ZENDRA_TEST_DATA) + "/metafile/" + name;
}

::testing::AssertionResult ShowedOk(const MessageRecord& m, const char* text, const char* caption) {
    if (m.text != text || m.caption != caption || m.type != MB_OK)
        return ::testing::AssertionFailure()
               << "shown: \"" << m.text << "\", caption " << m.caption << ", type " << m.type;
    return ::testing::AssertionSuccess();
}
} // namespace

TEST(Metafile, PlaceableBoxAndUnitsPerInchFollowTheHeaderLines) {
    RecordMessages record;
    // Detected by its key, whatever the name.
    std::string path =
        WriteTestFile("box.dat", Joined(PlaceableHeader(0, 0, 1999, 999, 1000), WindowsMetafile()));
    ASSERT_TRUE(LoadForTest(path));
    EXPECT_EQ(g_viewKind, KIND_WMF);
    EXPECT_TRUE(g_placeable);
    EXPECT_STREQ(g_infoText, kPlaceableText);
    EXPECT_EQ(g_metafileFrame.left, 0);
    EXPECT_EQ(g_metafileFrame.top, 0);
    EXPECT_EQ(g_metafileFrame.right, 1999);
    EXPECT_EQ(g_metafileFrame.bottom, 999);
    EXPECT_EQ(g_unitsPerInch, 1000);
    // The bits behind the placeable header, exactly.
    EXPECT_EQ(GetMetaFileBitsEx(CurrentWindows(), 0, nullptr), 24u);
    EXPECT_TRUE(record.messages.empty());

    // A box left of and above the origin: signed fields, sign-extended.
    ASSERT_TRUE(LoadForTest(WriteTestFile(
        "neg.dat", Joined(PlaceableHeader(-100, -50, 99, 49, 1440), WindowsMetafile()))));
    EXPECT_EQ(g_metafileFrame.left, -100);
    EXPECT_EQ(g_metafileFrame.top, -50);
    EXPECT_NE(std::strstr(g_infoText, "\nwidth: 200 \nheight: 100 \nunits per inch: 1440"),
              nullptr);
    ReleaseCurrentPicture();
}

TEST(Metafile, PlainMetafileShowsItsSizeInWords) {
    RecordMessages record;
    std::string path = WriteTestFile("plain.wmf", WindowsMetafile());
    ASSERT_EQ(ReadWholeFile(path).size(), 24u);
    ASSERT_TRUE(LoadForTest(path));
    EXPECT_EQ(g_viewKind, KIND_WMF);
    EXPECT_FALSE(g_placeable);
    EXPECT_STREQ(g_infoText, "image type: WMF \nversion: 0x300 \nfile size: 12 \nnumber of "
                             "objects: 0 \nmax record size: 3");
    EXPECT_TRUE(record.messages.empty());
    ReleaseCurrentPicture();
}

TEST(Metafile, EnhancedMetafileIsDescribedWhenPlayed) {
    RecordMessages record;
    ASSERT_TRUE(LoadForTest(WriteTestFile("e.emf", EnhancedMetafile(10, 20, 109, 69))));
    EXPECT_EQ(g_viewKind, KIND_EMF);
    EXPECT_STREQ(g_infoText, "") << "the loader leaves the text to the first playing";
    // Without a device context only the bounds and the text are written.
    MetafileRect bounds = {};
    PlayEnhancedMetafile(nullptr, CurrentEnhanced(), MetafileRect{0, 0, 99, 99}, g_infoText,
                         &bounds);
    EXPECT_STREQ(g_infoText, "image type: Enhanced Metafile EMF \nversion: 0x10000 \nfile size: "
                             "108 \nnumber of records: 2 \nnumber of handles: 1\nwidth: 100 "
                             "\nheight: 50 \n");
    EXPECT_EQ(bounds.left, 10);
    EXPECT_EQ(bounds.top, 20);
    EXPECT_EQ(bounds.right, 109);
    EXPECT_EQ(bounds.bottom, 69);
    // Bounds across the whole 32-bit range: the width wraps as unsigned arithmetic does.
    ASSERT_TRUE(
        LoadForTest(WriteTestFile("wide.emf", EnhancedMetafile(INT32_MIN, 0, INT32_MAX, 0))));
    PlayEnhancedMetafile(nullptr, CurrentEnhanced(), MetafileRect{}, g_infoText, &bounds);
    EXPECT_NE(std::strstr(g_infoText, "\nwidth: 0 \nheight: 1 \n"), nullptr) << g_infoText;
    // A null metafile plays as done, and writes nothing.
    char text[METAFILE_TEXT_SIZE] = "kept";
    EXPECT_EQ(PlayEnhancedMetafile(nullptr, nullptr, MetafileRect{}, text, &bounds), 1);
    EXPECT_STREQ(text, "kept");
    EXPECT_TRUE(record.messages.empty());
    ReleaseCurrentPicture();
}

TEST(Metafile, PaletteComesFromTheEndRecord) {
    ASSERT_TRUE(LoadForTest(WriteTestFile("none.emf", EnhancedMetafile(0, 0, 9, 9))));
    EXPECT_EQ(CreateMetafilePalette(CurrentEnhanced()), nullptr) << "no entries, no palette";
    const std::vector<uint32_t> colors = {0xFF0000, 0x00FF00, 0x123456};
    ASSERT_TRUE(LoadForTest(WriteTestFile("pal.emf", EnhancedMetafile(0, 0, 9, 9, colors))));
#ifdef _WIN32
    PALETTEENTRY probe[3];
    if (GetEnhMetaFilePaletteEntries(CurrentEnhanced(), 3, probe) == GDI_ERROR)
        GTEST_SKIP() << "the system copies the entries but reports GDI_ERROR (Wine)";
#endif
    HPALETTE palette = CreateMetafilePalette(CurrentEnhanced());
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY entries[4] = {};
    ASSERT_EQ(GetPaletteEntries(palette, 0, 4, entries), 3u);
    for (size_t i = 0; i < colors.size(); i++) {
        EXPECT_EQ(entries[i].peRed, colors[i] >> 16) << i;
        EXPECT_EQ(entries[i].peGreen, (colors[i] >> 8) & 0xFF) << i;
        EXPECT_EQ(entries[i].peBlue, colors[i] & 0xFF) << i;
    }
    DeleteObject(palette);
    ReleaseCurrentPicture();
}

#ifndef _WIN32
// The system's own palette copy trusts the end record; the header-level one
// checks it against the record's size.
TEST(Metafile, PaletteOutsideItsRecordIsRefused) {
    Bytes file = EnhancedMetafile(0, 0, 9, 9, {0xFF0000, 0x00FF00});
    file[88 + 12] = 200; // the entries' offset beyond the end record
    ASSERT_TRUE(LoadForTest(WriteTestFile("bad.emf", file)));
    EXPECT_EQ(CreateMetafilePalette(CurrentEnhanced()), nullptr);
    ReleaseCurrentPicture();
}
#endif

// Files that are not what their name or key says: a documented message or
// no picture, never more than the file holds.
TEST(Metafile, BadFilesGiveTheDocumentedMessageOrNothing) {
    const Bytes box = PlaceableHeader(0, 0, 99, 99, 1000);
    const Bytes emf = EnhancedMetafile(0, 0, 9, 9);
    struct Case {
        const char* name;
        Bytes bytes;
        bool loads;
        const char* message; // null: none
        bool captionIsName;
    } cases[] = {
        // A header promising more than the file holds reads what is there.
        {"long.dat", Joined(box, WindowsMetafile(1000)), true, nullptr, false},
        {"keyonly.dat", box, false, "Unable to read metafile bits", false},
        {"key.wmf", Bytes{0xD7, 0xCD}, false, "Unable to read metafile bits", false},
        {"notbits.dat", Joined(box, Bytes(30, 0xEE)), false, nullptr, false},
        {"empty.wmf", Bytes{}, false, nullptr, false},
        {"random.wmf", Bytes(64, 0x5A), false, nullptr, false},
        {"empty.emf", Bytes{}, false, "Not a Valid Metafile", true},
        {"random.emf", Bytes(300, 0xA5), false, "Not a Valid Metafile", true},
        {"header.emf", Bytes(emf.begin(), emf.begin() + 60), false, "Not a Valid Metafile", true},
    };
    for (const Case& c : cases) {
        RecordMessages record;
        std::string path = WriteTestFile(c.name, c.bytes);
        EXPECT_EQ(LoadForTest(path), c.loads) << c.name;
        EXPECT_EQ(g_picture != nullptr, c.loads) << c.name;
        if (!c.loads) {
            EXPECT_EQ(g_viewKind, KIND_NONE) << c.name;
        }
        if (!c.message) {
            EXPECT_TRUE(record.messages.empty()) << c.name;
        } else if (record.messages.size() != 1) {
            ADD_FAILURE() << c.name << ": " << record.messages.size() << " messages";
        } else {
            const MessageRecord& m = record.messages[0];
            EXPECT_EQ(m.text, c.message) << c.name;
            EXPECT_EQ(m.caption, c.captionIsName ? path : std::string("(null)")) << c.name;
            EXPECT_EQ(m.type, c.captionIsName ? MB_OK : MB_ICONERROR) << c.name;
        }
        if (c.loads) {
            // Only the bytes the file had behind the placeable header.
            EXPECT_EQ(GetMetaFileBitsEx(CurrentWindows(), 0, nullptr), 24u) << c.name;
        }
        ReleaseCurrentPicture();
    }
}

TEST(Metafile, NoMemoryForThePlaceableBits) {
    RecordMessages record;
    std::string path =
        WriteTestFile("mem.dat", Joined(PlaceableHeader(0, 0, 9, 9, 1000), WindowsMetafile()));
    HFILE file = _lopen(path.c_str(), OF_READ);
    ASSERT_NE(file, HFILE_ERROR);
    char text[METAFILE_TEXT_SIZE] = "";
    MetafileRect frame;
    int inch = 0;
    BYTE header[PLACEABLE_HEADER_SIZE];
    FailGlobalAllocAt(1);
    HMETAFILE m =
        ReadWindowsMetafile(nullptr, path.c_str(), file, text, true, &frame, &inch, header);
    FailGlobalAllocAt(0);
    EXPECT_EQ(m, nullptr);
    ASSERT_EQ(record.messages.size(), 1u);
    EXPECT_EQ(record.messages[0].text, "MemoryAllocation Error");
    EXPECT_EQ(record.messages[0].type, MB_ICONERROR);
    EXPECT_EQ(std::memcmp(header, PlaceableHeader(0, 0, 9, 9, 1000).data(), 22), 0);
    EXPECT_EQ(_lclose(file), HFILE_ERROR) << "the reader closed the file";
}

// A Windows metafile offered as an enhanced one is converted on Windows; the
// header-level support says it cannot and no picture is made up.
TEST(Metafile, WindowsMetafileOfferedAsEnhanced) {
    RecordMessages record;
    std::string plain = WriteTestFile("plain.emf", WindowsMetafile());
    std::string placeable =
        WriteTestFile("raw.emf", Joined(PlaceableHeader(0, 0, 1999, 999, 1000), WindowsMetafile()));
    std::string noInch =
        WriteTestFile("noinch.emf", Joined(PlaceableHeader(0, 0, 1999, 999, 0), WindowsMetafile()));
    HENHMETAFILE fromPlain = LoadEnhancedMetafile(plain.c_str(), nullptr);
    HENHMETAFILE fromPlaceable = LoadEnhancedMetafile(placeable.c_str(), nullptr);
#ifdef _WIN32
    ASSERT_NE(fromPlain, nullptr);
    ASSERT_NE(fromPlaceable, nullptr);
    EXPECT_TRUE(record.messages.empty());
    // Extents from the bounding box in hundredths of a millimetre: 1999 units
    // at 1000 per inch are 5077, 999 are 2537.
    ENHMETAHEADER h = {};
    ASSERT_NE(GetEnhMetaFileHeader(fromPlaceable, sizeof h, &h), 0u);
    EXPECT_NEAR(h.rclFrame.right - h.rclFrame.left, 5077, 2);
    EXPECT_NEAR(h.rclFrame.bottom - h.rclFrame.top, 2537, 2);
    DeleteEnhMetaFile(fromPlain);
    DeleteEnhMetaFile(fromPlaceable);
#else
    EXPECT_EQ(fromPlain, nullptr);
    EXPECT_EQ(fromPlaceable, nullptr);
    ASSERT_EQ(record.messages.size(), 4u);
    for (int i : {0, 2})
        EXPECT_NE(record.messages[i].text.find("not available in this build"), std::string::npos);
    for (int i : {1, 3})
        EXPECT_TRUE(ShowedOk(record.messages[i], "Failed to Create MetaFile from Bits",
                             "Error Reading MetaFile"));
#endif
    record.messages.clear();
    EXPECT_EQ(LoadEnhancedMetafile(noInch.c_str(), nullptr), nullptr);
    ASSERT_EQ(record.messages.size(), 1u);
    EXPECT_TRUE(ShowedOk(record.messages[0], "Not a Valid Metafile", noInch.c_str()));
    record.messages.clear();
    std::string missing = TestDir() + "/missing.emf";
    EXPECT_EQ(LoadEnhancedMetafile(missing.c_str(), nullptr), nullptr);
    ASSERT_EQ(record.messages.size(), 1u);
    EXPECT_TRUE(ShowedOk(record.messages[0], "Error Opening File", missing.c_str()));
}

// Files written by Inkscape (tests/data/metafile/make_metafiles.sh); the
// expected values are those of their headers.
TEST(Metafile, FilesFromAnotherWriterLoadAndDescribe) {
    struct Case {
        const char* name;
        int kind;
        const char* text;
    } cases[] = {
        {"boxes.wmf", KIND_WMF,
         "image type: placeable WMF \nversion: 0x300 \nfile size: 178 \nnumber of objects: 4 "
         "\nmax record size: 20\nwidth: 2500 \nheight: 1250 \nunits per inch: 1200"},
        {"circle.wmf", KIND_WMF,
         "image type: placeable WMF \nversion: 0x300 \nfile size: 359 \nnumber of objects: 5 "
         "\nmax record size: 142\nwidth: 1500 \nheight: 1500 \nunits per inch: 1200"},
        {"boxes.emf", KIND_EMF,
         "image type: Enhanced Metafile EMF \nversion: 0x10000 \nfile size: 780 \nnumber of "
         "records: 35 \nnumber of handles: 2\nwidth: 2504 \nheight: 1276 \n"},
        {"circle.emf", KIND_EMF,
         "image type: Enhanced Metafile EMF \nversion: 0x10000 \nfile size: 1180 \nnumber of "
         "records: 48 \nnumber of handles: 3\nwidth: 1512 \nheight: 1512 \n"},
    };
    for (const Case& c : cases) {
        RecordMessages record;
        ASSERT_TRUE(LoadForTest(DataFile(c.name))) << c.name;
        EXPECT_EQ(g_viewKind, c.kind) << c.name;
        if (c.kind == KIND_EMF)
            PlayEnhancedMetafile(nullptr, CurrentEnhanced(), MetafileRect{}, g_infoText, nullptr);
        EXPECT_STREQ(g_infoText, c.text) << c.name;
        EXPECT_TRUE(record.messages.empty()) << c.name;
        ReleaseCurrentPicture();
    }
}
