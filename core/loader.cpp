#include "core/loader.h"

#include "core/image.h"
#include "core/state.h"
#include "core/text.h"
#include "tools/reduce.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

BYTE* g_readBuffer = nullptr;

int ReadBufferedByte(HFILE file, BYTE* value, int* position, int* fill) {
    if (*position == *fill) {
        long n = _hread(file, g_readBuffer, READ_BUFFER_SIZE);
        *fill = n > 0 ? int(n) : 0;
        *position = 0;
        if (*fill == 0) return 0;
    }
    *value = g_readBuffer[(*position)++];
    return 1;
}

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
    BYTE probe[10] = {0};
    UINT got = _lread(file, probe, sizeof probe);
    _llseek(file, 0, FILE_BEGIN);
    if (got == UINT(HFILE_ERROR)) got = 0;
    // Bytes the file does not have stay zero, as they would in a short probe.
    unsigned w0 = probe[0] + 256u * probe[1];
    unsigned w1 = probe[2] + 256u * probe[3];

    if (w0 == 0x4D42) {
        BYTE size[4];
        if (!PeekAt(file, 14, size, 4)) return DET_BITMAP_OTHER;
        switch (size[0]) {
        case 40:
        case 108: // the later Windows information headers
        case 124:
            return DET_WINDOWS_BMP;
        case 12:
            return DET_OS2_BMP;
        case 64:
            return DET_OS2V2_BMP;
        default:
            return DET_BITMAP_OTHER;
        }
    }
    if (w0 == 0x4947) return DET_GIF;
    if (w0 == 0xD8FF) return DET_JPEG;
    if (w0 == 0x000A || w0 == 0x020A || w0 == 0x030A || w0 == 0x040A || w0 == 0x050A)
        return DET_PCX;
    if (w0 == 0x4949 || w0 == 0x4D4D) return DET_TIFF;
    if (w0 == 0x5089 && w1 == 0x474E) return DET_PNG;
    if (w0 == 0x4F46 && w1 == 0x4D52) return DET_IFF;
    if (w0 == 0x4952 && w1 == 0x4646) return DET_ANI;
    if (w0 == 0 && (w1 == 1 || w1 == 2) &&
        (ExtensionIs(name, "ICO") || ExtensionIs(name, "ICN") || ExtensionIs(name, "CUR")))
        return DET_ICON;
    if (w0 == 0x2A2F && ExtensionIs(name, "ICO")) return DET_SUN_ICON;
    if (w0 == 0xCDD7) return DET_WMF_PLACEABLE;
    if (ExtensionIs(name, "WMF")) return DET_WMF;
    if (ExtensionIs(name, "EMF")) return DET_EMF;
    if (ExtensionIs(name, "TGA")) return DET_TARGA;

    BYTE mac[10];
    if (PeekAt(file, 128, mac, sizeof mac)) {
        if (mac[0] == 'G' && mac[1] == 'I') return DET_MACBINARY_GIF;
        if ((mac[0] == 'I' && mac[1] == 'I') || (mac[0] == 'M' && mac[1] == 'M'))
            return DET_MACBINARY_TIFF;
    }
    return DET_NONE;
}

