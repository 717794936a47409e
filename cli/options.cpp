#include "cli/options.h"

#include <cctype>
#include <cstring>

namespace {
bool SameText(const char* a, const char* b) {
    for (; *a && *b; a++, b++)
        if (std::tolower((unsigned char)*a) != std::tolower((unsigned char)*b)) return false;
    return *a == *b;
}
} // namespace

const OutputFormat* FindOutputFormat(const char* name) {
    return WriterNamed(name);
}

const OutputFormat* FormatFromExtension(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const char* backslash = std::strrchr(path, '\\');
    const char* base = slash > backslash ? slash : backslash;
    base = base ? base + 1 : path;
    const char* dot = std::strrchr(base, '.');
    if (!dot) return nullptr;
    for (int i = 0; i < FORMAT_ROW_COUNT; i++) {
        const FormatWriting& w = g_formats[i].writing;
        for (int k = 0; w.count > 0 && k < MAX_EXTENSIONS && w.cliExtensions[k]; k++)
            if (SameText(dot + 1, w.cliExtensions[k])) return &w.entries[0];
    }
    return nullptr;
}

void ForEachOutputFormat(void (*visit)(const OutputFormat& format, void* context), void* context) {
    for (int i = 0; i < FORMAT_ROW_COUNT; i++)
        for (int e = 0; e < g_formats[i].writing.count; e++)
            visit(g_formats[i].writing.entries[e], context);
}

void ForEachOutputExtension(void (*visit)(const char* extension, void* context), void* context) {
    for (int i = 0; i < FORMAT_ROW_COUNT; i++) {
        const FormatWriting& w = g_formats[i].writing;
        for (int k = 0; w.count > 0 && k < MAX_EXTENSIONS && w.cliExtensions[k]; k++)
            visit(w.cliExtensions[k], context);
    }
}
