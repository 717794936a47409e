// Every reader of the format table, fed good, damaged and hostile files, must
// say what happened: a message shown exactly when its outcome is a reported
// one, and a picture exactly when its outcome is a picture.
#include "gif_test_util.h"
#include "icon_test_util.h"
#include "iff_test_util.h"
#include "jpeg_test_util.h"
#include "metafile_bytes.h"
#include "png_test_util.h"
#include "read_buffer_util.h"
#include "test_util.h"
#include "tiff_test_util.h"

#include "core/format_table.h"
#include "core/state.h"

#include <webp/encode.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

bool IsPicture(LoadOutcome o) {
    return o == LOAD_PICTURE || o == LOAD_PICTURE_REPORTED;
}
bool IsReported(LoadOutcome o) {
    return o == LOAD_PICTURE_REPORTED || o == LOAD_NONE_REPORTED;
}
const char* NameOf(LoadOutcome o) {
    switch (o) {
    case LOAD_PICTURE:
        return "picture";
    case LOAD_PICTURE_REPORTED:
        return "picture, reported";
    case LOAD_NONE_REPORTED:
        return "none, reported";
    case LOAD_NONE_SILENT:
        return "none, silent";
    }
    return "?";
}

// Calls the row's reader the way the loader does (a MacBinary copy is read by
// name like the file itself), with the row's state reset around it.
ReaderResult CallReader(DetectedFormat format, const std::string& path) {
    static BYTE buffer[READ_BUFFER_SIZE];
    char text[INFO_TEXT_SIZE] = {0};
    const FormatRow* row = FormatRowOf(format);
    const DetectionRule* rule = DetectionRuleOf(format);
    if (!row || !rule) return ReaderResult{nullptr, LOAD_NONE_SILENT};
    if (row->prepare) row->prepare();
    ReaderResult result = {nullptr, LOAD_NONE_SILENT};
    HFILE file = _lopen(path.c_str(), OF_READ);
    EXPECT_NE(file, HFILE_ERROR) << path;
    if (rule->call == CALL_HANDLE && row->byHandle) {
        result = row->byHandle(file, nullptr, text);
    } else if (rule->call == CALL_BUFFERED && row->byBuffer) {
        ByteReader in;
        OpenByteReader(&in, file, buffer, READ_BUFFER_SIZE);
        result = row->byBuffer(&in, nullptr, text);
    } else if (rule->call == CALL_ICON && g_iconReader) {
        int count = 0;
        result = g_iconReader(nullptr, text, file, &count, 1, 0, 0);
    } else if ((rule->call == CALL_NAME || rule->call == CALL_MACBINARY_COPY) && row->byName) {
        result = row->byName(path.c_str(), nullptr, text, 32);
    } else {
        ADD_FAILURE() << "no reader for " << row->name;
    }
    if (file != HFILE_ERROR) _lclose(file);
    if (row->finish) row->finish();
    return result;
}

struct Outcome {
    LoadOutcome outcome;
    std::string messages;
};

// Reads the file, checks that the outcome agrees with the messages and the
// record, and frees the record.
Outcome ReadAndCheck(DetectedFormat format, const std::string& path, const std::string& what) {
    RecordMessages record;
    ReaderResult r = CallReader(format, path);
    EXPECT_EQ(IsPicture(r.outcome), r.image != nullptr) << what << ": " << NameOf(r.outcome);
    EXPECT_EQ(IsReported(r.outcome), !record.messages.empty())
        << what << ": " << NameOf(r.outcome) << ", messages: " << JoinedMessages(record);
    const FormatRow* row = FormatRowOf(format);
    if (r.image && row && row->kind == KIND_WMF) {
        DeleteMetaFile(reinterpret_cast<HMETAFILE>(r.image)); // a metafile, not a record
    } else if (r.image && row && row->kind == KIND_EMF) {
        DeleteEnhMetaFile(reinterpret_cast<HENHMETAFILE>(r.image));
    } else if (r.image) {
        EXPECT_TRUE(IsValidImageRecord(r.image)) << what;
        GlobalFree(r.image);
    }
    return Outcome{r.outcome, JoinedMessages(record)};
}

// A 3 x 2 lossless WebP file made by libwebp itself.
Bytes Webp() {
    const uint8_t bgra[3 * 2 * 4] = {0,   0,   255, 255, 0, 255, 0, 128, 255, 0,  0,   255,
                                     255, 255, 255, 255, 0, 0,   0, 255, 9,   99, 199, 0};
    uint8_t* encoded = nullptr;
    size_t size = WebPEncodeLosslessBGRA(bgra, 3, 2, 3 * 4, &encoded);
    Bytes file(encoded, encoded + size);
    WebPFree(encoded);
    return file;
}

