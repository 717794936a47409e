// The animated icon and cursor reader: a search through the RIFF file for the
// chunk identifiers ("anih", "rate", "seq ", "icon"; list and text chunks are
// passed over), then one call of the icon reader per embedded icon file.
#include "formats/native/icon.h"

#include "core/byte_order.h"
#include "core/text.h"

#include <cstring>

namespace {
// Files larger than this are not taken as animations: the search works on
// the whole file in memory.
const int64_t kMaxAnimatedFile = int64_t(64) << 20;
// The smallest icon file: a header and one directory entry.
const int64_t kMinIconBytes = 6 + 16;

// Byte by byte: the chunk search asks at every position of the file.
bool Is(const BYTE* id, const char* name) {
    return id[0] == BYTE(name[0]) && id[1] == BYTE(name[1]) && id[2] == BYTE(name[2]) &&
           id[3] == BYTE(name[3]);
}

struct Tables {
    HGLOBAL sequence, frames;
    int icons, steps;
};

void FreeTables(Tables* t) {
    if (t->sequence) GlobalFree(t->sequence);
    if (t->frames) GlobalFree(t->frames);
    t->sequence = t->frames = nullptr;
}

// "anih": the counts, checked against what the file could hold, and the
// tables with the order and rate used until "rate" and "seq " say otherwise.
bool TakeHeader(const BYTE* data, int64_t length, int64_t* pos, Tables* t) {
    if (*pos + 40 > length) return false; // size, then the 36-byte header
    const uint32_t icons = Le32(data + *pos + 8);
    const uint32_t steps = Le32(data + *pos + 12);
    *pos += 8 + 8 + 24;
    // Every icon needs an icon file of its own and every step a few bytes of
    // the file; counts that the file cannot hold are not allocated from.
    if (icons == 0 || steps == 0 || int64_t(icons) > length / kMinIconBytes ||
        int64_t(steps) > length / 4)
        return false;
    FreeTables(t); // a second header replaces the first
    t->sequence = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(8) * steps);
    t->frames = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(sizeof(HGLOBAL)) * icons);
    if (!t->sequence || !t->frames) return false;
    t->icons = int(icons);
    t->steps = int(steps);
    CursorStep* s = static_cast<CursorStep*>(GlobalLock(t->sequence));
    for (int k = 0; k < t->steps; k++) s[k] = {k, 10};
    GlobalUnlock(t->sequence);
    return true;
}

// "rate" or "seq ": one 4-byte value per step after the chunk size.
bool TakeSteps(const BYTE* data, int64_t length, int64_t* pos, Tables* t, bool rates) {
    *pos += 4;
    if (*pos + 4 * int64_t(t->steps) > length) return false;
    CursorStep* s = static_cast<CursorStep*>(GlobalLock(t->sequence));
    for (int k = 0; k < t->steps; k++) {
        const uint32_t value = Le32(data + *pos + 4 * k);
        if (rates)
            s[k].rate = value;
        else
            s[k].frame = int32_t(value);
    }
    GlobalUnlock(t->sequence);
    *pos += 4 * int64_t(t->steps);
    return true;
}

// Searches from pos for the first "icon" chunk after "anih"; its icon file
// starts behind the chunk size. -1 when the file ends first or a chunk fails.
int64_t FindIcons(const BYTE* data, int64_t length, Tables* t) {
    int64_t pos = 8;
    bool header = false;
    for (;;) {
        if (pos + 4 > length) return -1;
        const BYTE* id = data + pos;
        pos += 4;
        if (Is(id, "ACON") || Is(id, "fram") || Is(id, "INFO")) continue;
        if (Is(id, "LIST") || Is(id, "INAM") || Is(id, "IART")) {
            pos += 4;
        } else if (Is(id, "anih")) {
            if (!TakeHeader(data, length, &pos, t)) return -1;
            header = true;
        } else if (header && Is(id, "rate")) {
            if (!TakeSteps(data, length, &pos, t, true)) return -1;
        } else if (header && std::memcmp(id, "seq", 3) == 0) {
            if (!TakeSteps(data, length, &pos, t, false)) return -1;
        } else if (header && Is(id, "icon")) {
            return pos + 4;
        } else {
            pos -= 3; // slide forward by one byte
        }
    }
}

// The start of the icon file of the next "icon" chunk at or after from, or -1.
int64_t NextIcon(const BYTE* data, int64_t length, int64_t from) {
    for (int64_t pos = from; pos + 8 <= length; pos++)
        if (Is(data + pos, "icon")) return pos + 8;
    return -1;
}
} // namespace

LoadOutcome ReadAnimatedCursor(HWND owner, HFILE file, char* text, int* frameCount,
                               int* sequenceLength, HGLOBAL* sequenceTable, HGLOBAL* frameTable) {
    const LONG length = _llseek(file, 0, FILE_END);
    if (length < 12 || length > kMaxAnimatedFile || _llseek(file, 0, FILE_BEGIN) != 0)
        return LOAD_NONE_SILENT;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(length));
    if (!block) return LOAD_NONE_SILENT;
    BYTE* data = static_cast<BYTE*>(GlobalLock(block));
    Tables t = {};
    int64_t start = -1;
    if (_hread(file, data, length) == length) start = FindIcons(data, length, &t);
    if (start < 0) {
        FreeTables(&t);
        GlobalUnlock(block);
        GlobalFree(block);
        return LOAD_NONE_SILENT;
    }
    HGLOBAL* frames = static_cast<HGLOBAL*>(GlobalLock(t.frames));
    bool reported = false;
    for (int i = 1; i <= t.icons && start >= 0; i++) {
        int entries = 0;
        ReaderResult icon = ReadIcon(owner, text, file, &entries, 1, long(start), i);
        frames[i - 1] = icon.image;
        if (icon.outcome != LOAD_PICTURE) reported = true;
        if (!frames[i - 1]) break;
        if (i == t.icons) break;
        // The next icon file follows the data just read (whatever padding
        // lies between, odd or even).
        const LONG at = _llseek(file, 0, FILE_CURRENT);
        start = at < start ? -1 : NextIcon(data, length, at);
    }
    GlobalUnlock(t.frames);
    GlobalUnlock(block);
    GlobalFree(block);
    InfoAppend(text, "number of icons: %ld \nnumber of frames: %ld \n", long(t.icons),
               long(t.steps));
    *frameCount = t.icons;
    *sequenceLength = t.steps;
    *sequenceTable = t.sequence;
    *frameTable = t.frames;
    return reported ? LOAD_PICTURE_REPORTED : LOAD_PICTURE;
}
