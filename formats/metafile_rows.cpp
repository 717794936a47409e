#include "formats/metafile_rows.h"

#include "core/state.h"
#include "metafile/metafile.h"

namespace {
ReaderResult ReadWindows(const char* name, HWND owner, char* text, bool placeable) {
    g_placeable = placeable;
    HFILE file = _lopen(name, OF_READ);
    if (file == HFILE_ERROR) {
        MessageBoxA(nullptr, "Error Opening File", nullptr, MB_ICONERROR);
        return NoPictureReported();
    }
    MetafileRect frame = {};
    int unitsPerInch = 0;
    BYTE header[PLACEABLE_HEADER_SIZE];
    bool reported = false;
    HMETAFILE metafile = ReadWindowsMetafile(owner, name, file, text, placeable, &frame,
                                             &unitsPerInch, header, &reported);
    if (placeable) {
        g_metafileFrame = PictureFrame{frame.left, frame.top, frame.right, frame.bottom};
        g_unitsPerInch = unitsPerInch;
    }
    // A header that describes no metafile the system takes is not shown as if it did.
    if (!metafile) text[0] = 0;
    return ReadEnded(reinterpret_cast<HGLOBAL>(metafile), reported);
}
} // namespace

ReaderResult ReadPlaceableMetafileFile(const char* name, HWND owner, char* text, int) {
    return ReadWindows(name, owner, text, true);
}

ReaderResult ReadPlainMetafileFile(const char* name, HWND owner, char* text, int) {
    return ReadWindows(name, owner, text, false);
}

ReaderResult ReadEnhancedMetafileFile(const char* name, HWND owner, char*, int) {
    g_placeable = false;
    // Every way of failing shows its message.
    HENHMETAFILE enhanced = LoadEnhancedMetafile(name, owner);
    return enhanced ? GotPicture(reinterpret_cast<HGLOBAL>(enhanced)) : NoPictureReported();
}
