#include "test_util.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/text.h"
#include "core/state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
Bytes WithHead(std::initializer_list<uint8_t> head, size_t size = 200) {
    Bytes b(head);
    b.resize(size, 0);
    return b;
}

DetectedFormat Detect(const std::string& name, const Bytes& bytes) {
    std::string path = WriteTestFile(name, bytes);
    HFILE file = _lopen(path.c_str(), OF_READ);
    EXPECT_NE(file, HFILE_ERROR);
    DetectedFormat format = DetectFormat(file, path.c_str());
    EXPECT_EQ(_llseek(file, 0, FILE_CURRENT), 0) << "detection leaves the file at 0";
    _lclose(file);
    return format;
}

// Readers standing in for formats whose real readers are elsewhere, so the
// loader's part of the contract can be watched.
std::string g_seenName;
Bytes g_seenBytes;
LONG g_seenPosition = -1;

ReaderResult FakeTiff(const char* name, HWND, char* text, int) {
    g_seenName = name;
    g_seenBytes = ReadWholeFile(name);
    std::strcpy(text, "image type: TIFF \n");
    g_orientation = 5;
    return GotPicture(AllocImageRecord(2, 2, 24, 0));
}

ReaderResult FakeHandleReader(HFILE file, HWND, char*) {
    g_seenPosition = _llseek(file, 0, FILE_CURRENT);
    return GotPicture(AllocImageRecord(2, 2, 24, 0));
}

// Reads the whole file through the loader's byte reader.
int g_lentCapacity = 0;
ReaderResult FakeBufferedReader(ByteReader* in, HWND, char*) {
    BYTE value;
    g_seenBytes.clear();
    g_lentCapacity = in->capacity;
    while (NextByte(in, &value)) g_seenBytes.push_back(value);
    return NoPictureSilent();
}

// A 24-bit record that still carries a 2-entry colour table in front of its pixels.
ReaderResult TrueColorWithTable(HFILE, HWND, char*) {
    HGLOBAL image = GlobalAlloc(GHND, 40 + 8 + 12);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    h->biSize = 40;
    h->biWidth = 1;
    h->biHeight = 3;
    h->biPlanes = 1;
    h->biBitCount = 24;
    h->biClrUsed = 2;
    BYTE* p = reinterpret_cast<BYTE*>(h) + 48;
    for (int i = 0; i < 12; i++) p[i] = BYTE(i + 1);
    GlobalUnlock(image);
    return GotPicture(image);
}

ReaderResult Broken(HFILE, HWND, char*) {
    HGLOBAL image = AllocImageRecord(4, 4, 8, 256);
    static_cast<BITMAPINFOHEADER*>(GlobalLock(image))->biHeight = 4000;
    GlobalUnlock(image);
    return GotPicture(image);
}

// Puts the format table's readers back as they were.
struct SwapReaders {
    std::vector<FormatRow> saved{g_formats, g_formats + FORMAT_ROW_COUNT};
    IconReader icons = g_iconReader;
    AnimatedReader animations = g_animatedReader;
    ~SwapReaders() {
        std::copy(saved.begin(), saved.end(), g_formats);
        g_iconReader = icons;
        g_animatedReader = animations;
    }
};

FormatRow& RowOf(DetectedFormat format) {
    return *FormatRowOf(format);
}
} // namespace

