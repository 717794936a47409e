// Building GIF files for the tests: an LZW encoder with the choices real
// encoders make differently (a leading clear code or none, clear codes at
// any point, a full table kept without clearing), codes packed by hand,
// sub-blocks of any size, and the blocks of the file.
#pragma once

#include "test_util.h"

#include <algorithm>
#include <unordered_map>
#include <string>
#include <vector>

namespace gif {

struct Code {
    int code;
    int size; // bits
};

// Codes in stream order, least significant bit first.
inline Bytes PackCodes(const std::vector<Code>& codes) {
    Bytes out;
    uint32_t bits = 0;
    int count = 0;
    for (const Code& c : codes) {
        bits |= uint32_t(c.code) << count;
        count += c.size;
        while (count >= 8) {
            out.push_back(uint8_t(bits));
            bits >>= 8;
            count -= 8;
        }
    }
    if (count > 0) out.push_back(uint8_t(bits));
    return out;
}

struct LzwOptions {
    bool leadingClear = true;
    bool clearWhenFull = true; // false: go on with the full table, no clear code
    size_t clearEvery = 0;     // a clear code before every n-th index (0: none)
    bool endCode = true;
};

inline int BitLength(int n) {
    int b = 0;
    for (; n; n >>= 1) b++;
    return b;
}

// The codes of a string of indices (each below 2^minCodeSize). Code sizes
// follow the decoder's table, which holds one entry fewer than the
// encoder's while a string is pending.
inline std::vector<Code> Encode(const Bytes& indices, int minCodeSize,
                                const LzwOptions& options = LzwOptions()) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    std::unordered_map<int, int> table; // (code of the string << 9 | index) -> code
    int next = clear + 2;
    int decoderNext = clear + 2;
    bool first = true; // the decoder has had no code since the last clear
    std::vector<Code> out;
    auto emit = [&](int code) {
        out.push_back({code, std::min(12, BitLength(decoderNext))});
        if (code == clear) {
            decoderNext = clear + 2;
            first = true;
        } else if (code != end) {
            if (!first && decoderNext < 4096) decoderNext++;
            first = false;
        }
    };
    auto restart = [&]() {
        emit(clear);
        table.clear();
        next = clear + 2;
    };
    if (options.leadingClear) emit(clear);
    int pending = -1;
    for (size_t i = 0; i < indices.size(); i++) {
        const int k = indices[i];
        const bool clearHere = options.clearEvery && i > 0 && i % options.clearEvery == 0;
        if (pending >= 0 && !clearHere) {
            auto found = table.find(pending << 9 | k);
            if (found != table.end()) {
                pending = found->second;
                continue;
            }
        }
        if (pending >= 0) {
            emit(pending);
            if (next < 4096) table[pending << 9 | k] = next++;
            if (clearHere || (next == 4096 && options.clearWhenFull)) restart();
        }
        pending = k;
    }
    if (pending >= 0) emit(pending);
    if (options.endCode) emit(end);
    return out;
}

// Data in sub-blocks of blockSize bytes (the last may be shorter), then
// the terminator unless told otherwise.
inline Bytes SubBlocks(const Bytes& data, size_t blockSize = 255, bool terminator = true) {
    Bytes out;
    for (size_t at = 0; at < data.size(); at += blockSize) {
        size_t n = std::min(blockSize, data.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), data.begin() + long(at), data.begin() + long(at + n));
    }
    if (terminator) out.push_back(0);
    return out;
}

inline Bytes ImageData(const Bytes& indices, int minCodeSize,
                       const LzwOptions& options = LzwOptions(), size_t blockSize = 255) {
    return SubBlocks(PackCodes(Encode(indices, minCodeSize, options)), blockSize);
}

// Rows of a frame (top first) in the order an interlaced file stores them.
inline Bytes InterlacedOrder(const Bytes& pixels, int width, int height) {
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    Bytes out;
    for (int pass = 0; pass < 4; pass++)
        for (int y = kStart[pass]; y < height; y += kStep[pass])
            out.insert(out.end(), pixels.begin() + long(y) * width,
                       pixels.begin() + long(y + 1) * width);
    return out;
}

// The bits of the flags for a table of n entries (n a power of two, 2 to 256).
inline int TableBits(size_t n) {
    int bits = 0;
    while ((size_t(2) << bits) < n) bits++;
    return bits;
}

inline void Put16le(Bytes& out, int v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

inline void PutTable(Bytes& out, const std::vector<uint32_t>& rgb) {
    for (uint32_t c : rgb) {
        out.push_back(uint8_t(c >> 16));
        out.push_back(uint8_t(c >> 8));
        out.push_back(uint8_t(c));
    }
}

// A graphic control extension.
inline Bytes GraphicControl(int flags, int delay, int transparentIndex) {
    return {0x21,
            0xF9,
            4,
            uint8_t(flags),
            uint8_t(delay),
            uint8_t(delay >> 8),
            uint8_t(transparentIndex),
            0};
}

// A file of one frame, everything but the frame's data chosen by the test.
struct File {
    std::string signature = "GIF89a";
    int screenWidth = -1, screenHeight = -1; // -1: the frame's size
    int screenFlags = -1;                    // -1: a global table of global.size() entries
    int background = 0;
    std::vector<uint32_t> global = {0x000000, 0xFFFFFF};
    Bytes beforeFrame; // extensions and other blocks
    int left = 0, top = 0, width = 1, height = 1;
    int frameFlags = -1; // -1: from the local table and interlaced
    bool interlaced = false;
    std::vector<uint32_t> local;
    int minCodeSize = 2;
    Bytes data; // the image data sub-blocks, terminator included
    Bytes afterFrame = {0x3B};
};

inline Bytes Build(const File& f) {
    Bytes out(f.signature.begin(), f.signature.end());
    Put16le(out, f.screenWidth >= 0 ? f.screenWidth : f.width);
    Put16le(out, f.screenHeight >= 0 ? f.screenHeight : f.height);
    int flags = f.screenFlags;
    if (flags < 0) flags = f.global.empty() ? 0 : 0x80 | TableBits(f.global.size());
    out.push_back(uint8_t(flags));
    out.push_back(uint8_t(f.background));
    out.push_back(0);
    PutTable(out, f.global);
    out.insert(out.end(), f.beforeFrame.begin(), f.beforeFrame.end());
    out.push_back(0x2C);
    Put16le(out, f.left);
    Put16le(out, f.top);
    Put16le(out, f.width);
    Put16le(out, f.height);
    int frameFlags = f.frameFlags;
    if (frameFlags < 0)
        frameFlags =
            (f.local.empty() ? 0 : 0x80 | TableBits(f.local.size())) | (f.interlaced ? 0x40 : 0);
    out.push_back(uint8_t(frameFlags));
    PutTable(out, f.local);
    out.push_back(uint8_t(f.minCodeSize));
    out.insert(out.end(), f.data.begin(), f.data.end());
    out.insert(out.end(), f.afterFrame.begin(), f.afterFrame.end());
    return out;
}

} // namespace gif
