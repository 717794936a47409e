// The BODY byte stream: the bytes as stored, or decoded from ByteRun1.
#include "formats/native/iff.h"

#include <cstring>

void OpenIffSource(IffSource* source, HFILE file, BYTE* buffer, int capacity, uint64_t length,
                   bool packed) {
    source->file = file;
    source->buffer = buffer;
    source->capacity = capacity;
    source->position = source->count = 0;
    source->unread = length;
    source->packed = packed;
    source->runLeft = 0;
    source->runRepeats = false;
    source->runValue = 0;
}

namespace {
// Refills the buffer from the chunk; false at its end or the file's.
bool Refill(IffSource* s) {
    s->position = s->count = 0;
    if (s->unread == 0) return false;
    long want = long(s->unread < uint64_t(s->capacity) ? s->unread : uint64_t(s->capacity));
    long got = _hread(s->file, s->buffer, want);
    if (got <= 0) {
        s->unread = 0;
        return false;
    }
    s->count = int(got);
    s->unread -= uint64_t(got);
    return true;
}

// Copies up to bytes stored bytes; returns how many.
size_t CopyStored(IffSource* s, BYTE* out, size_t bytes) {
    size_t done = 0;
    while (done < bytes) {
        if (s->position == s->count && !Refill(s)) break;
        size_t piece = size_t(s->count - s->position);
        if (piece > bytes - done) piece = bytes - done;
        std::memcpy(out + done, s->buffer + s->position, piece);
        s->position += int(piece);
        done += piece;
    }
    return done;
}

// Packets are short in real pictures: small pieces are moved inline rather
// than through a library call.
inline void CopySmall(BYTE* out, const BYTE* in, size_t n) {
    if (n >= 8 && n <= 16) {
        // Two fixed-size copies that overlap in the middle.
        std::memcpy(out, in, 8);
        std::memcpy(out + n - 8, in + n - 8, 8);
    } else if (n < 8) {
        size_t at = 0;
        if (n & 4) std::memcpy(out, in, 4), at = 4;
        if (n & 2) std::memcpy(out + at, in + at, 2), at += 2;
        if (n & 1) out[at] = in[at];
    } else {
        std::memcpy(out, in, n);
    }
}
inline void FillSmall(BYTE* out, BYTE v, size_t n) {
    if (n <= 16) {
        BYTE pattern[16];
        std::memset(pattern, v, sizeof pattern);
        CopySmall(out, pattern, n);
    } else {
        std::memset(out, v, n);
    }
}
} // namespace

size_t ReadIffBytes(IffSource* s, BYTE* out, size_t bytes) {
    if (!s->packed) return CopyStored(s, out, bytes);
    // The state lives in locals while bytes are stored: stores through out
    // could otherwise alias it and force a reload after every byte.
    const BYTE* buffer = s->buffer;
    int position = s->position, count = s->count;
    size_t left = size_t(s->runLeft);
    bool repeats = s->runRepeats;
    BYTE value = s->runValue;
    size_t done = 0;
    while (done < bytes) {
        if (left == 0) {
            if (position == count) {
                s->position = position;
                if (!Refill(s)) break;
                position = s->position;
                count = s->count;
            }
            const BYTE control = buffer[position++];
            if (control == 0x80) continue; // no operation
            if (control < 0x80) {
                left = size_t(control) + 1;
                repeats = false;
            } else {
                if (position == count) {
                    s->position = position;
                    if (!Refill(s)) break;
                    position = s->position;
                    count = s->count;
                }
                value = buffer[position++];
                left = size_t(257 - control);
                repeats = true;
            }
        }
        size_t piece = left < bytes - done ? left : bytes - done;
        if (repeats) {
            FillSmall(out + done, value, piece);
        } else if (size_t(count - position) >= piece) {
            CopySmall(out + done, buffer + position, piece);
            position += int(piece);
        } else {
            s->position = position;
            size_t got = CopyStored(s, out + done, piece);
            position = s->position;
            count = s->count;
            if (got < piece) {
                done += got;
                left = 0;
                break;
            }
        }
        left -= piece;
        done += piece;
    }
    s->position = position;
    s->count = count;
    s->runLeft = int(left);
    s->runRepeats = repeats;
    s->runValue = value;
    return done;
}