Bytes Cut(Bytes b, size_t n) {
    b.resize(n < b.size() ? n : b.size());
    return b;
}
void PutLe16(Bytes& b, size_t at, unsigned v) {
    b[at] = BYTE(v);
    b[at + 1] = BYTE(v >> 8);
}

// Files of each format, small and valid, from the test builders.
// A two-row bitmap, black and white below 24 bits.
Bytes Bitmap(uint32_t headerSize, int32_t width, uint16_t bits, uint32_t compression,
             const Bytes& pixels) {
    BmpSpec s;
    s.headerSize = headerSize;
    s.width = width;
    s.height = 2;
    s.bitCount = bits;
    s.compression = compression;
    if (bits < 24) s.colors = {0x000000, 0xFFFFFF};
    s.pixels = pixels;
    return BuildBmp(s);
}
Bytes Bitmap24() {
    return Bitmap(40, 2, 24, 0, PadRows({{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}}));
}
Bytes BitmapRle8() {
    return Bitmap(40, 4, 8, 1, {4, 1, 0, 0, 4, 0, 0, 1});
}
Bytes Os2Bitmap() {
    return Bitmap(12, 8, 1, 0, PadRows({{0xA5}, {0x5A}}));
}
Bytes Os2v2Rle4() {
    return Bitmap(64, 4, 4, 2, {4, 0x01, 0, 0, 4, 0x10, 0, 1});
}
Bytes Gif(int width = 2, int height = 2) {
    gif::File f;
    f.width = width;
    f.height = height;
    f.data = gif::ImageData(Bytes(size_t(width) * size_t(height), 1), 2);
    return gif::Build(f);
}
Bytes Iff(int width = 16, int height = 2, int planes = 1) {
    Bytes rows(size_t(planes) * 2 * 2, 0x5A); // two rows of a 16-pixel picture
    return IffForm("ILBM", {IffBmhd(width, height, planes), IffCmap({0x000000, 0xFFFFFF}),
                            IffChunk("BODY", rows)});
}
Bytes Jpeg() {
    jpeg::Settings s;
    s.width = 64;
    s.height = 64;
    return jpeg::Make(s);
}
// 8-bit PCX (version 5) with its 256-entry palette, or bit planes.
Bytes Pcx(int bits, int planes, int width, int height) {
    Bytes b(128, 0);
    b[0] = 10;
    b[1] = 5;
    b[2] = 1;
    b[3] = BYTE(bits);
    PutLe16(b, 8, unsigned(width - 1));
    PutLe16(b, 10, unsigned(height - 1));
    b[65] = BYTE(planes);
    const int bytesPerLine = ((width * bits + 7) / 8 + 1) & ~1;
    PutLe16(b, 66, unsigned(bytesPerLine));
    for (int i = 0; i < bytesPerLine * planes * height; i++) b.push_back(BYTE(i % 0xC0));
    if (bits == 8 && planes == 1) {
        b.push_back(0x0C);
        for (int i = 0; i < 768; i++) b.push_back(BYTE(i));
    }
    return b;
}
Bytes Targa(int type, int bits, int descriptor, int width = 3, int height = 4) {
    Bytes b(18, 0);
    b[2] = BYTE(type);
    PutLe16(b, 12, unsigned(width));
    PutLe16(b, 14, unsigned(height));
    b[16] = BYTE(bits);
    b[17] = BYTE(descriptor);
    for (int i = 0; i < width * height * bits / 8; i++) b.push_back(BYTE(i * 7));
    return b;
}
Bytes Png(int depth = 8) {
    png::Parts p;
    p.width = 4;
    p.height = 2;
    p.depth = depth;
    p.rows = depth == 8 ? std::vector<Bytes>{{1, 2, 3, 4}, {5, 6, 7, 8}}
                        : std::vector<Bytes>{{0x1B}, {0xE4}};
    return png::Build(p);
}
Bytes Tiff(int orientation = 0, uint32_t width = 4, uint32_t height = 2) {
    tifffile::Layout l;
    l.width = width;
    l.height = height;
    l.orientation = orientation;
    // A lying file's strip holds what a small picture would.
    l.chunks = {Bytes(width * height < 64 ? size_t(width * height) : 64, 0x80)};
    return tifffile::Build(l);
}
Bytes SunIcon(const std::string& header, const std::string& words) {
    std::string text = header + words;
    return Bytes(text.begin(), text.end());
}
const char* const kSunHeader =
    "/* Format_version=1, Width=16, Height=2, Depth=1, Valid_bits_per_item=16\n */\n";

