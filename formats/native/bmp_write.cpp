// The bitmap writers: the headers every form shares, and the uncompressed form.
#include "formats/native/bmp.h"

#include "core/byte_order.h"
#include "core/image.h"

#include <cstring>

namespace {
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

void PutBitmapHeaders(BYTE* out, const BITMAPINFOHEADER* info, uint32_t fileSize,
                      uint32_t dataOffset, uint32_t compression, uint32_t sizeImage) {
    out[0] = 'B';
    out[1] = 'M';
    PutLe32(out + 2, fileSize);
    PutLe32(out + 6, 0);
    PutLe32(out + 10, dataOffset);
    BYTE* h = out + 14;
    PutLe32(h, info->biSize);
    PutLe32(h + 4, uint32_t(info->biWidth));
    PutLe32(h + 8, uint32_t(info->biHeight));
    PutLe16(h + 12, info->biPlanes);
    PutLe16(h + 14, info->biBitCount);
    PutLe32(h + 16, compression);
    PutLe32(h + 20, sizeImage);
    PutLe32(h + 24, uint32_t(info->biXPelsPerMeter));
    PutLe32(h + 28, uint32_t(info->biYPelsPerMeter));
    PutLe32(h + 32, info->biClrUsed);
    PutLe32(h + 36, info->biClrImportant);
}

WriteResult WriteBitmapUncompressed(HGLOBAL image, HANDLE file) {
    if (!IsValidImageRecord(image)) return WRITE_FAILED;
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    const int bits = header->biBitCount;
    const int colors = bits <= 8 ? ImageColorCount(header) : 0;
    const uint64_t stride = ImageStride(header->biWidth, bits);
    const uint64_t pixelBytes = stride * uint64_t(header->biHeight);
    const uint32_t offset = 54 + 4 * uint32_t(colors);
    if (pixelBytes + offset > UINT32_MAX) {
        GlobalUnlock(image);
        return WRITE_FAILED;
    }

    BYTE head[54 + 1024];
    PutBitmapHeaders(head, header, uint32_t(pixelBytes + offset), offset, header->biCompression,
                     header->biSizeImage);
    std::memcpy(head + 54, reinterpret_cast<BYTE*>(header) + 40, 4 * size_t(colors));
    bool ok = WriteAll(file, head, offset) && WriteAll(file, ImagePixels(header), pixelBytes);
    GlobalUnlock(image);
    return ok ? WRITE_OK : WRITE_FAILED;
}
