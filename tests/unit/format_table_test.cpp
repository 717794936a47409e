// The format table against what it feeds: zendra-cli's names and extensions,
// the Convert/Save commands and Save As filters, and the detection order of
// the loads.
#include "test_util.h"

#include "cli/options.h"
#include "core/format_table.h"
#include "core/loader.h"
#include "tools/writers.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {
DetectedFormat Detect(const std::string& name, const Bytes& bytes) {
    std::string path = WriteTestFile(name, bytes);
    HFILE file = _lopen(path.c_str(), OF_READ);
    EXPECT_NE(file, HFILE_ERROR);
    DetectedFormat format = DetectFormat(file, path.c_str());
    _lclose(file);
    return format;
}

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper((unsigned char)c));
    return s;
}

// The filter's pieces between its separators.
std::vector<std::string> FilterParts(const char* filter) {
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = filter; *p; p++) {
        if (*p == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += *p;
        }
    }
    EXPECT_TRUE(part.empty()) << filter << ": a filter ends with its separator";
    return parts;
}
} // namespace

// Every writer entry is found again by its zendra-cli name and by its menu
// command, every extension of a row leads zendra-cli to that row's first
// entry, and the Save As filter offers the default extension, which leads back
// to the same row.
TEST(FormatTable, WriterEntriesRoundTripThroughTheCliAndConvertSave) {
    std::set<std::string> names;
    std::set<int> commands;
    int entries = 0;
    for (int i = 0; i < FORMAT_ROW_COUNT; i++) {
        const FormatRow& row = g_formats[i];
        const FormatWriting& w = row.writing;
        for (int e = 0; e < w.count; e++) {
            const WriterEntry& entry = w.entries[e];
            entries++;
            EXPECT_TRUE(names.insert(entry.name).second) << entry.name << " named twice";
            EXPECT_EQ(FindOutputFormat(entry.name), &entry) << entry.name;
            EXPECT_EQ(WriterRowOf(entry.format), &row) << entry.name;
            EXPECT_STREQ(FormatExtension(entry.format), w.extension) << entry.name;
            EXPECT_EQ(WriterAvailable(entry.format), entry.write != nullptr) << entry.name;
            if (entry.command != 0) {
                EXPECT_TRUE(commands.insert(entry.command).second) << entry.command;
                EXPECT_EQ(WriterOfCommand(entry.command), &entry) << entry.name;
            } else {
                // A name only zendra-cli has stands for a menu entry of the same writer.
                bool twin = false;
                for (int k = 0; k < w.count; k++)
                    twin |= w.entries[k].command != 0 && w.entries[k].format == entry.format &&
                            w.entries[k].option1 == entry.option1 &&
                            w.entries[k].option2 == entry.option2;
                EXPECT_TRUE(twin) << entry.name;
            }
        }
        if (w.count == 0) continue;
        ASSERT_NE(w.saveFilter, nullptr) << row.name;
        ASSERT_NE(w.extension, nullptr) << row.name;
        std::vector<std::string> parts = FilterParts(w.saveFilter);
        ASSERT_EQ(parts.size(), 4u) << w.saveFilter;
        EXPECT_EQ(parts[1], std::string("*.") + w.extension) << w.saveFilter;
        EXPECT_NE(parts[0].find(std::string("(*.") + w.extension + ")"), std::string::npos)
            << w.saveFilter;
        EXPECT_EQ(parts[3], "*.*") << w.saveFilter;
        std::string saved = std::string("dir.x/picture.") + w.extension;
        EXPECT_EQ(FormatFromExtension(saved.c_str()), &w.entries[0]) << saved;
        for (int k = 0; k < MAX_EXTENSIONS && w.cliExtensions[k]; k++) {
            std::string lower = std::string("out.") + w.cliExtensions[k];
            std::string upper = Upper(lower);
            EXPECT_EQ(FormatFromExtension(lower.c_str()), &w.entries[0]) << lower;
            EXPECT_EQ(FormatFromExtension(upper.c_str()), &w.entries[0]) << upper;
        }
    }
    EXPECT_EQ(WriterOfCommand(CM_GIF), nullptr) << "the GIF commands have no writer";
    EXPECT_EQ(WriterOfCommand(CM_GIF_INTERLACED), nullptr);
    EXPECT_EQ(WriterOfCommand(CM_ROTATE_90), nullptr) << "Tools commands are not writers";
    EXPECT_EQ(FindOutputFormat("gif"), nullptr);
    EXPECT_EQ(FormatFromExtension("out.gif"), nullptr);
    EXPECT_EQ(FormatFromExtension("noextension"), nullptr);
    EXPECT_EQ(entries, 35);

    // The menu's commands and zendra-cli's names, as the user sees them.
    struct Expected {
        int command;
        const char* name;
        int format, option1, option2;
    } expected[] = {
        {CM_BMP, "bmp", FMT_BMP, 0, 0},
        {CM_BMP_RLE, "bmp-rle", FMT_BMP_RLE, 0, 0},
        {CM_BMP_555, "bmp-555", FMT_BMP_BITFIELDS, 0, 0},
        {CM_BMP_565, "bmp-565", FMT_BMP_BITFIELDS, 1, 0},
        {0, "bmp-888", FMT_BMP_BITFIELDS, 0, 0},
        {0, "bmp-101010", FMT_BMP_BITFIELDS, 1, 0},
        {CM_IFF, "iff", FMT_IFF, 0, 0},
        {CM_IFF_PACKED, "iff-packed", FMT_IFF, 1, 0},
        {CM_IFF_HAM, "iff-ham", FMT_IFF, 0, 1},
        {CM_IFF_HAM_PACKED, "iff-ham-packed", FMT_IFF, 1, 1},
        {CM_JPG, "jpg", FMT_JPEG, 0, 0},
        {CM_JPG_PROGRESSIVE, "jpg-progressive", FMT_JPEG, 1, 0},
        {CM_PCX, "pcx", FMT_PCX, 0, 0},
        {CM_PNG, "png", FMT_PNG, 0, 0},
        {CM_PNG_ADAM7, "png-adam7", FMT_PNG, 1, 0},
        {CM_TGA, "tga", FMT_TGA, 0, 0},
        {CM_TGA_RLE, "tga-rle", FMT_TGA, 1, 0},
        {CM_TIFF_NONE, "tif-none", FMT_TIFF, 1, 0},
        {CM_TIFF_HUFFMAN, "tif-huffman", FMT_TIFF, 2, 0},
        {CM_TIFF_G3, "tif-g3", FMT_TIFF, 3, 0},
        {CM_TIFF_G4, "tif-g4", FMT_TIFF, 4, 0},
        {CM_TIFF_LZW, "tif-lzw", FMT_TIFF, 5, 0},
        {CM_TIFF_JPEG, "tif-jpeg", FMT_TIFF, 7, 0},
        {CM_TIFF_PACKBITS, "tif-packbits", FMT_TIFF, 32773, 0},
        {CM_TIFF_DEFLATE, "tif-deflate", FMT_TIFF, 32946, 0},
        {CM_TIFF_NONE_TILES, "tif-none-tiles", FMT_TIFF, 1, 1},
        {CM_TIFF_HUFFMAN_TILES, "tif-huffman-tiles", FMT_TIFF, 2, 1},
        {CM_TIFF_G3_TILES, "tif-g3-tiles", FMT_TIFF, 3, 1},
        {CM_TIFF_G4_TILES, "tif-g4-tiles", FMT_TIFF, 4, 1},
        {CM_TIFF_LZW_TILES, "tif-lzw-tiles", FMT_TIFF, 5, 1},
        {CM_TIFF_JPEG_TILES, "tif-jpeg-tiles", FMT_TIFF, 7, 1},
        {CM_TIFF_PACKBITS_TILES, "tif-packbits-tiles", FMT_TIFF, 32773, 1},
        {CM_TIFF_DEFLATE_TILES, "tif-deflate-tiles", FMT_TIFF, 32946, 1},
        {CM_WEBP, "webp", FMT_WEBP, 85, 0},
        {CM_WEBP_LOSSLESS, "webp-lossless", FMT_WEBP, 0, 1},
    };
    std::vector<const OutputFormat*> listed;
    ForEachOutputFormat(
        [](const OutputFormat& f, void* list) {
            static_cast<std::vector<const OutputFormat*>*>(list)->push_back(&f);
        },
        &listed);
    ASSERT_EQ(listed.size(), sizeof expected / sizeof expected[0]);
    for (size_t i = 0; i < listed.size(); i++) {
        const Expected& x = expected[i];
        EXPECT_STREQ(listed[i]->name, x.name) << "help lists the names in menu order";
        const WriterEntry* entry =
            x.command ? WriterOfCommand(x.command) : FindOutputFormat(x.name);
        ASSERT_NE(entry, nullptr) << x.name;
        EXPECT_STREQ(entry->name, x.name);
        EXPECT_EQ(entry->format, x.format) << x.name;
        EXPECT_EQ(entry->option1, x.option1) << x.name;
        EXPECT_EQ(entry->option2, x.option2) << x.name;
        EXPECT_TRUE(WriterAvailable(x.format)) << x.name;
    }
    std::string extensions;
    ForEachOutputExtension(
        [](const char* ext, void* text) {
            *static_cast<std::string*>(text) += std::string(" .") + ext;
        },
        &extensions);
    EXPECT_EQ(extensions, " .bmp .iff .lbm .jpg .jpeg .jpe .pcx .png .tga .tif .tiff .webp");
}

