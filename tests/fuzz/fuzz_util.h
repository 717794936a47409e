// Shared by the GIF and Sun icon fuzz targets: message boxes answered at
// once, the input in a scratch file of this process, and the record checked
// as the loader checks it.
#pragma once

#include "core/image.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzz {

inline int Quiet(HWND, const char*, const char*, UINT) {
    return IDOK;
}

// The scratch file's path ("zendra-fuzz-NAME-PID.EXT" in the temporary folder).
inline std::string ScratchPath(const char* name, const char* extension) {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "zendra-fuzz-" + name + "-" + std::to_string(getpid()) + extension;
}

inline bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fwrite(data, 1, size, f);
    return std::fclose(f) == 0;
}

// What the loader would accept, with every byte the record claims in place
// (pages of pictures above 16 MB only at the ends: touching a gigabyte of
// rows the decoder never reached only costs time). Ends the run otherwise.
inline void CheckRecord(HGLOBAL image) {
    if (!IsValidImageRecord(image)) std::abort();
    BITMAPINFOHEADER* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const BYTE* p = ImagePixels(h);
    const uint64_t n = ImageStride(h->biWidth, h->biBitCount) * uint64_t(h->biHeight);
    volatile unsigned sum = p[0];
    if (n <= (1u << 24))
        for (uint64_t i = 0; i < n; i += 4096) sum = sum + p[i];
    sum = sum + p[n - 1];
    GlobalUnlock(image);
}

// For the readers that take an open file: message boxes answered at once,
// the input written to this target's scratch file (removed at exit) and
// opened; HFILE_ERROR when that fails. One target per process, one name.
inline HFILE OpenInput(const char* name, const char* extension, const uint8_t* data, size_t size) {
    static const std::string path = ScratchPath(name, extension);
    static const int cleanup = std::atexit([] { std::remove(path.c_str()); });
    (void)cleanup;
    SetMessageSink(Quiet);
    if (!WriteInput(path, data, size)) return HFILE_ERROR;
    return _lopen(path.c_str(), OF_READ);
}

} // namespace fuzz
