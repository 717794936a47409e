// Windows metafiles: the placeable form (a 22-byte header with the bounding
// box and units per inch in front of the metafile) and the plain form.
#include "core/byte_order.h"
#include "metafile/metafile.h"

#include <cstdio>
#include <cstring>

namespace {
const int WINDOWS_HEADER_SIZE = 18;

// The Windows metafile header's fields that the description shows.
struct WindowsHeader {
    unsigned version;
    unsigned long sizeInWords;
    unsigned objects;
    unsigned long largestRecord;
};

WindowsHeader ParseWindowsHeader(const BYTE* h) {
    return {Le16(h + 4), Le32(h + 6), Le16(h + 10), Le32(h + 12)};
}

// Reads up to count bytes; those the file does not have stay zero.
void ReadHeaderBytes(HFILE file, BYTE* out, UINT count) {
    std::memset(out, 0, count);
    UINT got = _lread(file, out, count);
    (void)got;
}

void Describe(char* text, const char* type, const WindowsHeader& w, const char* tail) {
    std::snprintf(text, METAFILE_TEXT_SIZE,
                  "image type: %s \nversion: 0x%x \nfile size: %lu \nnumber of objects: %u \nmax "
                  "record size: %lu%s",
                  type, w.version, w.sizeInWords, w.objects, w.largestRecord, tail);
}

HMETAFILE ReadPlaceable(HWND owner, HFILE file, char* text, MetafileRect* frame, int* unitsPerInch,
                        BYTE* header, bool* reported) {
    ReadHeaderBytes(file, header, PLACEABLE_HEADER_SIZE);
    int32_t left = int16_t(Le16(header + 6)), top = int16_t(Le16(header + 8));
    int32_t right = int16_t(Le16(header + 10)), bottom = int16_t(Le16(header + 12));
    unsigned inch = Le16(header + 14);
    char tail[100];
    std::snprintf(tail, sizeof tail, "\nwidth: %u \nheight: %u \nunits per inch: %u",
                  uint32_t(right - left + 1), uint32_t(bottom - top + 1), inch);
    *frame = MetafileRect{left, top, right, bottom};
    *unitsPerInch = int(inch);

    BYTE w[WINDOWS_HEADER_SIZE];
    ReadHeaderBytes(file, w, sizeof w);
    WindowsHeader windows = ParseWindowsHeader(w);
    Describe(text, "placeable WMF", windows, tail);

    // The block holds what the header promises, but never more than the file
    // still has behind the placeable header, nor more than the limit.
    LONG length = _llseek(file, 0, FILE_END);
    uint64_t wanted = 2ull * windows.sizeInWords;
    uint64_t present =
        length > PLACEABLE_HEADER_SIZE ? uint64_t(length - PLACEABLE_HEADER_SIZE) : 0;
    if (wanted > present) wanted = present;
    if (wanted > MAX_METAFILE_BITS) wanted = MAX_METAFILE_BITS;
    _llseek(file, PLACEABLE_HEADER_SIZE, FILE_BEGIN);
    if (wanted == 0) {
        MessageBoxA(owner, "Unable to read metafile bits", nullptr, MB_ICONERROR);
        *reported = true;
        return nullptr;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(wanted));
    if (!block) {
        MessageBoxA(owner, "MemoryAllocation Error", nullptr, MB_ICONERROR);
        *reported = true;
        return nullptr;
    }
    BYTE* bits = static_cast<BYTE*>(GlobalLock(block));
    long got = _hread(file, bits, long(wanted));
    HMETAFILE metafile = nullptr;
    if (got <= 0) {
        MessageBoxA(owner, "Unable to read metafile bits", nullptr, MB_ICONERROR);
        *reported = true;
    } else
        metafile = SetMetaFileBitsEx(UINT(got), bits);
    GlobalUnlock(block);
    GlobalFree(block);
    return metafile;
}
} // namespace

HMETAFILE ReadWindowsMetafile(HWND owner, const char* name, HFILE file, char* text, bool placeable,
                              MetafileRect* frame, int* unitsPerInch,
                              BYTE header[PLACEABLE_HEADER_SIZE], bool* reported) {
    bool shown = false;
    HMETAFILE metafile = nullptr;
    if (placeable) {
        metafile = ReadPlaceable(owner, file, text, frame, unitsPerInch, header, &shown);
        _lclose(file);
    } else {
        BYTE w[WINDOWS_HEADER_SIZE];
        ReadHeaderBytes(file, w, sizeof w);
        Describe(text, "WMF", ParseWindowsHeader(w), "");
        _lclose(file);
        metafile = GetMetaFileA(name);
    }
    if (reported) *reported = shown;
    return metafile;
}
