// Buffered output for the PCX and Targa writers: bytes gather in a memory
// block and go to the stream in large pieces. Any failed write is remembered,
// so a writer checks once, at the close, whether the whole file was written.
#pragma once

#include "platform/win32.h"

#include <cstdio>

struct WriteBuffer {
    FILE* file;
    HGLOBAL block;
    BYTE* data;
    uint64_t size;
    uint64_t used;
    bool failed;
};

// Takes over the stream (closed by CloseWriteBuffer whatever happens) with a
// block of at least atLeast bytes (the largest piece the writer reserves),
// no larger than the whole file needs (wholeFile, the most the writer can
// write) unless atLeast is larger, and otherwise up to 1 MiB: a small
// picture does not pay for a large block. False when the block cannot be
// allocated.
bool OpenWriteBuffer(WriteBuffer* out, FILE* file, uint64_t atLeast, uint64_t wholeFile);

// Room for count bytes (at most the block size), flushing first when needed;
// null after a failure. CommitBytes then counts the bytes used of it.
BYTE* ReserveBytes(WriteBuffer* out, uint64_t count);
void CommitBytes(WriteBuffer* out, uint64_t count);

bool PutBytes(WriteBuffer* out, const BYTE* data, uint64_t count);

// Writes what is pending (when flush is true: the writer got this far without
// a failure), frees the block and closes the stream; true when flush was true
// and every write and the close succeeded.
bool CloseWriteBuffer(WriteBuffer* out, bool flush);
