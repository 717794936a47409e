// The BODY byte stream: the bytes as stored, or decoded from ByteRun1, taken
// through the byte reader.
#include "formats/native/iff.h"

#include <cstring>

void OpenIffBodyStream(IffBodyStream* stream, ByteReader* bytes, bool packed) {
    stream->bytes = bytes;
    stream->packed = packed;
    stream->runLeft = 0;
    stream->runRepeats = false;
    stream->runValue = 0;
}

namespace {
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

size_t ReadIffBytes(IffBodyStream* stream, BYTE* out, size_t bytes) {
    ByteReader* s = stream->bytes;
    if (!stream->packed) return size_t(NextBytes(s, out, bytes));
    // The state lives in locals while bytes are stored: stores through out
    // could otherwise alias it and force a reload after every byte.
    const BYTE* buffer = s->buffer;
    int position = s->position, count = s->fill;
    size_t left = size_t(stream->runLeft);
    bool repeats = stream->runRepeats;
    BYTE value = stream->runValue;
    size_t done = 0;
    while (done < bytes) {
        if (left == 0) {
            if (position == count) {
                s->position = position;
                if (!RefillBytes(s)) break;
                position = s->position;
                count = s->fill;
            }
            const BYTE control = buffer[position++];
            if (control == 0x80) continue; // no operation
            if (control < 0x80) {
                left = size_t(control) + 1;
                repeats = false;
            } else {
                if (position == count) {
                    s->position = position;
                    if (!RefillBytes(s)) break;
                    position = s->position;
                    count = s->fill;
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
            size_t got = size_t(NextBytes(s, out + done, piece));
            position = s->position;
            count = s->fill;
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
    s->fill = count;
    stream->runLeft = int(left);
    stream->runRepeats = repeats;
    stream->runValue = value;
    return done;
}
