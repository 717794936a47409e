#include "tools/writers.h"

namespace {
// The first entry of the code; every entry of one code has the same writer.
const WriterEntry* EntryOf(int format) {
    const FormatRow* row = WriterRowOf(format);
    if (!row) return nullptr;
    for (int e = 0; e < row->writing.count; e++)
        if (row->writing.entries[e].format == format) return &row->writing.entries[e];
    return nullptr;
}
} // namespace

const char* FormatExtension(int format) {
    const FormatRow* row = WriterRowOf(format);
    return row ? row->writing.extension : nullptr;
}

bool WriterAvailable(int format) {
    const WriterEntry* entry = EntryOf(format);
    return entry && entry->write;
}

WriteResult WritePicture(HGLOBAL image, const char* path, int format, int option1, int option2) {
    const WriterEntry* entry = EntryOf(format);
    if (!entry || !entry->write) return WRITE_UNAVAILABLE;
    return entry->write(image, path, option1, option2);
}
