// Windows and OS/2 bitmaps: the three readers, their shared decoders, and the writers.
#pragma once

#include "platform/win32.h"

#include <cstdio>

HGLOBAL ReadWindowsBitmap(HFILE file, HWND owner, char* text);
HGLOBAL ReadOs2Bitmap(HFILE file, HWND owner, char* text);
HGLOBAL ReadOs2v2Bitmap(HFILE file, HWND owner, char* text);

// A 2048-byte read buffer over the file, refilled as it empties.
struct ByteSource {
    HFILE file;
    BYTE* buffer;
    int position;
    int count;
};
const int BYTE_SOURCE_SIZE = 2048;

// Allocates the source's buffer (a movable block, returned for freeing), or
// returns null after showing "Memory Allocation Error".
HGLOBAL OpenByteSource(ByteSource* source, HFILE file, HWND owner);
bool ReadSourceByte(ByteSource* source, BYTE* value);

// Run-length expanders: decode from the file's position into a zero-filled
// pixel area of rows x stride bytes. Pixels that would land past the end of a
// row or of the area are dropped.
enum RunLengthKind { RLE_8, RLE_4, RLE_24 };
void ExpandRunLength(RunLengthKind kind, BYTE* pixels, uint64_t stride, int64_t rows, HFILE file,
                     HWND owner);

// One-dimensional Modified Huffman (ITU-T T.4) over a bit reader.
struct BitSource {
    ByteSource bytes;
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

// Writers. Each returns 1 on success and 0 on failure, with no message.
int WriteBitmapUncompressed(HGLOBAL image, HANDLE file);
