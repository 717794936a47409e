// The GIF frame player: reads the blocks frame by frame from the file and
// keeps the logical screen as a 24-bit record, white where it is transparent.
#include "formats/native/gif_frames.h"

#include "core/byte_order.h"
#include "core/image.h"
#include "formats/native/gif.h"

#include <cstring>
#include <new>

namespace {
const BYTE kWhite = 0xFF;

// The graphic control extension before a frame.
struct FrameControl {
    int disposal;
    int delay;
    bool transparent;
    int transparentIndex;
};

// A rectangle of the screen, rows counted from the top.
struct Area {
    int left, top, width, height;
};

BYTE* ScreenRow(BITMAPINFOHEADER* header, int y) {
    const int height = header->biHeight;
    return ImagePixels(header) + ImageStride(header->biWidth, 24) * uint64_t(height - 1 - y);
}

void Fill(HGLOBAL screen, const Area& a, RGBQUAD colour) {
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(screen));
    if (!header) return;
    if (a.width > 0 && a.height > 0) {
        // The whole screen is filled at every rewind: whole rows of one grey
        // are one stretch of memory (padding included); otherwise the first
        // row is filled pixel by pixel and copied to the others.
        const uint64_t stride = ImageStride(header->biWidth, 24);
        BYTE* first = ScreenRow(header, a.top) + 3 * a.left;
        const bool grey = colour.rgbBlue == colour.rgbGreen && colour.rgbGreen == colour.rgbRed;
        if (grey && a.left == 0 && a.width == header->biWidth) {
            std::memset(first - stride * uint64_t(a.height - 1), colour.rgbRed,
                        size_t(stride * uint64_t(a.height)));
        } else {
            BYTE* out = first;
            for (int x = 0; x < a.width; x++, out += 3) {
                out[0] = colour.rgbBlue;
                out[1] = colour.rgbGreen;
                out[2] = colour.rgbRed;
            }
            BYTE* row = first;
            for (int y = 1; y < a.height; y++) {
                row -= stride; // rows are stored bottom first
                std::memcpy(row, first, size_t(3) * size_t(a.width));
            }
        }
    }
    GlobalUnlock(screen);
}

void FillWhite(HGLOBAL screen, const Area& a) {
    Fill(screen, a, RGBQUAD{kWhite, kWhite, kWhite, 0});
}

// Copies the area of the screen into the saved record (toSaved) or back.
void CopyArea(HGLOBAL screen, HGLOBAL saved, const Area& a, bool toSaved) {
    BITMAPINFOHEADER* s = static_cast<BITMAPINFOHEADER*>(GlobalLock(screen));
    BITMAPINFOHEADER* k = static_cast<BITMAPINFOHEADER*>(GlobalLock(saved));
    if (s && k && k->biWidth == a.width && k->biHeight == a.height)
        for (int y = 0; y < a.height; y++) {
            BYTE* onScreen = ScreenRow(s, a.top + y) + 3 * a.left;
            BYTE* kept = ScreenRow(k, y);
            std::memcpy(toSaved ? kept : onScreen, toSaved ? onScreen : kept, size_t(3 * a.width));
        }
    if (k) GlobalUnlock(saved);
    if (s) GlobalUnlock(screen);
}

// Undoes the shown frame as its disposal method asks before the next one.
void DisposeLast(GifPlayer* p) {
    const Area last = {p->lastLeft, p->lastTop, p->lastWidth, p->lastHeight};
    if (last.width <= 0 || last.height <= 0) return;
    if (p->lastDisposal == 2) FillWhite(p->screen, last);
    if (p->lastDisposal == 3 && p->saved) CopyArea(p->screen, p->saved, last, false);
}

// Reads the blocks up to the next image descriptor (read into descriptor),
// taking the graphic control extension; false at the trailer or the end.
bool FindFrame(GifPlayer* p, FrameControl* control, BYTE* descriptor) {
    *control = FrameControl{0, 0, false, 0};
    for (;;) {
        BYTE kind;
        if (!NextByte(&p->source, &kind) || kind == 0x3B) return false;
        if (kind == 0x2C) return NextBytes(&p->source, descriptor, 9) == 9;
        if (kind != 0x21) {
            if (!SkipGifSubBlocksFrom(&p->source, kind)) return false;
            continue;
        }
        BYTE label, size, block[255];
        if (!NextByte(&p->source, &label) || !NextByte(&p->source, &size)) return false;
        if (size == 0) continue;
        if (NextBytes(&p->source, block, size) != size) return false;
        if (label == 0xF9 && size >= 4) {
            control->disposal = (block[0] >> 2) & 7;
            control->delay = Le16(block + 1);
            control->transparent = (block[0] & 1) != 0;
            control->transparentIndex = block[3];
        }
        if (!SkipGifSubBlocks(&p->source)) return false;
    }
}

