// IFF pictures: the reader of ILBM (bit planes, hold-and-modify, extra-halfbrite)
// and PBM (chunky) forms, the ILBM writer, and the pieces they share.
#pragma once

#include "core/byte_reader.h"
#include "core/format_table.h"
#include "platform/win32.h"

// Reads a "FORM" file into a new Image record, or no picture after saying why.
// The file is left open; the messages have no owner window.
ReaderResult ReadIffPicture(HFILE file, HWND owner, char* text);

// Writes the record as an ILBM file at path: packer 1 codes the rows with
// ByteRun1, ham 1 writes a six-plane hold-and-modify picture. WRITE_OK, or
// WRITE_FAILED on any failure (no message).
WriteResult WriteIffPicture(HGLOBAL image, const char* path, int packer, int ham);

// The BODY byte stream: the chunk's bytes as they are, or decoded from
// ByteRun1, taken through a byte reader limited to the chunk.
struct IffBodyStream {
    ByteReader* bytes;
    bool packed;
    int runLeft;     // bytes of the current ByteRun1 packet still to give
    bool runRepeats; // the packet repeats runValue; otherwise it copies
    BYTE runValue;
};
void OpenIffBodyStream(IffBodyStream* stream, ByteReader* bytes, bool packed);
// Gives the next bytes of the stream; returns how many, fewer than asked
// only when the stream has ended. A packet may run on from one call into the next.
size_t ReadIffBytes(IffBodyStream* stream, BYTE* out, size_t bytes);

// Packs one row with ByteRun1, merging a run of two into the literal before it
// when a literal follows. work holds 2 x length + 1 bytes; returns the bytes used.
size_t PackByteRun1(const BYTE* row, size_t length, BYTE* work);

// Bit planes <-> one byte per pixel. A plane row is rowBytes bytes, leftmost
// pixel in the most significant bit; bit k of a value belongs to plane k.
// GatherPlanes writes 8 x rowBytes values from count consecutive plane rows;
// ScatterPlanes writes count plane rows from width values (unused bits zero).
void GatherPlanes(const BYTE* planes, size_t rowBytes, int count, BYTE* values);
void ScatterPlanes(const BYTE* values, int64_t width, int count, BYTE* planes, size_t rowBytes);

// Hold-and-modify. HamDecodeRow turns width values of a six- or eight-plane
// row into blue, green, red pixels, holding colour-table entry 0 at the start.
// HamEncodeRow gives the six-plane code of each pixel of a row of red, green,
// blue triplets, for the sixteen-grey colour table the writer stores.
void HamDecodeRow(const BYTE* values, int64_t width, int planes, const RGBQUAD* table, BYTE* bgr);
void HamEncodeRow(const BYTE* rgb, int64_t width, BYTE* codes);

// How the rows of a BODY become the record's rows.
enum IffLayout {
    IFF_ONE_PLANE, // one plane row per row, kept as it is (1-bit record)
    IFF_PLANES,    // 2 to 8 planes to one colour index per pixel (8-bit record)
    IFF_PLANES24,  // 8 planes each of red, green, blue (24-bit record)
    IFF_HAM,       // 6 or 8 hold-and-modify planes (24-bit record)
    IFF_CHUNKY8,   // PBM: one byte per pixel (8-bit record)
    IFF_CHUNKY24,  // PBM: red, green, blue per pixel (24-bit record)
    IFF_NO_ROWS,   // nothing to decode: the rows stay black
};
struct IffBody {
    IffLayout layout;
    int64_t width, height; // as the BMHD gives them (at most 65535)
    int planes;
    bool maskPlane;       // a mask plane row follows each row's planes
    const RGBQUAD* table; // 256 entries, for hold-and-modify
};
// Bytes of work space DecodeIffBody needs besides the source's buffer.
uint64_t IffWorkBytes(const IffBody* body);
// Decodes the rows, top row first, into a zero-filled record area of height x
// stride bytes (bottom row first). Stops where the stream ends.
void DecodeIffBody(IffBodyStream* source, const IffBody* body, BYTE* pixels, uint64_t stride,
                   BYTE* work);
