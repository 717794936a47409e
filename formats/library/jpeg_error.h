// The error record the JPEG reader and writer give libjpeg: the library's
// standard routines, except that a fatal error prints its message and jumps
// back to the caller's setjmp instead of ending the program.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

struct JpegErrorRecord {
    jpeg_error_mgr manager; // first, so that the library's pointer is the record's
    jmp_buf jump;
};

// Fills the record and returns the manager to put into the library object.
jpeg_error_mgr* InitJpegErrors(JpegErrorRecord* record);
