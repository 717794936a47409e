// The GIF reader: signature, logical screen descriptor, colour tables, the
// blocks before the first frame (with the graphic control extension), the
// image descriptor and the File information text; the image data goes to
// the LZW decoder.
#include "formats/native/gif.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "core/state.h"
#include "core/text.h"

#include <cstring>

// "GIF", two digits and a letter (the version).
bool GifSignatureAccepted(const BYTE* h) {
    return h[0] == 'G' && h[1] == 'I' && h[2] == 'F' && h[3] >= '0' && h[3] <= '9' && h[4] >= '0' &&
           h[4] <= '9' && h[5] >= 'A' && h[5] <= 'z';
}

namespace {
// Reads up to count bytes; returns how many the file still held.
int ReadBytes(ByteReader* source, BYTE* out, int count) {
    return int(NextBytes(source, out, uint64_t(count)));
}

} // namespace

bool ReadGifColorTable(ByteReader* source, long entries, BYTE* table) {
    for (long i = 0; i < entries; i++) {
        BYTE rgb[3];
        if (ReadBytes(source, rgb, 3) != 3) return false;
        if (i < 256) {
            table[4 * i] = rgb[2];
            table[4 * i + 1] = rgb[1];
            table[4 * i + 2] = rgb[0];
            table[4 * i + 3] = 0;
        }
    }
    return true;
}

RGBQUAD GifTableColor(const BYTE* table, long entries, int index) {
    RGBQUAD color = {0, 0, 0, 0};
    if (index < entries && index < 256) std::memcpy(&color, table + 4 * index, 4);
    return color;
}

bool SkipGifSubBlocksFrom(ByteReader* source, BYTE firstSize) {
    BYTE size = firstSize, ignored;
    while (size != 0) {
        for (int i = 0; i < size; i++)
            if (!NextByte(source, &ignored)) return false;
        if (!NextByte(source, &size)) return false;
    }
    return true;
}

bool SkipGifSubBlocks(ByteReader* source) {
    BYTE size;
    return NextByte(source, &size) && SkipGifSubBlocksFrom(source, size);
}

bool GifGlobalTableMissing(HFILE file, long start, long entries) {
    BYTE descriptor[10] = {0}, after = 0;
    _llseek(file, start + 13, FILE_BEGIN);
    const bool image = _lread(file, descriptor, sizeof descriptor) == sizeof descriptor &&
                       descriptor[0] == 0x2C && (descriptor[9] & 0x80) != 0;
    _llseek(file, LONG(start + 13 + 3 * entries), FILE_BEGIN);
    const bool block =
        _lread(file, &after, 1) == 1 && (after == 0x2C || after == 0x21 || after == 0x3B);
    _llseek(file, start + 13, FILE_BEGIN);
    return image && !block;
}

namespace {
ReaderResult Fail(HWND owner, const char* message) {
    ReportError(owner, message);
    return NoPictureReported();
}
} // namespace

