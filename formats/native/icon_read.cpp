// The icon and cursor reader: the 6-byte header, the 16-byte directory
// entries, and one entry's image: a device-independent colour image and its
// 1-bit mask, composed over white as the display draws an icon, or a PNG file.
#include "formats/native/icon.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "core/state.h"
#include "core/text.h"
#include "formats/library/png_format.h"

#include <cstring>
#include <initializer_list>

namespace {
const char kReadError[] = "Error Reading Icon File";
const char kMemoryError[] = "Memory Allocation Error";
const BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// The largest own header an entry may have: the later bitmap headers are 108
// and 124 bytes; anything far beyond is not an icon.
const uint32_t kMaxEntryHeader = 1024;

// Reads count bytes at offset; false when the file is shorter.
bool ReadAt(HFILE file, int64_t offset, void* out, int64_t count) {
    if (offset < 0 || offset > 0x7FFFFFFF || count < 0 || count > 0x7FFFFFFF) return false;
    if (_llseek(file, LONG(offset), FILE_BEGIN) != LONG(offset)) return false;
    return _hread(file, out, long(count)) == long(count);
}

int64_t FileLength(HFILE file) {
    LONG end = _llseek(file, 0, FILE_END);
    return end < 0 ? 0 : end;
}

// What an entry holds, from the directory and its own header.
struct IconEntry {
    int type; // 1 icon, 2 cursor
    int count;
    int width, height;
    int64_t start; // the image data, from the start of the file
    uint32_t size; // as the directory gives it
};

void WriteIconText(char* text, int textMode, const IconEntry& e, int colors) {
    if (textMode == ICON_TEXT_OWN_FILE) {
        if (e.type == 1)
            InfoSet(text,
                    "image type: ICON \n# icons in file: %d \nwidth: %lu \nheight: %lu \ncolors: "
                    "%d \n",
                    e.count, (unsigned long)e.width, (unsigned long)e.height, colors);
        else
            InfoSet(text,
                    "image type: Cursor \n# cursors in file: %d \nwidth: %lu \nheight: %lu "
                    "\ncolors: %d \n",
                    e.count, (unsigned long)e.width, (unsigned long)e.height, colors);
    } else if (textMode == ICON_TEXT_FIRST_ANIMATED) {
        InfoSet(text, "image type: %s \nwidth: %lu \nheight: %lu \ncolors: %d \n",
                e.type == 1 ? "animated icon" : "animated cursor", (unsigned long)e.width,
                (unsigned long)e.height, colors);
    }
}

HGLOBAL Fail(HWND owner, const char* message) {
    ReportError(owner, message);
    return nullptr;
}

// A PNG entry (the usual form of 256 x 256 images): the PNG reader decodes it
// and composites its alpha onto white.
HGLOBAL ReadPngEntry(HWND owner, char* text, HFILE file, const IconEntry& e, int64_t length,
                     int textMode) {
    if (e.size < sizeof kPngSignature || e.size > length - e.start) return Fail(owner, kReadError);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, e.size);
    if (!data) return Fail(owner, kMemoryError);
    BYTE* bytes = static_cast<BYTE*>(GlobalLock(data));
    ReaderResult png = NoPictureSilent();
    char pngText[INFO_TEXT_SIZE];
    pngText[0] = 0;
    if (ReadAt(file, e.start, bytes, e.size)) png = ReadPngBytes(bytes, e.size, pngText);
    GlobalUnlock(data);
    GlobalFree(data);
    HGLOBAL image = png.image;
    if (png.outcome == LOAD_PICTURE_REPORTED) {
        // Part of the entry could not be decoded: not shown as if it were whole.
        GlobalFree(image);
        return nullptr;
    }
    if (!image) {
        // The PNG reader reports what it can tell (too large, no memory);
        // a damaged or short PNG file is this file's fault.
        if (png.outcome != LOAD_NONE_REPORTED) ReportError(owner, kReadError);
        return nullptr;
    }
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    IconEntry shown = e;
    shown.width = header->biWidth;
    shown.height = header->biHeight;
    int colors = header->biBitCount <= 8 ? ImageColorCount(header) : 0;
    GlobalUnlock(image);
    WriteIconText(text, textMode, shown, colors);
    return image;
}

// A 32-bit entry whose fourth bytes carry alpha: composited onto white by it,
// as the display draws such icons whatever their mask says.
bool HasAlpha(const BYTE* pixels, int width, int height) {
    for (int64_t i = 0; i < int64_t(width) * height; i++)
        if (pixels[4 * i + 3] != 0) return true;
    return false;
}

void ComposeByAlpha(const BYTE* pixels, int width, int height, BITMAPINFOHEADER* out) {
    BYTE* to = ImagePixels(out);
    for (int64_t i = 0; i < int64_t(width) * height; i++) {
        const BYTE* p = pixels + 4 * i;
        unsigned a = p[3];
        for (int c = 0; c < 3; c++) to[4 * i + c] = BYTE((p[c] * a + 255 * (255 - a) + 127) / 255);
        to[4 * i + 3] = 0;
    }
}

