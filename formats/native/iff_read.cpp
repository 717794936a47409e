// The IFF reader: the FORM and its chunks, the File information text, the
// record each kind of picture gets, then the BODY rows.
#include "formats/native/iff.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "core/text.h"

#include <cstring>

namespace {
const int kReadBufferBytes = 2048;

// Chunks are walked by their declared sizes from a position of our own, so
// that no size can move a read outside the chunk it belongs to.
struct ChunkWalk {
    HFILE file;
    uint64_t position; // where the next chunk header, or the current chunk's data, starts
    uint64_t length;   // of the file
};

// Beyond what a seek can report, reads still stop at the real end.
uint64_t LengthOf(HFILE file) {
    int64_t length = FileLength(file);
    return length < 0 ? uint64_t(INT32_MAX) : uint64_t(length);
}

// Reads up to bytes at the walk's position, never past the file's end.
uint64_t ReadHere(const ChunkWalk* w, BYTE* out, uint64_t bytes) {
    if (w->position >= w->length) return 0;
    if (bytes > w->length - w->position) bytes = w->length - w->position;
    if (_llseek(w->file, LONG(w->position), FILE_BEGIN) != LONG(w->position)) return 0;
    UINT got = _lread(w->file, out, UINT(bytes));
    return got == UINT(HFILE_ERROR) ? 0 : got;
}

bool NextChunk(ChunkWalk* w, char id[4], uint32_t* size) {
    BYTE head[8];
    if (ReadHere(w, head, 8) != 8) return false;
    std::memcpy(id, head, 4);
    *size = Be32(head + 4);
    w->position += 8;
    return true;
}

// Past the chunk's data and its pad byte.
void SkipChunk(ChunkWalk* w, uint32_t size) {
    w->position += uint64_t(size) + (size & 1);
}

bool Is(const char* id, const char* name) {
    return std::memcmp(id, name, 4) == 0;
}

// The colour map: 3 bytes per entry (the size rounded up to even, so an odd
// size's pad byte may end the last entry), at most the 256 entries a table holds.
int ReadColorMap(const ChunkWalk* w, uint32_t size, RGBQUAD* table, char* text) {
    uint64_t entries = (uint64_t(size) + (size & 1)) / 3;
    const int colors = entries > 256 ? 256 : int(entries);
    BYTE raw[768] = {0};
    ReadHere(w, raw, uint64_t(colors) * 3);
    std::memset(table, 0, 256 * sizeof(RGBQUAD));
    for (int i = 0; i < colors; i++) {
        table[i].rgbRed = raw[3 * i];
        table[i].rgbGreen = raw[3 * i + 1];
        table[i].rgbBlue = raw[3 * i + 2];
    }
    InfoAppend(text, " \n# of colors: %d", colors);
    return colors;
}

// Entries 32 to 63: the first 32 at half brightness.
void AddHalfbrite(RGBQUAD* table) {
    for (int i = 0; i < 32; i++) {
        table[32 + i].rgbRed = BYTE(table[i].rgbRed >> 1);
        table[32 + i].rgbGreen = BYTE(table[i].rgbGreen >> 1);
        table[32 + i].rgbBlue = BYTE(table[i].rgbBlue >> 1);
        table[32 + i].rgbReserved = 0;
    }
}

ReaderResult Refuse(const char* message) {
    ReportError(nullptr, message);
    return NoPictureReported();
}
} // namespace

