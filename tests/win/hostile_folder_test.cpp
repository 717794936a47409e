// The browser over a folder of hostile files: truncated pictures, headers
// that lie about their sizes and random bytes under every extension the
// program lists, each confirmed in turn. The program must answer each with
// a picture it can rely on or its messages, and stay alive and responsive.
#include "shell_test_util.h"

#include "core/image.h"
#include "core/state.h"
#include "shell/resource.h"
#include "shell/shell.h"
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {
struct HostileFile {
    std::string name;
    Bytes bytes;
    // The program must say something about it. A picture cut short shows
    // what there is, silently; the library readers (PNG, TIFF, JPEG) give up
    // on a broken header without a message of their own today.
    bool message;
};

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words) Put16(b, w);
    return b;
}

Bytes Long(uint32_t value) {
    Bytes b;
    Put32(b, value);
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<HostileFile> HostileFiles() {
    std::vector<HostileFile> files;
    BmpSpec good;
    good.width = 40;
    good.height = 30;
    good.bitCount = 24;
    good.pixels = Bytes(120 * 30, 0x55);
    const Bytes bitmap = BuildBmp(good);
    BmpSpec huge;
    huge.width = 100000;
    huge.height = 100000;
    huge.bitCount = 24;
    huge.pixels = Bytes(64, 0);
    BmpSpec negative = huge;
    negative.width = -5;
    negative.height = 7;
    files.push_back({"truncated.bmp", Bytes(bitmap.begin(), bitmap.begin() + 70), false});
    files.push_back({"header-only.bmp", Bytes(bitmap.begin(), bitmap.begin() + 20), true});
    files.push_back({"huge.bmp", BuildBmp(huge), true});
    files.push_back({"negative-width.bmp", BuildBmp(negative), true});
    // GIF: a logical screen and an image of 65535 x 65535.
    files.push_back({"huge.gif",
                     (Bytes{'G', 'I', 'F', '8', '9', 'a'} + Words({0xFFFF, 0xFFFF}) +
                      Bytes{0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x2C} +
                      Words({0, 0, 0xFFFF, 0xFFFF}) + Bytes{0, 2, 2, 0x4C, 0x01, 0, 0x3B}),
                     true});
    // PCX: 65535 x 65535 at 24 bits; and no planes over 65535 rows.
    Bytes pcx(128, 0);
    pcx[0] = 10;
    pcx[1] = 5;
    pcx[2] = 1;
    pcx[3] = 8;
    pcx[8] = pcx[9] = pcx[10] = pcx[11] = 0xFF;
    pcx[65] = 3;
    pcx[66] = pcx[67] = 0xFF;
    files.push_back({"huge.pcx", pcx, true});
    pcx[3] = 1;
    pcx[65] = 0;
    pcx[8] = pcx[9] = 0;
    files.push_back({"no-planes.pcx", pcx, true});
    // Targa: 65535 x 65535, run-length, 24 bits, two bytes of data.
    files.push_back({"huge.tga",
                     (Bytes{0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 24, 0} +
                      Bytes{0xFF, 1}),
                     true});
    // PNG: a signature and an IHDR of 2^31 - 1 square, then nothing.
    files.push_back(
        {"huge.png",
         (Bytes{0x89, 'P',  'N',  'G',  13,   10,   26,   10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0x7F,
                0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 8,  2, 0, 0, 0,  0,   0,   0,   0}),
         false});
    // TIFF: one strip whose offset and count point far past the end.
    files.push_back(
        {"lying.tif",
         (Bytes{'I', 'I', 42, 0, 8, 0, 0, 0, 5, 0} + Words({256, 4, 1}) + Long(60000) +
          Words({257, 4, 1}) + Long(60000) + Words({258, 3, 1}) + Long(8) + Words({273, 4, 1}) +
          Long(0x7FFFFFF0) + Words({279, 4, 1}) + Long(0x7FFFFFF0) + Bytes{0, 0, 0, 0}),
         false});
    // IFF: a BMHD of 65535 x 65535 with 24 planes, and a BODY that lies.
    files.push_back({"huge.iff",
                     (Bytes{'F', 'O', 'R', 'M', 0, 0,  0,    40,   'I',  'L',  'B',  'M', 'B', 'M',
                            'H', 'D', 0,   0,   0, 20, 0xFF, 0xFF, 0xFF, 0xFF, 0,    0,   0,   0,
                            24,  0,   1,   0,   0, 0,  1,    1,    0xFF, 0xFF, 0xFF, 0xFF} +
                      Bytes{'B', 'O', 'D', 'Y', 0x7F, 0xFF, 0xFF, 0xFF, 0x80, 0}),
                     true});
    // JPEG: a start of frame of 65535 x 65535 and then the end.
    files.push_back(
        {"huge.jpg",
         Bytes{0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8, 0xFF, 0xFF, 0xFF, 0xFF, 1, 1, 0x11, 0, 0xFF, 0xD9},
         false});
    // Random bytes under every extension the browser lists, and under
    // magic words with random bytes behind them.
    std::mt19937 rng(18);
    const char* extensions[] = {"bmp", "dib", "gif", "pcx", "rle", "jpg", "jpe", "tif", "tga",
                                "png", "iff", "lbm", "wmf", "emf", "ico", "cur", "ani"};
    const Bytes magics[] = {{'B', 'M'},           {'G', 'I', 'F', '8', '9', 'a'},
                            {0xFF, 0xD8, 0xFF},   {'I', 'I', 42, 0},
                            {'M', 'M', 0, 42},    {0x89, 'P', 'N', 'G', 13, 10, 26, 10},
                            {'F', 'O', 'R', 'M'}, {'R', 'I', 'F', 'F'},
                            {0, 0, 1, 0},         {0xD7, 0xCD, 0xC6, 0x9A},
                            {1, 0, 0, 0}};
    int n = 0;
    for (const char* ext : extensions) {
        for (int k = 0; k < 3; k++) {
            Bytes b(1 + rng() % 600);
            for (BYTE& c : b) c = BYTE(rng());
            if (k > 0) {
                const Bytes& m = magics[rng() % (sizeof magics / sizeof magics[0])];
                for (size_t i = 0; i < m.size() && i < b.size(); i++) b[i] = m[i];
            }
            files.push_back({"random" + std::to_string(n++) + "." + ext, b, false});
        }
    }
    return files;
}
} // namespace

