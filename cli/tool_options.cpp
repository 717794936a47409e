#include "cli/tool_options.h"

#include "core/state.h"
#include "tools/commands.h"

#include <cstring>

namespace {
struct Word {
    const char* word;
    int command;
};
const Word kRotations[] = {
    {"90", CMD_ROTATE_90}, {"180", CMD_ROTATE_180}, {"270", CMD_ROTATE_270}, {nullptr, 0}};
const Word kFlips[] = {{"lr", CMD_FLIP_LR}, {"tb", CMD_FLIP_TB}, {nullptr, 0}};
const Word kReductions[] = {{"std256", CMD_STANDARD_256}, {"web216", CMD_WEB_216},
                            {"std16", CMD_STANDARD_16},   {"mono", CMD_MONOCHROME},
                            {"best256", CMD_BEST_256},    {"best32", CMD_BEST_32},
                            {"best16", CMD_BEST_16},      {nullptr, 0}};
const Word kSwitches[] = {{"--invert", CMD_INVERT},
                          {"--brighten", CMD_BRIGHTEN},
                          {"--darken", CMD_DARKEN},
                          {"--grayscale", CMD_GRAYSCALE},
                          {nullptr, 0}};

struct Valued {
    const char* option;
    const Word* values;
    const char* badValue;
};
const Valued kValued[] = {
    {"--rotate", kRotations, "--rotate takes 90, 180 or 270, not"},
    {"--flip", kFlips, "--flip takes lr or tb, not"},
    {"--reduce", kReductions,
     "--reduce takes std256, web216, std16, mono, best256, best32 or best16, not"},
};

int Find(const Word* words, const char* word) {
    for (; words->word; words++)
        if (std::strcmp(words->word, word) == 0) return words->command;
    return 0;
}
} // namespace

ToolOptionParse ParseToolOption(int argc, char** argv, int* i, std::vector<int>* commands,
                                const char** message, const char** detail) {
    const char* a = argv[*i];
    if (int command = Find(kSwitches, a)) {
        commands->push_back(command);
        return TOOL_OPTION_TAKEN;
    }
    for (const Valued& v : kValued) {
        size_t n = std::strlen(v.option);
        if (std::strncmp(a, v.option, n) != 0 || (a[n] != 0 && a[n] != '=')) continue;
        const char* value = a[n] == '=' ? a + n + 1 : nullptr;
        if (!value) {
            if (*i + 1 >= argc) {
                *message = "option requires an argument:";
                *detail = v.option;
                return TOOL_OPTION_ERROR;
            }
            value = argv[++*i];
        }
        int command = Find(v.values, value);
        if (!command) {
            *message = v.badValue;
            *detail = value;
            return TOOL_OPTION_ERROR;
        }
        commands->push_back(command);
        return TOOL_OPTION_TAKEN;
    }
    return TOOL_OPTION_NONE;
}

const char* ToolOptionsHelp() {
    return "Tools, applied in the order given (each may repeat), as the viewer's Tools menu:\n"
           "  --rotate 90|180|270  turn the picture clockwise\n"
           "  --flip lr|tb         mirror it left-right or top-bottom\n"
           "  --invert             invert its colours\n"
           "  --brighten           one step brighter (true colour pictures are first\n"
           "                       reduced to their 256 best colours)\n"
           "  --darken             one step darker (likewise)\n"
           "  --grayscale          grey levels\n"
           "  --reduce NAME        reduce the colours: std256 web216 std16 mono (the\n"
           "                       standard palettes) or best256 best32 best16\n";
}

bool RunToolCommands(const std::vector<int>& commands) {
    return RunToolCommandsInTurn(commands.data(), commands.size());
}
