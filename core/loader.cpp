#include "core/loader.h"

#include "core/image.h"
#include "core/state.h"
#include "core/text.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool ExtensionIs(const char* name, const char* ext) {
    size_t len = std::strlen(name);
    if (len < 3) return false;
    const char* tail = name + len - 3;
    for (int i = 0; i < 3; i++)
        if (std::toupper((unsigned char)tail[i]) != std::toupper((unsigned char)ext[i]))
            return false;
    return true;
}

uint64_t QueryFileSize(const char* name) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(name, &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    FindClose(find);
    return (uint64_t(data.nFileSizeHigh) << 32) + data.nFileSizeLow;
}

namespace {
// Reads count bytes at offset and goes back to 0; false when the file is shorter.
bool PeekAt(HFILE file, LONG offset, BYTE* out, UINT count) {
    bool ok = _llseek(file, offset, FILE_BEGIN) == offset && _lread(file, out, count) == count;
    _llseek(file, 0, FILE_BEGIN);
    return ok;
}
} // namespace

DetectedFormat DetectFormat(HFILE file, const char* name) {
    BYTE probe[12] = {0};
    UINT got = _lread(file, probe, sizeof probe);
    _llseek(file, 0, FILE_BEGIN);
    if (got == UINT(HFILE_ERROR)) got = 0;
    // Bytes the file does not have stay zero, as they would in a short probe.
    FileProbe p = {};
    p.w0 = probe[0] + 256u * probe[1];
    p.w1 = probe[2] + 256u * probe[3];
    for (int i = 0; i < 4; i++) p.form[i] = probe[8 + i];
    p.name = name;
    BYTE size[4];
    p.hasHeaderSize = PeekAt(file, 14, size, 4);
    p.headerSize = size[0];
    BYTE mac[10];
    p.hasMacBinary = PeekAt(file, 128, mac, sizeof mac);
    p.macBinary[0] = mac[0];
    p.macBinary[1] = mac[1];
    for (const DetectionRule* rule = NextDetectionRule(0); rule;
         rule = NextDetectionRule(rule->order))
        if (rule->matches(p)) return rule->format;
    return DET_NONE;
}

namespace {
// PCX and Targa readers pull their bytes through a byte reader over the
// loader's read buffer, which lives only while the reader runs.
ReaderResult CallBufferedReader(BufferedReader reader, HFILE file, HWND owner) {
    if (!reader) return NoPictureSilent();
    BYTE* buffer = static_cast<BYTE*>(std::malloc(READ_BUFFER_SIZE));
    if (!buffer) {
        g_viewKind = KIND_NONE;
        return NoPictureSilent();
    }
    ByteReader in;
    OpenByteReader(&in, file, buffer, READ_BUFFER_SIZE);
    ReaderResult read = reader(&in, owner, g_infoText);
    std::free(buffer);
    return read;
}

// A TIFF file behind a 128-byte MacBinary header is read through a private
// copy without the header, made in a file created exclusively for it.
ReaderResult ReadMacBinaryCopy(NameReader reader, const char* name, HWND owner, bool* read) {
    if (!reader) return NoPictureSilent();
    char folder[MAX_PATH];
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n >= sizeof folder) return NoPictureSilent();
    if (GetTempFileNameA(folder, "zmb", 0, temp) == 0) return NoPictureSilent();
    bool copied = false;
    FILE* out = std::fopen(temp, "wb");
    FILE* in = out ? std::fopen(name, "rb") : nullptr;
    if (out && in && std::fseek(in, 128, SEEK_SET) == 0) {
        copied = true;
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
            if (std::fwrite(buffer, 1, got, out) != got) {
                copied = false;
                break;
            }
        if (std::ferror(in)) copied = false;
    }
    if (in) std::fclose(in);
    if (out && std::fclose(out) != 0) copied = false;
    ReaderResult result = NoPictureSilent();
    if (copied) {
        result = reader(temp, owner, g_infoText, g_displayDepth);
        *read = true;
    }
    std::remove(temp);
    return result;
}

// Every reader hands over records above 8 bits without a colour table, so
// that drawing, tools and writers all find the pixels right after the header.
void DropTrueColorTable(HGLOBAL image) {
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if (!header) return;
    if (header->biBitCount > 8 && header->biClrUsed != 0) {
        uint64_t table = 4ull * header->biClrUsed;
        uint64_t size = GlobalSize(image);
        BYTE* base = reinterpret_cast<BYTE*>(header);
        if (40 + table < size) std::memmove(base + 40, base + 40 + table, size - 40 - table);
        header->biClrUsed = 0;
    }
    GlobalUnlock(image);
}

// Entry 1 of an icon or cursor file; a file of several images stays open for
// the animation, which reads the next one at every step.
ReaderResult ReadIconFile(HFILE file, HWND owner, bool* open) {
    if (!g_iconReader) {
        g_viewKind = KIND_NONE;
        return NoPictureSilent();
    }
    int count = 0;
    ReaderResult read = g_iconReader(owner, g_infoText, file, &count, 1, 0, 0);
    if (read.image && count > 1) {
        g_viewKind = KIND_ICON_CYCLE;
        g_frameDelay = 100;
        g_iconIndex = 1;
        g_iconCount = count;
        g_openFile = file;
        *open = false;
    }
    return read;
}

