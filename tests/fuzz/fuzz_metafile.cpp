// libFuzzer target: metafile headers and bits as the loader hands them over.
// One input is read as a placeable metafile (whatever its first bytes), as a
// plain one, and as an enhanced one through all three ways in; an enhanced
// metafile that comes out is described and its palette taken, a Windows one
// has its bits fetched, and every text must stay inside its buffer.
//
// The seed corpus (corpus/fuzz_metafile) holds Inkscape's WMF and EMF files
// of tests/data/metafile and hand-made ones: a placeable header promising
// more than the file holds, a plain metafile, an enhanced one with a palette.
#include "fuzz_util.h"

#include "core/state.h"
#include "formats/metafile_rows.h"
#include "metafile/metafile.h"

#include <cstring>
#include <vector>

namespace {
void RemoveScratch() {
    std::remove(fuzz::ScratchPath("metafile", ".wmf").c_str());
    std::remove(fuzz::ScratchPath("metafile", ".emf").c_str());
}

void CheckText(const char* text) {
    if (std::memchr(text, 0, METAFILE_TEXT_SIZE) == nullptr) std::abort();
}

void CheckWindows(HGLOBAL picture) {
    HMETAFILE metafile = reinterpret_cast<HMETAFILE>(picture);
    if (!metafile) return;
    UINT size = GetMetaFileBitsEx(metafile, 0, nullptr);
    std::vector<BYTE> bits(size);
    if (size && GetMetaFileBitsEx(metafile, size, bits.data()) != size) std::abort();
    DeleteMetaFile(metafile);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string wmf = fuzz::ScratchPath("metafile", ".wmf");
    static const std::string emf = fuzz::ScratchPath("metafile", ".emf");
    static const int cleanup = std::atexit(RemoveScratch);
    (void)cleanup;
    SetMessageSink(fuzz::Quiet);
    if (!fuzz::WriteInput(wmf, data, size) || !fuzz::WriteInput(emf, data, size)) return 0;
    char text[METAFILE_TEXT_SIZE];
    text[0] = 0;
    CheckWindows(ReadPlaceableMetafileFile(wmf.c_str(), nullptr, text, 32).image);
    CheckText(text);
    text[0] = 0;
    CheckWindows(ReadPlainMetafileFile(wmf.c_str(), nullptr, text, 32).image);
    CheckText(text);
    HENHMETAFILE enhanced = reinterpret_cast<HENHMETAFILE>(
        ReadEnhancedMetafileFile(emf.c_str(), nullptr, text, 32).image);
    if (enhanced) {
        MetafileRect bounds;
        text[0] = 0;
        PlayEnhancedMetafile(nullptr, enhanced, MetafileRect{0, 0, 99, 99}, text, &bounds);
        CheckText(text);
        if (HPALETTE palette = CreateMetafilePalette(enhanced)) DeleteObject(palette);
        DeleteEnhMetaFile(enhanced);
    }
    return 0;
}
