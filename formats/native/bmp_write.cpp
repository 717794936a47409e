// The bitmap writers.
#include "formats/native/bmp.h"

#include "core/image.h"

#include <cstring>

namespace {
void PutLe32(BYTE* p, uint32_t v) {
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
    p[2] = BYTE(v >> 16);
    p[3] = BYTE(v >> 24);
}

bool WriteAll(HANDLE file, const BYTE* data, uint64_t bytes) {
    while (bytes > 0) {
        DWORD piece = DWORD(bytes > (1u << 30) ? (1u << 30) : bytes);
        DWORD written = 0;
        if (!WriteFile(file, data, piece, &written, nullptr) || written != piece) return false;
        data += piece;
        bytes -= piece;
    }
    return true;
}
} // namespace

int WriteBitmapUncompressed(HGLOBAL image, HANDLE file) {
    if (!IsValidImageRecord(image)) return 0;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int bits = header->biBitCount;
    const int colors = bits <= 8 ? ImageColorCount(header) : 0;
    const uint64_t stride = ImageStride(header->biWidth, bits);
    const uint64_t pixelBytes = stride * uint64_t(header->biHeight);
    const uint32_t offset = 54 + 4 * uint32_t(colors);

    BYTE head[54 + 1024];
    head[0] = 'B';
    head[1] = 'M';
    PutLe32(head + 2, uint32_t(pixelBytes + offset));
    PutLe32(head + 6, 0);
    PutLe32(head + 10, offset);
    std::memcpy(head + 14, header, 40);
    std::memcpy(head + 54, reinterpret_cast<BYTE*>(header) + 40, 4 * size_t(colors));
    bool ok = WriteAll(file, head, offset) && WriteAll(file, ImagePixels(header), pixelBytes);
    GlobalUnlock(image);
    return ok ? 1 : 0;
}
