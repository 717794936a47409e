#include "test_util.h"

#include "core/image.h"
#include "core/loader.h"
#include "core/state.h"
#include "tools/display.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#ifdef _WIN32
#include <direct.h>
#include <process.h>
#define MakeDir(p) _mkdir(p)
#define getpid _getpid
#else
#include <unistd.h>
#define MakeDir(p) mkdir(p, 0700)
#endif

namespace {
std::vector<MessageRecord> g_recorded;
int g_answer = IDOK;

int Record(HWND owner, const char* text, const char* caption, UINT type) {
    g_recorded.push_back({owner, text ? text : "", caption ? caption : "(null)", type});
    return g_answer;
}
} // namespace

// Removes the test folder and everything in it when the process ends.
static void RemoveTestDir() {
    std::error_code ignored;
    std::filesystem::remove_all(TestDir(), ignored);
}

std::string TestDir() {
    static std::string dir;
    if (dir.empty()) {
        char base[MAX_PATH];
        DWORD n = GetTempPathA(sizeof base, base);
        std::string root = n ? std::string(base, n) : std::string("./");
        // Unique per process: the process id and a clock reading, retried on a clash.
        unsigned long seed = static_cast<unsigned long>(getpid()) * 2654435761ul ^
                             static_cast<unsigned long>(std::time(nullptr));
        for (int i = 0; i < 1000 && dir.empty(); i++) {
            char name[64];
            std::snprintf(name, sizeof name, "zendra-test-%lu-%d", seed % 1000000007ul, i);
            std::string candidate = root + name;
            if (MakeDir(candidate.c_str()) == 0) dir = candidate;
        }
        if (dir.empty()) {
            std::fprintf(stderr, "cannot make a test folder under %s\n", root.c_str());
            std::abort();
        }
        std::atexit(RemoveTestDir);
    }
    return dir;
}

std::string WriteTestFile(const std::string& name, const Bytes& bytes) {
    std::string path = TestDir() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

RecordMessages::RecordMessages(int answer) : messages(g_recorded), previous(nullptr) {
    g_recorded.clear();
    g_answer = answer;
    previous = SetMessageSink(Record);
}

RecordMessages::~RecordMessages() {
    SetMessageSink(previous);
}

void Put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

Bytes BuildBmp(const BmpSpec& s) {
    Bytes header;
    if (s.headerSize == 12) {
        Put32(header, 12);
        Put16(header, uint32_t(s.width));
        Put16(header, uint32_t(s.height));
        Put16(header, s.planes);
        Put16(header, s.bitCount);
    } else {
        Put32(header, s.headerSize);
        Put32(header, uint32_t(s.width));
        Put32(header, uint32_t(s.height));
        Put16(header, s.planes);
        Put16(header, s.bitCount);
        Put32(header, s.compression);
        Put32(header, s.sizeImage);
        Put32(header, 2835);
        Put32(header, 2835);
        Put32(header, s.clrUsed);
        Put32(header, 0);
        if (s.headerSize > 40)
            for (uint32_t m : s.masks) Put32(header, m);
        while (header.size() < s.headerSize) header.push_back(0);
        if (s.headerSize == 40)
            for (uint32_t m : s.masks) Put32(header, m);
    }
    Bytes table;
    for (uint32_t c : s.colors) {
        table.push_back(uint8_t(c));
        table.push_back(uint8_t(c >> 8));
        table.push_back(uint8_t(c >> 16));
        if (s.headerSize != 12) table.push_back(0);
    }
    uint32_t offset =
        s.dataOffset >= 0 ? uint32_t(s.dataOffset) : uint32_t(14 + header.size() + table.size());
    Bytes out;
    out.push_back('B');
    out.push_back('M');
    Put32(out, uint32_t(14 + header.size() + table.size() + s.pixels.size()));
    Put32(out, 0);
    Put32(out, offset);
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), table.begin(), table.end());
    while (s.dataOffset >= 0 && out.size() < size_t(s.dataOffset)) out.push_back(0);
    out.insert(out.end(), s.pixels.begin(), s.pixels.end());
    return out;
}

