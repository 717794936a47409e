#include "core/text.h"

#include "core/state.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
void InfoFormat(char* text, size_t start, const char* format, va_list args) {
    if (start >= size_t(INFO_TEXT_SIZE) - 1) return;
    std::vsnprintf(text + start, size_t(INFO_TEXT_SIZE) - start, format, args);
}
} // namespace

void InfoSet(char* text, const char* format, ...) {
    if (!text) return;
    va_list args;
    va_start(args, format);
    InfoFormat(text, 0, format, args);
    va_end(args);
}

void InfoAppend(char* text, const char* format, ...) {
    if (!text) return;
    size_t len = strnlen(text, size_t(INFO_TEXT_SIZE));
    if (len >= size_t(INFO_TEXT_SIZE)) {
        text[INFO_TEXT_SIZE - 1] = 0;
        return;
    }
    va_list args;
    va_start(args, format);
    InfoFormat(text, len, format, args);
    va_end(args);
}

void ReportError(HWND owner, const char* message) {
    MessageBoxA(owner, message, nullptr, MB_ICONERROR);
}