// A device-independent entry: header, colour table, colour image, mask.
HGLOBAL ReadBitmapEntry(HWND owner, char* text, HFILE file, const IconEntry& e, int64_t length,
                        int textMode) {
    BYTE head[40];
    if (!ReadAt(file, e.start, head, sizeof head)) return Fail(owner, kReadError);
    const uint32_t headerSize = Le32(head);
    const int bits = Le16(head + 14);
    const uint32_t compression = Le32(head + 16);
    const uint32_t clrUsed = Le32(head + 32);
    if (headerSize < 40 || headerSize > kMaxEntryHeader || compression != BI_RGB ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return Fail(owner, kReadError);
    const int colors = bits <= 8 ? 1 << bits : 0;
    // The table in the file: as many entries as the header says, a full one when it says 0.
    const int64_t stored = clrUsed ? int64_t(clrUsed) : colors;
    const int64_t stride = int64_t(ImageStride(e.width, bits));
    const int64_t maskStride = int64_t(ImageStride(e.width, 1));
    const int64_t tableAt = e.start + headerSize;
    const int64_t pixelsAt = tableAt + 4 * stored;
    const int64_t maskAt = pixelsAt + stride * e.height;
    if (stored > 65536 || maskAt + maskStride * e.height > length) return Fail(owner, kReadError);
    const int outBits = bits <= 8 ? 24 : bits;
    if (ImageBlockBytes(e.width, e.height, outBits, 0) == 0 ||
        ImageBlockBytes(e.width, e.height, bits, colors) == 0)
        return Fail(owner, "Picture Too Large");

    WriteIconText(text, textMode, e, colors);
    HGLOBAL image = AllocImageRecord(e.width, e.height, outBits, 0);
    // The colour image as a bitmap of its own with its full table (entries the
    // file leaves out are black), and the mask with black and white.
    HGLOBAL color =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(40 + 4 * colors + stride * e.height));
    HGLOBAL mask =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(40 + 8 + maskStride * e.height));
    HGLOBAL result = nullptr;
    const char* failure = kMemoryError;
    if (image && color && mask) {
        BITMAPINFO* c = static_cast<BITMAPINFO*>(GlobalLock(color));
        BITMAPINFO* m = static_cast<BITMAPINFO*>(GlobalLock(mask));
        BITMAPINFOHEADER* out = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
        for (BITMAPINFO* b : {c, m}) {
            b->bmiHeader.biSize = 40;
            b->bmiHeader.biWidth = e.width;
            b->bmiHeader.biHeight = e.height;
            b->bmiHeader.biPlanes = 1;
        }
        c->bmiHeader.biBitCount = WORD(bits);
        m->bmiHeader.biBitCount = 1;
        BYTE* table = reinterpret_cast<BYTE*>(c) + 40;
        BYTE* colorBits = table + 4 * colors;
        BYTE* maskBits = reinterpret_cast<BYTE*>(m) + 48;
        std::memset(reinterpret_cast<BYTE*>(m) + 44, 0xFF, 3); // entry 1 white
        const int64_t tableBytes = 4 * (stored < colors ? stored : colors);
        failure = kReadError;
        if (ReadAt(file, tableAt, table, tableBytes) &&
            ReadAt(file, pixelsAt, colorBits, stride * e.height) &&
            ReadAt(file, maskAt, maskBits, maskStride * e.height)) {
            failure = kMemoryError;
            if (bits == 32 && HasAlpha(colorBits, e.width, e.height)) {
                ComposeByAlpha(colorBits, e.width, e.height, out);
                result = image;
            } else if (ComposeIconImage(owner, c, colorBits, m, maskBits, out)) {
                result = image;
            }
        }
        GlobalUnlock(image);
        GlobalUnlock(mask);
        GlobalUnlock(color);
    }
    if (color) GlobalFree(color);
    if (mask) GlobalFree(mask);
    if (!result) {
        if (image) GlobalFree(image);
        ReportError(owner, failure);
    }
    return result;
}

// Every way of failing below shows its message first.
HGLOBAL ReadIconEntry(HWND owner, char* text, HFILE file, int* count, int index, long base,
                      int textMode) {
    if (count) *count = 0;
    const int64_t length = FileLength(file);
    BYTE head[6];
    if (base < 0 || !ReadAt(file, base, head, sizeof head) || Le16(head) != 0 ||
        (Le16(head + 2) != 1 && Le16(head + 2) != 2))
        return Fail(owner, kReadError);
    IconEntry e = {};
    e.type = Le16(head + 2);
    e.count = Le16(head + 4);
    if (count) *count = e.count;
    BYTE entry[16];
    // A directory longer than the file is damaged: its count is not trusted.
    if (index < 1 || index > e.count || 6 + 16 * int64_t(e.count) > length - base ||
        !ReadAt(file, base + 16 * int64_t(index) - 10, entry, 16))
        return Fail(owner, kReadError);
    // A width or height byte of 0 means 256 pixels, as every icon writer uses it.
    e.width = entry[0] ? entry[0] : 256;
    e.height = entry[1] ? entry[1] : 256;
    e.size = Le32(entry + 8);
    e.start = base + int64_t(Le32(entry + 12));
    BYTE signature[8];
    if (!ReadAt(file, e.start, signature, sizeof signature)) return Fail(owner, kReadError);
    if (std::memcmp(signature, kPngSignature, sizeof signature) == 0)
        return ReadPngEntry(owner, text, file, e, length, textMode);
    return ReadBitmapEntry(owner, text, file, e, length, textMode);
}
} // namespace

ReaderResult ReadIcon(HWND owner, char* text, HFILE file, int* count, int index, long base,
                      int textMode) {
    HGLOBAL image = ReadIconEntry(owner, text, file, count, index, base, textMode);
    return image ? GotPicture(image) : NoPictureReported();
}
