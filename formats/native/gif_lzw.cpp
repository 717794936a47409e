// The LZW decoder of GIF image data: variable-length codes of minimum code
// size + 1 up to 12 bits, least significant bit first, packed in sub-blocks.
#include "formats/native/gif.h"

#include <cstring>

namespace {
const int kMaxCodes = 4096;
const int kMaxCodeSize = 12;
} // namespace

namespace {
// Decodes until the picture is full or the codes end; true when that was
// the end of the data (the terminating size byte read, or the file ended),
// else *blockLeft bytes of the current sub-block are still to come.
bool DecodeCodes(ByteReader* source, int minCodeSize, BYTE* pixels, uint64_t stride, int64_t width,
                 int64_t height, bool interlaced, int* blockLeftOut) {
    if (minCodeSize < 2 || minCodeSize > 9 || width <= 0 || height <= 0) return false;
    // The string of a code is its prefix's string followed by its suffix.
    // Each entry also keeps the string's first index and its length, so
    // that a string is written back to front straight into its place.
    uint16_t prefix[kMaxCodes];
    uint16_t length[kMaxCodes];
    BYTE suffix[kMaxCodes];
    BYTE first[kMaxCodes];
    BYTE spill[kMaxCodes]; // a string that runs past the end of its row
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    for (int c = 0; c < clear; c++) {
        prefix[c] = 0;
        length[c] = 1;
        suffix[c] = first[c] = BYTE(c); // indices above 255 (code size 9) keep their low byte
    }

    // Where the next index goes: row y of the frame (from the top), place x.
    static const int kPassStart[4] = {0, 4, 2, 1};
    static const int kPassStep[4] = {8, 8, 4, 2};
    int pass = 0;
    int64_t y = 0, x = 0;
    BYTE* row = pixels + uint64_t(height - 1) * stride;
    bool full = false; // every row has its pixels
    auto nextRow = [&]() {
        x = 0;
        if (!interlaced) {
            y++;
        } else {
            y += kPassStep[pass];
            while (y >= height && pass < 3) {
                pass++;
                y = kPassStart[pass];
            }
        }
        if (y >= height)
            full = true;
        else
            row = pixels + uint64_t(height - 1 - y) * stride;
    };

    int& blockLeft = *blockLeftOut; // bytes of the current sub-block still to come
    uint32_t bits = 0;
    int bitCount = 0;
    int codeSize = minCodeSize + 1;
    int limit = 1 << codeSize;
    int next = clear + 2;
    int previous = -1; // none since the last clear code

    while (!full) {
        while (bitCount < codeSize) {
            BYTE b;
            if (blockLeft == 0) {
                // A size byte of 0 ends the data.
                if (!NextByte(source, &b) || b == 0) return true;
                blockLeft = b;
            }
            if (!NextByte(source, &b)) return true;
            blockLeft--;
            bits |= uint32_t(b) << bitCount;
            bitCount += 8;
        }
        const int code = int(bits & uint32_t(limit - 1));
        bits >>= codeSize;
        bitCount -= codeSize;

        if (code == clear) {
            codeSize = minCodeSize + 1;
            limit = 1 << codeSize;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) return false;
        if (previous < 0) {
            if (code >= clear) return false; // only a single index may follow a clear code
        } else if (code > next) {
            return false; // a code the table does not hold (a full table holds every code)
        } else if (next < kMaxCodes) {
            // The new entry: the previous string and the first index of this
            // one, which for the code being defined right now (the KwKwK case)
            // is the previous string's own first index. A full table takes no
            // entries until the encoder sends a clear code.
            prefix[next] = uint16_t(previous);
            suffix[next] = code == next ? first[previous] : first[code];
            first[next] = first[previous];
            length[next] = uint16_t(length[previous] + 1);
            next++;
            if (next == limit && codeSize < kMaxCodeSize) {
                codeSize++;
                limit <<= 1;
            }
        }
        previous = code;

        int n = length[code];
        if (width - x >= n) {
            BYTE* out = row + x + n;
            for (int c = code, k = n; k > 0; k--) {
                *--out = suffix[c];
                c = prefix[c];
            }
            x += n;
            if (x == width) nextRow();
            continue;
        }
        BYTE* out = spill + n;
        for (int c = code, k = n; k > 0; k--) {
            *--out = suffix[c];
            c = prefix[c];
        }
        for (const BYTE* in = spill; n > 0 && !full;) {
            int64_t room = width - x;
            int piece = room < n ? int(room) : n;
            std::memcpy(row + x, in, size_t(piece));
            in += piece;
            n -= piece;
            x += piece;
            if (x == width) nextRow();
        }
    }
    return false;
}
} // namespace

void DecodeGifImage(ByteReader* source, int minCodeSize, BYTE* pixels, uint64_t stride,
                    int64_t width, int64_t height, bool interlaced) {
    int blockLeft = 0;
    if (DecodeCodes(source, minCodeSize, pixels, stride, width, height, interlaced, &blockLeft))
        return;
    // Past the rest of the data, so that the block after it can be read.
    if (SkipBytes(source, uint64_t(blockLeft))) SkipGifSubBlocks(source);
}