// Puts the frame's indices (an 8-bit area, bottom row first) onto the
// screen within the area, skipping the transparent index.
void PaintFrame(GifPlayer* p, const BYTE* indices, uint64_t stride, int frameHeight,
                const BYTE* table, long entries, const FrameControl& c, const Area& a,
                int frameLeft, int frameTop) {
    BITMAPINFOHEADER* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(p->screen));
    if (!header) return;
    // Each index is looked up once a frame, not once a pixel.
    BYTE colours[256][3];
    for (int i = 0; i < 256; i++) {
        const RGBQUAD colour = GifTableColor(table, entries, i);
        colours[i][0] = colour.rgbBlue;
        colours[i][1] = colour.rgbGreen;
        colours[i][2] = colour.rgbRed;
    }
    const int skipped = c.transparent ? c.transparentIndex : -1;
    for (int y = a.top; y < a.top + a.height; y++) {
        const BYTE* in =
            indices + stride * uint64_t(frameHeight - 1 - (y - frameTop)) + (a.left - frameLeft);
        BYTE* out = ScreenRow(header, y) + 3 * a.left;
        for (const BYTE* end = in + a.width; in != end; in++, out += 3)
            if (*in != skipped) std::memcpy(out, colours[*in], 3);
    }
    GlobalUnlock(p->screen);
}
} // namespace

int GifShownDelay(int fileDelay) {
    return fileDelay < 2 ? 10 : fileDelay;
}

bool OpenGifPlayer(GifPlayer* p, const char* path) {
    *p = GifPlayer{};
    p->file = _lopen(path, OF_READ);
    p->resumeAt = -1;
    if (p->file == HFILE_ERROR) return false;
    BYTE head[13];
    long start = 0;
    if (_lread(p->file, head, 13) != 13 || !GifSignatureAccepted(head)) {
        start = 128;
        _llseek(p->file, 128, FILE_BEGIN);
        if (_lread(p->file, head, 13) != 13 || !GifSignatureAccepted(head)) {
            _lclose(p->file);
            return false;
        }
    }
    // The colour table is read as the reader reads it (87a files included).
    const int flags = head[10];
    const bool version87a = std::memcmp(head + 3, "87a", 3) == 0;
    const bool present = (flags & 0x80) != 0;
    const long count = 1L << (present && !version87a ? (flags & 7) + 1 : (flags & 0x0F) + 1);
    const bool read = present || (version87a && !GifGlobalTableMissing(p->file, start, count));
    p->buffer = new (std::nothrow) BYTE[GIF_PLAYER_BUFFER];
    bool ok = p->buffer != nullptr;
    if (ok) {
        OpenByteReader(&p->source, p->file, p->buffer, GIF_PLAYER_BUFFER);
        ok = !read || ReadGifColorTable(&p->source, count, p->global);
    }
    p->globalCount = read ? count : 0;
    p->dataStart = start + 13 + (read ? 3 * count : 0);
    p->backgroundIndex = head[11];
    p->width = Le16(head + 6);
    p->height = Le16(head + 8);
    if (ok && (p->width == 0 || p->height == 0)) {
        // A screen of no size: the first frame's extent stands for it.
        FrameControl c;
        BYTE d[9];
        if (FindFrame(p, &c, d)) {
            if (p->width == 0) p->width = Le16(d) + Le16(d + 4);
            if (p->height == 0) p->height = Le16(d + 2) + Le16(d + 6);
        }
    }
    ok = ok && p->width > 0 && p->height > 0 && RewindGifPlayer(p);
    if (!ok) CloseGifPlayer(p);
    return ok;
}

bool RewindGifPlayer(GifPlayer* p) {
    _llseek(p->file, p->dataStart, FILE_BEGIN);
    OpenByteReader(&p->source, p->file, p->buffer, GIF_PLAYER_BUFFER);
    if (!p->screen) {
        if (ImageBlockBytes(p->width, p->height, 24, 0) == 0) return false;
        p->screen = AllocImageRecord(p->width, p->height, 24, 0);
        if (!p->screen) return false;
    }
    FillWhite(p->screen, Area{0, 0, p->width, p->height});
    if (p->saved) GlobalFree(p->saved);
    p->saved = nullptr;
    p->frameNumber = 0;
    p->lastDisposal = p->lastWidth = p->lastHeight = 0;
    return true;
}

