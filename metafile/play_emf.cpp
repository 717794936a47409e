// Enhanced metafiles: their palette, their description and their playback
// into a rectangle, with an OpenGL context when they carry a pixel format.
#include "metafile/metafile.h"
#include "metafile/opengl.h"

#include <cstdio>
#include <cstdlib>

namespace {
// The header as the program reads it: 100 bytes, the size member preset.
bool ReadHeader(HENHMETAFILE metafile, ENHMETAHEADER* header) {
    *header = ENHMETAHEADER{};
    header->nSize = 100;
    return GetEnhMetaFileHeader(metafile, 100, header) != 0;
}
} // namespace

HPALETTE CreateMetafilePalette(HENHMETAFILE metafile) {
    ENHMETAHEADER header;
    if (!ReadHeader(metafile, &header)) return nullptr;
    UINT count = header.nPalEntries;
    // A logical palette holds at most 65535 entries; a header claiming more is
    // not believed.
    if (count == 0 || count > 0xFFFF) return nullptr;
    LOGPALETTE* palette = static_cast<LOGPALETTE*>(std::calloc(1, 4 + 4 * size_t(count)));
    if (!palette) return nullptr;
    palette->palVersion = 0x300;
    palette->palNumEntries = WORD(count);
    HPALETTE result = nullptr;
    UINT got = GetEnhMetaFilePaletteEntries(metafile, count, palette->palPalEntry);
    if (got != GDI_ERROR) result = CreatePalette(palette);
    std::free(palette);
    return result;
}

int PlayEnhancedMetafile(HDC dc, HENHMETAFILE metafile, const MetafileRect& target, char* text,
                         MetafileRect* bounds) {
    if (!metafile) return 1;
    ENHMETAHEADER header;
    if (!ReadHeader(metafile, &header)) return 0;
    const RECTL& b = header.rclBounds;
    if (bounds) *bounds = MetafileRect{b.left, b.top, b.right, b.bottom};
    if (text)
        std::snprintf(text, METAFILE_TEXT_SIZE,
                      "image type: Enhanced Metafile EMF \nversion: 0x%lx \nfile size: %lu "
                      "\nnumber of records: %lu \nnumber of handles: %u\nwidth: %u \nheight: %u \n",
                      (unsigned long)header.nVersion, (unsigned long)header.nBytes,
                      (unsigned long)header.nRecords, unsigned(header.nHandles),
                      uint32_t(b.right) - uint32_t(b.left) + 1u,
                      uint32_t(b.bottom) - uint32_t(b.top) + 1u);
    bool pixelFormatSet = false;
    if (header.bOpenGL) PrepareMetafileOpenGL(dc, metafile, &pixelFormatSet);
    RECT rect = {target.left, target.top, target.right, target.bottom};
    int result = PlayEnhMetaFile(dc, metafile, &rect);
    if (header.bOpenGL) FinishMetafileOpenGL(dc, pixelFormatSet);
    return result;
}
