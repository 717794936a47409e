// Byte cursor over the loader's 2048-byte read buffer, shared by the PCX and
// Targa readers. It keeps ReadBufferedByte's position and fill count and
// calls it whenever the buffer runs dry, so refills and the end of the data
// behave exactly as the loader's byte reader; only the bytes already in the
// buffer are taken inline, which keeps the decoders fast.
#pragma once

#include "core/loader.h"

#include <cstring>

struct BufferedBytes {
    HFILE file;
    int position;
    int fill;
};

inline void OpenBufferedBytes(BufferedBytes* source, HFILE file) {
    source->file = file;
    source->position = 0;
    source->fill = 0;
}

// False at the end of the data.
inline bool NextByte(BufferedBytes* source, BYTE* value) {
    if (source->position < source->fill) {
        *value = g_readBuffer[source->position++];
        return true;
    }
    return ReadBufferedByte(source->file, value, &source->position, &source->fill) != 0;
}

// Copies up to count bytes; returns how many the data still held.
inline uint64_t NextBytes(BufferedBytes* source, BYTE* out, uint64_t count) {
    uint64_t done = 0;
    while (done < count) {
        if (source->position >= source->fill) {
            if (!ReadBufferedByte(source->file, out + done, &source->position, &source->fill))
                break;
            done++;
            continue;
        }
        uint64_t ready = uint64_t(source->fill - source->position);
        uint64_t n = count - done < ready ? count - done : ready;
        std::memcpy(out + done, g_readBuffer + source->position, size_t(n));
        source->position += int(n);
        done += n;
    }
    return done;
}

// Passes over count bytes; false when the data ended first.
inline bool SkipBytes(BufferedBytes* source, uint64_t count) {
    BYTE ignored;
    while (count > 0) {
        if (source->position < source->fill) {
            uint64_t ready = uint64_t(source->fill - source->position);
            uint64_t n = count < ready ? count : ready;
            source->position += int(n);
            count -= n;
        } else if (!ReadBufferedByte(source->file, &ignored, &source->position, &source->fill)) {
            return false;
        } else {
            count--;
        }
    }
    return true;
}