// The detection rules come in the order of the table of the loads, each with
// the call its reader takes, and the first rule that matches wins.
TEST(FormatTable, DetectionOrderFollowsTheTableOfTheLoads) {
    struct Load {
        DetectedFormat format;
        ReaderCall call;
        const char* name; // a file this rule takes
        Bytes head;
    } loads[] = {
        {DET_WINDOWS_BMP, CALL_HANDLE, "w.dat", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40}},
        {DET_OS2_BMP, CALL_HANDLE, "o.dat", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12}},
        {DET_OS2V2_BMP, CALL_HANDLE, "o2.dat", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64}},
        {DET_BITMAP_OTHER,
         CALL_NOTHING,
         "x.dat",
         {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16}},
        {DET_GIF, CALL_HANDLE, "g.dat", {'G', 'I', 'F', '8'}},
        {DET_JPEG, CALL_NAME, "j.dat", {0xFF, 0xD8, 0xFF}},
        {DET_PCX, CALL_BUFFERED, "p.dat", {0x0A, 5}},
        {DET_TIFF, CALL_NAME, "t.dat", {'I', 'I', 42, 0}},
        {DET_PNG, CALL_NAME, "n.dat", {0x89, 'P', 'N', 'G'}},
        {DET_IFF, CALL_HANDLE, "i.dat", {'F', 'O', 'R', 'M'}},
        {DET_WEBP, CALL_NAME, "w.dat", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}},
        {DET_ANI, CALL_ANIMATED, "a.dat", {'R', 'I', 'F', 'F'}},
        {DET_ICON, CALL_ICON, "c.ico", {0, 0, 1, 0}},
        {DET_SUN_ICON, CALL_NAME, "s.ico", {'/', '*'}},
        {DET_WMF_PLACEABLE, CALL_NAME, "m.dat", {0xD7, 0xCD, 0xC6, 0x9A}},
        {DET_WMF, CALL_NAME, "m.wmf", {1, 0, 9, 0}},
        {DET_EMF, CALL_NAME, "e.emf", {1, 0, 0, 0}},
        {DET_TARGA, CALL_BUFFERED, "t.tga", {0, 0, 2, 0}},
        {DET_MACBINARY_GIF, CALL_HANDLE, "mg.dat", {}},
        {DET_MACBINARY_TIFF, CALL_MACBINARY_COPY, "mt.dat", {}},
    };
    const size_t count = sizeof loads / sizeof loads[0];
    std::vector<Bytes> files;
    for (const Load& load : loads) {
        Bytes file = load.head;
        file.resize(200, 0);
        if (load.format == DET_MACBINARY_GIF) file[128] = 'G', file[129] = 'I';
        if (load.format == DET_MACBINARY_TIFF) file[128] = 'M', file[129] = 'M';
        files.push_back(file);
    }

    size_t n = 0;
    int previous = 0;
    for (const DetectionRule* rule = NextDetectionRule(0); rule;
         rule = NextDetectionRule(rule->order), n++) {
        ASSERT_LT(n, count) << "more rules than loads";
        EXPECT_GT(rule->order, previous);
        previous = rule->order;
        EXPECT_EQ(rule->format, loads[n].format) << "rule " << n;
        EXPECT_EQ(rule->call, loads[n].call) << "rule " << n;
        EXPECT_EQ(DetectionRuleOf(rule->format), rule);
        EXPECT_EQ(Detect(loads[n].name, files[n]), loads[n].format) << loads[n].name;
    }
    EXPECT_EQ(n, count);

    // Where two rules would take a file, the earlier one does: a file of each
    // rule given a later rule's extension (.wmf, .emf, .tga) or MacBinary
    // bytes stays with its own rule.
    for (size_t i = 0; i < count; i++) {
        for (size_t j = i + 1; j < count; j++) {
            Bytes both = files[i];
            std::string name = loads[i].name;
            if (loads[j].format == DET_WMF || loads[j].format == DET_EMF ||
                loads[j].format == DET_TARGA) {
                // Rules that need their own extension cannot take another's.
                if (ExtensionIs(loads[i].name, "ico") || ExtensionIs(loads[i].name, "wmf") ||
                    ExtensionIs(loads[i].name, "emf"))
                    continue;
                name = std::string("both") + std::strrchr(loads[j].name, '.');
            } else if (loads[j].format == DET_MACBINARY_GIF ||
                       loads[j].format == DET_MACBINARY_TIFF) {
                if (loads[i].format == DET_MACBINARY_GIF) continue;
                both[128] = files[j][128];
                both[129] = files[j][129];
            } else {
                continue;
            }
            EXPECT_EQ(Detect(name, both), loads[i].format)
                << loads[i].name << " under the rule of " << loads[j].name;
        }
    }
    EXPECT_EQ(Detect("pcx.tga", files[6]), DET_PCX) << "magic words before the extension rules";
    EXPECT_EQ(Detect("icon.wmf", Bytes{0, 0, 1, 0, 0, 0}), DET_WMF);
    // WebP needs both words: RIFF files of another form, and WEBP without RIFF, are not WebP.
    EXPECT_EQ(Detect("x.webp", Bytes{'R', 'I', 'F', 'F', 9, 0, 0, 0, 'A', 'C', 'O', 'N'}), DET_ANI);
    EXPECT_EQ(Detect("x.webp", Bytes{'R', 'I', 'F', 'F', 9, 0, 0, 0, 'W', 'E', 'B'}), DET_ANI);
    EXPECT_EQ(Detect("x.webp", Bytes{'R', 'I', 'F', 'X', 9, 0, 0, 0, 'W', 'E', 'B', 'P'}),
              DET_NONE);
}