struct Case {
    const char* name;
    DetectedFormat format;
    const char* file; // its name: some readers look at the extension
    Bytes bytes;
    LoadOutcome expected;
};

} // namespace

TEST(ReaderOutcome, EveryReaderSaysWhatHappened) {
    Bytes bmpHuge = Bitmap24();
    PutLe16(bmpHuge, 18, 0xFFFF);
    PutLe16(bmpHuge, 20, 0x7FFF); // width 0x7FFFFFFF
    PutLe16(bmpHuge, 22, 0xFFFF);
    PutLe16(bmpHuge, 24, 0x7FFF); // height too
    Bytes bmpCompression = Bitmap24();
    bmpCompression[30] = 7;
    Bytes bmpRle24 = Bitmap24();
    bmpRle24[30] = 1; // RLE 8 said of a 24-bit picture
    Bytes os2Bits = Os2Bitmap();
    os2Bits[14 + 10] = 5;
    Bytes os2v2Bits = Os2v2Rle4();
    os2v2Bits[14 + 14] = 16;
    Bytes gifMagic = Gif();
    gifMagic[2] = 'X';
    Bytes gifEmpty = Cut(Gif(), 13 + 6);
    gifEmpty.push_back(0x3B);
    Bytes gifCodeSize = Gif();
    gifCodeSize[13 + 6 + 10] = 12;
    Bytes gifHuge = Gif();
    PutLe16(gifHuge, 13 + 6 + 5, 0); // frame width 0
    Bytes iffMagic = Iff();
    iffMagic[3] = 'X';
    Bytes iffLying = Iff();
    iffLying[iffLying.size() - 8] = 0x7F; // the BODY claims far more than the file holds
    Bytes jpegMagic = Jpeg();
    jpegMagic[1] = 0xD9; // an end of image where the start should be
    Bytes pcxMagic = Pcx(8, 1, 2, 2);
    pcxMagic[0] = 11;
    Bytes pcxBackwards = Pcx(8, 1, 2, 2);
    PutLe16(pcxBackwards, 4, 5); // minimum x above the maximum
    Bytes pcxHuge = Pcx(8, 3, 2, 2);
    PutLe16(pcxHuge, 8, 0xFFFF);
    PutLe16(pcxHuge, 10, 0xFFFF);
    Bytes pcxOddBits = Pcx(8, 1, 2, 2);
    pcxOddBits[3] = 3; // three bits in each of two planes
    pcxOddBits[65] = 2;
    Bytes tgaHuge = Targa(2, 32, 0);
    PutLe16(tgaHuge, 12, 0xFFFF);
    PutLe16(tgaHuge, 14, 0xFFFF);
    Bytes pngMagic = Png();
    pngMagic[5] = 0;
    Bytes pngBadCrc = Png();
    pngBadCrc[17] = 0x01; // width 65536 + 4, which the header's CRC does not cover
    const Bytes pngHuge = png::FileOf(
        {png::Ihdr(100000, 100000, 8, 0), png::Idat({{1, 2, 3, 4}}), png::Chunk{"IEND", {}}});
    Bytes tiffMagic = Tiff();
    tiffMagic[2] = 0x99;
    const Bytes wmfBox = PlaceableHeader(0, 0, 99, 99, 1000);
    IconImage entry;
    entry.pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    const Bytes icon = IconFile({entry});
    IconImage pngEntry;
    pngEntry.png = Cut(Png(), Png().size() - 20);
    const Bytes iconPng = IconFile({pngEntry});
    Bytes webpForm = Webp();
    webpForm[11] = 'X';

    const Case cases[] = {
        {"bitmap", DET_WINDOWS_BMP, "a.bmp", Bitmap24(), LOAD_PICTURE},
        {"bitmap, RLE 8", DET_WINDOWS_BMP, "a.bmp", BitmapRle8(), LOAD_PICTURE},
        {"bitmap, pixels cut short", DET_WINDOWS_BMP, "a.bmp", Cut(Bitmap24(), 60), LOAD_PICTURE},
        {"bitmap, header cut short", DET_WINDOWS_BMP, "a.bmp", Cut(Bitmap24(), 20),
         LOAD_NONE_REPORTED},
        {"bitmap, lying sizes", DET_WINDOWS_BMP, "a.bmp", bmpHuge, LOAD_NONE_REPORTED},
        {"bitmap, unknown compression", DET_WINDOWS_BMP, "a.bmp", bmpCompression,
         LOAD_NONE_REPORTED},
        {"bitmap, RLE of 24 bits", DET_WINDOWS_BMP, "a.bmp", bmpRle24, LOAD_NONE_SILENT},
        {"OS/2 bitmap", DET_OS2_BMP, "a.bmp", Os2Bitmap(), LOAD_PICTURE},
        {"OS/2 bitmap, header cut short", DET_OS2_BMP, "a.bmp", Cut(Os2Bitmap(), 18),
         LOAD_NONE_REPORTED},
        {"OS/2 bitmap, 5 bits", DET_OS2_BMP, "a.bmp", os2Bits, LOAD_NONE_REPORTED},
        {"OS/2 2.0 bitmap, RLE 4", DET_OS2V2_BMP, "a.bmp", Os2v2Rle4(), LOAD_PICTURE},
        {"OS/2 2.0 bitmap, 16 bits", DET_OS2V2_BMP, "a.bmp", os2v2Bits, LOAD_NONE_SILENT},
        {"OS/2 2.0 bitmap, header cut short", DET_OS2V2_BMP, "a.bmp", Cut(Os2v2Rle4(), 40),
         LOAD_NONE_REPORTED},
        {"GIF", DET_GIF, "a.gif", Gif(), LOAD_PICTURE},
        {"GIF, data cut short", DET_GIF, "a.gif", Cut(Gif(), Gif().size() - 4), LOAD_PICTURE},
        {"GIF, screen cut short", DET_GIF, "a.gif", Cut(Gif(), 10), LOAD_NONE_REPORTED},
        {"GIF, bad magic", DET_GIF, "a.gif", gifMagic, LOAD_NONE_REPORTED},
        {"GIF, no frame", DET_GIF, "a.gif", gifEmpty, LOAD_NONE_SILENT},
        {"GIF, code size 12", DET_GIF, "a.gif", gifCodeSize, LOAD_NONE_SILENT},
        {"GIF, frame 0 wide", DET_GIF, "a.gif", gifHuge, LOAD_NONE_REPORTED},
        {"IFF", DET_IFF, "a.iff", Iff(), LOAD_PICTURE},
        {"IFF, body claims more", DET_IFF, "a.iff", iffLying, LOAD_PICTURE},
        {"IFF, bad magic", DET_IFF, "a.iff", iffMagic, LOAD_NONE_REPORTED},
        {"IFF, cut after the form", DET_IFF, "a.iff", Cut(Iff(), 12), LOAD_NONE_REPORTED},
        {"IFF, 65535 x 65535 x 24 planes", DET_IFF, "a.iff", Iff(65535, 65535, 24),
         LOAD_NONE_REPORTED},
        {"JPEG", DET_JPEG, "a.jpg", Jpeg(), LOAD_PICTURE},
        {"JPEG, cut short", DET_JPEG, "a.jpg", Cut(Jpeg(), Jpeg().size() - 16), LOAD_PICTURE},
        {"JPEG, markers only", DET_JPEG, "a.jpg", Cut(Jpeg(), 2), LOAD_NONE_SILENT},
        {"JPEG, bad marker", DET_JPEG, "a.jpg", jpegMagic, LOAD_NONE_SILENT},
        {"PCX", DET_PCX, "a.pcx", Pcx(8, 1, 2, 2), LOAD_PICTURE},
        {"PCX, planes", DET_PCX, "a.pcx", Pcx(1, 4, 12, 3), LOAD_PICTURE},
        {"PCX, pixels cut short", DET_PCX, "a.pcx", Cut(Pcx(8, 3, 4, 4), 140), LOAD_PICTURE},
        {"PCX, empty", DET_PCX, "a.pcx", Bytes(), LOAD_NONE_SILENT},
        {"PCX, bad magic", DET_PCX, "a.pcx", pcxMagic, LOAD_NONE_REPORTED},
        {"PCX, backwards window", DET_PCX, "a.pcx", pcxBackwards, LOAD_NONE_REPORTED},
        {"PCX, lying sizes", DET_PCX, "a.pcx", pcxHuge, LOAD_NONE_REPORTED},
        {"PCX, three bits in two planes", DET_PCX, "a.pcx", pcxOddBits, LOAD_PICTURE_REPORTED},
        {"Targa", DET_TARGA, "a.tga", Targa(2, 24, 0), LOAD_PICTURE},
        {"Targa, grey and alpha", DET_TARGA, "a.tga", Targa(3, 16, 8), LOAD_PICTURE},
        {"Targa, interleaved", DET_TARGA, "a.tga", Targa(2, 24, 0x40), LOAD_PICTURE},
        {"Targa, pixels cut short", DET_TARGA, "a.tga", Cut(Targa(2, 24, 0), 25), LOAD_PICTURE},
        {"Targa, header cut short", DET_TARGA, "a.tga", Cut(Targa(2, 24, 0), 10),
         LOAD_NONE_REPORTED},
        {"Targa, type 5", DET_TARGA, "a.tga", Targa(5, 24, 0), LOAD_NONE_REPORTED},
        {"Targa, 7 bits", DET_TARGA, "a.tga", Targa(2, 7, 0), LOAD_NONE_REPORTED},
        {"Targa, lying sizes", DET_TARGA, "a.tga", tgaHuge, LOAD_NONE_REPORTED},
        {"PNG", DET_PNG, "a.png", Png(), LOAD_PICTURE},
        {"PNG, 2 bits", DET_PNG, "a.png", Png(2), LOAD_PICTURE},
        {"PNG, cut short", DET_PNG, "a.png", Cut(Png(), Png().size() - 20), LOAD_NONE_SILENT},
        {"PNG, bad magic", DET_PNG, "a.png", pngMagic, LOAD_NONE_SILENT},
        {"PNG, header CRC wrong", DET_PNG, "a.png", pngBadCrc, LOAD_NONE_SILENT},
        {"PNG, lying sizes", DET_PNG, "a.png", pngHuge, LOAD_NONE_REPORTED},
        {"TIFF", DET_TIFF, "a.tif", Tiff(), LOAD_PICTURE},
        {"TIFF, upside down", DET_TIFF, "a.tif", Tiff(3), LOAD_PICTURE},
        {"TIFF, bad magic", DET_TIFF, "a.tif", tiffMagic, LOAD_NONE_SILENT},
        {"TIFF, cut short", DET_TIFF, "a.tif", Cut(Tiff(), 6), LOAD_NONE_SILENT},
        // libtiff refuses to open it: to the reader that is no TIFF.
        {"TIFF, 0 wide", DET_TIFF, "a.tif", Tiff(0, 0, 2), LOAD_NONE_SILENT},
        {"TIFF, lying sizes", DET_TIFF, "a.tif", Tiff(0, 200000, 200000), LOAD_NONE_REPORTED},
        {"Sun icon", DET_SUN_ICON, "a.ico", SunIcon(kSunHeader, "0xFFFF,0x0000,\n0x1234,0x5678\n"),
         LOAD_PICTURE},
        {"Sun icon, words cut short", DET_SUN_ICON, "a.ico", SunIcon(kSunHeader, "0xFFFF,"),
         LOAD_PICTURE},
        {"Sun icon, depth 4", DET_SUN_ICON, "a.ico",
         SunIcon("/* Width=16, Height=2, Depth=4 */\n", "0xFFFF"), LOAD_NONE_REPORTED},
        {"Sun icon, no width", DET_SUN_ICON, "a.ico", SunIcon("/* Height=2, Depth=1 */\n", ""),
         LOAD_NONE_REPORTED},
        {"Sun icon, lying sizes", DET_SUN_ICON, "a.ico",
         SunIcon("/* Width=2000000000, Height=2000000000, Depth=8 */\n", ""), LOAD_NONE_REPORTED},
        {"placeable metafile", DET_WMF_PLACEABLE, "a.wmf", Joined(wmfBox, WindowsMetafile()),
         LOAD_PICTURE},
        {"placeable metafile, key only", DET_WMF_PLACEABLE, "a.wmf", wmfBox, LOAD_NONE_REPORTED},
        {"placeable metafile, no metafile behind", DET_WMF_PLACEABLE, "a.wmf",
         Joined(wmfBox, Bytes(30, 0xEE)), LOAD_NONE_SILENT},
        {"metafile", DET_WMF, "a.wmf", WindowsMetafile(), LOAD_PICTURE},
        {"metafile, random bytes", DET_WMF, "a.wmf", Bytes(64, 0x5A), LOAD_NONE_SILENT},
        {"enhanced metafile", DET_EMF, "a.emf", EnhancedMetafile(0, 0, 9, 9), LOAD_PICTURE},
        {"icon", DET_ICON, "a.ico", icon, LOAD_PICTURE},
        {"icon, cut short", DET_ICON, "a.ico", Cut(icon, icon.size() - 3), LOAD_NONE_REPORTED},
        {"icon, PNG entry cut short", DET_ICON, "a.ico", iconPng, LOAD_NONE_REPORTED},
        {"WebP", DET_WEBP, "a.webp", Webp(), LOAD_PICTURE},
        {"WebP, cut short", DET_WEBP, "a.webp", Cut(Webp(), 20), LOAD_NONE_REPORTED},
        {"WebP, bad form", DET_WEBP, "a.webp", webpForm, LOAD_NONE_REPORTED},
        {"enhanced metafile, random bytes", DET_EMF, "a.emf", Bytes(300, 0xA5), LOAD_NONE_REPORTED},
    };
    std::set<const FormatRow*> covered;
    for (const Case& c : cases) {
        Outcome got = ReadAndCheck(c.format, WriteTestFile(c.file, c.bytes), c.name);
        EXPECT_EQ(got.outcome, c.expected)
            << c.name << ": " << NameOf(got.outcome) << ", messages: " << got.messages;
        covered.insert(FormatRowOf(c.format));
    }
    // Every row with a reader has its cases here.
    for (int i = 0; i < FORMAT_ROW_COUNT; i++) {
        const FormatRow& row = g_formats[i];
        if (row.byHandle || row.byBuffer || row.byName) {
            EXPECT_TRUE(covered.count(&row)) << row.name << " has no cases";
        }
    }
}

