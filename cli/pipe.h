// Standard input and output as picture files: the readers and writers work on
// named files, so a picture from a pipe is first kept in a temporary file, and
// one for a pipe is written to a temporary file and then copied out.
#pragma once

#include <string>

// The name standing for standard input or output on the command line.
bool IsStandardStream(const char* path);

// A new empty temporary file; its path, or "" after saying why on stderr. A
// signal that ends the program (Ctrl-C, a closed pipe) removes it first.
std::string MakeTemporaryFile(const char* program);

// Copies all of standard input into a new temporary file; its path, or ""
// after saying why on stderr.
std::string SpoolStandardInput(const char* program);

// Copies the file to standard output; false after saying why on stderr.
bool CopyToStandardOutput(const char* program, const std::string& path);

// Whether standard output is a terminal (no picture is written to one).
bool StandardOutputIsTerminal();
