// Small Windows and enhanced metafiles built byte by byte, for the tests of
// reading and describing them.
#pragma once

#include "unit/test_util.h"

// A Windows metafile: the 18-byte header (sizeInWords as given, or the real
// size when 0) and the end record, 12 words in all.
inline Bytes WindowsMetafile(uint32_t sizeInWords = 0) {
    Bytes b;
    Put16(b, 1);     // in memory
    Put16(b, 9);     // header size in words
    Put16(b, 0x300); // version
    Put32(b, sizeInWords ? sizeInWords : 12);
    Put16(b, 0); // objects
    Put32(b, 3); // largest record in words
    Put16(b, 0); // parameters
    Put32(b, 3); // the end record: 3 words, function 0
    Put16(b, 0);
    return b;
}

// The 22-byte placeable header with its bounding box and units per inch.
inline Bytes PlaceableHeader(int16_t left, int16_t top, int16_t right, int16_t bottom,
                             uint16_t unitsPerInch) {
    Bytes b;
    Put32(b, 0x9AC6CDD7);
    Put16(b, 0);
    Put16(b, uint16_t(left));
    Put16(b, uint16_t(top));
    Put16(b, uint16_t(right));
    Put16(b, uint16_t(bottom));
    Put16(b, unitsPerInch);
    Put32(b, 0);
    Put16(b, 0); // checksum, not checked
    return b;
}

inline Bytes Joined(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// An enhanced metafile of two records: the 88-byte header with its bounds,
// and the end record holding the palette (0x00RRGGBB values).
inline Bytes EnhancedMetafile(int32_t left, int32_t top, int32_t right, int32_t bottom,
                              const std::vector<uint32_t>& palette = {}) {
    const uint32_t eofSize = 20 + 4 * uint32_t(palette.size());
    Bytes b;
    Put32(b, 1);  // EMR_HEADER
    Put32(b, 88); // its size
    for (int32_t v : {left, top, right, bottom}) Put32(b, uint32_t(v));
    for (int32_t v : {0, 0, 2540, 1270}) Put32(b, uint32_t(v)); // frame, .01 mm
    Put32(b, 0x464D4520);                                       // " EMF"
    Put32(b, 0x10000);                                          // version
    Put32(b, 88 + eofSize);                                     // bytes
    Put32(b, 2);                                                // records
    Put16(b, 1);                                                // handles
    Put16(b, 0);
    Put32(b, 0); // description
    Put32(b, 0);
    Put32(b, uint32_t(palette.size()));
    for (int32_t v : {1024, 768, 320, 240}) Put32(b, uint32_t(v)); // device, millimetres
    Put32(b, 14);                                                  // EMR_EOF
    Put32(b, eofSize);
    Put32(b, uint32_t(palette.size()));
    Put32(b, 16);
    for (uint32_t c : palette) Put32(b, (c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16);
    Put32(b, eofSize);
    return b;
}
