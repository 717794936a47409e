// The File information text (a 500-byte buffer that readers fill) and the
// error report every reader and writer uses.
#pragma once

#include "platform/win32.h"

// Replace or extend the text, printf-style; never writes past INFO_TEXT_SIZE
// bytes, cutting the text instead.
void InfoSet(char* text, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void InfoAppend(char* text, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// A message box with the system's default caption and the error icon.
void ReportError(HWND owner, const char* message);