// An animated file: its tables go into the current-image state, and the
// picture is the frame of the first step, timed by that step's rate.
ReaderResult ReadAnimatedFile(HFILE file, HWND owner) {
    const LoadOutcome tables =
        g_animatedReader ? g_animatedReader(owner, file, g_infoText, &g_frameCount,
                                            &g_sequenceLength, &g_sequenceTable, &g_frameTable)
                         : LOAD_NONE_SILENT;
    if (tables != LOAD_PICTURE && tables != LOAD_PICTURE_REPORTED) {
        g_viewKind = KIND_NONE;
        return ReaderResult{nullptr, tables};
    }
    const int32_t* first = static_cast<const int32_t*>(GlobalLock(g_sequenceTable));
    HGLOBAL* frames = static_cast<HGLOBAL*>(GlobalLock(g_frameTable));
    HGLOBAL image = nullptr;
    if (first && frames) {
        if (first[0] >= 0 && first[0] < g_frameCount) image = frames[first[0]];
        g_frameDelay = AnimationDelay(uint32_t(first[1]));
    }
    if (first) GlobalUnlock(g_sequenceTable);
    if (frames) GlobalUnlock(g_frameTable);
    g_sequencePosition = 1;
    return ReadEnded(image, tables == LOAD_PICTURE_REPORTED);
}
} // namespace

int AnimationDelay(uint32_t rate) {
    // Sixtieths of a second in 9 ms steps, rounded; large rates must not
    // overflow the timer interval.
    double delay = std::floor(double(rate) * 1.6667 + 0.5);
    const double most = double(INT_MAX / 9);
    return delay > most ? int(most) : int(delay);
}

LoadOutcome LoadPicture(const char* name, HWND owner, int displayDepth) {
    g_displayDepth = displayDepth;
    g_infoText[0] = 0;
    g_fileSize = QueryFileSize(name);
    HFILE file = _lopen(name, OF_READ);
    if (file == HFILE_ERROR) {
        MessageBoxA(nullptr, "Error Opening File", nullptr, MB_ICONERROR);
        g_picture = nullptr;
        g_viewKind = KIND_NONE;
        return LOAD_NONE_REPORTED;
    }
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    g_brightness = 0;
    DetectedFormat format = DetectFormat(file, name);
    const FormatRow* row = FormatRowOf(format);
    const DetectionRule* rule = DetectionRuleOf(format);
    ReaderResult read = NoPictureSilent();
    bool open = true;
    bool called = true; // the row's reader had its turn (finish runs after it)
    g_viewKind = row ? row->kind : KIND_NONE;
    if (row && row->prepare) row->prepare();
    switch (rule ? rule->call : CALL_NOTHING) {
    case CALL_HANDLE:
        if (row->byHandle) read = row->byHandle(file, owner, g_infoText);
        break;
    case CALL_BUFFERED:
        read = CallBufferedReader(row->byBuffer, file, owner);
        break;
    case CALL_NAME:
        _lclose(file);
        open = false;
        if (row->byName) read = row->byName(name, owner, g_infoText, g_displayDepth);
        break;
    case CALL_MACBINARY_COPY:
        _lclose(file);
        open = false;
        called = false;
        read = ReadMacBinaryCopy(row->byName, name, owner, &called);
        break;
    case CALL_ICON:
        read = ReadIconFile(file, owner, &open);
        break;
    case CALL_ANIMATED:
        read = ReadAnimatedFile(file, owner);
        break;
    case CALL_NOTHING:
        called = false;
        break;
    }
    if (called && row->finish) row->finish();
    if (open) _lclose(file);

    HGLOBAL image = read.image;
    bool reported = read.outcome == LOAD_PICTURE_REPORTED || read.outcome == LOAD_NONE_REPORTED;
    if (g_viewKind == KIND_WMF || g_viewKind == KIND_EMF) {
        // A metafile handle, not an Image record: nothing to check or pack.
        g_picture = image;
        if (!image) g_viewKind = KIND_NONE;
        SetCursor(previous);
        return ReadEnded(image, reported).outcome;
    }
    if (image) {
        DropTrueColorTable(image);
        // An animation's frames belong to its frame table, freed with it.
        if (!IsValidImageRecord(image) && g_viewKind != KIND_ANI) {
            GlobalFree(image);
            image = nullptr;
            g_viewKind = KIND_NONE;
            ReportError(owner, "Invalid Picture Data");
            reported = true;
        }
    }
    g_picture = image;
    if (image) {
        PackImageDepth(&g_picture);
        BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(g_picture));
        g_bitCount = header->biBitCount;
        g_colorsUsed = int(header->biClrUsed);
        if (IsMonochromeImage(header)) g_colorsUsed = 1;
        GlobalUnlock(g_picture);
    }
    SetCursor(previous);
    return ReadEnded(g_picture, reported).outcome;
}

bool LoadPictureFile(const char* name, HWND owner, int displayDepth) {
    LoadOutcome outcome = LoadPicture(name, owner, displayDepth);
    return outcome == LOAD_PICTURE || outcome == LOAD_PICTURE_REPORTED;
}
