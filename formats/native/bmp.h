// Windows and OS/2 bitmaps: the three readers, their shared decoders, and the writers.
#pragma once

#include "core/byte_reader.h"
#include "core/format_table.h"
#include "platform/win32.h"

#include <cstdio>

ReaderResult ReadWindowsBitmap(HFILE file, HWND owner, char* text);
ReaderResult ReadOs2Bitmap(HFILE file, HWND owner, char* text);
ReaderResult ReadOs2v2Bitmap(HFILE file, HWND owner, char* text);

// The bitmap decoders read through a byte reader over a block of this size.
const int BITMAP_READ_BUFFER = 2048;

// Run-length expanders: decode from the file's position into a zero-filled
// pixel area of rows x stride bytes. Pixels that would land past the end of a
// row or of the area are dropped. False after "Memory Allocation Error" for
// the read buffer, with the area left as it was.
enum RunLengthKind { RLE_8, RLE_4, RLE_24 };
bool ExpandRunLength(RunLengthKind kind, BYTE* pixels, uint64_t stride, int64_t rows, HFILE file,
                     HWND owner);

// One-dimensional Modified Huffman (ITU-T T.4) over a bit reader.
struct BitSource {
    ByteReader bytes;
    int bitPosition; // 0 to 8; 8 means the next bit needs a new byte
    BYTE current;
    int bitOrder; // 1: most significant bit first
};
const int RUN_END_OF_LINE = -1;
const int RUN_INVALID = -2;
int ReadBit(BitSource* bits);
int DecodeWhiteRun(BitSource* bits);
int DecodeBlackRun(BitSource* bits);
// Decodes rows x width 1-bit pixels (black runs set bits) into zero-filled rows.
void DecodeHuffmanRows(BitSource* bits, BYTE* pixels, uint64_t stride, int64_t width, int64_t rows);

// Bit-field pixels to the record's layouts.
void Convert565To555(BYTE* row, int64_t width);
// 10-10-10 components are taken unscaled when every one fits 8 bits (as the
// bitmap writer stores them), and scaled down by 4 when any does not.
void Convert101010To888(BYTE* pixels, uint64_t stride, int64_t width, int64_t rows);

// Masks outside the four named layouts (red, green, blue): accepted when each
// mask's set bits are contiguous (a zero mask gives a channel of 0), no two
// overlap, not all are zero, and for 16-bit pixels all lie in the low 16 bits.
struct BitFieldChannel {
    int shift, width;
};
bool DescribeBitFields(int bits, const uint32_t masks[3], BitFieldChannel channels[3]);
// Converts 16-bit pixels to 5-5-5 words and 32-bit pixels to blue, green,
// red, 0 in place, each channel through its top 8 bits.
void ConvertBitFields(BYTE* pixels, uint64_t stride, int64_t width, int64_t rows, int bits,
                      const BitFieldChannel channels[3]);

// Writers. Each returns WRITE_OK, or WRITE_FAILED with no message: for a
// bit count the form does not take, a picture the header's 32-bit fields cannot
// describe, a file that cannot be created, or any write or close that fails.
WriteResult WriteBitmapUncompressed(HGLOBAL image, HANDLE file);
// BI_RLE8 from 8-bit records, BI_RLE4 from 4-bit ones.
WriteResult WriteBitmapRunLength(HGLOBAL image, const char* path);
// BI_BITFIELDS from 16-bit records (layout 0: 5-5-5, 1: 5-6-5) and 32-bit ones
// (layout 0: 8-8-8, 1: 10-10-10 holding each 8-bit component unscaled).
WriteResult WriteBitmapBitfields(HGLOBAL image, const char* path, int layout);

// The 14-byte file header ("BM", file size, pixel-data offset) and the record's
// 40-byte information header with the compression and image-size fields given:
// the first 54 bytes of every file the writers make.
void PutBitmapHeaders(BYTE* out, const BITMAPINFOHEADER* info, uint32_t fileSize,
                      uint32_t dataOffset, uint32_t compression, uint32_t sizeImage);

// Encodes one row of a 4-bit (compression BI_RLE4) or 8-bit (BI_RLE8) record,
// end-of-line escape included, into out, or only counts when out is null;
// returns the byte count. out must hold BitmapRowBound(width, compression) bytes.
uint64_t EncodeBitmapRow(const BYTE* row, int64_t width, int compression, BYTE* out);
uint64_t BitmapRowBound(int64_t width, int compression);
