// zendra-cli's output format names and extensions, from the format table's
// writer entries (the names mirror the Convert/Save menu).
#pragma once

#include "core/format_table.h"

typedef WriterEntry OutputFormat;

// The format a name stands for, or null when no format has that name.
const OutputFormat* FindOutputFormat(const char* name);

// The format of an output path's extension (the first entry of the row that
// lists the extension), or null when the extension names none.
const OutputFormat* FormatFromExtension(const char* path);

// Calls visit with every name in table order, for --help.
void ForEachOutputFormat(void (*visit)(const OutputFormat& format, void* context), void* context);

// Calls visit with every extension zendra-cli takes, in table order.
void ForEachOutputExtension(void (*visit)(const char* extension, void* context), void* context);
