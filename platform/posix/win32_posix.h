// The Win32 subset that the portable core calls, for hosts without Windows.
// Written from what the core expects of each call, not as a general emulation:
// movable memory blocks with lock counts, handle-based file calls over POSIX
// descriptors, file sizes by FindFirstFileA, a palette object, no-op cursors.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int BOOL;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef size_t SIZE_T;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uint64_t ULONGLONG;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

typedef void* HANDLE;
typedef struct GlobalBlock* HGLOBAL;
typedef struct HWND__* HWND;
typedef struct HDC__* HDC;
typedef struct PaletteObject* HPALETTE;
typedef struct HCURSOR__* HCURSOR;
typedef struct HINSTANCE__* HINSTANCE;
typedef struct HMETAFILE__* HMETAFILE;
typedef struct HENHMETAFILE__* HENHMETAFILE;
typedef void* HGDIOBJ;
typedef int HFILE;

#define HFILE_ERROR ((HFILE)-1)
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// Memory
#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GMEM_LOCKCOUNT 0x00FF

LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);
HGLOBAL GlobalReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags);
SIZE_T GlobalSize(HGLOBAL block);
UINT GlobalFlags(HGLOBAL block);

// Handle-based files
#define OF_READ 0x0000
#define OF_WRITE 0x0001
#define OF_READWRITE 0x0002
#define OF_SHARE_DENY_NONE 0x0040
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

HFILE _lopen(LPCSTR path, int mode);
HFILE _lcreat(LPCSTR path, int attributes);
UINT _lread(HFILE file, LPVOID buffer, UINT bytes);
long _hread(HFILE file, LPVOID buffer, long bytes);
UINT _lwrite(HFILE file, LPCSTR buffer, UINT bytes);
long _hwrite(HFILE file, LPCSTR buffer, long bytes);
LONG _llseek(HFILE file, LONG offset, int origin);
HFILE _lclose(HFILE file);

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_READONLY 0x01
#define FILE_ATTRIBUTE_NORMAL 0x80
#define INVALID_FILE_SIZE 0xFFFFFFFFu

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD attributes, HANDLE templateFile);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, DWORD* written, void* overlapped);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, DWORD* read, void* overlapped);
BOOL CloseHandle(HANDLE handle);
DWORD GetFileSize(HANDLE file, DWORD* high);
BOOL DeleteFileA(LPCSTR path);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
DWORD GetTempPathA(DWORD size, LPSTR buffer);
UINT GetTempFileNameA(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR name);

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
HANDLE FindFirstFileA(LPCSTR path, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);

// Bitmaps and palettes
#define BI_RGB 0
#define BI_RLE8 1
#define BI_RLE4 2
#define BI_BITFIELDS 3

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};
struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};
struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};

HPALETTE CreatePalette(const LOGPALETTE* palette);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
BOOL DeleteObject(HGDIOBJ object);

// User interface pieces the core touches
#define MB_OK 0x00000000u
#define MB_YESNO 0x00000004u
#define MB_ICONERROR 0x00000010u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7
#define IDC_WAIT ((LPCSTR)(uintptr_t)32514)
#define IDC_ARROW ((LPCSTR)(uintptr_t)32512)

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HCURSOR SetCursor(HCURSOR cursor);
BOOL KillTimer(HWND window, UINT_PTR id);
BOOL InvalidateRect(HWND window, const void* rect, BOOL erase);
BOOL DeleteMetaFile(HMETAFILE metafile);
BOOL DeleteEnhMetaFile(HENHMETAFILE metafile);

// Metafiles, at the level of their headers: Windows metafiles and enhanced
// metafiles are read, checked and described, their bits and palettes handed
// out; converting a Windows metafile into an enhanced one and playing either
// needs the system's drawing and is refused with a message (metafile.cpp).
#define MM_ANISOTROPIC 8
#define GDI_ERROR 0xFFFFFFFFu

struct RECT {
    LONG left, top, right, bottom;
};
struct RECTL {
    LONG left, top, right, bottom;
};
struct SIZEL {
    LONG cx, cy;
};
struct ENHMETAHEADER {
    DWORD iType;
    DWORD nSize;
    RECTL rclBounds;
    RECTL rclFrame;
    DWORD dSignature;
    DWORD nVersion;
    DWORD nBytes;
    DWORD nRecords;
    WORD nHandles;
    WORD sReserved;
    DWORD nDescription;
    DWORD offDescription;
    DWORD nPalEntries;
    SIZEL szlDevice;
    SIZEL szlMillimeters;
    DWORD cbPixelFormat;
    DWORD offPixelFormat;
    DWORD bOpenGL;
    SIZEL szlMicrometers;
};
struct METAFILEPICT {
    LONG mm;
    LONG xExt;
    LONG yExt;
    HMETAFILE hMF;
};

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HMETAFILE GetMetaFileA(LPCSTR path);
HMETAFILE SetMetaFileBitsEx(UINT bytes, const BYTE* data);
UINT GetMetaFileBitsEx(HMETAFILE metafile, UINT bytes, LPVOID data);
HENHMETAFILE GetEnhMetaFileA(LPCSTR path);
UINT GetEnhMetaFileHeader(HENHMETAFILE metafile, UINT bytes, ENHMETAHEADER* header);
UINT GetEnhMetaFilePaletteEntries(HENHMETAFILE metafile, UINT count, PALETTEENTRY* entries);
HENHMETAFILE SetWinMetaFileBits(UINT bytes, const BYTE* data, HDC reference,
                                const METAFILEPICT* picture);
BOOL PlayEnhMetaFile(HDC dc, HENHMETAFILE metafile, const RECT* target);
// Drawing into memory: a memory context holding a 32-bit device-independent
// bitmap, filled, drawn on with the AND, XOR and copy raster operations at
// one-to-one size, and read back (the icon composition).
typedef struct BitmapObject* HBITMAP;
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020u
#define SRCAND 0x008800C6u
#define SRCINVERT 0x00660046u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL background);
UINT RealizePalette(HDC dc);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
int StretchDIBits(HDC dc, int x, int y, int width, int height, int sourceX, int sourceY,
                  int sourceWidth, int sourceHeight, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop);
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage);
BOOL GdiFlush();
