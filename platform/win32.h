// The one header through which the core reaches the Win32 vocabulary it speaks.
// On Windows these are the system's own calls; elsewhere platform/posix provides
// the small subset the core uses.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commdlg.h>
#else
#include "posix/win32_posix.h"
#endif

// Message boxes go through a replaceable sink on every platform, so that the
// command-line tool can print them and tests can record and answer them.
// With no sink installed the system's own message box is shown (Windows) or
// the text goes to stderr (elsewhere).
typedef int (*MessageSink)(HWND owner, const char* text, const char* caption, UINT type);
MessageSink SetMessageSink(MessageSink sink);
int PlatformMessageBox(HWND owner, const char* text, const char* caption, UINT type);
// How many message boxes have been shown so far: the Tools commands tell from
// it whether a step reported a problem (readers say so in their outcome).
unsigned long MessagesShown();

// Allocation failures are reachable in tests: after FailGlobalAllocAt(n) the
// nth following GlobalAlloc (1 = the next one) returns null; 0 switches it off.
void FailGlobalAllocAt(int n);
HGLOBAL PlatformGlobalAlloc(UINT flags, SIZE_T bytes);

#ifdef _WIN32
// Help requests go through a sink as well, so that tests can see the calls
// without starting the system's help viewer.
typedef BOOL (*HelpSink)(HWND owner, const char* file, UINT command, ULONG_PTR data);
HelpSink SetHelpSink(HelpSink sink);
BOOL PlatformWinHelp(HWND owner, const char* file, UINT command, ULONG_PTR data);
#endif

#ifndef ZENDRA_PLATFORM_IMPL
#ifdef _WIN32
#undef WinHelpA
#define WinHelpA PlatformWinHelp
#endif
#undef MessageBoxA
#define MessageBoxA PlatformMessageBox
#undef GlobalAlloc
#define GlobalAlloc PlatformGlobalAlloc
#endif
