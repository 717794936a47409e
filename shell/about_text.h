// The About box's line on what the program views, made from the readers this
// build has, so that it names only what the program can open.
#pragma once

#include "core/format_table.h"

#include <cstddef>

// Whether the format table gives files of this format a reader.
bool FormatIsRead(DetectedFormat format);

// "Views bitmaps, icons, metafiles and photographs," naming only the kinds of
// picture of which reads says at least one format is read. Always terminated;
// returns false when out is too small for the whole line.
bool AboutViewsLine(bool (*reads)(DetectedFormat), char* out, size_t size);