namespace {
HGLOBAL CallHandleReader(HandleReader reader, HFILE file, HWND owner) {
    if (!reader) return nullptr;
    return reader(file, owner, g_infoText);
}

// PCX and Targa readers pull their bytes through the loader's read buffer.
HGLOBAL CallBufferedReader(HandleReader reader, HFILE file, HWND owner) {
    if (!reader) return nullptr;
    g_readBuffer = static_cast<BYTE*>(std::malloc(READ_BUFFER_SIZE));
    if (!g_readBuffer) {
        g_viewKind = KIND_NONE;
        return nullptr;
    }
    HGLOBAL image = reader(file, owner, g_infoText);
    std::free(g_readBuffer);
    g_readBuffer = nullptr;
    return image;
}

// A TIFF file behind a 128-byte MacBinary header is read through a private
// copy without the header, made in a file created exclusively for it.
HGLOBAL ReadMacBinaryTiff(const char* name, HWND owner) {
    if (!g_readers.tiff) return nullptr;
    char folder[MAX_PATH];
    char temp[MAX_PATH];
    DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n >= sizeof folder) return nullptr;
    if (GetTempFileNameA(folder, "zmb", 0, temp) == 0) return nullptr;
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
    HGLOBAL image = nullptr;
    if (copied) {
        image = g_readers.tiff(temp, owner, g_infoText, g_displayDepth);
        g_orientation = 0;
    }
    std::remove(temp);
    return image;
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

// Palette displays show a reduced copy; the untouched picture waits in the
// original slot. The preview takes the 256 standard colours on any palette
// display; the window load takes them at 4 bits and the best 256 at 8 bits.
void AdaptToDisplay(LoadKind kind) {
    if (g_viewKind != KIND_RASTER || !g_picture) return;
    bool pureBlackAndWhite = g_colorsUsed == 1 && g_bitCount == 1;
    int depth = g_displayDepth;
    if (kind == LOAD_PREVIEW) {
        if (depth <= 8 && !pureBlackAndWhite) ReduceColors(&g_picture, &g_original, 256, 0, false);
    } else if (depth == 4 && !pureBlackAndWhite) {
        ReduceColors(&g_picture, &g_original, 256, 0, false);
    } else if (depth == 8 && g_bitCount > 8) {
        ReduceColors(&g_picture, &g_original, -256, 0, false);
    }
}
} // namespace

bool LoadPictureFile(const char* name, HWND owner, int displayDepth, LoadKind kind) {
    g_displayDepth = displayDepth;
    g_infoText[0] = 0;
    g_fileSize = QueryFileSize(name);
    HFILE file = _lopen(name, OF_READ);
    if (file == HFILE_ERROR) {
        MessageBoxA(nullptr, "Error Opening File", nullptr, MB_ICONERROR);
        g_picture = nullptr;
        g_viewKind = KIND_NONE;
        return false;
    }
    HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    g_brightness = 0;
    DetectedFormat format = DetectFormat(file, name);
    HGLOBAL image = nullptr;
    bool open = true;
    g_viewKind = KIND_RASTER;
    switch (format) {
    case DET_WINDOWS_BMP:
        image = CallHandleReader(g_readers.windowsBitmap, file, owner);
        break;
    case DET_OS2_BMP:
        image = CallHandleReader(g_readers.os2Bitmap, file, owner);
        break;
    case DET_OS2V2_BMP:
        image = CallHandleReader(g_readers.os2v2Bitmap, file, owner);
        break;
    case DET_GIF:
    case DET_MACBINARY_GIF:
        g_frameDelay = 25;
        g_gif = GifFrameInfo{};
        image = CallHandleReader(g_readers.gif, file, owner);
        break;
    case DET_PCX:
        image = CallBufferedReader(g_readers.pcx, file, owner);
        break;
    case DET_TARGA:
        image = CallBufferedReader(g_readers.targa, file, owner);
        break;
    case DET_IFF:
        image = CallHandleReader(g_readers.iff, file, owner);
        break;
    case DET_JPEG:
    case DET_PNG:
    case DET_TIFF:
    case DET_SUN_ICON: {
        NameReader reader = format == DET_JPEG   ? g_readers.jpeg
                            : format == DET_PNG  ? g_readers.png
                            : format == DET_TIFF ? g_readers.tiff
                                                 : g_readers.sunIcon;
        _lclose(file);
        open = false;
        if (reader) image = reader(name, owner, g_infoText, g_displayDepth);
        if (format == DET_TIFF) g_orientation = 0;
        break;
    }
    case DET_MACBINARY_TIFF:
        _lclose(file);
        open = false;
        image = ReadMacBinaryTiff(name, owner);
        break;
    case DET_ANI:
    case DET_ICON:
    case DET_WMF_PLACEABLE:
    case DET_WMF:
    case DET_EMF:
        // Animations and metafiles have no reader in this build.
        g_viewKind = KIND_NONE;
        break;
    case DET_BITMAP_OTHER:
        break;
    case DET_NONE:
        g_viewKind = KIND_NONE;
        break;
    }
    if (open) _lclose(file);

    if (image) {
        DropTrueColorTable(image);
        if (!IsValidImageRecord(image)) {
            GlobalFree(image);
            image = nullptr;
            g_viewKind = KIND_NONE;
            ReportError(owner, "Invalid Picture Data");
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
        AdaptToDisplay(kind);
    }
    SetCursor(previous);
    return g_picture != nullptr;
}