int NextGifFrame(GifPlayer* p) {
    FrameControl c;
    BYTE d[9];
    if (!FindFrame(p, &c, d)) return 0;
    const int frameLeft = Le16(d), frameTop = Le16(d + 2);
    const int frameWidth = Le16(d + 4), frameHeight = Le16(d + 6);
    const int flags = d[8];
    BYTE local[256 * 4] = {0};
    const long localCount = (flags & 0x80) ? 1L << ((flags & 7) + 1) : 0;
    if (localCount && !ReadGifColorTable(&p->source, localCount, local)) return 0;
    BYTE minCodeSize;
    if (!NextByte(&p->source, &minCodeSize)) return 0;
    if (minCodeSize < 2 || minCodeSize > 9) return -1;

    // The frame's indices, whole, then the part of it on the screen.
    if (ImageBlockBytes(frameWidth, frameHeight, 8, 0) == 0 && frameWidth > 0 && frameHeight > 0)
        return -1;
    const uint64_t stride = ImageStride(frameWidth, 8);
    HGLOBAL indices = nullptr;
    BYTE* pixels = nullptr;
    if (frameWidth > 0 && frameHeight > 0) {
        indices =
            GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(stride * uint64_t(frameHeight)));
        if (!indices) return -1;
        pixels = static_cast<BYTE*>(GlobalLock(indices));
    }
    DecodeGifImage(&p->source, minCodeSize, pixels, stride, pixels ? frameWidth : 0,
                   pixels ? frameHeight : 0, (flags & 0x40) != 0);

    DisposeLast(p);
    // The screen starts in the background colour, as the format has it, unless
    // the first frame asks for see-through parts (ImageMagick does the same;
    // browsers always start transparent).
    if (p->frameNumber == 0 && !c.transparent && p->globalCount > 0)
        Fill(p->screen, Area{0, 0, p->width, p->height},
             GifTableColor(p->global, p->globalCount, p->backgroundIndex));
    Area a = {frameLeft, frameTop, 0, 0};
    if (frameLeft < p->width)
        a.width = frameLeft + frameWidth > p->width ? p->width - frameLeft : frameWidth;
    if (frameTop < p->height)
        a.height = frameTop + frameHeight > p->height ? p->height - frameTop : frameHeight;
    if (p->saved) GlobalFree(p->saved);
    p->saved = nullptr;
    if (c.disposal == 3 && a.width > 0 && a.height > 0) {
        p->saved = AllocImageRecord(a.width, a.height, 24, 0);
        if (p->saved) CopyArea(p->screen, p->saved, a, true);
    }
    if (pixels && a.width > 0 && a.height > 0)
        PaintFrame(p, pixels, stride, frameHeight, localCount ? local : p->global,
                   localCount ? localCount : p->globalCount, c, a, frameLeft, frameTop);
    if (indices) {
        GlobalUnlock(indices);
        GlobalFree(indices);
    }
    p->lastDisposal = c.disposal;
    p->lastLeft = a.left;
    p->lastTop = a.top;
    p->lastWidth = a.width;
    p->lastHeight = a.height;
    p->delay = GifShownDelay(c.delay);
    p->frameNumber++;
    return 1;
}

void CloseGifPlayer(GifPlayer* p) {
    if (p->file != HFILE_ERROR) _lclose(p->file);
    delete[] p->buffer;
    if (p->screen) GlobalFree(p->screen);
    if (p->saved) GlobalFree(p->saved);
    *p = GifPlayer{};
    p->file = HFILE_ERROR;
}

int CountGifFrames(const char* path) {
    GifPlayer p;
    if (!OpenGifPlayer(&p, path)) return 0;
    // Frames are found and their data passed over without decoding.
    int count = 0;
    FrameControl c;
    BYTE d[9], minCodeSize;
    while (FindFrame(&p, &c, d)) {
        BYTE local[256 * 4];
        if ((d[8] & 0x80) && !ReadGifColorTable(&p.source, 1L << ((d[8] & 7) + 1), local)) break;
        if (!NextByte(&p.source, &minCodeSize)) break;
        count++;
        if (!SkipGifSubBlocks(&p.source)) break;
    }
    CloseGifPlayer(&p);
    return count;
}

HGLOBAL ComposeGifFrame(const char* path, int number) {
    GifPlayer p;
    if (number < 1 || !OpenGifPlayer(&p, path)) return nullptr;
    while (p.frameNumber < number)
        if (NextGifFrame(&p) != 1) break;
    HGLOBAL frame = nullptr;
    if (p.frameNumber == number) {
        frame = p.screen; // handed over
        p.screen = nullptr;
    }
    CloseGifPlayer(&p);
    return frame;
}

void SuspendGifPlayer(GifPlayer* p) {
    if (p->file == HFILE_ERROR) return;
    const LONG end = _llseek(p->file, 0, FILE_CURRENT);
    p->resumeAt = end < 0 ? -1 : long(end) - long(p->source.fill - p->source.position);
    _lclose(p->file);
    p->file = HFILE_ERROR;
}

bool ResumeGifPlayer(GifPlayer* p, const char* path) {
    if (p->file != HFILE_ERROR) return true;
    if (p->resumeAt < 0) return false;
    p->file = _lopen(path, OF_READ);
    if (p->file == HFILE_ERROR) return false;
    _llseek(p->file, LONG(p->resumeAt), FILE_BEGIN);
    OpenByteReader(&p->source, p->file, p->buffer, GIF_PLAYER_BUFFER);
    return true;
}
