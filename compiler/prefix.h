// The condition prefix of a definition: mode letters after "/", condition letters after "+",
// "-" or "L", and "/N" layers. Read by key lines, DEF and the hotkeys.
#pragma once

#include "compiler/values.h"

namespace compiler {

struct Context;

// Reads a condition prefix into the state. False when the rest of the line is to be ignored.
bool read_prefix(Context& ctx, Args& a, State& state);

}  // namespace compiler