TEST(Detection, MagicValuesAndExtensions) {
    Bytes bmp = WithHead({'B', 'M'});
    auto bm = [&](uint8_t size) {
        Bytes b = bmp;
        b[14] = size;
        return b;
    };
    struct Case {
        const char* name;
        Bytes bytes;
        DetectedFormat format;
    } cases[] = {
        {"w.bmp", bm(40), DET_WINDOWS_BMP},
        {"w4.bmp", bm(108), DET_WINDOWS_BMP},
        {"w5.bmp", bm(124), DET_WINDOWS_BMP},
        {"o.bmp", bm(12), DET_OS2_BMP},
        {"o2.bmp", bm(64), DET_OS2V2_BMP},
        {"x.bmp", bm(16), DET_BITMAP_OTHER},
        {"short.bmp", Bytes{'B', 'M', 0, 0}, DET_BITMAP_OTHER},
        {"a.dat", WithHead({'G', 'I', 'F', '8'}), DET_GIF},
        {"a.dat", WithHead({0xFF, 0xD8, 0xFF}), DET_JPEG},
        {"p0", WithHead({0x0A, 0}), DET_PCX},
        {"p2", WithHead({0x0A, 2}), DET_PCX},
        {"p3", WithHead({0x0A, 3}), DET_PCX},
        {"p4", WithHead({0x0A, 4}), DET_PCX},
        {"p5", WithHead({0x0A, 5}), DET_PCX},
        {"p1", WithHead({0x0A, 1}), DET_NONE},
        {"t1", WithHead({'I', 'I', 42, 0}), DET_TIFF},
        {"t2", WithHead({'M', 'M', 0, 42}), DET_TIFF},
        {"png", WithHead({0x89, 'P', 'N', 'G'}), DET_PNG},
        {"png-bad", WithHead({0x89, 'P', 'N', 'X'}), DET_NONE},
        {"form", WithHead({'F', 'O', 'R', 'M'}), DET_IFF},
        {"riff", WithHead({'R', 'I', 'F', 'F'}), DET_ANI},
        {"a.ico", WithHead({0, 0, 1, 0}), DET_ICON},
        {"a.ICN", WithHead({0, 0, 1, 0}), DET_ICON},
        {"a.cur", WithHead({0, 0, 2, 0}), DET_ICON},
        {"a.ico3", WithHead({0, 0, 3, 0}), DET_NONE},
        {"a.bin", WithHead({0, 0, 1, 0}), DET_NONE},
        {"sun.ico", WithHead({'/', '*', ' ', 'F'}), DET_SUN_ICON},
        {"sun.Ico", WithHead({'/', '*'}), DET_SUN_ICON},
        {"sun.txt", WithHead({'/', '*'}), DET_NONE},
        {"any.name", WithHead({0xD7, 0xCD, 0xC6, 0x9A}), DET_WMF_PLACEABLE},
        {"plain.wmf", WithHead({1, 0, 9, 0}), DET_WMF},
        {"PLAIN.WMF", WithHead({1, 0, 9, 0}), DET_WMF},
        {"x.emf", WithHead({1, 0, 0, 0}), DET_EMF},
        {"x.tga", WithHead({0, 0, 2, 0}), DET_TARGA},
        {"xtga", WithHead({0, 0, 2, 0}), DET_TARGA}, // the dot is not looked at
        {"x.tg", WithHead({0, 0, 2, 0}), DET_NONE},
        {"empty", Bytes{}, DET_NONE},
    };
    for (const Case& c : cases) EXPECT_EQ(Detect(c.name, c.bytes), c.format) << c.name;
}

TEST(Detection, FirstMatchWins) {
    // "BM" wins over any extension; a Targa name does not make a PCX file a Targa.
    Bytes bm = WithHead({'B', 'M'});
    bm[14] = 40;
    EXPECT_EQ(Detect("really.tga", bm), DET_WINDOWS_BMP);
    EXPECT_EQ(Detect("pcx.tga", WithHead({0x0A, 5})), DET_PCX);
    EXPECT_EQ(Detect("icon.wmf", WithHead({0, 0, 1, 0})), DET_WMF);
    EXPECT_EQ(Detect("placeable.emf", WithHead({0xD7, 0xCD})), DET_WMF_PLACEABLE);
}