ReaderResult ReadGif(HFILE file, HWND owner, char* text) {
    g_gif.frameCount++;
    BYTE head[13];
    _llseek(file, 0, FILE_BEGIN);
    if (_lread(file, head, sizeof head) != sizeof head) return Fail(owner, "File Read Error");
    long start = 0;
    if (!GifSignatureAccepted(head)) {
        start = 128;
        // Behind a MacBinary header. A file too short to have one is no GIF either.
        _llseek(file, 128, FILE_BEGIN);
        if (_lread(file, head, sizeof head) != sizeof head || !GifSignatureAccepted(head))
            return Fail(owner, "Unrecognized Bitmap Format");
    }
    char version[4] = {char(head[3]), char(head[4]), char(head[5]), 0};
    const bool version87a = std::strcmp(version, "87a") == 0;
    const int flags = head[10];
    const int backgroundIndex = head[11];
    // 87a files are taken to carry a table of the four low bits' size, present or
    // not, unless the file plainly has none.
    const bool globalPresent = (flags & 0x80) != 0;
    const int globalBits = globalPresent && !version87a ? (flags & 7) + 1 : (flags & 0x0F) + 1;
    const bool globalRead =
        globalPresent || (version87a && !GifGlobalTableMissing(file, start, 1L << globalBits));
    const long globalCount = 1L << globalBits;
    BYTE global[256 * 4] = {0};

    BYTE buffer[GIF_READ_BUFFER];
    ByteReader source;
    OpenByteReader(&source, file, buffer, GIF_READ_BUFFER);
    if (globalRead && !ReadGifColorTable(&source, globalCount, global))
        return Fail(owner, "File Read Error");
    g_gif.screenWidth = Le16(head + 6);
    g_gif.screenHeight = Le16(head + 8);
    g_gif.background = GifTableColor(global, globalCount, backgroundIndex);

    for (;;) {
        BYTE kind;
        if (!NextByte(&source, &kind)) return Fail(owner, "File Read Error");
        if (kind == 0x2C) break;
        if (kind == 0x3B) return NoPictureSilent(); // no frame at all
        if (kind != 0x21) {
            // Not a block we know: taken as sub-blocks, this byte the first size.
            if (!SkipGifSubBlocksFrom(&source, kind)) return Fail(owner, "File Read Error");
            continue;
        }
        BYTE label, size, block[255];
        if (!NextByte(&source, &label) || !NextByte(&source, &size))
            return Fail(owner, "File Read Error");
        if (size == 0) continue; // an extension without data: that 0 ended it
        if (ReadBytes(&source, block, size) != size) return Fail(owner, "File Read Error");
        if (label == 0xF9 && size >= 4) {
            g_gif.disposal = (block[0] >> 2) & 7;
            g_frameDelay = Le16(block + 1);
            g_gif.transparent = (block[0] & 1) != 0;
            if (g_gif.transparent) {
                g_gif.transparentIndex = block[3];
                g_gif.transparentColor = GifTableColor(global, globalCount, block[3]);
            }
        }
        if (!SkipGifSubBlocks(&source)) return Fail(owner, "File Read Error");
    }

    BYTE descriptor[9];
    if (ReadBytes(&source, descriptor, 9) != 9) return Fail(owner, "File Read Error");
    const int width = Le16(descriptor + 4);
    const int height = Le16(descriptor + 6);
    const int frameFlags = descriptor[8];
    const bool local = (frameFlags & 0x80) != 0;
    const bool interlaced = (frameFlags & 0x40) != 0;
    const long localCount = 1L << ((frameFlags & 7) + 1);
    BYTE localTable[256 * 4] = {0};
    if (local && !ReadGifColorTable(&source, localCount, localTable))
        return Fail(owner, "File Read Error");
    BYTE minCodeSize;
    if (!NextByte(&source, &minCodeSize)) return Fail(owner, "File Read Error");
    if (minCodeSize < 2 || minCodeSize > 9) return NoPictureSilent();
    g_gif.left = Le16(descriptor);
    g_gif.top = Le16(descriptor + 2);

    const long fileColors = local ? localCount : globalCount;
    const int colors = fileColors > 256 ? 256 : int(fileColors);
    if (width == 0 || height == 0) return Fail(owner, "Invalid Picture Data");
    if (ImageBlockBytes(width, height, 8, colors) == 0) return Fail(owner, "Picture Too Large");
    HGLOBAL image = AllocImageRecord(width, height, 8, colors);
    if (!image) return Fail(owner, "Memory Allocation Error");
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    std::memcpy(reinterpret_cast<BYTE*>(header) + 40, local ? localTable : global,
                size_t(4 * colors));

    if (g_gif.frameCount == 1) {
        InfoSet(text,
                "image type: GIF \nversion: %s \nwidth: %d \nheight: %d \nplanes: %d \ncolors: %d",
                version, width, height, (flags & 0x0F) + 1, colors);
        if (interlaced) InfoAppend(text, "\ninterlaced");
        if (local) InfoAppend(text, "\nlocal color map");
    }
    DecodeGifImage(&source, minCodeSize, ImagePixels(header), ImageStride(width, 8), width, height,
                   interlaced);
    GlobalUnlock(image);
    return GotPicture(image);
}
