// Writing an output file without ever losing what was there: the picture goes
// to a new file beside the target, which replaces the target only once it is
// complete (and, when the target exists, only if replacing it was asked for).
#pragma once

#include "platform/win32.h"

#include <string>

enum OutputResult {
    OUTPUT_OK,
    OUTPUT_EXISTS,        // the target exists and overwriting was not asked for
    OUTPUT_CREATE_FAILED, // no file could be made in the target's folder
    OUTPUT_WRITE_FAILED,  // the writer failed; nothing was changed
    OUTPUT_UNAVAILABLE,   // no writer for the format
};

OutputResult WriteOutputFile(HGLOBAL image, const char* path, int format, int option1, int option2,
                             bool force);

// Temporary files beside a target are named TemporaryPrefix(process id)
// followed by a unique part, so that whoever started a process that was
// killed or crashed can remove what it left behind.
std::string TemporaryPrefix(unsigned long process);

// Removes the temporary files the process left in the folder; returns how many.
int RemoveTemporariesOf(const std::string& folder, unsigned long process);

// Called with the temporary's path as soon as it exists; null normally (the
// batch tests stop a worker there).
extern void (*g_temporaryMade)(const char* path);
