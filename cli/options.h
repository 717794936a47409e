// Output format names and extensions of zendra-cli, mirroring the Convert/Save menu.
#pragma once

struct OutputFormat {
    const char* name;
    int format; // a SaveFormat code
    int option1;
    int option2;
};

// The format a name stands for, or null when no format has that name.
const OutputFormat* FindOutputFormat(const char* name);

// The format of an output path's extension (the plain member of its family),
// or null when the extension names none.
const OutputFormat* FormatFromExtension(const char* path);

// All names, for --help.
const OutputFormat* OutputFormats(int* count);
