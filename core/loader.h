// Loading a file into the current-image state: the header probe, format
// detection by magic values and extension, and the reader calling contract.
#pragma once

#include "platform/win32.h"

enum DetectedFormat {
    DET_NONE,         // not recognised: no picture, no message
    DET_BITMAP_OTHER, // "BM" with a header size no reader takes
    DET_WINDOWS_BMP,
    DET_OS2_BMP,
    DET_OS2V2_BMP,
    DET_GIF,
    DET_JPEG,
    DET_PCX,
    DET_TIFF,
    DET_PNG,
    DET_IFF,
    DET_ANI,
    DET_ICON,
    DET_SUN_ICON,
    DET_WMF_PLACEABLE,
    DET_WMF,
    DET_EMF,
    DET_TARGA,
    DET_MACBINARY_GIF,
    DET_MACBINARY_TIFF,
};

// Readers follow one contract: given the open file at offset 0 (or the file
// name), the owner of their message boxes and the File information text, they
// return a new Image record that the caller owns, or null after telling the
// user why. Readers given a handle leave it open; the loader closes it.
typedef HGLOBAL (*HandleReader)(HFILE file, HWND owner, char* text);
typedef HGLOBAL (*NameReader)(const char* name, HWND owner, char* text, int displayDepth);
// One entry (1-based index of count) of an icon or cursor file that starts at
// base in the open file; textMode 0 leaves the File information text alone.
typedef HGLOBAL (*IconReader)(HWND owner, char* text, HFILE file, int count, int index, long base,
                              int textMode);

// The readers available in this build; a null slot means the format is
// recognised but not yet readable, and gives no picture.
struct ReaderTable {
    HandleReader windowsBitmap;
    HandleReader os2Bitmap;
    HandleReader os2v2Bitmap;
    HandleReader gif;
    HandleReader pcx;
    HandleReader targa;
    HandleReader iff;
    NameReader jpeg;
    NameReader png;
    NameReader tiff;
    NameReader sunIcon;
    IconReader icon;
};
extern ReaderTable g_readers;

// The last three characters of a name match ext (three letters), in any case.
bool ExtensionIs(const char* name, const char* ext);

// Decides the format of an open file (positioned at 0, and left there).
DetectedFormat DetectFormat(HFILE file, const char* name);

// File size as FindFirstFileA reports it; 0 when the file cannot be found.
uint64_t QueryFileSize(const char* name);

// Which load is running: the browser's preview, or the window load of the
// viewer and slideshow (Next File, Last File, Delete File, slideshow steps).
// They adapt a picture to palette displays differently.
enum LoadKind { LOAD_PREVIEW, LOAD_WINDOW };

// Opens, detects and reads a file into the current-image state (which the
// caller has released), records the display depth, packs the picture, applies
// the monochrome test and reduces the colours the display depth calls for
// (never at more than 8 bits). Returns true when a picture is in place.
bool LoadPictureFile(const char* name, HWND owner, int displayDepth, LoadKind kind);

// The 2048-byte read buffer the loader lends the PCX and Targa readers, and
// the byte reader over it: refills when position reaches fill, returns 0 at
// the end of the data.
extern BYTE* g_readBuffer;
const int READ_BUFFER_SIZE = 2048;
int ReadBufferedByte(HFILE file, BYTE* value, int* position, int* fill);