Bytes PadRows(const std::vector<Bytes>& rows) {
    Bytes out;
    for (const Bytes& r : rows) {
        out.insert(out.end(), r.begin(), r.end());
        for (size_t i = r.size(); i % 4; i++) out.push_back(0);
    }
    return out;
}

bool LoadForTest(const std::string& path) {
    ReleaseCurrentPicture();
    InitImageState();
    return LoadPictureFile(path.c_str(), nullptr, 32);
}

bool LoadForTestAt(const std::string& path, int depth, bool window) {
    ReleaseCurrentPicture();
    InitImageState();
    bool loaded = LoadPictureFile(path.c_str(), nullptr, depth);
    if (loaded) AdaptToDisplay(window ? LOAD_WINDOW : LOAD_PREVIEW);
    return loaded;
}

BITMAPINFOHEADER HeaderOf(HGLOBAL image) {
    BITMAPINFOHEADER h;
    std::memcpy(&h, GlobalLock(image), sizeof h);
    GlobalUnlock(image);
    return h;
}

uint32_t RawPixelAt(HGLOBAL image, int x, int y) {
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const BYTE* row =
        ImagePixels(h) + ImageStride(h->biWidth, h->biBitCount) * uint64_t(h->biHeight - 1 - y);
    uint32_t v = 0;
    switch (h->biBitCount) {
    case 1:
        v = (row[x / 8] >> (7 - x % 8)) & 1;
        break;
    case 4:
        v = (x & 1) ? (row[x / 2] & 0x0F) : (row[x / 2] >> 4);
        break;
    case 8:
        v = row[x];
        break;
    case 16:
        v = row[2 * x] | (row[2 * x + 1] << 8);
        break;
    case 24:
        v = row[3 * x] | (row[3 * x + 1] << 8) | (uint32_t(row[3 * x + 2]) << 16);
        break;
    case 32:
        v = row[4 * x] | (row[4 * x + 1] << 8) | (uint32_t(row[4 * x + 2]) << 16);
        break;
    }
    GlobalUnlock(image);
    return v;
}

uint32_t PixelAt(HGLOBAL image, int x, int y) {
    uint32_t v = RawPixelAt(image, x, y);
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    uint32_t rgb = v;
    if (h->biBitCount <= 8) {
        RGBQUAD c = ImageColorAt(h, v);
        rgb = (uint32_t(c.rgbRed) << 16) | (c.rgbGreen << 8) | c.rgbBlue;
    } else if (h->biBitCount == 16) {
        // 5-5-5 components widened as netpbm and ImageMagick widen them.
        auto widen = [](uint32_t c) { return (c << 3) | (c >> 2); };
        rgb = (widen((v >> 10) & 31) << 16) | (widen((v >> 5) & 31) << 8) | widen(v & 31);
    }
    GlobalUnlock(image);
    return rgb;
}

Bytes RecordPixelBytes(HGLOBAL image) {
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const BYTE* pixels = ImagePixels(h);
    uint64_t bytes = ImageStride(h->biWidth, h->biBitCount) * uint64_t(h->biHeight);
    uint64_t available = GlobalSize(image) - uint64_t(pixels - reinterpret_cast<BYTE*>(h));
    Bytes out(pixels, pixels + (bytes < available ? bytes : available));
    GlobalUnlock(image);
    return out;
}

std::vector<uint32_t> RecordColors(HGLOBAL image) {
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    std::vector<uint32_t> out;
    if (h->biBitCount <= 8) {
        const BYTE* c = reinterpret_cast<const BYTE*>(h) + 40;
        for (int i = 0; i < ImageColorCount(h); i++, c += 4)
            out.push_back((uint32_t(c[2]) << 16) | (c[1] << 8) | c[0]);
    }
    GlobalUnlock(image);
    return out;
}
