// The routing that both platforms share: message boxes (and on Windows help
// requests) through a sink, global allocations through a countdown that tests
// can arm.
#define ZENDRA_PLATFORM_IMPL
#include "win32.h"

#ifndef _WIN32
HGLOBAL PosixGlobalAlloc(UINT flags, SIZE_T bytes);
#endif

namespace {
MessageSink g_sink = nullptr;
#ifdef _WIN32
HelpSink g_helpSink = nullptr;
#endif
int g_failCountdown = 0;
unsigned long g_messagesShown = 0;
} // namespace

MessageSink SetMessageSink(MessageSink sink) {
    MessageSink previous = g_sink;
    g_sink = sink;
    return previous;
}

int PlatformMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    g_messagesShown++;
    if (g_sink) return g_sink(owner, text, caption, type);
    return MessageBoxA(owner, text, caption, type);
}

unsigned long MessagesShown() {
    return g_messagesShown;
}

#ifdef _WIN32
HelpSink SetHelpSink(HelpSink sink) {
    HelpSink previous = g_helpSink;
    g_helpSink = sink;
    return previous;
}

BOOL PlatformWinHelp(HWND owner, const char* file, UINT command, ULONG_PTR data) {
    if (g_helpSink) return g_helpSink(owner, file, command, data);
    return WinHelpA(owner, file, command, data);
}
#endif

void FailGlobalAllocAt(int n) {
    g_failCountdown = n > 0 ? n : 0;
}

HGLOBAL PlatformGlobalAlloc(UINT flags, SIZE_T bytes) {
    if (g_failCountdown > 0 && --g_failCountdown == 0) return nullptr;
#ifdef _WIN32
    return GlobalAlloc(flags, bytes);
#else
    return PosixGlobalAlloc(flags, bytes);
#endif
}
