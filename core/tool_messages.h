// The fixed texts the picture tools show.
#pragma once

inline const char kNotBitmapMessage[] =
    "Unable to Manipulate File: \n\nCurrent File is Not a Bitmap";
inline const char kNoMemoryMessage[] = "Insufficient Memory for this Operation.";
