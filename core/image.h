// The Image record: one movable block holding a BITMAPINFOHEADER, the colour
// table (bit counts up to 8) and the pixel rows, bottom row first, each padded
// to 4 bytes. 16-bit records are 5-5-5, 32-bit records blue, green, red, reserved.
#pragma once

#include "platform/win32.h"

// The largest block a picture may take. Sizes read from files are checked
// against it before anything is allocated; real photographs stay far below.
const uint64_t kMaxImageBytes = 1024ull * 1024 * 1024;

// The limits in force, checked wherever kMaxImageBytes is: the block limit
// (kMaxImageBytes unless lowered; the fuzz targets lower it so that hostile
// sizes are refused at once) and a pixel count (none unless a front end sets
// one, as zendra-cli's --max-pixels does). Either can only be lowered.
uint64_t PictureByteLimit();
void LowerPictureByteLimit(uint64_t bytes);
void LowerPicturePixelLimit(uint64_t pixels);
uint64_t PicturePixelLimit();

// True, with its width and height, when a geometry was refused for its pixel
// count since the last call, so that a front end can say which limit a
// refusal met. Clears the note.
bool TakePixelLimitRefusal(int64_t* width, int64_t* height);

// Row stride in bytes for a width and bit count (64-bit, never overflows for
// widths that fit a LONG).
uint64_t ImageStride(int64_t width, int bitCount);

// Colour-table entries a record carries: biClrUsed, or 2^bits up to 8 bits.
int ImageColorCount(const BITMAPINFOHEADER* header);

// Bytes a record of this geometry needs, or 0 when it is not representable or
// would exceed the limits in force.
uint64_t ImageBlockBytes(int64_t width, int64_t height, int bitCount, int colors);

// The colour-table entry a pixel index names. Files may declare fewer colours
// than their pixels use: an index at or above the colour count is black, and
// is never looked up past the table.
RGBQUAD ImageColorAt(const BITMAPINFOHEADER* header, unsigned index);

// Start of the pixel rows of a locked record.
BYTE* ImagePixels(BITMAPINFOHEADER* header);

// Allocates a zero-filled record with its header set (compression 0,
// biClrUsed = colors; 0 at 8 bits or fewer gets the full table of the bit
// count) and returns it unlocked, or null when the geometry is invalid, too
// large, or the allocation fails. Shows no message.
HGLOBAL AllocImageRecord(int64_t width, int64_t height, int bitCount, int colors);

// True when the block is a record every tool, writer and drawing path can rely
// on: size 40, positive geometry, one plane, a supported bit count, no
// compression, a colour count that fits, and enough bytes for all of it.
bool IsValidImageRecord(HGLOBAL image);

// Repacks 4-bit records with at most 2 colours and 8-bit records with at most
// 16 to the smallest bit count, in place.
void PackImageDepth(HGLOBAL* image);

// A logical palette of the record's colour table, or null above 8 bits.
HPALETTE CreateImagePalette(const BITMAPINFOHEADER* header);

// A 1-bit record whose first two colours are black and white (either order).
bool IsMonochromeImage(const BITMAPINFOHEADER* header);

// Brings a rotated, mirrored or inverted picture back to its loaded state;
// built on the rotate, flip and invert tools. False when one of them showed a
// message (the picture is then only partly turned back).
bool RestoreOrientation(HGLOBAL* image, int* orientation);
