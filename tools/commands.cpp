#include "tools/commands.h"

bool RunToolCommand(int id) {
    return RunColourCommand(id) || RunTransformCommand(id);
}
