#include "core/byte_reader.h"

#include "core/byte_order.h"
#include "core/text.h"

void OpenByteReader(ByteReader* in, HFILE file, BYTE* buffer, int capacity, uint64_t limit) {
    in->file = file;
    in->buffer = buffer;
    in->capacity = capacity;
    in->position = 0;
    in->fill = 0;
    in->limit = limit;
}

HGLOBAL AllocByteReader(ByteReader* in, HFILE file, int capacity, HWND owner) {
    OpenByteReader(in, file, nullptr, capacity);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(capacity));
    if (!block) {
        ReportError(owner, "Memory Allocation Error");
        return nullptr;
    }
    in->buffer = static_cast<BYTE*>(GlobalLock(block));
    return block;
}

bool RefillBytes(ByteReader* in) {
    in->position = 0;
    in->fill = 0;
    if (in->limit == 0) return false;
    long want = in->limit < uint64_t(in->capacity) ? long(in->limit) : long(in->capacity);
    long got = _hread(in->file, in->buffer, want);
    if (got <= 0) {
        // A limited stream ends here for good; an unlimited one asks the file again.
        if (in->limit != NO_READ_LIMIT) in->limit = 0;
        return false;
    }
    in->fill = int(got);
    if (in->limit != NO_READ_LIMIT) in->limit -= uint64_t(got);
    return true;
}

uint64_t NextBytesRefilling(ByteReader* in, BYTE* out, uint64_t count) {
    uint64_t done = 0;
    while (done < count) {
        if (in->position == in->fill && !RefillBytes(in)) break;
        uint64_t ready = uint64_t(in->fill - in->position);
        uint64_t n = count - done < ready ? count - done : ready;
        std::memcpy(out + done, in->buffer + in->position, size_t(n));
        in->position += int(n);
        done += n;
    }
    return done;
}

bool SkipBytes(ByteReader* in, uint64_t count) {
    while (count > 0) {
        if (in->position == in->fill && !RefillBytes(in)) return false;
        uint64_t ready = uint64_t(in->fill - in->position);
        uint64_t n = count < ready ? count : ready;
        in->position += int(n);
        count -= n;
    }
    return true;
}

namespace {
bool NextValue(ByteReader* in, int bytes, uint32_t (*decode)(const BYTE*), uint32_t* value) {
    BYTE b[4] = {0, 0, 0, 0};
    bool whole = NextBytes(in, b, uint64_t(bytes)) == uint64_t(bytes);
    *value = whole ? decode(b) : 0;
    return whole;
}
uint32_t Le16Value(const BYTE* p) {
    return Le16(p);
}
uint32_t Be16Value(const BYTE* p) {
    return Be16(p);
}
} // namespace

bool NextLe16(ByteReader* in, uint32_t* value) {
    return NextValue(in, 2, Le16Value, value);
}
bool NextLe32(ByteReader* in, uint32_t* value) {
    return NextValue(in, 4, Le32, value);
}
bool NextBe16(ByteReader* in, uint32_t* value) {
    return NextValue(in, 2, Be16Value, value);
}
bool NextBe32(ByteReader* in, uint32_t* value) {
    return NextValue(in, 4, Be32, value);
}

int64_t FileLength(HFILE file) {
    LONG here = _llseek(file, 0, FILE_CURRENT);
    LONG end = _llseek(file, 0, FILE_END);
    _llseek(file, here, FILE_BEGIN);
    return end < 0 ? -1 : int64_t(end);
}
