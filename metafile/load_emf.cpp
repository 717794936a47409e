// Enhanced metafiles: read as they are, or converted from a Windows metafile
// (plain, or raw placeable bits the system does not read by name).
#include "core/byte_order.h"
#include "metafile/metafile.h"

#include <cstdlib>

namespace {
const char kErrorCaption[] = "Error Reading MetaFile";

HENHMETAFILE Convert(HWND owner, const BYTE* bits, UINT size, LONG xExt, LONG yExt) {
    METAFILEPICT picture = {MM_ANISOTROPIC, xExt, yExt, nullptr};
    HDC screen = GetDC(nullptr);
    HENHMETAFILE enhanced = SetWinMetaFileBits(size, bits, screen, &picture);
    ReleaseDC(nullptr, screen);
    if (!enhanced) MessageBoxA(owner, "Failed to Create MetaFile from Bits", kErrorCaption, MB_OK);
    return enhanced;
}

// A plain Windows metafile the system read by name, converted with 1000 x 1000
// anisotropic extents; the Windows metafile is deleted in every case.
HENHMETAFILE ConvertWindowsMetafile(HWND owner, HMETAFILE metafile) {
    const char* error = nullptr;
    HENHMETAFILE enhanced = nullptr;
    UINT size = GetMetaFileBitsEx(metafile, 0, nullptr);
    BYTE* bits = nullptr;
    if (size == 0)
        error = "Failed to Get MetaFile Bits Size";
    else if (!(bits = static_cast<BYTE*>(std::malloc(size))))
        error = "Failed to Allocate Memory for Metafile Bits";
    else if (GetMetaFileBitsEx(metafile, size, bits) == 0)
        error = "Failed to Get MetaFile Bits";
    DeleteMetaFile(metafile);
    if (error) {
        std::free(bits);
        MessageBoxA(owner, error, kErrorCaption, MB_OK);
        return nullptr;
    }
    enhanced = Convert(owner, bits, size, 1000, 1000);
    std::free(bits);
    return enhanced;
}

// The whole file, for a placeable metafile that neither reading by name takes.
BYTE* ReadWholeFile(const char* name, HWND owner, DWORD* size, bool* opened) {
    HANDLE file =
        CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    *opened = file != INVALID_HANDLE_VALUE;
    if (!*opened) return nullptr;
    DWORD high = 0;
    DWORD length = GetFileSize(file, &high);
    BYTE* data = nullptr;
    DWORD got = 0;
    if (length != INVALID_FILE_SIZE && high == 0 && length <= MAX_METAFILE_BITS) {
        data = static_cast<BYTE*>(std::malloc(length ? length : 1));
        if (data && (!ReadFile(file, data, length, &got, nullptr) || got != length)) {
            std::free(data);
            data = nullptr;
        }
    }
    CloseHandle(file);
    *size = data ? got : 0;
    return data;
}
} // namespace

HENHMETAFILE LoadEnhancedMetafile(const char* name, HWND owner) {
    if (HENHMETAFILE enhanced = GetEnhMetaFileA(name)) return enhanced;
    if (HMETAFILE metafile = GetMetaFileA(name)) return ConvertWindowsMetafile(owner, metafile);

    DWORD size = 0;
    bool opened = false;
    BYTE* data = ReadWholeFile(name, owner, &size, &opened);
    if (!opened) {
        MessageBoxA(owner, "Error Opening File", name, MB_OK);
        return nullptr;
    }
    // A placeable header with no units per inch has no size to convert by.
    if (data && size >= PLACEABLE_HEADER_SIZE && Le32(data) == PLACEABLE_KEY &&
        Le16(data + 14) != 0) {
        uint32_t inch = Le16(data + 14);
        uint32_t width = uint32_t(int32_t(int16_t(Le16(data + 10))) - int16_t(Le16(data + 6)));
        uint32_t height = uint32_t(int32_t(int16_t(Le16(data + 12))) - int16_t(Le16(data + 8)));
        LONG xExt = LONG(width * 2540u / inch), yExt = LONG(height * 2540u / inch);
        HENHMETAFILE enhanced = Convert(owner, data + PLACEABLE_HEADER_SIZE,
                                        UINT(size - PLACEABLE_HEADER_SIZE), xExt, yExt);
        std::free(data);
        return enhanced;
    }
    std::free(data);
    MessageBoxA(owner, "Not a Valid Metafile", name, MB_OK);
    return nullptr;
}
