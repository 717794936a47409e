// TIFF pictures through libtiff: the reader (the first image of a file, by
// the library's RGBA image reader or by strips, scanlines and tiles) and the
// writer (eight compressions, strips or tiles, the file's colour form chosen
// from the picture's depth and colour table).
#pragma once

#include "core/format_table.h"
#include "platform/win32.h"

// Reads the first image of the file by name and fills the File information
// text. Returns the Image record, upright, or no picture: a file that is no
// TIFF gives no message, every other refusal is reported in a message box, as
// is a picture that could not be turned upright for want of memory. The
// library's own messages are never shown. The display depth is not used.
ReaderResult ReadTiff(const char* name, HWND owner, char* text, int displayDepth);

// Writes the record with a TIFF compression value (1, 2, 3, 4, 5, 7, 32773,
// 32946), in strips (tiles 0) or tiles (tiles 1). WRITE_OK when every strip or
// tile, the directory and the close succeeded, WRITE_FAILED otherwise (the fax codecs refuse
// pictures of more than 1 bit per pixel); shows no message.
WriteResult WriteTiff(const char* path, int compression, int tiles, HGLOBAL image);

// The reader's decisions, as plain functions for the tests.

// How a file is decoded: the library's RGBA image reader, or strips and
// tiles read by the reader itself.
enum TiffRoute { TIFF_ROUTE_RGBA, TIFF_ROUTE_DIRECT };

// The route the compression and photometric interpretation call for.
TiffRoute TiffRouteFor(int compression, int photometric);

// The record's bit count on the direct route, or 0 when that route cannot
// show the layout (the reader then asks the RGBA image reader).
int TiffDirectBits(int bits, int samples, int photometric, int compression);

// The record's bit count on the RGBA route: 32 or 24 for colour, 8 for gray.
int TiffRgbaBits(int bits, int samples, int photometric);

// Colour-table entries of a record: 2, 16 or 256 up to 8 bits, else 0. On the
// RGBA route an 8-bit record takes 2 or 16 for 1- and 4-bit gray files.
int TiffRecordColors(TiffRoute route, int recordBits, int bits, int samples, int photometric);

// A colour map of 16-bit values scaled to bytes: taken as 8-bit (low bytes)
// unless some value among the first n is 256 or more, then v * 255 / 65535.
// Writes n RGBQUAD entries.
void TiffScaleColorMap(const uint16_t* red, const uint16_t* green, const uint16_t* blue, int n,
                       BYTE* table);

// The names the File information text gives.
const char* TiffPhotometricName(int photometric);
const char* TiffCompressionName(int compression);

// The orientation word that brings a file of this Orientation value upright.
int TiffOrientationCode(int orientation);

// The writer's tile side for a picture side, from the library's 256.
int TiffAdjustTileSize(int tile, int pictureSize);
