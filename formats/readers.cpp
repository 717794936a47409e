// The readers this build has, by the format the loader detects.
#include "core/loader.h"
#include "formats/library/jpeg_format.h"
#include "formats/library/png_format.h"
#include "formats/library/tiff_format.h"
#include "formats/native/bmp.h"
#include "formats/native/gif.h"
#include "formats/native/iff.h"
#include "formats/native/pcx.h"
#include "formats/native/sun_icon.h"
#include "formats/native/tga.h"

ReaderTable g_readers = {
    ReadWindowsBitmap, // windowsBitmap
    ReadOs2Bitmap,     // os2Bitmap
    ReadOs2v2Bitmap,   // os2v2Bitmap
    ReadGif,           // gif
    ReadPcx,           // pcx
    ReadTarga,         // targa
    ReadIffPicture,    // iff
    ReadJpeg,          // jpeg
    ReadPng,           // png
    ReadTiff,          // tiff
    ReadSunIcon,       // sunIcon
    nullptr,           // icon
};
