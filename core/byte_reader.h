// The native readers' byte reader: an open file read through a buffer, with
// a position, a fill count and a limit on how much of the file it may take.
// The loader lends the PCX and Targa readers one over its 2048-byte read
// buffer; the others make their own. Passed explicitly, never global.
#pragma once

#include "platform/win32.h"

#include <cstring>

const uint64_t NO_READ_LIMIT = ~uint64_t(0);

struct ByteReader {
    HFILE file;
    BYTE* buffer;
    int capacity;   // bytes the buffer holds
    int position;   // next byte in the buffer
    int fill;       // bytes in the buffer
    uint64_t limit; // bytes still to be taken from the file (NO_READ_LIMIT: all)
};

// Starts empty, so that the first read fills the buffer from the file's
// current position.
void OpenByteReader(ByteReader* in, HFILE file, BYTE* buffer, int capacity,
                    uint64_t limit = NO_READ_LIMIT);

// A reader over a new movable block of capacity bytes (returned, for the
// caller to unlock and free), or null after showing "Memory Allocation Error".
HGLOBAL AllocByteReader(ByteReader* in, HFILE file, int capacity, HWND owner);

// Refills the buffer with one _hread of up to its capacity (and the limit)
// and puts the position back to 0; false when the refill reads nothing,
// which is the end of the data.
bool RefillBytes(ByteReader* in);

// One byte; false at the end of the data.
inline bool NextByte(ByteReader* in, BYTE* value) {
    if (in->position == in->fill && !RefillBytes(in)) return false;
    *value = in->buffer[in->position++];
    return true;
}

// NextBytes when the buffer does not hold them all.
uint64_t NextBytesRefilling(ByteReader* in, BYTE* out, uint64_t count);

// Copies up to count bytes into out; returns how many the data still held.
inline uint64_t NextBytes(ByteReader* in, BYTE* out, uint64_t count) {
    if (uint64_t(in->fill - in->position) < count) return NextBytesRefilling(in, out, count);
    std::memcpy(out, in->buffer + in->position, size_t(count));
    in->position += int(count);
    return count;
}

// Passes over count bytes; false when the data ended first.
bool SkipBytes(ByteReader* in, uint64_t count);

// 16- and 32-bit values, little- and big-endian; false when the data ended
// first (the value is then 0).
bool NextLe16(ByteReader* in, uint32_t* value);
bool NextLe32(ByteReader* in, uint32_t* value);
bool NextBe16(ByteReader* in, uint32_t* value);
bool NextBe32(ByteReader* in, uint32_t* value);

// The length of an open file, its position left where it was; -1 when the
// file cannot be seeked.
int64_t FileLength(HFILE file);