ReaderResult ReadIffPicture(HFILE file, HWND, char* text) {
    ChunkWalk walk = {file, 0, LengthOf(file)};
    BYTE form[12];
    if (ReadHere(&walk, form, 12) != 12 || !Is(reinterpret_cast<char*>(form), "FORM"))
        return Refuse("Invalid IFF File");
    char type[5] = {0};
    std::memcpy(type, form + 8, 4);
    walk.position = 12;

    char id[4];
    uint32_t size = 0;
    BYTE bmhd[20] = {0};
    bool haveHeader = false;
    while (!haveHeader && NextChunk(&walk, id, &size)) {
        if (Is(id, "BMHD")) {
            ReadHere(&walk, bmhd, size < 20 ? size : 20);
            haveHeader = true;
        }
        SkipChunk(&walk, size);
    }
    if (!haveHeader) return Refuse("Invalid IFF File");
    const int64_t width = Be16(bmhd), height = Be16(bmhd + 2);
    const int planes = bmhd[8], masking = bmhd[9], compression = bmhd[10];
    InfoSet(text,
            "image type: %s \nwidth: %d \nheight: %d \nplanes: %d \ncompression: %d \nmasking: %d",
            type, int(width), int(height), planes, compression, masking);
    if (masking == 2) InfoAppend(text, "\ntransparent color: %d", int(Be16(bmhd + 12)));

    const bool pbm = Is(type, "PBM ");
    if (!pbm && !Is(type, "ILBM")) return Refuse("Unsupported IFF Form Type");
    if (compression > 1) return Refuse("Unsupported IFF Compression");
    if (width == 0 || height == 0) return Refuse("Invalid IFF Header");

    RGBQUAD table[256] = {};
    int colors = 0;
    bool haveMap = false, ham = false, halfbrite = false, haveBody = false;
    while (NextChunk(&walk, id, &size)) {
        if (Is(id, "BODY")) {
            haveBody = true;
            break;
        }
        if (Is(id, "CMAP")) {
            colors = ReadColorMap(&walk, size, table, text);
            haveMap = true;
            // Six planes and 32 colours: the sixth plane halves the brightness.
            if (planes == 6 && colors == 32) {
                AddHalfbrite(table);
                colors = 64;
            }
        } else if (Is(id, "CAMG") && size == 4) {
            BYTE mode[4] = {0};
            ReadHere(&walk, mode, 4);
            ham = (Be32(mode) & 0x800) != 0;
            halfbrite = (Be32(mode) & 0x80) != 0;
        }
        SkipChunk(&walk, size);
    }
    if (!haveBody) return Refuse("IFF File Has No Picture Data");
    if (halfbrite) {
        AddHalfbrite(table);
        colors = 64;
        InfoAppend(text, "\ncamg: extra-halfbrite");
    }

    // Chunky pictures have no hold-and-modify, and 24 planes are true colour
    // whatever the display mode says.
    const bool holdAndModify = ham && !pbm && planes != 24;
    IffBody body = {IFF_NO_ROWS, width, height, planes, masking == 1 && !pbm, table};
    if (holdAndModify) {
        InfoAppend(text, "\ncamg: hold and modify");
        if (planes == 6 || planes == 8) body.layout = IFF_HAM;
    } else if (planes == 24) {
        body.layout = pbm ? IFF_CHUNKY24 : IFF_PLANES24;
    } else if (planes == 1) {
        body.layout = IFF_ONE_PLANE;
    } else if (pbm && planes == 8) {
        body.layout = IFF_CHUNKY8;
    } else if (!pbm && planes >= 2 && planes <= 8) {
        body.layout = IFF_PLANES;
    } else {
        return Refuse("Unsupported IFF Plane Count");
    }
    const bool trueColor = holdAndModify || planes == 24;
    // Palette pictures decode into the colour table the CMAP brought.
    if (!trueColor && !haveMap) return Refuse("IFF Picture Has No Color Map");

    const int bits = trueColor ? 24 : planes == 1 ? 1 : 8;
    // An empty colour map still gives the record its whole (black) table.
    const int tableSize = bits == 1 ? 2 : 256;
    const int recordColors = trueColor ? 0 : colors == 0 || colors > tableSize ? tableSize : colors;
    if (ImageBlockBytes(width, height, bits, recordColors) == 0) return Refuse("Picture Too Large");
    HGLOBAL image = AllocImageRecord(width, height, bits, recordColors);
    if (!image)
        return Refuse(trueColor && !holdAndModify ? "Global Allocation Error"
                                                  : "Memory Allocation Error");
    const uint64_t workBytes = kReadBufferBytes + IffWorkBytes(&body);
    HGLOBAL work = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(workBytes));
    if (!work) {
        GlobalFree(image);
        return Refuse("Memory Allocation Error");
    }
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(image));
    if (!trueColor)
        std::memcpy(reinterpret_cast<BYTE*>(header) + 40, table,
                    4 * size_t(ImageColorCount(header)));
    BYTE* buffer = static_cast<BYTE*>(GlobalLock(work));

    // The BODY ends at its declared size or at the end of the file.
    const uint64_t left = walk.length > walk.position ? walk.length - walk.position : 0;
    ByteReader bytes;
    OpenByteReader(&bytes, file, buffer, kReadBufferBytes, size < left ? size : left);
    IffBodyStream source;
    OpenIffBodyStream(&source, &bytes, compression == 1);
    _llseek(file, LONG(walk.position), FILE_BEGIN);
    DecodeIffBody(&source, &body, ImagePixels(header), ImageStride(width, bits),
                  buffer + kReadBufferBytes);

    GlobalUnlock(work);
    GlobalFree(work);
    GlobalUnlock(image);
    return GotPicture(image);
}