// Each allocation of a read failing in turn: whatever the reader then does,
// its outcome agrees with its messages; and the readers that keep a partly
// read picture when a working block cannot be had say so.
TEST(ReaderOutcome, AllocationFailuresAreToldAsTheyHappen) {
    const struct {
        const char* name;
        DetectedFormat format;
        const char* file;
        Bytes bytes;
        bool keepsPicture; // some failure leaves a picture, reported
    } cases[] = {
        {"bitmap, RLE 8", DET_WINDOWS_BMP, "a.bmp", BitmapRle8(), true},
        {"OS/2 2.0 bitmap, RLE 4", DET_OS2V2_BMP, "a.bmp", Os2v2Rle4(), true},
        {"OS/2 bitmap", DET_OS2_BMP, "a.bmp", Os2Bitmap(), false},
        {"GIF", DET_GIF, "a.gif", Gif(), false},
        {"IFF", DET_IFF, "a.iff", Iff(), false},
        {"JPEG", DET_JPEG, "a.jpg", Jpeg(), false},
        {"PCX, planes", DET_PCX, "a.pcx", Pcx(1, 4, 12, 3), true},
        {"Targa, interleaved", DET_TARGA, "a.tga", Targa(2, 24, 0x40), true},
        {"Targa, grey and alpha", DET_TARGA, "a.tga", Targa(3, 16, 8), false},
        {"PNG, 2 bits", DET_PNG, "a.png", Png(2), true},
        {"TIFF, upside down", DET_TIFF, "a.tif", Tiff(3), true},
        {"Sun icon", DET_SUN_ICON, "a.ico", SunIcon(kSunHeader, "0xFFFF,0x0000,\n"), false},
    };
    for (const auto& c : cases) {
        const std::string path = WriteTestFile(c.file, c.bytes);
        std::set<LoadOutcome> seen;
        for (int n = 1; n <= 8; n++) {
            FailGlobalAllocAt(n);
            Outcome got =
                ReadAndCheck(c.format, path,
                             std::string(c.name) + ", allocation " + std::to_string(n) + " fails");
            FailGlobalAllocAt(0);
            seen.insert(got.outcome);
            if (got.outcome == LOAD_PICTURE_REPORTED || got.outcome == LOAD_NONE_REPORTED) {
                EXPECT_NE(got.messages.find("Memory"), std::string::npos)
                    << c.name << ", allocation " << n << ": " << got.messages;
            }
        }
        EXPECT_TRUE(seen.count(LOAD_NONE_REPORTED)) << c.name << ": the record itself";
        EXPECT_TRUE(seen.count(LOAD_PICTURE)) << c.name << ": enough allocations";
        EXPECT_EQ(seen.count(LOAD_PICTURE_REPORTED) == 1, c.keepsPicture) << c.name;
        EXPECT_FALSE(seen.count(LOAD_NONE_SILENT)) << c.name;
    }
}
