// Windows metafiles and enhanced metafiles off Windows, at the level of their
// headers: files are read whole and checked the way the system checks them
// (a Windows metafile by its type and header size, an enhanced one by its
// header record and signature), their headers, bits and palettes handed out.
// There is no device to draw on here: playing draws nothing, and converting a
// Windows metafile into an enhanced one, which needs the system's recording,
// is refused with a message rather than made up.
#define ZENDRA_PLATFORM_IMPL
#include "../win32.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

struct HMETAFILE__ {
    uint32_t magic;
    UINT size;
    BYTE* bits;
};
struct HENHMETAFILE__ {
    uint32_t magic;
    UINT size;
    BYTE* bits;
};

namespace {
const uint32_t kMetafileMagic = 0x5A574D46;     // "ZWMF"
const uint32_t kEnhMetafileMagic = 0x5A454D46;  // "ZEMF"
const uint32_t kEnhSignature = 0x464D4520;      // " EMF"
const DWORD kHeaderRecord = 1, kEndRecord = 14; // EMR_HEADER, EMR_EOF
const UINT kWindowsHeaderBytes = 18, kEnhHeaderBytes = 88;
// No metafile this program shows comes near this; larger ones are refused.
const long kMaxMetafileFile = 256l * 1024 * 1024;

unsigned At16(const BYTE* p) {
    return p[0] | unsigned(p[1]) << 8;
}
uint32_t At32(const BYTE* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The whole file in a malloc'd buffer, or null (missing, empty, too large).
BYTE* ReadWholeFile(LPCSTR path, UINT* size) {
    HFILE file = _lopen(path, OF_READ);
    if (file == HFILE_ERROR) return nullptr;
    LONG length = _llseek(file, 0, FILE_END);
    BYTE* data = nullptr;
    if (length > 0 && length <= kMaxMetafileFile && _llseek(file, 0, FILE_BEGIN) == 0) {
        data = static_cast<BYTE*>(std::malloc(size_t(length)));
        if (data && _hread(file, data, length) != length) {
            std::free(data);
            data = nullptr;
        }
    }
    _lclose(file);
    *size = data ? UINT(length) : 0;
    return data;
}

bool IsWindowsMetafile(const BYTE* data, UINT size) {
    if (!data || size < kWindowsHeaderBytes) return false;
    unsigned type = At16(data);
    return (type == 1 || type == 2) && At16(data + 2) == kWindowsHeaderBytes / 2;
}

bool IsEnhMetafile(const BYTE* data, UINT size) {
    if (!data || size < kEnhHeaderBytes) return false;
    uint32_t headerSize = At32(data + 4);
    return At32(data) == kHeaderRecord && At32(data + 40) == kEnhSignature &&
           headerSize >= kEnhHeaderBytes && headerSize <= size;
}

// A handle owning bits (freed here when there is no memory for the handle).
template <typename Handle> Handle* NewHandle(uint32_t magic, BYTE* bits, UINT size) {
    Handle* handle = new (std::nothrow) Handle{magic, size, bits};
    if (!handle) std::free(bits);
    return handle;
}

template <typename Handle> BOOL DeleteHandle(Handle* handle, uint32_t magic) {
    if (!handle || handle->magic != magic) return FALSE;
    handle->magic = 0;
    std::free(handle->bits);
    delete handle;
    return TRUE;
}

// The whole file when check takes it; null otherwise.
BYTE* ReadCheckedFile(LPCSTR path, UINT* size, bool (*check)(const BYTE*, UINT)) {
    BYTE* data = ReadWholeFile(path, size);
    if (check(data, *size)) return data;
    std::free(data);
    return nullptr;
}

bool Valid(HMETAFILE m) {
    return m && m->magic == kMetafileMagic;
}
bool Valid(HENHMETAFILE m) {
    return m && m->magic == kEnhMetafileMagic;
}
} // namespace

HMETAFILE GetMetaFileA(LPCSTR path) {
    UINT size = 0;
    BYTE* data = ReadCheckedFile(path, &size, IsWindowsMetafile);
    return data ? NewHandle<HMETAFILE__>(kMetafileMagic, data, size) : nullptr;
}

HMETAFILE SetMetaFileBitsEx(UINT bytes, const BYTE* data) {
    if (!IsWindowsMetafile(data, bytes)) return nullptr;
    BYTE* copy = static_cast<BYTE*>(std::malloc(bytes));
    if (!copy) return nullptr;
    std::memcpy(copy, data, bytes);
    return NewHandle<HMETAFILE__>(kMetafileMagic, copy, bytes);
}

UINT GetMetaFileBitsEx(HMETAFILE metafile, UINT bytes, LPVOID data) {
    if (!Valid(metafile)) return 0;
    if (!data) return metafile->size;
    if (bytes < metafile->size) return 0;
    std::memcpy(data, metafile->bits, metafile->size);
    return metafile->size;
}

BOOL DeleteMetaFile(HMETAFILE metafile) {
    return DeleteHandle(metafile, kMetafileMagic);
}

HENHMETAFILE GetEnhMetaFileA(LPCSTR path) {
    UINT size = 0;
    BYTE* data = ReadCheckedFile(path, &size, IsEnhMetafile);
    return data ? NewHandle<HENHMETAFILE__>(kEnhMetafileMagic, data, size) : nullptr;
}

UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT bytes, ENHMETAHEADER* header) {
    if (!Valid(metafile)) return 0;
    UINT headerSize = At32(metafile->bits + 4);
    if (!header) return headerSize;
    // The fields are laid out in the file as in the structure (little-endian
    // hosts); the part the file's header record does not hold reads as zero.
    UINT n = bytes < headerSize ? bytes : headerSize;
    if (n > sizeof *header) n = sizeof *header;
    std::memset(header, 0, bytes < sizeof *header ? bytes : sizeof *header);
    std::memcpy(header, metafile->bits, n);
    return n;
}

// The palette is held by the end-of-file record: its entry count, and their
// offset from the record's start.
UINT GetEnhMetaFilePaletteEntries(HENHMETAFILE metafile, UINT count, PALETTEENTRY* entries) {
    if (!Valid(metafile)) return GDI_ERROR;
    const BYTE* bits = metafile->bits;
    uint32_t n = At32(bits + 68);
    if (n == 0) return 0;
    if (!entries) return n;
    uint32_t at = At32(bits + 4);
    while (uint64_t(at) + 8 <= metafile->size) {
        uint32_t type = At32(bits + at), length = At32(bits + at + 4);
        if (length < 8 || length % 4 != 0 || length > metafile->size - at) break;
        if (type == kEndRecord) {
            if (length < 16) break;
            uint32_t stored = At32(bits + at + 8), offset = At32(bits + at + 12);
            uint32_t take = stored < count ? stored : count;
            if (offset < 16 || uint64_t(offset) + 4ull * take > length) break;
            std::memcpy(entries, bits + at + offset, 4ull * take);
            return take;
        }
        at += length;
    }
    return GDI_ERROR;
}

BOOL DeleteEnhMetaFile(HENHMETAFILE metafile) {
    return DeleteHandle(metafile, kEnhMetafileMagic);
}

HENHMETAFILE SetWinMetaFileBits(UINT, const BYTE*, HDC, const METAFILEPICT*) {
    PlatformMessageBox(nullptr,
                       "Converting a Windows metafile into an enhanced metafile needs the "
                       "Windows system's metafile support; it is not available in this build",
                       nullptr, MB_ICONERROR);
    return nullptr;
}

BOOL PlayEnhMetaFile(HDC, HENHMETAFILE, const RECT*) {
    return FALSE; // no device context exists here to draw on
}
