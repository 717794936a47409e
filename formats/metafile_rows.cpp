#include "formats/metafile_rows.h"

#include "core/state.h"
#include "metafile/metafile.h"

namespace {
HGLOBAL ReadWindows(const char* name, HWND owner, char* text, bool placeable) {
    g_placeable = placeable;
    HFILE file = _lopen(name, OF_READ);
    if (file == HFILE_ERROR) {
        MessageBoxA(nullptr, "Error Opening File", nullptr, MB_ICONERROR);
        return nullptr;
    }
    MetafileRect frame = {};
    int unitsPerInch = 0;
    BYTE header[PLACEABLE_HEADER_SIZE];
    HMETAFILE metafile =
        ReadWindowsMetafile(owner, name, file, text, placeable, &frame, &unitsPerInch, header);
    if (placeable) {
        g_metafileFrame = PictureFrame{frame.left, frame.top, frame.right, frame.bottom};
        g_unitsPerInch = unitsPerInch;
    }
    // A header that describes no metafile the system takes is not shown as if it did.
    if (!metafile) text[0] = 0;
    return reinterpret_cast<HGLOBAL>(metafile);
}
} // namespace

HGLOBAL ReadPlaceableMetafileFile(const char* name, HWND owner, char* text, int) {
    return ReadWindows(name, owner, text, true);
}

HGLOBAL ReadPlainMetafileFile(const char* name, HWND owner, char* text, int) {
    return ReadWindows(name, owner, text, false);
}

HGLOBAL ReadEnhancedMetafileFile(const char* name, HWND owner, char*, int) {
    g_placeable = false;
    return reinterpret_cast<HGLOBAL>(LoadEnhancedMetafile(name, owner));
}
