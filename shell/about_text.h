// The About box's line on what the program views, made from the readers this
// build has, so that it names only what the program can open.
#pragma once

#include "core/loader.h"

#include <cstddef>

// "Views bitmaps, icons, metafiles and photographs," naming only the kinds of
// picture that at least one reader of the table opens. Always terminated;
// returns false when out is too small for the whole line.
bool AboutViewsLine(const ReaderTable& readers, char* out, size_t size);
