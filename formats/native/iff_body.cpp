// BODY rows to record rows for every layout the reader takes.
#include "formats/native/iff.h"

#include <cstring>

namespace {
// Bytes of one plane row: width bits rounded up to a whole number of 16-bit words.
uint64_t PlaneRowBytes(int64_t width) {
    return (uint64_t(width) + 15) / 16 * 2;
}

// Plane rows read for each picture row, the mask plane row included.
int RowsPerLine(const IffBody* body) {
    return (body->layout == IFF_ONE_PLANE ? 1 : body->planes) + (body->maskPlane ? 1 : 0);
}

// Reads bytes of the stream into out; what the stream no longer holds is zero.
bool ReadRow(IffBodyStream* source, BYTE* out, size_t bytes) {
    size_t got = ReadIffBytes(source, out, bytes);
    if (got == bytes) return true;
    std::memset(out + got, 0, bytes - got);
    return false;
}
} // namespace

uint64_t IffWorkBytes(const IffBody* body) {
    const uint64_t rowBytes = PlaneRowBytes(body->width);
    switch (body->layout) {
    case IFF_ONE_PLANE:
    case IFF_PLANES:
    case IFF_HAM:
        return uint64_t(RowsPerLine(body)) * rowBytes + 8 * rowBytes;
    case IFF_PLANES24:
        return uint64_t(RowsPerLine(body)) * rowBytes + 3 * 8 * rowBytes;
    default:
        return 0;
    }
}

void DecodeIffBody(IffBodyStream* source, const IffBody* body, BYTE* pixels, uint64_t stride,
                   BYTE* work) {
    const int64_t width = body->width;
    const size_t rowBytes = size_t(PlaneRowBytes(width));
    const size_t lineBytes = size_t(RowsPerLine(body)) * rowBytes;
    BYTE* planes = work;
    BYTE* values = work + lineBytes; // 8 x rowBytes values per component
    const size_t valueBytes = 8 * rowBytes;
    bool more = true;
    for (int64_t y = 0; y < body->height && more; y++) {
        BYTE* row = pixels + uint64_t(body->height - 1 - y) * stride;
        switch (body->layout) {
        case IFF_ONE_PLANE:
            more = ReadRow(source, planes, lineBytes);
            std::memcpy(row, planes, size_t((width + 7) / 8));
            break;
        case IFF_PLANES:
            more = ReadRow(source, planes, lineBytes);
            GatherPlanes(planes, rowBytes, body->planes, values);
            std::memcpy(row, values, size_t(width));
            break;
        case IFF_PLANES24:
            more = ReadRow(source, planes, lineBytes);
            for (int c = 0; c < 3; c++)
                GatherPlanes(planes + 8 * c * rowBytes, rowBytes, 8, values + c * valueBytes);
            for (int64_t x = 0; x < width; x++) {
                row[3 * x] = values[2 * valueBytes + size_t(x)];
                row[3 * x + 1] = values[valueBytes + size_t(x)];
                row[3 * x + 2] = values[size_t(x)];
            }
            break;
        case IFF_HAM:
            more = ReadRow(source, planes, lineBytes);
            GatherPlanes(planes, rowBytes, body->planes, values);
            HamDecodeRow(values, width, body->planes, body->table, row);
            break;
        case IFF_CHUNKY8:
            // Width rounded up to even fits the record's stride (width rounded up to 4).
            more = ReadIffBytes(source, row, size_t(width + (width & 1))) ==
                   size_t(width + (width & 1));
            if (width & 1) row[width] = 0; // the pad byte is not a pixel
            break;
        case IFF_CHUNKY24: {
            // 3 x width, plus one when odd, fits the stride (3 x width rounded up to 4).
            const size_t bytes = size_t(3 * width + (width & 1));
            more = ReadIffBytes(source, row, bytes) == bytes;
            for (int64_t x = 0; x < width; x++) {
                BYTE red = row[3 * x];
                row[3 * x] = row[3 * x + 2];
                row[3 * x + 2] = red;
            }
            if (width & 1) row[3 * width] = 0; // the pad byte is not a pixel
            break;
        }
        case IFF_NO_ROWS:
            return;
        }
    }
}