TEST(Browser, AFolderOfHostileFilesOnlyBringsMessages) {
    const std::vector<HostileFile> files = HostileFiles();
    std::string dir = TestFolder("hostile");
    for (const HostileFile& f : files) WriteTestFile("hostile\\" + f.name, f.bytes);
    BmpSpec grey;
    grey.bitCount = 24;
    grey.pixels = PadRows({{0x80, 0x80, 0x80}});
    WriteTestFile("hostile\\good.bmp", BuildBmp(grey));
    int result = RunDialog(dir + "\\good.bmp", [&](HWND dialog) {
        PumpMessages();
        size_t said = 0;
        for (const HostileFile& f : files) {
            RecordMessages messages(IDOK);
            ConfirmFile(dialog, f.name);
            PumpMessages();
            ASSERT_TRUE(IsWindow(dialog)) << f.name;
            EXPECT_STREQ(g_fileName, f.name.c_str());
            // Whatever came of it is a picture every consumer can rely on.
            if (g_picture) {
                EXPECT_TRUE(IsValidImageRecord(g_picture)) << f.name;
            }
            if (f.message) {
                EXPECT_FALSE(messages.messages.empty()) << f.name;
            }
            said += messages.messages.size();
        }
        EXPECT_GE(said, 7u);
        // Still alive and answering: a good picture after all of them.
        ConfirmFile(dialog, "good.bmp");
        PumpMessages();
        EXPECT_EQ(g_viewKind, KIND_RASTER);
        ASSERT_NE(g_picture, nullptr);
        EXPECT_EQ(HeaderOf(g_picture).biWidth, 1);
        SendMessageA(dialog, WM_COMMAND, IDC_EXIT, 0);
    });
    EXPECT_EQ(result, 1);
}
