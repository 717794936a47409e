// Palette objects, and the user-interface calls that have nothing to do off Windows.
#define ZENDRA_PLATFORM_IMPL
#include "../win32.h"

#include <cstdio>
#include <cstring>
#include <new>

struct PaletteObject {
    uint32_t magic;
    UINT count;
    PALETTEENTRY entries[256];
};

// Frees a bitmap made by CreateDIBSection (dib.cpp); false for anything else.
bool DeleteBitmapObject(HGDIOBJ object);

namespace {
const uint32_t kPaletteMagic = 0x5A50414C; // "ZPAL"
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palNumEntries == 0 || palette->palNumEntries > 256) return nullptr;
    PaletteObject* object = new (std::nothrow) PaletteObject();
    if (!object) return nullptr;
    object->magic = kPaletteMagic;
    object->count = palette->palNumEntries;
    std::memcpy(object->entries, palette->palPalEntry, object->count * sizeof(PALETTEENTRY));
    return object;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    if (!palette || palette->magic != kPaletteMagic) return 0;
    if (!entries) return palette->count;
    if (start >= palette->count) return 0;
    if (count > palette->count - start) count = palette->count - start;
    std::memcpy(entries, palette->entries + start, count * sizeof(PALETTEENTRY));
    return count;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (DeleteBitmapObject(object)) return TRUE;
    PaletteObject* palette = static_cast<PaletteObject*>(object);
    if (!palette || palette->magic != kPaletteMagic) return FALSE;
    palette->magic = 0;
    delete palette;
    return TRUE;
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    std::fprintf(stderr, "%s%s%s\n", caption ? caption : "", caption ? ": " : "", text ? text : "");
    return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
}

HCURSOR LoadCursorA(HINSTANCE, LPCSTR) {
    return nullptr;
}
HCURSOR SetCursor(HCURSOR) {
    return nullptr;
}
BOOL KillTimer(HWND, UINT_PTR) {
    return TRUE;
}
BOOL InvalidateRect(HWND, const void*, BOOL) {
    return TRUE;
}