TEST(Detection, MacBinaryHeader) {
    Bytes gif = WithHead({0, 'x'}, 300);
    gif[128] = 'G';
    gif[129] = 'I';
    EXPECT_EQ(Detect("mac.gif", gif), DET_MACBINARY_GIF);
    for (uint8_t order : {uint8_t('I'), uint8_t('M')}) {
        Bytes tiff = WithHead({0, 'x'}, 300);
        tiff[128] = tiff[129] = order;
        EXPECT_EQ(Detect("mac.tif", tiff), DET_MACBINARY_TIFF);
    }
    Bytes shortFile = WithHead({0, 'x'}, 135); // fewer than 10 bytes behind the header
    shortFile[128] = shortFile[129] = 'I';
    EXPECT_EQ(Detect("short.tif", shortFile), DET_NONE);
    Bytes other = WithHead({0, 'x'}, 300);
    other[128] = 'X';
    EXPECT_EQ(Detect("other", other), DET_NONE);
}

TEST(Loader, MacBinaryTiffIsReadThroughATemporaryCopy) {
    SwapReaders swap;
    RowOf(DET_TIFF).byName = FakeTiff;
    Bytes file = WithHead({0, 'm', 'a', 'c'}, 128);
    Bytes tiff = {'M', 'M', 0, 42, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    file.insert(file.end(), tiff.begin(), tiff.end());
    std::string path = WriteTestFile("wrapped", file);
    ASSERT_TRUE(LoadForTest(path));
    EXPECT_EQ(g_seenBytes, tiff) << "the copy holds everything after the 128-byte header";
    EXPECT_NE(g_seenName, path);
    EXPECT_FALSE(FileExists(g_seenName)) << "the temporary copy is removed";
    EXPECT_EQ(g_orientation, 0);
    EXPECT_EQ(g_viewKind, KIND_RASTER);
    EXPECT_STREQ(g_infoText, "image type: TIFF \n");
    ReleaseCurrentPicture();
}

TEST(Loader, HandleReadersGetTheFileAtOffsetZero) {
    SwapReaders swap;
    RowOf(DET_GIF).byHandle = FakeHandleReader;
    Bytes file = WithHead({0, 'm'}, 300);
    file[128] = 'G';
    file[129] = 'I';
    g_seenPosition = -1;
    ASSERT_TRUE(LoadForTest(WriteTestFile("wrapped.gif", file)));
    EXPECT_EQ(g_seenPosition, 0);
    EXPECT_EQ(g_frameDelay, 25);
    ReleaseCurrentPicture();
}

TEST(Loader, BufferedByteReaderRefillsIn2048BytePieces) {
    SwapReaders swap;
    RowOf(DET_TARGA).byBuffer = FakeBufferedReader;
    Bytes file(5000);
    for (size_t i = 0; i < file.size(); i++) file[i] = BYTE(i * 7 + 3);
    file[0] = file[1] = 0; // nothing earlier in the table claims it
    EXPECT_FALSE(LoadForTest(WriteTestFile("big.tga", file)));
    EXPECT_EQ(g_seenBytes, file);
    EXPECT_EQ(g_lentCapacity, READ_BUFFER_SIZE) << "the loader lends its 2048-byte read buffer";
}

TEST(Loader, FormatsWithoutReadersGiveNoPicture) {
    SwapReaders swap;
    for (int i = 0; i < FORMAT_ROW_COUNT; i++) {
        g_formats[i].byHandle = nullptr;
        g_formats[i].byBuffer = nullptr;
        g_formats[i].byName = nullptr;
    }
    g_iconReader = nullptr;
    g_animatedReader = nullptr;
    RecordMessages record;
    struct Case {
        const char* name;
        Bytes bytes;
        int kind;
    } cases[] = {
        {"a.gif", WithHead({'G', 'I', 'F'}), KIND_RASTER},
        {"a.jpg", WithHead({0xFF, 0xD8}), KIND_RASTER},
        {"a.pcx", WithHead({0x0A, 5}), KIND_RASTER},
        {"a.tif", WithHead({'I', 'I', 42}), KIND_RASTER},
        {"a.png", WithHead({0x89, 'P', 'N', 'G'}), KIND_RASTER},
        {"a.iff", WithHead({'F', 'O', 'R', 'M'}), KIND_RASTER},
        {"a.ani", WithHead({'R', 'I', 'F', 'F'}), KIND_NONE},
        {"a.ico", WithHead({0, 0, 1, 0}), KIND_NONE},
        {"a.wmf", WithHead({1, 0}), KIND_NONE}, // the system does not take it: no message
        {"a.tga", WithHead({0, 0, 2}), KIND_RASTER},
        {"unknown.xyz", WithHead({1, 2, 3}), KIND_NONE},
        {"other.bmp", WithHead({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16}), KIND_RASTER},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(LoadForTest(WriteTestFile(c.name, c.bytes))) << c.name;
        EXPECT_EQ(g_picture, nullptr) << c.name;
        EXPECT_EQ(g_viewKind, c.kind) << c.name;
    }
    EXPECT_TRUE(record.messages.empty());
}

TEST(Loader, OpenFailure) {
    RecordMessages record;
    EXPECT_FALSE(LoadForTest(TestDir() + "/does-not-exist.bmp"));
    ASSERT_EQ(record.messages.size(), 1u);
    EXPECT_EQ(record.messages[0].text, "Error Opening File");
    EXPECT_EQ(record.messages[0].caption, "(null)");
    EXPECT_EQ(record.messages[0].owner, nullptr);
    EXPECT_EQ(record.messages[0].type, UINT(MB_ICONERROR));
    EXPECT_EQ(g_viewKind, KIND_NONE);
}

TEST(Loader, RecordsAboveEightBitsLoseTheirColourTable) {
    SwapReaders swap;
    RowOf(DET_IFF).byHandle = TrueColorWithTable;
    ASSERT_TRUE(LoadForTest(WriteTestFile("t.iff", WithHead({'F', 'O', 'R', 'M'}))));
    BITMAPINFOHEADER h = HeaderOf(g_picture);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(RawPixelAt(g_picture, 0, 2), 0x030201u) << "pixels moved up to the header";
    EXPECT_EQ(RawPixelAt(g_picture, 0, 0), 0x0B0A09u);
    ReleaseCurrentPicture();
}

TEST(Loader, RefusesRecordsThatFailTheValidityCheck) {
    SwapReaders swap;
    RowOf(DET_IFF).byHandle = Broken;
    RecordMessages record;
    EXPECT_FALSE(LoadForTest(WriteTestFile("b.iff", WithHead({'F', 'O', 'R', 'M'}))));
    EXPECT_EQ(g_picture, nullptr);
    EXPECT_EQ(g_viewKind, KIND_NONE);
    ASSERT_EQ(record.messages.size(), 1u);
    EXPECT_EQ(record.messages[0].text, "Invalid Picture Data");
}

TEST(Loader, PacksAndRecordsTheMonochromeTest) {
    // An 8-bit Windows bitmap with two colours, white then black, becomes
    // a 1-bit record whose colours-used value marks black and white.
    BmpSpec bmpFile;
    bmpFile.width = 3;
    bmpFile.height = 2;
    bmpFile.bitCount = 8;
    bmpFile.clrUsed = 2;
    bmpFile.colors = {0xFFFFFF, 0x000000};
    bmpFile.pixels = PadRows({{0, 1, 0}, {1, 1, 0}});
    ASSERT_TRUE(LoadForTest(WriteTestFile("mono.bmp", BuildBmp(bmpFile))));
    EXPECT_EQ(g_bitCount, 1);
    EXPECT_EQ(g_colorsUsed, 1);
    EXPECT_EQ(HeaderOf(g_picture).biClrUsed, 2u);
    EXPECT_EQ(RawPixelAt(g_picture, 0, 0), 1u); // top row is the last stored
    EXPECT_EQ(RawPixelAt(g_picture, 2, 0), 0u);
    EXPECT_EQ(RawPixelAt(g_picture, 0, 1), 0u);
    EXPECT_EQ(RawPixelAt(g_picture, 1, 1), 1u);
    ReleaseCurrentPicture();

    bmpFile.colors = {0x000000, 0x303030};
    ASSERT_TRUE(LoadForTest(WriteTestFile("grey.bmp", BuildBmp(bmpFile))));
    EXPECT_EQ(g_bitCount, 1);
    EXPECT_EQ(g_colorsUsed, 2);
    ReleaseCurrentPicture();
    EXPECT_EQ(g_picture, nullptr);
}

TEST(InfoText, WritesStayInsideTheBuffer) {
    char text[INFO_TEXT_SIZE + 16];
    std::memset(text, 'z', sizeof text);
    text[0] = 0;
    std::string line(120, 'a');
    for (int i = 0; i < 10; i++) InfoAppend(text, "%s \n", line.c_str());
    EXPECT_EQ(std::strlen(text), size_t(INFO_TEXT_SIZE - 1));
    for (size_t i = INFO_TEXT_SIZE; i < sizeof text; i++) EXPECT_EQ(text[i], 'z');
    InfoSet(text, "%s", std::string(900, 'b').c_str());
    EXPECT_EQ(std::strlen(text), size_t(INFO_TEXT_SIZE - 1));
}

namespace {
ReaderResult ReportsButReturns(HFILE, HWND owner, char*) {
    ReportError(owner, "Unrecognized File Structure");
    return GotPictureReported(AllocImageRecord(2, 2, 24, 0));
}
ReaderResult ReportsAndGivesUp(HFILE, HWND owner, char*) {
    ReportError(owner, "Invalid IFF File");
    return NoPictureReported();
}
ReaderResult GivesUpSilently(HFILE, HWND, char*) {
    return NoPictureSilent();
}
ReaderResult Returns(HFILE, HWND, char*) {
    return GotPicture(AllocImageRecord(2, 2, 24, 0));
}
} // namespace

// The outcome tells a picture from none, and whether the user was told
// something on the way, whichever step told it.
TEST(Loader, OutcomeSaysWhatHappened) {
    SwapReaders swap;
    RecordMessages record;
    struct Case {
        const char* name;
        HandleReader reader;
        LoadOutcome outcome;
        size_t messages;
    } cases[] = {
        {"fine.iff", Returns, LOAD_PICTURE, 0},
        {"partly.iff", ReportsButReturns, LOAD_PICTURE_REPORTED, 1},
        {"refused.iff", ReportsAndGivesUp, LOAD_NONE_REPORTED, 1},
        {"invalid.iff", Broken, LOAD_NONE_REPORTED, 1},
        {"silent.iff", GivesUpSilently, LOAD_NONE_SILENT, 0},
    };
    for (const Case& c : cases) {
        RowOf(DET_IFF).byHandle = c.reader;
        record.messages.clear();
        ReleaseCurrentPicture();
        std::string path = WriteTestFile(c.name, WithHead({'F', 'O', 'R', 'M'}));
        EXPECT_EQ(LoadPicture(path.c_str(), nullptr, 32), c.outcome) << c.name;
        EXPECT_EQ(record.messages.size(), c.messages) << c.name;
        EXPECT_EQ(g_picture != nullptr,
                  c.outcome == LOAD_PICTURE || c.outcome == LOAD_PICTURE_REPORTED)
            << c.name;
    }
    ReleaseCurrentPicture();
    record.messages.clear();
    EXPECT_EQ(LoadPicture(WriteTestFile("x.xyz", WithHead({1, 2, 3})).c_str(), nullptr, 32),
              LOAD_NONE_SILENT);
    EXPECT_EQ(LoadPicture((TestDir() + "/not-there.bmp").c_str(), nullptr, 32), LOAD_NONE_REPORTED);
    EXPECT_EQ(record.messages.size(), 1u) << "Error Opening File";
}
