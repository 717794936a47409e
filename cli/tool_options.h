// The tool options of zendra-cli convert: each names one Tools command, and
// they run in the order given, as the menu commands would one after another.
#pragma once

#include "platform/win32.h"

#include <vector>

enum ToolOptionParse {
    TOOL_OPTION_NONE,  // argv[*i] is not a tool option
    TOOL_OPTION_TAKEN, // the command was appended and *i moved past its value
    TOOL_OPTION_ERROR, // a usage error; *message and *detail say what was wrong
};

// Looks at argv[*i]: --rotate 90|180|270, --flip lr|tb, --invert, --brighten,
// --darken, --grayscale, --reduce NAME (also written --option=VALUE).
ToolOptionParse ParseToolOption(int argc, char** argv, int* i, std::vector<int>* commands,
                                const char** message, const char** detail);

// The lines of --help that describe the tool options.
const char* ToolOptionsHelp();

// Runs the commands on the current picture; false when one of them reported
// a problem.
bool RunToolCommands(const std::vector<int>& commands);
